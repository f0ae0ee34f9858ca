// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/FeePaymentAddFrm.h"

#include <QDateTime>

// Changes a stored fee payment: the payment dialog preset with its values.
class TfrmFeePaymentModify : public TfrmFeePaymentAdd {
    Q_OBJECT
public:
    explicit TfrmFeePaymentModify(QWidget* parent = nullptr);

    // Presets the date (as stored), the amount, the receipt and the notes, and
    // shows the dialog modally; answers the modal result.
    int ShowForPayment(const QString& receiptRef, const QString& paymentNotes, double amount,
                       const QDateTime& paymentDate);
};
