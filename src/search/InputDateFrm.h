#pragma once

#include <QDate>
#include <QDialog>

class QDateEdit;
class QLabel;
class QPushButton;

// Asks for the payment notice or due date of an unpaid-fees search; offers
// today's date.
class TfrmInputDate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInputDate(QWidget* parent = nullptr);

    QDate SelectedDate() const;

    QLabel* lblDate;
    QDateEdit* dtpDate;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;
};
