// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics window's figures on a generated register with fees by level
// and year: all six views for ten membership years through our layers, against the bare SQLite
// engine on its own connection to the same file running the same statements; and the window from
// its construction to its first chart painted, against the same bare run. Prints medians and
// ratios.
//
//   bench_statistics [--members 100000] [--runs 5] [--seed 1]

#include "BenchSupport.h"

#include "db/RegisterTables.h"
#include "platform/data/Connection.h"
#include "platform/data/Provider.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "renewals/Renewals.h"
#include "statistics/StatisticsFrm.h"
#include "statistics/StatisticsSQL.h"

#include <QApplication>
#include <QChartView>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

using namespace qv::bench;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int members = 100000;
    int runs = 5;
    quint64 seed = 1;
    Options("[--members 100000] [--runs 5] [--seed 1]")
        .number("--members", members)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .parse(app.arguments());
    const OwnSettings settings;
    // A copy: the shared generated register stays as other benchmarks expect it.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("statistics.mdb"));
    if (!QFile::copy(Register(members, seed), path)) {
        std::fprintf(stderr, "cannot copy the register\n");
        return 1;
    }
    const std::unique_ptr<qv::Connection> connection = OpenRegister(path);
    {
        // The program's tables, and fees for every level in every other year,
        // so the fees due are looked up as a register that bills has them.
        qv::TransactionGuard t(*connection);
        RegisterTables::CreateMissing(*connection);
        qv::Result levels;
        connection->provider().fetch(
            QStringLiteral("SELECT MembershipLevelID FROM MembershipLevel"), {}, levels);
        const int year = qv::Clock::today().year();
        for (int row = 0; row < levels.rows.rowCount(); ++row)
            for (int y = year - 12; y <= year; y += 2)
                Renewals::SetLevelFee(*connection,
                                      levels.rows.value(levels.rows.cell(row, 0)).toInteger(), y,
                                      20 + row * 5 + (y - year + 12));
        t.commit();
    }
    const BareEngine bareEngine(path);
    sqlite3* db = bareEngine.handle();

    const QDate today = qv::Clock::today();
    const Statistics::MembershipYear year = Statistics::MembershipYear::Read(*connection);
    const int last = year.yearOf(today);
    const int first = last - 9;
    std::vector<QByteArray> bareSql;
    for (const QString& sql : Statistics::Statements(*connection, year, first, last, today))
        bareSql.push_back(BareSql(sql));

    quint64 checksum = 0;
    int bareRows = 0;
    std::vector<std::vector<double>> eachMs(bareSql.size());
    const auto bare = [&] {
        double ms = 0;
        bareRows = 0;
        for (size_t i = 0; i < bareSql.size(); ++i) {
            int rows = 0;
            const double one = runBare(db, bareSql[i], 0, QByteArray(), rows, checksum);
            eachMs[i].push_back(one);
            ms += one;
            bareRows += rows;
        }
        return ms;
    };
    bare(); // warm the page cache

    std::vector<double> figuresMs, windowMs, bareMs;
    for (int r = 0; r <= runs; ++r) {
        Clock::time_point start = Clock::now();
        const Statistics::Figures figures =
            Statistics::Compute(*connection, year, first, last, today);
        const double ours = msSince(start);
        checksum += quint64(figures.membersByLevel.rowCount());

        start = Clock::now();
        {
            TfrmStatistics window(*connection);
            PaintCounter counter;
            window.chtViews[0]->viewport()->installEventFilter(&counter);
            window.show();
            PaintNow(window.chtViews[0]->viewport(), counter);
            const double shown = msSince(start);
            if (r > 0)
                windowMs.push_back(shown);
        }
        const double engine = bare();
        if (r > 0) { // the first run warms up
            figuresMs.push_back(ours);
            bareMs.push_back(engine);
        }
    }

    const double b = median(bareMs);
    std::printf("Register %s, %d members, years %d to %d\n", qPrintable(path), members, first,
                last);
    std::printf("Median of %d runs; bare = sqlite3_prepare_v2/step of the same %zu statements "
                "(%d rows read).\n\n",
                runs, bareSql.size(), bareRows);
    std::printf("%-34s %11s %11s %7s\n", "step", "ours ms", "bare ms", "ratio");
    std::printf("%-34s %11.1f %11.1f %7.2f\n", "all six views (figures)", median(figuresMs), b,
                b > 0 ? median(figuresMs) / b : 0.0);
    std::printf("%-34s %11.1f %11.1f %7.2f\n", "window up to its first chart painted",
                median(windowMs), b, b > 0 ? median(windowMs) / b : 0.0);
    // Where the engine's time goes, statement by statement (levels, year ends,
    // joiners and retention, leavers, years of service, fees, cities).
    std::printf("\nbare ms by statement:");
    for (const std::vector<double>& one : eachMs)
        std::printf(" %.1f", median(one));
    std::printf("\n(checksum %llu)\n", checksum);
    if (qEnvironmentVariableIsSet("QV_BENCH_SQL"))
        for (const QByteArray& sql : bareSql)
            std::printf("%s;\n", sql.constData());
    return 0;
}
