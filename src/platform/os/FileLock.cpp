#include "platform/os/FileLock.h"

#include <QElapsedTimer>
#include <QFile>
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

int openLockFile(const QByteArray& path) {
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC); // flock needs no write
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

FileLock::Outcome FileLock::acquire(const QString& path, Mode mode, int waitMs) {
    release();
    const QByteArray native = QFile::encodeName(path);
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int fd = openLockFile(native);
        if (fd < 0)
            return Outcome::Unavailable;
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

} // namespace qv
