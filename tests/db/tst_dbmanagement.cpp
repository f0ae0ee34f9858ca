// Backup and compaction on real register files: what is kept, what is
// refused, what a failing step or a killed process leaves behind.

#include "RegisterGenerator.h"
#include "db/DBConnectionStrings.h"
#include "db/DBManagement.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"
#include "platform/os/Clock.h"
#include "platform/os/FileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using qv::Connection;
using qv::DatabaseError;
using qv::test::TempFolder;
using Counts = std::map<QString, qint64>;

namespace {

const QDateTime Moment(QDate(2010, 3, 5), QTime(14, 25, 30));

QStringList Column(Connection& connection, const QString& sql) {
    qv::Query query(&connection);
    query.setSQL(sql);
    qv::Result result;
    query.fetch(result);
    QStringList values;
    for (int row = 0; row < result.rows.rowCount(); ++row)
        values << result.rows.value(result.rows.cell(row, 0)).toText();
    return values;
}

// The rows of every table, and what the engine's own check says of the file.
struct Snapshot {
    Counts counts;
    QStringList integrity;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(Connection& connection) {
    Snapshot s;
    for (const QString& table : Column(connection, "SELECT name FROM sqlite_master WHERE type = "
                                                   "'table' AND name NOT LIKE 'sqlite%'"))
        s.counts[table] = Column(connection, "SELECT COUNT(*) FROM " + table).value(0).toLongLong();
    s.integrity = Column(connection, "PRAGMA integrity_check");
    return s;
}

Snapshot TakeOf(const QString& path) {
    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    return Take(connection);
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A generated register with a few hundred members, whose connection is open.
struct Club {
    TempFolder folder;
    QString path = folder.filePath("Club.mdb");
    Connection connection;
    Snapshot before;

    explicit Club(int members = 300) {
        qv::bench::GenerateRegister(path, members);
        connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
        connection.open();
        before = Take(connection);
    }
    QString backups() const { return folder.filePath("QuorvaneBackups"); }
    QString work() const { return folder.filePath("Clubcompact.mdb"); }
};

// The child of the kill test: compacts the register over and over, a second
// later each time by its clock, pausing a little at random inside every step
// so that the kills land in all of them.
int CompactForever(const QString& path, qint64 firstSecond) {
    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    auto steps = DBManagement::CompactionSteps::Real();
    const auto pause = [] { QThread::usleep(QRandomGenerator::global()->bounded(3000)); };
    steps.syncFile = [real = steps.syncFile, pause](const QString& p) {
        pause();
        return real(p);
    };
    steps.keepCopy = [real = steps.keepCopy, pause](const QString& a, const QString& b) {
        pause();
        const bool ok = real(a, b);
        pause();
        return ok;
    };
    steps.replace = [real = steps.replace, pause](const QString& a, const QString& b) {
        pause();
        const bool ok = real(a, b);
        pause();
        return ok;
    };
    ::write(1, "ready\n", 6);
    for (qint64 second = firstSecond;; ++second) {
        qv::Clock::setNowForTesting(Moment.addSecs(second));
        DBManagement::CompactDatabase(connection, steps);
        ::write(1, "done\n", 5);
    }
}

} // namespace

class TestDBManagement : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qv::Clock::resetNow(); }
    void backupNamesRefusalsAndCancel();
    void backupHoldsCommittedRowsOnly();
    void compactionKeepsEveryRowAndTheFormerFile();
    void compactionFaultAtEachStep_data();
    void compactionFaultAtEachStep();
    void compactionRefusedChangingNothing();
    void killedCompactionLeavesRegisterWhole();
};

void TestDBManagement::backupNamesRefusalsAndCancel() {
    Club club(50);
    TempFolder target;
    qv::Clock::setNowForTesting(Moment);
    QStringList prompts;
    std::optional<QString> answer = target.path();
    const auto browse = [&](const QString& prompt) {
        prompts << prompt;
        return answer;
    };

    const auto first = DBManagement::BackupDatabase(club.connection, browse);
    QVERIFY(first.folderChosen && first.copied);
    QCOMPARE(prompts, QStringList{"Select folder to store backup"});
    const QString copy = target.filePath("quorvane_2010_03_05_142530.mdb");
    QCOMPARE(Entries(target.path()), QStringList{"quorvane_2010_03_05_142530.mdb"});
    QCOMPARE(TakeOf(copy), club.before);

    // Within the same second: refused, the first copy untouched, no half file.
    const QByteArray firstBytes = qv::test::readFileBytes(copy);
    club.connection.execute("DELETE FROM MemberNotes");
    const auto second = DBManagement::BackupDatabase(club.connection, browse);
    QVERIFY(second.folderChosen && !second.copied);
    QCOMPARE(qv::test::readFileBytes(copy), firstBytes);
    QCOMPARE(Entries(target.path()).size(), 1);

    // A folder that does not exist, and a cancelled browser.
    answer = target.filePath("gone");
    QVERIFY(!DBManagement::BackupDatabase(club.connection, browse).copied);
    answer.reset();
    const auto cancelled = DBManagement::BackupDatabase(club.connection, browse);
    QVERIFY(!cancelled.folderChosen && !cancelled.copied);
    QCOMPARE(Entries(target.path()).size(), 1);
}

void TestDBManagement::backupHoldsCommittedRowsOnly() {
    Club club(50);
    TempFolder target;
    const auto browse = [&](const QString&) { return std::optional<QString>(target.path()); };
    // Another program in the middle of a change, then our own connection in a
    // member's visit: neither's rows are committed, so neither is copied.
    Connection other;
    other.setConnectionString(club.connection.connectionString());
    other.open();
    other.beginTrans();
    other.execute("DELETE FROM FeePayments");
    qv::Clock::setNowForTesting(Moment);
    QVERIFY(DBManagement::BackupDatabase(club.connection, browse).copied);
    other.rollbackTrans();

    club.connection.beginTrans();
    club.connection.execute(
        "INSERT INTO Members (Surname, FirstNames) VALUES ('Uncommitted', 'A')");
    qv::Clock::setNowForTesting(Moment.addSecs(1));
    QVERIFY(DBManagement::BackupDatabase(club.connection, browse).copied);
    club.connection.rollbackTrans();

    QCOMPARE(TakeOf(target.filePath("quorvane_2010_03_05_142530.mdb")), club.before);
    QCOMPARE(TakeOf(target.filePath("quorvane_2010_03_05_142531.mdb")), club.before);
}

void TestDBManagement::compactionKeepsEveryRowAndTheFormerFile() {
    Club club;
    // Room for the compaction to give back.
    club.connection.execute("DELETE FROM MemberNotes WHERE MemberNotesID % 2 = 0");
    club.before = Take(club.connection);
    const QByteArray former = qv::test::readFileBytes(club.path);

    qv::Clock::setNowForTesting(Moment);
    DBManagement::CompactDatabase(club.connection);
    QVERIFY(club.connection.isOpen());
    QCOMPARE(Take(club.connection), club.before);
    QCOMPARE(club.before.integrity, QStringList{"ok"});
    QVERIFY(QFileInfo(club.path).size() < former.size());
    QCOMPARE(Entries(club.folder.path()),
             QStringList({"Club.mdb", "Club.mdb-lock", "QuorvaneBackups"}));
    QCOMPARE(Entries(club.backups()), QStringList{"Club2010_03_05_142530.mdb"});
    QCOMPARE(qv::test::readFileBytes(club.backups() + "/Club2010_03_05_142530.mdb"), former);

    // A second compaction reuses the folder.
    qv::Clock::setNowForTesting(Moment.addSecs(61));
    DBManagement::CompactDatabase(club.connection);
    QCOMPARE(Take(club.connection), club.before);
    QCOMPARE(Entries(club.backups()),
             QStringList({"Club2010_03_05_142530.mdb", "Club2010_03_05_142631.mdb"}));
}

void TestDBManagement::compactionFaultAtEachStep_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("message");
    QTest::newRow("engine") << "compactInto"
                            << "The database could not be compacted (disk I/O error).";
    QTest::newRow("flush") << "syncFile"
                           << "could not be written to the disk";
    QTest::newRow("backup folder") << "makeFolder"
                                   << "The backup folder";
    QTest::newRow("keep the former file") << "keepCopy"
                                          << "could not be kept as";
    QTest::newRow("put in place") << "replace"
                                  << "could not be put in the place of";
    QTest::newRow("put in place, register gone") << "replace-gone"
                                                 << "was put back as it was";
}

void TestDBManagement::compactionFaultAtEachStep() {
    QFETCH(QString, step);
    QFETCH(QString, message);
    Club club(100);
    const QByteArray former = qv::test::readFileBytes(club.path);
    auto steps = DBManagement::CompactionSteps::Real();
    if (step == "compactInto")
        steps.compactInto = [real = steps.compactInto](const QString& a, const QString& b) {
            real(a, b); // half a file is left to be cleared away
            return QString("disk I/O error");
        };
    if (step == "syncFile")
        steps.syncFile = [](const QString&) { return false; };
    if (step == "makeFolder")
        steps.makeFolder = [](const QString&) { return false; };
    if (step == "keepCopy")
        steps.keepCopy = [](const QString&, const QString&) { return false; };
    if (step == "replace")
        steps.replace = [](const QString&, const QString&) { return false; };
    // A move that is not one step: the register left its place, then it failed.
    if (step == "replace-gone")
        steps.replace = [&](const QString&, const QString& to) {
            QFile::remove(to);
            return false;
        };

    QString reported;
    try {
        DBManagement::CompactDatabase(club.connection, steps);
    } catch (const DatabaseError& e) {
        reported = e.message();
    }
    QVERIFY2(reported.contains(message), qPrintable(reported));
    QVERIFY(club.connection.isOpen());
    QCOMPARE(Take(club.connection), club.before);
    QCOMPARE(qv::test::readFileBytes(club.path), former);
    QVERIFY(!QFile::exists(club.work()));
    QVERIFY(Entries(club.backups()).isEmpty());
}

void TestDBManagement::compactionRefusedChangingNothing() {
    Club club(50);
    const QByteArray former = qv::test::readFileBytes(club.path);
    const auto refused = [&](const char* expected) {
        try {
            DBManagement::CompactDatabase(club.connection);
        } catch (const DatabaseError& e) {
            QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
            QVERIFY(club.connection.isOpen());
            QCOMPARE(qv::test::readFileBytes(club.path), former);
            QVERIFY(!QFile::exists(club.backups()));
            return;
        }
        QFAIL("the compaction went ahead");
    };

    // Another copy of the program has the register open.
    {
        Connection other;
        other.setConnectionString(club.connection.connectionString());
        other.open();
        refused("open in another copy of Quorvane");
        QCOMPARE(Take(other), club.before);
    }
    // Something is where the work file goes: a FIFO, then a folder.
    QVERIFY(::mkfifo(QFile::encodeName(club.work()).constData(), 0600) == 0);
    refused("is in the way of the compaction");
    QVERIFY(QFileInfo(club.work()).exists());
    QVERIFY(QFile::remove(club.work()));
    QVERIFY(QDir().mkdir(club.work()));
    refused("is in the way of the compaction");
    QVERIFY(QDir().rmdir(club.work()));
    DBManagement::CompactDatabase(club.connection);
    QCOMPARE(Take(club.connection), club.before);
}

void TestDBManagement::killedCompactionLeavesRegisterWhole() {
    Club club(1500);
    club.connection.close();
    int completed = 0, leftWork = 0;
    const int trials = 30;
    for (int trial = 0; trial < trials; ++trial) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--compact-forever", club.path, QString::number(trial * 1000)});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (said += child.readAllStandardOutput()).contains("ready") ||
                child.state() != QProcess::Running,
            qPrintable(QString("trial %1: %2 / %3")
                           .arg(trial)
                           .arg(QString(said), QString(child.readAllStandardError()))),
            10000);
        QThread::msleep(QRandomGenerator::global()->bounded(10, 150));
        child.kill(); // SIGKILL
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        completed += int((said + child.readAllStandardOutput()).count("done"));

        Snapshot after;
        try {
            after = TakeOf(club.path);
        } catch (const DatabaseError& e) {
            QFAIL(qPrintable(QString("trial %1: %2").arg(trial).arg(e.message())));
        }
        QCOMPARE(after, club.before);
        for (const QString& entry : Entries(club.folder.path()))
            QVERIFY2(QStringList({"Club.mdb", "Club.mdb-lock", "Clubcompact.mdb",
                                  "Clubcompact.mdb-journal", "QuorvaneBackups"})
                         .contains(entry),
                     qPrintable(entry));
        if (QFile::exists(club.work())) {
            ++leftWork;
            QVERIFY(QFile::remove(club.work()));
            QFile::remove(club.work() + "-journal");
        }
        QVERIFY(QDir(club.backups()).removeRecursively()); // kept copies add up
    }
    // The kills fell both inside compactions and between finished ones.
    qInfo("%d trials: %d compactions finished, %d work files left", trials, completed, leftWork);
    QVERIFY(completed > 0);
    QVERIFY(leftWork > 0);
}

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], "--compact-forever") == 0) {
        QCoreApplication app(argc, argv);
        return CompactForever(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toLongLong());
    }
    QCoreApplication app(argc, argv);
    TestDBManagement test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dbmanagement.moc"
