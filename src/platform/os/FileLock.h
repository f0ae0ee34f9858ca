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
        Locked,     // held now
        Busy,       // someone else holds it in a conflicting mode
        Unavailable // the file cannot be made or opened (read-only folder ...)
    };

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Tries to lock `path`, waiting up to `waitMs` for a conflicting holder to
    // let go (0: one try). Releases whatever this object held before.
    Outcome acquire(const QString& path, Mode mode, int waitMs = 0);
    // Lets go; removes the file when nobody else holds it.
    void release();
    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    QString m_path;
};

} // namespace qv
