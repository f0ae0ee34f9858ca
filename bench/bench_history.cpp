// SPDX-License-Identifier: GPL-3.0-or-later
// The change log's cost, on generated registers.
//
// Visit: a member visit's writes and commit (the member's phone changed, a
// period added, a payment changed, then COMMIT), through our datasets with
// the change log recorded and, alternately, with no recorder on the
// connection. The ratio is what the log adds to the wait after Update.
//
// History: the whole register's history window opened on a register with
// --entries log entries (three rows each), up to its first page painted,
// against the bare engine reading that page with its rows in one statement.
// Each side runs once untimed first, so both find the pages in the cache.
// The same window opened on an empty log says what Qt's widgets cost alone.
//
//   bench_history [--members 10000] [--entries 100000] [--samples 21] [--seed 1]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "BenchSupport.h"

#include "db/ChangeLog.h"
#include "db/MemberSQL.h"
#include "history/HistoryView.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"

#include <QApplication>
#include <QFile>
#include <QTableView>
#include <cstdio>
#include <sqlite3.h>

namespace {

using namespace qv::bench;

qint64 scalar(qv::Connection& c, const QString& sql) {
    qv::Query q(&c);
    q.setSQL(sql);
    qv::Result r;
    q.fetch(r);
    return r.rows.value(r.rows.cell(0, 0)).toInteger();
}

// One visit's writes and commit; answers the milliseconds from the first
// write to the end of the commit.
double visit(qv::Connection& c, qint64 member, int sample) {
    qv::TransactionGuard transaction(c);
    qv::Dataset person(&c), periods(&c), payments(&c);
    person.setSQL(MemberSQL::MemberRowSQL());
    person.setParameter(QStringLiteral("MemberID"), member);
    person.setBaseTable(QStringLiteral("Members"), QStringLiteral("MemberID"));
    periods.setSQL(QStringLiteral("SELECT * FROM DatesJoined WHERE MemberID = :MemberID"));
    periods.setParameter(QStringLiteral("MemberID"), member);
    periods.setBaseTable(QStringLiteral("DatesJoined"), QStringLiteral("DatesJoinedID"));
    payments.setSQL(QStringLiteral("SELECT * FROM FeePayments WHERE MemberID = :MemberID"));
    payments.setParameter(QStringLiteral("MemberID"), member);
    payments.setBaseTable(QStringLiteral("FeePayments"), QStringLiteral("FeePaymentID"));
    for (qv::Dataset* d : {&person, &periods, &payments})
        d->open();

    const auto start = Clock::now();
    person.field(QStringLiteral("TelNo")).setValue(QStringLiteral("0113 %1").arg(sample));
    person.post();
    periods.insert();
    periods.field(QStringLiteral("MemberID")).setValue(member);
    periods.field(QStringLiteral("MembershipLevelID")).setValue(qint64(1));
    periods.field(QStringLiteral("DateJoined")).setValue(QDate(2000, 1, 1).addDays(sample));
    periods.post();
    if (!payments.isEmpty()) {
        payments.field(QStringLiteral("PaymentAmount")).setValue(10.0 + sample);
        payments.post();
    }
    transaction.commit();
    return msSince(start);
}

// Fills the log with `entries` entries of three changed columns each.
void fillLog(const QString& path, int entries, int members) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* entry = nullptr;
    sqlite3_stmt* row = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO ChangeLog (ChangedAt, ChangedBy, Source, EntryKind) VALUES "
                       "(?, 'secretary', 'Member Details', 'change')",
                       -1, &entry, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO ChangeLogRows (ChangeLogID, ChangeSeq, TableName, RowKey, "
                       "MemberID, Action, ColumnName, ValueType, OldValue, NewValue) VALUES (?, "
                       "1, 'Members', ?, ?, 'changed', ?, 'T', ?, ?)",
                       -1, &row, nullptr);
    const char* columns[] = {"TelNo", "City", "EmailAddress"};
    for (int i = 0; i < entries; ++i) {
        const QByteArray when = QDateTime(QDate(2015, 1, 1), QTime(9, 0))
                                    .addSecs(qint64(i) * 600)
                                    .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                                    .toLatin1();
        sqlite3_bind_text(entry, 1, when.constData(), int(when.size()), SQLITE_TRANSIENT);
        sqlite3_step(entry);
        sqlite3_reset(entry);
        const sqlite3_int64 id = sqlite3_last_insert_rowid(db);
        const int member = 1 + (i * 7919) % members;
        for (const char* column : columns) {
            const QByteArray oldValue = QByteArray("old ") + QByteArray::number(i);
            const QByteArray newValue = QByteArray("new ") + QByteArray::number(i);
            sqlite3_bind_int64(row, 1, id);
            sqlite3_bind_int64(row, 2, member);
            sqlite3_bind_int64(row, 3, member);
            sqlite3_bind_text(row, 4, column, -1, SQLITE_STATIC);
            sqlite3_bind_text(row, 5, oldValue.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(row, 6, newValue.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(row);
            sqlite3_reset(row);
        }
    }
    sqlite3_finalize(entry);
    sqlite3_finalize(row);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The recorder with the time spent in its calls added up, so the bench can
// say how much of the logged commit is the recorder's own work.
class TimedRecorder : public ChangeLog::Recorder {
public:
    double ms = 0;

    bool follows(const QString& sql) override {
        const auto start = Clock::now();
        const bool answer = Recorder::follows(sql);
        ms += msSince(start);
        return answer;
    }
    void beforeStatement(qv::Connection& connection, const QString& sql,
                         const std::vector<qv::Value>& params) override {
        const auto start = Clock::now();
        Recorder::beforeStatement(connection, sql, params);
        ms += msSince(start);
    }
    void afterStatement(qv::Connection& connection) override {
        const auto start = Clock::now();
        Recorder::afterStatement(connection);
        ms += msSince(start);
    }
    void rowInserted(qv::Connection& connection, const QString& table, const QString& keyColumn,
                     qint64 key) override {
        const auto start = Clock::now();
        Recorder::rowInserted(connection, table, keyColumn, key);
        ms += msSince(start);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int members = 10000, entries = 100000, samples = 21;
    quint64 seed = 1;
    Options("[--members N] [--entries N] [--samples N] [--seed N]")
        .number("--members", members, 10)
        .number("--entries", entries, HistoryModel::PageSize)
        .number("--samples", samples, 3)
        .number("--seed", seed)
        .parse(app.arguments());
    OwnSettings settings;

    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("history.mdb"));
    QFile::copy(Register(members, seed), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    std::unique_ptr<qv::Connection> c = OpenRegister(path);
    ChangeLog::CreateTables(*c);
    TimedRecorder recorder;
    // The same window on a log with no entries: what Qt's widgets cost alone.
    const QString emptyPath = work.filePath(QStringLiteral("empty.mdb"));
    c->close();
    QFile::copy(path, emptyPath);
    c = OpenRegister(path);
    std::unique_ptr<qv::Connection> empty = OpenRegister(emptyPath);

    // ---- a visit's commit, logged and not --------------------------------------
    const qint64 count = scalar(*c, QStringLiteral("SELECT COUNT(*) FROM Members"));
    std::vector<double> logged, bare, recording;
    for (int i = -1; i < samples; ++i) {
        const qint64 member = 1 + (qint64(i + 1) * 7919) % count;
        c->setChangeRecorder(&recorder);
        recorder.ms = 0;
        const double withLog = visit(*c, member, 2 * i + 2);
        if (i >= 0)
            recording.push_back(recorder.ms);
        c->setChangeRecorder(nullptr);
        const double without = visit(*c, member, 2 * i + 3);
        if (i >= 0) {
            logged.push_back(withLog);
            bare.push_back(without);
        }
    }
    std::printf("visit writes + commit, %d members: logged %.3f ms, unlogged %.3f ms, ratio "
                "%.2f (%lld log rows written)\n",
                members, median(logged), median(bare), median(logged) / median(bare),
                scalar(*c, QStringLiteral("SELECT COUNT(*) FROM ChangeLogRows")));
    std::printf("  of which inside the recorder %.3f ms (reads, log inserts)\n", median(recording));

    // ---- the history's first page ------------------------------------------------
    c->close();
    fillLog(path, entries, int(count));
    c = OpenRegister(path);
    BareEngine engine(path);
    const QByteArray page =
        "SELECT e.ChangeLogID, e.ChangedAt, e.ChangedBy, e.Source, e.EntryKind, r.ChangeSeq, "
        "r.TableName, r.RowKey, r.Action, r.ColumnName, r.ValueType, r.OldValue, r.NewValue FROM "
        "(SELECT * FROM ChangeLog ORDER BY ChangeLogID DESC LIMIT " +
        QByteArray::number(HistoryModel::PageSize) +
        ") e INNER JOIN ChangeLogRows r ON r.ChangeLogID = e.ChangeLogID ORDER BY e.ChangeLogID "
        "DESC, r.ChangeSeq, r.ChangeLogRowID";
    std::vector<double> window, query, model, counted, bareWindow;
    quint64 checksum = 0;
    int rows = 0;
    for (int i = -1; i < samples; ++i) {
        const auto emptyStart = Clock::now();
        {
            TfrmChangeHistory history(*empty);
            PaintCounter counter;
            QWidget* viewport = history.view()->grid()->viewport();
            viewport->installEventFilter(&counter);
            history.show();
            PaintNow(viewport, counter);
            if (i >= 0)
                bareWindow.push_back(msSince(emptyStart));
        }
        const auto start = Clock::now();
        {
            TfrmChangeHistory history(*c);
            PaintCounter counter;
            QWidget* viewport = history.view()->grid()->viewport();
            viewport->installEventFilter(&counter);
            history.show();
            PaintNow(viewport, counter);
            if (i >= 0)
                window.push_back(msSince(start));
            checksum += quint64(history.view()->model()->rowCount());
        }
        {
            HistoryModel alone(c.get());
            const auto loading = Clock::now();
            alone.load(History::Filter());
            if (i >= 0)
                model.push_back(msSince(loading));
            const auto counting = Clock::now();
            checksum += quint64(History::EntryCount(*c, History::Filter()));
            if (i >= 0)
                counted.push_back(msSince(counting));
        }
        const double q = runBare(engine.handle(), page, 0, qint64(0), rows, checksum);
        if (i >= 0)
            query.push_back(q);
    }
    std::printf("history first page, %d entries: window %.3f ms, bare page query %.3f ms (%d "
                "rows), ratio %.2f  [checksum %llu]\n",
                entries, median(window), median(query), rows, median(window) / median(query),
                static_cast<unsigned long long>(checksum));
    std::printf("  of which the page's data through our layers %.3f ms (ratio %.2f), the entry "
                "count alone %.3f ms\n",
                median(model), median(model) / median(query), median(counted));
    std::printf("  the same window on an empty log %.3f ms (ratio %.2f to the page query); the "
                "window less the empty one %.3f ms (ratio %.2f)\n",
                median(bareWindow), median(bareWindow) / median(query),
                median(window) - median(bareWindow),
                (median(window) - median(bareWindow)) / median(query));
    return 0;
}
