// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestSupport.h"
#include "app/CreateSQLServerFrm.h"
#include "app/SettingsFrm.h"
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "platform/data/DatabaseError.h"
#include "platform/ui/Application.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalHelpers.h"
#include "settings/MemberSettings.h"
#include "support/AppTestMain.h"
#include "support/RegisterFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace qv;
using qv::test::readFileBytes;
using qv::test::Register;
using qv::test::SettingsSandbox;
using qv::test::writeFileBytes;

namespace {

const QString CopyFailed =
    "The database file could not be copied.\n\r\n\rThis could be because a file with that name "
    "already exists (e.g. there is already a copy of the database at that location).";

// The dialog as the user sees it: shown, filled from the settings.
struct Dialog {
    TfrmSettings window;
    Dialog() {
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
    }
    template <typename T> T* get(const char* name) {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("missing child %s", name);
        return found;
    }
    QLineEdit* edit(const char* name) { return get<QLineEdit>(name); }
    QComboBox* kind() { return get<QComboBox>("cboDatabase"); }
    void click(const char* name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
    bool accepted() const { return window.result() == QDialog::Accepted; }
};

} // namespace

class TestSettingsFrm : public QObject {
    Q_OBJECT

private slots:
    void loadsWhatIsStored();
    void saveValidation_data();
    void saveValidation();
    void backupSettings_data();
    void backupSettings();
    void saveThatCannotWriteKeepsTheDialogOpen();
    void retentionYearsSavedWithTheRest();
    void browse();
    void copy();
    void newDatabase();
    void newDatabaseThatCannotBeCreated();
    void createServerDatabase();
    void postgreSQLNameTheServerWouldCut_data();
    void postgreSQLNameTheServerWouldCut();
};

void TestSettingsFrm::loadsWhatIsStored() {
    SettingsSandbox box;
    {
        Dialog d;
        QCOMPARE(d.window.windowTitle(), QString("Settings"));
        QCOMPARE(d.kind()->currentText(), QString("Access"));
        QCOMPARE(d.edit("edtDBFile")->text(), box.filePath("Quorvane.mdb"));
        QVERIFY(d.get<QGroupBox>("grpAccess")->isVisible());
        QVERIFY(!d.get<QGroupBox>("grpSQLServer")->isVisible());
        QCOMPARE(d.window.focusWidget(), d.kind());
        // Tab walks the page top to bottom, then the two buttons.
        QStringList order;
        QWidget* w = d.kind();
        do {
            if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
                order << w->objectName();
            w = w->nextInFocusChain();
        } while (w != d.kind() && order.size() < 20);
        QCOMPARE(order.mid(0, 8),
                 QStringList({"cboDatabase", "edtDBFile", "btnAccessBrowse", "btnAccessCopy",
                              "btnAccessNew", "btnAccessImport", "btnSave", "btnCancel"}));
        d.kind()->setCurrentIndex(1);
        QVERIFY(!d.get<QGroupBox>("grpAccess")->isVisible());
        QVERIFY(d.get<QGroupBox>("grpSQLServer")->isVisible());
    }
    apptest::WriteSettings(box, false, "/srv/club.mdb", "clubhost", "Members");
    Dialog d;
    QCOMPARE(d.kind()->currentText(), QString("SQL Server"));
    QVERIFY(d.get<QGroupBox>("grpSQLServer")->isVisible());
    QCOMPARE(d.edit("edtDBFile")->text(), QString("/srv/club.mdb"));
    QCOMPARE(d.edit("edtServer")->text(), QString("clubhost"));
    QCOMPARE(d.edit("edtDatabaseName")->text(), QString("Members"));
}

void TestSettingsFrm::backupSettings_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("folder"); // %F: a regular file
    QTest::addColumn<int>("keep");
    QTest::addColumn<bool>("refused");
    QTest::newRow("off, another folder, three") << false << "/srv/backups" << 3 << false;
    QTest::newRow("on, the default folder") << true << "" << 10 << false;
    QTest::newRow("a file for a folder") << true << "%F" << 10 << true;
}

// Catches backup settings that are not stored, or not read back, and a file
// taken for the backup folder.
void TestSettingsFrm::backupSettings() {
    QFETCH(bool, on);
    QFETCH(QString, folder);
    QFETCH(int, keep);
    QFETCH(bool, refused);
    SettingsSandbox box;
    qv::test::Register reg;
    reg->close();
    folder.replace("%F", reg.path());
    apptest::WriteSettings(box, true, reg.path());
    MessageBoxTestScope boxes;
    if (refused)
        boxes.queue(MessageResult::Ok);
    Dialog d;
    QVERIFY(d.get<QCheckBox>("chkAutoBackup")->isChecked()); // on unless turned off
    QCOMPARE(d.get<QSpinBox>("spnBackupKeep")->value(), 10);
    d.get<QCheckBox>("chkAutoBackup")->setChecked(on);
    d.edit("edtBackupFolder")->setText(folder);
    d.get<QSpinBox>("spnBackupKeep")->setValue(keep);
    d.click("btnSave");
    if (refused) {
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY2(boxes.shown()[0].text.contains("is a file, not a folder"),
                 qPrintable(boxes.shown()[0].text));
        QVERIFY(d.window.isVisible());
        QCOMPARE(MemberSettings::GetAutoBackupFolder(), QString());
        return;
    }
    QVERIFY(d.accepted());
    QCOMPARE(MemberSettings::GetAutoBackup(), on);
    QCOMPARE(MemberSettings::GetAutoBackupFolder(), folder);
    QCOMPARE(MemberSettings::GetAutoBackupKeep(), keep);
    Dialog again;
    QCOMPARE(again.get<QCheckBox>("chkAutoBackup")->isChecked(), on);
    QCOMPARE(again.edit("edtBackupFolder")->text(), folder);
}

void TestSettingsFrm::saveValidation_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("refusal");
    const QString noFile = "The Access database file does not exist!";
    const QString noNames = "You must enter a server and database name!";
    // The server values do not rescue a missing file when the kind is Access.
    QTest::newRow("missing file") << 0 << false << "host"
                                  << "Club" << noFile;
    QTest::newRow("file") << 0 << true << ""
                          << ""
                          << "";
    QTest::newRow("server only") << 1 << false << "host"
                                 << "" << noNames;
    QTest::newRow("database only") << 1 << false << ""
                                   << "Club" << noNames;
    QTest::newRow("server of spaces") << 1 << false << "   "
                                      << "Club" << noNames;
    QTest::newRow("database of spaces") << 1 << false << "host"
                                        << "  " << noNames;
    QTest::newRow("server and database") << 1 << false << "host"
                                         << "Club"
                                         << "";
    QTest::newRow("surrounding spaces accepted") << 1 << false << " host "
                                                 << " Club "
                                                 << "";
}

void TestSettingsFrm::saveValidation() {
    QFETCH(int, kind);
    QFETCH(bool, fileExists);
    QFETCH(QString, server);
    QFETCH(QString, database);
    QFETCH(QString, refusal);

    SettingsSandbox box;
    const QString file = box.filePath("club.mdb");
    if (fileExists)
        QVERIFY(writeFileBytes(file, "x"));
    MessageBoxTestScope boxes;
    if (!refusal.isEmpty())
        boxes.queue(MessageResult::Ok);
    Dialog d;
    d.kind()->setCurrentIndex(kind);
    d.edit("edtDBFile")->setText(file);
    d.edit("edtServer")->setText(server);
    d.edit("edtDatabaseName")->setText(database);
    d.click("btnSave");

    if (!refusal.isEmpty()) {
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().at(0).text, refusal);
        QCOMPARE(boxes.shown().at(0).kind, MessageKind::Error);
        QVERIFY(d.window.isVisible());
        QCOMPARE(d.edit("edtServer")->text(), server); // the input stays as typed
        QVERIFY(box.settingsBytes().isEmpty());
        return;
    }
    QVERIFY(d.accepted());
    QVERIFY(!d.window.isVisible());
    // All four values, whichever kind; texts as typed, stored trimmed since
    // that is how they read back.
    const QByteArray ini = box.settingsBytes();
    QVERIFY(ini.contains(QString("UseAccessDatabase=%1\n").arg(kind == 0 ? 1 : 0).toUtf8()));
    QVERIFY(ini.contains(("AccessDatabase=" + file + "\n").toUtf8()));
    QVERIFY(ini.contains(("SQLServerName=" + server.trimmed() + "\n").toUtf8()));
    QVERIFY(ini.contains(("SQLDatabaseName=" + database.trimmed() + "\n").toUtf8()));
}

void TestSettingsFrm::saveThatCannotWriteKeepsTheDialogOpen() {
    SettingsSandbox box;
    const QString file = box.filePath("club.mdb");
    QVERIFY(writeFileBytes(file, "x"));
    Dialog d;
    d.edit("edtDBFile")->setText(file);
    // The settings folder has gone: every write is refused.
    MemberSettings::SetSettingsFolder(box.filePath("gone"));
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    d.click("btnSave");
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().at(0).text,
             "Unable to write to " + box.filePath("gone/Quorvane.ini") + ".");
    QVERIFY(d.window.isVisible());
    QVERIFY(!d.accepted());
}

// The retention is shown as stored and goes into the same write as the
// register's settings: a refused Save stores neither.
void TestSettingsFrm::retentionYearsSavedWithTheRest() {
    SettingsSandbox box;
    const QString file = box.filePath("club.mdb");
    QVERIFY(writeFileBytes(file, "x"));
    apptest::WriteSettings(box, true, file);
    MemberSettings::SetRetentionYears(9);
    Dialog d;
    auto* years = d.get<QSpinBox>("spnRetentionYears");
    QCOMPARE(years->value(), 9);
    years->setValue(3);
    d.edit("edtDBFile")->setText(box.filePath("missing.mdb"));
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    d.click("btnSave");
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(MemberSettings::GetRetentionYears(), 9);
    d.edit("edtDBFile")->setText(file);
    d.click("btnSave");
    QVERIFY(d.accepted());
    QCOMPARE(MemberSettings::GetRetentionYears(), 3);
    QVERIFY(box.settingsBytes().contains("RetentionYears=3\n"));
}

void TestSettingsFrm::browse() {
    SettingsSandbox box;
    const QString chosen = box.filePath("chosen.mdb");
    Dialog d;
    FileDialogTestScope files;
    files.queueCancel();
    d.click("btnAccessBrowse");
    QCOMPARE(d.edit("edtDBFile")->text(), box.filePath("Quorvane.mdb"));
    files.queue(chosen);
    d.click("btnAccessBrowse");
    QCOMPARE(d.edit("edtDBFile")->text(), chosen);

    const FileDialogRequest request = files.requests().at(0);
    QCOMPARE(request.kind, FileDialogKind::Open);
    QCOMPARE(request.caption, QString("Access Database"));
    QCOMPARE(request.initialFolder, box.folder());
    QCOMPARE(request.filter,
             QString("Quorvane registers (*.mdb)|*.mdb|Access files, to import (*.mdb)|*.mdb"));
    QCOMPARE(request.defaultSuffix, QString("mdb"));
    // The two filters list the two kinds of .mdb file, told by content.
    qv::test::Register reg;
    reg->close();
    const QString jet = QV_JET_DATA "/register-small.mdb";
    QVERIFY(request.kinds);
    QCOMPARE(QList<bool>({request.kinds(0, reg.path()), request.kinds(0, jet),
                          request.kinds(1, reg.path()), request.kinds(1, jet)}),
             QList<bool>({true, false, false, true}));
}

void TestSettingsFrm::copy() {
    SettingsSandbox box;
    const QString current = box.filePath("current.mdb");
    const QString taken = box.filePath("taken.mdb");
    const QString copied = box.filePath("copy.mdb");
    MessageBoxTestScope boxes;
    FileDialogTestScope files;
    Dialog d;

    // Nothing to copy: no file dialog.
    d.edit("edtDBFile")->setText(current);
    boxes.queue(MessageResult::Ok);
    d.click("btnAccessCopy");
    QCOMPARE(boxes.shown().at(0).text, QString("The current database file does not exist!"));
    QCOMPARE(files.requests().size(), 0);

    QVERIFY(writeFileBytes(current, "register"));
    QVERIFY(writeFileBytes(taken, "another register"));
    // The user agreed to overwrite in the file dialog; the copy still refuses.
    files.queue(taken);
    boxes.queue(MessageResult::Ok);
    d.click("btnAccessCopy");
    QCOMPARE(boxes.shown().at(1).text, CopyFailed);
    QCOMPARE(boxes.shown().at(1).kind, MessageKind::Error);
    QCOMPARE(readFileBytes(taken), QByteArray("another register"));
    QCOMPARE(d.edit("edtDBFile")->text(), current);
    const FileDialogRequest request = files.requests().at(0);
    QCOMPARE(request.kind, FileDialogKind::Save);
    QCOMPARE(request.caption, QString("Copy Database"));
    QCOMPARE(request.fileName, current);
    QVERIFY(request.confirmOverwrite);

    files.queue(copied);
    boxes.queue(MessageResult::Ok);
    d.click("btnAccessCopy");
    QCOMPARE(boxes.shown().at(2).text, QString("The database file has been copied to the new "
                                               "location and the setting changed."));
    QCOMPARE(boxes.shown().at(2).kind, MessageKind::Information);
    QCOMPARE(readFileBytes(copied), QByteArray("register"));
    QCOMPARE(d.edit("edtDBFile")->text(), copied);
    // The setting itself waits for Save.
    QVERIFY(box.settingsBytes().isEmpty());
}

void TestSettingsFrm::newDatabase() {
    SettingsSandbox box;
    apptest::WriteSettings(box, true, box.filePath("Quorvane.mdb"));
    const QByteArray before = box.settingsBytes();
    const QString existing = box.filePath("DrelvinMembers.mdb");
    QVERIFY(writeFileBytes(existing, "older register"));
    const QString fresh = box.filePath("Fresh.mdb");
    MessageBoxTestScope boxes;
    FileDialogTestScope files;
    Dialog d;

    files.queueCancel();
    d.click("btnAccessNew");
    QCOMPARE(d.edit("edtDBFile")->text(), box.filePath("Quorvane.mdb"));

    // The existing file is refused while the dialog stays open; the next name
    // is taken.
    files.queue(existing);
    files.queue(fresh);
    boxes.queue(MessageResult::Ok);
    d.click("btnAccessNew");
    const FileDialogRequest request = files.requests().at(1);
    QCOMPARE(request.caption, QString("Create Access Database"));
    QCOMPARE(request.fileName, QString("DrelvinMembers.mdb"));
    QCOMPARE(request.filter, QString("Quorvane registers (*.mdb)|*.mdb"));
    QCOMPARE(request.defaultSuffix, QString("mdb"));
    QVERIFY(request.confirmOverwrite);
    QCOMPARE(request.refused, QStringList{existing});
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().at(0).text, QString("That database file already exists!"));
    QCOMPARE(readFileBytes(existing), QByteArray("older register"));

    QCOMPARE(d.edit("edtDBFile")->text(), fresh);
    Connection created;
    created.setConnectionString(DBConnectionStrings::AccessConnectionString(fresh));
    created.open();
    QCOMPARE(apptest::TableCount(created), 10);
    QCOMPARE(apptest::Scalar(created, "SELECT COUNT(*) FROM MembershipLevel"), 1);
    created.close();

    // Cancel keeps the new file and leaves the settings as they were.
    d.click("btnCancel");
    QVERIFY(!d.accepted());
    QVERIFY(QFileInfo::exists(fresh));
    QCOMPARE(box.settingsBytes(), before);
}

void TestSettingsFrm::newDatabaseThatCannotBeCreated() {
    SettingsSandbox box;
    MessageBoxTestScope boxes;
    FileDialogTestScope files;
    Dialog d;
    files.queue(box.filePath("no such folder/New.mdb"));
    boxes.queue(MessageResult::Ok);
    d.click("btnAccessNew");
    // The default error report, and the box keeps its text.
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY(boxes.shown().at(0).text.startsWith("Could not create"));
    QCOMPARE(d.edit("edtDBFile")->text(), box.filePath("Quorvane.mdb"));
    QVERIFY(d.window.isVisible());
}

void TestSettingsFrm::createServerDatabase() {
    SettingsSandbox box;
    apptest::WriteSettings(box, false, "", "oldhost", "OldClub");
    const QString server = apptest::ClosedServer();
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(15000);
    Dialog d;

    // Cancel: nothing happens.
    QString preset;
    qvtest::WhenModal([&](QWidget* modal) {
        preset = modal->findChild<QLineEdit*>("edtSQLDatabase")->text();
        QTest::mouseClick(modal->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
    });
    d.click("btnCreateSQLServerDatabase");
    QCOMPARE(preset, QString("DrelvinMembers"));

    // An empty server is refused with the dialog left open; then the server
    // cannot be reached, which the error report tells.
    boxes.queue(MessageResult::Ok); // the refusal
    boxes.queue(MessageResult::Ok); // the error report
    bool stayedOpen = false;
    QString title;
    qvtest::WhenModal([&](QWidget* modal) {
        title = modal->windowTitle();
        auto* ok = modal->findChild<QPushButton*>("btnOK");
        QTest::mouseClick(ok, Qt::LeftButton);
        stayedOpen = modal->isVisible();
        modal->findChild<QLineEdit*>("edtSQLServer")->setText(server);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    d.click("btnCreateSQLServerDatabase");
    QVERIFY(!watchdog.fired());
    QCOMPARE(title, QString("Create SQL Server Database"));
    QVERIFY(stayedOpen);
    QCOMPARE(boxes.shown().size(), 2);
    QCOMPARE(boxes.shown().at(0).text, QString("You must enter an SQL Server and Database name."));
    QCOMPARE(boxes.shown().at(1).kind, MessageKind::Error);
    QCOMPARE(boxes.shown().at(1).caption, QString("Quorvane"));
    // The boxes keep what they held.
    QCOMPARE(d.edit("edtServer")->text(), QString("oldhost"));
    QCOMPARE(d.edit("edtDatabaseName")->text(), QString("OldClub"));
    QVERIFY(d.window.isVisible());
}

void TestSettingsFrm::postgreSQLNameTheServerWouldCut_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal"); // empty: taken
    const QString tooLong = "is too long: PostgreSQL keeps at most 63 bytes";
    QTest::newRow("empty") << ""
                           << "You must enter a server and database name.";
    QTest::newRow("63 letters") << QString(63, 'a') << "";
    QTest::newRow("64 letters") << QString(64, 'a') << tooLong;
    // 32 letters of two bytes each: short in letters, too long in bytes.
    QTest::newRow("64 bytes in 32 letters") << QString(32, QChar(0xe9)) << tooLong;
    QTest::newRow("63 bytes in 32 letters") << QString(31, QChar(0xe9)) + 'a' << "";
}

// The dialog refuses before the server is asked; the database layer refuses
// as well, so no caller can have a name cut.
void TestSettingsFrm::postgreSQLNameTheServerWouldCut() {
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    MessageBoxTestScope boxes;
    TfrmCreateSQLServer frm;
    frm.setPostgreSQL();
    frm.findChild<QLineEdit*>("edtSQLServer")->setText(apptest::ClosedServer());
    frm.setDatabaseName(name);
    if (!refusal.isEmpty())
        boxes.queue(MessageResult::Ok);
    frm.btnOKClick();
    QCOMPARE(frm.result() == QDialog::Accepted, refusal.isEmpty());
    QCOMPARE(boxes.shown().size(), refusal.isEmpty() ? 0 : 1);
    if (!refusal.isEmpty())
        QVERIFY2(boxes.shown().at(0).text.contains(refusal), qPrintable(boxes.shown().at(0).text));
    if (refusal.isEmpty() || name.isEmpty())
        return;
    try {
        DBCreate::CreatePostgreSQLDatabase(apptest::ClosedServer(), name);
        QFAIL("a name the server would cut was sent to it");
    } catch (const DatabaseRefusal& e) {
        QVERIFY(e.message().contains(refusal));
    }
}

QV_APP_TEST_MAIN(TestSettingsFrm)

#include "tst_settingsfrm.moc"
