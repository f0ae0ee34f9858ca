// SPDX-License-Identifier: GPL-3.0-or-later
// The quick find on a generated register: from a keystroke in the box to the
// result list painted, over a set of typed texts, each typed one key at a
// time; in the same run the bare SQLite engine scans the same columns with a
// plain LIKE per word. Prints p50 and p95 of both and their ratio, the time
// and memory the index takes, the register file's size (which the quick find
// does not change), and the commit of a member visit with and without the
// quick find's connection and index in place.
//
//   bench_quickfind [--members 100000] [--seed 1] [--commits 200]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; the
// painting is real either way (into the window's backing store).

#include "BenchSupport.h"

#include "platform/data/Connection.h"
#include "platform/data/Transaction.h"
#include "search/QuickFind.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

namespace {

using namespace qv::bench;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const std::size_t at = std::size_t(std::ceil(p * double(v.size()))) - 1;
    return v[std::min(at, v.size() - 1)];
}

// A plain LIKE scan of the quick find's columns: every word in one of the
// member's fields or in one of his periods' numbers.
QByteArray likeScanSql(int words) {
    QByteArray sql = "SELECT m.MemberID, m.Surname, m.FirstNames FROM Members m WHERE 1";
    for (int w = 1; w <= words; ++w) {
        const QByteArray p = "?" + QByteArray::number(w);
        sql += " AND (m.Surname LIKE " + p + " OR m.FirstNames LIKE " + p + " OR m.Address LIKE " +
               p + " OR m.City LIKE " + p + " OR m.PostCode LIKE " + p + " OR m.TelNo LIKE " + p +
               " OR m.MobileNo LIKE " + p + " OR m.EmailAddress LIKE " + p +
               " OR EXISTS (SELECT 1 FROM DatesJoined d WHERE d.MemberID = m.MemberID AND "
               "d.MembershipNo LIKE " +
               p + "))";
    }
    return sql + " ORDER BY m.Surname, m.FirstNames";
}

double bareScan(sqlite3* db, const QString& text, int& rows, quint64& checksum) {
    const QStringList words = QuickFindIndex::words(text);
    const auto start = Clock::now();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = likeScanSql(int(words.size()));
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "bare scan: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    for (int w = 0; w < words.size(); ++w) {
        const QByteArray pattern = "%" + words[w].toUtf8() + "%";
        sqlite3_bind_text(stmt, w + 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
    }
    rows = readRows(stmt, checksum);
    sqlite3_finalize(stmt);
    return msSince(start);
}

// One member visit's commit: a change to his row in a transaction of its own.
double commitVisits(qv::Connection& connection, int count) {
    // A new number each time: an update that stores what is there already
    // leaves the engine nothing to write.
    static int visits = 0;
    std::vector<double> times;
    for (int i = 0; i < count; ++i, ++visits) {
        qv::TransactionGuard visit(connection);
        connection.execute(QStringLiteral("UPDATE Members SET MobileNo = '07700 900%1' WHERE "
                                          "MemberID = %2")
                               .arg(visits % 1000, 3, 10, QLatin1Char('0'))
                               .arg(1 + (i * 37) % 1000));
        const auto start = Clock::now();
        visit.commit();
        times.push_back(msSince(start));
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int members = 100000;
    int commits = 200;
    quint64 seed = 1;
    Options("[--members 100000] [--seed 1] [--commits 200]")
        .number("--members", members)
        .number("--seed", seed)
        .number("--commits", commits, 1)
        .parse(app.arguments());
    const OwnSettings settings;
    // A copy: the commits below change rows of the register the other
    // measurements share.
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("register.mdb"));
    if (!QFile::copy(Register(members, seed), path)) {
        std::fprintf(stderr, "the register could not be copied to %s\n", qPrintable(path));
        return 1;
    }
    const qint64 fileBytes = QFileInfo(path).size();
    std::unique_ptr<qv::Connection> connection = OpenRegister(path);

    QuickFindBox box(*connection);
    box.resize(600, 300);
    box.show();
    QSignalSpy shown(&box, &QuickFindBox::answerShown);
    PaintCounter counter;
    box.lsvQuickFind->viewport()->installEventFilter(&counter);

    // The first word builds the index.
    const qint64 rssBefore = procStatusKb("VmRSS:");
    auto start = Clock::now();
    QTest::keyClick(box.edtQuickFind, Qt::Key_S);
    if (!shown.wait(120000)) {
        std::fprintf(stderr, "no answer to the first key\n");
        return 1;
    }
    const double buildMs = msSince(start);
    const std::size_t indexBytes = box.searcher().indexBytes();
    const qint64 rssAfter = procStatusKb("VmRSS:");

    const QStringList texts = {
        QStringLiteral("smith"),       QStringLiteral("jones leeds"), QStringLiteral("o'brien"),
        QStringLiteral("muller"),      QStringLiteral("ls1 4"),       QStringLiteral("0113 49"),
        QStringLiteral("example.org"), QStringLiteral("ann york"),    QStringLiteral("zz"),
        QStringLiteral("patel mina"),  QStringLiteral("m00"),         QStringLiteral("hull"),
    };
    BareEngine bare(path);
    QuickFindIndex index;
    index.build(*connection);
    std::vector<double> keystroke, scan, alone, arrival;
    Clock::time_point answeredAt;
    QObject::connect(&box.searcher(), &QuickFindSearcher::answered,
                     [&answeredAt] { answeredAt = Clock::now(); });
    quint64 checksum = 0;
    int lastShown = 0, lastBare = 0;
    for (const QString& text : texts) {
        box.edtQuickFind->clear();
        QCoreApplication::processEvents();
        for (int typed = 1; typed <= text.size(); ++typed) {
            const QString prefix = text.left(typed);
            const QChar key = text.at(typed - 1);
            shown.clear();
            start = Clock::now();
            QTest::keyClicks(box.edtQuickFind, QString(key));
            if (QuickFindIndex::words(prefix).isEmpty())
                continue;
            while (!(shown.count() > 0 && box.model().answer().text == prefix))
                if (!shown.wait(10000)) {
                    std::fprintf(stderr, "no answer to \"%s\"\n", qPrintable(prefix));
                    return 1;
                }
            PaintNow(box.lsvQuickFind->viewport(), counter, counter.paints);
            keystroke.push_back(msSince(start));
            arrival.push_back(
                std::chrono::duration<double, std::milli>(answeredAt - start).count());
            lastShown = int(box.model().answer().memberIds.size());
            scan.push_back(bareScan(bare.handle(), prefix, lastBare, checksum));
            const auto searchStart = Clock::now();
            checksum +=
                index.find(prefix, QDate::currentDate(), QuickFindBox::kShownRows).memberIds.size();
            alone.push_back(msSince(searchStart));
            if (qEnvironmentVariableIsSet("QV_BENCH_VERBOSE"))
                std::fprintf(stderr,
                             "%-14s keystroke %7.2f ms, search %7.2f ms, scan %7.2f ms, %d found\n",
                             qPrintable(prefix), keystroke.back(), alone.back(), scan.back(),
                             int(box.model().answer().memberIds.size()));
        }
    }

    // A visit's commit without the quick find's connection and with it open
    // and its index built, in turns, so that a slower moment of the disk
    // weighs on both alike.
    std::vector<double> without, with;
    for (int round = 0; round < 5; ++round) {
        box.release();
        without.push_back(commitVisits(*connection, commits / 5 + 1));
        shown.clear();
        box.refresh();
        if (!shown.wait(120000))
            return 1;
        with.push_back(commitVisits(*connection, commits / 5 + 1));
    }
    const double commitBefore = median(without), commitAfter = median(with);

    const double p50 = percentile(keystroke, 0.5), p95 = percentile(keystroke, 0.95);
    const double b50 = percentile(scan, 0.5), b95 = percentile(scan, 0.95);
    std::printf("quick find on %d members, %zu keystrokes (checksum %llu)\n", members,
                keystroke.size(), static_cast<unsigned long long>(checksum));
    std::printf("  keystroke to painted list   p50 %8.2f ms   p95 %8.2f ms\n", p50, p95);
    std::printf("  of which the answer's arrival p50 %6.2f ms   p95 %8.2f ms\n",
                percentile(arrival, 0.5), percentile(arrival, 0.95));
    std::printf("  of which the index search   p50 %8.2f ms   p95 %8.2f ms\n",
                percentile(alone, 0.5), percentile(alone, 0.95));
    std::printf("  bare engine LIKE scan       p50 %8.2f ms   p95 %8.2f ms\n", b50, b95);
    std::printf("  ratio quick find / scan     p50 %8.3f      p95 %8.3f\n", p50 / b50, p95 / b95);
    std::printf("  last text: %d found, bare LIKE %d rows (ASCII case only)\n", lastShown,
                lastBare);
    std::printf("  index built (first key)     %8.1f ms\n", buildMs);
    std::printf("  index memory                %8.1f MB (%.0f bytes a member); process grew "
                "%.1f MB\n",
                double(indexBytes) / 1e6, double(indexBytes) / members,
                double(rssAfter - rssBefore) / 1024.0);
    std::printf("  register file               %8.1f MB before, %.1f MB after (the index adds "
                "nothing to the file)\n",
                double(fileBytes) / 1e6, double(QFileInfo(path).size()) / 1e6);
    std::printf("  visit commit, median        %8.3f ms without, %.3f ms with the quick find "
                "(ratio %.3f)\n",
                commitBefore, commitAfter, commitAfter / commitBefore);
    return 0;
}
