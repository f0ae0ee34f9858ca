// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/FeePaymentModifyFrm.h"

#include "platform/ui/AmountEdit.h"
#include "platform/ui/DatePicker.h"

#include <QLineEdit>
#include <QPushButton>

TfrmFeePaymentModify::TfrmFeePaymentModify(QWidget* parent)
    : TfrmFeePaymentAdd(parent) {
    setObjectName(QStringLiteral("frmFeePaymentModify"));
    setWindowTitle(tr("Amend Fee Payment"));
    btnAdd->setText(tr("C&hange"));
}

int TfrmFeePaymentModify::ShowForPayment(const QString& receiptRef, const QString& paymentNotes,
                                         double amount, const QDateTime& paymentDate) {
    dtpPaymentDate->setDateTime(paymentDate);
    mskPaymentAmount->setAmount(amount);
    edtReceiptRef->setText(receiptRef);
    edtNotes->setText(paymentNotes);
    return exec();
}
