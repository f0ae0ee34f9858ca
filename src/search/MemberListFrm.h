// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace qv {
class Connection;
class Dataset;
class DatasetGrid;
class DatasetNavigator;
} // namespace qv

class MemberListModel;

// Opens the member's record modally, owned by `owner`, inside a transaction
// on the connection: OK commits it (from the window, which stays open while
// another program holds the register); anything else, an error included,
// rolls the visit back. True when the visit was committed.
bool OpenMemberRecord(QWidget* owner, qv::Connection& connection, int memberId);

// The window every search ends in: one row per member with his latest period,
// coloured by membership level, with the years of service, sorting by title,
// the past-members filter and the follow-up commands.
class TfrmMemberList : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMemberList(QWidget* parent = nullptr);
    ~TfrmMemberList() override;

    // Runs `sql` on the connection with every parameter set to `searchValue`,
    // and shows the result modally, maximised, under `caption`. Years of
    // service count to 1 January of `referenceYear` (-1: to DateEnded or
    // today), rounded to multiples of five with `fiveYearRounding`. A
    // past-members-only list shows every row and cannot hide the ended ones.
    // A query that fails throws before the window shows.
    void ShowMemberList(qv::Connection& connection, const QString& sql, const QString& searchValue,
                        int referenceYear, bool fiveYearRounding, bool pastMembersOnly,
                        const QString& caption);
    // Everything ShowMemberList does except the modal showing.
    void OpenMemberList(qv::Connection& connection, const QString& sql, const QString& searchValue,
                        int referenceYear, bool fiveYearRounding, bool pastMembersOnly,
                        const QString& caption);

    // The e-mail addresses of the rows shown, each followed by ", "; rows
    // without one are skipped. The cursor does not move.
    QString EmailAddressList() const;
    // The keys of the members shown, in order, each once.
    std::vector<qint64> MemberKeys() const;
    // The record count label, the grid's first column and the pop-up menu.
    void UpdateRecordCount();

    int ReferenceYear() const { return m_referenceYear; }
    bool FiveYearRounding() const { return m_fiveYearRounding; }

    qv::Dataset* adoMembers;
    QWidget* pnlTop;
    QPushButton* btnPrint;
    QPushButton* btnLabels;
    QPushButton* btnLetters;
    QPushButton* btnPhoneList;
    QPushButton* btnExportCSV;
    QCheckBox* chkIncludePastMembers;
    qv::DatasetGrid* dbgMembers;
    QWidget* pnlBottom;
    qv::DatasetNavigator* dbnMembers;
    QLabel* lblRecordCount;
    QPushButton* btnClose;
    QMenu* mnuPopup;
    QAction* mnuPopupEmailList;
    QAction* mnuPopupSendEmail;
    QAction* mnuPopupEmailAll;
    QAction* mnuPopupPrintLongService;
    QAction* mnuPopupLabels;
    QAction* mnuPopupLetters;
    QAction* mnuPopupCopyRow;
    QAction* mnuPopupCopyNameAddress;

    // The grid's columns, in order; the last is the painted years column.
    enum GridColumn {
        colFirstNames,
        colSurname,
        colAddress,
        colCity,
        colPostCode,
        colTelNo,
        colMobileNo,
        colEmailAddress,
        colDateJoined,
        colDateEnded,
        colYearsService,
    };

public slots:
    void btnPrintClick();
    // Address labels and letters to the members shown, in the list's order.
    void btnLabelsClick();
    void btnLettersClick();
    void btnPhoneListClick();
    void btnExportCSVClick();
    void chkIncludePastMembersClick();
    void dbgMembersTitleClick(int column);
    void dbgMembersDblClick();
    void dbgMembersContextMenu(const QPoint& position);
    // Prepares the pop-up menu's items for the current row.
    void mnuPopupPopup();
    void mnuPopupEmailListClick();
    void mnuPopupSendEmailClick();
    void mnuPopupEmailAllClick();
    void mnuPopupPrintLongServiceClick();
    void mnuPopupCopyRowClick();
    void mnuPopupCopyNameAddressClick();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QString currentText(const QString& field) const;

    MemberListModel* m_model;
    int m_referenceYear = -1;
    bool m_fiveYearRounding = false;
    QWidget* m_restoreWatched = nullptr;
};
