#pragma once

// The Jet registers of tests/data/jet, copied into a test's own folder so the
// import only ever reads a copy, and what the tests check around a run.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

namespace jettest {

inline QString DataFile(const QString& name) {
    return QStringLiteral(QV_JET_DATA "/") + name;
}

// Copies a fixture into `folder`, writable, and answers its path.
inline QString CopyFixture(const QString& name, const QString& folder,
                           const QString& as = QString()) {
    const QString target = folder + u'/' + (as.isEmpty() ? name : as);
    QFile::remove(target);
    if (!QFile::copy(DataFile(name), target))
        qFatal("cannot copy %s", qPrintable(name));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

inline QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

// Every name in the folder, hidden ones included: a failed import must leave
// no temporary file either.
inline QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// The register with each named table renamed in place (same length, first
// letter Q), so the Jet file no longer holds a table of that name.
inline QByteArray WithTablesRenamed(const QByteArray& jet, const QStringList& tables) {
    QByteArray out = jet;
    for (const QString& name : tables) {
        const QString renamed = u'Q' + name.mid(1);
        const QByteArray from(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
        const QByteArray to(reinterpret_cast<const char*>(renamed.utf16()), renamed.size() * 2);
        out.replace(from, to);
    }
    return out;
}

} // namespace jettest
