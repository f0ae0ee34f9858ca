// SPDX-License-Identifier: GPL-3.0-or-later
// Writes that must survive being killed half-way, and two copies of the program
// starting on one register. The children are this program run again with
// "--child"; the parent kills them with SIGKILL at random moments.
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/DataModule.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"
#include "settings/MemberSettings.h"
#include "support/RegisterFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

using namespace qv;

namespace {

constexpr int Trials = 40;

struct Settings {
    bool useAccess;
    QString file, server, database;
    bool operator==(const Settings&) const = default;
};
const Settings OldSettings{true, "/old/club.mdb", "oldhost", "OldClub"};
const Settings NewSettings{false, "/new/other club.mdb", "newhost\\SQL", "NewClub"};

void Save(const Settings& s) {
    MemberSettings::SetDatabaseSettings(s.useAccess, s.file, s.server, s.database);
}

Settings Stored() {
    return {MemberSettings::GetUseAccessDatabase(), MemberSettings::GetAccessDatabase(),
            MemberSettings::GetSQLServerName(), MemberSettings::GetSQLDatabaseName()};
}

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The child's side: one operation, announced on stdout just before it starts.
int RunChild(const QString& mode, const QString& target) {
    try {
        if (mode == "create") {
            Say("go");
            DBCreate::CreateAccessRegister(target);
        } else if (mode == "save") {
            MemberSettings::SetSettingsFolder(target);
            MemberSettings::SetProgramBaseName("Quorvane");
            Say("go");
            for (int i = 0; i < 100000; ++i)
                Save(i % 2 ? OldSettings : NewSettings);
        } else if (mode == "upgrade") {
            Tdm dm;
            dm.adoMembers().setConnectionString(
                DBConnectionStrings::AccessConnectionString(target));
            dm.adoMembers().open();
            Say("ready");
            std::string line;
            std::getline(std::cin, line); // both copies start together
            Say(dm.UpgradeDatabase() ? "changed" : "unchanged");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

struct Child {
    QProcess process;
    bool start(const char* mode, const QString& target) {
        process.start(QCoreApplication::applicationFilePath(), {"--child", mode, target});
        return process.waitForStarted(10000);
    }
    QByteArray line() {
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return {};
        return process.readLine().trimmed();
    }
    void kill() {
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(10000);
    }
};

void SleepMicroseconds(qint64 us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

QStringList Temporaries(const QString& folder) {
    return QDir(folder).entryList({".qvtmp-*"}, QDir::Files | QDir::Hidden);
}

enum class Found { Nothing, Complete, Refused, Wrong };

// What a user opening the path would get: nothing there, a whole register, or
// the refusal. Anything else is a fault, described in `problem`.
Found Examine(const QString& path, QString& problem) {
    if (!QFileInfo::exists(path))
        return Found::Nothing;
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    try {
        c.open();
        DBCreate::CheckRegister(c);
        Query q(&c);
        q.setSQL("SELECT (SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name NOT "
                 "LIKE 'sqlite%'), (SELECT COUNT(*) FROM sqlite_master WHERE type = 'index'), "
                 "(SELECT COUNT(*) FROM MembershipLevel)");
        Result r;
        q.fetch(r);
        const auto at = [&](int col) { return r.rows.value(r.rows.cell(0, col)).toInteger(); };
        if (at(0) == 10 && at(1) == 9 && at(2) == 1)
            return Found::Complete;
        problem = QString("opened as a register with %1 tables, %2 indexes, %3 levels")
                      .arg(at(0))
                      .arg(at(1))
                      .arg(at(2));
    } catch (const DatabaseRefusal&) {
        return Found::Refused;
    } catch (const DatabaseError& e) {
        problem = e.message();
    }
    return Found::Wrong;
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

private slots:
    void killedNewLeavesAWholeRegisterOrNone();
    void killedSaveLeavesOldOrNewSettings();
    void twoCopiesUpgradeOneOlderRegister();
};

void TestCrashSafety::killedNewLeavesAWholeRegisterOrNone() {
    test::TempFolder dir;
    // How long New takes here, so the kills fall inside it.
    qint64 duration = 0;
    for (int i = 0; i < 2; ++i) {
        Child child;
        QVERIFY(child.start("create", dir.filePath(QString("calibrate%1.mdb").arg(i))));
        QCOMPARE(child.line(), QByteArray("go"));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(child.process.waitForFinished(10000));
        QCOMPARE(child.process.exitCode(), 0);
        duration = qMax(duration, timer.nsecsElapsed() / 1000);
    }

    QRandomGenerator random(14);
    int counts[4] = {}, leftovers = 0;
    QStringList problems;
    for (int trial = 0; trial < Trials; ++trial) {
        const QString path = dir.filePath(QString("club%1.mdb").arg(trial));
        Child child;
        QVERIFY(child.start("create", path));
        QCOMPARE(child.line(), QByteArray("go"));
        SleepMicroseconds(random.bounded(duration + 1));
        child.kill();
        QString problem;
        const Found found = Examine(path, problem);
        ++counts[int(found)];
        leftovers += !Temporaries(dir.path()).isEmpty();
        if (found == Found::Wrong)
            problems << path + ": " + problem;
    }
    qInfo("New killed %d times (New takes about %lld us here): %d complete, %d no file, "
          "%d refused, %d wrong; %d kills left a temporary file",
          Trials, duration, counts[int(Found::Complete)], counts[int(Found::Nothing)],
          counts[int(Found::Refused)], counts[int(Found::Wrong)], leftovers);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QVERIFY(counts[int(Found::Nothing)] > 0); // some kills did come before the end

    // The next New clears what the killed ones left behind.
    DBCreate::CreateAccessRegister(dir.filePath("after.mdb"));
    QCOMPARE(Temporaries(dir.path()), QStringList());
}

void TestCrashSafety::killedSaveLeavesOldOrNewSettings() {
    test::SettingsSandbox box;
    box.writeSettings("; the club's settings\n[Window]\nLeft=10\n");
    Save(OldSettings);
    QRandomGenerator random(14);
    int asOld = 0, asNew = 0, leftovers = 0;
    QStringList problems;
    for (int trial = 0; trial < Trials; ++trial) {
        Child child;
        QVERIFY(child.start("save", box.folder()));
        QCOMPARE(child.line(), QByteArray("go"));
        SleepMicroseconds(random.bounded(30000));
        child.kill();
        const Settings stored = Stored();
        asOld += stored == OldSettings;
        asNew += stored == NewSettings;
        if (!(stored == OldSettings || stored == NewSettings))
            problems << QString("trial %1: %2 / %3 / %4 / %5")
                            .arg(trial)
                            .arg(stored.useAccess)
                            .arg(stored.file, stored.server, stored.database);
        if (!box.settingsBytes().startsWith("; the club's settings\n[Window]\nLeft=10\n"))
            problems << QString("trial %1: the other section changed").arg(trial);
        leftovers += !Temporaries(box.folder()).isEmpty();
    }
    qInfo("Save killed %d times: %d old settings, %d new, %d mixed; %d kills left a "
          "temporary file",
          Trials, asOld, asNew, Trials - asOld - asNew, leftovers);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));

    // The next save clears a temporary file a killed one left behind.
    QVERIFY(test::writeFileBytes(box.filePath(".qvtmp-Kil1ed"), "[Database]\nUseAccess"));
    Save(NewSettings);
    QCOMPARE(Temporaries(box.folder()), QStringList());
    QVERIFY(Stored() == NewSettings);
}

void TestCrashSafety::twoCopiesUpgradeOneOlderRegister() {
    for (int round = 0; round < 10; ++round) {
        // Odd rounds: a current register still without the change log.
        const bool older = round % 2 == 0;
        test::Register old;
        if (older)
            old->execute("ALTER TABLE DatesJoined DROP COLUMN MembershipNo");
        old->close();

        Child first, second;
        QVERIFY(first.start("upgrade", old.path()));
        QVERIFY(second.start("upgrade", old.path()));
        QCOMPARE(first.line(), QByteArray("ready"));
        QCOMPARE(second.line(), QByteArray("ready"));
        first.process.write("go\n");
        second.process.write("go\n");
        QVERIFY(first.process.waitForFinished(20000));
        QVERIFY(second.process.waitForFinished(20000));
        const QByteArray errors =
            first.process.readAllStandardError() + second.process.readAllStandardError();
        QVERIFY2(first.process.exitCode() == 0 && second.process.exitCode() == 0,
                 errors.constData());
        // One copy added the column; the other found it there.
        QStringList said{QString(first.line()), QString(second.line())};
        said.sort();
        QCOMPARE(said, older ? QStringList({"changed", "unchanged"})
                             : QStringList({"unchanged", "unchanged"}));

        old->open();
        Query q(&old.connection());
        // Both started together, neither failed, and the log is there.
        q.setSQL("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('ChangeLog', "
                 "'ChangeLogRows')");
        Result logs;
        q.fetch(logs);
        QCOMPARE(logs.rows.value(logs.rows.cell(0, 0)).toInteger(), 2);
        q.setSQL("SELECT COUNT(*) FROM pragma_table_info('DatesJoined') WHERE name = "
                 "'MembershipNo'");
        Result r;
        q.fetch(r);
        QCOMPARE(r.rows.value(r.rows.cell(0, 0)).toInteger(), 1);
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--child")
        return RunChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
