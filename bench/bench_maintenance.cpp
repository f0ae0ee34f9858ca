// Backup and compaction of a generated register through DBManagement, against
// the sqlite3 shell doing the same to the same file in the same run: ".backup"
// for the backup and "VACUUM INTO" for the compaction. Ours includes all it
// does around the engine (closing and reopening the connection, the lock, the
// flushes, keeping the former file, the renames); the shell's figure includes
// starting the shell.
//
//   bench_maintenance [--members 100000] [--runs 5] [--seed 1]

#include "BenchSupport.h"
#include "RegisterGenerator.h"

#include "db/DBConnectionStrings.h"
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

using qv::bench::Clock;
using qv::bench::median;
using qv::bench::msSince;

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
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--members" && i + 1 < args.size())
            members = args[++i].toInt();
        else if (args[i] == "--runs" && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == "--seed" && i + 1 < args.size())
            seed = args[++i].toULongLong();
        else {
            std::fprintf(stderr, "usage: %s [--members 100000] [--runs 5] [--seed 1]\n", argv[0]);
            return 1;
        }
    }

    qint64 generatedMs = 0;
    const QString cached = qv::bench::CachedRegister(members, seed, &generatedMs);
    // A copy of our own: the compaction replaces the file and keeps the former.
    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("Club.mdb"));
    if (!qv::FileSystem::copyFileNoOverwrite(cached, path)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(cached));
        return 2;
    }
    std::printf(
        "%d members (%lld MB)%s; median of %d runs, ms\n\n", members, QFileInfo(path).size() >> 20,
        generatedMs ? qPrintable(QStringLiteral(", generated in %1 ms").arg(generatedMs)) : "",
        runs);

    qv::Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
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
