// SPDX-License-Identifier: GPL-3.0-or-later
// Address labels for every member of a generated register, printed to a PDF
// file on the A4 21-up sheet, one label per household.
//
// Read: the members and their latest periods read by the labels dialog and
// folded into households, against the bare engine reading the same columns
// of the same rows.
// PDF: pages per second, and how far the peak resident size grows while
// printing, for each register size (after one unmeasured print, which sets up
// the fonts and the PDF engine). Pages are drawn one at a time: the growth
// must stay flat as the list grows, apart from the list itself.
//
//   bench_labels [--sizes 5000,10000] [--runs 5] [--seed 1]

#include "BenchSupport.h"

#include "letters/LabelSheet.h"
#include "letters/Recipients.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "platform/print/PrintDialogs.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

namespace {

using namespace qv::bench;

std::vector<qint64> allKeys(qv::Connection& connection) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT MemberID FROM Members ORDER BY Surname, FirstNames"));
    qv::Result r;
    q.fetch(r);
    std::vector<qint64> keys;
    for (int row = 0; row < r.rows.rowCount(); ++row)
        keys.push_back(r.rows.value(r.rows.cell(row, 0)).toInteger());
    return keys;
}

// The bare engine reading what the dialog reads: the members' address
// columns and every period with its level.
double bareRead(const QString& path, quint64& checksum) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        std::exit(2);
    }
    int rows = 0;
    double ms = runBare(db,
                        "SELECT MemberID, FirstNames, Surname, Address, City, PostCode FROM "
                        "Members",
                        0, QByteArray(), rows, checksum);
    ms += runBare(db,
                  "SELECT DatesJoined.MemberID, DatesJoined.DateJoined, DatesJoined.DateEnded, "
                  "DatesJoined.MembershipNo, MembershipLevel.MemberCategory FROM DatesJoined "
                  "LEFT JOIN MembershipLevel ON DatesJoined.MembershipLevelID = "
                  "MembershipLevel.MembershipLevelID",
                  0, QByteArray(), rows, checksum);
    sqlite3_close(db);
    return ms;
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

void printLabels(const std::vector<Letters::MemberPost>& members,
                 const std::vector<Letters::Recipient>& recipients, const QString& file) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    Labels::LabelJob job;
    job.sheet = Labels::BuiltInSheets()[0];
    job.count = int(recipients.size());
    job.linesOf = [&](int i) { return Letters::LabelLines(recipients[size_t(i)], members); };
    qv::PaintOnPrinter(printer, [&](qv::PrintCanvas& canvas) {
        canvas.beginDocument(QStringLiteral("Labels"));
        Labels::PaintLabels(canvas, job);
        canvas.endDocument();
    });
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    std::vector<int> sizes{5000, 10000};
    int runs = 5;
    quint64 seed = 1;
    Options("[--sizes 5000,10000] [--runs 5] [--seed 1]")
        .numbers("--sizes", sizes)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .parse(app.arguments());

    const OwnSettings settings;
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("labels.pdf"));

    struct Row {
        int members;
        int labels;
        double readMs, bareMs;
        int pages;
        double seconds;
        double growthMiB;
    };
    std::vector<Row> table;
    bool warmed = false;
    for (const int size : sizes) {
        const QString path = Register(size, seed);
        const std::unique_ptr<qv::Connection> open = OpenRegister(path);
        const std::vector<qint64> keys = allKeys(*open);
        quint64 checksum = 0;
        bareRead(path, checksum); // warm the page cache
        std::vector<double> ours, bare;
        std::vector<Letters::MemberPost> members;
        std::vector<Letters::Recipient> recipients;
        for (int r = 0; r < runs; ++r) {
            const Clock::time_point start = Clock::now();
            members = Letters::LoadMembers(*open, keys);
            recipients = Letters::MakeRecipients(members, true);
            ours.push_back(msSince(start));
            bare.push_back(bareRead(path, checksum));
        }
        if (!warmed) {
            printLabels(members, recipients, file);
            warmed = true;
        }
        const bool peakReset = resetPeak();
        const qint64 before = procStatusKb("VmRSS:");
        const Clock::time_point start = Clock::now();
        printLabels(members, recipients, file);
        const double seconds = msSince(start) / 1000.0;
        const qint64 peak = procStatusKb("VmHWM:");
        table.push_back({size, int(recipients.size()), median(ours), median(bare), pdfPages(file),
                         seconds, peakReset ? (peak - before) / 1024.0 : -1.0});
        QFile::remove(file);
        std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
    }
    std::printf("\nRead = members and latest periods read and folded into households (median of "
                "%d); bare = sqlite3 reading the same columns; PDF = the labels printed, one run "
                "per size; growth = how far the peak resident size rose while printing.\n\n",
                runs);
    std::printf("%9s %8s %9s %9s %7s %7s %9s %9s %12s\n", "members", "labels", "read ms", "bare ms",
                "ratio", "pages", "seconds", "pages/s", "growth MiB");
    for (const Row& r : table)
        std::printf("%9d %8d %9.1f %9.1f %7.2f %7d %9.1f %9.1f %12.1f\n", r.members, r.labels,
                    r.readMs, r.bareMs, r.bareMs > 0 ? r.readMs / r.bareMs : 0.0, r.pages,
                    r.seconds, r.seconds > 0 ? r.pages / r.seconds : 0.0, r.growthMiB);
    return 0;
}
