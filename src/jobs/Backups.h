// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Backups of a register file kept in a folder: named after the register and
// the moment they were taken, made with the engine's online backup, and
// thinned so that a folder backed up every day stays small.
namespace Backups {

// "<register's name>_yyyy_mm_dd_hhnnss.mdb": Club.mdb backed up on 5 March
// 2026 at 14:25:30 gives Club_2026_03_05_142530.mdb.
QString BackupName(const QString& registerPath, const QDateTime& when);

struct Backup {
    QString path;
    QDateTime taken;
};
// The backups of `registerPath` in `folder`, newest first. Only names made by
// BackupName for this register count: other registers' backups in the same
// folder, and any other file, are left alone.
QList<Backup> ListBackups(const QString& folder, const QString& registerPath);

// The thinning rule: of backups taken at `taken`, the `keep` newest stay; of
// the rest, those taken less than a year before `now` stay when each is the
// earliest of its calendar month (so the one kept for a month never changes
// as later ones come and go); every other one is answered, to be removed.
QList<QDateTime> ToRemove(const QList<QDateTime>& taken, const QDateTime& now, int keep);

// Where automatic backups go when the settings name no folder: "Backups"
// beside the register, or, when no file can be made there, "Quorvane/Backups"
// in the user's data folder.
QString DefaultFolder(const QString& registerPath);

// Whether a backup of the register taken on `day` is in the folder.
bool BackedUpOn(const QString& folder, const QString& registerPath, const QDate& day);

struct Outcome {
    QString path;    // the new backup; empty when none was made
    QString failure; // why no backup was made, or what could not be removed
    QStringList removed;
    bool ok() const { return failure.isEmpty(); }
};

// Backs the register up into `folder` (made when missing) under BackupName
// for `now`, then thins the folder's backups of this register. A backup that
// cannot be made removes nothing. Never touches the register itself.
Outcome BackUp(const QString& registerPath, const QString& folder, int keep, const QDateTime& now);

} // namespace Backups
