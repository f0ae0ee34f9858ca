// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/FeePaymentAddFrm.h"

#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/TypedFields.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFeePaymentAdd::TfrmFeePaymentAdd(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmFeePaymentAdd"));
    setWindowTitle(tr("Add Fee Payment"));

    lblPaymentDate = CreateLabel(this, QStringLiteral("lblPaymentDate"), tr("Payment &Date:"));
    dtpPaymentDate = new qv::DatePicker(false, this);
    dtpPaymentDate->setObjectName(QStringLiteral("dtpPaymentDate"));
    lblReceiptRef = CreateLabel(this, QStringLiteral("lblReceiptRef"), tr("&Receipt Ref."));
    edtReceiptRef = new QLineEdit(this);
    edtReceiptRef->setObjectName(QStringLiteral("edtReceiptRef"));
    edtReceiptRef->setMaxLength(20);
    lblPaymentAmount = CreateLabel(this, QStringLiteral("lblPaymentAmount"), tr("&Payment Amount"));
    mskPaymentAmount = new qv::AmountEdit(this);
    mskPaymentAmount->setObjectName(QStringLiteral("mskPaymentAmount"));
    lblNotes = CreateLabel(this, QStringLiteral("lblNotes"), tr("Payment &Notes:"));
    edtNotes = new QLineEdit(this);
    edtNotes->setObjectName(QStringLiteral("edtNotes"));
    edtNotes->setMaxLength(75);
    lblPaymentDate->setBuddy(dtpPaymentDate);
    lblReceiptRef->setBuddy(edtReceiptRef);
    lblPaymentAmount->setBuddy(mskPaymentAmount);
    lblNotes->setBuddy(edtNotes);

    const DialogButtons buttons = CreateDialogButtons(this, tr("&Add"), QStringLiteral("btnAdd"));
    btnAdd = buttons.confirm;
    btnCancel = buttons.cancel;
    connect(btnAdd, &QPushButton::clicked, this, &QDialog::accept);
    connect(mskPaymentAmount, &QLineEdit::editingFinished, this,
            &TfrmFeePaymentAdd::mskPaymentAmountExit);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* form = new QFormLayout;
    form->setVerticalSpacing(10);
    form->addRow(lblPaymentDate, dtpPaymentDate);
    form->addRow(lblReceiptRef, edtReceiptRef);
    form->addRow(lblPaymentAmount, mskPaymentAmount);
    form->addRow(lblNotes, edtNotes);
    layout->addLayout(form);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);

    // FormCreate: today's date, and the currency in the amount's label.
    dtpPaymentDate->setDate(qv::Clock::today());
    lblPaymentAmount->setText(lblPaymentAmount->text() + QStringLiteral(" (") +
                              qv::Regional::currencySymbol() + QStringLiteral("):"));
    FixDialogSize(this, 341, 209);
}

void TfrmFeePaymentAdd::showEvent(QShowEvent* event) {
    mskPaymentAmount->normalise();
    QDialog::showEvent(event);
}

void TfrmFeePaymentAdd::mskPaymentAmountExit() {
    mskPaymentAmount->normalise();
}

void TfrmFeePaymentAdd::accept() {
    if (qv::CommitTypedFields(this))
        QDialog::accept();
}
