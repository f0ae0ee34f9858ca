// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// Asks for the year a long-service list counts to: eleven years around the
// current one, the current year selected.
class TfrmSelectYear : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelectYear(QWidget* parent = nullptr);

    // The selected entry as a year.
    int SelectedYear() const;

    QLabel* lblYear;
    QComboBox* cboYear;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;
};
