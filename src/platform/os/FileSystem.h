#pragma once

#include <QByteArrayView>
#include <QString>

// File-system probes and copies. None of them throws: a refusal by the file
// system is an answer (false or empty), never an error.
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

// Writes all of `bytes` to the open descriptor `fd`, going on after short and
// interrupted writes; false on the first failure, which errno then names.
bool writeAll(int fd, QByteArrayView bytes);

// The user's documents folder, not created when missing; empty when the
// platform knows none.
QString documentsFolder();

} // namespace qv::FileSystem
