// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/VisitDialog.h"

#include <QDialog>
#include <QList>
#include <QMetaObject>
#include <functional>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QWidget;

namespace qv {
class Connection;
class Dataset;
class DatasetGrid;
class DBEdit;
} // namespace qv

class MemberTabModel;
class THistoryView;

// The member details window: one member's name and contact fields, edited in
// place, and six tabs with his periods, assets, profiles, fee payments, file
// references and notes. Every sub-record change is written at once through
// the tab's dataset, inside the transaction the caller began: OK (Update, or
// Delete Member) means commit, anything else roll back, so Close undoes the
// whole visit.
class TfrmMember : public qv::VisitDialog {
    Q_OBJECT
public:
    explicit TfrmMember(QWidget* parent = nullptr);
    ~TfrmMember() override;

    // Opens the member's seven datasets on the connection and shows the
    // window modally; returns when it closes, with result() OK or Cancel.
    void ShowForMember(qv::Connection& connection, int memberId);
    // Everything ShowForMember does before the modal showing. A dataset that
    // fails to open throws, and the window is not shown.
    void OpenForMember(qv::Connection& connection, int memberId);

    bool NewMember() const { return m_newMember; }

    // What was written in the visit, and typing not yet written: the member
    // row's edits, a note being typed.
    bool HoldsChanges() const override;

    // The column of a joined tab that holds the sub-record's own copy of the
    // lookup key: "DatesJoined.MembershipLevelID" where the provider names
    // the two copies by table, "MembershipLevelID" where it does not.
    static QString LookupKeyColumn(const qv::Dataset& dataset, const QString& table,
                                   const QString& key);

    qv::Dataset* adoMember;
    qv::Dataset* adoDatesJoined;
    qv::Dataset* adoAssets;
    qv::Dataset* adoProfiles;
    qv::Dataset* adoFeePayments;
    qv::Dataset* adoFiles;
    qv::Dataset* adoNotes;

    QGroupBox* grpNameAddress;
    qv::DBEdit* dbedtFirstName;
    qv::DBEdit* dbedtSurname;
    qv::DBEdit* dbedtAddress;
    qv::DBEdit* dbedtCity;
    qv::DBEdit* dbedtPostCode;
    QGroupBox* grpPhoneEmail;
    qv::DBEdit* dbedtTelNo;
    qv::DBEdit* dbedtMobileNo;
    qv::DBEdit* dbedtEmail;
    QPushButton* btnSendEmail;

    QTabWidget* pgcDetails;
    QWidget* tabDatesJoined;
    QWidget* tabAssets;
    QWidget* tabProfiles;
    QWidget* tabFeePayments;
    QWidget* tabFiles;
    QWidget* tabNotes;
    // The member's change history, newest first, with Undo.
    THistoryView* tabHistory;
    qv::DatasetGrid* dbgDatesJoined;
    qv::DatasetGrid* dbgAssets;
    qv::DatasetGrid* dbgProfiles;
    qv::DatasetGrid* dbgFeePayments;
    qv::DatasetGrid* dbgFiles;
    qv::DatasetGrid* dbgNotes;
    QPushButton* btnAddDate;
    QPushButton* btnModifyDate;
    QPushButton* btnAssetsAdd;
    QPushButton* btnAssetsModify;
    QPushButton* btnProfilesAdd;
    QPushButton* btnProfilesModify;
    QPushButton* btnPaymentAdd;
    QPushButton* btnPaymentModify;
    QPushButton* btnFilesAdd;
    QPushButton* btnFilesAmend;
    QAction* mnuDatesJoinedDelete;
    QAction* mnuAssetsDelete;
    QAction* mnuProfilesDelete;
    QAction* mnuFeePaymentsDelete;
    QAction* mnuFilesDelete;
    QAction* mnuNotesDelete;

    QPushButton* btnPrint;
    QPushButton* btnClose;
    QPushButton* btnUpdate;
    QMenu* mnuPopup;
    QAction* mnuPopupDeleteMember;
    QAction* mnuPopupExportData;
    QAction* mnuPopupErase;

public slots:
    // Makes the window look-only when the register cannot be changed.
    void ApplyWriteAccess();

    void adoMemberAfterOpen();
    void adoDatesJoinedAfterOpen();
    void adoAssetsAfterOpen();
    void adoProfilesAfterOpen();
    void adoFeePaymentsAfterOpen();
    void adoFilesAfterOpen();
    void adoNotesAfterOpen();

    void btnPrintClick();
    virtual void btnUpdateClick();
    void btnAddDateClick();
    void dbgDatesJoinedDblClick();
    void btnAssetsAddClick();
    void dbgAssetsDblClick();
    void btnProfilesAddClick();
    void dbgProfilesDblClick();
    void btnPaymentAddClick();
    void btnPaymentModifyClick();
    void btnFilesAddClick();
    void btnFilesAmendClick();
    void dbgFilesDblClick();
    void btnSendEmailClick();

    void mnuDatesJoinedDeleteClick();
    void mnuAssetsDeleteClick();
    void mnuProfilesDeleteClick();
    void mnuFeePaymentsDeleteClick();
    void mnuFilesDeleteClick();
    void mnuNotesDeleteClick();
    void mnuPopupDeleteMemberClick();
    // Writes everything held on the member to a PDF and a JSON file beside it.
    void mnuPopupExportDataClick();
    // Forgets the member after asking twice, and ends the visit with it.
    void mnuPopupEraseClick();

protected:
    // Opens the member row, then the six tabs' datasets, then applies the
    // write test.
    virtual void FormShow();
    void contextMenuEvent(QContextMenuEvent* event) override;

    // Writes every edit's text into the member row, as leaving it would.
    void UpdateMemberRow();
    // Update's part before closing: stores a note still being typed, then
    // checks the name and address and that there is a period. False, with
    // the message shown, when the window must stay open.
    bool CheckUpdate();
    // The add actions' first step: the member row must be stored.
    virtual bool MemberRowStored();

    void BindConnection(qv::Connection& connection, int memberId);
    void OpenTabs();

    bool m_newMember = false;
    qv::Connection* m_connection = nullptr;

private:
    void buildControls();
    struct TabSpec;
    QWidget* buildTab(const TabSpec& tab);
    void enableRowCommands(qv::Dataset* dataset, QPushButton* modify, QAction* remove);
    // Writes one sub-record through its dataset (a new row, or the current
    // one changed) and re-opens the dataset. A failure gives the row up, so
    // the next action starts clean, and goes on to the error report.
    void storeRow(qv::Dataset* dataset, bool adding, const std::function<void()>& setColumns);
    void deleteRow(qv::Dataset* dataset, const QString& question, const QString& keyColumn,
                   void (*statement)(qv::Connection&, int));
    // Stores or drops a note row still being typed.
    void settleNotes();
    // Lists the member's history; a register without a change log shows none.
    void OpenHistory();
    // After an undo from the History tab: the window shows the member anew.
    void tabHistoryUndone();

    QList<QMetaObject::Connection> m_doubleClicks;
    bool m_writable = true;
};
