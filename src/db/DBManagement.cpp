// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <cerrno>
#include <cstring>
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

// Why a file could not be written in `folder`, from the system's error.
QString WriteFailure(const QString& folder, int error) {
    const QString why = QString::fromLocal8Bit(std::strerror(error));
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return QStringLiteral("There is not enough room on the disk for the backup in the folder "
                              "\"%1\" (%2).")
            .arg(folder, why);
    return QStringLiteral("The backup could not be written in the folder \"%1\" (%2).")
        .arg(folder, why);
}

// Copies every page of `from` into `into`; answers why it could not, or
// empty text. Write failures are told by the folder of `into`.
QString BackupPages(sqlite3* from, sqlite3* into, const QString& folder) {
    sqlite3_backup* backup = sqlite3_backup_init(into, "main", from, "main");
    if (!backup)
        return QStringLiteral("The backup could not be started (%1).")
            .arg(QString::fromUtf8(sqlite3_errmsg(into)));
    QElapsedTimer clock;
    clock.start();
    int rc;
    // One step copies every page under one read lock: a consistent moment.
    while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (clock.elapsed() > kBusyWaitMs)
            break;
        sqlite3_sleep(50);
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE && finished == SQLITE_OK)
        return QString();
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        return QStringLiteral("Another program kept changing the database for more than %1 "
                              "seconds, so no backup was made. Try again in a moment.")
            .arg(kBusyWaitMs / 1000);
    // A full disk or a failed write names the system's reason; anything else
    // (a damaged page of the register, say) the engine's.
    const int code = (rc != SQLITE_DONE ? rc : finished) & 0xFF;
    const int error = sqlite3_system_errno(into);
    if (code == SQLITE_FULL)
        return WriteFailure(folder, error != 0 ? error : ENOSPC);
    if (code == SQLITE_IOERR && error != 0)
        return WriteFailure(folder, error);
    return QStringLiteral("The backup could not be made (%1).")
        .arg(QString::fromUtf8(sqlite3_errstr(code)));
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

// Whether `path` is a plain file (not a link, folder, FIFO or device).
bool IsRegularFile(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// The compaction proper, on a closed connection. Answers why it stopped, or
// empty text when the compacted register is in place. Whatever it answers,
// a complete register is at `registerPath`.
QString Compact(const QString& registerPath, const CompactionSteps& steps,
                CompactionResult& result) {
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
    // Every compaction holds the register alone while it uses the work file,
    // and this one does now: a file there is what a killed one left.
    if (IsRegularFile(work) && steps.remove(work)) {
        steps.remove(work + QStringLiteral("-journal"));
        result.removedWork = work;
    }
    if (FileSystem::pathExists(work))
        return QStringLiteral("The file \"%1\" is in the way of the compaction and is not one "
                              "an earlier compaction left. Move it away or delete it, then "
                              "compact again.")
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
    // Two compactions within one second share a stamp: the later copy takes
    // the first free name with a counter after it.
    const QString keptStem = backups + u'/' + info.completeBaseName() + stamp;
    QString kept;
    for (int n = 1; n <= 1000 && kept.isEmpty(); ++n) {
        const QString name =
            keptStem + (n == 1 ? QString() : QStringLiteral("_%1").arg(n)) + QStringLiteral(".mdb");
        if (FileSystem::pathExists(name))
            continue;
        if (steps.keepCopy(path, name))
            kept = name;
        else if (!FileSystem::pathExists(name))
            break; // not a clash: the step itself failed
    }
    if (kept.isEmpty()) {
        steps.remove(work);
        return QStringLiteral("The database could not be kept as \"%1.mdb\".").arg(keptStem) +
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
    result.kept = kept;
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
    result.path = QDir(*folder).absoluteFilePath(
        QStringLiteral("quorvane_") + TimeStamp(qv::Clock::now()) + QStringLiteral(".mdb"));
    result.copied = CopyDatabase(source, result.path, &result.failure);
    return result;
}

bool CopyDatabase(const QString& source, const QString& target, QString* failure) {
    const QString folder = QFileInfo(target).absolutePath();
    const auto fail = [failure](const QString& why) {
        if (failure)
            *failure = why;
        return false;
    };
    if (FileSystem::pathExists(target))
        return fail(QStringLiteral("A file named \"%1\" is already there.").arg(target));
    FileSystem::TemporaryFile temp = FileSystem::createTemporaryIn(folder);
    if (temp.fd < 0)
        return fail(WriteFailure(folder, errno));
    QString why;
    {
        EngineFile from, into;
        // Read-write where the file allows it, and read once before the copy:
        // a journal that a killed program left is then rolled back, which a
        // read-only connection cannot do (it would refuse to read at all).
        if (!from.open(source, SQLITE_OPEN_READWRITE) ||
            sqlite3_exec(from.handle(), "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr,
                         nullptr) != SQLITE_OK) {
            why = sqlite3_errcode(from.handle()) == SQLITE_BUSY
                      ? QStringLiteral("Another program kept changing the database for more than "
                                       "%1 seconds, so no backup was made. Try again in a moment.")
                            .arg(kBusyWaitMs / 1000)
                      : QStringLiteral("The database \"%1\" could not be read (%2).")
                            .arg(source, from.error());
        } else if (!into.open(temp.path, SQLITE_OPEN_READWRITE)) {
            why = QStringLiteral("The backup could not be written in the folder \"%1\" (%2).")
                      .arg(folder, into.error());
        } else {
            // A copy that fails is thrown away whole: it needs no journal.
            sqlite3_exec(into.handle(), "PRAGMA journal_mode = OFF", nullptr, nullptr, nullptr);
            why = BackupPages(from.handle(), into.handle(), folder);
        }
    }
    if (why.isEmpty()) {
        // The copy gets the register's permission bits (read and write only).
        struct stat info {};
        const unsigned mode =
            ::stat(QFile::encodeName(source).constData(), &info) == 0 ? info.st_mode & 0666 : 0600;
        if (!FileSystem::placeTemporary(temp, target, mode, FileSystem::Placing::NoReplace))
            why = errno == EEXIST
                      ? QStringLiteral("A file named \"%1\" is already there.").arg(target)
                      : WriteFailure(folder, errno);
    }
    if (why.isEmpty())
        return true;
    FileSystem::discardTemporary(temp);
    return fail(why);
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

CompactionResult CompactDatabase(qv::Connection& connection, const CompactionSteps& steps) {
    const QString path = DatabaseFile(connection);
    if (connection.inTransaction())
        throw DatabaseError(QStringLiteral("The database cannot be compacted while changes to it "
                                           "are open."));
    connection.close();
    QString failure;
    CompactionResult result;
    try {
        failure = Compact(path, steps, result);
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
    return result;
}

QString CompactionReport(const CompactionResult& result) {
    QString text = QStringLiteral("Compact and repair complete!");
    if (!result.removedWork.isEmpty())
        text += QStringLiteral(" The work file \"%1\", left by a compaction that did not finish, "
                               "was removed first.")
                    .arg(result.removedWork);
    return text + QStringLiteral("\n\r\n\rThe database as it was is kept as:");
}

} // namespace DBManagement
