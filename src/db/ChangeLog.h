// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/ChangeRecorder.h"
#include "platform/data/Provider.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qv {
class Connection;
}

// The register's change log: one entry per committed visit or command, and
// below it one row per changed column of each row the entry added, changed or
// deleted. Written in the transaction of the change, so a change rolled back
// leaves no entry.
namespace ChangeLog {

// How one logged value was typed, so that undo writes it back as it was.
// Erased marks a value that an erasure removed from the log. KeyRange marks
// a row that stands for rows added in bulk (an import): RowKey is the first
// key, NewValue the last, and no value is kept, since the register holds
// them and any later change logs what it replaced.
enum ValueType : char { Integer = 'I', Float = 'F', Text = 'T', Erased = 'X', KeyRange = 'R' };
// The MemberID of a key-range row: no member's, and found by the index on
// MemberID, so that the few such rows are looked up without a scan.
constexpr qint64 KeyRangeMemberID = -1;
// The ColumnName of a key-range row.
QString KeyRangeColumn();

// What a row of the register change was.
QString ActionAdded();
QString ActionChanged();
QString ActionDeleted();

// Entry kinds.
QString KindChange();
QString KindUndo();
QString KindErasure();
QString KindImport();

// The statements that make the log's tables and indexes on the kind the
// connection string names.
QStringList TableStatements(const QString& connectionString);
// The table of the values too long for a log row, whole; a set of its own,
// so that registers whose log came before it gain it.
QStringList ValueTableStatements(const QString& connectionString);
// Whether the register already has the log.
bool HasTables(qv::Connection& connection);
// Makes the log's tables when they are missing, in the caller's transaction;
// answers whether it made them.
bool CreateTables(qv::Connection& connection);

// A value as the log keeps it, and back.
QString ToText(const qv::Value& value, char& type);
qv::Value FromText(const QString& text, bool isNull, char type);

// The member a row of a register table belongs to, by its table: the key for
// Members, the MemberID column for the member's records, none otherwise.
QString MemberColumn(const QString& table);
// The key column of a register table; empty for a table the log does not follow.
QString KeyColumn(const QString& table);
// The register's own name of a table, whatever case or quotes it came in.
QString TableName(const QString& table);
// The tables whose rows a delete of a row of this table takes with it, each
// with the column that points to the parent.
std::vector<std::pair<QString, QString>> Children(const QString& table);

// Writes an entry with no rows (an import, for one), in the caller's
// transaction; answers its key.
qint64 WriteEntry(qv::Connection& connection, const QString& source, const QString& kind,
                  qint64 undoOf = 0);

// The recorder a connection is given: it reads the rows a statement is about
// to change, and after the statement writes what changed.
class Recorder : public qv::ChangeRecorder {
public:
    // Names the window or command of an entry whose transaction was given no
    // label; the program sets it to the window in front.
    void setDefaultSource(std::function<QString()> source) { m_defaultSource = std::move(source); }
    // The kind and undone entry of the next entry this transaction makes.
    void setNextEntry(const QString& kind, qint64 undoOf = 0);
    // The entry the open transaction has written, 0 while none.
    qint64 currentEntry() const { return m_entry; }

    bool follows(const QString& sql) override;
    void beforeStatement(qv::Connection& connection, const QString& sql,
                         const std::vector<qv::Value>& params) override;
    void afterStatement(qv::Connection& connection) override;
    void rowInserted(qv::Connection& connection, const QString& table, const QString& keyColumn,
                     qint64 key) override;
    void transactionBoundary() override;
    // The rows of `table` with keys from `first` to `last`, all added by the
    // open transaction without telling the recorder, logged as one key range.
    void rowsAdded(qv::Connection& connection, const QString& table, qint64 first, qint64 last);

private:
    struct Rows {
        QString table;
        std::vector<qv::ColumnInfo> columns;
        std::vector<std::vector<qv::Value>> values; // each row in column order
        int keyIndex = -1;
    };
    enum class Pending { None, Insert, Update, Delete };

    bool ready(qv::Connection& connection);
    Rows readRows(qv::Connection& connection, const QString& table, const QString& where,
                  const std::vector<qv::Value>& params);
    Rows readKeys(qv::Connection& connection, const QString& table,
                  const std::vector<qint64>& keys);
    void readCascade(qv::Connection& connection, const Rows& parent);
    void logRows(qv::Connection& connection, const Rows& rows, const QString& action);
    void logChanges(qv::Connection& connection, const Rows& before, const Rows& after);
    qint64 entry(qv::Connection& connection);
    // Adds one log row (the ten columns of ChangeLogRows) to the batch.
    void queue(qv::Connection& connection, std::vector<qv::Value> row);
    void flush(qv::Connection& connection);

    std::function<QString()> m_defaultSource;
    QString m_nextKind;
    qint64 m_nextUndoOf = 0;
    qint64 m_entry = 0;
    int m_seq = 0;
    QString m_readyFor; // the connection string the log tables were found in

    Pending m_pending = Pending::None;
    QString m_table;
    Rows m_before;
    std::vector<Rows> m_cascade; // rows a delete takes with it, children first
    qint64 m_maxKey = 0;
    std::vector<qint64> m_insertKeys;

    // Log rows waiting to be written as one statement.
    std::vector<qv::Value> m_batch;
    int m_batchRows = 0;
};

} // namespace ChangeLog
