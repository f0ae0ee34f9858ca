#include "db/DBManagement.h"

#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/SqliteProvider.h"
#include "platform/os/Clock.h"
#include "platform/os/FileLock.h"
#include "platform/os/FileSystem.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DBManagement {

namespace FileSystem = qv::FileSystem;
using qv::DatabaseError;

namespace {

// How long a copy waits for another program's write to finish.
constexpr int kBusyWaitMs = 5000;

const QString BackupPrompt = QStringLiteral("Select folder to store backup");
const QString BackupFolderName = QStringLiteral("QuorvaneBackups");

// An engine connection of our own, always closed.
class EngineFile {
public:
    EngineFile() = default;
    ~EngineFile() { sqlite3_close(m_db); }
    EngineFile(const EngineFile&) = delete;
    EngineFile& operator=(const EngineFile&) = delete;

    bool open(const QString& path, int flags) {
        const QByteArray name = path.toUtf8();
        if (sqlite3_open_v2(name.constData(), &m_db, flags, nullptr) != SQLITE_OK)
            return false;
        sqlite3_busy_timeout(m_db, kBusyWaitMs);
        return true;
    }
    sqlite3* handle() const { return m_db; }
    QString error() const {
        return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                    : QString::fromUtf8(sqlite3_errstr(SQLITE_NOMEM));
    }

private:
    sqlite3* m_db = nullptr;
};

// The register file the connection has open.
QString DatabaseFile(qv::Connection& connection) {
    auto* file = dynamic_cast<qv::SqliteProvider*>(&connection.provider());
    if (!file)
        throw DatabaseError(QStringLiteral("Only a database file can be backed up or compacted "
                                           "here; a database on a server is looked after on "
                                           "the server."));
    return file->fileName();
}

bool BackupPages(sqlite3* from, sqlite3* into) {
    sqlite3_backup* backup = sqlite3_backup_init(into, "main", from, "main");
    if (!backup)
        return false;
    QElapsedTimer clock;
    clock.start();
    int rc;
    // One step copies every page under one read lock: a consistent moment.
    while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (clock.elapsed() > kBusyWaitMs)
            break;
        sqlite3_sleep(50);
    }
    return sqlite3_backup_finish(backup) == SQLITE_OK && rc == SQLITE_DONE;
}

QString VacuumInto(const QString& source, const QString& target) {
    EngineFile db;
    // Read-write, so that a journal left by a crash is rolled back first.
    if (!db.open(source, SQLITE_OPEN_READWRITE))
        return db.error();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.handle(), "VACUUM INTO ?1", -1, &stmt, nullptr) != SQLITE_OK)
        return db.error();
    const QByteArray name = target.toUtf8();
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt);
    const QString error = rc == SQLITE_DONE ? QString() : db.error();
    sqlite3_finalize(stmt);
    return error;
}

const QString NothingChanged = QStringLiteral(" Nothing has been changed.");

// Takes alone the lock that every copy of the program shares while it has the
// register at `path` open; answers why it cannot, or empty text.
QString Lock(qv::RegisterLock& lock, const QString& path) {
    switch (lock.acquire(path, qv::FileLock::Mode::Exclusive)) {
    case qv::FileLock::Outcome::Locked:
        return QString();
    case qv::FileLock::Outcome::Busy:
        return QStringLiteral("The database is open in another copy of Quorvane. Close it there "
                              "and compact again.") +
               NothingChanged;
    case qv::FileLock::Outcome::Unavailable:
    case qv::FileLock::Outcome::Absent: // not asked for: the files are made
        break;
    }
    return QStringLiteral("The lock file \"%1\" could not be made or opened, so it cannot be "
                          "told whether another copy of Quorvane has the database open.")
               .arg(lock.failedFile()) +
           NothingChanged;
}

// The compaction proper, on a closed connection. Answers why it stopped, or
// empty text when the compacted register is in place. Whatever it answers,
// a complete register is at `registerPath`.
QString Compact(const QString& registerPath, const CompactionSteps& steps) {
    // A register reached through a symbolic link stays there: the file the
    // link points to is compacted in its own folder, and the link is kept.
    // Another copy may have opened it under either name.
    const QString path = FileSystem::linkTarget(registerPath);
    qv::RegisterLock lock, linkLock;
    if (QString refused = Lock(lock, path); !refused.isEmpty())
        return refused;
    if (path != registerPath)
        if (QString refused = Lock(linkLock, registerPath); !refused.isEmpty())
            return refused;

    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QString work = folder + u'/' + info.completeBaseName() + QStringLiteral("compact.mdb");
    if (FileSystem::pathExists(work))
        return QStringLiteral("The file \"%1\" is in the way of the compaction (an earlier "
                              "attempt may have left it). Move it away or delete it, then compact "
                              "again.")
                   .arg(work) +
               NothingChanged;

    QString error = steps.compactInto(path, work);
    if (error.isEmpty() && !steps.syncFile(work))
        error = QStringLiteral("the compacted file could not be written to the disk");
    if (!error.isEmpty()) {
        steps.remove(work);
        // The engine's journal of the half-written file, if it left one.
        steps.remove(work + QStringLiteral("-journal"));
        return QStringLiteral("The database could not be compacted (%1).").arg(error) +
               NothingChanged;
    }
    // The compacted file takes the register's place with its permission bits
    // and, where allowed, its owner and group: a register a group shares
    // stays the group's, whoever compacts it.
    struct stat former {};
    if (::stat(QFile::encodeName(path).constData(), &former) == 0) {
        const QByteArray name = QFile::encodeName(work);
        if (former.st_uid != ::geteuid() || former.st_gid != ::getegid()) {
            const int chowned = ::chown(name.constData(), former.st_uid, former.st_gid);
            (void)chowned;
        }
        ::chmod(name.constData(), former.st_mode & 07777);
    }

    const QString stamp = TimeStamp(qv::Clock::now());
    const QString backups = folder + u'/' + BackupFolderName;
    if (!steps.makeFolder(backups)) {
        steps.remove(work);
        return QStringLiteral("The backup folder \"%1\" could not be made.").arg(backups) +
               NothingChanged;
    }
    const QString kept = backups + u'/' + info.completeBaseName() + stamp + QStringLiteral(".mdb");
    if (!steps.keepCopy(path, kept)) {
        steps.remove(work);
        return QStringLiteral("The database could not be kept as \"%1\".").arg(kept) +
               NothingChanged;
    }
    if (!steps.replace(work, path)) {
        steps.remove(work);
        const QString failed =
            QStringLiteral("The compacted database could not be put in the place of \"%1\".")
                .arg(path);
        if (FileSystem::pathExists(path)) {
            steps.remove(kept);
            return failed + NothingChanged;
        }
        // The register went missing from its place: the kept file is it.
        if (FileSystem::moveFile(kept, path))
            return failed + QStringLiteral(" The database was put back as it was.");
        return failed + QStringLiteral(" The database as it was is \"%1\": move it back to "
                                       "\"%2\" before opening the database again.")
                            .arg(kept, path);
    }
    FileSystem::syncFolder(folder);
    FileSystem::syncFolder(backups);
    return QString();
}

} // namespace

QString TimeStamp(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy_MM_dd_HHmmss"));
}

BackupResult BackupDatabase(qv::Connection& connection, const FolderBrowser& browse) {
    const QString source = DatabaseFile(connection);
    BackupResult result;
    const std::optional<QString> folder = browse(BackupPrompt);
    if (!folder)
        return result;
    result.folderChosen = true;
    const QString target = QDir(*folder).filePath(
        QStringLiteral("quorvane_") + TimeStamp(qv::Clock::now()) + QStringLiteral(".mdb"));
    result.copied = CopyDatabase(source, target);
    return result;
}

bool CopyDatabase(const QString& source, const QString& target) {
    if (FileSystem::pathExists(target))
        return false;
    FileSystem::TemporaryFile temp =
        FileSystem::createTemporaryIn(QFileInfo(target).absolutePath());
    if (temp.fd < 0)
        return false;
    bool ok = false;
    {
        EngineFile from, into;
        if (from.open(source, SQLITE_OPEN_READONLY) &&
            into.open(temp.path, SQLITE_OPEN_READWRITE)) {
            // A copy that fails is thrown away whole: it needs no journal.
            sqlite3_exec(into.handle(), "PRAGMA journal_mode = OFF", nullptr, nullptr, nullptr);
            ok = BackupPages(from.handle(), into.handle());
        }
    }
    // The copy gets the register's permission bits (read and write only).
    struct stat info {};
    const unsigned mode =
        ::stat(QFile::encodeName(source).constData(), &info) == 0 ? info.st_mode & 0666 : 0600;
    ok = ok && FileSystem::placeTemporary(temp, target, mode, FileSystem::Placing::NoReplace);
    if (!ok)
        FileSystem::discardTemporary(temp);
    return ok;
}

CompactionSteps CompactionSteps::Real() {
    CompactionSteps steps;
    steps.compactInto = VacuumInto;
    steps.syncFile = FileSystem::syncFile;
    steps.makeFolder = FileSystem::makeFolder;
    steps.keepCopy = FileSystem::linkOrCopyNoOverwrite;
    steps.replace = FileSystem::replaceFile;
    steps.remove = FileSystem::removeFile;
    return steps;
}

void CompactDatabase(qv::Connection& connection, const CompactionSteps& steps) {
    const QString path = DatabaseFile(connection);
    if (connection.inTransaction())
        throw DatabaseError(QStringLiteral("The database cannot be compacted while changes to it "
                                           "are open."));
    connection.close();
    QString failure;
    try {
        failure = Compact(path, steps);
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    // Reconnected whatever happened, so that the program stays usable.
    try {
        connection.open();
    } catch (const DatabaseError& e) {
        if (failure.isEmpty())
            throw;
        throw DatabaseError(failure + QStringLiteral("\n\r\n\r") + e.message());
    }
    if (!failure.isEmpty())
        throw DatabaseError(failure);
}

} // namespace DBManagement
