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
#include "RegisterGenerator.h"

#include "db/DBConnectionStrings.h"
#include "db/MemberSQL.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/SqlText.h"
#include "platform/ui/DatasetGrid.h"
#include "search/MemberListFrm.h"
#include "settings/MemberSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace {

using qv::bench::Clock;
using qv::bench::median;
using qv::bench::msSince;
using qv::bench::PaintCounter;

// Lets the window system deliver the pending show, layout and paint events,
// then paints the grid now if it has not been painted since `before`.
void paintNow(qv::DatasetGrid* grid, PaintCounter& counter, int before) {
    QApplication::processEvents();
    if (counter.paints == before)
        grid->viewport()->repaint();
}

// The bare engine on the list's SQL, adapted to SQLite before the clock starts.
double runBare(sqlite3* db, const QString& sql, int& rows, quint64& checksum) {
    const QByteArray text = qv::prepareParameters(qv::adaptJetToSqlite(sql)).text.toUtf8();
    return qv::bench::runBare(db, text, 0, QByteArray(), rows, checksum);
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
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--members" && i + 1 < args.size()) {
            members = args[++i].toInt();
        } else if (args[i] == "--runs" && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == "--seed" && i + 1 < args.size()) {
            seed = args[++i].toULongLong();
        } else {
            std::fprintf(stderr, "usage: %s [--members 100000] [--runs 5] [--seed 1]\n", argv[0]);
            return 1;
        }
    }

    // A settings folder of our own: no stray settings file may switch the
    // dialect of the SQL under the measurement.
    QTemporaryDir settings;
    MemberSettings::SetSettingsFolder(settings.path());

    qint64 generatedMs = 0;
    const QString path = qv::bench::CachedRegister(members, seed, &generatedMs);
    if (generatedMs > 0)
        std::printf("Generated %d members in %lld ms\n", members, generatedMs);
    qv::Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    const qv::bench::BareEngine bareEngine(path);
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
            paintNow(list.dbgMembers, counter, before);
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
            list.OpenMemberList(connection, sql, QString(), -1, false, false,
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
