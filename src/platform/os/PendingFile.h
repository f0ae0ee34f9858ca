#pragma once

#include <QString>

namespace qv::FileSystem {

// A file built under a temporary name in the folder of its final path, which
// appears under the final name only once it is complete: whoever looks at the
// final name sees either nothing or the whole file. Until place() succeeds,
// destroying the object removes the temporary file together with the side
// files a database engine keeps beside it ("-journal", "-wal", "-shm").
class PendingFile {
public:
    explicit PendingFile(const QString& finalPath);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // A hidden name beside the final one that is free at construction; nothing
    // is created there, so the caller creates the file (exclusively).
    QString path() const { return m_path; }
    QString finalPath() const { return m_finalPath; }

    // Renames the finished file to its final name without ever replacing a
    // file there; false (nothing moved, errno set) when that name is taken or
    // the rename is refused.
    bool place();
    bool isPlaced() const { return m_placed; }

private:
    void discard();

    QString m_finalPath;
    QString m_path;
    bool m_placed = false;
};

} // namespace qv::FileSystem
