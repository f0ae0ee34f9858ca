// SPDX-License-Identifier: GPL-3.0-or-later
#include "renewals/Renewals.h"

#include "db/RegisterSettings.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Regional.h"
#include "reports/CSVExport.h"

#include <QRegularExpression>
#include <cmath>

namespace Renewals {

namespace {

// The widths of the payment columns the commands fill.
constexpr int ReceiptRefWidth = 20;
constexpr int PaymentNotesWidth = 75;
constexpr int ReasonEndedWidth = 50;
// Rows per INSERT: one statement (and one change-log read) per batch rather
// than per payment. 5 values a row; SQL Server takes at most 2100 a statement.
int paymentBatch(qv::ConnectionString::Kind kind) {
    return kind == qv::ConnectionString::Kind::Server ? 400 : 500;
}

double cents(double amount) {
    return std::round(amount * 100.0) / 100.0;
}

// Runs `work` in the caller's transaction, or in one of its own under `label`.
template <typename Work>
auto inTransaction(qv::Connection& connection, const QString& label, Work work) {
    if (connection.inTransaction())
        return work();
    qv::TransactionGuard transaction(connection, qv::TransactionKind::Normal, label);
    auto result = work();
    transaction.commit();
    return result;
}

} // namespace

// ---- The membership year -----------------------------------------------------

std::optional<YearStart> ParseYearStart(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,2})-(\\d{1,2})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const YearStart start{m.captured(1).toInt(), m.captured(2).toInt()};
    // 2001 is no leap year: a day valid in it exists in every year.
    if (!QDate(2001, start.month, start.day).isValid())
        return std::nullopt;
    return start;
}

QString YearStartText(const YearStart& start) {
    return QString::asprintf("%02d-%02d", start.month, start.day);
}

YearStart GetYearStart(qv::Connection& connection) {
    const std::optional<QString> stored = RegisterSettings::Value(connection, YearStartSetting);
    if (!stored)
        return {};
    return ParseYearStart(*stored).value_or(YearStart{});
}

void SetYearStart(qv::Connection& connection, const YearStart& start) {
    RegisterSettings::SetValue(connection, YearStartSetting, YearStartText(start));
}

QDate FirstDay(int year, const YearStart& start) {
    return QDate(year, start.month, start.day);
}

int YearOf(const QDate& day, const YearStart& start) {
    return day < FirstDay(day.year(), start) ? day.year() - 1 : day.year();
}

QString YearName(int year, const YearStart& start) {
    if (start == YearStart{})
        return QString::number(year);
    return QStringLiteral("%1/%2").arg(year).arg((year + 1) % 100, 2, 10, QLatin1Char('0'));
}

// ---- Fees by level and year --------------------------------------------------

std::vector<LevelFee> LevelFees(qv::Connection& connection, qint64 levelId) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT LevelFeeID, MembershipYear, Fee FROM LevelFees WHERE "
                            "MembershipLevelID = :Level ORDER BY MembershipYear"));
    q.setParameter(QStringLiteral("Level"), levelId);
    qv::Result r;
    q.fetch(r);
    std::vector<LevelFee> fees;
    for (int row = 0; row < r.rows.rowCount(); ++row)
        fees.push_back({r.rows.value(r.rows.cell(row, 0)).toInteger(),
                        int(r.rows.value(r.rows.cell(row, 1)).toInteger()),
                        r.rows.value(r.rows.cell(row, 2)).toFloat()});
    return fees;
}

bool HasFees(qv::Connection& connection, int year) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT COUNT(*) FROM LevelFees WHERE MembershipYear <= :Year"));
    q.setParameter(QStringLiteral("Year"), year);
    qv::Result r;
    q.fetch(r);
    return r.rows.value(r.rows.cell(0, 0)).toInteger() > 0;
}

void SetLevelFee(qv::Connection& connection, qint64 levelId, int year, double fee) {
    if (fee < 0)
        throw qv::DatabaseError(QStringLiteral("A fee cannot be below 0."));
    for (const LevelFee& existing : LevelFees(connection, levelId)) {
        if (existing.year != year)
            continue;
        if (existing.fee == fee)
            return;
        qv::Query q(&connection);
        q.setSQL(QStringLiteral("UPDATE LevelFees SET Fee = :Fee WHERE LevelFeeID = :Key"));
        q.setParameter(QStringLiteral("Fee"), fee);
        q.setParameter(QStringLiteral("Key"), existing.id);
        q.execute();
        return;
    }
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("INSERT INTO LevelFees (MembershipLevelID, MembershipYear, Fee) "
                            "VALUES (:Level, :Year, :Fee)"));
    q.setParameter(QStringLiteral("Level"), levelId);
    q.setParameter(QStringLiteral("Year"), year);
    q.setParameter(QStringLiteral("Fee"), fee);
    q.execute();
}

void RemoveLevelFee(qv::Connection& connection, qint64 levelFeeId) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("DELETE FROM LevelFees WHERE LevelFeeID = :Key"));
    q.setParameter(QStringLiteral("Key"), levelFeeId);
    q.execute();
}

double FeeFor(qv::Connection& connection, qint64 levelId, int year) {
    double fee = 0;
    for (const LevelFee& f : LevelFees(connection, levelId))
        if (f.year <= year)
            fee = f.fee;
    return fee;
}

QString FeeSQL(const QString& level, const QString& year) {
    // The amount of the latest year at or before the year; a level without
    // one finds no row, and COALESCE makes that 0.
    return QStringLiteral("COALESCE((SELECT lf.Fee FROM LevelFees lf WHERE lf.MembershipLevelID = "
                          "%1 AND lf.MembershipYear = (SELECT MAX(lfy.MembershipYear) FROM "
                          "LevelFees lfy WHERE lfy.MembershipLevelID = %1 AND lfy.MembershipYear "
                          "<= %2)), 0)")
        .arg(level, year);
}

// ---- The list ----------------------------------------------------------------

QString ListSQL(qv::ConnectionString::Kind kind, bool includePast, bool owingOnly) {
    // The fee of the latest amount at or before the year; payments summed in
    // one pass over the payments, grouped per member.
    const QString inner =
        QStringLiteral(
            "SELECT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "
            "Members.City, Members.PostCode, Members.EmailAddress, DatesJoined.DateJoined, "
            "DatesJoined.DateEnded, DatesJoined.DatesJoinedID, DatesJoined.MembershipLevelID, "
            "MembershipLevel.MemberCategory, MembershipLevel.HighlightColour, "
            "MembershipLevel.FontColour, ") +
        FeeSQL(QStringLiteral("DatesJoined.MembershipLevelID"), QStringLiteral(":FeeYear")) +
        QStringLiteral(
            " AS FeeDue, COALESCE(pay.Paid, 0) AS Paid, pay.LastPayment "
            "FROM (((Members INNER JOIN (SELECT MemberID, MAX(DateJoined) AS MaxDateJoined FROM "
            "DatesJoined GROUP BY MemberID) AS sm ON sm.MemberID = Members.MemberID) "
            "INNER JOIN DatesJoined ON DatesJoined.MemberID = sm.MemberID AND "
            "DatesJoined.DateJoined = sm.MaxDateJoined) "
            "LEFT JOIN MembershipLevel ON DatesJoined.MembershipLevelID = "
            "MembershipLevel.MembershipLevelID) "
            "LEFT JOIN (SELECT MemberID, SUM(CASE WHEN PaymentDate >= :FirstDay AND PaymentDate < "
            ":NextFirstDay THEN PaymentAmount ELSE 0 END) AS Paid, MAX(PaymentDate) AS LastPayment "
            "FROM FeePayments GROUP BY MemberID) AS pay ON pay.MemberID = Members.MemberID "
            // Two periods joined on the same day: the one entered last is the
            // latest, so no member is listed (and billed) twice.
            "WHERE NOT EXISTS (SELECT * FROM DatesJoined d2 WHERE d2.MemberID = "
            "DatesJoined.MemberID AND d2.DateJoined = DatesJoined.DateJoined AND "
            "d2.DatesJoinedID > DatesJoined.DatesJoinedID)");
    QStringList conditions;
    if (!includePast)
        conditions << QStringLiteral("(r.DateEnded IS NULL OR r.DateEnded >= :FirstDay)");
    if (owingOnly)
        conditions << QStringLiteral("ROUND(r.FeeDue - r.Paid, 4) > 0");
    QString sql = QStringLiteral("SELECT r.*, ROUND(r.FeeDue - r.Paid, 4) AS Balance FROM (") +
                  inner + QStringLiteral(") r");
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    if (kind == qv::ConnectionString::Kind::PostgreSQL)
        sql += QStringLiteral(" ORDER BY qv_sortkey(r.Surname) COLLATE \"C\", "
                              "qv_sortkey(r.FirstNames) COLLATE \"C\", r.MemberID");
    else
        sql += QStringLiteral(" ORDER BY r.Surname, r.FirstNames, r.MemberID");
    return sql;
}

void OpenList(qv::Dataset& rows, qv::Connection& connection, const ListOptions& options) {
    rows.close();
    rows.setConnection(&connection);
    rows.setSQL(ListSQL(connection.kind(), options.includePast, options.owingOnly));
    rows.setParameter(QStringLiteral("FeeYear"), options.year);
    rows.setParameter(QStringLiteral("FirstDay"), FirstDay(options.year, options.start));
    rows.setParameter(QStringLiteral("NextFirstDay"), FirstDay(options.year + 1, options.start));
    rows.open();
}

Totals Sum(const qv::Dataset& rows) {
    Totals totals;
    if (!rows.isActive())
        return totals;
    const int due = rows.fieldIndex(QStringLiteral("FeeDue"));
    const int paid = rows.fieldIndex(QStringLiteral("Paid"));
    const int balance = rows.fieldIndex(QStringLiteral("Balance"));
    totals.members = rows.recordCount();
    for (int row = 0; row < totals.members; ++row) {
        totals.due += rows.valueAt(row, due).toFloat();
        totals.paid += rows.valueAt(row, paid).toFloat();
        const double b = cents(rows.valueAt(row, balance).toFloat());
        if (b > 0) {
            totals.owing += b;
            ++totals.membersOwing;
        }
    }
    return totals;
}

QString MoneyText(double amount) {
    return qv::Regional::formatCurrency(amount);
}

// ---- Commands ----------------------------------------------------------------

QString ReceiptRef(const QString& pattern, int number) {
    static const QRegularExpression run(QStringLiteral("#+"));
    const QRegularExpressionMatch m = run.match(pattern);
    if (!m.hasMatch())
        return pattern;
    QString ref = pattern;
    return ref.replace(
        m.capturedStart(), m.capturedLength(),
        QStringLiteral("%1").arg(number, int(m.capturedLength()), 10, QLatin1Char('0')));
}

PaymentOutcome RecordPayments(qv::Connection& connection, const std::vector<Debtor>& members,
                              const PaymentOrder& order) {
    if (!order.date.isValid())
        throw qv::DatabaseError(QStringLiteral("Enter the date of the payments."));
    if (order.amount && !(cents(*order.amount) > 0))
        throw qv::DatabaseError(QStringLiteral("Enter an amount above 0."));
    if (order.notes.size() > PaymentNotesWidth)
        throw qv::DatabaseError(
            QStringLiteral("The notes are longer than %1 characters.").arg(PaymentNotesWidth));

    struct Payment {
        qint64 member;
        double amount;
    };
    std::vector<Payment> payments;
    PaymentOutcome outcome;
    for (const Debtor& d : members) {
        const double amount = cents(order.amount.value_or(d.balance));
        if (amount > 0)
            payments.push_back({d.memberId, amount});
        else
            ++outcome.skipped;
    }
    if (!payments.empty()) {
        const QString last =
            ReceiptRef(order.receiptPattern, order.firstNumber + int(payments.size()) - 1);
        if (last.size() > ReceiptRefWidth)
            throw qv::DatabaseError(
                QStringLiteral("The receipt reference \"%1\" is longer than %2 characters.")
                    .arg(last)
                    .arg(ReceiptRefWidth));
    }

    const qv::Value date(order.date);
    const qv::Value notes = order.notes.isEmpty() ? qv::Value() : qv::Value(order.notes);
    inTransaction(connection, QStringLiteral("Record Payment"), [&] {
        qv::Query q(&connection);
        QString batchText;
        int batchRows = 0;
        const size_t batch = size_t(paymentBatch(connection.kind()));
        for (size_t start = 0; start < payments.size(); start += batch) {
            const int rows = int(std::min(batch, payments.size() - start));
            if (rows != batchRows) {
                batchText = QStringLiteral("INSERT INTO FeePayments (PaymentDate, MemberID, "
                                           "ReceiptRef, PaymentAmount, PaymentNotes) VALUES ");
                for (int i = 0; i < rows; ++i)
                    batchText += QStringLiteral("%1(:D%2, :M%2, :R%2, :A%2, :N%2)")
                                     .arg(i ? QStringLiteral(", ") : QString())
                                     .arg(i);
                q.setSQL(batchText);
                batchRows = rows;
            }
            for (int i = 0; i < rows; ++i) {
                const Payment& p = payments[start + size_t(i)];
                const int number = order.firstNumber + int(start) + i;
                const QString ref = ReceiptRef(order.receiptPattern, number);
                q.setParameterAt(i * 5, date);
                q.setParameterAt(i * 5 + 1, p.member);
                q.setParameterAt(i * 5 + 2, ref.isEmpty() ? qv::Value() : qv::Value(ref));
                q.setParameterAt(i * 5 + 3, p.amount);
                q.setParameterAt(i * 5 + 4, notes);
            }
            q.execute();
        }
        return 0;
    });
    outcome.recorded = int(payments.size());
    return outcome;
}

LapseOutcome EndMemberships(qv::Connection& connection, const std::vector<qint64>& memberIds,
                            const QDate& ended, const QString& reason) {
    if (!ended.isValid())
        throw qv::DatabaseError(QStringLiteral("Enter the date the memberships end."));
    if (reason.size() > ReasonEndedWidth)
        throw qv::DatabaseError(
            QStringLiteral("The reason is longer than %1 characters.").arg(ReasonEndedWidth));
    return inTransaction(connection, QStringLiteral("End Membership"), [&] {
        LapseOutcome outcome;
        qv::Query latest(&connection);
        latest.setSQL(QStringLiteral(
            "SELECT DatesJoinedID, DateJoined, DateEnded FROM DatesJoined WHERE MemberID = "
            ":Member ORDER BY DateJoined DESC, DatesJoinedID DESC"));
        qv::Query end(&connection);
        end.setSQL(QStringLiteral("UPDATE DatesJoined SET DateEnded = :Ended, ReasonEnded = "
                                  ":Reason WHERE DatesJoinedID = :Key"));
        end.setParameter(QStringLiteral("Ended"), ended);
        end.setParameter(QStringLiteral("Reason"), reason);
        for (const qint64 member : memberIds) {
            latest.setParameter(QStringLiteral("Member"), member);
            qv::Result r;
            latest.fetch(r);
            const bool open = r.rows.rowCount() > 0 && r.rows.value(r.rows.cell(0, 2)).isNull() &&
                              r.rows.value(r.rows.cell(0, 1)).toDateTime().date() <= ended;
            if (!open) {
                ++outcome.skipped;
                continue;
            }
            end.setParameter(QStringLiteral("Key"), r.rows.value(r.rows.cell(0, 0)).toInteger());
            end.execute();
            ++outcome.ended;
        }
        return outcome;
    });
}

std::map<qint64, QHash<QString, QString>> MergeFields(qv::Connection& connection, int year) {
    ListOptions options;
    options.year = year;
    options.start = GetYearStart(connection);
    options.includePast = true;
    qv::Dataset rows(&connection);
    OpenList(rows, connection, options);
    const QString name = YearName(year, options.start);
    const int member = rows.fieldIndex(QStringLiteral("MemberID"));
    const int due = rows.fieldIndex(QStringLiteral("FeeDue"));
    const int balance = rows.fieldIndex(QStringLiteral("Balance"));
    std::map<qint64, QHash<QString, QString>> fields;
    for (int row = 0; row < rows.recordCount(); ++row) {
        QHash<QString, QString>& f = fields[rows.valueAt(row, member).toInteger()];
        f.insert(QStringLiteral("Balance"), MoneyText(rows.valueAt(row, balance).toFloat()));
        f.insert(QStringLiteral("FeeDue"), MoneyText(rows.valueAt(row, due).toFloat()));
        f.insert(QStringLiteral("MembershipYear"), name);
    }
    return fields;
}

// ---- Print and export --------------------------------------------------------

void ExportCSV(const qv::Dataset& rows, const QString& fileName) {
    static const char* const texts[] = {"Surname",  "FirstNames",   "Address",       "City",
                                        "PostCode", "EmailAddress", "MemberCategory"};
    static const char* const amounts[] = {"FeeDue", "Paid", "Balance"};
    std::vector<int> textColumns, amountColumns;
    QString line;
    for (const char* name : texts) {
        textColumns.push_back(rows.fieldIndex(QLatin1String(name)));
        line += QLatin1String(name) + u',';
    }
    for (const char* name : amounts) {
        amountColumns.push_back(rows.fieldIndex(QLatin1String(name)));
        line += QLatin1String(name) + u',';
    }
    const int lastPayment = rows.fieldIndex(QStringLiteral("LastPayment"));
    line += QStringLiteral("LastPayment\r\n");

    qv::FileSystem::ReplacingFile file(fileName);
    file.write(QByteArrayLiteral("\xEF\xBB\xBF") + line.toUtf8());
    for (int row = 0; row < rows.recordCount(); ++row) {
        line.clear();
        for (const int column : textColumns)
            line += CSVField(rows.textAt(row, column)) + u',';
        // Plain numbers with a point, as spreadsheet programs read them.
        for (const int column : amountColumns)
            line += QString::number(rows.valueAt(row, column).toFloat(), 'f', 2) + u',';
        const qv::Value last = rows.valueAt(row, lastPayment);
        if (!last.isNull())
            line += last.toDateTime().date().toString(Qt::ISODate);
        line += QStringLiteral("\r\n");
        file.write(line.toUtf8());
    }
    file.commit();
}

PrintShared::ListReport Report(const qv::Dataset& rows, const QString& caption) {
    const auto text = [&rows](const char* name) {
        return [&rows, c = PrintShared::ColumnOf(rows, QLatin1String(name))](int row, bool) {
            return rows.textAt(row, c);
        };
    };
    // Amounts stand right-aligned in their column, so the decimals line up.
    const auto money = [&rows](const char* name, int width) {
        return [&rows, width, c = PrintShared::ColumnOf(rows, QLatin1String(name))](int row, bool) {
            return MoneyText(rows.valueAt(row, c).toFloat()).rightJustified(width);
        };
    };
    const int last = PrintShared::ColumnOf(rows, QStringLiteral("LastPayment"));
    const auto lastPayment = [&rows, last](int row, bool) {
        const qv::Value v = rows.valueAt(row, last);
        return v.isNull() ? QString() : qv::Regional::formatShortDate(v.toDateTime().date());
    };

    PrintShared::ListReport report;
    report.documentTitle = QStringLiteral("Quorvane - ") + caption;
    report.titleLines = {PrintShared::ListTitleLine(caption)};
    report.stepHalves = 3;
    report.columns = {
        {QStringLiteral("First Name"), 10, 15, text("FirstNames")},
        {QStringLiteral("Surname"), 10, 15, text("Surname")},
        {QStringLiteral("Level"), 10, 15, text("MemberCategory")},
        {QStringLiteral("    Fee Due"), 11, 11, money("FeeDue", 11)},
        {QStringLiteral("       Paid"), 11, 11, money("Paid", 11)},
        {QStringLiteral("    Balance"), 11, 11, money("Balance", 11)},
        {QStringLiteral("Last Paid"), 10, 10, lastPayment},
    };
    const Totals t = Sum(rows);
    report.footLines = {
        QStringLiteral("Members: %1   Due: %2   Paid: %3   Owing: %4   Members owing: %5")
            .arg(t.members)
            .arg(MoneyText(t.due), MoneyText(t.paid), MoneyText(t.owing))
            .arg(t.membersOwing)};
    return report;
}

} // namespace Renewals
