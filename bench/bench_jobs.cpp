// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's CSV export against the sqlite3 shell, process start
// included on both sides.
//
// Ours: `Quorvane --export all FILE --past-members --register REGISTER`, the
// whole member list as the window exports it. Theirs: `sqlite3 -csv -header`
// running the same list's SQL in SQLite's dialect, with the same columns and
// the years of service worked out by the engine, its output sent to a file.
// Each run times ours and theirs in turn, so the machine's other work falls on
// both; the figure is the ratio of the medians.
//
//   bench_jobs [--members 100000] [--runs 5] [--seed 1]

#include "BenchSupport.h"

#include "db/MemberSQL.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using namespace qv::bench;

// The same statement bench_reports gives the shell.
QString shellSql() {
    const QString list = QString::fromUtf8(BareSql(MemberSQL::AllMembersSQL()));
    return QStringLiteral("SELECT Surname, FirstNames, Address, City, PostCode, TelNo, MobileNo, "
                          "EmailAddress, DateJoined, DateEnded, CAST(ABS(julianday(COALESCE("
                          "DateEnded, date('now'))) - julianday(DateJoined)) / 365.25 AS INTEGER) "
                          "AS YearsService FROM (") +
           list + QStringLiteral(");");
}

// Starts `program` and waits for it; the milliseconds from start to exit.
double timed(QProcess& process, const QString& program, const QStringList& args) {
    const Clock::time_point start = Clock::now();
    process.start(program, args);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        std::exit(2);
    }
    return msSince(start);
}

qint64 lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 count = 0;
    while (!file.atEnd())
        count += file.read(1 << 20).count('\n');
    return count;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int members = 100000;
    int runs = 5;
    quint64 seed = 1;
    Options("[--members 100000] [--runs 5] [--seed 1]")
        .number("--members", members, 1)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .parse(app.arguments());
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 shell is missing (apt-get install sqlite3)\n");
        return 1;
    }
    const OwnSettings settings;
    const QString path = Register(members, seed);
    QTemporaryDir out;
    const QString ours = out.filePath(QStringLiteral("ours.csv"));
    const QString theirs = out.filePath(QStringLiteral("shell.csv"));

    std::vector<double> oursMs, theirsMs;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(ours);
        QProcess program;
        oursMs.push_back(
            timed(program, QStringLiteral(QV_PROGRAM),
                  {QStringLiteral("--export"), QStringLiteral("all"), ours,
                   QStringLiteral("--past-members"), QStringLiteral("--register"), path}));
        QProcess sqlite;
        sqlite.setStandardOutputFile(theirs);
        theirsMs.push_back(timed(sqlite, shell,
                                 {QStringLiteral("-batch"), QStringLiteral("-csv"),
                                  QStringLiteral("-header"), path, shellSql()}));
    }
    const double a = median(oursMs), b = median(theirsMs);
    std::printf("Command-line CSV export of the member list, %d members, median of %d runs, "
                "process start included:\n",
                members, runs);
    std::printf("%12s %12s %12s %12s %8s\n", "rows ours", "rows shell", "ours ms", "shell ms",
                "ratio");
    std::printf("%12lld %12lld %12.1f %12.1f %8.2f\n", lines(ours) - 1, lines(theirs) - 1, a, b,
                a / b);
    return 0;
}
