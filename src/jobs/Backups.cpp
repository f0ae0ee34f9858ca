// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/Backups.h"

#include "db/DBManagement.h"
#include "settings/MemberSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Backups {
namespace {

QString baseName(const QString& registerPath) {
    return QFileInfo(registerPath).completeBaseName();
}

QRegularExpression backupPattern(const QString& registerPath) {
    // A second backup within the same second gets "_2", "_3"... after the stamp.
    return QRegularExpression(QStringLiteral("^%1_(\\d{4}_\\d\\d_\\d\\d_\\d{6})(?:_\\d+)?\\.mdb$")
                                  .arg(QRegularExpression::escape(baseName(registerPath))));
}

} // namespace

QString BackupName(const QString& registerPath, const QDateTime& when) {
    return baseName(registerPath) + u'_' + DBManagement::TimeStamp(when) + QStringLiteral(".mdb");
}

QList<Backup> ListBackups(const QString& folder, const QString& registerPath) {
    const QRegularExpression pattern = backupPattern(registerPath);
    QList<Backup> backups;
    const QDir dir(folder);
    for (const QFileInfo& file : dir.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = pattern.match(file.fileName());
        if (!match.hasMatch())
            continue;
        const QDateTime taken =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyy_MM_dd_HHmmss"));
        if (taken.isValid())
            backups.append({file.absoluteFilePath(), taken});
    }
    std::sort(backups.begin(), backups.end(), [](const Backup& a, const Backup& b) {
        return a.taken != b.taken ? a.taken > b.taken : a.path > b.path;
    });
    return backups;
}

QList<QDateTime> ToRemove(const QList<QDateTime>& taken, const QDateTime& now, int keep) {
    QList<QDateTime> newest = taken;
    std::sort(newest.begin(), newest.end(), std::greater<>());
    // The earliest backup of each month, over all of them.
    QSet<QDateTime> monthly;
    QDate month;
    for (auto it = newest.crbegin(); it != newest.crend(); ++it) {
        const QDate first(it->date().year(), it->date().month(), 1);
        if (first != month) {
            month = first;
            monthly.insert(*it);
        }
    }
    const QDateTime yearAgo = now.addYears(-1);
    QList<QDateTime> remove;
    for (qsizetype i = std::max(0, keep); i < newest.size(); ++i) {
        const QDateTime& when = newest[i];
        if (when > yearAgo && monthly.contains(when))
            continue;
        remove.append(when);
    }
    return remove;
}

QString DefaultFolder(const QString& registerPath) {
    const QFileInfo info(registerPath);
    const QString beside = info.absoluteDir().filePath(QStringLiteral("Backups"));
    const QFileInfo folder(beside);
    if (folder.isDir() ? MemberSettings::CanCreateFileIn(beside)
                       : !folder.exists() && MemberSettings::CanCreateFileIn(info.absolutePath()))
        return beside;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Quorvane/Backups"));
}

bool BackedUpOn(const QString& folder, const QString& registerPath, const QDate& day) {
    const QList<Backup> backups = ListBackups(folder, registerPath);
    return std::any_of(backups.cbegin(), backups.cend(),
                       [&day](const Backup& b) { return b.taken.date() == day; });
}

Outcome BackUp(const QString& registerPath, const QString& folder, int keep, const QDateTime& now) {
    Outcome outcome;
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        // mkpath gives no reason; the usual ones are a file in the way or a
        // folder that cannot be written.
        const QString why = QString::fromLocal8Bit(std::strerror(errno ? errno : ENOTDIR));
        outcome.failure =
            QStringLiteral("The backup folder \"%1\" could not be made (%2).").arg(folder, why);
        return outcome;
    }
    const QDir dir(folder);
    QString target = dir.absoluteFilePath(BackupName(registerPath, now));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = dir.absoluteFilePath(baseName(registerPath) + u'_' + DBManagement::TimeStamp(now) +
                                      u'_' + QString::number(n) + QStringLiteral(".mdb"));
    if (!DBManagement::CopyDatabase(registerPath, target, &outcome.failure))
        return outcome;
    outcome.path = target;

    const QList<Backup> backups = ListBackups(folder, registerPath);
    QList<QDateTime> taken;
    for (const Backup& b : backups)
        taken.append(b.taken);
    const QList<QDateTime> remove = ToRemove(taken, now, keep);
    QStringList failed;
    for (const Backup& b : backups) {
        if (!remove.contains(b.taken) || b.path == target)
            continue;
        if (QFile::remove(b.path))
            outcome.removed.append(b.path);
        else
            failed.append(b.path);
    }
    if (!failed.isEmpty())
        outcome.failure = QStringLiteral("The backup \"%1\" was made, but these older backups "
                                         "could not be removed: %2")
                              .arg(target, failed.join(QStringLiteral(", ")));
    return outcome;
}

} // namespace Backups
