// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace qv {

// An advisory lock (flock) on a small companion file. Every copy of the
// program that has a register open holds it shared; whoever must be alone
// with the register (compaction) takes it exclusive. Being tied to the open
// file, it goes when the process does, even when the process is killed.
//
// The companion file is made when missing and removed by the last holder, so
// it only lies about while the register is in use (or after a crash, when it
// is harmless). A holder always checks that the file it locked is still the
// one at the path, so a file removed under it is never mistaken for a lock.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };
    enum class Outcome {
        Locked,      // held now
        Busy,        // someone else holds it in a conflicting mode
        Unavailable, // the file cannot be made or opened (read-only folder ...)
        Absent       // not there, and not to be made (Presence::OnlyIfThere)
    };
    // Whether a missing file is made, or the lock is not taken.
    enum class Presence { MakeIfMissing, OnlyIfThere };

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Tries to lock `path`, waiting up to `waitMs` for a conflicting holder to
    // let go (0: one try). Releases whatever this object held before.
    Outcome acquire(const QString& path, Mode mode, int waitMs = 0,
                    Presence presence = Presence::MakeIfMissing);
    // Lets go; removes the file when nobody else holds it.
    void release();
    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    QString m_path;
};

// The lock of a register file that copies of the program share while they
// have it open (FileLock::Mode::Shared) and compaction takes alone. Its file
// is hidden beside the register (".Club.mdb-lock" for "Club.mdb"), so that it
// does not clutter the user's folder.
//
// Earlier versions locked "Club.mdb-lock", and a copy of one may be running on
// another machine sharing the folder. That file is respected as well: a copy
// holds it too while it exists (so an older copy's compaction waits for it,
// and an older copy compacting keeps it out), and a compaction takes it
// alone, made for the time being, so no older copy opens the register while
// it is replaced. What cannot be helped: an older copy that opens the register
// after a newer one did sees no lock of the newer one's, so a compaction in
// the older copy would not wait for it.
class RegisterLock {
public:
    static QString fileFor(const QString& registerPath);
    static QString formerFileFor(const QString& registerPath);

    // As FileLock::acquire, for both files; Locked only when both are held
    // (or the former file is absent, for Mode::Shared). Either failing
    // releases both.
    FileLock::Outcome acquire(const QString& registerPath, FileLock::Mode mode, int waitMs = 0);
    void release();
    bool isLocked() const { return m_lock.isLocked(); }
    // The file the last acquire failed on.
    const QString& failedFile() const { return m_failed; }

private:
    FileLock m_lock;
    FileLock m_former;
    QString m_failed;
};

} // namespace qv
