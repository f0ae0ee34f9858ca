// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace qv {
class Connection;
}

// Backup and compaction of a register file. Both work on the file the
// connection has open. Nothing here has a window: the caller asks for the
// folder and shows the outcome.
namespace DBManagement {

// A moment as the names of backups carry it: "yyyy_mm_dd_hhnnss" (24-hour).
QString TimeStamp(const QDateTime& when);

struct BackupResult {
    bool folderChosen = false;
    bool copied = false;
    QString path;    // the backup's full path, chosen or made
    QString failure; // why no backup was made, for the user; empty when copied
};

// Shows the caller's folder browser with the prompt; nothing when the user
// cancelled.
using FolderBrowser = std::function<std::optional<QString>(const QString& prompt)>;

// Asks for a folder ("Select folder to store backup") and copies the register
// there as "quorvane_" + time stamp + ".mdb", never over an existing file
// (CopyDatabase). Throws qv::DatabaseError when the connection has no register
// file open.
BackupResult BackupDatabase(qv::Connection& connection, const FolderBrowser& browse);

// Copies the register file `source` to `target` with the engine's online
// backup, read through a connection of its own: the copy holds the committed
// rows as they stood at one moment, whatever is being written meanwhile (a
// byte copy of a file being written can be torn). `target` must not exist; it
// appears complete or not at all, built in a temporary file beside it
// (FileSystem::createTemporaryIn) that a killed copy leaves for the next one
// to remove. A register a killed program left with a hot journal is rolled
// back first (the source is opened for writing where the file allows it). False
// when the copy could not be made; `failure` then receives the reason as the
// user reads it (a full disk, a folder that cannot be written, a register
// that cannot be read, a file of that name, another program's long write).
bool CopyDatabase(const QString& source, const QString& target, QString* failure = nullptr);

// What a compaction does to files, one function a step, so that a test can
// make any step fail as a full disk or an unwilling file system would.
struct CompactionSteps {
    // Writes the compacted copy of `source` to the new file `target`; answers
    // the engine's message, or empty text on success.
    std::function<QString(const QString& source, const QString& target)> compactInto;
    std::function<bool(const QString& path)> syncFile;
    std::function<bool(const QString& folder)> makeFolder;
    // Gives `from` a second name `to` without touching `from`, never replacing.
    std::function<bool(const QString& from, const QString& to)> keepCopy;
    // Puts `from` in the place of `to` in one step.
    std::function<bool(const QString& from, const QString& to)> replace;
    std::function<bool(const QString& path)> remove;

    // The steps on the real file system and engine.
    static CompactionSteps Real();
};

struct CompactionResult {
    QString kept;        // the full path the register as it was is kept under
    QString removedWork; // the stale work file removed first, else empty
};

// Compacts and repairs the register the connection has open: the engine
// writes a compacted copy to the work file (the register's name with
// "compact.mdb" for its extension), the register as it was is kept in the
// folder "QuorvaneBackups" beside it under its name with the time stamp
// (Club.mdb -> QuorvaneBackups/Club2010_03_05_142530.mdb, and "_2", "_3"...
// after the stamp when that name is taken), and the compacted file takes its
// place. Every row is kept. A register reached through a
// symbolic link is compacted where the link points, and the link stays.
//
// At every moment a complete register lies at its path: the former file is
// given its second name in the backup folder first, and the compacted file
// replaces it in one rename. A step that fails stops the compaction, takes
// back what was done, and is reported by throwing qv::DatabaseError; nothing
// is left changed then. Compaction is refused, changing nothing, while
// another copy of the program has the register open. A regular file at the
// work file's name was left by a compaction that was killed (no other copy
// can be compacting while this one holds the register alone): it is removed,
// and the result says so; anything else there is left alone and refuses the
// compaction. The connection is open again afterwards, whatever happened.
CompactionResult CompactDatabase(qv::Connection& connection,
                                 const CompactionSteps& steps = CompactionSteps::Real());

// The message shown after a compaction, up to the kept file's path that
// follows it: what stale work file was removed, and that the former file is
// kept.
QString CompactionReport(const CompactionResult& result);

} // namespace DBManagement
