// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <stdexcept>

// File-system probes and copies. None of them throws: a refusal by the file
// system is an answer (false or empty), never an error. ReplacingFile alone
// throws, since the files it writes are the user's work.
namespace qv::FileSystem {

// True when a new file can be created in `folder`: creates "chk.tmp" there
// exclusively and removes it again. A folder that already holds a "chk.tmp"
// answers false, since the probe must create a new file. An empty folder name
// answers false (it names no folder).
bool canCreateFileIn(const QString& folder);

// True when `path` counts as read-only: it cannot be examined, is not a regular
// file, carries no write permission bit at all, or is not writable for us (ACL,
// read-only mount). The bit test is what makes "chmod a-w" mean read-only even
// for root, whom the kernel would let write anyway — like the read-only
// attribute it stands for. So a missing file is read-only: callers that ask
// "can this database be changed" want false for it.
bool isReadOnlyFile(const QString& path);

// Copies `from` to `to` when `to` does not exist yet. The copy is written to a
// temporary file beside `to` and put in place without replacing anything, so
// `to` either appears complete or not at all. Keeps the permission bits.
bool copyFileNoOverwrite(const QString& from, const QString& to);

// Moves (renames) `from` to `to` when `to` does not exist yet; across file
// systems it copies and then removes `from`.
bool moveFile(const QString& from, const QString& to);

// Gives the file `from` a second name `to` (a hard link) when `to` does not
// exist yet; where the file system has no hard links, or `to` lies on another
// one, copies it as copyFileNoOverwrite does. Either way `to` appears complete
// or not at all, and `from` stays where it is.
bool linkOrCopyNoOverwrite(const QString& from, const QString& to);

// Renames `from` to `to`, replacing `to` in one step: whoever opens `to` finds
// either the old file or the new one, never neither. Same file system only.
bool replaceFile(const QString& from, const QString& to);

// Creates one folder level; true when `path` is a folder afterwards.
bool makeFolder(const QString& path);

// Removes a file; true when nothing is left at `path`.
bool removeFile(const QString& path);

// Whether anything at all (file, folder, link, FIFO) is at `path`.
bool pathExists(const QString& path);

// Flush a file's contents, or a folder's entries (so that a rename in it
// survives a power cut), to the disk. Not for a file a database connection
// of this process has open: closing any descriptor of a file drops the POSIX
// locks the process holds on it, the engine's among them.
bool syncFile(const QString& path);
bool syncFolder(const QString& path);

// How every file of ours is built under a temporary name and put in place
// when complete (settings, registers, backups, copies, exports, printed PDFs).
//
// A temporary file in `folder` (".qvtmp-" and six random characters), open for
// writing with mode 0600 and locked for as long as `fd` stays open. The lock
// tells a file that a running program is still writing from one left behind by
// a program that was killed; making one first removes those in the folder
// (removeStaleTemporaries). Whoever creates one closes `fd` only through
// placeTemporary or discardTemporary, and not while a database connection of
// this process has the file open (see syncFile).
struct TemporaryFile {
    int fd = -1; // -1 when it could not be created (errno says why)
    QString path;
};
TemporaryFile createTemporaryIn(const QString& folder);
// Removes the file (when `fd` is open) and closes `fd`.
void discardTemporary(TemporaryFile& temp);
// Removes the temporary files in `folder` that no running program holds, with
// the "-journal" and "-lock" files a database engine kept beside them.
void removeStaleTemporaries(const QString& folder);

enum class Placing {
    NoReplace, // an existing target stays, and the call fails with EEXIST
    Replace    // an existing target is replaced in one step
};
// Puts a finished temporary file at `target` in the same folder: gives it the
// permission bits `mode`, flushes it to the disk, renames it and closes it,
// then makes the new name durable. False (errno says why) leaves `temp` open
// as it was, for discardTemporary.
bool placeTemporary(TemporaryFile& temp, const QString& target, unsigned mode, Placing how);

// The permission bits a new file gets: 0666 less the umask.
unsigned newFileMode();

// Writes all of `bytes` to the open descriptor `fd`, going on after short and
// interrupted writes; false on the first failure, which errno then names.
bool writeAll(int fd, QByteArrayView bytes);

// The user's documents folder, not created when missing; empty when the
// platform knows none.
QString documentsFolder();

// The path a write to `path` should change: the file a symbolic link points
// to (so the link stays), else `path` itself.
QString linkTarget(const QString& path);

// A file could not be written; what was there before is unchanged. The
// message names the file and the system's reason; what() is UTF-8.
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const QString& path, int error);

    const QString& message() const noexcept { return m_message; }
    const QString& path() const noexcept { return m_path; }

private:
    QString m_message;
    QString m_path;
};

// Writes a file all or nothing: the bytes go to a new file beside the target,
// which replaces the target only on commit(). Until then readers see the
// earlier file, and a failure, or leaving without commit(), removes the new
// file and leaves the earlier one as it was. A replaced file keeps its
// permissions (and, where allowed, its owner); a new one gets 0666 less the
// umask. Writing through a symbolic link changes the file it points to.
class ReplacingFile {
public:
    // Throws FileWriteError when the new file cannot be created.
    explicit ReplacingFile(const QString& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The file being written, for a writer that opens it by name.
    QString temporaryPath() const;
    // Buffered; throws FileWriteError.
    void write(QByteArrayView bytes);
    // Flushes, syncs and puts the file in place; throws FileWriteError (the
    // new file is then gone).
    void commit();
    // Removes the new file; the target stays as it was.
    void discard();

private:
    static constexpr qsizetype BufferSize = 1 << 16;

    void flush();
    [[noreturn]] void fail(int error);

    QString m_target; // as given, for messages
    QString m_path;   // the file that is replaced: the target, or where its link points
    TemporaryFile m_temp;
    QByteArray m_buffer;
};

} // namespace qv::FileSystem
