// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "renewals/Renewals.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace qv {
class AmountEdit;
class Connection;
class Dataset;
class DatasetGrid;
class DatePicker;
} // namespace qv

class RenewalsModel;

// Asks once for what a batch of payments has in common.
class TfrmRecordPayment : public QDialog {
    Q_OBJECT
public:
    TfrmRecordPayment(int members, QWidget* parent = nullptr);
    // The order the fields describe; the dialog checks it before it closes with OK.
    Renewals::PaymentOrder Order() const;
    // Whether the order's receipt references and notes fit, with a message when not.
    bool CheckOrder(int payments);

    QLabel* lblMembers;
    qv::DatePicker* dtpPaymentDate;
    QCheckBox* chkEachBalance;
    qv::AmountEdit* edtAmount;
    QLineEdit* edtReceiptPattern;
    QSpinBox* spnFirstNumber;
    QLineEdit* edtNotes;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    int m_members;
};

// Asks for the end date and the reason of the memberships to end.
class TfrmEndMembership : public QDialog {
    Q_OBJECT
public:
    TfrmEndMembership(int members, const QDate& ended, QWidget* parent = nullptr);

    QLabel* lblMembers;
    qv::DatePicker* dtpDateEnded;
    QLineEdit* edtReason;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// The membership year's first day, shared by every desk of the register.
class TfrmYearStart : public QDialog {
    Q_OBJECT
public:
    TfrmYearStart(const Renewals::YearStart& start, QWidget* parent = nullptr);
    Renewals::YearStart Start() const;

    QComboBox* cboMonth;
    QSpinBox* spnDay;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// Data > Renewals: who owes what for a membership year, and the commands of
// the renewal round over the rows selected.
class TfrmRenewals : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRenewals(QWidget* parent = nullptr);

    // Opens the list of the current membership year; ShowRenewals shows it
    // modally as well.
    void OpenRenewals(qv::Connection& connection);
    void ShowRenewals(qv::Connection& connection);

    // Re-runs the list for the year and options chosen.
    void Reload();
    int Year() const;
    QString YearName() const;
    // The members of the selected rows, with their balances.
    std::vector<Renewals::Debtor> SelectedMembers() const;
    // The members of the list who owe for the year, in list order: the
    // reminders (e-mail list, letters) go to them.
    std::vector<qint64> OwingMembers() const;
    // The e-mail addresses of the members owing, each followed by ", ".
    QString OwingEmailList() const;

    qv::Dataset* adoRenewals;
    QComboBox* cboYear;
    QPushButton* btnYearStart;
    QCheckBox* chkIncludePastMembers;
    QCheckBox* chkOwingOnly;
    QPushButton* btnSelectOwing;
    QPushButton* btnRecordPayment;
    QPushButton* btnEndMembership;
    QPushButton* btnEmailList;
    QPushButton* btnLetters;
    QPushButton* btnPrint;
    QPushButton* btnExportCSV;
    qv::DatasetGrid* dbgRenewals;
    QLabel* lblTotals;
    // Says where fees are set while the year has none, so a list of zeros
    // is not taken for a club where nobody owes.
    QLabel* lblNoFees;
    QPushButton* btnClose;

public slots:
    void btnYearStartClick();
    void btnSelectOwingClick();
    void btnRecordPaymentClick();
    void btnEndMembershipClick();
    void btnEmailListClick();
    void btnLettersClick();
    void btnPrintClick();
    void btnExportCSVClick();
    void dbgRenewalsTitleClick(int column);
    void dbgRenewalsDblClick();

private:
    void fillYears(int chosen);
    void updateTotals();
    bool anySelected();
    std::vector<int> owingRows() const;

    qv::Connection* m_connection = nullptr;
    Renewals::YearStart m_start;
    RenewalsModel* m_model;
};
