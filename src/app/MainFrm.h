// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/MessageBox.h"

#include <QMainWindow>
#include <functional>

class QAction;
class QMenu;
class QToolButton;
class QuickFindBox;
class Tdm;

// The main window: five large buttons for the everyday commands, the menu bar
// with every other command, and the start-up routine that connects the data
// module to the register named in the settings.
class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(Tdm& dm, QWidget* parent = nullptr);
    ~TfrmMain() override;

    Tdm& dm() { return m_dm; }

    // Shows a message with its top-left corner near the pointer, just below
    // the window's top edge, where the user's eyes already are.
    qv::MessageResult PositionedMessage(const QString& text, qv::MessageKind kind,
                                        qv::MessageButtons buttons = qv::MessageButtons::Ok);

    // Runs `showWindow` inside a transaction on the shared connection. The
    // window is given the commit, to run on OK while it is still open.
    // Answering true, the transaction is committed if the window did not;
    // answering false or throwing (the exception then goes on to the
    // caller), it is rolled back, so the connection is never left inside a
    // transaction.
    using Commit = std::function<void()>;
    void RunInTransaction(const std::function<bool(const Commit& commit)>& showWindow);

    // Whether OpenDatabase asked the program to end (the user cancelled the
    // settings dialog after a failed open).
    bool isTerminating() const { return m_terminating; }

signals:
    // Emitted once, when the program is to end without the exit question.
    void terminationRequested();

public slots:
    // Reads the settings, enables the commands that depend on them and opens
    // the register; on a missing file or a failed open it sends the user to
    // the settings dialog until a database opens or the user gives up.
    void OpenDatabase();

    void btnFindClick();
    void btnMemberListClick();
    void btnProfilesClick();
    void btnLongServiceClick();
    void btnAddMemberClick();

    void mnuFileExitClick();
    void mnuFileImportMembersClick();
    void mnuSearchAssetsClick();
    void mnuSearchAssetRefClick();
    void mnuSearchMembershipNoClick();
    void mnuSearchUnpaidFeesClick();
    void mnuSearchPastMembersClick();
    void mnuSearchMembershipLevelClick();
    void mnuSearchStatisticsClick();
    void mnuDataEditProfilesClick();
    void mnuDataEditAssetsClick();
    void mnuDataEditMembershipLevelsClick();
    void mnuDataBackupClick();
    void mnuDataRenewalsClick();
    void mnuDataChangeHistoryClick();
    void mnuDataPastMembersDueClick();
    void mnuSettingsSettingsClick();
    void mnuSettingsCompactRepairClick();
    void mnuHelpProductHelpClick();
    void mnuHelpAboutClick();

    // Backs the open register file up into the automatic backups' folder,
    // once a day, when the settings ask for it: on a thread of its own, with
    // a progress window when it takes more than a moment. A failure is said
    // once (not again at every close while it stays the same); the register
    // is only read.
    void AutoBackup();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createButtons();
    void createMenus();
    // The find-as-you-type box above the buttons, and its two keys.
    void createQuickFind();
    // Shows the settings dialog; true when the user saved.
    bool ShowSettings();
    void SetCommandStates(bool useAccess);
    // Offers to import the Jet register the settings name; true when a new
    // register was made and the settings now name it.
    bool OfferJetImport(const QString& jetPath);
    void RequestTermination();

    Tdm& m_dm;
    bool m_openedOnce = false;
    bool m_terminating = false;

    QuickFindBox* pnlQuickFind = nullptr;

    QToolButton* btnFind = nullptr;
    QToolButton* btnMemberList = nullptr;
    QToolButton* btnProfiles = nullptr;
    QToolButton* btnLongService = nullptr;
    QToolButton* btnAddMember = nullptr;

    QAction* mnuFileImportMembers = nullptr;
    QAction* mnuFileExit = nullptr;
    QAction* mnuSearchFind = nullptr;
    QAction* mnuSearchMembersList = nullptr;
    QAction* mnuSearchProfile = nullptr;
    QAction* mnuSearchLongService = nullptr;
    QAction* mnuSearchAssets = nullptr;
    QAction* mnuSearchAssetRef = nullptr;
    QAction* mnuSearchMembershipNo = nullptr;
    QAction* mnuSearchUnpaidFees = nullptr;
    QAction* mnuSearchPastMembers = nullptr;
    QAction* mnuSearchMembershipLevel = nullptr;
    QAction* mnuSearchStatistics = nullptr;
    QAction* mnuDataAddMember = nullptr;
    QAction* mnuDataEditProfiles = nullptr;
    QAction* mnuDataEditAssets = nullptr;
    QAction* mnuDataEditMembershipLevels = nullptr;
    QAction* mnuDataBackup = nullptr;
    QAction* mnuDataRenewals = nullptr;
    QAction* mnuDataChangeHistory = nullptr;
    QAction* mnuDataPastMembersDue = nullptr;
    QAction* mnuSettingsSettings = nullptr;
    QAction* mnuSettingsCompactRepair = nullptr;
    QAction* mnuHelpProductHelp = nullptr;
    QAction* mnuHelpAbout = nullptr;
};
