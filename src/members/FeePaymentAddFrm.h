// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {
class AmountEdit;
class DatePicker;
} // namespace qv

// Enters a fee payment: the date, a receipt reference, the amount and a note.
// Writes nothing; the caller reads the controls after OK.
class TfrmFeePaymentAdd : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFeePaymentAdd(QWidget* parent = nullptr);

    QLabel* lblPaymentDate;
    qv::DatePicker* dtpPaymentDate;
    QLabel* lblReceiptRef;
    QLineEdit* edtReceiptRef;
    QLabel* lblPaymentAmount;
    qv::AmountEdit* mskPaymentAmount;
    QLabel* lblNotes;
    QLineEdit* edtNotes;
    QPushButton* btnAdd;
    QPushButton* btnCancel;

public slots:
    // Leaving the amount shows it with two decimals.
    void mskPaymentAmountExit();

    // Closes with OK only when every typed date and amount is one.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
};
