#include "platform/os/PendingFile.h"

#include "platform/os/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::FileSystem {

PendingFile::PendingFile(const QString& finalPath)
    : m_finalPath(QFileInfo(finalPath).absoluteFilePath()) {
    const QFileInfo info(m_finalPath);
    const QString stem = info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.';
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString candidate = stem;
        for (int i = 0; i < 8; ++i)
            candidate += QLatin1Char(digits[QRandomGenerator::global()->bounded(36)]);
        candidate += QStringLiteral(".tmp");
        struct stat st {};
        if (::lstat(QFile::encodeName(candidate).constData(), &st) != 0) {
            m_path = candidate;
            return;
        }
    }
    // Every guess taken: the exclusive create of the caller will fail on it
    // with a message of its own.
    m_path = stem + QStringLiteral("tmp");
}

PendingFile::~PendingFile() {
    if (!m_placed)
        discard();
}

bool PendingFile::place() {
    if (m_placed)
        return true;
    // Same folder, so this is a rename, never a copy.
    m_placed = moveFile(m_path, m_finalPath);
    return m_placed;
}

void PendingFile::discard() {
    ::unlink(QFile::encodeName(m_path).constData());
    for (const char* side : {"-journal", "-wal", "-shm"})
        ::unlink(QFile::encodeName(m_path + QLatin1String(side)).constData());
}

} // namespace qv::FileSystem
