// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace qv {
class Connection;
}

// The figures the committee asks for at the annual meeting, counted by the
// database: each view is one or two aggregate queries over the register, so
// a register of any size sends back a few dozen rows, never its members.
namespace Statistics {

// The membership year: it starts on the same day every calendar year and is
// named after the calendar year it starts in.
struct MembershipYear {
    int month = 1;
    int day = 1;

    // "MM-DD"; anything else (or a day not in every year, 29 February) gives
    // 1 January, so a mistyped setting still gives figures rather than none.
    static MembershipYear FromText(const QString& text);
    // The register's setting, 1 January when it was never set.
    static MembershipYear Read(qv::Connection& connection);

    // The first day of the year named `year`.
    QDate start(int year) const;
    QDate lastDay(int year) const { return start(year + 1).addDays(-1); }
    // The year the day falls in.
    int yearOf(const QDate& day) const;
    // "2026" for a year that starts on 1 January, else "2026/27".
    QString name(int year) const;
};

// One view's numbers as a table: a label per row (the year, the band of
// years, the city) and a value per column; the chart is drawn from it and
// the table is its accessible form.
struct FigureTable {
    enum class Format { Count, Money };

    QString title;
    QString labelHeading;
    QStringList labels;
    std::vector<int> keys; // the row's year or band, where rows have one
    QStringList columns;
    std::vector<QColor> colours; // per column; invalid when it has none of its own
    std::vector<Format> formats; // per column
    std::vector<std::vector<std::optional<double>>> values; // [row][column]; none: blank

    int rowCount() const { return int(labels.size()); }
    int columnCount() const { return int(columns.size()); }
    std::optional<double> value(int row, int column) const {
        return values[size_t(row)][size_t(column)];
    }
    // A cell as the table shows it: counts as whole numbers, money in the
    // regional currency form, blank for none.
    QString text(int row, int column) const;
    // The table as tab-separated lines with a heading line, for a
    // spreadsheet: numbers without grouping or currency sign, "." decimals.
    QString tabSeparated() const;
};

// The fee view's columns. Due: the fee of each member counted at the year's
// end (as the members view counts them, under the level that counts them),
// at that level's amount for the year. Paid: payments dated within the year.
// Outstanding: due - paid, below 0 when more came in than was due.
enum FeeColumn { FeePayments, FeeDue, FeePaid, FeeOutstanding };

// The six views over the years `first` to `last` (membership years).
struct Figures {
    FigureTable membersByLevel; // at each year's end, a column per level, then "Total"
    FigureTable joinersLeavers; // "Joined", "Left", "Net change"
    FigureTable retention;      // "Joined", then still members after 1, 2 and 5 years
    FigureTable yearsOfService; // current members per band of years (nearest five)
    FigureTable feeIncome;      // "Payments", "Due", "Paid", "Outstanding" (FeeColumn)
    FigureTable membersByCity;  // current members, the 15 largest cities, then "Other"

    std::vector<const FigureTable*> all() const {
        return {&membersByLevel, &joinersLeavers, &retention,
                &yearsOfService, &feeIncome,      &membersByCity};
    }
};

// Reads every view. `today` decides which members are current, the count of
// the year not yet ended and which retention figures lie in the future.
// Database errors reach the caller.
Figures Compute(qv::Connection& connection, const MembershipYear& year, int first, int last,
                const QDate& today);

// The statements Compute runs, in its order, for the benchmark's bare-engine
// run of the same SQL.
QStringList Statements(qv::Connection& connection, const MembershipYear& year, int first, int last,
                       const QDate& today);

// How many of the largest cities the city view names before "Other".
inline constexpr int CityRows = 15;

} // namespace Statistics
