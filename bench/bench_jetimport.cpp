// SPDX-License-Identifier: GPL-3.0-or-later
// The resident memory while importing an Access (Jet) register, sampled as the
// rows go by (when the rows are streamed it stays flat however many have
// passed); then the import against mdb-export reading every table of the same
// file, in the same run: the median time of each and their ratio.
//
//   bench_jetimport PATH/bench-20000.mdb [--runs N]
//
// Needs mdb-export on the PATH (Debian mdbtools).

#include "BenchSupport.h"

#include "import/JetImport.h"
#include "import/JetReader.h"
#include "platform/data/DatabaseError.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

using namespace qv::bench;

// mdb-export of every table, each read whole and written to /dev/null, with
// four-digit years and times, as a dump of the register would need.
double runMdbExport(const QString& program, const QString& jet, const QStringList& tables) {
    const Clock::time_point start = Clock::now();
    for (const QString& table : tables) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(program, {"-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S", jet, table});
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            std::fprintf(stderr, "mdb-export failed on %s\n", qPrintable(table));
            std::exit(1);
        }
    }
    return msSince(start);
}

double runImport(const QString& jet, const QString& target, const JetImport::ProgressCallback& cb,
                 qint64& rows) {
    QFile::remove(target);
    const Clock::time_point start = Clock::now();
    const JetImport::Result result = JetImport::ImportRegister(jet, target, cb);
    const double ms = msSince(start);
    if (result.outcome != JetImport::Outcome::Imported) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(result.message));
        std::exit(1);
    }
    rows = result.summary.rowsWritten();
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString jet;
    int runs = 5;
    Options("PATH/bench-20000.mdb [--runs N]")
        .argument(jet)
        .number("--runs", runs, 1)
        .parse(app.arguments());
    const QString mdbExport = QStandardPaths::findExecutable("mdb-export");
    if (mdbExport.isEmpty()) {
        std::fprintf(stderr, "mdb-export is not installed (Debian package mdbtools)\n");
        return 2;
    }
    QStringList tables;
    try {
        tables = JetReader::Database(jet).tableNames();
    } catch (const qv::DatabaseError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    QTemporaryDir folder;
    const QString target = folder.filePath("imported.mdb");

    // Memory first, on a fresh process: an untimed run that samples the
    // resident size as the rows pass.
    qint64 rows = 0;
    const bool peakReset = resetPeak();
    const qint64 before = procStatusKb("VmRSS:");
    std::vector<std::pair<qint64, qint64>> samples; // rows done, resident kB
    qint64 nextSample = 0;
    runImport(
        jet, target,
        [&](const JetImport::Progress& p) {
            if (p.total > 0 && p.done >= nextSample) {
                samples.emplace_back(p.done, procStatusKb("VmRSS:"));
                nextSample = p.done + p.total / 10;
            }
            return true;
        },
        rows);
    const qint64 peak = procStatusKb("VmHWM:");
    std::printf("Resident size during the import (%.1f MiB before it):\n", double(before) / 1024.0);
    for (const auto& [done, kb] : samples)
        std::printf("  after %6lld rows  %+7.1f MiB\n", (long long)done,
                    double(kb - before) / 1024.0);
    if (peakReset && peak >= 0)
        std::printf("  peak                %+7.1f MiB\n", double(peak - before) / 1024.0);
    std::printf("\n");

    // One of each first, so both read the file from the page cache.
    runMdbExport(mdbExport, jet, tables);
    runImport(jet, target, {}, rows);
    std::vector<double> exportMs, importMs;
    for (int i = 0; i < runs; ++i) {
        exportMs.push_back(runMdbExport(mdbExport, jet, tables));
        importMs.push_back(runImport(jet, target, {}, rows));
    }
    const double e = median(exportMs), m = median(importMs);
    std::printf("%s: %lld rows in %lld tables, median of %d runs\n", qPrintable(jet),
                (long long)rows, (long long)tables.size(), runs);
    std::printf("  mdb-export, every table   %9.1f ms\n", e);
    std::printf("  import into a register    %9.1f ms\n", m);
    std::printf("  ratio import / mdb-export %9.2f   (at most 2 asked)\n", m / e);
    return 0;
}
