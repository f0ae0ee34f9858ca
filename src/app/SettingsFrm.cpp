// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsFrm.h"

#include "app/CreateSQLServerFrm.h"
#include "app/ImportFrm.h"
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/TableCreate.h"
#include "import/JetReader.h"
#include "platform/data/DatabaseError.h"
#include "platform/os/FileSystem.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStackedLayout>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Registers and Access files both end in .mdb: each filter lists its own
// kind, told by the file's header.
const QString DatabaseFilter = QStringLiteral("Quorvane registers (*.mdb)|*.mdb");
const QString OpenDatabaseFilter =
    QStringLiteral("Quorvane registers (*.mdb)|*.mdb|Access files, to import (*.mdb)|*.mdb");
const QString AccessFilter = QStringLiteral("Access files (*.mdb)|*.mdb|All Files (*.*)|*.*");

bool RegisterKind(int filterIndex, const QString& path) {
    return filterIndex == 0 ? !JetReader::IsJetFile(path) : JetReader::IsJetFile(path);
}

bool AccessKind(int filterIndex, const QString& path) {
    return filterIndex != 0 || JetReader::IsJetFile(path);
}
const QString DatabaseSuffix = QStringLiteral("mdb");
const QString NewDatabaseName = QStringLiteral("DrelvinMembers.mdb");
const QString NewServerDatabaseName = QStringLiteral("DrelvinMembers");

// The entries of cboDatabase, in order.
enum KindIndex { AccessIndex = 0, SQLServerIndex = 1, PostgreSQLIndex = 2 };

bool FileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void Error(const QString& text, QWidget* parent) {
    qv::ShowMessageBox(text, qv::MessageKind::Error, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, parent);
}

// Why what is at `path` cannot be a register file (a folder, a FIFO, a
// device, an empty file), or empty text. What a file holds is looked at
// when the register is opened, which says so just as clearly.
QString RegisterFileProblem(const QString& path) {
    const QFileInfo info(path);
    if (info.isFile() && info.size() > 0)
        return QString();
    try {
        DBCreate::CheckRegisterFile(path);
    } catch (const qv::DatabaseRefusal& refused) {
        return refused.message();
    }
    return QString();
}

// The folder part of a path as typed; empty text stays empty (the dialog then
// starts in the current folder).
QString FolderOf(const QString& path) {
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

// A new database file is never made over an existing one.
qv::FileNameCheck RefuseExisting(QWidget* parent) {
    return [parent](const QString& path) {
        if (!FileExists(path))
            return true;
        // Over the file dialog, which stays open for another name.
        QWidget* over = QApplication::activeModalWidget();
        Error(QStringLiteral("That database file already exists!"), over ? over : parent);
        return false;
    };
}

QPushButton* MakeButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Only Save answers Enter.
    button->setAutoDefault(false);
    return button;
}

} // namespace

TfrmSettings::TfrmSettings(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(441, 278);

    // Created in tab order.
    pgcSettings = new QTabWidget(this);
    pgcSettings->setObjectName(QStringLiteral("pgcSettings"));
    tabDatabase = new QWidget;
    tabDatabase->setObjectName(QStringLiteral("tabDatabase"));
    pgcSettings->addTab(tabDatabase, QStringLiteral("&Database"));

    lblDatabase = new QLabel(QStringLiteral("Da&tabase:"), tabDatabase);
    lblDatabase->setObjectName(QStringLiteral("lblDatabase"));
    cboDatabase = new QComboBox(tabDatabase);
    cboDatabase->setObjectName(QStringLiteral("cboDatabase"));
    cboDatabase->addItems(
        {QStringLiteral("Access"), QStringLiteral("SQL Server"), QStringLiteral("PostgreSQL")});
    cboDatabase->setMinimumWidth(160);
    lblDatabase->setBuddy(cboDatabase);

    grpAccess = new QGroupBox(QStringLiteral("Access"), tabDatabase);
    grpAccess->setObjectName(QStringLiteral("grpAccess"));
    lblDBFile = new QLabel(QStringLiteral("Database &File:"), grpAccess);
    lblDBFile->setObjectName(QStringLiteral("lblDBFile"));
    edtDBFile = new QLineEdit(grpAccess);
    edtDBFile->setObjectName(QStringLiteral("edtDBFile"));
    lblDBFile->setBuddy(edtDBFile);
    btnAccessBrowse = MakeButton(QStringLiteral("&Browse..."), "btnAccessBrowse", grpAccess);
    btnAccessCopy = MakeButton(QStringLiteral("C&opy..."), "btnAccessCopy", grpAccess);
    btnAccessNew = MakeButton(QStringLiteral("&New..."), "btnAccessNew", grpAccess);
    btnAccessImport = MakeButton(QStringLiteral("&Import..."), "btnAccessImport", grpAccess);

    grpSQLServer = new QGroupBox(QStringLiteral("SQL Server"), tabDatabase);
    grpSQLServer->setObjectName(QStringLiteral("grpSQLServer"));
    lblServer = new QLabel(QStringLiteral("Ser&ver:"), grpSQLServer);
    lblServer->setObjectName(QStringLiteral("lblServer"));
    edtServer = new QLineEdit(grpSQLServer);
    edtServer->setObjectName(QStringLiteral("edtServer"));
    lblServer->setBuddy(edtServer);
    lblSQLDatabaseName = new QLabel(QStringLiteral("Database &Name:"), grpSQLServer);
    lblSQLDatabaseName->setObjectName(QStringLiteral("lblSQLDatabaseName"));
    edtDatabaseName = new QLineEdit(grpSQLServer);
    edtDatabaseName->setObjectName(QStringLiteral("edtDatabaseName"));
    lblSQLDatabaseName->setBuddy(edtDatabaseName);
    btnCreateSQLServerDatabase = MakeButton(QStringLiteral("C&reate Database..."),
                                            "btnCreateSQLServerDatabase", grpSQLServer);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(41);
    btnSave = new QPushButton(QStringLiteral("&Save"), pnlBottom);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setDefault(true);
    btnCancel = MakeButton(QStringLiteral("&Cancel"), "btnCancel", pnlBottom);

    // Access group: the path on its own line, the four file commands below.
    auto* accessLayout = new QGridLayout(grpAccess);
    accessLayout->addWidget(lblDBFile, 0, 0, 1, 5);
    accessLayout->addWidget(edtDBFile, 1, 0, 1, 5);
    accessLayout->addWidget(btnAccessBrowse, 2, 1);
    accessLayout->addWidget(btnAccessCopy, 2, 2);
    accessLayout->addWidget(btnAccessNew, 2, 3);
    accessLayout->addWidget(btnAccessImport, 2, 4);
    accessLayout->setColumnStretch(0, 1);
    accessLayout->setRowStretch(3, 1);

    auto* serverLayout = new QGridLayout(grpSQLServer);
    serverLayout->addWidget(lblServer, 0, 0);
    serverLayout->addWidget(edtServer, 0, 1, 1, 2);
    serverLayout->addWidget(lblSQLDatabaseName, 1, 0);
    serverLayout->addWidget(edtDatabaseName, 1, 1, 1, 2);
    serverLayout->addWidget(btnCreateSQLServerDatabase, 2, 2);
    serverLayout->setColumnStretch(1, 1);
    serverLayout->setRowStretch(3, 1);

    // Both groups take the same place; the kind chooses which one shows.
    kindPages = new QStackedLayout;
    kindPages->addWidget(grpAccess);
    kindPages->addWidget(grpSQLServer);

    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(lblDatabase);
    kindRow->addWidget(cboDatabase);
    kindRow->addStretch();

    auto* tabLayout = new QVBoxLayout(tabDatabase);
    tabLayout->addLayout(kindRow);
    tabLayout->addLayout(kindPages, 1);

    tabBackup = new QWidget;
    tabBackup->setObjectName(QStringLiteral("tabBackup"));
    pgcSettings->addTab(tabBackup, QStringLiteral("B&ackup"));
    grpAutoBackup = new QGroupBox(QStringLiteral("Automatic backup"), tabBackup);
    grpAutoBackup->setObjectName(QStringLiteral("grpAutoBackup"));
    chkAutoBackup = new QCheckBox(
        QStringLiteral("Back up the register &file on closing, once a day"), grpAutoBackup);
    chkAutoBackup->setObjectName(QStringLiteral("chkAutoBackup"));
    lblBackupFolder = new QLabel(QStringLiteral("F&older:"), grpAutoBackup);
    lblBackupFolder->setObjectName(QStringLiteral("lblBackupFolder"));
    edtBackupFolder = new QLineEdit(grpAutoBackup);
    edtBackupFolder->setObjectName(QStringLiteral("edtBackupFolder"));
    edtBackupFolder->setPlaceholderText(QStringLiteral("Backups beside the register"));
    lblBackupFolder->setBuddy(edtBackupFolder);
    btnBackupFolder = MakeButton(QStringLiteral("Bro&wse..."), "btnBackupFolder", grpAutoBackup);
    lblBackupKeep = new QLabel(QStringLiteral("&Keep the newest:"), grpAutoBackup);
    lblBackupKeep->setObjectName(QStringLiteral("lblBackupKeep"));
    spnBackupKeep = new QSpinBox(grpAutoBackup);
    spnBackupKeep->setObjectName(QStringLiteral("spnBackupKeep"));
    spnBackupKeep->setRange(1, 999);
    lblBackupKeep->setBuddy(spnBackupKeep);
    lblBackupThinning = new QLabel(
        QStringLiteral("and of the older ones the first of each month for a year."), grpAutoBackup);
    lblBackupThinning->setObjectName(QStringLiteral("lblBackupThinning"));
    lblBackupThinning->setWordWrap(true);
    auto* backupLayout = new QGridLayout(grpAutoBackup);
    backupLayout->addWidget(chkAutoBackup, 0, 0, 1, 3);
    backupLayout->addWidget(lblBackupFolder, 1, 0);
    backupLayout->addWidget(edtBackupFolder, 1, 1);
    backupLayout->addWidget(btnBackupFolder, 1, 2);
    backupLayout->addWidget(lblBackupKeep, 2, 0);
    backupLayout->addWidget(spnBackupKeep, 2, 1, Qt::AlignLeft);
    backupLayout->addWidget(lblBackupThinning, 3, 0, 1, 3);
    backupLayout->setColumnStretch(1, 1);
    backupLayout->setRowStretch(4, 1);
    (new QVBoxLayout(tabBackup))->addWidget(grpAutoBackup);
    connect(btnBackupFolder, &QPushButton::clicked, this, &TfrmSettings::btnBackupFolderClick);

    auto* bottomLayout = new QHBoxLayout(pnlBottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addStretch();
    bottomLayout->addWidget(btnSave);
    bottomLayout->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addWidget(pgcSettings, 1);
    layout->addWidget(pnlBottom);

    connect(cboDatabase, &QComboBox::currentIndexChanged, this, &TfrmSettings::cboDatabaseChange);
    connect(btnAccessBrowse, &QPushButton::clicked, this, &TfrmSettings::btnAccessBrowseClick);
    connect(btnAccessCopy, &QPushButton::clicked, this, &TfrmSettings::btnAccessCopyClick);
    connect(btnAccessNew, &QPushButton::clicked, this, &TfrmSettings::btnAccessNewClick);
    connect(btnAccessImport, &QPushButton::clicked, this, &TfrmSettings::btnAccessImportClick);
    connect(btnCreateSQLServerDatabase, &QPushButton::clicked, this,
            &TfrmSettings::btnCreateSQLServerDatabaseClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmSettings::btnSaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    addPrivacyTab();
    cboDatabase->setFocus();
}

void TfrmSettings::addPrivacyTab() {
    tabPrivacy = new QWidget;
    tabPrivacy->setObjectName(QStringLiteral("tabPrivacy"));
    pgcSettings->addTab(tabPrivacy, QStringLiteral("&Privacy"));
    grpRetention = new QGroupBox(QStringLiteral("Past Members"), tabPrivacy);
    grpRetention->setObjectName(QStringLiteral("grpRetention"));
    lblRetentionYears = new QLabel(QStringLiteral("&Keep past members' data for"), grpRetention);
    lblRetentionYears->setObjectName(QStringLiteral("lblRetentionYears"));
    spnRetentionYears = new QSpinBox(grpRetention);
    spnRetentionYears->setObjectName(QStringLiteral("spnRetentionYears"));
    spnRetentionYears->setRange(1, 99);
    spnRetentionYears->setSuffix(QStringLiteral(" years"));
    lblRetentionYears->setBuddy(spnRetentionYears);
    auto* hint = new QLabel(QStringLiteral("after their last period ended; then Data > Past "
                                           "Members Due for Erasure lists them."),
                            grpRetention);
    hint->setWordWrap(true);
    auto* rows = new QGridLayout(grpRetention);
    rows->addWidget(lblRetentionYears, 0, 0);
    rows->addWidget(spnRetentionYears, 0, 1);
    rows->addWidget(hint, 1, 0, 1, 3);
    rows->setColumnStretch(2, 1);
    auto* tabLayout = new QVBoxLayout(tabPrivacy);
    tabLayout->addWidget(grpRetention);
    tabLayout->addStretch();
}

void TfrmSettings::showEvent(QShowEvent* event) {
    // Filled each time the dialog opens, so it always shows what is stored.
    if (!event->spontaneous())
        LoadSettings();
    QDialog::showEvent(event);
}

void TfrmSettings::LoadSettings() {
    switch (MemberSettings::GetDatabaseKind()) {
    case MemberSettings::DatabaseKind::Access:
        cboDatabase->setCurrentIndex(AccessIndex);
        break;
    case MemberSettings::DatabaseKind::SQLServer:
        cboDatabase->setCurrentIndex(SQLServerIndex);
        break;
    case MemberSettings::DatabaseKind::PostgreSQL:
        cboDatabase->setCurrentIndex(PostgreSQLIndex);
        break;
    }
    edtDBFile->setText(MemberSettings::GetAccessDatabase());
    edtServer->setText(MemberSettings::GetSQLServerName());
    edtDatabaseName->setText(MemberSettings::GetSQLDatabaseName());
    spnRetentionYears->setValue(MemberSettings::GetRetentionYears());
    cboDatabaseChange();
    chkAutoBackup->setChecked(MemberSettings::GetAutoBackup());
    edtBackupFolder->setText(MemberSettings::GetAutoBackupFolder());
    spnBackupKeep->setValue(MemberSettings::GetAutoBackupKeep());
}

void TfrmSettings::btnBackupFolderClick() {
    qv::FolderDialogOptions options;
    options.caption = QStringLiteral("Folder for automatic backups");
    options.initialFolder = edtBackupFolder->text();
    if (const std::optional<QString> folder = qv::GetExistingFolder(options, this))
        edtBackupFolder->setText(*folder);
}

void TfrmSettings::cboDatabaseChange() {
    kindPages->setCurrentWidget(cboDatabase->currentIndex() == AccessIndex
                                    ? static_cast<QWidget*>(grpAccess)
                                    : static_cast<QWidget*>(grpSQLServer));
    // Both servers take a server and a database name, kept in the same two
    // settings; the group says which server they are for.
    const bool postgres = cboDatabase->currentIndex() == PostgreSQLIndex;
    grpSQLServer->setTitle(postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQL Server"));
    edtServer->setPlaceholderText(postgres ? QStringLiteral("host, host:port or socket folder")
                                           : QString());
}

void TfrmSettings::btnAccessBrowseClick() {
    qv::FileDialogOptions options;
    options.caption = QStringLiteral("Access Database");
    options.initialFolder = FolderOf(edtDBFile->text());
    options.filter = OpenDatabaseFilter;
    options.kinds = RegisterKind;
    options.defaultSuffix = DatabaseSuffix;
    if (const auto path = qv::GetOpenFileName(options, this))
        edtDBFile->setText(*path);
}

void TfrmSettings::btnAccessCopyClick() {
    const QString current = edtDBFile->text();
    if (!FileExists(current)) {
        Error(QStringLiteral("The current database file does not exist!"), this);
        return;
    }
    qv::FileDialogOptions options;
    options.caption = QStringLiteral("Copy Database");
    options.fileName = current;
    options.filter = DatabaseFilter;
    options.kinds = RegisterKind;
    options.defaultSuffix = DatabaseSuffix;
    const auto target = qv::GetSaveFileName(options, this);
    if (!target)
        return;
    // Never over an existing file, even after the dialog's overwrite question:
    // that file may be another register, or the current one itself.
    if (qv::FileSystem::copyFileNoOverwrite(current, *target)) {
        edtDBFile->setText(*target);
        qv::ShowMessageBox(QStringLiteral("The database file has been copied to the new "
                                          "location and the setting changed."),
                           qv::MessageKind::Information, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
    } else {
        Error(QStringLiteral("The database file could not be copied.\n\r\n\rThis could be because "
                             "a file with that name already exists (e.g. there is already a copy "
                             "of the database at that location)."),
              this);
    }
}

void TfrmSettings::btnAccessNewClick() {
    qv::FileDialogOptions options;
    options.caption = QStringLiteral("Create Access Database");
    const QString folder = FolderOf(edtDBFile->text());
    options.initialFolder =
        !folder.isEmpty() && QDir(folder).exists() ? folder : AppInfo::GetDocumentsFolder();
    options.fileName = NewDatabaseName;
    options.filter = DatabaseFilter;
    options.kinds = RegisterKind;
    options.defaultSuffix = DatabaseSuffix;
    options.check = RefuseExisting(this);
    const auto path = qv::GetSaveFileName(options, this);
    if (!path)
        return;
    // All or nothing: a failure leaves no file behind, only the error report.
    DBCreate::CreateAccessRegister(*path);
    edtDBFile->setText(*path);
}

// Brings a register across from an Access (Jet) file into a new file, which
// the path box then names, as New does; Save makes it the register.
void TfrmSettings::btnAccessImportClick() {
    qv::FileDialogOptions source;
    source.caption = QStringLiteral("Import Access Database");
    source.initialFolder = FolderOf(edtDBFile->text());
    source.filter = AccessFilter;
    source.kinds = AccessKind;
    const auto jetPath = qv::GetOpenFileName(source, this);
    if (!jetPath)
        return;
    if (!JetReader::IsJetFile(*jetPath)) {
        Error(QStringLiteral("That file is not an Access database file."), this);
        return;
    }
    qv::FileDialogOptions target;
    target.caption = QStringLiteral("Import Into New Database");
    target.fileName = JetImport::ProposedRegisterPath(*jetPath);
    target.filter = DatabaseFilter;
    target.kinds = RegisterKind;
    target.defaultSuffix = DatabaseSuffix;
    target.check = RefuseExisting(this);
    const auto newPath = qv::GetSaveFileName(target, this);
    if (newPath && ImportJetRegister(this, *jetPath, *newPath))
        edtDBFile->setText(*newPath);
}

void TfrmSettings::btnCreateSQLServerDatabaseClick() {
    const bool postgres = cboDatabase->currentIndex() == PostgreSQLIndex;
    TfrmCreateSQLServer frmCreate(this);
    if (postgres)
        frmCreate.setPostgreSQL();
    frmCreate.setDatabaseName(NewServerDatabaseName);
    if (frmCreate.exec() != QDialog::Accepted)
        return;
    const QString server = frmCreate.serverName();
    const QString database = frmCreate.databaseName();
    if (postgres) {
        DBCreate::CreatePostgreSQLDatabase(server, database);
        try {
            TableCreate::CreateTables(
                DBConnectionStrings::PostgreSQLConnectionString(server, database));
        } catch (...) {
            // No empty database is left under the name to block the next try.
            DBCreate::DropPostgreSQLDatabase(server, database);
            throw;
        }
    } else {
        DBCreate::CreateSQLServerDatabase(server, database);
        TableCreate::CreateTables(DBConnectionStrings::SQLServerConnectionString(server, database));
    }
    edtServer->setText(server);
    edtDatabaseName->setText(database);
}

void TfrmSettings::btnSaveClick() {
    const int kind = cboDatabase->currentIndex();
    const bool useAccess = kind == AccessIndex;
    if (useAccess && !QFileInfo::exists(edtDBFile->text())) {
        Error(QStringLiteral("The Access database file does not exist!"), this);
        return;
    }
    if (useAccess)
        if (const QString problem = RegisterFileProblem(edtDBFile->text()); !problem.isEmpty()) {
            Error(problem, this);
            return;
        }
    if (const QFileInfo folder(edtBackupFolder->text());
        !edtBackupFolder->text().isEmpty() && folder.exists() && !folder.isDir()) {
        pgcSettings->setCurrentWidget(tabBackup);
        Error(QStringLiteral("The backup folder \"%1\" is a file, not a folder.")
                  .arg(edtBackupFolder->text()),
              this);
        return;
    }
    if (!useAccess &&
        (edtServer->text().trimmed().isEmpty() || edtDatabaseName->text().trimmed().isEmpty())) {
        Error(QStringLiteral("You must enter a server and database name!"), this);
        return;
    }
    // All four, whichever kind is chosen, so switching back loses nothing, and
    // the retention years, in one write of the file. A refused write throws
    // and the dialog stays open.
    // With the file kind chosen, the server type stays as it was stored.
    std::optional<MemberSettings::ServerType> serverType;
    if (!useAccess)
        serverType = kind == PostgreSQLIndex ? MemberSettings::ServerType::PostgreSQL
                                             : MemberSettings::ServerType::SQLServer;
    MemberSettings::SetDatabaseSettings(useAccess, edtDBFile->text(), edtServer->text(),
                                        edtDatabaseName->text(), serverType,
                                        spnRetentionYears->value());
    MemberSettings::SetAutoBackup(chkAutoBackup->isChecked(), edtBackupFolder->text().trimmed(),
                                  spnBackupKeep->value());
    accept();
}
