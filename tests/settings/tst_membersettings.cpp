// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/IniFile.h"
#include "settings/MemberSettings.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

using qv::test::readFileBytes;
using qv::test::SettingsSandbox;
using qv::test::TempFolder;
using qv::test::writeFileBytes;

namespace {

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

} // namespace

class TestMemberSettings : public QObject {
    Q_OBJECT

private slots:
    void defaultsWithoutFile();
    void useAccessFlag_data();
    void useAccessFlag();
    void flagConversionEdges();
    void savingOneKindKeepsTheOther();
    void serverTypeKey();
    void writeKeepsTheRestOfTheFile();
    void sectionMissingOrFileBinary();
    void longPathIsCut();
    void renamedCopyKeepsItsOwnSettings();
    void writeErrorNamesTheSettingsFile();
    void settingsFileWritability();
    void databaseWritability();
    void locationRule();
};

void TestMemberSettings::defaultsWithoutFile() {
    SettingsSandbox box;
    QCOMPARE(MemberSettings::SettingsFileName(), box.filePath("Quorvane.ini"));
    QVERIFY(MemberSettings::GetUseAccessDatabase());
    QCOMPARE(MemberSettings::GetAccessDatabase(), box.filePath("Quorvane.mdb"));
    QCOMPARE(MemberSettings::GetSQLServerName(), QString());
    QCOMPARE(MemberSettings::GetSQLDatabaseName(), QString());
    QVERIFY(MemberSettings::IsSettingsFileWritable());
    // Reading creates nothing.
    QVERIFY(!QFileInfo::exists(box.settingsFile()));
}

void TestMemberSettings::useAccessFlag_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("access");
    QTest::newRow("0 is SQL Server") << QByteArray("UseAccessDatabase=0") << false;
    QTest::newRow("1") << QByteArray("UseAccessDatabase=1") << true;
    QTest::newRow("2 is still true") << QByteArray("UseAccessDatabase=2") << true;
    QTest::newRow("yes is not a number: default") << QByteArray("UseAccessDatabase=yes") << true;
    QTest::newRow("false is not a number either") << QByteArray("UseAccessDatabase=false") << true;
    QTest::newRow("empty: default") << QByteArray("UseAccessDatabase=") << true;
    QTest::newRow("missing: default") << QByteArray("Other=0") << true;
    QTest::newRow("0x10") << QByteArray("UseAccessDatabase=0x10") << true;
    QTest::newRow("0x0") << QByteArray("UseAccessDatabase=0x0") << false;
    QTest::newRow("0X00") << QByteArray("UseAccessDatabase=0X00") << false;
    QTest::newRow("$0") << QByteArray("UseAccessDatabase=$0") << false;
    QTest::newRow("-0") << QByteArray("UseAccessDatabase=-0") << false;
    QTest::newRow("spaced 0") << QByteArray("  usEACCESSdatabase =  0  ") << false;
    QTest::newRow("0.0 is no integer") << QByteArray("UseAccessDatabase=0.0") << true;
    QTest::newRow("0 0") << QByteArray("UseAccessDatabase=0 0") << true;
    QTest::newRow("0x alone") << QByteArray("UseAccessDatabase=0x") << true;
    QTest::newRow("0xg") << QByteArray("UseAccessDatabase=0xg") << true;
}

void TestMemberSettings::useAccessFlag() {
    QFETCH(QByteArray, line);
    QFETCH(bool, access);
    SettingsSandbox box;
    box.writeSettings("[Database]\r\n" + line + "\r\n");
    QCOMPARE(MemberSettings::GetUseAccessDatabase(), access);
}

void TestMemberSettings::flagConversionEdges() {
    // With default false, these tell "an integer" from "not an integer" exactly.
    QVERIFY(MemberSettings::ParseFlag("-2147483648", false));
    QVERIFY(!MemberSettings::ParseFlag("2147483648", false)); // past 32 bits
    QVERIFY(MemberSettings::ParseFlag("0xFFFFFFFF", false));  // hexadecimal may use all 32 bits
    QVERIFY(!MemberSettings::ParseFlag("0x100000000", false));
    QVERIFY(MemberSettings::ParseFlag("$aBc", false));
    QVERIFY(!MemberSettings::ParseFlag("1 ", false));
    QVERIFY(!MemberSettings::ParseFlag(QString::fromUtf8("\u0661"), false)); // Arabic-Indic one
}

void TestMemberSettings::savingOneKindKeepsTheOther() {
    SettingsSandbox box;
    MemberSettings::SetAccessDatabase("/data/club register.mdb");
    MemberSettings::SetUseAccessDatabase(false);
    MemberSettings::SetSQLServer("host\\SQLEXPRESS", "Members");
    QVERIFY(!MemberSettings::GetUseAccessDatabase());
    QCOMPARE(MemberSettings::GetAccessDatabase(), QString("/data/club register.mdb"));
    QCOMPARE(MemberSettings::GetSQLServerName(), QString("host\\SQLEXPRESS"));
    QCOMPARE(MemberSettings::GetSQLDatabaseName(), QString("Members"));

    MemberSettings::SetUseAccessDatabase(true);
    MemberSettings::SetAccessDatabase("/data/other.mdb");
    QVERIFY(MemberSettings::GetUseAccessDatabase());
    QCOMPARE(MemberSettings::GetSQLServerName(), QString("host\\SQLEXPRESS"));
    QCOMPARE(MemberSettings::GetSQLDatabaseName(), QString("Members"));
    QCOMPARE(box.settingsBytes(), QByteArray("[Database]\n"
                                             "AccessDatabase=/data/other.mdb\n"
                                             "UseAccessDatabase=1\n"
                                             "SQLServerName=host\\SQLEXPRESS\n"
                                             "SQLDatabaseName=Members\n"));
}

// The server type reads as SQL Server unless it names PostgreSQL, so files
// written before it existed read as before; the file kind wins over it.
void TestMemberSettings::serverTypeKey() {
    SettingsSandbox box;
    using MemberSettings::DatabaseKind;
    const struct {
        const char* file;
        DatabaseKind kind;
    } cases[] = {
        {"[Database]\nUseAccessDatabase=0\n", DatabaseKind::SQLServer},
        {"[Database]\nUseAccessDatabase=0\nServerType=PostgreSQL\n", DatabaseKind::PostgreSQL},
        {"[Database]\nUseAccessDatabase=0\nServerType= postgresql \n", DatabaseKind::PostgreSQL},
        {"[Database]\nUseAccessDatabase=0\nServerType=Postgres\n", DatabaseKind::SQLServer},
        {"[Database]\nServerType=PostgreSQL\n", DatabaseKind::Access},
    };
    for (const auto& c : cases) {
        box.writeSettings(c.file);
        QCOMPARE(MemberSettings::GetDatabaseKind(), c.kind);
    }
    // Saved with a server type it is written with the rest, no password ever;
    // saved without one the stored type stays.
    box.writeSettings("");
    MemberSettings::SetDatabaseSettings(false, "/data/a.mdb", "db:5433", "Club",
                                        MemberSettings::ServerType::PostgreSQL);
    MemberSettings::SetDatabaseSettings(true, "/data/b.mdb", "db:5433", "Club");
    QCOMPARE(box.settingsBytes(), QByteArray("[Database]\n"
                                             "UseAccessDatabase=1\n"
                                             "AccessDatabase=/data/b.mdb\n"
                                             "SQLServerName=db:5433\n"
                                             "SQLDatabaseName=Club\n"
                                             "ServerType=PostgreSQL\n"));
    QVERIFY(MemberSettings::IsDatabaseWritable() == false);
    MemberSettings::SetUseAccessDatabase(false);
    QCOMPARE(MemberSettings::GetDatabaseKind(), DatabaseKind::PostgreSQL);
    QVERIFY(MemberSettings::IsDatabaseWritable());
}

void TestMemberSettings::writeKeepsTheRestOfTheFile() {
    SettingsSandbox box;
    const QByteArray before = "; written by hand\r\n"
                              "[Window]\r\n"
                              "Left=10\r\n"
                              "\r\n"
                              "[Database]\r\n"
                              "SQLDatabaseName=Old\r\n"
                              "?? junk ??\r\n"
                              "UseAccessDatabase=1\r\n"
                              "sqlservername=oldhost\r\n"
                              "\r\n"
                              "[Zeta]\r\n"
                              "SQLServerName=not this one\r\n";
    box.writeSettings(before);
    MemberSettings::SetSQLServer("newhost\\inst", "New");
    MemberSettings::SetUseAccessDatabase(false);
    MemberSettings::SetAccessDatabase("/x.mdb");
    QCOMPARE(box.settingsBytes(), QByteArray("; written by hand\r\n"
                                             "[Window]\r\n"
                                             "Left=10\r\n"
                                             "\r\n"
                                             "[Database]\r\n"
                                             "SQLDatabaseName=New\r\n"
                                             "?? junk ??\r\n"
                                             "UseAccessDatabase=0\r\n"
                                             "sqlservername=newhost\\inst\r\n"
                                             "AccessDatabase=/x.mdb\r\n"
                                             "\r\n"
                                             "[Zeta]\r\n"
                                             "SQLServerName=not this one\r\n"));
}

void TestMemberSettings::sectionMissingOrFileBinary() {
    SettingsSandbox box;
    box.writeSettings("[Other]\nUseAccessDatabase=0\nAccessDatabase=/nope.mdb\n");
    QVERIFY(MemberSettings::GetUseAccessDatabase());
    QCOMPARE(MemberSettings::GetAccessDatabase(), box.filePath("Quorvane.mdb"));
    MemberSettings::SetSQLServer("s", "d");
    QCOMPARE(box.settingsBytes(),
             QByteArray("[Other]\nUseAccessDatabase=0\nAccessDatabase=/nope.mdb\n"
                        "[Database]\nSQLServerName=s\nSQLDatabaseName=d\n"));

    static const char raw[] =
        "\x00\xFF\xFE\r\n\x7F[Data\x00]\n[Database]\nSQLServerName=\xC3\x28\n\x01\x02";
    const QByteArray binary(raw, sizeof raw - 1);
    box.writeSettings(binary);
    QCOMPARE(MemberSettings::GetSQLServerName(), QString::fromUtf8("\xC3\x28"));
    MemberSettings::SetSQLServer("srv", "db");
    QByteArray expected = binary;
    expected.replace("SQLServerName=\xC3\x28", "SQLServerName=srv");
    expected.append("\r\nSQLDatabaseName=db\r\n");
    QCOMPARE(box.settingsBytes(), expected);
}

void TestMemberSettings::longPathIsCut() {
    SettingsSandbox box;
    const QString path = "/" + QString(3000, u'p') + ".mdb";
    MemberSettings::SetAccessDatabase(path);
    QCOMPARE(MemberSettings::GetAccessDatabase(), path.left(2047));
}

void TestMemberSettings::renamedCopyKeepsItsOwnSettings() {
    SettingsSandbox box;
    MemberSettings::SetSQLServer("main", "Club");
    MemberSettings::SetProgramBaseName("Quorvane-test");
    QCOMPARE(MemberSettings::SettingsFileName(), box.filePath("Quorvane-test.ini"));
    QCOMPARE(MemberSettings::GetAccessDatabase(), box.filePath("Quorvane-test.mdb"));
    QCOMPARE(MemberSettings::GetSQLServerName(), QString());
    MemberSettings::SetSQLServer("trial", "Scratch");
    MemberSettings::SetProgramBaseName("Quorvane");
    QCOMPARE(MemberSettings::GetSQLServerName(), QString("main"));
    QVERIFY(QFileInfo::exists(box.filePath("Quorvane-test.ini")));
}

void TestMemberSettings::writeErrorNamesTheSettingsFile() {
    SettingsSandbox box;
    auto expectError = [](auto write) {
        try {
            write();
            QFAIL("the write did not fail");
        } catch (const qv::IniWriteError& e) {
            QCOMPARE(e.message(), "Unable to write to " + MemberSettings::SettingsFileName());
        }
    };
    const QString missing = box.filePath("gone/away");
    MemberSettings::SetSettingsFolder(missing);
    expectError([] { MemberSettings::SetUseAccessDatabase(false); });
    expectError([] { MemberSettings::SetSQLServer("a", "b"); });
    QVERIFY(!QFileInfo::exists(missing)); // a chosen folder is never made on the side

    MemberSettings::SetSettingsFolder(box.folder());
    QVERIFY(QDir(box.folder()).mkdir("Quorvane.ini"));
    expectError([] { MemberSettings::SetAccessDatabase("/x.mdb"); });
    QVERIFY(!MemberSettings::IsSettingsFileWritable());
}

void TestMemberSettings::settingsFileWritability() {
    SettingsSandbox box;
    box.writeSettings("[Database]\n");
    QVERIFY(MemberSettings::IsSettingsFileWritable());

    // chmod a-w is read-only even for root, like the read-only attribute.
    QVERIFY(setMode(box.settingsFile(), 0444));
    QVERIFY(!MemberSettings::IsSettingsFileWritable());
    QVERIFY(setMode(box.settingsFile(), 0644));

    // A folder where the probe cannot create its file. A stale "chk.tmp" does it
    // for root too; permission bits on the folder stop only other users, and
    // the folders no one may write (/proc) cannot hold a settings file to test.
    QVERIFY(writeFileBytes(box.filePath("chk.tmp"), ""));
    QVERIFY(!MemberSettings::IsSettingsFileWritable());
    QVERIFY(QFile::remove(box.filePath("chk.tmp")));
    if (!qv::test::runningAsRoot()) {
        QVERIFY(setMode(box.folder(), 0555));
        const bool writable = MemberSettings::IsSettingsFileWritable();
        QVERIFY(setMode(box.folder(), 0755));
        QVERIFY(!writable);
    }
    QVERIFY(MemberSettings::IsSettingsFileWritable());
}

void TestMemberSettings::databaseWritability() {
    SettingsSandbox box;
    TempFolder data;
    const QString db = data.filePath("club.mdb");

    // SQL Server: whatever the file path says.
    MemberSettings::SetUseAccessDatabase(false);
    for (const QString& path : {db, QString(), QStringLiteral("/proc/none.mdb")}) {
        MemberSettings::SetAccessDatabase(path);
        QVERIFY(MemberSettings::IsDatabaseWritable());
    }

    MemberSettings::SetUseAccessDatabase(true);
    MemberSettings::SetAccessDatabase(db);
    QVERIFY(!MemberSettings::IsDatabaseWritable()); // missing file
    QVERIFY(writeFileBytes(db, "x"));
    QVERIFY(MemberSettings::IsDatabaseWritable());
    QVERIFY(setMode(db, 0444));
    QVERIFY(!MemberSettings::IsDatabaseWritable());
    QVERIFY(setMode(db, 0644));
    QVERIFY(writeFileBytes(data.filePath("chk.tmp"), ""));
    QVERIFY(!MemberSettings::IsDatabaseWritable());
    QVERIFY(QFile::remove(data.filePath("chk.tmp")));
    MemberSettings::SetAccessDatabase(QString());
    QVERIFY(!MemberSettings::IsDatabaseWritable());

    // The default path, from no file at all.
    QVERIFY(QFile::remove(box.settingsFile()));
    QVERIFY(!MemberSettings::IsDatabaseWritable());
    QVERIFY(writeFileBytes(box.filePath("Quorvane.mdb"), "x"));
    QVERIFY(MemberSettings::IsDatabaseWritable());

    // A relative path is probed in the current folder, not in "/".
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(data.path()));
    MemberSettings::SetAccessDatabase("club.mdb");
    const bool plain = MemberSettings::IsDatabaseWritable();
    QVERIFY(writeFileBytes(data.filePath("chk.tmp"), ""));
    const bool blocked = MemberSettings::IsDatabaseWritable();
    QDir::setCurrent(oldCurrent);
    QVERIFY(plain);
    QVERIFY(!blocked);
}

void TestMemberSettings::locationRule() {
    const QString previous = MemberSettings::SetSettingsFolder(QString());
    const QString exeFolder = QCoreApplication::applicationDirPath();
    const QString probe = QDir(exeFolder).filePath("chk.tmp");
    // Named after the executable, which is this test program here.
    QCOMPARE(MemberSettings::ProgramBaseName(), QString("tst_membersettings"));
    const QString exeSettings = QDir(exeFolder).filePath("tst_membersettings.ini");
    if (QFileInfo::exists(probe) || QFileInfo::exists(exeSettings) ||
        !MemberSettings::CanCreateFileIn(exeFolder)) {
        MemberSettings::SetSettingsFolder(previous);
        QSKIP("the test program's folder is not clean or not writable");
    }

    // A writable program folder holds the settings and the default database.
    QCOMPARE(MemberSettings::SettingsFolder(), exeFolder);
    QCOMPARE(MemberSettings::SettingsFileName(), exeSettings);
    QCOMPARE(MemberSettings::GetAccessDatabase(),
             QDir(exeFolder).filePath("tst_membersettings.mdb"));

    // A program folder that takes no new files (the left-over probe file makes
    // it so even for root) sends them to the user's configuration folder, which
    // the first write creates.
    QStandardPaths::setTestModeEnabled(true);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir(config).removeRecursively();
    QVERIFY(writeFileBytes(probe, ""));
    const QString folder = MemberSettings::SettingsFolder();
    const QString database = MemberSettings::GetAccessDatabase();
    const bool existedBefore = QFileInfo::exists(config);
    bool written = false;
    try {
        MemberSettings::SetSQLServer("s", "d");
        written = true;
    } catch (const qv::IniWriteError&) {
    }
    const QString server = MemberSettings::GetSQLServerName();

    // A settings file already in the program folder keeps being used there.
    QVERIFY(writeFileBytes(exeSettings, "[Database]\nSQLServerName=beside\n"));
    const QString besideServer = MemberSettings::GetSQLServerName();
    QFile::remove(exeSettings);
    QFile::remove(probe);
    QDir(config).removeRecursively();
    QStandardPaths::setTestModeEnabled(false);
    MemberSettings::SetSettingsFolder(previous);

    QCOMPARE(folder, config);
    QCOMPARE(database, QDir(config).filePath("tst_membersettings.mdb"));
    QVERIFY(!existedBefore);
    QVERIFY(written);
    QCOMPARE(server, QString("s"));
    QCOMPARE(besideServer, QString("beside"));
}

QTEST_GUILESS_MAIN(TestMemberSettings)
#include "tst_membersettings.moc"
