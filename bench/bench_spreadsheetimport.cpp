// SPDX-License-Identifier: GPL-3.0-or-later
// Members from a spreadsheet: a generated CSV file of N rows imported into a
// new register (read, checked, written in one transaction with the change
// log on, as the program runs it), against the sqlite3 shell's .import of
// the same file into a plain table of a new database, in the same run: the
// median time of each and their ratio, and the size of the import's log. Then the resident memory
// while a file of N and of 4 N rows is imported, sampled as the rows go by: the file is streamed,
// so it stays flat however many rows have passed.
//
//   bench_spreadsheetimport [--rows N] [--runs N] [--profile-log | --profile-unlogged]
//
// --profile-log and --profile-unlogged run only the import, with or without
// the log, --runs times: something to run under perf.
//
// Needs sqlite3 on the PATH (Debian package sqlite3).

#include "BenchSupport.h"

#include "db/ChangeLog.h"
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/RegisterTables.h"
#include "import/SpreadsheetImport.h"
#include "platform/data/Connection.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

using namespace qv::bench;

// A club's list as a spreadsheet saves it: names with accents, addresses
// with commas in quotes, day-first dates, three membership types.
void writeCsv(const QString& path, int rows) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    static const char* surnames[] = {"Smith",        "Müller", "Jones", "Dupont",
                                     "van der Berg", "García", "Brown", "Weiß"};
    static const char* first[] = {"Ann", "Jürgen", "Chloé", "Tom", "Eva", "José"};
    static const char* types[] = {"Member", "Junior", "Family"};
    QByteArray out = "\xEF\xBB\xBFSurname,First names,Address,City,Post code,Phone,Email,Joined,"
                     "Type\r\n";
    for (int i = 0; i < rows; ++i) {
        out += QByteArray(surnames[i % 8]) + QByteArray::number(i) + ',' + first[i % 6] + ",\"" +
               QByteArray::number(i % 300 + 1) + " High Street, Flat " + QByteArray::number(i % 7) +
               "\",Leeds,LS" + QByteArray::number(i % 29 + 1) + " 4AP,0113 496 " +
               QByteArray::number(1000 + i % 9000) + ",m" + QByteArray::number(i) +
               "@example.org," + QByteArray::number(i % 28 + 1) + '/' +
               QByteArray::number(i % 12 + 1) + '/' + QByteArray::number(1980 + i % 45) + ',' +
               types[i % 3] + "\r\n";
        if (out.size() > (1 << 20)) {
            file.write(out);
            out.clear();
        }
    }
    file.write(out);
}

QString freshRegister(const QTemporaryDir& folder, int run) {
    const QString path = folder.filePath(QStringLiteral("register-%1.mdb").arg(run));
    QFile::remove(path);
    DBCreate::CreateAccessRegister(path);
    return path;
}

double runShell(const QString& program, const QString& csv, const QString& db) {
    QFile::remove(db);
    const Clock::time_point start = Clock::now();
    QProcess p;
    p.start(program, {db, ".mode csv", ".import '" + csv + "' members"});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 .import failed: %s\n", p.readAllStandardError().constData());
        std::exit(1);
    }
    return msSince(start);
}

// The bare engine's part of the import: the shell imports the file into a
// table of a new register, then copies the members and one period each into
// the register's own tables (their indexes, keys and foreign keys) in one
// transaction. Nothing is checked, mapped or read twice.
double runShellIntoRegister(const QString& program, const QString& csv, const QString& db) {
    const QByteArray script =
        "PRAGMA foreign_keys = ON;\n.mode csv\n.import '" + csv.toUtf8() +
        "' staging\nBEGIN;\nINSERT INTO Members (Surname, FirstNames, Address, City, PostCode, "
        "TelNo, EmailAddress) SELECT Surname, \"First names\", Address, City, \"Post code\", "
        "Phone, Email FROM staging;\nINSERT INTO DatesJoined (MembershipLevelID, MemberID, "
        "DateJoined, ReasonEnded) SELECT 1, MemberID, '2000-01-01 00:00:00', '' FROM "
        "Members;\nDROP TABLE staging;\nCOMMIT;\n";
    const Clock::time_point start = Clock::now();
    QProcess p;
    p.start(program, {db});
    p.write(script);
    p.closeWriteChannel();
    if (!p.waitForFinished(-1) || p.exitCode() != 0 || !p.readAllStandardError().isEmpty()) {
        std::fprintf(stderr, "sqlite3 into a register failed\n");
        std::exit(1);
    }
    return msSince(start);
}

// The import as the window runs it: preview and guess, check, write.
double runImport(const QString& csv, const QString& registerPath, bool log,
                 const SpreadsheetImport::ProgressCallback& progress, qint64& added) {
    auto connection = OpenRegister(registerPath);
    ChangeLog::Recorder recorder;
    RegisterTables::CreateMissing(*connection);
    if (log)
        connection->setChangeRecorder(&recorder);

    const Clock::time_point start = Clock::now();
    SpreadsheetImport::Preview preview;
    SpreadsheetImport::Plan plan;
    QString error;
    if (!SpreadsheetImport::ReadPreview(csv, preview, error) ||
        !SpreadsheetImport::Check(*connection, csv, preview.mapping, plan, error)) {
        std::fprintf(stderr, "check failed: %s\n", qPrintable(error));
        std::exit(1);
    }
    const SpreadsheetImport::Result result = SpreadsheetImport::Write(*connection, plan, progress);
    const double ms = msSince(start);
    if (result.outcome != SpreadsheetImport::Outcome::Imported) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(result.message));
        std::exit(1);
    }
    added = result.added;
    connection->setChangeRecorder(nullptr);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    // As the program starts (AppMain): without TZ the C library reads
    // /etc/localtime again for every local date it converts.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    int rows = 20000, runs = 5;
    bool profileLog = false, profileUnlogged = false;
    Options("[--rows N] [--runs N] [--profile-log | --profile-unlogged]")
        .number("--rows", rows, 1)
        .number("--runs", runs, 1)
        .flag("--profile-log", profileLog)
        .flag("--profile-unlogged", profileUnlogged)
        .parse(app.arguments());
    const QString sqlite3 = QStandardPaths::findExecutable("sqlite3");
    if (sqlite3.isEmpty()) {
        std::fprintf(stderr, "sqlite3 is not installed (Debian package sqlite3)\n");
        return 2;
    }
    OwnSettings settings;
    QTemporaryDir folder;
    const QString csv = folder.filePath("members.csv");
    const QString bigCsv = folder.filePath("members-4x.csv");
    writeCsv(csv, rows);
    writeCsv(bigCsv, rows * 4);
    const QString plain = folder.filePath("plain.db");

    if (profileLog || profileUnlogged) {
        qint64 added = 0;
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i)
            ms.push_back(runImport(csv, freshRegister(folder, i), profileLog, {}, added));
        std::printf("%d rows, import %s the change log: median %.1f ms of %d runs\n", rows,
                    profileLog ? "with" : "without", median(ms), runs);
        return 0;
    }

    // Memory first, on a fresh process: untimed runs that sample the
    // resident size as the rows pass, for N and for 4 N rows.
    std::printf("Resident size during the import:\n");
    for (const QString& file : {csv, bigCsv}) {
        qint64 added = 0, nextSample = 0;
        const bool peakReset = resetPeak();
        const qint64 before = procStatusKb("VmRSS:");
        std::vector<std::pair<qint64, qint64>> samples;
        runImport(
            file, freshRegister(folder, 0), true,
            [&](qint64 done, qint64 total) {
                if (done >= nextSample) {
                    samples.emplace_back(done, procStatusKb("VmRSS:"));
                    nextSample = done + total / 5;
                }
                return true;
            },
            added);
        const qint64 peak = procStatusKb("VmHWM:");
        std::printf("  %lld rows (%.1f MiB file; %.1f MiB resident before):\n", (long long)added,
                    double(QFile(file).size()) / 1048576.0, double(before) / 1024.0);
        for (const auto& [done, kb] : samples)
            std::printf("    after %7lld rows  %+7.1f MiB\n", (long long)done,
                        double(kb - before) / 1024.0);
        if (peakReset && peak >= 0)
            std::printf("    peak                %+7.1f MiB\n", double(peak - before) / 1024.0);
    }
    std::printf("\n");

    // One of each first, so every run reads the file from the page cache.
    qint64 added = 0;
    runShell(sqlite3, csv, plain);
    runImport(csv, freshRegister(folder, 0), true, {}, added);
    std::vector<double> shellMs, importMs, unloggedMs, engineMs;
    QString logged;
    for (int i = 0; i < runs; ++i) {
        shellMs.push_back(runShell(sqlite3, csv, plain));
        engineMs.push_back(runShellIntoRegister(sqlite3, csv, freshRegister(folder, 200 + i)));
        logged = freshRegister(folder, i + 1);
        importMs.push_back(runImport(csv, logged, true, {}, added));
        unloggedMs.push_back(runImport(csv, freshRegister(folder, 100 + i), false, {}, added));
    }
    const double s = median(shellMs), m = median(importMs), u = median(unloggedMs),
                 e = median(engineMs);
    std::printf("%d rows (%lld members added), median of %d runs\n", rows, (long long)added, runs);
    std::printf("  sqlite3 .import into a plain table      %9.1f ms\n", s);
    std::printf("  import, with the change log             %9.1f ms\n", m);
    std::printf("  import, without the change log          %9.1f ms\n", u);
    std::printf("  ratio import / sqlite3 .import          %9.2f   (at most 2 asked)\n", m / s);
    std::printf("  ratio without the log / sqlite3 .import %9.2f\n", u / s);
    std::printf("  sqlite3 .import, then copied into a register's tables %9.1f ms  (%.2f of "
                ".import)\n",
                e, e / s);
    // The added rows are logged as ranges of keys: a handful of log rows
    // however long the file.
    auto connection = OpenRegister(logged);
    qv::Result r;
    connection->provider().fetch(QStringLiteral("SELECT COUNT(*) FROM ChangeLogRows"), {}, r);
    std::printf("\nThe change log of the last import: %lld rows\n",
                (long long)r.rows.value(r.rows.cell(0, 0)).toInteger());
    return 0;
}
