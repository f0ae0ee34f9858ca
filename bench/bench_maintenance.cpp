// SPDX-License-Identifier: GPL-3.0-or-later
// Backup and compaction of a generated register through DBManagement, against
// the sqlite3 shell doing the same to the same file in the same run: ".backup"
// for the backup and "VACUUM INTO" for the compaction. Ours includes all it
// does around the engine (closing and reopening the connection, the lock, the
// flushes, keeping the former file, the renames); the shell's figure includes
// starting the shell.
//
//   bench_maintenance [--members 100000] [--runs 5] [--seed 1]

#include "BenchSupport.h"

#include "db/DBManagement.h"
#include "platform/data/Connection.h"
#include "platform/os/Clock.h"
#include "platform/os/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

using namespace qv::bench;

double Shell(const QString& database, const QString& command) {
    const Clock::time_point start = Clock::now();
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {database, command});
    if (!shell.waitForFinished(-1) || shell.exitStatus() != QProcess::NormalExit ||
        shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 %s failed: %s%s\n", qPrintable(command),
                     qPrintable(shell.errorString()), shell.readAllStandardError().constData());
        std::exit(2);
    }
    return msSince(start);
}

void Row(const char* what, const std::vector<double>& ours, const std::vector<double>& shell) {
    const double o = median(ours), s = median(shell);
    std::printf("%-12s %10.1f %10.1f %7.2f\n", what, o, s, o / s);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int members = 100000, runs = 5;
    quint64 seed = 1;
    Options("[--members 100000] [--runs 5] [--seed 1]")
        .number("--members", members)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .parse(app.arguments());

    const QString cached = Register(members, seed);
    // A copy of our own: the compaction replaces the file and keeps the former.
    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("Club.mdb"));
    if (!qv::FileSystem::copyFileNoOverwrite(cached, path)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(cached));
        return 2;
    }
    std::printf("%d members (%lld MB); median of %d runs, ms\n\n", members,
                QFileInfo(path).size() >> 20, runs);

    const std::unique_ptr<qv::Connection> open = OpenRegister(path);
    qv::Connection& connection = *open;
    const QString backups = work.filePath(QStringLiteral("QuorvaneBackups"));
    const QString target = work.filePath(QStringLiteral("shell.mdb"));
    const QDateTime base(QDate(2010, 3, 5), QTime(14, 0, 0));

    std::vector<double> ourBackup, shellBackup, ourCompact, shellCompact;
    // One round unmeasured first, so both sides start with the file in the cache.
    for (int run = -1; run < runs; ++run) {
        QTemporaryDir folder;
        qv::Clock::setNowForTesting(base.addSecs(run + 1));
        Clock::time_point start = Clock::now();
        const auto backup = DBManagement::BackupDatabase(
            connection, [&](const QString&) { return std::optional<QString>(folder.path()); });
        const double ours = msSince(start);
        if (!backup.copied) {
            std::fprintf(stderr, "our backup failed\n");
            return 2;
        }
        const double shell = Shell(path, QStringLiteral(".backup '%1'").arg(target));
        QFile::remove(target);

        start = Clock::now();
        DBManagement::CompactDatabase(connection);
        const double oursCompact = msSince(start);
        QDir(backups).removeRecursively();
        const double shellVacuum = Shell(path, QStringLiteral("VACUUM INTO '%1'").arg(target));
        QFile::remove(target);
        if (run < 0)
            continue;
        ourBackup.push_back(ours);
        shellBackup.push_back(shell);
        ourCompact.push_back(oursCompact);
        shellCompact.push_back(shellVacuum);
    }

    std::printf("%-12s %10s %10s %7s\n", "operation", "ours", "sqlite3", "ratio");
    Row("backup", ourBackup, shellBackup);
    Row("compaction", ourCompact, shellCompact);
    return 0;
}
