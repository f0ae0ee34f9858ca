// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Jet registers of tests/data/jet, copied into a test's own folder so the
// import only ever reads a copy, and what the tests check around a run.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtEndian>

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

// The register with the property list of every object damaged as one
// flipped byte damages it: the first property of each says it is 0 bytes
// long. A list is blocks of a 32-bit length and a 16-bit type; a property
// block (type 0 to 2) holds a length, its name's length and name, then the
// properties.
inline QByteArray WithPropertiesDamaged(const QByteArray& jet) {
    QByteArray out = jet;
    const QByteArray mark("MR2\0", 4);
    for (qsizetype at = out.indexOf(mark); at >= 0; at = out.indexOf(mark, at + 4)) {
        for (qsizetype pos = at + 4; pos + 12 <= out.size();) {
            const qint32 length = qFromLittleEndian<qint32>(out.constData() + pos);
            if (qFromLittleEndian<quint16>(out.constData() + pos + 4) <= 2) {
                const qsizetype first =
                    pos + 12 + qFromLittleEndian<quint16>(out.constData() + pos + 10);
                if (first + 2 <= out.size())
                    out[first] = out[first + 1] = 0;
                break;
            }
            if (length <= 0)
                break;
            pos += length;
        }
    }
    return out;
}

// The register with one letter of a column's name changed in its table's
// definition (same length), as one flipped bit changes it: the table then
// lacks that column and has one the register does not know.
inline QByteArray WithColumnRenamed(const QByteArray& jet, const QString& column,
                                    const QString& damaged) {
    constexpr qsizetype PageSize = 4096;
    const QByteArray from(reinterpret_cast<const char*>(column.utf16()), column.size() * 2);
    const QByteArray to(reinterpret_cast<const char*>(damaged.utf16()), damaged.size() * 2);
    QByteArray out = jet;
    for (qsizetype page = 0; page + PageSize <= out.size(); page += PageSize) {
        if (out[page] != 0x02)
            continue;
        const qsizetype at = out.mid(page, PageSize).indexOf(from);
        if (at >= 0)
            out.replace(page + at, to.size(), to);
    }
    return out;
}

// The register with the definition of the table that has `column` pointing
// its map of pages at a row that is not there, as a flipped byte can.
inline QByteArray WithPageMapLost(const QByteArray& jet, const QString& column) {
    constexpr qsizetype PageSize = 4096, MapRow = 55;
    const QByteArray name(reinterpret_cast<const char*>(column.utf16()), column.size() * 2);
    QByteArray out = jet;
    for (qsizetype page = 0; page + PageSize <= out.size(); page += PageSize)
        if (out[page] == 0x02 && out.mid(page, PageSize).contains(name))
            out[page + MapRow] = char(0xFF);
    return out;
}

// The register with two row slots added to the first data page of the
// table that has `column`: a deleted one, then one of no length at the very
// head of the page, as a damaged row count brings into view.
inline QByteArray WithEmptyRowSlot(const QByteArray& jet, const QString& column) {
    constexpr qsizetype PageSize = 4096, Owner = 4, RowCount = 12;
    const QByteArray name(reinterpret_cast<const char*>(column.utf16()), column.size() * 2);
    QByteArray out = jet;
    qsizetype definition = -1;
    for (qsizetype page = 0; page + PageSize <= out.size() && definition < 0; page += PageSize)
        if (out[page] == 0x02 && out.mid(page, PageSize).contains(name))
            definition = page / PageSize;
    for (qsizetype page = 0; page + PageSize <= out.size(); page += PageSize) {
        if (out[page] != 0x01 ||
            qFromLittleEndian<quint32>(out.constData() + page + Owner) != quint32(definition))
            continue;
        char* head = out.data() + page;
        const quint16 rows = qFromLittleEndian<quint16>(head + RowCount);
        qToLittleEndian<quint16>(rows + 2, head + RowCount);
        qToLittleEndian<quint16>(0x8000, head + RowCount + 2 + 2 * rows);
        qToLittleEndian<quint16>(0, head + RowCount + 4 + 2 * rows);
        break;
    }
    return out;
}

} // namespace jettest
