// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDialog>

class QLabel;
class QPushButton;

namespace qv {
class DatePicker;
}

// Asks for the payment notice or due date of an unpaid-fees search; offers
// today's date.
class TfrmInputDate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInputDate(QWidget* parent = nullptr);

    QDate SelectedDate() const;

    QLabel* lblDate;
    qv::DatePicker* dtpDate;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // Closes with OK only when every typed date and amount is one.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
};
