// SPDX-License-Identifier: GPL-3.0-or-later
// CSV export and the member list report on a generated register.
//
// CSV: the member list of every member (past ones included) exported through
// CSVExport, against the sqlite3 command-line shell writing the same rows and
// columns (YearsService computed in its SQL) with ".mode csv" to a file.
// The export is timed as the button runs it, on the list already open, and
// also with the opening of the list.
//
// PDF: the member list report printed to a PDF file: pages per second, and how
// far the peak resident size grows while printing, for each register size
// (after one unmeasured print, which sets up the fonts and the PDF engine).
// The rows are in the list's dataset already; the report must add nothing
// that grows with them.
//
//   bench_reports [--sizes 10000,100000] [--runs 5] [--seed 1] [--no-pdf]

#include "BenchSupport.h"

#include "db/MemberSQL.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/print/PrintDialogs.h"
#include "reports/CSVExport.h"
#include "reports/PrintMemberList.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

using namespace qv::bench;

std::unique_ptr<qv::Dataset> openList(qv::Connection& connection) {
    auto list = std::make_unique<qv::Dataset>(&connection);
    list->setSQL(MemberSQL::AllMembersSQL());
    list->open();
    return list;
}

// The shell's statement: the list's SQL in SQLite's dialect, with the columns
// the export keeps and the years of service worked out by the engine.
QString shellSql() {
    const QString list = QString::fromUtf8(BareSql(MemberSQL::AllMembersSQL()));
    return QStringLiteral("SELECT Surname, FirstNames, Address, City, PostCode, TelNo, MobileNo, "
                          "EmailAddress, DateJoined, DateEnded, CAST(ABS(julianday(COALESCE("
                          "DateEnded, date('now'))) - julianday(DateJoined)) / 365.25 AS INTEGER) "
                          "AS YearsService FROM (") +
           list + QStringLiteral(");");
}

double runShell(const QString& shell, const QString& database, const QString& out) {
    QProcess process;
    process.setStandardOutputFile(out);
    const Clock::time_point start = Clock::now();
    process.start(shell, {QStringLiteral("-batch"), QStringLiteral("-csv"),
                          QStringLiteral("-header"), database, shellSql()});
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", process.readAllStandardError().constData());
        std::exit(2);
    }
    return msSince(start);
}

qint64 countLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    while (!file.atEnd()) {
        const QByteArray block = file.read(1 << 20);
        lines += block.count('\n');
    }
    return lines;
}

// Seconds of processor time this process has used: on a shared machine a
// steadier measure of work done than the clock.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int pdfPages(const QString& file) {
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {file});
    process.waitForFinished(60000);
    return QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
        .match(QString::fromUtf8(process.readAllStandardOutput()))
        .captured(1)
        .toInt();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program does at start: the time zone read once, not for every
    // date converted.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    std::vector<int> sizes{10000, 100000};
    int runs = 5;
    quint64 seed = 1;
    bool noPdf = false;
    Options("[--sizes 10000,100000] [--runs 5] [--seed 1] [--no-pdf]")
        .numbers("--sizes", sizes)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .flag("--no-pdf", noPdf)
        .parse(app.arguments());
    const bool pdf = !noPdf;
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 shell is missing (apt-get install sqlite3)\n");
        return 1;
    }

    const OwnSettings settings;
    QTemporaryDir out;
    const QString ours = out.filePath(QStringLiteral("export.csv"));
    const QString theirs = out.filePath(QStringLiteral("shell.csv"));

    std::printf("CSV export, median of %d runs: export = CSVExport on the open list (as the "
                "button runs it); open + export adds opening the list; shell = sqlite3 -csv "
                "writing the same rows and columns.\n\n",
                runs);
    std::printf("%9s %9s %11s %11s %11s %11s %11s\n", "members", "rows", "export ms", "open+exp ms",
                "shell ms", "ratio", "ratio open");
    struct PdfRun {
        int members;
        int pages;
        double seconds;
        double cpu;
        double growthMiB;
        double datasetMiB;
    };
    std::vector<PdfRun> pdfRuns;
    for (const int members : sizes) {
        const QString path = Register(members, seed);
        const std::unique_ptr<qv::Connection> open = OpenRegister(path);
        qv::Connection& connection = *open;

        std::vector<double> exportMs, openExportMs, shellMs;
        int rows = 0;
        runShell(shell, path, theirs); // warm the page cache
        for (int r = 0; r < runs; ++r) {
            Clock::time_point start = Clock::now();
            auto list = openList(connection);
            const double openMs = msSince(start);
            rows = list->recordCount();
            start = Clock::now();
            CSVExport(*list, ours, -1, false);
            exportMs.push_back(msSince(start));
            openExportMs.push_back(openMs + exportMs.back());
            shellMs.push_back(runShell(shell, path, theirs));
        }
        const double e = median(exportMs), oe = median(openExportMs), s = median(shellMs);
        std::printf("%9d %9d %11.1f %11.1f %11.1f %11.2f %11.2f\n", members, rows, e, oe, s, e / s,
                    oe / s);
        std::printf("%9s lines written: ours %lld, shell %lld (line breaks inside fields "
                    "included)\n",
                    "", countLines(ours), countLines(theirs));

        if (pdf) {
            auto list = openList(connection);
            const QString file = out.filePath(QStringLiteral("members.pdf"));
            qv::PrintDialogTest::enable();
            // Each print ends saying where the file went; OK answers it.
            qv::MessageBoxTest::enable();
            qv::MessageBoxTest::queueAnswer(qv::MessageResult::Ok);
            qv::MessageBoxTest::queueAnswer(qv::MessageResult::Ok);
            if (pdfRuns.empty()) {
                // Fonts and the PDF engine are set up once per program; the
                // measurement is of what a print adds after that.
                qv::PrintDialogTest::queuePdf(file);
                PrintMemberList(*list, QStringLiteral("Member List"), false, -1);
            }
            qv::PrintDialogTest::queuePdf(file);
            const bool peakReset = resetPeak();
            const qint64 before = procStatusKb("VmRSS:");
            const Clock::time_point start = Clock::now();
            const double cpuStart = cpuSeconds();
            PrintMemberList(*list, QStringLiteral("Member List"), false, -1);
            const double seconds = msSince(start) / 1000.0;
            const double cpu = cpuSeconds() - cpuStart;
            const qint64 peak = procStatusKb("VmHWM:");
            qv::PrintDialogTest::disable();
            qv::MessageBoxTest::disable();
            pdfRuns.push_back({members, pdfPages(file), seconds, cpu,
                               peakReset ? (peak - before) / 1024.0 : -1.0,
                               double(list->bytesUsed()) / (1024.0 * 1024.0)});
            QFile::remove(file);
        }
    }
    if (!pdfRuns.empty()) {
        std::printf("\nMember list report to PDF (landscape), one run per size: peak growth = how "
                    "far the peak resident size rose while printing.\n\n");
        std::printf("%9s %7s %9s %9s %9s %11s %16s %14s\n", "members", "pages", "seconds",
                    "pages/s", "cpu s", "pages/cpu s", "peak growth MiB", "list rows MiB");
        for (const PdfRun& p : pdfRuns)
            std::printf("%9d %7d %9.1f %9.1f %9.1f %11.1f %16.1f %14.1f\n", p.members, p.pages,
                        p.seconds, p.seconds > 0 ? p.pages / p.seconds : 0.0, p.cpu,
                        p.cpu > 0 ? p.pages / p.cpu : 0.0, p.growthMiB, p.datasetMiB);
    }
    return 0;
}
