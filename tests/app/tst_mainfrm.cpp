// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestSupport.h"
#include "app/AboutFrm.h"
#include "app/MainFrm.h"
#include "app/SettingsFrm.h"
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/DataModule.h"
#include "jobs/Backups.h"
#include "platform/data/DatabaseError.h"
#include "platform/ui/Application.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalHelpers.h"
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"
#include "support/AppTestMain.h"
#include "support/RegisterFixture.h"
#include "support/UrlCatcher.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <sys/stat.h>

using namespace qv;
using qv::test::Register;
using qv::test::SettingsSandbox;

namespace {

const QString NotFound = "The database file could not be found.";
const QString OpenFailed = "There was a problem opening the database.\n\r\n\r- Check the "
                           "server/database exists and is available.\n\r- Ensure you have the "
                           "appropriate permissions to access the server and database.";
const QString Upgraded = "Your database was from a previous version - it has now been updated "
                         "for this latest version!";

template <typename T> T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qWarning("missing child %s", name);
    return found;
}

void click(QWidget* parent, const char* name) {
    if (auto* button = child<QAbstractButton>(parent, name))
        QTest::mouseClick(button, Qt::LeftButton);
}

// Arms `act` for the next settings dialog. Any other modal window is closed
// and recorded, so a wrong turn fails the test instead of hanging it.
void WhenSettings(QStringList& problems, std::function<void(TfrmSettings*)> act) {
    qvtest::WhenModal([&problems, act = std::move(act)](QWidget* modal) {
        if (auto* settings = qobject_cast<TfrmSettings*>(modal)) {
            act(settings);
            return;
        }
        problems << QStringLiteral("unexpected modal window %1").arg(modal->objectName());
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
}

// Types into the dialog's path box and saves.
void SaveFile(TfrmSettings* settings, const QString& path) {
    child<QComboBox>(settings, "cboDatabase")->setCurrentIndex(0);
    child<QLineEdit>(settings, "edtDBFile")->setText(path);
    click(settings, "btnSave");
}

void SaveServer(TfrmSettings* settings, const QString& server, const QString& database) {
    child<QComboBox>(settings, "cboDatabase")->setCurrentIndex(1);
    child<QLineEdit>(settings, "edtServer")->setText(server);
    child<QLineEdit>(settings, "edtDatabaseName")->setText(database);
    click(settings, "btnSave");
}

} // namespace

class TestMainFrm : public QObject {
    Q_OBJECT

private slots:
    void windowAsBuilt();
    void firstRunWithoutSettingsOrDatabase();
    void firstRunCreatesAndOpensANewRegister();
    void fileThatIsNotADatabase_data();
    void fileThatIsNotADatabase();
    void incompleteRegisterSaysWhy();
    void notARegisterSaysWhatItIs_data();
    void notARegisterSaysWhatItIs();
    void readOnlySettingsAreKeptAtStartup();
    void upgradeNoticeOnlyOnce();
    void commandStates_data();
    void commandStates();
    void missingFileSavedAsServerTriesTheFileFirst();
    void exitQuestion();
    void backupOnClose_data();
    void backupOnClose();
    void settingsCommandReconnects();
    void registerForThisRun();
    void helpAndAbout();
    void windowThrowingInsideTransactionIsRolledBack();
};

void TestMainFrm::windowAsBuilt() {
    SettingsSandbox box;
    Tdm dm;
    TfrmMain frm(dm);
    QCOMPARE(frm.windowTitle(), QString("Quorvane"));
    QVERIFY(!(frm.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(child<QWidget>(&frm, "pnlClient")->size(), QSize(543, 116));
    QCOMPARE(frm.minimumSize(), frm.maximumSize());

    const struct {
        const char* name;
        const char* caption;
        int left;
    } buttons[] = {{"btnFind", "Find", 8},
                   {"btnMemberList", "Member\nList", 114},
                   {"btnProfiles", "Profiles", 220},
                   {"btnLongService", "Long\nService", 326},
                   {"btnAddMember", "Add\nMember", 432}};
    for (const auto& b : buttons) {
        auto* button = child<QToolButton>(&frm, b.name);
        QVERIFY(button);
        QCOMPARE(button->text(), QString(b.caption));
        QCOMPARE(button->geometry(), QRect(b.left, 8, 100, 100));
        QVERIFY(!button->toolTip().isEmpty());
        QVERIFY(!button->icon().pixmap(32, 32).isNull());
        QVERIFY(!button->icon().pixmap(32, 32, QIcon::Disabled).isNull());
    }
    QCOMPARE(child<QToolButton>(&frm, "btnLongService")->toolTip(),
             QString("List members with long service (e.g. 5, 10, 15 years, etc.)"));

    // Every item has its picture; no two share a shortcut (Qt would then fire
    // neither); the maker's web, social and support items are left out.
    QStringList shortcuts, help;
    for (QAction* menu : frm.menuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            if (item->isSeparator())
                continue;
            QVERIFY2(!item->icon().pixmap(16, 16).isNull(), qPrintable(item->objectName()));
            const QString keys = item->shortcut().toString();
            QVERIFY2(keys.isEmpty() || !shortcuts.contains(keys), qPrintable(keys));
            shortcuts << keys;
            if (menu->text() == "&Help")
                help << item->text();
        }
    }
    QCOMPARE(shortcuts.size(), 25);
    // Ctrl+Q quits, as in the desktop's other programs.
    QCOMPARE(child<QAction>(&frm, "mnuFileExit")->shortcut(), QKeySequence("Ctrl+Q"));
    QCOMPARE(help, QStringList({"Product &Help", "&About..."}));
}

void TestMainFrm::firstRunWithoutSettingsOrDatabase() {
    SettingsSandbox box;
    MessageBoxTestScope boxes;
    MessageBoxTest::setPointerPosition(QPoint(300, 200));
    boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    QString kindShown, pathShown;
    WhenSettings(problems, [&](TfrmSettings* settings) {
        kindShown = child<QComboBox>(settings, "cboDatabase")->currentText();
        pathShown = child<QLineEdit>(settings, "edtDBFile")->text();
        click(settings, "btnCancel");
    });

    Tdm dm;
    TfrmMain frm(dm);
    QSignalSpy ended(&frm, &TfrmMain::terminationRequested);
    frm.show();
    QTRY_VERIFY(frm.isTerminating());
    QVERIFY(problems.isEmpty());
    QVERIFY(!watchdog.fired());

    // Only the message: no exit question on the way out.
    QCOMPARE(boxes.shown().size(), 1);
    const MessageRequest message = boxes.shown().at(0);
    QCOMPARE(message.text, NotFound);
    QCOMPARE(message.kind, MessageKind::Error);
    QCOMPARE(message.placement, MessagePlacement::NearPointer);
    QCOMPARE(message.parent.data(), &frm);
    QCOMPARE(message.position, QPoint(250, frm.frameGeometry().top() + 25));

    QCOMPARE(kindShown, QString("Access"));
    QCOMPARE(pathShown, box.filePath("Quorvane.mdb"));
    QCOMPARE(ended.count(), 1);
    QVERIFY(!frm.isVisible());
    QVERIFY(!dm.adoMembers().isOpen());
    QVERIFY(box.settingsBytes().isEmpty());
}

void TestMainFrm::firstRunCreatesAndOpensANewRegister() {
    SettingsSandbox box;
    const QString existing = box.filePath("DrelvinMembers.mdb");
    QVERIFY(qv::test::writeFileBytes(existing, "someone else's"));
    const QString fresh = box.filePath("Club.mdb");

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok); // not found
    boxes.queue(MessageResult::Ok); // that file already exists
    FileDialogTestScope files;
    files.queue(existing);
    files.queue(fresh);
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    WhenSettings(problems, [&](TfrmSettings* settings) {
        click(settings, "btnAccessNew");
        click(settings, "btnSave");
    });

    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(problems.isEmpty());
    QVERIFY(!frm.isTerminating());

    QCOMPARE(files.requests().size(), 1);
    QCOMPARE(files.requests().at(0).fileName, QString("DrelvinMembers.mdb"));
    QCOMPARE(files.requests().at(0).refused, QStringList{existing});
    QCOMPARE(boxes.shown().at(1).text, QString("That database file already exists!"));
    QCOMPARE(qv::test::readFileBytes(existing), QByteArray("someone else's"));

    // Saved, reconnected, and the new register is complete.
    QCOMPARE(dm.adoMembers().connectionString(),
             DBConnectionStrings::AccessConnectionString(fresh));
    QVERIFY(dm.adoMembers().isOpen());
    // The ten register tables and the program's own, which the opening adds.
    QCOMPARE(apptest::TableCount(dm.adoMembers()),
             apptest::ExpectedTableCount(dm.adoMembers().connectionString()));
    QCOMPARE(apptest::Scalar(dm.adoMembers(), "SELECT COUNT(*) FROM MembershipLevel"), 1);
    const QByteArray ini = box.settingsBytes();
    for (const char* line : {"UseAccessDatabase=1", "SQLServerName=", "SQLDatabaseName="})
        QVERIFY2(ini.contains(line), line);
    QCOMPARE(MemberSettings::GetAccessDatabase(), fresh);
    QVERIFY(child<QToolButton>(&frm, "btnAddMember")->isEnabled());
}

void TestMainFrm::fileThatIsNotADatabase_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("cancel ends the program") << false;
    QTest::newRow("save retries from the beginning") << true;
}

void TestMainFrm::fileThatIsNotADatabase() {
    QFETCH(bool, save);
    SettingsSandbox box;
    const QString notes = box.filePath("notes.mdb");
    QVERIFY(qv::test::writeFileBytes(notes, "Minutes of the annual meeting\n"));
    apptest::WriteSettings(box, true, notes);
    Register reg;
    reg->close();

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    WhenSettings(problems, [&](TfrmSettings* settings) {
        if (save)
            SaveFile(settings, reg.path());
        else
            click(settings, "btnCancel");
    });

    Tdm dm;
    TfrmMain frm(dm);
    QSignalSpy ended(&frm, &TfrmMain::terminationRequested);
    frm.OpenDatabase();
    QVERIFY(problems.isEmpty());

    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().at(0).text,
             '"' + notes + "\" is not a Quorvane register: it is not a database file.");
    QCOMPARE(boxes.shown().at(0).placement, MessagePlacement::NearPointer);
    QCOMPARE(ended.count(), save ? 0 : 1);
    QCOMPARE(dm.adoMembers().isOpen(), save);
    if (save)
        QCOMPARE(dm.adoMembers().connectionString(), reg.connectionString());
}

void TestMainFrm::incompleteRegisterSaysWhy() {
    SettingsSandbox box;
    // Ours, as a creation killed before the tables leaves it.
    const QString path = box.filePath("half.mdb");
    QCOMPARE(DBCreate::CreateAccessDatabase(path), QString());
    const QString said = "The database file \"" + path +
                         "\" is an incomplete register: it lacks the tables MembershipLevel, ";
    apptest::WriteSettings(box, true, path);
    const QByteArray before = qv::test::readFileBytes(path);

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    WhenSettings(problems, [](TfrmSettings* settings) { click(settings, "btnCancel"); });
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(problems.isEmpty());

    // Its own reason instead of the general message, then the settings dialog.
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY2(boxes.shown().at(0).text.startsWith(said), qPrintable(boxes.shown().at(0).text));
    QCOMPARE(boxes.shown().at(0).kind, MessageKind::Error);
    QCOMPARE(boxes.shown().at(0).placement, MessagePlacement::NearPointer);
    QVERIFY(frm.isTerminating());
    QVERIFY(!dm.adoMembers().isOpen());
    QCOMPARE(qv::test::readFileBytes(path), before);
}

void TestMainFrm::notARegisterSaysWhatItIs_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("said"); // after the quoted path
    QTest::addColumn<bool>("dialogRefuses");
    QTest::newRow("folder") << "folder"
                            << "is a folder" << true;
    QTest::newRow("FIFO") << "fifo"
                          << "is a named pipe (FIFO)" << true;
    QTest::newRow("device") << "device"
                            << "is a device" << true;
    QTest::newRow("empty file") << "empty"
                                << "is empty: it is not a Quorvane register." << true;
    QTest::newRow("another program's database")
        << "foreign"
        << "is not a Quorvane register: it holds no member tables." << false;
}

// The start-up open says what the path is instead of the server wording, and
// the settings dialog that follows refuses to save a path that cannot be a
// register file at all, saying the same.
void TestMainFrm::notARegisterSaysWhatItIs() {
    QFETCH(QString, kind);
    QFETCH(QString, said);
    QFETCH(bool, dialogRefuses);
    SettingsSandbox box;
    QString path = box.filePath("club.mdb");
    if (kind == "folder")
        QVERIFY(QDir().mkdir(path));
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (kind == "device")
        path = "/dev/zero";
    if (kind == "empty")
        QVERIFY(qv::test::writeFileBytes(path, ""));
    if (kind == "foreign") {
        Connection other;
        QCOMPARE(DBCreate::CreateAccessDatabase(path), QString());
        other.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
        other.open();
        other.execute("PRAGMA application_id = 0");
        other.execute("CREATE TABLE Recipes (Name varchar(50))");
    }
    apptest::WriteSettings(box, true, path);

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    if (dialogRefuses)
        boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    bool stayedOpen = false;
    WhenSettings(problems, [&](TfrmSettings* settings) {
        if (dialogRefuses) {
            SaveFile(settings, path);
            stayedOpen = settings->isVisible();
        }
        click(settings, "btnCancel");
    });
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(problems.isEmpty());
    QVERIFY(!watchdog.fired());

    const QString expected =
        (kind == "foreign" ? "The database file \"" : "\"") + path + "\" " + said;
    QCOMPARE(boxes.shown().size(), dialogRefuses ? 2 : 1);
    for (const MessageRequest& box : boxes.shown())
        QVERIFY2(box.text.startsWith(expected), qPrintable(box.text));
    QCOMPARE(stayedOpen, dialogRefuses);
    QVERIFY(frm.isTerminating());
    QVERIFY(!dm.adoMembers().isOpen());
}

void TestMainFrm::readOnlySettingsAreKeptAtStartup() {
    SettingsSandbox box;
    Register reg;
    reg->close();
    apptest::WriteSettings(box, true, box.filePath("moved away.mdb"));
    QVERIFY(apptest::MakeReadOnly(box.settingsFile()));
    const QByteArray before = box.settingsBytes();

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok); // not found
    boxes.queue(MessageResult::Ok); // the refused save
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    bool stayedOpen = false;
    WhenSettings(problems, [&](TfrmSettings* settings) {
        SaveFile(settings, reg.path());
        stayedOpen = settings->isVisible();
        click(settings, "btnCancel");
    });
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(problems.isEmpty());
    QVERIFY(!watchdog.fired());

    QCOMPARE(boxes.shown().size(), 2);
    QCOMPARE(boxes.shown().at(0).text, NotFound);
    QCOMPARE(boxes.shown().at(1).text, "Unable to write to " + box.settingsFile() + ".");
    QVERIFY(stayedOpen);
    QVERIFY(frm.isTerminating());
    QCOMPARE(box.settingsBytes(), before);
}

void TestMainFrm::upgradeNoticeOnlyOnce() {
    SettingsSandbox box;
    Register old;
    old->execute("ALTER TABLE DatesJoined DROP COLUMN MembershipNo");
    old->close();
    apptest::WriteSettings(box, true, old.path());

    {
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Ok);
        Tdm dm;
        TfrmMain frm(dm);
        frm.OpenDatabase();
        QCOMPARE(boxes.shown().size(), 1);
        const MessageRequest notice = boxes.shown().at(0);
        QCOMPARE(notice.text, Upgraded);
        QCOMPARE(notice.kind, MessageKind::Confirmation);
        QCOMPARE(notice.buttons, MessageButtons::Ok);
        // Centred on the screen, not positioned like the window's own messages.
        QCOMPARE(notice.placement, MessagePlacement::Centered);
        QVERIFY(notice.parent.isNull());
    }
    MessageBoxTestScope boxes;
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(dm.adoMembers().isOpen());
    QCOMPARE(boxes.shown().size(), 0);
}

void TestMainFrm::commandStates_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("settings");
    QTest::addColumn<bool>("changes"); // add member and the three editors
    QTest::addColumn<bool>("backup");
    QTest::addColumn<bool>("compact");
    QTest::newRow("writable register") << "plain" << true << true << true << true;
    QTest::newRow("read-only settings file") << "settings" << false << true << true << true;
    QTest::newRow("read-only register") << "register" << true << false << true << false;
    QTest::newRow("server kind") << "server" << true << true << false << false;
}

void TestMainFrm::commandStates() {
    QFETCH(QString, setup);
    QFETCH(bool, settings);
    QFETCH(bool, changes);
    QFETCH(bool, backup);
    QFETCH(bool, compact);

    SettingsSandbox box;
    Register reg;
    reg->close();
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    if (setup == "server") {
        apptest::WriteSettings(box, false, reg.path(), apptest::ClosedServer(), "Club");
        // No server answers here: the open fails and the user gives up.
        boxes.queue(MessageResult::Ok);
        WhenSettings(problems, [](TfrmSettings* s) { click(s, "btnCancel"); });
    } else {
        apptest::WriteSettings(box, true, reg.path());
    }
    if (setup == "settings")
        QVERIFY(apptest::MakeReadOnly(box.settingsFile()));
    if (setup == "register")
        QVERIFY(apptest::MakeReadOnly(reg.path()));

    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(problems.isEmpty());
    QCOMPARE(frm.isTerminating(), setup == "server");
    if (setup == "server")
        QCOMPARE(boxes.shown().at(0).text, OpenFailed);

    QCOMPARE(child<QAction>(&frm, "mnuSettingsSettings")->isEnabled(), settings);
    QCOMPARE(child<QToolButton>(&frm, "btnAddMember")->isEnabled(), changes);
    for (const char* name : {"mnuDataAddMember", "mnuDataEditProfiles", "mnuDataEditAssets",
                             "mnuDataEditMembershipLevels"})
        QVERIFY2(child<QAction>(&frm, name)->isEnabled() == changes, name);
    QCOMPARE(child<QAction>(&frm, "mnuDataBackup")->isEnabled(), backup);
    QCOMPARE(child<QAction>(&frm, "mnuSettingsCompactRepair")->isEnabled(), compact);
    // Searching is never switched off.
    QVERIFY(child<QToolButton>(&frm, "btnFind")->isEnabled());
    QVERIFY(child<QAction>(&frm, "mnuSearchUnpaidFees")->isEnabled());
}

void TestMainFrm::missingFileSavedAsServerTriesTheFileFirst() {
    SettingsSandbox box;
    const QString server = apptest::ClosedServer();
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok); // not found
    boxes.queue(MessageResult::Ok); // open failed (still the file)
    boxes.queue(MessageResult::Ok); // open failed (the server)
    qvtest::ModalWatchdog watchdog(15000);
    QStringList problems;
    Tdm dm;
    QStringList tried;
    WhenSettings(problems, [&](TfrmSettings* first) {
        SaveServer(first, server, "Club");
        WhenSettings(problems, [&](TfrmSettings* second) {
            tried << dm.adoMembers().connectionString();
            click(second, "btnSave"); // as loaded: the server kind
            WhenSettings(problems, [&](TfrmSettings* third) {
                tried << dm.adoMembers().connectionString();
                click(third, "btnCancel");
            });
        });
    });

    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(problems.isEmpty());
    QVERIFY(!watchdog.fired());

    // The kind was read before the first dialog, so that pass still opened the
    // file; the next pass took the server.
    QCOMPARE(tried,
             QStringList({DBConnectionStrings::AccessConnectionString(box.filePath("Quorvane.mdb")),
                          DBConnectionStrings::SQLServerConnectionString(server, "Club")}));
    QCOMPARE(boxes.shown().size(), 3);
    QCOMPARE(boxes.shown().at(0).text, NotFound);
    QCOMPARE(boxes.shown().at(1).text, OpenFailed);
    QCOMPARE(boxes.shown().at(2).text, OpenFailed);
    QVERIFY(frm.isTerminating());
    QVERIFY(!MemberSettings::GetUseAccessDatabase());
}

void TestMainFrm::exitQuestion() {
    SettingsSandbox box;
    Register reg;
    reg->close();
    apptest::WriteSettings(box, true, reg.path());
    MessageBoxTestScope boxes;
    Tdm dm;
    TfrmMain frm(dm);
    frm.show();
    QTRY_VERIFY(dm.adoMembers().isOpen());

    boxes.queue(MessageResult::No);
    child<QAction>(&frm, "mnuFileExit")->trigger();
    QVERIFY(frm.isVisible());
    QCOMPARE(boxes.shown().size(), 1);
    const MessageRequest question = boxes.shown().at(0);
    QCOMPARE(question.text, QString("Are you sure you want to exit?"));
    QCOMPARE(question.kind, MessageKind::Confirmation);
    QCOMPARE(question.buttons, MessageButtons::YesNo);
    QCOMPARE(question.placement, MessagePlacement::NearPointer);

    // The window's own close button asks the same.
    boxes.queue(MessageResult::Yes);
    QVERIFY(frm.close());
    QVERIFY(!frm.isVisible());
    QCOMPARE(boxes.shown().size(), 2);
    QVERIFY(!frm.isTerminating());
}

void TestMainFrm::backupOnClose_data() {
    QTest::addColumn<QString>("folder"); // %F: a regular file; empty: the default
    QTest::addColumn<bool>("works");
    QTest::newRow("beside the register") << QString() << true;
    QTest::newRow("folder that cannot be made") << QStringLiteral("%F/Backups") << false;
}

// Catches a close that backs up twice a day, leaves no backup, or repeats
// the same failure at every close.
void TestMainFrm::backupOnClose() {
    QFETCH(QString, folder);
    QFETCH(bool, works);
    SettingsSandbox box;
    Register reg;
    reg->close();
    const QString plain = QFileInfo(reg.path()).absoluteDir().filePath("plain");
    QVERIFY(qv::test::writeFileBytes(plain, "a file"));
    folder.replace(QStringLiteral("%F"), plain);
    apptest::WriteSettings(box, true, reg.path());
    MemberSettings::SetAutoBackup(true, folder, 10);
    const QString backups = folder.isEmpty() ? Backups::DefaultFolder(reg.path()) : folder;
    for (int close = 0; close < 2; ++close) {
        MessageBoxTestScope boxes;
        Tdm dm;
        TfrmMain frm(dm);
        frm.show();
        QTRY_VERIFY(dm.adoMembers().isOpen());
        boxes.queue(MessageResult::Yes);
        if (!works && close == 0)
            boxes.queue(MessageResult::Ok);
        QVERIFY(frm.close());
        QCOMPARE(boxes.shown().size(), !works && close == 0 ? 2 : 1);
        if (!works && close == 0)
            QVERIFY2(boxes.shown()[1].text.contains(plain), qPrintable(boxes.shown()[1].text));
        QCOMPARE(Backups::ListBackups(backups, reg.path()).size(), works ? 1 : 0);
    }
}

void TestMainFrm::settingsCommandReconnects() {
    SettingsSandbox box;
    Register first("first.mdb");
    Register second("second.mdb");
    first->close();
    second->close();
    apptest::WriteSettings(box, true, first.path());
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QCOMPARE(dm.adoMembers().connectionString(), first.connectionString());
    // The title names the register open.
    QCOMPARE(frm.windowTitle(), QString("Quorvane \u2014 first"));

    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog;
    QStringList problems;
    QWidget* owner = nullptr;
    WhenSettings(problems, [&](TfrmSettings* settings) {
        owner = settings->parentWidget();
        click(settings, "btnCancel");
    });
    child<QAction>(&frm, "mnuSettingsSettings")->trigger();
    QCOMPARE(owner, &frm);
    QCOMPARE(dm.adoMembers().connectionString(), first.connectionString());

    WhenSettings(problems, [&](TfrmSettings* settings) { SaveFile(settings, second.path()); });
    child<QAction>(&frm, "mnuSettingsSettings")->trigger();
    QVERIFY(problems.isEmpty());
    QVERIFY(!watchdog.fired());
    QCOMPARE(dm.adoMembers().connectionString(), second.connectionString());
    QVERIFY(dm.adoMembers().isOpen());
    QCOMPARE(frm.windowTitle(), QString("Quorvane \u2014 second"));
    QCOMPARE(boxes.shown().size(), 0);
}

void TestMainFrm::registerForThisRun() {
    SettingsSandbox box;
    Register named;
    Register saved;
    named->close();
    saved->close();
    // Saved settings of the other kind: the run's register replaces kind and path.
    apptest::WriteSettings(box, false, saved.path(), apptest::ClosedServer(), "Members");
    const QByteArray settings = box.settingsBytes();
    MemberSettings::SetRegisterForRun(named.path());
    const struct Reset {
        ~Reset() { MemberSettings::SetRegisterForRun(QString()); }
    } reset;

    Tdm dm;
    TfrmMain frm(dm);
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog;
    frm.OpenDatabase();
    QVERIFY(!watchdog.fired());
    QCOMPARE(dm.adoMembers().connectionString(), named.connectionString());
    QVERIFY(child<QAction>(&frm, "mnuDataBackup")->isEnabled());
    QCOMPARE(box.settingsBytes(), settings);

    // The dialog shows the register in use; saving there ends the run's
    // register, and what was saved is opened.
    QStringList problems;
    QString pathShown;
    WhenSettings(problems, [&](TfrmSettings* settings) {
        pathShown = child<QLineEdit>(settings, "edtDBFile")->text();
        SaveFile(settings, saved.path());
    });
    child<QAction>(&frm, "mnuSettingsSettings")->trigger();
    QVERIFY(problems.isEmpty());
    QCOMPARE(pathShown, named.path());
    QVERIFY(MemberSettings::RegisterForRun().isEmpty());
    QCOMPARE(dm.adoMembers().connectionString(), saved.connectionString());
    QCOMPARE(boxes.shown().size(), 0);
}

void TestMainFrm::helpAndAbout() {
    SettingsSandbox box;
    Tdm dm;
    TfrmMain frm(dm);

    {
        qv::test::UrlCatcher catcher({"file"});
        child<QAction>(&frm, "mnuHelpProductHelp")->trigger();
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(AppInfo::ProductHelpFileName())});
    }

    qvtest::ModalWatchdog watchdog;
    QStringList texts;
    bool pictured = false;
    bool licenceShown = false;
    qvtest::WhenModal([&](QWidget* modal) {
        texts << modal->windowTitle();
        for (const char* name : {"lblTitle", "lblVersion", "lblNotice", "lblLicence"})
            texts << child<QLabel>(modal, name)->text();
        // The licence is read in full, not cut off by the fixed height.
        const QLabel* licence = child<QLabel>(modal, "lblLicence");
        licenceShown = licence->height() >= licence->heightForWidth(licence->width());
        pictured = !child<QLabel>(modal, "imgIcon")->pixmap().isNull();
        // Esc closes it as well as OK does.
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    child<QAction>(&frm, "mnuHelpAbout")->trigger();
    QVERIFY(!watchdog.fired());
    QCOMPARE(texts.mid(0, 3), QStringList({"About", "Quorvane", "Version 1.0"}));
    QVERIFY(texts.value(3).contains("Drelvin"));
    QVERIFY(texts.value(4).contains("GPL-3.0-or-later"));
    QVERIFY(licenceShown);
    QVERIFY(pictured);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestMainFrm::windowThrowingInsideTransactionIsRolledBack() {
    SettingsSandbox box;
    Register reg;
    reg->close();
    apptest::WriteSettings(box, true, reg.path());
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    Connection& connection = dm.adoMembers();
    const auto addMember = [&](const char* surname) {
        connection.execute(
            QString("INSERT INTO Members (Surname, FirstNames) VALUES ('%1', 'A')").arg(surname));
    };
    const auto members = [&] {
        return apptest::Scalar(connection, "SELECT COUNT(*) FROM Members");
    };

    // A command as the add-member command runs its window: the row is added,
    // the window closes with OK, and storing it then fails.
    QPushButton command("Add");
    connect(&command, &QPushButton::clicked, &frm, [&] {
        frm.RunInTransaction([&](const TfrmMain::Commit&) {
            addMember("Lost");
            QDialog window(&frm);
            qvtest::WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
            if (window.exec() == QDialog::Accepted)
                throw DatabaseError("Field 'MembershipLevelID' cannot be empty");
            return false;
        });
    });
    command.show();
    QVERIFY(QTest::qWaitForWindowExposed(&command));

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog;
    QTest::mouseClick(&command, Qt::LeftButton);
    QVERIFY(!watchdog.fired());
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().at(0).text, QString("Field 'MembershipLevelID' cannot be empty."));
    QVERIFY(!connection.inTransaction());
    QCOMPARE(members(), 0);

    // The connection goes on: OK commits, anything else rolls back.
    frm.RunInTransaction([&](const TfrmMain::Commit&) {
        addMember("Kept");
        return true;
    });
    frm.RunInTransaction([&](const TfrmMain::Commit&) {
        addMember("Dropped");
        return false;
    });
    QVERIFY(!connection.inTransaction());
    QCOMPARE(members(), 1);
}

QV_APP_TEST_MAIN(TestMainFrm)

#include "tst_mainfrm.moc"
