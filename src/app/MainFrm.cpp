// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainFrm.h"

#include "app/AboutFrm.h"
#include "app/ImportFrm.h"
#include "app/SettingsFrm.h"
#include "app/SpreadsheetImportFrm.h"
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/DBManagement.h"
#include "db/DataModule.h"
#include "db/MemberSQL.h"
#include "history/HistoryView.h"
#include "import/JetReader.h"
#include "jobs/Backups.h"
#include "members/AddMemberFrm.h"
#include "pictures/Pictures.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "platform/os/IniFile.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/SavedFileMessage.h"
#include "reference/EditMembershipLevelsFrm.h"
#include "reference/EditProfilesFrm.h"
#include "renewals/RenewalsFrm.h"
#include "search/QuickFind.h"
#include "search/SearchCommands.h"
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"
#include "statistics/StatisticsFrm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QShortcut>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using qv::MessageButtons;
using qv::MessageKind;
using qv::MessageResult;

namespace {

const QString FileNotFound = QStringLiteral("The database file could not be found.");
const QString OpenFailed =
    QStringLiteral("There was a problem opening the database.\n\r\n\r"
                   "- Check the server/database exists and is available.\n\r"
                   "- Ensure you have the appropriate permissions to access the server and "
                   "database.");
const QString Upgraded = QStringLiteral("Your database was from a previous version - it has now "
                                        "been updated for this latest version!");
const QString ExitQuestion = QStringLiteral("Are you sure you want to exit?");
const QString BackupCreated = QStringLiteral("Backup created!");
const QString BackupFailed = QStringLiteral("There was a problem creating the backup.");

} // namespace

TfrmMain::TfrmMain(Tdm& dm, QWidget* parent)
    : QMainWindow(parent)
    , m_dm(dm) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(qv::Pictures::icon(u"application"));
    // A fixed window: no maximise box, and the size below cannot be dragged.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    createButtons();
    createMenus();
    // A change logged without a label of its own is named by the window the
    // user made it in.
    m_dm.changeRecorder().setDefaultSource([] {
        // The window the user opened, not a small dialog it opened in turn.
        const QWidget* window = QApplication::activeModalWidget();
        while (window && window->parentWidget() && window->parentWidget()->window()->isModal())
            window = window->parentWidget()->window();
        return window ? window->windowTitle() : QString();
    });
    createQuickFind();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    move(0, 0);
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createButtons() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("pnlClient"));
    client->setFixedSize(543, 116);
    client->setAutoFillBackground(true);
    QPalette navy = client->palette();
    navy.setColor(QPalette::Window, QColor(0x00, 0x00, 0x80));
    client->setPalette(navy);
    setCentralWidget(client);

    QFont font = client->font();
    font.setBold(true);
    font.setPixelSize(16);

    struct ButtonDef {
        QToolButton** button;
        const char* name;
        const char* caption;
        const char* tip;
        const char16_t* picture;
        void (TfrmMain::*handler)();
    };
    // Two-word captions break into two lines, so each word stays readable on
    // the square buttons.
    const ButtonDef buttons[] = {
        {&btnFind, "btnFind", "Find", "Find a member using a keyword", u"find",
         &TfrmMain::btnFindClick},
        {&btnMemberList, "btnMemberList", "Member\nList", "Show a list of current members",
         u"member-list", &TfrmMain::btnMemberListClick},
        {&btnProfiles, "btnProfiles", "Profiles", "Find current members that match a profile",
         u"profiles", &TfrmMain::btnProfilesClick},
        {&btnLongService, "btnLongService", "Long\nService",
         "List members with long service (e.g. 5, 10, 15 years, etc.)", u"long-service",
         &TfrmMain::btnLongServiceClick},
        {&btnAddMember, "btnAddMember", "Add\nMember", "Add a new member", u"add-member",
         &TfrmMain::btnAddMemberClick},
    };
    int left = 8;
    for (const ButtonDef& def : buttons) {
        auto* button = new QToolButton(client);
        button->setObjectName(QString::fromLatin1(def.name));
        button->setText(QString::fromLatin1(def.caption));
        button->setToolTip(QString::fromLatin1(def.tip));
        button->setIcon(qv::Pictures::icon(def.picture));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFont(font);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setGeometry(left, 8, 100, 100);
        connect(button, &QToolButton::clicked, this, def.handler);
        *def.button = button;
        left += 106;
    }
}

void TfrmMain::createQuickFind() {
    pnlQuickFind = new QuickFindBox(m_dm.adoMembers(), this);
    QWidget* client = takeCentralWidget();
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(pnlQuickFind);
    column->addWidget(client);
    setCentralWidget(central);
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_K), QKeySequence(Qt::CTRL | Qt::Key_F)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, pnlQuickFind, &QuickFindBox::focusBox);
    }
}

void TfrmMain::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuMainMenu"));

    const auto item = [this](QMenu* menu, QAction*& action, const char* name, const char* caption,
                             const QKeySequence& shortcut, const char16_t* picture,
                             void (TfrmMain::*handler)()) {
        action = menu->addAction(qv::Pictures::icon(picture), QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
    };
    const QKeySequence none;

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    item(file, mnuFileImportMembers, "mnuFileImportMembers", "&Import Members from Spreadsheet...",
         none, u"import-members", &TfrmMain::mnuFileImportMembersClick);
    file->addSeparator();
    // Ctrl+Q quits, as in the other programs of the desktop.
    item(file, mnuFileExit, "mnuFileExit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_Q), u"exit",
         &TfrmMain::mnuFileExitClick);

    QMenu* search = bar->addMenu(QStringLiteral("&Search"));
    search->setObjectName(QStringLiteral("mnuSearch"));
    item(search, mnuSearchFind, "mnuSearchFind", "&Find...", QKeySequence(Qt::Key_F2), u"find",
         &TfrmMain::btnFindClick);
    item(search, mnuSearchMembersList, "mnuSearchMembersList", "Member L&ist...",
         QKeySequence(Qt::Key_F3), u"member-list", &TfrmMain::btnMemberListClick);
    item(search, mnuSearchProfile, "mnuSearchProfile", "P&rofile...", QKeySequence(Qt::Key_F4),
         u"profiles", &TfrmMain::btnProfilesClick);
    item(search, mnuSearchLongService, "mnuSearchLongService", "L&ong Service...",
         QKeySequence(Qt::Key_F5), u"long-service", &TfrmMain::btnLongServiceClick);
    search->addSeparator();
    item(search, mnuSearchAssets, "mnuSearchAssets", "&Assets...", QKeySequence(Qt::Key_F6),
         u"assets", &TfrmMain::mnuSearchAssetsClick);
    item(search, mnuSearchAssetRef, "mnuSearchAssetRef", "Asset R&ef...", QKeySequence(Qt::Key_F7),
         u"asset-ref", &TfrmMain::mnuSearchAssetRefClick);
    item(search, mnuSearchMembershipNo, "mnuSearchMembershipNo", "Membership &No...",
         QKeySequence(Qt::Key_F8), u"membership-no", &TfrmMain::mnuSearchMembershipNoClick);
    item(search, mnuSearchUnpaidFees, "mnuSearchUnpaidFees", "&Unpaid Fees...",
         QKeySequence(Qt::Key_F9), u"unpaid-fees", &TfrmMain::mnuSearchUnpaidFeesClick);
    item(search, mnuSearchPastMembers, "mnuSearchPastMembers", "&Past Members...",
         QKeySequence(Qt::Key_F10), u"past-members", &TfrmMain::mnuSearchPastMembersClick);
    item(search, mnuSearchMembershipLevel, "mnuSearchMembershipLevel", "Membership &Type...",
         QKeySequence(Qt::Key_F11), u"membership-type", &TfrmMain::mnuSearchMembershipLevelClick);
    search->addSeparator();
    item(search, mnuSearchStatistics, "mnuSearchStatistics", "&Statistics...", none, u"statistics",
         &TfrmMain::mnuSearchStatisticsClick);

    QMenu* data = bar->addMenu(QStringLiteral("&Data"));
    data->setObjectName(QStringLiteral("mnuData"));
    item(data, mnuDataAddMember, "mnuDataAddMember", "A&dd Member...", QKeySequence(Qt::Key_Insert),
         u"add-member", &TfrmMain::btnAddMemberClick);
    data->addSeparator();
    item(data, mnuDataEditProfiles, "mnuDataEditProfiles", "Edit &Profiles...",
         QKeySequence(Qt::CTRL | Qt::Key_P), u"edit-profiles", &TfrmMain::mnuDataEditProfilesClick);
    item(data, mnuDataEditAssets, "mnuDataEditAssets", "Edit &Assets...",
         QKeySequence(Qt::CTRL | Qt::Key_S), u"edit-assets", &TfrmMain::mnuDataEditAssetsClick);
    item(data, mnuDataEditMembershipLevels, "mnuDataEditMembershipLevels",
         "Edit &Membership Types...", QKeySequence(Qt::CTRL | Qt::Key_L), u"edit-membership-types",
         &TfrmMain::mnuDataEditMembershipLevelsClick);
    item(data, mnuDataRenewals, "mnuDataRenewals", "&Renewals...", none, u"fee-payments",
         &TfrmMain::mnuDataRenewalsClick);
    data->addSeparator();
    item(data, mnuDataBackup, "mnuDataBackup", "&Backup Database...",
         QKeySequence(Qt::CTRL | Qt::Key_B), u"backup", &TfrmMain::mnuDataBackupClick);
    data->addSeparator();
    item(data, mnuDataChangeHistory, "mnuDataChangeHistory", "C&hange History...", none,
         u"change-history", &TfrmMain::mnuDataChangeHistoryClick);
    item(data, mnuDataPastMembersDue, "mnuDataPastMembersDue", "Past Members Due for &Erasure...",
         none, u"erase-members", &TfrmMain::mnuDataPastMembersDueClick);

    QMenu* settings = bar->addMenu(QStringLiteral("&Settings"));
    settings->setObjectName(QStringLiteral("mnuSettings"));
    item(settings, mnuSettingsSettings, "mnuSettingsSettings", "&Settings...",
         QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_F12), u"settings",
         &TfrmMain::mnuSettingsSettingsClick);
    settings->addSeparator();
    item(settings, mnuSettingsCompactRepair, "mnuSettingsCompactRepair", "&Compact && Repair...",
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R), u"compact-repair",
         &TfrmMain::mnuSettingsCompactRepairClick);

    // The maker's web, Facebook and Twitter items and the support e-mail item
    // are left out: there are no such addresses to open.
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    item(help, mnuHelpProductHelp, "mnuHelpProductHelp", "Product &Help", QKeySequence(Qt::Key_F1),
         u"help", &TfrmMain::mnuHelpProductHelpClick);
    help->addSeparator();
    item(help, mnuHelpAbout, "mnuHelpAbout", "&About...", none, u"about",
         &TfrmMain::mnuHelpAboutClick);
}

qv::MessageResult TfrmMain::PositionedMessage(const QString& text, qv::MessageKind kind,
                                              qv::MessageButtons buttons) {
    return qv::ShowMessageBox(text, kind, buttons, qv::MessagePlacement::NearPointer, this);
}

void TfrmMain::RunInTransaction(const std::function<bool(const Commit&)>& showWindow) {
    qv::TransactionGuard transaction(m_dm.adoMembers());
    if (!showWindow([&transaction] { transaction.commit(); }))
        transaction.rollback();
    else if (transaction.isOpen())
        transaction.commit();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_openedOnce) {
        m_openedOnce = true;
        // From the event loop, once the window is on screen: the messages
        // and the settings dialog then have a window to stand over, and an
        // error reaches the default error report.
        QTimer::singleShot(0, this, &TfrmMain::OpenDatabase);
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (m_terminating || PositionedMessage(ExitQuestion, MessageKind::Confirmation,
                                           MessageButtons::YesNo) == MessageResult::Yes) {
        if (!m_terminating)
            AutoBackup();
        event->accept();
    } else {
        event->ignore();
    }
}

void TfrmMain::AutoBackup() {
    if (!m_dm.adoMembers().isOpen() ||
        MemberSettings::GetDatabaseKind() != MemberSettings::DatabaseKind::Access ||
        !MemberSettings::GetAutoBackup())
        return;
    const QString path = MemberSettings::GetAccessDatabase();
    QString folder = MemberSettings::GetAutoBackupFolder();
    if (folder.isEmpty())
        folder = Backups::DefaultFolder(path);
    const QDateTime now = qv::Clock::now();
    if (Backups::BackedUpOn(folder, path, now.date()))
        return;

    Backups::Outcome outcome;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        outcome = Backups::BackUp(path, folder, MemberSettings::GetAutoBackupKeep(), now);
    }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    // Shown only when the copy takes more than a moment; nothing to cancel:
    // the copy is one step of the engine and leaves no half file when the
    // program is killed.
    std::unique_ptr<QProgressDialog> progress;
    QTimer later;
    later.setSingleShot(true);
    connect(&later, &QTimer::timeout, this, [this, &progress] {
        progress = std::make_unique<QProgressDialog>(
            QStringLiteral("Backing up the register before closing..."), QString(), 0, 0, this);
        progress->setObjectName(QStringLiteral("dlgAutoBackup"));
        progress->setWindowTitle(QStringLiteral("Quorvane"));
        progress->setWindowModality(Qt::ApplicationModal);
        progress->setMinimumDuration(0);
        progress->show();
    });
    later.start(400);
    worker->start();
    // Only the progress window's painting runs meanwhile: the main window
    // takes no input until the copy is done.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    later.stop();
    progress.reset();

    // The last failure is remembered so that the same one is said once.
    const QString failure = outcome.failure.simplified();
    try {
        if (failure != MemberSettings::GetAutoBackupFailure()) {
            if (!failure.isEmpty())
                PositionedMessage(QStringLiteral("The automatic backup did not work; the "
                                                 "register itself is as it was.\n\r\n\r") +
                                      outcome.failure,
                                  MessageKind::Warning);
            MemberSettings::SetAutoBackupFailure(failure);
        }
    } catch (const qv::IniWriteError&) {
        // A settings file that cannot be written only means the failure may
        // be said again next time.
    }
}

bool TfrmMain::ShowSettings() {
    TfrmSettings frmSettings(this);
    if (frmSettings.exec() != QDialog::Accepted)
        return false;
    // What the user saved names the register from now on, also after a run
    // started with a register on the command line.
    MemberSettings::SetRegisterForRun(QString());
    return true;
}

void TfrmMain::SetCommandStates(bool useAccess) {
    mnuDataBackup->setEnabled(useAccess);
    mnuSettingsSettings->setEnabled(MemberSettings::IsSettingsFileWritable());
    const bool writable = MemberSettings::IsDatabaseWritable();
    btnAddMember->setEnabled(writable);
    mnuDataAddMember->setEnabled(writable);
    mnuFileImportMembers->setEnabled(writable);
    mnuDataEditProfiles->setEnabled(writable);
    mnuDataEditAssets->setEnabled(writable);
    mnuDataEditMembershipLevels->setEnabled(writable);
    mnuSettingsCompactRepair->setEnabled(useAccess && writable);
}

void TfrmMain::RequestTermination() {
    if (m_terminating)
        return;
    m_terminating = true;
    emit terminationRequested();
    close();
}

void TfrmMain::OpenDatabase() {
    // Each pass is one attempt; a pass whose open fails ends in the settings
    // dialog, and saving there starts a fresh pass from the settings.
    for (;;) {
        bool quit = false;
        // Read once: a kind saved in the dialog below takes effect next pass.
        const MemberSettings::DatabaseKind kind = MemberSettings::GetDatabaseKind();
        const bool useAccess = kind == MemberSettings::DatabaseKind::Access;
        QString connectionString;
        if (useAccess) {
            // Anything at the path is opened, so that a folder or a file that
            // is no register is told for what it is.
            if (!QFileInfo::exists(MemberSettings::GetAccessDatabase())) {
                PositionedMessage(FileNotFound, MessageKind::Error);
                quit = !ShowSettings();
            }
            // A register still in the Access (Jet) format: offered for import
            // into a new register beside it, which the settings then name.
            const QString path = MemberSettings::GetAccessDatabase();
            if (!quit && JetReader::IsJetFile(path) && !OfferJetImport(path)) {
                if (ShowSettings())
                    continue;
                quit = true;
            }
            connectionString =
                DBConnectionStrings::AccessConnectionString(MemberSettings::GetAccessDatabase());
        } else if (kind == MemberSettings::DatabaseKind::PostgreSQL) {
            connectionString = DBConnectionStrings::PostgreSQLConnectionString(
                MemberSettings::GetSQLServerName(), MemberSettings::GetSQLDatabaseName());
        } else {
            connectionString = DBConnectionStrings::SQLServerConnectionString(
                MemberSettings::GetSQLServerName(), MemberSettings::GetSQLDatabaseName());
        }

        SetCommandStates(useAccess);
        if (quit) {
            RequestTermination();
            return;
        }

        // The quick find lets go of the register it read; it reads the one
        // opened here at its next word.
        pnlQuickFind->release();
        try {
            setWindowTitle(QStringLiteral("Quorvane"));
            m_dm.OpenRegister(connectionString);
            // The title names the register, so two registers open side by
            // side can be told apart.
            setWindowTitle(QStringLiteral("Quorvane \u2014 ") +
                           (useAccess
                                ? QFileInfo(MemberSettings::GetAccessDatabase()).completeBaseName()
                                : MemberSettings::GetSQLDatabaseName()));
        } catch (const qv::DatabaseError& error) {
            // A refusal of our own (not a register, an incomplete one, a path
            // too long) says what is wrong better than the general message; a
            // PostgreSQL server's own answer says which of the two it was.
            const bool refused = dynamic_cast<const qv::DatabaseRefusal*>(&error) != nullptr;
            PositionedMessage(refused ? error.message()
                              : kind == MemberSettings::DatabaseKind::PostgreSQL
                                  ? OpenFailed + QStringLiteral("\n\r\n\r") + error.message()
                                  : OpenFailed,
                              MessageKind::Error);
            if (!ShowSettings()) {
                RequestTermination();
                return;
            }
            continue;
        }

        if (m_dm.UpgradeDatabase())
            qv::ShowMessageBox(Upgraded, MessageKind::Confirmation, MessageButtons::Ok,
                               qv::MessagePlacement::Centered, nullptr);
        // Words still in the box are looked up in this register now.
        pnlQuickFind->refresh();
        return;
    }
}

bool TfrmMain::OfferJetImport(const QString& jetPath) {
    // Imported before: that register, rather than "... (imported 2).mdb".
    const QString imported = MemberSettings::ImportedRegisterFor(jetPath);
    if (!imported.isEmpty() &&
        PositionedMessage(JetImportedQuestion(jetPath, imported), MessageKind::Confirmation,
                          MessageButtons::YesNo) == MessageResult::Yes)
        return UseImportedRegister(this, imported);
    const QString newPath = JetImport::ProposedRegisterPath(jetPath);
    if (PositionedMessage(JetImportQuestion(jetPath, newPath), MessageKind::Confirmation,
                          MessageButtons::YesNo) != MessageResult::Yes)
        return false;
    return ImportAndUseJetRegister(this, jetPath, newPath);
}

// The search commands.
void TfrmMain::btnFindClick() {
    SearchCommands::FindKeyword(this, m_dm.adoMembers());
}
void TfrmMain::btnMemberListClick() {
    SearchCommands::ListAllMembers(this, m_dm.adoMembers());
}
void TfrmMain::btnProfilesClick() {
    SearchCommands::FindProfile(this, m_dm.adoMembers());
}
void TfrmMain::btnLongServiceClick() {
    SearchCommands::ListLongService(this, m_dm.adoMembers());
}
void TfrmMain::mnuSearchAssetsClick() {
    SearchCommands::FindAssets(this, m_dm.adoMembers());
}
void TfrmMain::mnuSearchAssetRefClick() {
    SearchCommands::FindAssetReference(this, m_dm.adoMembers());
}
void TfrmMain::mnuSearchMembershipNoClick() {
    SearchCommands::FindMembershipNo(this, m_dm.adoMembers());
}
void TfrmMain::mnuSearchUnpaidFeesClick() {
    SearchCommands::FindUnpaidFees(this, m_dm.adoMembers());
}
void TfrmMain::mnuSearchPastMembersClick() {
    SearchCommands::ListPastMembers(this, m_dm.adoMembers());
}
void TfrmMain::mnuSearchMembershipLevelClick() {
    SearchCommands::FindMembershipLevel(this, m_dm.adoMembers());
}

void TfrmMain::btnAddMemberClick() {
    TfrmAddMember frmAddMember(this);
    RunInTransaction([&](const Commit& commit) {
        frmAddMember.SetCommit(commit);
        frmAddMember.ShowForNewMember(m_dm.adoMembers());
        return frmAddMember.result() == QDialog::Accepted;
    });
}

void TfrmMain::mnuDataEditProfilesClick() {
    RunInTransaction([this](const Commit& commit) {
        TfrmEditProfiles frmEditProfiles(this);
        frmEditProfiles.SetCommit(commit);
        return frmEditProfiles.EditList(
            m_dm.adoMembers(), MemberSQL::ProfileListSQL(), QStringLiteral("New Profile"),
            QStringLiteral("Edit Profiles"), QStringLiteral("ProfileID"),
            QStringLiteral("ProfileName"), QStringLiteral("Profiles"));
    });
}

void TfrmMain::mnuDataEditAssetsClick() {
    RunInTransaction([this](const Commit& commit) {
        TfrmEditProfiles frmEditProfiles(this);
        frmEditProfiles.SetCommit(commit);
        return frmEditProfiles.EditList(m_dm.adoMembers(), MemberSQL::AssetListSQL(),
                                        QStringLiteral("New Asset"), QStringLiteral("Edit Assets"),
                                        QStringLiteral("AssetID"), QStringLiteral("AssetName"),
                                        QStringLiteral("Assets"));
    });
}

void TfrmMain::mnuDataEditMembershipLevelsClick() {
    RunInTransaction([this](const Commit& commit) {
        TfrmEditMembershipLevels frmEditMembershipLevels(this);
        frmEditMembershipLevels.SetCommit(commit);
        return frmEditMembershipLevels.EditLevels(m_dm.adoMembers(),
                                                  MemberSQL::MembershipLevelListSQL());
    });
}

void TfrmMain::mnuSearchStatisticsClick() {
    if (!m_dm.adoMembers().isOpen())
        return;
    TfrmStatistics statistics(m_dm.adoMembers(), this);
    statistics.exec();
}

void TfrmMain::mnuDataRenewalsClick() {
    if (!m_dm.adoMembers().isOpen())
        return;
    TfrmRenewals renewals(this);
    renewals.ShowRenewals(m_dm.adoMembers());
}

void TfrmMain::mnuDataChangeHistoryClick() {
    if (!m_dm.adoMembers().isOpen())
        return;
    TfrmChangeHistory history(m_dm.adoMembers(), this);
    history.exec();
}

void TfrmMain::mnuDataPastMembersDueClick() {
    if (!m_dm.adoMembers().isOpen())
        return;
    TfrmPastMembersDue due(m_dm.adoMembers(), MemberSettings::GetRetentionYears(), this);
    due.exec();
}

void TfrmMain::mnuDataBackupClick() {
    const DBManagement::BackupResult backup =
        DBManagement::BackupDatabase(m_dm.adoMembers(), [this](const QString& prompt) {
            qv::FolderDialogOptions options;
            options.caption = prompt;
            options.allowNewFolder = false;
            return qv::GetExistingFolder(options, this);
        });
    if (!backup.folderChosen)
        return;
    if (backup.copied)
        qv::ShowFileSaved(this, QString(), BackupCreated, backup.path);
    else
        PositionedMessage(BackupFailed + QStringLiteral("\n\r\n\r") + backup.failure,
                          MessageKind::Error);
}

void TfrmMain::mnuSettingsCompactRepairClick() {
    // Its connection would count as another copy with the register open.
    pnlQuickFind->release();
    // A failure throws past the message to the error report, with what went
    // wrong; the register is then as it was and open again.
    const DBManagement::CompactionResult compacted =
        DBManagement::CompactDatabase(m_dm.adoMembers());
    qv::ShowFileSaved(this, QString(), DBManagement::CompactionReport(compacted), compacted.kept);
}

void TfrmMain::mnuFileImportMembersClick() {
    ImportMembersFromSpreadsheet(this, m_dm.adoMembers());
}

void TfrmMain::mnuFileExitClick() {
    close();
}

void TfrmMain::mnuSettingsSettingsClick() {
    if (ShowSettings())
        OpenDatabase();
}

void TfrmMain::mnuHelpProductHelpClick() {
    AppInfo::OpenProductHelp();
}

void TfrmMain::mnuHelpAboutClick() {
    TfrmAbout frmAbout(this);
    frmAbout.exec();
}
