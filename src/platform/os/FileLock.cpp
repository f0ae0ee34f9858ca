// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/FileLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

bool sameFile(int fd, const QByteArray& path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

int openLockFile(const QByteArray& path, bool make) {
    int fd = ::open(path.constData(), O_RDWR | (make ? O_CREAT : 0) | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC); // flock needs no write
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

} // namespace

FileLock::Outcome FileLock::acquire(const QString& path, Mode mode, int waitMs, Presence presence) {
    release();
    const QByteArray native = QFile::encodeName(path);
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int fd = openLockFile(native, presence == Presence::MakeIfMissing);
        if (fd < 0)
            return errno == ENOENT && presence == Presence::OnlyIfThere ? Outcome::Absent
                                                                        : Outcome::Unavailable;
        if (::flock(fd, operation) == 0) {
            if (sameFile(fd, native)) {
                m_fd = fd;
                m_path = path;
                return Outcome::Locked;
            }
            // The last holder removed it between our open and our lock: the
            // lock is on a file nobody else will look at. Take the new one.
            ::close(fd);
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK && error != EINTR)
            return Outcome::Unavailable;
        if (clock.elapsed() >= waitMs)
            return Outcome::Busy;
        QThread::msleep(20);
    }
}

void FileLock::release() {
    if (m_fd < 0)
        return;
    const QByteArray native = QFile::encodeName(m_path);
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0 && sameFile(m_fd, native))
        ::unlink(native.constData());
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

QString RegisterLock::fileFor(const QString& registerPath) {
    const QFileInfo info(registerPath);
    return info.absoluteDir().filePath(u'.' + info.fileName() + QStringLiteral("-lock"));
}

QString RegisterLock::formerFileFor(const QString& registerPath) {
    return registerPath + QStringLiteral("-lock");
}

FileLock::Outcome RegisterLock::acquire(const QString& registerPath, FileLock::Mode mode,
                                        int waitMs) {
    release();
    m_failed.clear();
    QElapsedTimer clock;
    clock.start();
    FileLock::Outcome outcome = m_lock.acquire(fileFor(registerPath), mode, waitMs);
    if (outcome != FileLock::Outcome::Locked) {
        m_failed = fileFor(registerPath);
        return outcome;
    }
    // Only a compaction makes the former file, and only while it runs.
    const FileLock::Presence presence = mode == FileLock::Mode::Exclusive
                                            ? FileLock::Presence::MakeIfMissing
                                            : FileLock::Presence::OnlyIfThere;
    const int left = int(qMax<qint64>(0, waitMs - clock.elapsed()));
    outcome = m_former.acquire(formerFileFor(registerPath), mode, left, presence);
    if (outcome == FileLock::Outcome::Locked || outcome == FileLock::Outcome::Absent)
        return FileLock::Outcome::Locked;
    // A former file that cannot be opened cannot be respected; an open goes
    // on as it does where its own cannot be made. A compaction does not.
    if (outcome == FileLock::Outcome::Unavailable && mode == FileLock::Mode::Shared)
        return FileLock::Outcome::Locked;
    m_failed = formerFileFor(registerPath);
    release();
    return outcome;
}

void RegisterLock::release() {
    m_former.release();
    m_lock.release();
}

} // namespace qv
