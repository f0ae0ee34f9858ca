// SPDX-License-Identifier: GPL-3.0-or-later
// Opens every member list query on generated registers through our layers
// (Dataset::open, which fetches all rows) and, in the same run, through the
// bare SQLite interface on a plain connection to the same file, with the same
// adapted text and parameters; prints the median times and their ratio.
//
//   bench_memberlists [--sizes 1000,10000,100000] [--runs N] [--seed 1] [--plan]
//   bench_memberlists [--seed 1] --generate PATH MEMBERS

#include "BenchSupport.h"
#include "MemberListCases.h"
#include "RegisterGenerator.h"

#include "db/MemberSQL.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/SqlText.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace {

using namespace qv::bench;
using Case = MemberListCase;

void printPlan(sqlite3* db, const char* name, const QString& sql) {
    const QByteArray text = "EXPLAIN QUERY PLAN " + BareSql(sql);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        std::printf("  %s: %s\n", name, sqlite3_errmsg(db));
        return;
    }
    std::printf("\nQuery plan of %s:\n", name);
    std::vector<std::pair<int, int>> depth; // node id, its depth in the tree
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        // Rows are id, parent, unused, detail; children follow their parent.
        const int id = sqlite3_column_int(stmt, 0);
        const int parent = sqlite3_column_int(stmt, 1);
        int d = 0;
        for (const auto& [i, dd] : depth)
            if (i == parent)
                d = dd + 1;
        depth.emplace_back(id, d);
        std::printf("  %*s%s\n", d * 2, "", sqlite3_column_text(stmt, 3));
    }
    sqlite3_finalize(stmt);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<int> sizes = {1000, 10000, 100000};
    int runs = 0; // by size: short queries need more runs for a steady median
    quint64 seed = 1;
    bool plan = false;
    QStringList generate;
    Options("[--sizes 1000,10000,100000] [--runs N] [--seed 1] [--plan]\n"
            "       bench_memberlists [--seed 1] --generate PATH MEMBERS")
        .numbers("--sizes", sizes)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .flag("--plan", plan)
        .texts("--generate", 2, generate)
        .parse(app.arguments());
    if (!generate.isEmpty()) {
        // A register to look at or to measure elsewhere (the member list
        // window, for one).
        const QString path = generate[0];
        const Clock::time_point start = Clock::now();
        const RegisterCounts n = GenerateRegister(path, generate[1].toInt(), seed);
        std::printf("%s: %lld members, %lld periods, %lld payments, %lld asset issues, %lld "
                    "profile holdings, %lld notes, %lld files in %.0f ms\n",
                    qPrintable(path), n.members, n.periods, n.payments, n.assetIssues,
                    n.profileHoldings, n.notes, n.files, msSince(start));
        return 0;
    }
    const OwnSettings settings;

    std::printf("Registers in %s\n", qPrintable(RegisterCacheFolder()));
    std::printf("Median of several runs; ours = Dataset::open, bare = sqlite3_prepare_v2/step."
                "\n\n");
    std::printf("%8s  %-22s %8s %11s %11s %7s\n", "members", "query", "rows", "ours ms", "bare ms",
                "ratio");

    quint64 checksum = 0;
    for (const int size : sizes) {
        const QString path = Register(size, seed);
        const std::unique_ptr<qv::Connection> open = OpenRegister(path);
        qv::Connection& connection = *open;
        const BareEngine bareEngine(path);
        sqlite3* db = bareEngine.handle();

        for (const Case& c : memberListCases()) {
            const QString sql = c.sql(connection);
            const qv::PreparedText prepared = qv::prepareParameters(qv::adaptJetToSqlite(sql));
            const QByteArray text = prepared.text.toUtf8();
            const QByteArray value = c.searchValue.toUtf8();
            const int parameters = int(prepared.parameters.size());

            int oursRows = 0, bareRows = 0;
            openMemberList(connection, sql, c.searchValue, oursRows); // warm the page cache
            runBare(db, text, parameters, value, bareRows, checksum);
            std::vector<double> ours, bare;
            const int n = runs > 0 ? runs : size <= 1000 ? 31 : size <= 10000 ? 11 : 5;
            for (int r = 0; r < n; ++r) {
                // Alternate which goes first, so neither always meets a warmer cache.
                if (r % 2) {
                    bare.push_back(runBare(db, text, parameters, value, bareRows, checksum));
                    ours.push_back(openMemberList(connection, sql, c.searchValue, oursRows));
                } else {
                    ours.push_back(openMemberList(connection, sql, c.searchValue, oursRows));
                    bare.push_back(runBare(db, text, parameters, value, bareRows, checksum));
                }
            }
            const double o = median(ours), b = median(bare);
            std::printf("%8d  %-22s %8d %11.2f %11.2f %7.2f%s\n", size, c.name, oursRows, o, b,
                        b > 0 ? o / b : 0.0, oursRows == bareRows ? "" : "  ROW COUNTS DIFFER");
            std::fflush(stdout);
        }

        if (size == *std::max_element(sizes.begin(), sizes.end())) {
            const bool peakReset = resetPeak();
            const qint64 before = procStatusKb("VmRSS:");
            qint64 peak = 0;
            size_t bytes = 0;
            int rows = 0;
            {
                qv::Dataset ds(&connection);
                ds.setSQL(MemberSQL::AllMembersSQL());
                ds.open();
                bytes = ds.bytesUsed();
                rows = ds.recordCount();
                peak = procStatusKb("VmHWM:");
            }
            std::printf("\nMember list of %d members (%d rows): rows held %.1f MiB", size, rows,
                        double(bytes) / (1024.0 * 1024.0));
            if (peakReset && before >= 0 && peak >= 0)
                std::printf("; peak resident size grew by %.1f MiB while opening",
                            double(peak - before) / 1024.0);
            std::printf("\n");

            if (plan)
                for (const Case& c : memberListCases())
                    printPlan(db, c.name, c.sql(connection));
        }
        std::printf("\n");
    }
    std::printf("(checksum %llu)\n", checksum);
    return 0;
}
