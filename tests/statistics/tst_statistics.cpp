// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics window's figures against a plain count over the register's
// rows, on a generated register; its print, picture and clipboard output.
#include "support/AppTestMain.h"
#include "support/PgFixture.h"
#include "support/RegisterFixture.h"

#include "db/RegisterSettings.h"
#include "db/RegisterTables.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "renewals/Renewals.h"
#include "reports/PrintShared.h"
#include "statistics/StatisticsFrm.h"

#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <map>
#include <set>

using namespace Statistics;
using qv::Value;

namespace {

struct Period {
    qint64 id, member, level;
    QDate joined, ended;
};

struct Rows {
    std::map<qint64, QString> city;  // member -> city (null as empty)
    std::map<qint64, QString> level; // level key -> name
    std::vector<Period> periods;
    std::vector<std::pair<QDate, double>> payments;
};

// Fees by level and year: years between amounts take the earlier one, a fee
// of 0, years before any amount, and a level ("Life") without any.
const std::map<QString, std::map<int, double>> Fees = {
    {QStringLiteral("Member"), {{2010, 20.0}, {2016, 25.5}, {2022, 31.25}}},
    {QStringLiteral("Junior"), {{2015, 10.0}, {2021, 0.0}, {2024, 12.75}}},
};

double feeOf(const QString& level, int year) {
    double fee = 0;
    const auto amounts = Fees.find(level);
    if (amounts != Fees.end())
        for (const auto& [from, amount] : amounts->second)
            if (from <= year)
                fee = amount;
    return fee;
}

// A register with every pattern the rules tell apart: several periods, a
// period ending on 31 December followed by one from 1 January, re-joiners
// after a gap, a level changed mid-year (one period ends, the next begins the
// day after), overlapping periods, cities written in several ways, members
// without a period.
void generate(qv::Connection& c) {
    QRandomGenerator random(27);
    const auto insert = [&c](const QString& table, const QString& key, const QStringList& columns,
                             const std::vector<Value>& values) {
        return c.provider().insertRow(table, key, columns, values);
    };
    std::vector<qint64> levels = {1};
    levels.push_back(insert(QStringLiteral("MembershipLevel"), QStringLiteral("MembershipLevelID"),
                            {QStringLiteral("MemberCategory"), QStringLiteral("HighlightColour"),
                             QStringLiteral("FontColour"), QStringLiteral("IncludeLongService")},
                            {QStringLiteral("Junior"), qint64(0x00C000), qint64(-1), true}));
    levels.push_back(insert(QStringLiteral("MembershipLevel"), QStringLiteral("MembershipLevelID"),
                            {QStringLiteral("MemberCategory"), QStringLiteral("HighlightColour"),
                             QStringLiteral("FontColour"), QStringLiteral("IncludeLongService")},
                            {QStringLiteral("Life"), qint64(0x0000C0), qint64(-1), true}));
    for (const auto& [name, amounts] : Fees)
        for (const auto& [year, amount] : amounts)
            insert(QStringLiteral("LevelFees"), QStringLiteral("LevelFeeID"),
                   {QStringLiteral("MembershipLevelID"), QStringLiteral("MembershipYear"),
                    QStringLiteral("Fee")},
                   {levels[name == QLatin1String("Member") ? 0 : 1], qint64(year), amount});
    const QStringList cities = {"Leeds", "LEEDS", "Leeds ", "York",  "Hull",   "Bath",   "Ely",
                                "Wells", "Ripon", "Truro",  "Derby", "Leek",   "Bury",   "Rye",
                                "Looe",  "Deal",  "Diss",   "Ware",  "Zürich", "zürich", ""};
    const auto level = [&] { return levels[random.bounded(int(levels.size()))]; };
    for (int m = 0; m < 400; ++m) {
        const QString city = cities[random.bounded(int(cities.size()))];
        const qint64 id = insert(
            QStringLiteral("Members"), QStringLiteral("MemberID"),
            {QStringLiteral("Surname"), QStringLiteral("FirstNames"), QStringLiteral("City")},
            {QStringLiteral("S%1").arg(m), QStringLiteral("F"),
             city.isEmpty() && m % 2 ? Value() : Value(city)});
        const auto period = [&](const QDate& joined, const QDate& ended) {
            insert(QStringLiteral("DatesJoined"), QStringLiteral("DatesJoinedID"),
                   {QStringLiteral("MembershipLevelID"), QStringLiteral("MemberID"),
                    QStringLiteral("DateJoined"), QStringLiteral("DateEnded")},
                   {level(), id, joined, ended.isValid() ? Value(ended) : Value()});
        };
        if (m % 40 == 0)
            continue; // no period at all
        QDate joined = QDate(1985, 1, 1).addDays(random.bounded(41 * 365));
        for (int p = 0, n = 1 + random.bounded(3); p < n; ++p) {
            QDate ended;
            const int shape = random.bounded(8);
            if (shape == 0) {
                ended = QDate(joined.year() + random.bounded(3), 12, 31);
            } else if (shape < 5) {
                ended = joined.addDays(30 + random.bounded(6 * 365));
            }
            if (ended.isValid() && ended < joined)
                ended = joined;
            period(joined, ended);
            if (random.bounded(4) == 0) // an overlapping second period
                period(joined.addDays(random.bounded(200)), QDate());
            if (!ended.isValid())
                break;
            // Straight on (a level change, or 31 December to 1 January), or back later.
            joined = random.bounded(2) ? ended.addDays(1) : ended.addDays(1 + random.bounded(900));
        }
        for (int p = 0, n = random.bounded(4); p < n; ++p)
            insert(QStringLiteral("FeePayments"), QStringLiteral("FeePaymentID"),
                   {QStringLiteral("PaymentDate"), QStringLiteral("MemberID"),
                    QStringLiteral("PaymentAmount")},
                   {QDate(2012, 1, 1).addDays(random.bounded(15 * 365)), id,
                    double(random.bounded(1, 8000)) / 4.0});
    }
}

Rows readRows(qv::Connection& c) {
    Rows rows;
    const auto fetch = [&c](const QString& sql) {
        qv::Query q(&c);
        q.setSQL(sql);
        qv::Result r;
        q.fetch(r);
        return r;
    };
    const auto at = [](const qv::Result& r, int row, int col) {
        return r.rows.value(r.rows.cell(row, col));
    };
    qv::Result r = fetch(QStringLiteral("SELECT MemberID, City FROM Members"));
    for (int i = 0; i < r.rows.rowCount(); ++i)
        rows.city[at(r, i, 0).toInteger()] =
            at(r, i, 1).isNull() ? QString() : at(r, i, 1).toText();
    r = fetch(QStringLiteral("SELECT MembershipLevelID, MemberCategory FROM MembershipLevel"));
    for (int i = 0; i < r.rows.rowCount(); ++i)
        rows.level[at(r, i, 0).toInteger()] = at(r, i, 1).toText();
    r = fetch(QStringLiteral("SELECT DatesJoinedID, MemberID, MembershipLevelID, DateJoined, "
                             "DateEnded FROM DatesJoined"));
    for (int i = 0; i < r.rows.rowCount(); ++i)
        rows.periods.push_back({at(r, i, 0).toInteger(), at(r, i, 1).toInteger(),
                                at(r, i, 2).toInteger(), at(r, i, 3).toDateTime().date(),
                                at(r, i, 4).isNull() ? QDate() : at(r, i, 4).toDateTime().date()});
    r = fetch(QStringLiteral("SELECT PaymentDate, PaymentAmount FROM FeePayments"));
    for (int i = 0; i < r.rows.rowCount(); ++i)
        rows.payments.push_back({at(r, i, 0).toDateTime().date(), at(r, i, 1).toFloat()});
    return rows;
}

// ---- The count the figures must equal, one rule at a time -------------------

bool covers(const Period& p, const QDate& day) {
    return p.joined <= day && (!p.ended.isValid() || p.ended >= day);
}

// Member -> level of the covering period that started last, on `day`.
std::map<qint64, qint64> membersOn(const Rows& rows, const QDate& day) {
    std::map<qint64, const Period*> chosen;
    for (const Period& p : rows.periods) {
        if (!covers(p, day))
            continue;
        const Period*& c = chosen[p.member];
        if (!c || p.joined > c->joined || (p.joined == c->joined && p.id > c->id))
            c = &p;
    }
    std::map<qint64, qint64> levels;
    for (const auto& [member, p] : chosen)
        levels[member] = p->level;
    return levels;
}

bool anyOtherCovers(const Rows& rows, const Period& p, const QDate& day) {
    for (const Period& q : rows.periods)
        if (q.member == p.member && q.id != p.id && covers(q, day))
            return true;
    return false;
}

std::set<qint64> joiners(const Rows& rows, const MembershipYear& my, int y, const QDate& today) {
    std::set<qint64> people;
    for (const Period& p : rows.periods)
        if (p.joined >= my.start(y) && p.joined <= std::min(my.lastDay(y), today) &&
            !anyOtherCovers(rows, p, p.joined.addDays(-1)))
            people.insert(p.member);
    return people;
}

qint64 leavers(const Rows& rows, const MembershipYear& my, int y, const QDate& today) {
    std::set<qint64> people;
    for (const Period& p : rows.periods)
        if (p.ended.isValid() && p.ended >= my.start(y) && p.ended <= my.lastDay(y) &&
            p.ended < today && !anyOtherCovers(rows, p, p.ended.addDays(1)))
            people.insert(p.member);
    return qint64(people.size());
}

// Current members with the start of their latest period.
std::map<qint64, QDate> currentMembers(const Rows& rows, const QDate& today) {
    std::map<qint64, const Period*> latest;
    for (const Period& p : rows.periods) {
        const Period*& c = latest[p.member];
        if (!c || p.joined > c->joined || (p.joined == c->joined && p.id > c->id))
            c = &p;
    }
    std::map<qint64, QDate> current;
    for (const auto& [member, p] : latest)
        if (!p->ended.isValid() || p->ended >= today)
            current[member] = p->joined;
    return current;
}

QString cellsOf(const FigureTable& t, int row) {
    QStringList cells{t.labels[row]};
    for (int c = 0; c < t.columnCount(); ++c)
        cells << t.text(row, c);
    return cells.join(u'|');
}

#define COMPARE_ROW(table, row, expected)                                                          \
    QCOMPARE(cellsOf(table, row), QStringList(expected).join(u'|'))

QString n(qint64 value) {
    return QString::number(value);
}

[[maybe_unused]] QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestStatistics : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void figuresEqualPlainCount_data();
    void figuresEqualPlainCount();
#ifndef QV_STATISTICS_PG
    void yearNames_data();
    void yearNames();
    void printedTablesReadBack();
    void windowFollowsRangeAndExports();
#endif

private:
    qv::Connection& connection();

#ifdef QV_STATISTICS_PG
    std::unique_ptr<qv::test::PgRegister> m_register;
#else
    std::unique_ptr<qv::test::Register> m_register;
#endif
    qv::test::SettingsSandbox m_settings;
};

qv::Connection& TestStatistics::connection() {
    return m_register->connection();
}

void TestStatistics::initTestCase() {
    qv::test::pinRegional();
#ifdef QV_STATISTICS_PG
    QV_REQUIRE_PG_SERVER();
    m_register = std::make_unique<qv::test::PgRegister>();
#else
    m_register = std::make_unique<qv::test::Register>();
#endif
    // The program's own tables, as the upgrade on opening makes them.
    connection().beginTrans();
    RegisterTables::CreateMissing(connection());
    generate(connection());
    connection().commitTrans();
}

void TestStatistics::cleanup() {
    qv::Clock::resetNow();
}

void TestStatistics::figuresEqualPlainCount_data() {
    QTest::addColumn<QString>("yearStart");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("feeTable");
    QTest::newRow("calendar year, mid-year today")
        << "01-01" << QDate(2026, 6, 15) << 2017 << 2026 << true;
    QTest::newRow("calendar year, today 31 December")
        << "01-01" << QDate(2025, 12, 31) << 1990 << 2025 << true;
    QTest::newRow("from 1 April") << "04-01" << QDate(2026, 6, 15) << 2014 << 2026 << true;
    QTest::newRow("from 1 April, its last day")
        << "04-01" << QDate(2026, 3, 31) << 2000 << 2025 << true;
    QTest::newRow("one year") << "10-15" << QDate(2024, 2, 29) << 2019 << 2019 << true;
    QTest::newRow("no fee table") << "01-01" << QDate(2026, 6, 15) << 2020 << 2026 << false;
}

// Catches: a year's end taken a day off; periods counted in place of people;
// a level change or a 31 December to 1 January period counted as leaving and
// joining; the level of an earlier covering period; the membership year's
// first day ignored; years of service rounded unlike the long service list;
// cities split by case or spaces; the top fifteen or "Other" miscounted; fees
// due by a level other than the one that counts the member, a year without an
// amount not taking the earlier one, a member billed once per period; a
// register without the fee table failing rather than owing nothing.
void TestStatistics::figuresEqualPlainCount() {
    QFETCH(QString, yearStart);
    QFETCH(QDate, today);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, feeTable);
    qv::Clock::setNowForTesting(QDateTime(today, QTime(10, 30)));
    connection().beginTrans();
    RegisterSettings::SetValue(connection(), Renewals::YearStartSetting, yearStart);
    connection().commitTrans();
    const MembershipYear my = MembershipYear::Read(connection());
    QCOMPARE(my.start(2020), QDate::fromString(QStringLiteral("2020-") + yearStart, Qt::ISODate));

    const Rows rows = readRows(connection());
    Figures f;
    if (feeTable) {
        f = Compute(connection(), my, first, last, today);
    } else {
        // As a register opened read-only before the upgrade made the table.
        connection().beginTrans();
        connection().execute(QStringLiteral("DROP TABLE LevelFees"));
        try {
            f = Compute(connection(), my, first, last, today);
        } catch (...) {
            connection().rollbackTrans();
            throw;
        }
        connection().rollbackTrans();
    }

    const auto total = [&](int y) {
        return qint64(membersOn(rows, std::min(my.lastDay(y), today)).size());
    };
    QCOMPARE(f.membersByLevel.rowCount(), last - first + 1);
    for (int y = first; y <= last; ++y) {
        const int row = y - first;
        const std::map<qint64, qint64> on = membersOn(rows, std::min(my.lastDay(y), today));
        std::map<QString, qint64> byName;
        for (const auto& [member, level] : on)
            byName[rows.level.at(level)]++;
        QStringList expected{my.name(y)};
        for (const QString& level :
             f.membersByLevel.columns.mid(0, f.membersByLevel.columnCount() - 1))
            expected << n(byName[level]);
        expected << n(qint64(on.size()));
        COMPARE_ROW(f.membersByLevel, row, expected);

        const std::set<qint64> cohort = joiners(rows, my, y, today);
        COMPARE_ROW(f.joinersLeavers, row,
                    (QStringList{my.name(y), n(qint64(cohort.size())),
                                 n(leavers(rows, my, y, today)), n(total(y) - total(y - 1))}));

        QStringList retained{my.name(y), n(qint64(cohort.size()))};
        for (const int k : {1, 2, 5}) {
            const QDate day = my.lastDay(y + k);
            const std::map<qint64, qint64> then = membersOn(rows, day);
            qint64 kept = 0;
            for (const qint64 member : cohort)
                kept += then.count(member);
            retained << (day > today ? QString() : n(kept));
        }
        COMPARE_ROW(f.retention, row, retained);

        double income = 0;
        qint64 payments = 0;
        for (const auto& [day, amount] : rows.payments)
            if (day >= my.start(y) && day < my.start(y + 1)) {
                income += amount;
                ++payments;
            }
        double due = 0;
        if (feeTable)
            for (const auto& [member, level] : on)
                due += feeOf(rows.level.at(level), y);
        COMPARE_ROW(f.feeIncome, row,
                    (QStringList{my.name(y), n(payments), qv::Regional::formatCurrency(due),
                                 qv::Regional::formatCurrency(income),
                                 qv::Regional::formatCurrency(due - income)}));
    }
    // The colours of the levels that have one.
    const int junior = int(f.membersByLevel.columns.indexOf(QStringLiteral("Junior")));
    QVERIFY(junior >= 0);
    QCOMPARE(f.membersByLevel.colours[size_t(junior)], QColor(0, 0xC0, 0));
    QVERIFY(!f.membersByLevel
                 .colours[size_t(f.membersByLevel.columns.indexOf(QStringLiteral("Member")))]
                 .isValid());

    const std::map<qint64, QDate> current = currentMembers(rows, today);
    std::map<int, qint64> bands;
    for (const auto& [member, joined] : current)
        bands[PrintShared::YearsService(QDateTime(joined, QTime(0, 0)), QDateTime(), true, -1)]++;
    QCOMPARE(f.yearsOfService.rowCount(), bands.rbegin()->first / 5 + 1);
    for (int r = 0; r < f.yearsOfService.rowCount(); ++r)
        COMPARE_ROW(f.yearsOfService, r, (QStringList{n(r * 5), n(bands[r * 5])}));

    std::map<QString, qint64> byCity;
    for (const auto& [member, joined] : current)
        byCity[rows.city.at(member).trimmed().toCaseFolded()]++;
    std::vector<qint64> sizes;
    for (const auto& [city, count] : byCity)
        sizes.push_back(count);
    std::sort(sizes.rbegin(), sizes.rend());
    QCOMPARE(f.membersByCity.rowCount(), std::min<int>(int(sizes.size()), CityRows + 1));
    qint64 other = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (i < size_t(CityRows)) {
            QCOMPARE(f.membersByCity.value(int(i), 0), double(sizes[i]));
            QCOMPARE(byCity[f.membersByCity.labels[int(i)].toCaseFolded().replace(
                         QStringLiteral("(no city)"), QString())],
                     sizes[i]);
        } else {
            other += sizes[i];
        }
    }
    if (sizes.size() > size_t(CityRows))
        COMPARE_ROW(f.membersByCity, CityRows, (QStringList{QStringLiteral("Other"), n(other)}));
}

#ifndef QV_STATISTICS_PG

void TestStatistics::yearNames_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDate>("start");
    QTest::newRow("calendar") << "01-01" << QDate(2026, 1, 1) << "2026" << QDate(2026, 1, 1);
    QTest::newRow("April, before")
        << "04-01" << QDate(2026, 3, 31) << "2025/26" << QDate(2025, 4, 1);
    QTest::newRow("April, on") << "04-01" << QDate(2026, 4, 1) << "2026/27" << QDate(2026, 4, 1);
    QTest::newRow("century") << "09-01" << QDate(2099, 12, 1) << "2099/00" << QDate(2099, 9, 1);
    QTest::newRow("29 February, not in every year")
        << "02-29" << QDate(2025, 2, 28) << "2025" << QDate(2025, 1, 1);
    QTest::newRow("mistyped") << "4/1" << QDate(2026, 3, 31) << "2026" << QDate(2026, 1, 1);
    QTest::newRow("no such day") << "02-30" << QDate(2026, 3, 31) << "2026" << QDate(2026, 1, 1);
}

// Catches: a year named after the wrong calendar year, a day before the first
// put in the new year, a mistyped setting giving no year at all.
void TestStatistics::yearNames() {
    QFETCH(QString, setting);
    QFETCH(QDate, day);
    QFETCH(QString, name);
    QFETCH(QDate, start);
    const MembershipYear my = MembershipYear::FromText(setting);
    const int y = my.yearOf(day);
    QCOMPARE(my.name(y), name);
    QCOMPARE(my.start(y), start);
    QVERIFY(my.start(y) <= day && day <= my.lastDay(y));
}

// Catches: a view missing from the printed set, a table cut off or its rows
// mixed up, a chart not drawn, a half PDF file.
void TestStatistics::printedTablesReadBack() {
    qv::Clock::setNowForTesting(QDateTime(QDate(2026, 6, 15), QTime(10, 30)));
    connection().beginTrans();
    RegisterSettings::SetValue(connection(), Renewals::YearStartSetting, QStringLiteral("04-01"));
    connection().commitTrans();
    TfrmStatistics window(connection());
    qv::test::TempFolder out;
    const QString file = out.filePath(QStringLiteral("figures.pdf"));
    {
        qv::PrintDialogTestScope print;
        qv::MessageBoxTestScope boxes;
        boxes.queue(qv::MessageResult::Ok);
        qv::PrintDialogTest::queuePdf(file);
        window.btnPrintClick();
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(boxes.shown()[0].text.contains(file));
    }
    const QString text = pdfText(file);
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        lines << line.simplified();
    QCOMPARE(text.count(u'\f'), ViewCount); // one page each, and no more
    for (const FigureTable* table : window.figures().all()) {
        QVERIFY2(lines.contains(table->title), qPrintable(table->title));
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells{table->labels[r]};
            for (int c = 0; c < table->columnCount(); ++c)
                if (!table->text(r, c).isEmpty())
                    cells << table->text(r, c);
            const QString expected = cells.join(u' ');
            QVERIFY2(lines.contains(expected),
                     qPrintable(expected + QStringLiteral(" in:\n") + text));
        }
    }
    QVERIFY(lines.contains(
        QStringLiteral("Membership years 2017/18 to 2026/27, the last counted on 15/06/2026")));

    // The charts are on the pages: each page has a large picture.
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file});
    QVERIFY(images.waitForFinished(60000));
    const QStringList listed =
        QString::fromUtf8(images.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(listed.size() - 2, ViewCount); // two heading lines
}

// Catches: the range boxes not reaching the figures, or showing years whose
// figures could not be read; a copied table that is not the one shown; a
// saved picture that is empty, not there or of the wrong kind.
void TestStatistics::windowFollowsRangeAndExports() {
    qv::Clock::setNowForTesting(QDateTime(QDate(2026, 6, 15), QTime(10, 30)));
    connection().beginTrans();
    RegisterSettings::SetValue(connection(), Renewals::YearStartSetting, QStringLiteral("01-01"));
    connection().commitTrans();
    TfrmStatistics window(connection());
    window.show();
    QCOMPARE(window.tabViews->count(), ViewCount);
    QCOMPARE(window.firstYear(), 2017);
    QCOMPARE(window.lastYear(), 2026);

    // A From year past the To year takes the To year with it.
    window.cboFromYear->setCurrentIndex(window.cboFromYear->findData(2000));
    window.cboToYear->setCurrentIndex(window.cboToYear->findData(1995));
    QCOMPARE(window.firstYear(), 1995);
    QCOMPARE(window.lastYear(), 1995);
    window.cboToYear->setCurrentIndex(window.cboToYear->findData(2004));
    QCOMPARE(window.grdViews[1]->model()->rowCount(), 10);
    QCOMPARE(window.grdViews[1]->model()->index(9, 0).data().toString(), QStringLiteral("2004"));
    QCOMPARE(window.chtViews[1]->chart()->title(), window.figures().joinersLeavers.title);

    window.tabViews->setCurrentIndex(int(View::FeeIncome));
    QTest::mouseClick(window.btnCopyTable, Qt::LeftButton);
    const QStringList copied = QGuiApplication::clipboard()->text().split(u'\n');
    QCOMPARE(copied[0], QStringLiteral("Year\tPayments\tDue\tPaid\tOutstanding"));
    QCOMPARE(copied.size(), 12); // heading, ten years, the last line break
    QVERIFY(!window.lblStatus->text().isEmpty());

    qv::test::TempFolder out;
    qv::FileDialogTestScope dialogs;
    qv::MessageBoxTestScope boxes;
    for (const char* name : {"chart.png", "chart.svg"}) {
        const QString path = out.filePath(QLatin1String(name));
        qv::FileDialogTest::queueAnswer(path);
        boxes.queue(qv::MessageResult::Ok);
        QTest::mouseClick(window.btnSaveChart, Qt::LeftButton);
        QCOMPARE(boxes.shown().last().text,
                 qv::FileSavedText(QStringLiteral("The chart was saved."), path));
    }
    const QImage png(out.filePath(QStringLiteral("chart.png")), "PNG");
    QCOMPARE(png.size(), QSize(1600, 900));
    std::set<QRgb> colours; // something is drawn: more than background and text
    for (int y = 0; y < png.height(); y += 7)
        for (int x = 0; x < png.width(); x += 7)
            colours.insert(png.pixel(x, y));
    QVERIFY(colours.size() > 5);
    const QByteArray svg = qv::test::readFileBytes(out.filePath(QStringLiteral("chart.svg")));
    QVERIFY(svg.contains("<svg"));
    QVERIFY(svg.contains(window.figures().feeIncome.title.toUtf8()));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 2); // no leftovers beside them

    // A year that cannot be read is reported, and the boxes go back to the
    // years still shown.
    connection().close();
    boxes.queue(qv::MessageResult::Ok);
    QTest::keyClick(window.cboFromYear, Qt::Key_Down);
    connection().open();
    QCOMPARE(boxes.shown().last().kind, qv::MessageKind::Error);
    QCOMPARE(window.firstYear(), 1995);
    QCOMPARE(window.lastYear(), 2004);
}

#endif

QV_APP_TEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
