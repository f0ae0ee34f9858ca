// SPDX-License-Identifier: GPL-3.0-or-later
// The member list window on a generated register: opening it (query run,
// model filled, window shown and its first rows painted), one sort by a title
// click, and switching past members on and off. Each is timed through the
// window and, in the same run, as the bare SQLite engine on its own connection
// to the same file running the SQL that gives the same rows; prints medians
// and ratios.
//
//   bench_memberlistwindow [--members 100000] [--runs 5] [--seed 1]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; the
// painting is real either way (into the window's backing store).

#include "BenchSupport.h"

#include "db/MemberSQL.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/ui/DatasetGrid.h"
#include "search/MemberListFrm.h"

#include <QApplication>
#include <QCheckBox>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace {

using namespace qv::bench;

// The bare engine on the list's SQL, adapted to SQLite before the clock starts.
double runBare(sqlite3* db, const QString& sql, int& rows, quint64& checksum) {
    return qv::bench::runBare(db, BareSql(sql), 0, QByteArray(), rows, checksum);
}

struct Step {
    explicit Step(const char* n)
        : name(n) {}
    const char* name;
    std::vector<double> window, bare;
    int windowRows = 0, bareRows = 0;
};

} // namespace

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
    const QString path = Register(members, seed);
    const std::unique_ptr<qv::Connection> connection = OpenRegister(path);
    const BareEngine bareEngine(path);
    sqlite3* db = bareEngine.handle();

    const QString sql = MemberSQL::AllMembersSQL();
    // Opening and each switch of the check box run the list's SQL, which the
    // engine runs as it is; the window then hides the past members itself.
    // A sort runs nothing in the window; the engine's counterpart is the SQL
    // ordered for the rows the window shows.
    const QString sortedSql = QStringLiteral("SELECT * FROM (") + sql +
                              QStringLiteral(") AS list WHERE DateEnded IS NULL ORDER BY City ASC");

    Step open{"open the list"}, sort{"sort by City"}, include{"include past members"},
        hide{"hide past members"};
    quint64 checksum = 0;
    int bareRows = 0;
    runBare(db, sql, bareRows, checksum); // warm the page cache

    for (int r = 0; r <= runs; ++r) {
        const bool warmUp = r == 0;
        TfrmMemberList list;
        list.resize(1280, 800);
        PaintCounter counter;
        list.dbgMembers->viewport()->installEventFilter(&counter);

        // Times `action` through the window, up to its rows painted, then the
        // engine running `bareSql`; the warm-up run records nothing.
        const auto measure = [&](Step& step, const QString& bareSql, const auto& action) {
            const int before = counter.paints;
            const Clock::time_point start = Clock::now();
            action();
            PaintNow(list.dbgMembers->viewport(), counter, before);
            const double windowMs = msSince(start);
            const double bareMs = runBare(db, bareSql, bareRows, checksum);
            if (!warmUp) {
                step.window.push_back(windowMs);
                step.bare.push_back(bareMs);
                step.windowRows = list.adoMembers->recordCount();
                step.bareRows = bareRows;
            }
        };

        // Opening: what ShowMemberList does before its modal loop, then the
        // window shown with its first rows painted.
        measure(open, sql, [&] {
            list.OpenMemberList(*connection, sql, QString(), -1, false, false,
                                QStringLiteral("Member List"));
            list.show();
        });
        measure(sort, sortedSql, [&] { list.dbgMembersTitleClick(TfrmMemberList::colCity); });
        measure(include, sql, [&] { list.chkIncludePastMembers->click(); });
        measure(hide, sql, [&] { list.chkIncludePastMembers->click(); });
        list.close();
    }

    std::printf("Register %s\n", qPrintable(path));
    std::printf("Median of %d runs; window = TfrmMemberList up to its first rows painted "
                "(rows shown), bare = sqlite3_prepare_v2/step of the same SQL (rows read).\n\n",
                runs);
    std::printf("%-22s %9s %9s %11s %11s %7s\n", "step", "shown", "read", "window ms", "bare ms",
                "ratio");
    for (const Step* s : {&open, &sort, &include, &hide}) {
        const double w = median(s->window), b = median(s->bare);
        std::printf("%-22s %9d %9d %11.1f %11.1f %7.2f\n", s->name, s->windowRows, s->bareRows, w,
                    b, b > 0 ? w / b : 0.0);
    }
    std::printf("(checksum %llu)\n", checksum);
    return 0;
}
