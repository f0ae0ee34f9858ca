// SPDX-License-Identifier: GPL-3.0-or-later
#include "statistics/StatisticsSQL.h"

#include "db/RegisterSettings.h"
#include "db/RegisterTables.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "platform/os/Regional.h"
#include "platform/ui/StoredColour.h"
#include "renewals/Renewals.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>

namespace Statistics {

using Kind = qv::ConnectionString::Kind;

// ---- The membership year ------------------------------------------------------

// The renewals own the rule of the membership year; the figures follow it,
// so the window and the renewals never disagree on a year's days.
MembershipYear MembershipYear::FromText(const QString& text) {
    const Renewals::YearStart start =
        Renewals::ParseYearStart(text).value_or(Renewals::YearStart{});
    return {start.month, start.day};
}

MembershipYear MembershipYear::Read(qv::Connection& connection) {
    const Renewals::YearStart start = Renewals::GetYearStart(connection);
    return {start.month, start.day};
}

QDate MembershipYear::start(int year) const {
    return Renewals::FirstDay(year, {month, day});
}

int MembershipYear::yearOf(const QDate& day) const {
    return Renewals::YearOf(day, {month, this->day});
}

QString MembershipYear::name(int year) const {
    return Renewals::YearName(year, {month, day});
}

// ---- The table of a view ------------------------------------------------------

QString FigureTable::text(int row, int column) const {
    const std::optional<double> v = value(row, column);
    if (!v)
        return QString();
    if (formats[size_t(column)] == Format::Money)
        return qv::Regional::formatCurrency(*v);
    return QString::number(qint64(std::llround(*v)));
}

QString FigureTable::tabSeparated() const {
    // A tab or line break inside a label would shift the spreadsheet's cells.
    const auto cell = [](QString s) {
        for (QChar& c : s)
            if (c == u'\t' || c == u'\n' || c == u'\r')
                c = u' ';
        return s;
    };
    QString out = cell(labelHeading);
    for (const QString& c : columns)
        out += u'\t' + cell(c);
    out += u'\n';
    for (int r = 0; r < rowCount(); ++r) {
        out += cell(labels[r]);
        for (int c = 0; c < columnCount(); ++c) {
            out += u'\t';
            if (const std::optional<double> v = value(r, c))
                out += formats[size_t(c)] == Format::Money
                           ? QString::number(*v, 'f', 2)
                           : QString::number(qint64(std::llround(*v)));
        }
        out += u'\n';
    }
    return out;
}

namespace {

// The table of fees by level and year; a register without it owes nothing.
const QString FeeTable = QStringLiteral("LevelFees");

// ---- SQL pieces by kind ------------------------------------------------------

QString dateLiteral(Kind kind, const QDate& day) {
    const QString iso = day.toString(QStringLiteral("yyyy-MM-dd"));
    switch (kind) {
    case Kind::File:
        return u'#' + iso + QStringLiteral(" 00.00.00#");
    case Kind::PostgreSQL:
        return QStringLiteral("TIMESTAMP '") + iso + QStringLiteral(" 00:00:00'");
    case Kind::Server:
        break;
    }
    return QStringLiteral("CONVERT(DATETIME, '") + iso + QStringLiteral(" 00:00:00', 102)");
}

QString addDays(Kind kind, const QString& expression, int days) {
    switch (kind) {
    case Kind::File:
        return QStringLiteral("datetime(%1, '%2 day')").arg(expression).arg(days, 0, 10);
    case Kind::PostgreSQL:
        return QStringLiteral("(%1 + INTERVAL '%2 day')").arg(expression).arg(days);
    case Kind::Server:
        break;
    }
    return QStringLiteral("DATEADD(day, %1, %2)").arg(days).arg(expression);
}

// Whole years from the day a period began to today, counted as the long
// service list counts them: days with the time as a fraction, over 365.25,
// the fraction dropped.
QString serviceYears(Kind kind, const QString& joined, const QDate& today) {
    const QString now = dateLiteral(kind, today);
    switch (kind) {
    case Kind::File:
        return QStringLiteral("CAST(abs(julianday(%1) - julianday(%2)) / 365.25 AS INTEGER)")
            .arg(now, joined);
    case Kind::PostgreSQL:
        return QStringLiteral(
                   "CAST(trunc(abs(EXTRACT(EPOCH FROM (%1 - %2))) / 86400.0 / 365.25) AS integer)")
            .arg(now, joined);
    case Kind::Server:
        break;
    }
    return QStringLiteral("CAST(ABS(DATEDIFF(minute, %1, %2)) / 1440.0 / 365.25 AS int)")
        .arg(joined, now);
}

// The membership years as a derived table `y`: Y, the first day (YearStart)
// and the next year's (NextStart); the day the count is taken (its last day,
// or today for the year not yet over) and the day after (CountDay,
// CountNext); the ends of the days joiners and leavers are looked for
// (JoinEnd, LeaveEnd: a period ending after yesterday has not ended yet); and
// the last day of the years 1, 2 and 5 later with the day after (K1Day ...).
QString yearsTable(Kind kind, const MembershipYear& my, int first, int last, const QDate& today) {
    QStringList rows;
    for (int y = first; y <= last; ++y) {
        const QDate next = my.start(y + 1);
        const QDate countDay = std::min(my.lastDay(y), today);
        QString row = QStringLiteral("SELECT %1 AS Y").arg(y);
        const auto column = [&](const char* name, const QDate& day) {
            row += QStringLiteral(", ") + dateLiteral(kind, day) + QStringLiteral(" AS ") +
                   QLatin1String(name);
        };
        column("YearStart", my.start(y));
        column("NextStart", next);
        column("CountDay", countDay);
        column("CountNext", countDay.addDays(1));
        column("JoinEnd", std::min(next, today.addDays(1)));
        column("LeaveEnd", std::min(next, today));
        for (const int k : {1, 2, 5}) {
            column(QStringLiteral("K%1Day").arg(k).toLatin1().constData(), my.lastDay(y + k));
            column(QStringLiteral("K%1Next").arg(k).toLatin1().constData(), my.start(y + k + 1));
        }
        rows << row;
    }
    return u'(' + rows.join(QStringLiteral(" UNION ALL ")) + QStringLiteral(") y");
}

// Another period `e` of the member of period `d` covers the day `day`
// (whose next day is `next`).
QString covers(const QString& period, const QString& day, const QString& next) {
    return QStringLiteral("%1.DateJoined < %3 AND (%1.DateEnded IS NULL OR %1.DateEnded >= %2)")
        .arg(period, day, next);
}

// The member of period d is current: d is the latest period (latest start, the
// later key on the same day) and has not ended before today.
QString currentPeriod(Kind kind, const QDate& today) {
    return QStringLiteral("NOT EXISTS (SELECT 1 FROM DatesJoined e WHERE e.MemberID = d.MemberID "
                          "AND (e.DateJoined > d.DateJoined OR (e.DateJoined = d.DateJoined AND "
                          "e.DatesJoinedID > d.DatesJoinedID))) AND (d.DateEnded IS NULL OR "
                          "d.DateEnded >= ") +
           dateLiteral(kind, today) + u')';
}

struct Statement {
    QString levels, yearEnd, retention, leavers, service, fees, cities;

    QStringList list() const {
        return {levels, yearEnd, retention, leavers, service, fees, cities};
    }
};

// `fees`: the register has the table of fees by level and year (one opened
// read-only before the upgrade made it has none, and owes nothing).
Statement statements(Kind kind, const MembershipYear& my, int first, int last, const QDate& today,
                     bool fees) {
    Statement s;
    s.levels = QStringLiteral(
        "SELECT MembershipLevelID, MemberCategory, HighlightColour FROM MembershipLevel");

    // Counted under the level of the covering period that started last; the
    // year before the first gives the first year's net change. Those counted
    // owe their level's fee for the year, as the renewals bill it: the fee is
    // looked up once per year and level, not per member.
    const QString fee =
        fees ? Renewals::FeeSQL(QStringLiteral("c.MembershipLevelID"), QStringLiteral("c.Y"))
             : QStringLiteral("0");
    s.yearEnd =
        QStringLiteral("SELECT c.Y, c.MembershipLevelID, c.Members, c.Members * ") + fee +
        QStringLiteral(" AS Due FROM (SELECT y.Y, d.MembershipLevelID, COUNT(*) AS Members FROM ") +
        yearsTable(kind, my, first - 1, last, today) +
        QStringLiteral(" INNER JOIN DatesJoined d ON ") +
        covers(QStringLiteral("d"), QStringLiteral("y.CountDay"), QStringLiteral("y.CountNext")) +
        QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM DatesJoined e WHERE e.MemberID = "
                       "d.MemberID AND e.DatesJoinedID <> d.DatesJoinedID AND ") +
        covers(QStringLiteral("e"), QStringLiteral("y.CountDay"), QStringLiteral("y.CountNext")) +
        QStringLiteral(" AND (e.DateJoined > d.DateJoined OR (e.DateJoined = "
                       "d.DateJoined AND e.DatesJoinedID > d.DatesJoinedID))) GROUP BY "
                       "y.Y, d.MembershipLevelID) c");

    // A joiner starts a period that no other period of theirs runs into; each
    // person once a year, whatever number of periods they started in it.
    const QString years = yearsTable(kind, my, first, last, today);
    const QString joiners =
        QStringLiteral("SELECT DISTINCT y.Y, d.MemberID, y.K1Day, y.K1Next, y.K2Day, y.K2Next, "
                       "y.K5Day, y.K5Next FROM ") +
        years +
        QStringLiteral(" INNER JOIN DatesJoined d ON d.DateJoined >= y.YearStart AND "
                       "d.DateJoined < y.JoinEnd WHERE NOT EXISTS (SELECT 1 FROM DatesJoined e "
                       "WHERE e.MemberID = d.MemberID AND e.DateJoined < d.DateJoined AND "
                       "(e.DateEnded IS NULL OR e.DateEnded >= ") +
        addDays(kind, QStringLiteral("d.DateJoined"), -1) + QStringLiteral("))");
    QString kept;
    for (const int k : {1, 2, 5})
        kept += QStringLiteral(", CASE WHEN EXISTS (SELECT 1 FROM DatesJoined e WHERE e.MemberID = "
                               "c.MemberID AND ") +
                covers(QStringLiteral("e"), QStringLiteral("c.K%1Day").arg(k),
                       QStringLiteral("c.K%1Next").arg(k)) +
                QStringLiteral(") THEN 1 ELSE 0 END AS K%1").arg(k);
    // The flags are made below the grouping: SQL Server takes no subquery
    // inside an aggregate.
    s.retention = QStringLiteral("SELECT j.Y, COUNT(*) AS Joined, SUM(j.K1) AS After1, SUM(j.K2) "
                                 "AS After2, SUM(j.K5) AS After5 FROM (SELECT c.Y") +
                  kept + QStringLiteral(" FROM (") + joiners +
                  QStringLiteral(") c) j GROUP BY j.Y");

    // A leaver's period ends and no other period of theirs covers the next day.
    const QString dayAfter = addDays(kind, QStringLiteral("d.DateEnded"), 1);
    s.leavers = QStringLiteral("SELECT y.Y, COUNT(DISTINCT d.MemberID) AS Leavers FROM ") + years +
                QStringLiteral(" INNER JOIN DatesJoined d ON d.DateEnded >= y.YearStart AND "
                               "d.DateEnded < y.LeaveEnd WHERE NOT EXISTS (SELECT 1 FROM "
                               "DatesJoined e WHERE e.MemberID = d.MemberID AND e.DatesJoinedID "
                               "<> d.DatesJoinedID AND e.DateJoined <= ") +
                dayAfter + QStringLiteral(" AND (e.DateEnded IS NULL OR e.DateEnded >= ") +
                dayAfter + QStringLiteral(")) GROUP BY y.Y");

    // Bands of five years as the long service list rounds them (2 -> 0, 3 -> 5).
    s.service = QStringLiteral("SELECT s.Band, COUNT(*) AS Members FROM (SELECT (") +
                serviceYears(kind, QStringLiteral("d.DateJoined"), today) +
                QStringLiteral(" + 2) / 5 * 5 AS Band FROM DatesJoined d WHERE ") +
                currentPeriod(kind, today) + QStringLiteral(") s GROUP BY s.Band");

    s.fees = QStringLiteral("SELECT y.Y, COUNT(*) AS Payments, SUM(f.PaymentAmount) AS Income "
                            "FROM ") +
             years +
             QStringLiteral(" INNER JOIN FeePayments f ON f.PaymentDate >= y.YearStart AND "
                            "f.PaymentDate < y.NextStart GROUP BY y.Y");

    s.cities = QStringLiteral("SELECT m.City, COUNT(*) AS Members FROM Members m INNER JOIN "
                              "DatesJoined d ON d.MemberID = m.MemberID WHERE ") +
               currentPeriod(kind, today) + QStringLiteral(" GROUP BY m.City");
    return s;
}

// To the cent, and never "-0.00".
double cents(double amount) {
    const double rounded = std::round(amount * 100.0) / 100.0;
    return rounded == 0.0 ? 0.0 : rounded;
}

qv::Result run(qv::Connection& connection, const QString& sql) {
    qv::Query q(&connection);
    q.setSQL(sql);
    qv::Result r;
    q.fetch(r);
    return r;
}

qv::Value at(const qv::Result& r, int row, int column) {
    return r.rows.value(r.rows.cell(row, column));
}

FigureTable yearTable(const QString& title, const MembershipYear& my, int first, int last,
                      const QStringList& columns) {
    FigureTable t;
    t.title = title;
    t.labelHeading = QStringLiteral("Year");
    t.columns = columns;
    t.colours.assign(size_t(columns.size()), QColor());
    t.formats.assign(size_t(columns.size()), FigureTable::Format::Count);
    for (int y = first; y <= last; ++y) {
        t.labels << my.name(y);
        t.keys.push_back(y);
        t.values.emplace_back(size_t(columns.size()), 0.0);
    }
    return t;
}

} // namespace

QStringList Statements(qv::Connection& connection, const MembershipYear& year, int first, int last,
                       const QDate& today) {
    return statements(connection.kind(), year, first, last, today,
                      RegisterTables::HasTable(connection, FeeTable))
        .list();
}

Figures Compute(qv::Connection& connection, const MembershipYear& my, int first, int last,
                const QDate& today) {
    const Statement sql = statements(connection.kind(), my, first, last, today,
                                     RegisterTables::HasTable(connection, FeeTable));
    Figures f;

    // ---- Members at each year's end, by level
    struct Level {
        QString name;
        QColor colour;
    };
    std::map<qint64, Level> levels;
    {
        const qv::Result r = run(connection, sql.levels);
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            const qv::Value colour = at(r, i, 2);
            levels[at(r, i, 0).toInteger()] = {at(r, i, 1).toText(),
                                               colour.isNull() || colour.toInteger() < 0
                                                   ? QColor()
                                                   : qv::storedColour(colour.toInteger())};
        }
    }
    std::map<int, std::map<qint64, qint64>> yearEnd; // year -> level -> members
    std::map<int, double> due;                       // year -> fees of those counted
    std::map<qint64, bool> levelSeen;
    {
        const qv::Result r = run(connection, sql.yearEnd);
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            const int y = int(at(r, i, 0).toInteger());
            const qint64 level = at(r, i, 1).toInteger();
            yearEnd[y][level] += at(r, i, 2).toInteger();
            const qv::Value owed = at(r, i, 3);
            due[y] += owed.isNull() ? 0.0 : owed.toFloat();
            if (y >= first)
                levelSeen[level] = true;
        }
    }
    // Levels in name order; only those with members in the years shown.
    std::vector<qint64> shown;
    for (const auto& [id, seen] : levelSeen)
        shown.push_back(id);
    std::sort(shown.begin(), shown.end(), [&levels](qint64 a, qint64 b) {
        const int order = QString::compare(levels[a].name, levels[b].name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    QStringList levelNames;
    for (const qint64 id : shown)
        levelNames << (levels.count(id) ? levels[id].name : QStringLiteral("Level %1").arg(id));
    f.membersByLevel = yearTable(QStringLiteral("Members at the end of each year, by level"), my,
                                 first, last, levelNames + QStringList{QStringLiteral("Total")});
    for (size_t c = 0; c < shown.size(); ++c)
        f.membersByLevel.colours[c] = levels[shown[c]].colour;
    const auto total = [&yearEnd](int y) {
        qint64 sum = 0;
        for (const auto& [level, n] : yearEnd[y])
            sum += n;
        return sum;
    };
    for (int r = 0; r < f.membersByLevel.rowCount(); ++r) {
        const int y = first + r;
        for (size_t c = 0; c < shown.size(); ++c)
            f.membersByLevel.values[size_t(r)][c] = double(yearEnd[y][shown[c]]);
        f.membersByLevel.values[size_t(r)][shown.size()] = double(total(y));
    }

    // ---- Joiners, leavers, net change; retention of each year's joiners
    f.joinersLeavers =
        yearTable(QStringLiteral("Joiners and leavers"), my, first, last,
                  {QStringLiteral("Joined"), QStringLiteral("Left"), QStringLiteral("Net change")});
    f.retention = yearTable(QStringLiteral("Retention of each year's joiners"), my, first, last,
                            {QStringLiteral("Joined"), QStringLiteral("After 1 year"),
                             QStringLiteral("After 2 years"), QStringLiteral("After 5 years")});
    {
        const qv::Result r = run(connection, sql.retention);
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            const size_t row = size_t(at(r, i, 0).toInteger() - first);
            f.joinersLeavers.values[row][0] = double(at(r, i, 1).toInteger());
            for (int c = 0; c < 4; ++c)
                f.retention.values[row][size_t(c)] = double(at(r, i, 1 + c).toInteger());
        }
    }
    {
        const qv::Result r = run(connection, sql.leavers);
        for (int i = 0; i < r.rows.rowCount(); ++i)
            f.joinersLeavers.values[size_t(at(r, i, 0).toInteger() - first)][1] =
                double(at(r, i, 1).toInteger());
    }
    for (int r = 0; r < f.joinersLeavers.rowCount(); ++r) {
        const int y = first + r;
        f.joinersLeavers.values[size_t(r)][2] = double(total(y) - total(y - 1));
        // Not yet known while the year it is taken at has not ended.
        const int after[] = {1, 2, 5};
        for (int c = 0; c < 3; ++c)
            if (my.lastDay(y + after[c]) > today)
                f.retention.values[size_t(r)][size_t(c + 1)].reset();
    }

    // ---- Years of service of current members
    f.yearsOfService.title = QStringLiteral("Years of service of current members");
    f.yearsOfService.labelHeading = QStringLiteral("Years (nearest five)");
    f.yearsOfService.columns = {QStringLiteral("Members")};
    f.yearsOfService.colours = {QColor()};
    f.yearsOfService.formats = {FigureTable::Format::Count};
    {
        const qv::Result r = run(connection, sql.service);
        std::map<int, qint64> bands;
        for (int i = 0; i < r.rows.rowCount(); ++i)
            bands[int(at(r, i, 0).toInteger())] += at(r, i, 1).toInteger();
        // Every band up to the longest, empty ones too: a histogram has no gaps.
        const int longest = bands.empty() ? -1 : bands.rbegin()->first;
        for (int band = 0; band <= longest; band += 5) {
            f.yearsOfService.labels << QString::number(band);
            f.yearsOfService.keys.push_back(band);
            f.yearsOfService.values.push_back({double(bands[band])});
        }
    }

    // ---- Fees due and paid
    f.feeIncome = yearTable(QStringLiteral("Fees due and paid"), my, first, last,
                            {QStringLiteral("Payments"), QStringLiteral("Due"),
                             QStringLiteral("Paid"), QStringLiteral("Outstanding")});
    for (const int c : {FeeDue, FeePaid, FeeOutstanding})
        f.feeIncome.formats[size_t(c)] = FigureTable::Format::Money;
    {
        const qv::Result r = run(connection, sql.fees);
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            const size_t row = size_t(at(r, i, 0).toInteger() - first);
            f.feeIncome.values[row][FeePayments] = double(at(r, i, 1).toInteger());
            const qv::Value income = at(r, i, 2);
            f.feeIncome.values[row][FeePaid] = income.isNull() ? 0.0 : income.toFloat();
        }
    }
    for (int r = 0; r < f.feeIncome.rowCount(); ++r) {
        std::vector<std::optional<double>>& cells = f.feeIncome.values[size_t(r)];
        cells[FeeDue] = cents(due[first + r]);
        // Below 0 when more came in than was due; to the cent, so adding
        // up amounts leaves no stray fraction of one.
        cells[FeeOutstanding] = cents(*cells[FeeDue] - *cells[FeePaid]);
    }

    // ---- Current members by city
    f.membersByCity.title = QStringLiteral("Current members by city");
    f.membersByCity.labelHeading = QStringLiteral("City");
    f.membersByCity.columns = {QStringLiteral("Members")};
    f.membersByCity.colours = {QColor()};
    f.membersByCity.formats = {FigureTable::Format::Count};
    {
        // "Leeds", "LEEDS" and "Leeds " are one city, shown as most members write it.
        struct City {
            qint64 members = 0;
            QHash<QString, qint64> spellings;
        };
        QHash<QString, City> cities;
        const qv::Result r = run(connection, sql.cities);
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            const qv::Value name = at(r, i, 0);
            const QString shown = name.isNull() ? QString() : name.toText().simplified();
            City& city = cities[shown.toCaseFolded()];
            const qint64 n = at(r, i, 1).toInteger();
            city.members += n;
            city.spellings[shown] += n;
        }
        struct Row {
            QString name;
            qint64 members;
        };
        std::vector<Row> rows;
        for (const City& city : std::as_const(cities)) {
            QString best;
            qint64 most = -1;
            for (auto s = city.spellings.cbegin(); s != city.spellings.cend(); ++s)
                if (s.value() > most || (s.value() == most && s.key() < best)) {
                    best = s.key();
                    most = s.value();
                }
            rows.push_back({best.isEmpty() ? QStringLiteral("(no city)") : best, city.members});
        }
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            if (a.members != b.members)
                return a.members > b.members;
            return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
        });
        qint64 other = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (int(i) < CityRows) {
                f.membersByCity.labels << rows[i].name;
                f.membersByCity.values.push_back({double(rows[i].members)});
            } else {
                other += rows[i].members;
            }
        }
        if (rows.size() > size_t(CityRows)) {
            f.membersByCity.labels << QStringLiteral("Other");
            f.membersByCity.values.push_back({double(other)});
        }
    }
    return f;
}

} // namespace Statistics
