// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line jobs on a PostgreSQL register named by the settings: the
// export equals the window's; backup and compaction say they are for
// register files; the check finds the register's own problems.

#include "PgRegister.h"
#include "RegisterGenerator.h"
#include "db/MemberSQL.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "search/MemberListFrm.h"
#include "support/PgFixture.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QProcess>
#include <QTest>

using namespace qv;

class TestPgJobs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void outputEqualsWindow_data();
    void outputEqualsWindow();
    void jobsOnAServer_data();
    void jobsOnAServer();

private:
    // Runs the copy of the program whose settings name the server register.
    std::pair<int, QString> run(const QStringList& args);

    std::unique_ptr<test::SettingsSandbox> m_settings;
    std::unique_ptr<test::PgRegister> m_register;
    test::TempFolder m_install;
};

void TestPgJobs::initTestCase() {
    QV_REQUIRE_PG_SERVER();
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = std::make_unique<test::PgRegister>();
    const QByteArray settings = QStringLiteral("[Database]\nUseAccessDatabase=0\n"
                                               "ServerType=PostgreSQL\nSQLServerName=%1\n"
                                               "SQLDatabaseName=%2\n")
                                    .arg(test::pgServer(), m_register->name())
                                    .toUtf8();
    m_settings->writeSettings(settings);
    QVERIFY(test::writeFileBytes(m_install.filePath(QStringLiteral("Quorvane.ini")), settings));
    QVERIFY(
        QFile::copy(QStringLiteral(QV_PROGRAM), m_install.filePath(QStringLiteral("Quorvane"))));
    const QString file = m_install.filePath(QStringLiteral("club.mdb"));
    bench::GenerateRegister(file, 300, 4);
    bench::CopyRegister(file, m_register->connection());
}

void TestPgJobs::cleanupTestCase() {
    m_register.reset();
    m_settings.reset();
}

std::pair<int, QString> TestPgJobs::run(const QStringList& args) {
    QProcess child;
    child.start(m_install.filePath(QStringLiteral("Quorvane")), args);
    child.waitForFinished(60000);
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
            QString::fromLocal8Bit(child.readAllStandardError())};
}

void TestPgJobs::outputEqualsWindow_data() {
    QTest::addColumn<QString>("search"); // the job's words after --export
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("past");
    QTest::newRow("all with past members")
        << "all --past-members" << MemberSQL::AllMembersSQL() << QString() << true;
    QTest::newRow("keyword") << "keyword --value an" << MemberSQL::KeywordSQL(false) << "%an%"
                             << false;
    QTest::newRow("level") << "level --value junior" << MemberSQL::MembershipLevelSQL() << "2"
                           << false;
}

// Catches a job that reads a server register in the file's dialect, or
// another way than the window.
void TestPgJobs::outputEqualsWindow() {
    QFETCH(QString, search);
    QFETCH(QString, sql);
    QFETCH(QString, value);
    QFETCH(bool, past);
    const QString window = m_install.filePath("window.csv");
    const QString job = m_install.filePath("job.csv");
    {
        TfrmMemberList list;
        list.OpenMemberList(m_register->connection(), sql, value, -1, false, false, QString());
        if (past) {
            list.chkIncludePastMembers->setChecked(true);
            list.chkIncludePastMembersClick();
        }
        MessageBoxTestScope boxes;
        FileDialogTestScope files;
        boxes.queue(MessageResult::Ok);
        files.queue(window);
        list.btnExportCSVClick();
    }
    const auto [code, err] = run(QStringList{"--export"} + search.split(u' ') + QStringList{job});
    QVERIFY2(code == 0, qPrintable(err));
    QVERIFY(test::readFileBytes(window).count('\n') > 1);
    QCOMPARE(test::readFileBytes(job), test::readFileBytes(window));
}

void TestPgJobs::jobsOnAServer_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("backup") << QStringList{"--backup", m_install.filePath("b")} << QString() << 1
                            << "is on a server";
    QTest::newRow("compact") << QStringList{"--compact"} << QString() << 1 << "is on a server";
    QTest::newRow("check, sound") << QStringList{"--check"} << QString() << 0
                                  << "No problems found";
    QTest::newRow("check, a period ending before it starts")
        << QStringList{"--check"}
        << "UPDATE DatesJoined SET DateEnded = '1901-01-01' WHERE DatesJoinedID = 2" << 1
        << "ends on 1901-01-01, before it starts";
}

// Catches a server register taken for a file, and a check that misses a
// problem on a server.
void TestPgJobs::jobsOnAServer() {
    QFETCH(QStringList, args);
    QFETCH(QString, damage);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    if (!damage.isEmpty())
        m_register->run(damage);
    const auto [code, err] = run(args);
    QCOMPARE(code, exitCode);
    QVERIFY2(err.contains(says), qPrintable(err));
}

QTEST_MAIN(TestPgJobs)
#include "tst_pgjobs.moc"
