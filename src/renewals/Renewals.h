// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/ConnectionString.h"
#include "reports/PrintShared.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

namespace qv {
class Connection;
class Dataset;
} // namespace qv

// The renewal round: fees by level and membership year, what each member owes
// for a year, recording many payments at once and ending lapsed memberships.
// Nothing here shows a window; every write runs in the caller's transaction,
// or in one of its own when there is none.
namespace Renewals {

// ---- The membership year -----------------------------------------------------

// The register setting that holds the year's first day as "MM-DD".
inline const QString YearStartSetting = QStringLiteral("MembershipYearStart");

struct YearStart {
    int month = 1;
    int day = 1;
    bool operator==(const YearStart&) const = default;
};

// "MM-DD" of a day that exists in every year (29 February does not).
std::optional<YearStart> ParseYearStart(const QString& text);
QString YearStartText(const YearStart& start);
// The stored first day; 1 January when none is stored or it cannot be read.
YearStart GetYearStart(qv::Connection& connection);
void SetYearStart(qv::Connection& connection, const YearStart& start);

// A year is named by the calendar year it starts in.
QDate FirstDay(int year, const YearStart& start);
int YearOf(const QDate& day, const YearStart& start);
// "2026" for a year that starts on 1 January, else "2026/27".
QString YearName(int year, const YearStart& start);

// ---- Fees by level and year --------------------------------------------------

// The fees live in LevelFees (key, MembershipLevelID, MembershipYear, Fee),
// one amount per level and year, made by the register upgrade.
struct LevelFee {
    qint64 id = 0;
    int year = 0;
    double fee = 0;
};
// The level's own amounts, by year.
std::vector<LevelFee> LevelFees(qv::Connection& connection, qint64 levelId);
// Whether any level has an amount for that year or an earlier one: without
// one every fee of the year is 0.
bool HasFees(qv::Connection& connection, int year);
// Stores the level's amount for the year, replacing one already there.
void SetLevelFee(qv::Connection& connection, qint64 levelId, int year, double fee);
void RemoveLevelFee(qv::Connection& connection, qint64 levelFeeId);
// The amount due for the year: the level's own, else its latest earlier one, else 0.
double FeeFor(qv::Connection& connection, qint64 levelId, int year);
// FeeFor as an SQL expression of a level key and a membership year (column
// names or parameters), for queries that bill many members at once. Any kind.
QString FeeSQL(const QString& level, const QString& year);

// ---- The list ----------------------------------------------------------------

struct ListOptions {
    int year = 0;
    YearStart start;
    // Members whose latest period ended before the year began.
    bool includePast = false;
    // Only members with a positive balance.
    bool owingOnly = false;
};

// One row per member with a period: the latest period (the greatest joining
// date, the last entered of two on one day) decides the level and so the
// fee. Columns: MemberID, Surname, FirstNames, Address, City, PostCode,
// EmailAddress, DateJoined, DateEnded, DatesJoinedID, MembershipLevelID,
// MemberCategory, HighlightColour, FontColour, FeeDue, Paid, LastPayment,
// Balance. Parameters: FeeYear, FirstDay, NextFirstDay (and YearFirstDay
// unless past members are included).
QString ListSQL(qv::ConnectionString::Kind kind, bool includePast, bool owingOnly);
// Opens the list on the dataset.
void OpenList(qv::Dataset& rows, qv::Connection& connection, const ListOptions& options);

struct Totals {
    int members = 0;
    double due = 0;
    double paid = 0;
    double owing = 0; // positive balances only
    int membersOwing = 0;
};
// Over the rows the dataset shows.
Totals Sum(const qv::Dataset& rows);

// Money as the window, the print and letters show it.
QString MoneyText(double amount);

// ---- Commands ----------------------------------------------------------------

struct PaymentOrder {
    QDate date;
    // One amount for everyone; none pays each member's balance.
    std::optional<double> amount;
    // A run of "#" becomes the running number, zero-padded to its length.
    QString receiptPattern;
    int firstNumber = 1;
    QString notes;
};

struct Debtor {
    qint64 memberId = 0;
    double balance = 0;
};

QString ReceiptRef(const QString& pattern, int number);

struct PaymentOutcome {
    int recorded = 0;
    int skipped = 0; // nothing owed while paying balances
};
// One fee payment per member, all or none. The order is checked first:
// DatabaseError (nothing written) for a missing date, an amount not above 0,
// or a receipt reference or notes longer than their columns hold.
PaymentOutcome RecordPayments(qv::Connection& connection, const std::vector<Debtor>& members,
                              const PaymentOrder& order);

struct LapseOutcome {
    int ended = 0;
    int skipped = 0;
};
// Ends each member's latest period when it is still open and began on or
// before `ended`; an older open period is never touched, and a latest period
// that begins after `ended` (a member who has already renewed) is left alone.
LapseOutcome EndMemberships(qv::Connection& connection, const std::vector<qint64>& memberIds,
                            const QDate& ended, const QString& reason);

// The fields a reminder letter merges, per member key, for the members the
// year's list holds (past members included): Balance, FeeDue and
// MembershipYear, as the renewals window shows them.
std::map<qint64, QHash<QString, QString>> MergeFields(qv::Connection& connection, int year);

// ---- Print and export --------------------------------------------------------

// The list as comma-separated text (the member list export's form): name,
// address, e-mail, level, fee, paid, balance and last payment, amounts as
// plain numbers; all or nothing (FileSystem::FileWriteError).
void ExportCSV(const qv::Dataset& rows, const QString& fileName);

// The landscape list report of the rows, under `caption`, with the totals at its foot.
PrintShared::ListReport Report(const qv::Dataset& rows, const QString& caption);

} // namespace Renewals
