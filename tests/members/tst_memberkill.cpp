// SPDX-License-Identifier: GPL-3.0-or-later
#include "KilledVisit.h"
#include "MemberFixture.h"
#include "db/ChangeLog.h"
#include "db/DBConnectionStrings.h"
#include "platform/os/Clock.h"
#include "platform/ui/Application.h"
#include "settings/MemberSettings.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

using namespace qv;
using membertest::MemberFixture;
using membertest::RecordOf;

// A program killed at any moment of a visit to a member leaves the register
// sound, and the member either wholly as before or wholly as committed.
//
// The test runs itself again as the child named by QV_MEMBERKILL_CHILD. The
// child opens the member in the member window, renames him, adds a period,
// changes a payment and deletes a note through the window's own actions,
// presses Update and commits, as the member list does; it says how far it
// got on its output. The parent kills it (SIGKILL) at a chosen step plus up
// to 15 ms at random, then examines the file.

namespace {

const char* const ChildVariable = "QV_MEMBERKILL_CHILD";

int runChild(int argc, char** argv) {
    QuorvaneApplication app(argc, argv);
    const QString path = qEnvironmentVariable(ChildVariable);
    const qint64 memberId = qEnvironmentVariable("QV_MEMBERKILL_MEMBER").toLongLong();
    test::SettingsSandbox settings;
    MemberSettings::SetAccessDatabase(path);
    Clock::setNowForTesting(QDateTime(QDate(2024, 2, 29), QTime(9, 0)));

    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    ChangeLog::Recorder recorder;
    connection.setChangeRecorder(&recorder);
    return membertest::VisitAndWait(connection, memberId);
}

} // namespace

class TestMemberKill : public QObject {
    Q_OBJECT

private slots:
    void killedVisitLeavesTheMemberWhole();

private:
    // Runs the child on `path`. With a step, kills it `delayUs` after the
    // child reports that step; answers the last step it reported.
    int runVisit(const QString& path, qint64 memberId, int killAfter, int delayUs);
};

int TestMemberKill::runVisit(const QString& path, qint64 memberId, int killAfter, int delayUs) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildVariable, path);
    env.insert("QV_MEMBERKILL_MEMBER", QString::number(memberId));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return membertest::RunKilledVisit(env, killAfter, delayUs);
}

void TestMemberKill::killedVisitLeavesTheMemberWhole() {
    MemberFixture f;
    const QString pristine = f.reg.path();
    const QStringList before = RecordOf(f.connection(), f.smith);
    ChangeLog::CreateTables(f.connection());
    f.connection().close();
    test::TempFolder work;
    const QString path = work.filePath("visit.mdb");

    // One visit to its end gives the committed state.
    QVERIFY(QFile::copy(pristine, path));
    QCOMPARE(runVisit(path, f.smith, 3, 0), 3);
    QStringList committed;
    {
        Connection c;
        c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
        c.open();
        committed = RecordOf(c, f.smith);
    }
    QVERIFY(committed != before);
    QVERIFY(committed.first().contains("|Smythe|John|1 High St|York|"));

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator random(seed);
    int asBefore = 0, asCommitted = 0, journals = 0;
    for (int trial = 0; trial < 40; ++trial) {
        QFile::remove(path);
        QFile::remove(path + "-journal");
        QVERIFY(QFile::copy(pristine, path));
        const int step = trial % 4;
        const int delayUs = int(random.bounded(15000));
        const int reached = runVisit(path, f.smith, step, delayUs);
        QVERIFY2(reached >= step,
                 qPrintable(QString("trial %1 reached %2").arg(trial).arg(reached)));

        // A journal left behind is a write the kill interrupted; opening the
        // file rolls it back.
        journals += QFile::exists(path + "-journal") ? 1 : 0;
        Connection c;
        c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
        c.open();
        Query check(&c);
        check.setSQL("PRAGMA integrity_check");
        Result result;
        check.fetch(result);
        QCOMPARE(result.rows.textOf(result.rows.cell(0, 0)), QString("ok"));
        const QStringList now = RecordOf(c, f.smith);
        const QString where =
            QString("trial %1, step %2 + %3 us").arg(trial).arg(step).arg(delayUs);
        QVERIFY2(now == before || now == committed, qPrintable(where));
        // Before the commit began nothing can show; after it ended all must.
        if (reached < 2)
            QVERIFY2(now == before, qPrintable(where));
        if (reached == 3)
            QVERIFY2(now == committed, qPrintable(where));
        // The visit's log entry is stored with the visit or not at all.
        Query entries(&c);
        entries.setSQL("SELECT COUNT(*) FROM ChangeLog");
        entries.fetch(result);
        QVERIFY2(result.rows.value(result.rows.cell(0, 0)).toInteger() == (now == before ? 0 : 1),
                 qPrintable(where));
        (now == before ? asBefore : asCommitted) += 1;
    }
    qInfo("%d trials found the member as before, %d as committed; %d left a journal", asBefore,
          asCommitted, journals);
    QVERIFY(asBefore > 0 && asCommitted > 0);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(ChildVariable))
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestMemberKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_memberkill.moc"
