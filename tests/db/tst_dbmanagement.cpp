// SPDX-License-Identifier: GPL-3.0-or-later
// Backup and compaction on real register files: what is kept, what is
// refused, what a failing step or a killed process leaves behind.

#include "RegisterGenerator.h"
#include "db/DBConnectionStrings.h"
#include "db/DBManagement.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"
#include "platform/os/Clock.h"
#include "platform/os/FileLock.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using qv::Connection;
using qv::DatabaseError;
using qv::test::readFileBytes;
using qv::test::TempFolder;

namespace {

const QDateTime Moment(QDate(2010, 3, 5), QTime(14, 25, 30));

QString Scalar(Connection& connection, const QString& sql) {
    qv::Query query(&connection);
    query.setSQL(sql);
    qv::Result result;
    query.fetch(result);
    return result.rows.value(result.rows.cell(0, 0)).toText();
}

// The engine's check of the file and the rows of every table.
QString Snapshot(Connection& connection) {
    QString s = Scalar(connection, "PRAGMA integrity_check");
    for (const QString& table :
         Scalar(connection, "SELECT group_concat(name) FROM sqlite_master WHERE type = 'table' "
                            "AND name NOT LIKE 'sqlite%'")
             .split(','))
        s += ' ' + table + '=' + Scalar(connection, "SELECT COUNT(*) FROM " + table);
    return s;
}

QString SnapshotOf(const QString& path) {
    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    return Snapshot(connection);
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// A generated register with its connection open.
struct Club {
    TempFolder folder;
    QString path = folder.filePath("Club.mdb");
    QString work = folder.filePath("Clubcompact.mdb");
    QString backups = folder.filePath("QuorvaneBackups");
    Connection connection;
    QString before;

    explicit Club(int members) {
        qv::bench::GenerateRegister(path, members);
        connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
        connection.open();
        before = Snapshot(connection);
    }
    // Compacts; answers the failure reported, empty when there was none.
    QString
    compact(const DBManagement::CompactionSteps& steps = DBManagement::CompactionSteps::Real()) {
        try {
            DBManagement::CompactDatabase(connection, steps);
        } catch (const DatabaseError& e) {
            return e.message();
        }
        return QString();
    }
};

// The child of the kill test: compacts over and over, a second later each
// time by its clock, pausing at random around the file steps so that the kills
// land in every one of them.
int CompactForever(const QString& path, qint64 firstSecond) {
    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    auto steps = DBManagement::CompactionSteps::Real();
    const auto pause = [] { QThread::usleep(QRandomGenerator::global()->bounded(3000)); };
    steps.syncFile = [real = steps.syncFile, pause](const QString& p) { return pause(), real(p); };
    for (auto* step : {&steps.keepCopy, &steps.replace})
        *step = [real = *step, pause](const QString& a, const QString& b) {
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

// Runs this program again as the child `arguments` name, waits for its
// "ready", lets it go on for `fromMs` to `toMs` milliseconds (at random) and
// kills it with SIGKILL. Answers all it printed; empty when it never got ready.
QByteArray KilledChild(const QStringList& arguments, int fromMs, int toMs) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    QByteArray said;
    while (!said.contains("ready")) {
        if (!child.waitForReadyRead(10000))
            return {};
        said += child.readAllStandardOutput();
    }
    QThread::msleep(QRandomGenerator::global()->bounded(fromMs, toMs));
    child.kill();
    child.waitForFinished();
    return said + child.readAllStandardOutput();
}

// The child of the backup kill test: copies the register into the folder
// over and over, each time under a new name.
int BackupForever(const QString& source, const QString& folder) {
    ::write(1, "ready\n", 6);
    for (int n = 0;; ++n) {
        if (!DBManagement::CopyDatabase(source, folder + QStringLiteral("/copy%1.mdb").arg(n)))
            return 1;
        ::write(1, "done\n", 5);
    }
}

// The child of the killed-visit backup test: begins a change of many rows
// and waits, inside it, to be killed.
int ChangeAndWait(const QString& path) {
    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    // A cache too small for the change makes the engine write pages into the
    // file before the end, as a large change does: the journal is then needed.
    connection.execute("PRAGMA cache_size = 2");
    connection.beginTrans();
    connection.execute("DELETE FROM FeePayments");
    connection.execute("UPDATE Members SET Surname = 'Changed'");
    ::write(1, "ready\n", 6);
    QThread::sleep(30);
    return 3;
}

// A folder whose disk holds `bytes` at most: a small memory file system where
// this process may mount one (root), else the same folder with the size of
// the files this process writes limited (EFBIG instead of ENOSPC, the signal
// that limit sends ignored). Undone when it goes.
struct SmallDisk {
    TempFolder folder;
    bool mounted = false;
    rlimit before{};
    void (*signal)(int) = nullptr;

    explicit SmallDisk(int bytes) {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        mounted = ::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", 0,
                          options.constData()) == 0;
        if (mounted)
            return;
        qInfo("no memory file system can be mounted here: the file size limit stands in");
        ::getrlimit(RLIMIT_FSIZE, &before);
        signal = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{rlim_t(bytes), before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SmallDisk() {
        if (mounted) {
            ::umount(QFile::encodeName(folder.path()).constData());
            return;
        }
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, signal);
    }
};

} // namespace

class TestDBManagement : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qv::Clock::resetNow(); }
    void backup();
    void backupAfterAKilledVisit();
    void backupFailureSaysWhy_data();
    void backupFailureSaysWhy();
    void compactionKeepsEveryRowAndTheFormerFile();
    void compactionFaultAtEachStep_data();
    void compactionFaultAtEachStep();
    void compactionRefusedChangingNothing();
    void lockOfAnOlderCopyIsRespected();
    void compactionThroughASymbolicLink();
    void killedCompactionLeavesRegisterWhole();
    void killedBackupLeavesWholeCopiesOnly();
};

void TestDBManagement::backup() {
    Club club(50);
    TempFolder target;
    std::optional<QString> answer = target.path();
    const auto backup = [&](int second) {
        qv::Clock::setNowForTesting(Moment.addSecs(second));
        return DBManagement::BackupDatabase(club.connection,
                                            [&](const QString&) { return answer; });
    };
    // Taken while another program is in the middle of a change, then while
    // our own connection is in a member's visit: committed rows only.
    Connection other;
    other.setConnectionString(club.connection.connectionString());
    other.open();
    other.beginTrans();
    other.execute("DELETE FROM FeePayments");
    QVERIFY(backup(0).copied);
    other.rollbackTrans();
    club.connection.beginTrans();
    club.connection.execute(
        "INSERT INTO Members (Surname, FirstNames) VALUES ('Uncommitted', 'A')");
    QVERIFY(backup(1).copied);
    club.connection.rollbackTrans();
    const QString first = target.filePath("quorvane_2010_03_05_142530.mdb");
    QCOMPARE(SnapshotOf(first), club.before);
    QCOMPARE(SnapshotOf(target.filePath("quorvane_2010_03_05_142531.mdb")), club.before);

    // Within the same second: refused, the first copy untouched, no half file.
    const QByteArray firstBytes = readFileBytes(first);
    const auto again = backup(0);
    QVERIFY(again.folderChosen && !again.copied);
    QCOMPARE(readFileBytes(first), firstBytes);
    answer.reset();
    const auto cancelled = backup(3);
    QVERIFY(!cancelled.folderChosen && !cancelled.copied);
    QCOMPARE(Entries(target.path()).size(), 2);
}

void TestDBManagement::backupAfterAKilledVisit() {
    Club club(300);
    // The killed change leaves its journal behind, which a connection that
    // cannot write would refuse to read past.
    QVERIFY(KilledChild({"--change-and-wait", club.path}, 1, 2).startsWith("ready"));
    const QByteArray journal = readFileBytes(club.path + "-journal");
    QVERIFY(!journal.isEmpty() && journal.at(0) != 0); // its header written: it must be played back
    TempFolder target;
    qv::Clock::setNowForTesting(Moment);
    const auto backup = DBManagement::BackupDatabase(club.connection,
                                                     [&](const QString&) { return target.path(); });
    QVERIFY2(backup.copied, qPrintable(backup.failure));
    QCOMPARE(backup.path, target.filePath("quorvane_2010_03_05_142530.mdb"));
    QCOMPARE(SnapshotOf(backup.path), club.before); // integrity_check "ok", every row
}

void TestDBManagement::backupFailureSaysWhy_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reported");
    QTest::newRow("a file of that name") << "exists"
                                         << "A file named";
    QTest::newRow("folder not writable") << "folder"
                                         << "could not be written in the folder";
    QTest::newRow("register unreadable") << "unreadable"
                                         << "could not be read (file is not a database)";
    QTest::newRow("disk full") << "full"
                               << "There is not enough room on the disk";
    QTest::newRow("another program kept writing") << "busy"
                                                  << "Another program kept changing the database";
}

void TestDBManagement::backupFailureSaysWhy() {
    QFETCH(QString, fault);
    QFETCH(QString, reported);
    Club club(300);
    std::optional<SmallDisk> disk;
    TempFolder target;
    QString folder = target.path(), source = club.path;
    sqlite3* writer = nullptr;
    if (fault == "exists")
        QVERIFY(QFile(target.filePath("copy.mdb")).open(QIODevice::WriteOnly));
    if (fault == "folder") // a folder below a file (refused to root as well)
        folder = club.path + "/backups";
    if (fault == "unreadable") {
        source = target.filePath("notes.txt");
        QFile text(source);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write(QByteArray(4096, 'x')) == 4096);
    }
    if (fault == "full")
        folder = disk.emplace(64 * 1024).folder.path();
    if (fault == "busy") { // holds the lock that keeps every reader out
        QCOMPARE(sqlite3_open(QFile::encodeName(club.path).constData(), &writer), SQLITE_OK);
        QCOMPARE(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    const QStringList before = Entries(folder);
    QString failure;
    QVERIFY(!DBManagement::CopyDatabase(source, folder + "/copy.mdb", &failure));
    QVERIFY2(failure.contains(reported), qPrintable(failure));
    // Nothing new under the backup's name or any other.
    QCOMPARE(Entries(folder), before);
    if (fault == "exists")
        QCOMPARE(QFileInfo(target.filePath("copy.mdb")).size(), 0);
    sqlite3_close(writer);
}

void TestDBManagement::compactionKeepsEveryRowAndTheFormerFile() {
    Club club(300);
    club.connection.execute("DELETE FROM MemberNotes WHERE MemberNotesID % 2 = 0"); // room to gain
    club.before = Snapshot(club.connection);
    const QByteArray former = readFileBytes(club.path);
    // A register a group shares stays the group's, whoever compacts it.
    const QByteArray native = QFile::encodeName(club.path);
    const bool root = ::geteuid() == 0;
    QVERIFY(!root || ::chown(native.constData(), 4321, 4322) == 0);
    QCOMPARE(::chmod(native.constData(), 0660), 0);
    qv::Clock::setNowForTesting(Moment);
    QCOMPARE(club.compact(), QString());
    struct stat compacted {};
    QCOMPARE(::stat(native.constData(), &compacted), 0);
    QCOMPARE(compacted.st_mode & 07777, 0660u);
    QVERIFY(!root || (compacted.st_uid == 4321 && compacted.st_gid == 4322));
    QVERIFY(club.connection.isOpen());
    QCOMPARE(Snapshot(club.connection), club.before);
    QVERIFY(club.before.startsWith("ok MembershipLevel="));
    QVERIFY(QFileInfo(club.path).size() < former.size());
    QCOMPARE(Entries(club.folder.path()),
             QStringList({".Club.mdb-lock", "Club.mdb", "QuorvaneBackups"}));
    QCOMPARE(readFileBytes(club.backups + "/Club2010_03_05_142530.mdb"), former);
    // Two more reuse the folder, within the same second: the stamp gets a counter.
    for (int i = 0; i < 2; ++i)
        QCOMPARE(club.compact(), QString());
    QCOMPARE(Snapshot(club.connection), club.before);
    QCOMPARE(Entries(club.backups),
             QStringList({"Club2010_03_05_142530.mdb", "Club2010_03_05_142530_2.mdb",
                          "Club2010_03_05_142530_3.mdb"}));
}

void TestDBManagement::compactionFaultAtEachStep_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("reported");
    QTest::newRow("engine") << "compactInto"
                            << "could not be compacted (disk I/O error)";
    QTest::newRow("flush") << "syncFile"
                           << "could not be written to the disk";
    QTest::newRow("backup folder") << "makeFolder"
                                   << "The backup folder";
    QTest::newRow("keep the former file") << "keepCopy"
                                          << "could not be kept as";
    QTest::newRow("put in place") << "replace"
                                  << "could not be put in the place of";
    QTest::newRow("register gone meanwhile") << "replace-gone"
                                             << "was put back as it was";
}

void TestDBManagement::compactionFaultAtEachStep() {
    QFETCH(QString, step);
    QFETCH(QString, reported);
    Club club(100);
    const QByteArray former = readFileBytes(club.path);
    auto steps = DBManagement::CompactionSteps::Real();
    const auto refuse = [](auto...) { return false; };
    if (step == "compactInto")
        steps.compactInto = [real = steps.compactInto](const QString& a, const QString& b) {
            real(a, b); // a file is left to be cleared away
            return QString("disk I/O error");
        };
    if (step == "syncFile")
        steps.syncFile = refuse;
    if (step == "makeFolder")
        steps.makeFolder = refuse;
    if (step == "keepCopy")
        steps.keepCopy = refuse;
    if (step == "replace")
        steps.replace = refuse;
    // A move that is not one step: the register left its place, then it failed.
    if (step == "replace-gone")
        steps.replace = [](const QString&, const QString& to) { return !QFile::remove(to); };

    QVERIFY(club.compact(steps).contains(reported));
    QVERIFY(club.connection.isOpen());
    QCOMPARE(Snapshot(club.connection), club.before);
    QCOMPARE(readFileBytes(club.path), former);
    QVERIFY(!QFile::exists(club.work));
    QVERIFY(Entries(club.backups).isEmpty());
}

void TestDBManagement::compactionRefusedChangingNothing() {
    Club club(50);
    const QByteArray former = readFileBytes(club.path);
    const auto refused = [&](const char* why) {
        const QString reported = club.compact();
        return reported.contains(why) && reported.endsWith("Nothing has been changed.") &&
               club.connection.isOpen() && readFileBytes(club.path) == former &&
               !QFile::exists(club.backups);
    };
    {
        Connection otherCopy;
        otherCopy.setConnectionString(club.connection.connectionString());
        otherCopy.open();
        QVERIFY(refused("open in another copy of Quorvane"));
    }
    // Something where the work file goes (a FIFO here) is left alone.
    QCOMPARE(::mkfifo(QFile::encodeName(club.work).constData(), 0600), 0);
    QVERIFY(refused("is in the way of the compaction"));
    QVERIFY(QFile::remove(club.work));
    QCOMPARE(club.compact(), QString());
}

void TestDBManagement::lockOfAnOlderCopyIsRespected() {
    // Copies of earlier versions lock "Club.mdb-lock" (the older copy here is
    // the lock it would hold). Ours is hidden and the older file is only made
    // while a compaction runs.
    Club club(50);
    const QString older = club.path + "-lock";
    QCOMPARE(Entries(club.folder.path()), QStringList({".Club.mdb-lock", "Club.mdb"}));
    {
        // An older copy has the register open: no compaction under it.
        qv::FileLock olderCopy;
        QCOMPARE(olderCopy.acquire(older, qv::FileLock::Mode::Shared),
                 qv::FileLock::Outcome::Locked);
        QVERIFY(club.compact().contains("open in another copy of Quorvane"));
        // A newer copy that opens it now holds the older file too, so the older
        // copy's own compaction would wait for it.
        Connection newer;
        newer.setConnectionString(club.connection.connectionString());
        newer.open();
        olderCopy.release();
        qv::FileLock compacting;
        QCOMPARE(compacting.acquire(older, qv::FileLock::Mode::Exclusive),
                 qv::FileLock::Outcome::Busy);
    }
    // (This copy, reopened by the refused compaction, holds the older file
    // too: it lets go for the next case.)
    club.connection.close();
    {
        // An older copy is compacting: a newer copy does not open the file
        // that is about to be replaced.
        qv::FileLock olderCompaction;
        QCOMPARE(olderCompaction.acquire(older, qv::FileLock::Mode::Exclusive),
                 qv::FileLock::Outcome::Locked);
        Connection newer;
        newer.setConnectionString(club.connection.connectionString());
        try {
            newer.open();
            QFAIL("opened while an older copy compacts");
        } catch (const DatabaseError& e) {
            QVERIFY2(e.message().contains("compacting"), qPrintable(e.message()));
        }
    }
    QVERIFY(!QFileInfo::exists(older));
    club.connection.open();
    // Left by an older copy that was killed: swept by a compaction.
    QVERIFY(qv::test::writeFileBytes(older, ""));
    qv::Clock::setNowForTesting(Moment);
    QCOMPARE(club.compact(), QString());
    QCOMPARE(Entries(club.folder.path()),
             QStringList({".Club.mdb-lock", "Club.mdb", "QuorvaneBackups"}));
}

void TestDBManagement::compactionThroughASymbolicLink() {
    // The register lives elsewhere (a synchronised folder, say) and the
    // settings name a link to it: the file it points to is compacted, and
    // the link stays.
    Club club(50);
    club.connection.close();
    const QString real = club.folder.filePath("elsewhere/Club.mdb");
    QVERIFY(QDir(club.folder.path()).mkdir("elsewhere"));
    QVERIFY(QFile::rename(club.path, real));
    QVERIFY(QFile::link(real, club.path));
    club.connection.open();
    const QByteArray former = readFileBytes(real);
    {
        Connection otherCopy; // opened under the file's own name
        otherCopy.setConnectionString(DBConnectionStrings::AccessConnectionString(real));
        otherCopy.open();
        QVERIFY(club.compact().contains("open in another copy of Quorvane"));
    }
    qv::Clock::setNowForTesting(Moment);
    QCOMPARE(club.compact(), QString());
    QCOMPARE(Snapshot(club.connection), club.before);
    QCOMPARE(QFileInfo(club.path).symLinkTarget(), real);
    QCOMPARE(
        readFileBytes(club.folder.filePath("elsewhere/QuorvaneBackups/Club2010_03_05_142530.mdb")),
        former);
    QVERIFY(!QFile::exists(club.folder.filePath("elsewhere/Clubcompact.mdb")));
    QVERIFY(!QFile::exists(club.backups));
}

void TestDBManagement::killedCompactionLeavesRegisterWhole() {
    Club club(1500);
    club.connection.close();
    int finished = 0, workLeft = 0;
    for (int trial = 0; trial < 30; ++trial) {
        const QByteArray said =
            KilledChild({"--compact-forever", club.path, QString::number(trial * 1000)}, 10, 150);
        QVERIFY(said.startsWith("ready"));
        finished += int(said.count("done"));

        QCOMPARE(SnapshotOf(club.path), club.before); // opening a missing file throws
        // At worst a work file is left (with its journal) besides the kept copies;
        // the killed copy's lock file went with the last connection since.
        for (const QString& entry : Entries(club.folder.path()))
            QVERIFY2(QStringList({"Club.mdb", "Clubcompact.mdb", "Clubcompact.mdb-journal",
                                  "QuorvaneBackups"})
                         .contains(entry),
                     qPrintable(entry));
        // The next compaction goes on without anyone touching a file, and
        // says what it cleared away.
        const bool left = QFile::exists(club.work);
        workLeft += left;
        club.connection.open();
        const DBManagement::CompactionResult result =
            DBManagement::CompactDatabase(club.connection);
        QCOMPARE(result.removedWork, left ? club.work : QString());
        QCOMPARE(DBManagement::CompactionReport(result).contains("did not finish"), left);
        QCOMPARE(Snapshot(club.connection), club.before);
        club.connection.close();
        QVERIFY(!QFile::exists(club.work) && !QFile::exists(club.work + "-journal"));
        QVERIFY(QDir(club.backups).removeRecursively()); // kept copies add up
    }
    // The kills fell both inside compactions and after finished ones.
    qInfo("30 trials: %d compactions finished, %d work files left", finished, workLeft);
    QVERIFY(finished > 0 && workLeft > 0);
}

void TestDBManagement::killedBackupLeavesWholeCopiesOnly() {
    Club club(1500);
    club.connection.close();
    TempFolder target;
    int finished = 0, leftovers = 0;
    for (int trial = 0; trial < 20; ++trial) {
        const QByteArray said = KilledChild({"--backup-forever", club.path, target.path()}, 1, 60);
        QVERIFY(said.startsWith("ready"));
        finished += int(said.count("done"));

        // Every copy that stands under its name is whole; at most the
        // temporary file of the copy under way is left besides.
        bool left = false;
        for (const QString& entry : Entries(target.path())) {
            if (entry.startsWith(".qvtmp-")) {
                left = true;
                continue;
            }
            QVERIFY2(entry.startsWith("copy") && entry.endsWith(".mdb"), qPrintable(entry));
            QCOMPARE(SnapshotOf(target.filePath(entry)), club.before);
            QVERIFY(QFile::remove(target.filePath(entry)));
        }
        leftovers += left;
    }
    qInfo("20 trials: %d copies finished, %d kills left a temporary file", finished, leftovers);
    QVERIFY(finished > 0 && leftovers > 0);

    // The next backup into that folder clears what the killed ones left.
    QVERIFY(DBManagement::CopyDatabase(club.path, target.filePath("after.mdb")));
    QCOMPARE(Entries(target.path()), QStringList("after.mdb"));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--compact-forever") == 0)
        return CompactForever(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toLongLong());
    if (argc == 3 && qstrcmp(argv[1], "--change-and-wait") == 0)
        return ChangeAndWait(QString::fromLocal8Bit(argv[2]));
    if (argc == 4 && qstrcmp(argv[1], "--backup-forever") == 0)
        return BackupForever(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestDBManagement test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dbmanagement.moc"
