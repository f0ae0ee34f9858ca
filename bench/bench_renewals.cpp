// SPDX-License-Identifier: GPL-3.0-or-later
// The renewal round on a generated register (a copy, given fees for every
// level and year): the year's list through our layers (the window's dataset,
// and the window itself up to its first rows painted) against the bare
// SQLite engine running the same SQL; recording a payment for each of 10 000
// members in one transaction (through our layers, with and without the change
// log) against the bare engine inserting the same rows with one prepared
// statement in one transaction; and, for the logged run, against the bare
// engine inserting the payments and the same change-log rows, the work the
// register must do to keep its history. Prints medians and ratios.
//
//   bench_renewals [--members 100000] [--payments 10000] [--runs 5] [--seed 1]

#include "BenchSupport.h"
#include "RegisterGenerator.h"

#include "db/ChangeLog.h"
#include "db/RegisterTables.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "platform/ui/DatasetGrid.h"
#include "renewals/Renewals.h"
#include "renewals/RenewalsFrm.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

namespace {

using namespace qv::bench;

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

struct Step {
    explicit Step(const char* n)
        : name(n) {}
    const char* name;
    std::vector<double> ours, bare;
    int rows = 0, bareRows = 0;
};

void print(const Step& s) {
    const double o = median(s.ours), b = median(s.bare);
    std::printf("%-34s %8d %8d %10.1f %10.1f %7.2f\n", s.name, s.rows, s.bareRows, o, b,
                b > 0 ? o / b : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int members = 100000;
    int payments = 10000;
    int runs = 5;
    quint64 seed = 1;
    Options("[--members 100000] [--payments 10000] [--runs 5] [--seed 1]")
        .number("--members", members)
        .number("--payments", payments, 1)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .parse(app.arguments());
    const OwnSettings settings;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("renewals.mdb"));
    if (!QFile::copy(Register(members, seed), path)) {
        std::fprintf(stderr, "cannot copy the register\n");
        return 1;
    }
    const std::unique_ptr<qv::Connection> connection = OpenRegister(path);
    qv::Connection& c = *connection;
    const int year = GeneratedHistoryEnd().year();
    const Renewals::YearStart start{4, 1};
    {
        // The program's tables, and a fee for every level in most years.
        qv::TransactionGuard t(c);
        RegisterTables::CreateMissing(c);
        Renewals::SetYearStart(c, start);
        qv::Result levels;
        c.provider().fetch(QStringLiteral("SELECT MembershipLevelID FROM MembershipLevel"), {},
                           levels);
        for (int row = 0; row < levels.rows.rowCount(); ++row)
            for (int y = year - 8; y <= year; y += 2)
                Renewals::SetLevelFee(c, levels.rows.value(levels.rows.cell(row, 0)).toInteger(), y,
                                      20 + row * 5 + (y - year + 8));
        t.commit();
    }

    sqlite3* db = nullptr;
    check(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
          db, "open");
    sqlite3_busy_timeout(db, 5000);

    // The list's SQL and its parameters, bound alike on both sides.
    const QString sql = Renewals::ListSQL(qv::ConnectionString::Kind::File, false, false);
    qv::Query parsed(&c);
    parsed.setSQL(sql);
    const QByteArray bareSql = BareSql(sql);
    const auto bindList = [&](sqlite3_stmt* stmt) {
        const QStringList names = parsed.parameterNames();
        for (int i = 0; i < names.size(); ++i) {
            if (names[i] == QLatin1String("FeeYear")) {
                sqlite3_bind_int(stmt, i + 1, year);
                continue;
            }
            const QDate day =
                Renewals::FirstDay(names[i] == QLatin1String("FirstDay") ? year : year + 1, start);
            const QByteArray text = qv::dateTimeToStorage(QDateTime(day, QTime(0, 0))).toUtf8();
            sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    };
    quint64 checksum = 0;
    const auto bareList = [&](int& rows) {
        const Clock::time_point t0 = Clock::now();
        sqlite3_stmt* stmt = nullptr;
        check(sqlite3_prepare_v2(db, bareSql.constData(), int(bareSql.size()), &stmt, nullptr), db,
              "prepare list");
        bindList(stmt);
        rows = readRows(stmt, checksum);
        sqlite3_finalize(stmt);
        return msSince(t0);
    };

    // The members paid for, and the bare side's insert.
    std::vector<Renewals::Debtor> debtors;
    {
        qv::Result ids;
        c.provider().fetch(QStringLiteral("SELECT MemberID FROM Members ORDER BY MemberID"), {},
                           ids);
        for (int row = 0; row < ids.rows.rowCount() && int(debtors.size()) < payments; ++row)
            debtors.push_back({ids.rows.value(ids.rows.cell(row, 0)).toInteger(), 25.0});
    }
    const Renewals::PaymentOrder order{QDate(year, 5, 1), 25.0, QStringLiteral("R-#####"), 1,
                                       QStringLiteral("Renewal")};
    // The change log's rows of the last logged run, for a bare side that
    // writes them too: what the engine itself needs to keep the same log.
    struct LogRow {
        qint64 seq = 0, rowKey = 0, member = 0;
        QByteArray table, action, column, type, oldValue, newValue;
        bool memberNull = true, oldNull = true, newNull = true;
    };
    std::vector<LogRow> logRows;
    const auto readLog = [&] {
        logRows.clear();
        qv::Result r;
        c.provider().fetch(
            QStringLiteral("SELECT ChangeSeq, TableName, RowKey, MemberID, Action, ColumnName, "
                           "ValueType, OldValue, NewValue FROM ChangeLogRows WHERE ChangeLogID = "
                           "(SELECT MAX(ChangeLogID) FROM ChangeLog) ORDER BY ChangeLogRowID"),
            {}, r);
        const auto at = [&](int row, int col) { return r.rows.value(r.rows.cell(row, col)); };
        for (int row = 0; row < r.rows.rowCount(); ++row) {
            LogRow l;
            l.seq = at(row, 0).toInteger();
            l.table = at(row, 1).toText().toUtf8();
            l.rowKey = at(row, 2).toInteger();
            l.memberNull = at(row, 3).isNull();
            l.member = l.memberNull ? 0 : at(row, 3).toInteger();
            l.action = at(row, 4).toText().toUtf8();
            l.column = at(row, 5).toText().toUtf8();
            l.type = at(row, 6).toText().toUtf8();
            l.oldNull = at(row, 7).isNull();
            l.oldValue = at(row, 7).toText().toUtf8();
            l.newNull = at(row, 8).isNull();
            l.newValue = at(row, 8).toText().toUtf8();
            logRows.push_back(std::move(l));
        }
    };
    const auto barePayments = [&](bool withLog) {
        const Clock::time_point t0 = Clock::now();
        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
        sqlite3_stmt* stmt = nullptr;
        const char* insert = "INSERT INTO FeePayments (PaymentDate, MemberID, ReceiptRef, "
                             "PaymentAmount, PaymentNotes) VALUES (?, ?, ?, ?, ?)";
        check(sqlite3_prepare_v2(db, insert, -1, &stmt, nullptr), db, "prepare insert");
        const QByteArray date = qv::dateTimeToStorage(QDateTime(order.date, QTime(0, 0))).toUtf8();
        for (size_t i = 0; i < debtors.size(); ++i) {
            const QByteArray ref = Renewals::ReceiptRef(order.receiptPattern, int(i) + 1).toUtf8();
            sqlite3_bind_text(stmt, 1, date.constData(), int(date.size()), SQLITE_STATIC);
            sqlite3_bind_int64(stmt, 2, debtors[i].memberId);
            sqlite3_bind_text(stmt, 3, ref.constData(), int(ref.size()), SQLITE_TRANSIENT);
            sqlite3_bind_double(stmt, 4, 25.0);
            sqlite3_bind_text(stmt, 5, "Renewal", -1, SQLITE_STATIC);
            check(sqlite3_step(stmt), db, "insert");
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
        if (withLog) {
            check(sqlite3_exec(db,
                               "INSERT INTO ChangeLog (ChangedAt, ChangedBy, Source, EntryKind) "
                               "VALUES ('2026-01-01 00:00:00', 'bench', 'Record Payment', "
                               "'change')",
                               nullptr, nullptr, nullptr),
                  db, "log entry");
            const sqlite3_int64 entry = sqlite3_last_insert_rowid(db);
            sqlite3_stmt* log = nullptr;
            check(sqlite3_prepare_v2(db,
                                     "INSERT INTO ChangeLogRows (ChangeLogID, ChangeSeq, "
                                     "TableName, RowKey, MemberID, Action, ColumnName, "
                                     "ValueType, OldValue, NewValue) VALUES "
                                     "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                                     -1, &log, nullptr),
                  db, "prepare log");
            const auto text = [&](int i, const QByteArray& t, bool isNull) {
                if (isNull)
                    sqlite3_bind_null(log, i);
                else
                    sqlite3_bind_text(log, i, t.constData(), int(t.size()), SQLITE_STATIC);
            };
            for (const LogRow& l : logRows) {
                sqlite3_bind_int64(log, 1, entry);
                sqlite3_bind_int64(log, 2, l.seq);
                text(3, l.table, false);
                sqlite3_bind_int64(log, 4, l.rowKey);
                if (l.memberNull)
                    sqlite3_bind_null(log, 5);
                else
                    sqlite3_bind_int64(log, 5, l.member);
                text(6, l.action, false);
                text(7, l.column, false);
                text(8, l.type, false);
                text(9, l.oldValue, l.oldNull);
                text(10, l.newValue, l.newNull);
                check(sqlite3_step(log), db, "log row");
                sqlite3_reset(log);
            }
            sqlite3_finalize(log);
        }
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
        return msSince(t0);
    };
    const qint64 lastKey = [&] {
        qv::Result r;
        c.provider().fetch(QStringLiteral("SELECT MAX(FeePaymentID) FROM FeePayments"), {}, r);
        return r.rows.value(r.rows.cell(0, 0)).toInteger();
    }();
    // Puts the payments table back as it was, outside the clock.
    const auto removePayments = [&] {
        const QByteArray del =
            QStringLiteral("DELETE FROM FeePayments WHERE FeePaymentID > %1").arg(lastKey).toUtf8();
        check(sqlite3_exec(db, del.constData(), nullptr, nullptr, nullptr), db, "delete");
    };

    Step list{"year's list (dataset + totals)"}, window{"year's list (window painted)"},
        pay{"payments, our layers"}, payLogged{"payments, our layers + change log"},
        payLoggedBoth{"payments + log, bare writes log too"};
    ChangeLog::Recorder recorder;
    for (int r = 0; r <= runs; ++r) {
        const bool warmUp = r == 0;
        int bareRows = 0;
        {
            qv::Dataset rows(&c);
            const Clock::time_point t0 = Clock::now();
            Renewals::OpenList(rows, c, {year, start, false, false});
            const Renewals::Totals totals = Renewals::Sum(rows);
            const double ours = msSince(t0);
            const double bare = bareList(bareRows);
            checksum += quint64(totals.membersOwing);
            if (!warmUp) {
                list.ours.push_back(ours);
                list.bare.push_back(bare);
                list.rows = rows.recordCount();
                list.bareRows = bareRows;
            }
        }
        {
            // The window opens on the year of today: the year measured.
            qv::Clock::setNowForTesting(
                QDateTime(Renewals::FirstDay(year, start).addDays(30), QTime(12, 0)));
            TfrmRenewals frm;
            frm.resize(1280, 800);
            PaintCounter counter;
            frm.dbgRenewals->viewport()->installEventFilter(&counter);
            const Clock::time_point t0 = Clock::now();
            frm.OpenRenewals(c);
            frm.show();
            PaintNow(frm.dbgRenewals->viewport(), counter);
            const double ours = msSince(t0);
            const double bare = bareList(bareRows);
            if (!warmUp) {
                window.ours.push_back(ours);
                window.bare.push_back(bare);
                window.rows = frm.adoRenewals->recordCount();
                window.bareRows = bareRows;
            }
            frm.close();
        }
        for (Step* step : {&pay, &payLogged}) {
            c.setChangeRecorder(step == &payLogged ? &recorder : nullptr);
            Clock::time_point t0 = Clock::now();
            const Renewals::PaymentOutcome outcome = Renewals::RecordPayments(c, debtors, order);
            const double ours = msSince(t0);
            c.setChangeRecorder(nullptr);
            if (step == &payLogged)
                readLog();
            removePayments();
            const double bare = barePayments(false);
            removePayments();
            if (step == &payLogged) {
                const double bareLogged = barePayments(true);
                removePayments();
                check(sqlite3_exec(db,
                                   "DELETE FROM ChangeLogRows WHERE ChangeLogID = (SELECT "
                                   "MAX(ChangeLogID) FROM ChangeLog); DELETE FROM ChangeLog "
                                   "WHERE ChangeLogID = (SELECT MAX(ChangeLogID) FROM ChangeLog)",
                                   nullptr, nullptr, nullptr),
                      db, "delete log");
                if (!warmUp) {
                    payLoggedBoth.ours.push_back(ours);
                    payLoggedBoth.bare.push_back(bareLogged);
                    payLoggedBoth.rows = outcome.recorded;
                    payLoggedBoth.bareRows = int(debtors.size());
                }
            }
            if (!warmUp) {
                step->ours.push_back(ours);
                step->bare.push_back(bare);
                step->rows = outcome.recorded;
                step->bareRows = int(debtors.size());
            }
        }
    }
    sqlite3_close(db);

    std::printf("Register of %d members (a copy of %s), membership year %s\n", members,
                qPrintable(Register(members, seed)), qPrintable(Renewals::YearName(year, start)));
    std::printf("Median of %d runs; ours = Renewals through our layers, bare = sqlite3 "
                "prepare/bind/step of the same SQL, or one prepared INSERT per row in one "
                "transaction.\n\n",
                runs);
    std::printf("%-34s %8s %8s %10s %10s %7s\n", "step", "rows", "bare", "ours ms", "bare ms",
                "ratio");
    for (const Step* s : {&list, &window, &pay, &payLogged, &payLoggedBoth})
        print(*s);
    std::printf("(checksum %llu)\n", checksum);
    return 0;
}
