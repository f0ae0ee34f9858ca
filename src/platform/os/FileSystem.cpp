// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/FileSystem.h"

#include "platform/os/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::FileSystem {
namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// Renames without ever replacing an existing target. renameat2 is atomic; file
// systems that lack it get link + unlink, which refuses an existing target too.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

const QString TemporaryPrefix = QStringLiteral(".qvtmp-");
constexpr qsizetype TemporaryRandomLength = 6;

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

TemporaryFile createTemporaryIn(const QString& folder) {
    removeStaleTemporaries(folder);
    QString prefix = folder;
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    prefix += TemporaryPrefix;
    // A cleaner may remove the new name before it is locked; the lost file then
    // has no links left, and another is made.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QByteArray name = native(prefix) + QByteArray(TemporaryRandomLength, 'X');
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return {};
        struct stat info {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0)
            return {fd, QFile::decodeName(name)};
        ::close(fd);
    }
    errno = EAGAIN;
    return {};
}

void discardTemporary(TemporaryFile& temp) {
    if (temp.fd < 0)
        return;
    ::unlink(native(temp.path).constData());
    ::close(temp.fd);
    temp.fd = -1;
}

void removeStaleTemporaries(const QString& folder) {
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({TemporaryPrefix + QStringLiteral("*")},
                      QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (name.size() != TemporaryPrefix.size() + TemporaryRandomLength)
            continue;
        const QByteArray path = native(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        // Only a file nobody holds, and still the one at that name.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.constData(), &named) == 0 &&
            named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
            ::unlink(path.constData());
            ::unlink((path + "-journal").constData());
            ::unlink((path + "-lock").constData());
            ::unlink(native(RegisterLock::fileFor(dir.filePath(name))).constData());
        }
        ::close(fd);
    }
}

bool placeTemporary(TemporaryFile& temp, const QString& target, unsigned mode, Placing how) {
    if (temp.fd < 0) {
        errno = EBADF;
        return false;
    }
    const QByteArray from = native(temp.path);
    const QByteArray to = native(target);
    if (::fchmod(temp.fd, mode_t(mode & 07777)) != 0 || ::fsync(temp.fd) != 0)
        return false;
    const bool renamed = how == Placing::Replace ? ::rename(from.constData(), to.constData()) == 0
                                                 : renameNoReplace(from, to);
    if (!renamed)
        return false;
    // The lock goes with the descriptor, after the rename.
    ::close(temp.fd);
    temp.fd = -1;
    // Make the new name durable; failing here loses nothing already done.
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

unsigned newFileMode() {
    return 0666 & ~unsigned(currentUmask());
}

bool canCreateFileIn(const QString& folder) {
    if (folder.isEmpty())
        return false;
    QString probe = folder;
    if (!probe.endsWith(u'/'))
        probe += u'/';
    probe += QStringLiteral("chk.tmp");
    const QByteArray path = native(probe);
    int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(path.constData());
    return true;
}

bool isReadOnlyFile(const QString& path) {
    if (path.isEmpty())
        return true;
    const QByteArray p = native(path);
    struct stat info {};
    if (::stat(p.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return true;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return ::access(p.constData(), W_OK) != 0;
}

bool copyFileNoOverwrite(const QString& from, const QString& to) {
    const QByteArray src = native(from);
    struct stat target {};
    if (::lstat(native(to).constData(), &target) == 0)
        return false; // refuse early; the final rename would refuse anyway

    // O_NONBLOCK: opening a FIFO for reading would wait for a writer; the
    // type check below then refuses it. A regular file reads as ever.
    int in = ::open(src.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return false;
    struct stat info {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(in);
        return false;
    }

    TemporaryFile out = createTemporaryIn(QFileInfo(to).absolutePath());
    if (out.fd < 0) {
        ::close(in);
        return false;
    }

    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (!writeAll(out.fd, QByteArrayView(buffer, n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    ok = ok && placeTemporary(out, to, info.st_mode & 07777, Placing::NoReplace);
    if (!ok)
        discardTemporary(out);
    return ok;
}

bool moveFile(const QString& from, const QString& to) {
    const QByteArray src = native(from);
    const QByteArray dst = native(to);
    if (renameNoReplace(src, dst))
        return true;
    if (errno != EXDEV)
        return false;
    if (!copyFileNoOverwrite(from, to))
        return false;
    if (::unlink(src.constData()) == 0)
        return true;
    ::unlink(dst.constData()); // a move that cannot finish leaves no second copy
    return false;
}

bool linkOrCopyNoOverwrite(const QString& from, const QString& to) {
    const QByteArray src = native(from);
    const QByteArray dst = native(to);
    if (::link(src.constData(), dst.constData()) == 0)
        return true;
    // EEXIST and a missing source are answers; other refusals (no hard links
    // on this file system, another device) leave the copy.
    if (errno == EEXIST || errno == ENOENT || errno == ENOTDIR)
        return false;
    return copyFileNoOverwrite(from, to);
}

bool replaceFile(const QString& from, const QString& to) {
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

bool makeFolder(const QString& path) {
    const QByteArray p = native(path);
    if (::mkdir(p.constData(), 0777) == 0)
        return true;
    struct stat info {};
    return errno == EEXIST && ::stat(p.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool removeFile(const QString& path) {
    return ::unlink(native(path).constData()) == 0 || errno == ENOENT;
}

bool pathExists(const QString& path) {
    struct stat info {};
    return ::lstat(native(path).constData(), &info) == 0;
}

namespace {

bool syncPath(const QString& path, int flags) {
    const int fd = ::open(native(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    return (::close(fd) == 0) && ok;
}

} // namespace

bool syncFile(const QString& path) {
    return syncPath(path, O_RDONLY);
}

bool syncFolder(const QString& path) {
    return syncPath(path, O_RDONLY | O_DIRECTORY);
}

bool writeAll(int fd, QByteArrayView bytes) {
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

QString documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString linkTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

namespace {

QString writeErrorText(const QString& path, int error) {
    return QStringLiteral("The file %1 could not be written: %2")
        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

FileWriteError::FileWriteError(const QString& path, int error)
    : std::runtime_error(writeErrorText(path, error).toStdString())
    , m_message(writeErrorText(path, error))
    , m_path(path) {}

ReplacingFile::ReplacingFile(const QString& target)
    : m_target(target) {
    const QFileInfo info(linkTarget(target));
    m_path = info.absoluteFilePath();
    // A folder where the file should be would only refuse the final rename;
    // say so before anything is written.
    struct stat existing {};
    if (::stat(native(m_path).constData(), &existing) == 0 && S_ISDIR(existing.st_mode))
        throw FileWriteError(target, EISDIR);
    m_temp = createTemporaryIn(info.absolutePath());
    if (m_temp.fd < 0)
        throw FileWriteError(target, errno);
    m_buffer.reserve(BufferSize);
}

ReplacingFile::~ReplacingFile() {
    discard();
}

QString ReplacingFile::temporaryPath() const {
    return m_temp.path;
}

void ReplacingFile::fail(int error) {
    discard();
    throw FileWriteError(m_target, error);
}

void ReplacingFile::flush() {
    if (m_temp.fd < 0)
        fail(EBADF);
    if (!writeAll(m_temp.fd, m_buffer))
        fail(errno);
    m_buffer.clear();
}

void ReplacingFile::write(QByteArrayView bytes) {
    m_buffer.append(bytes);
    if (m_buffer.size() >= BufferSize)
        flush();
}

void ReplacingFile::commit() {
    flush();
    unsigned mode = newFileMode();
    struct stat existing {};
    if (::stat(native(m_path).constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        // Keep the owner when root (or a group member) replaces someone
        // else's file; a refusal is harmless, the permission bits matter more.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            const int chowned = ::fchown(m_temp.fd, existing.st_uid, existing.st_gid);
            (void)chowned;
        }
        mode = existing.st_mode & 07777;
    }
    if (!placeTemporary(m_temp, m_path, mode, Placing::Replace))
        fail(errno);
}

void ReplacingFile::discard() {
    discardTemporary(m_temp);
    m_buffer.clear();
}

} // namespace qv::FileSystem
