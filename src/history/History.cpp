// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/History.h"

#include "db/ChangeLog.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"

#include <QHash>
#include <QSet>
#include <optional>
#include <sqlite3.h>

namespace History {

namespace {

struct Column {
    QString name;
    char type = ChangeLog::Text;
    qv::Value oldValue, newValue;
    bool erased = false;
};

struct Change {
    int seq = 0;
    QString table;
    qint64 key = 0;
    qint64 lastKey = 0; // of rows added in bulk, logged as one range from `key`
    QString action;
    std::vector<Column> columns;
    bool range() const { return lastKey != 0; }
};

qv::Value at(const qv::Result& r, int row, int column) {
    return r.rows.value(r.rows.cell(row, column));
}

// An entry's time as the lists show it. The stored text mostly is that
// already; going through QDateTime for each entry of a page would ask the C
// library for the time zone (a file system look-up) every time.
QString whenText(const QString& stored) {
    const auto digits = [&](std::initializer_list<int> at) {
        for (int i : at)
            if (!stored.at(i).isDigit())
                return false;
        return true;
    };
    if (stored.size() >= 19 && stored.at(4) == u'-' && stored.at(7) == u'-' &&
        (stored.at(10) == u' ' || stored.at(10) == u'T') && stored.at(13) == u':' &&
        stored.at(16) == u':' && digits({0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})) {
        QString text = stored.left(19);
        text[10] = u' ';
        return text;
    }
    return qv::dateTimeFromStorage(stored).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

std::vector<Change> loadChanges(qv::Connection& connection, qint64 entry) {
    qv::Query q(&connection);
    // A value too long for the log row is whole in ChangeLogValues.
    q.setSQL(QStringLiteral(
        "SELECT r.ChangeSeq, r.TableName, r.RowKey, r.Action, r.ColumnName, r.ValueType, "
        "r.OldValue, r.NewValue, v.ChangeLogRowID, v.OldValue, v.NewValue FROM ChangeLogRows r "
        "LEFT JOIN ChangeLogValues v ON v.ChangeLogRowID = r.ChangeLogRowID WHERE r.ChangeLogID "
        "= :Entry ORDER BY r.ChangeSeq, r.ChangeLogRowID"));
    q.setParameter(QStringLiteral("Entry"), entry);
    qv::Result r;
    q.fetch(r);
    std::vector<Change> changes;
    for (int i = 0; i < r.rows.rowCount(); ++i) {
        const int seq = int(at(r, i, 0).toInteger());
        if (changes.empty() || changes.back().seq != seq) {
            Change c;
            c.seq = seq;
            c.table = ChangeLog::TableName(at(r, i, 1).toText());
            c.key = at(r, i, 2).toInteger();
            c.action = at(r, i, 3).toText();
            changes.push_back(c);
        }
        Column col;
        col.name = at(r, i, 4).toText();
        const QString type = at(r, i, 5).toText();
        col.type = type.isEmpty() ? char(ChangeLog::Text) : type.at(0).toLatin1();
        if (col.type == ChangeLog::KeyRange) {
            changes.back().lastKey = at(r, i, 7).toText().toLongLong();
            continue;
        }
        col.erased = col.type == ChangeLog::Erased;
        const bool whole = !at(r, i, 8).isNull();
        const qv::Value oldText = at(r, i, whole ? 9 : 6), newText = at(r, i, whole ? 10 : 7);
        col.oldValue = ChangeLog::FromText(oldText.toText(), oldText.isNull(), col.type);
        col.newValue = ChangeLog::FromText(newText.toText(), newText.isNull(), col.type);
        changes.back().columns.push_back(col);
    }
    return changes;
}

// The row as it stands now, column names folded to lower case; none when gone.
std::optional<QHash<QString, qv::Value>> currentRow(qv::Connection& connection,
                                                    const QString& table, qint64 key) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") +
             ChangeLog::KeyColumn(table) + QStringLiteral(" = :Key"));
    q.setParameter(QStringLiteral("Key"), key);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        return std::nullopt;
    QHash<QString, qv::Value> row;
    for (size_t c = 0; c < r.columns.size(); ++c)
        row.insert(r.columns[c].name.toLower(), at(r, 0, int(c)));
    return row;
}

// Whether a value now in the register is the one the log holds.
bool sameValue(const qv::Value& now, const qv::Value& logged) {
    if (now.isNull() || logged.isNull())
        return now.isNull() && logged.isNull();
    char t1 = ChangeLog::Text, t2 = ChangeLog::Text;
    return ChangeLog::ToText(now, t1) == ChangeLog::ToText(logged, t2);
}

QString rowTitle(const Change& c) {
    return TableTitle(c.table) + u' ' + QString::number(c.key);
}

// Who changed the row (or one column of it) after the entry, as a clause.
QString laterChange(qv::Connection& connection, qint64 entry, const Change& c,
                    const QString& column = QString()) {
    qv::Query q(&connection);
    QString sql = QStringLiteral(
        "SELECT ChangeLog.ChangeLogID, ChangedAt, ChangedBy, Source FROM ChangeLog INNER JOIN "
        "ChangeLogRows ON ChangeLog.ChangeLogID = ChangeLogRows.ChangeLogID WHERE "
        "ChangeLog.ChangeLogID > :Entry AND TableName = :TableName AND RowKey = :RowKey");
    if (!column.isEmpty())
        sql += QStringLiteral(" AND ColumnName = :ColumnName");
    q.setSQL(sql + QStringLiteral(" ORDER BY ChangeLog.ChangeLogID"));
    q.setParameter(QStringLiteral("Entry"), entry);
    q.setParameter(QStringLiteral("TableName"), c.table);
    q.setParameter(QStringLiteral("RowKey"), c.key);
    if (!column.isEmpty())
        q.setParameter(QStringLiteral("ColumnName"), column);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        return QStringLiteral(" (by another program)");
    const QDateTime when = qv::dateTimeFromStorage(at(r, 0, 1).toText());
    return QStringLiteral(" by %1 in %2 on %3 (entry %4)")
        .arg(at(r, 0, 2).toText(), at(r, 0, 3).toText(),
             when.toString(QStringLiteral("yyyy-MM-dd hh:mm")))
        .arg(at(r, 0, 0).toInteger());
}

void refuse(const QString& why) {
    throw UndoRefused(QStringLiteral("This change cannot be undone: ") + why);
}

// The rows an entry added, one by one or as ranges of keys.
class AddedRows {
public:
    explicit AddedRows(const std::vector<Change>& changes) {
        for (const Change& c : changes)
            if (c.action == ChangeLog::ActionAdded()) {
                if (c.range())
                    m_ranges.push_back(&c);
                else
                    m_rows.insert(c.table.toLower() + u'/' + QString::number(c.key));
            }
    }
    bool contains(const QString& table, qint64 key) const {
        for (const Change* c : m_ranges)
            if (key >= c->key && key <= c->lastKey &&
                table.compare(c->table, Qt::CaseInsensitive) == 0)
                return true;
        return m_rows.contains(table.toLower() + u'/' + QString::number(key));
    }

private:
    QSet<QString> m_rows;
    std::vector<const Change*> m_ranges;
};

// Children of the added row `parent` of table `c.table` that the entry did
// not add stop its undo: removing the row would take them with it.
void checkChildren(qv::Connection& connection, const Change& c, const AddedRows& added) {
    const qint64 last = c.range() ? c.lastKey : c.key;
    for (const auto& [child, column] : ChangeLog::Children(c.table)) {
        qv::Query q(&connection);
        q.setSQL(QStringLiteral("SELECT ") + ChangeLog::KeyColumn(child) + QStringLiteral(", ") +
                 column + QStringLiteral(" FROM ") + child + QStringLiteral(" WHERE ") + column +
                 QStringLiteral(" BETWEEN :First AND :Last"));
        q.setParameter(QStringLiteral("First"), c.key);
        q.setParameter(QStringLiteral("Last"), last);
        qv::Result r;
        q.fetch(r);
        for (int i = 0; i < r.rows.rowCount(); ++i)
            if (!added.contains(child, at(r, i, 0).toInteger()))
                refuse(QStringLiteral("%1 %2 was added to %3 %4 later.")
                           .arg(TableTitle(child))
                           .arg(at(r, i, 0).toInteger())
                           .arg(TableTitle(c.table))
                           .arg(at(r, i, 1).toInteger()));
    }
}

// One row of a range, for naming it.
Change rowOf(const Change& range, qint64 key) {
    Change row = range;
    row.key = key;
    row.lastKey = 0;
    return row;
}

// Rows added in bulk: all must still be there, and as the entry left them.
void checkRange(qv::Connection& connection, qint64 entry, const Change& c, const AddedRows& added) {
    const QString key = ChangeLog::KeyColumn(c.table);
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT ") + key + QStringLiteral(" FROM ") + c.table +
             QStringLiteral(" WHERE ") + key +
             QStringLiteral(" BETWEEN :First AND :Last ORDER BY ") + key);
    q.setParameter(QStringLiteral("First"), c.key);
    q.setParameter(QStringLiteral("Last"), c.lastKey);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() < c.lastKey - c.key + 1) {
        Change gone = rowOf(c, c.key + r.rows.rowCount());
        for (int i = 0; i < r.rows.rowCount(); ++i)
            if (at(r, i, 0).toInteger() != c.key + i) {
                gone = rowOf(c, c.key + i);
                break;
            }
        refuse(QStringLiteral("%1 was deleted later%2.")
                   .arg(rowTitle(gone), laterChange(connection, entry, gone)));
    }
    // A later entry's first record of a column holds, as its old value, the
    // value the import left there: the column is as imported when the
    // register holds that value again (a later change undone, say).
    q.setSQL(QStringLiteral(
        "SELECT r.RowKey, r.ColumnName, r.ValueType, r.OldValue, v.ChangeLogRowID, v.OldValue FROM "
        "ChangeLogRows r LEFT JOIN ChangeLogValues v ON v.ChangeLogRowID = r.ChangeLogRowID WHERE "
        "r.ChangeLogID > :Entry AND r.TableName = :TableName AND r.RowKey BETWEEN :First AND "
        ":Last ORDER BY r.ChangeLogRowID"));
    q.setParameter(QStringLiteral("Entry"), entry);
    q.setParameter(QStringLiteral("TableName"), c.table);
    q.setParameter(QStringLiteral("First"), c.key);
    q.setParameter(QStringLiteral("Last"), c.lastKey);
    q.fetch(r);
    QSet<QString> seen;
    QHash<qint64, QHash<QString, qv::Value>> now;
    for (int i = 0; i < r.rows.rowCount(); ++i) {
        const Change later = rowOf(c, at(r, i, 0).toInteger());
        const QString column = at(r, i, 1).toText();
        if (seen.contains(QString::number(later.key) + u'/' + column.toLower()))
            continue;
        seen.insert(QString::number(later.key) + u'/' + column.toLower());
        const QString type = at(r, i, 2).toText();
        const char t = type.isEmpty() ? char(ChangeLog::Text) : type.at(0).toLatin1();
        if (t == ChangeLog::Erased)
            refuse(QStringLiteral("the values of %1 were erased.").arg(rowTitle(later)));
        if (!now.contains(later.key))
            now.insert(
                later.key,
                currentRow(connection, c.table, later.key).value_or(QHash<QString, qv::Value>()));
        const qv::Value old = at(r, i, at(r, i, 4).isNull() ? 3 : 5);
        if (!sameValue(now[later.key].value(column.toLower()),
                       ChangeLog::FromText(old.toText(), old.isNull(), t)))
            refuse(
                QStringLiteral("%1 of %2 was changed later%3.")
                    .arg(column, rowTitle(later), laterChange(connection, entry, later, column)));
    }
    checkChildren(connection, c, added);
}

// Everything that would stop the undo, checked before anything is written.
void check(qv::Connection& connection, qint64 entry, const std::vector<Change>& changes) {
    const AddedRows added(changes);
    // A row the entry touched more than once is judged by where the entry
    // left it: its last action, and the latest value of each column.
    QHash<QString, std::optional<QHash<QString, qv::Value>>> rows;
    QSet<QString> columnSeen;
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        const Change& c = *it;
        if (c.range()) {
            checkRange(connection, entry, c, added);
            continue;
        }
        for (const Column& col : c.columns)
            if (col.erased)
                refuse(QStringLiteral("the values of %1 were erased.").arg(rowTitle(c)));
        const QString rowId = c.table.toLower() + u'/' + QString::number(c.key);
        const bool lastOfRow = !rows.contains(rowId);
        if (lastOfRow)
            rows.insert(rowId, currentRow(connection, c.table, c.key));
        const auto& now = rows[rowId];
        if (lastOfRow && c.action == ChangeLog::ActionDeleted()) {
            if (now)
                refuse(QStringLiteral("the key of the deleted %1 is in use again%2.")
                           .arg(rowTitle(c), laterChange(connection, entry, c)));
            continue;
        }
        if (!now) {
            if (lastOfRow)
                refuse(QStringLiteral("%1 was deleted later%2.")
                           .arg(rowTitle(c), laterChange(connection, entry, c)));
            continue;
        }
        for (const Column& col : c.columns) {
            const QString columnId = rowId + u'/' + col.name.toLower();
            if (columnSeen.contains(columnId))
                continue;
            columnSeen.insert(columnId);
            if (!sameValue(now->value(col.name.toLower()), col.newValue))
                refuse(
                    QStringLiteral("%1 of %2 was changed later%3.")
                        .arg(col.name, rowTitle(c), laterChange(connection, entry, c, col.name)));
        }
        if (c.action == ChangeLog::ActionAdded())
            checkChildren(connection, c, added);
    }
}

void reverse(qv::Connection& connection, const Change& c) {
    const QString key = ChangeLog::KeyColumn(c.table);
    qv::Query q(&connection);
    if (c.range()) {
        q.setSQL(QStringLiteral("DELETE FROM ") + c.table + QStringLiteral(" WHERE ") + key +
                 QStringLiteral(" BETWEEN :First AND :Last"));
        q.setParameter(QStringLiteral("First"), c.key);
        q.setParameter(QStringLiteral("Last"), c.lastKey);
        q.execute();
        return;
    }
    if (c.action == ChangeLog::ActionAdded()) {
        q.setSQL(QStringLiteral("DELETE FROM ") + c.table + QStringLiteral(" WHERE ") + key +
                 QStringLiteral(" = :RowKey"));
    } else if (c.action == ChangeLog::ActionChanged()) {
        QStringList sets;
        for (size_t i = 0; i < c.columns.size(); ++i)
            sets << c.columns[i].name + QStringLiteral(" = :V") + QString::number(i);
        q.setSQL(QStringLiteral("UPDATE ") + c.table + QStringLiteral(" SET ") +
                 sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + key +
                 QStringLiteral(" = :RowKey"));
        for (size_t i = 0; i < c.columns.size(); ++i)
            q.setParameter(QStringLiteral("V") + QString::number(i), c.columns[i].oldValue);
    } else {
        QStringList names{key}, marks{QStringLiteral(":RowKey")};
        for (size_t i = 0; i < c.columns.size(); ++i) {
            names << c.columns[i].name;
            marks << QStringLiteral(":V") + QString::number(i);
        }
        q.setSQL(QStringLiteral("INSERT INTO ") + c.table + QStringLiteral(" (") +
                 names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                 marks.join(QStringLiteral(", ")) + u')');
        for (size_t i = 0; i < c.columns.size(); ++i)
            q.setParameter(QStringLiteral("V") + QString::number(i), c.columns[i].oldValue);
        q.setParameter(QStringLiteral("RowKey"), c.key);
        const KeyedInsertFrame frame = KeyedInsert(connection.kind(), c.table);
        if (!frame.before.isEmpty())
            connection.execute(frame.before);
        try {
            q.execute();
        } catch (...) {
            // Left on, it would refuse the key of the next table restored.
            if (!frame.after.isEmpty()) {
                try {
                    connection.execute(frame.after);
                } catch (const qv::DatabaseError&) {
                    // The insert's own error is the one to report.
                }
            }
            throw;
        }
        if (!frame.after.isEmpty())
            connection.execute(frame.after);
        return;
    }
    q.setParameter(QStringLiteral("RowKey"), c.key);
    q.execute();
}

QString shown(const qv::Value& v) {
    if (v.isNull())
        return QStringLiteral("(empty)");
    char t = ChangeLog::Text;
    return ChangeLog::ToText(v, t);
}

// The condition on a log row that it is a range of members added in bulk
// holding the member `id`. The index on MemberID finds the few range rows;
// the last key is read as a number only on those.
QString inRange(const QString& id) {
    return QStringLiteral("ChangeLogRows.MemberID = %1 AND ChangeLogRows.TableName = 'Members' "
                          "AND ChangeLogRows.RowKey <= %2 AND CASE WHEN ChangeLogRows.MemberID = "
                          "%1 THEN CAST(ChangeLogRows.NewValue AS INTEGER) END >= %2")
        .arg(ChangeLog::KeyRangeMemberID)
        .arg(id);
}

QString whereClause(const Filter& filter, bool postgres) {
    QStringList parts;
    if (filter.from.isValid())
        parts << QStringLiteral("ChangedAt >= :FromDay");
    if (filter.to.isValid())
        parts << QStringLiteral("ChangedAt < :ToDay");
    if (!filter.user.isEmpty())
        parts << QStringLiteral("ChangedBy = :UserName");
    // Members added in bulk are found by the range of keys their entry logged.
    if (filter.memberId)
        parts << QStringLiteral("ChangeLogID IN (SELECT ChangeLogID FROM ChangeLogRows WHERE "
                                "MemberID = :MemberID UNION SELECT ChangeLogID FROM "
                                "ChangeLogRows WHERE ") +
                     inRange(QStringLiteral(":MemberID")) + u')';
    if (!filter.member.isEmpty()) {
        const QString like = QStringLiteral("(Surname || ' ' || FirstNames) ") +
                             (postgres ? QStringLiteral("ILIKE") : QStringLiteral("LIKE")) +
                             QStringLiteral(" :MemberName");
        parts << QStringLiteral("ChangeLogID IN (SELECT ChangeLogID FROM ChangeLogRows INNER JOIN "
                                "Members ON ChangeLogRows.MemberID = Members.MemberID WHERE ") +
                     like +
                     QStringLiteral(
                         " UNION SELECT ChangeLogID FROM ChangeLogRows, Members WHERE ") +
                     inRange(QStringLiteral("Members.MemberID")) + QStringLiteral(" AND ") + like +
                     u')';
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(" AND ");
}

void setFilterParameters(qv::Query& q, const Filter& filter) {
    if (filter.from.isValid())
        q.setParameter(QStringLiteral("FromDay"), qv::Value(filter.from));
    if (filter.to.isValid())
        q.setParameter(QStringLiteral("ToDay"), qv::Value(filter.to.addDays(1)));
    if (!filter.user.isEmpty())
        q.setParameter(QStringLiteral("UserName"), filter.user);
    if (filter.memberId)
        q.setParameter(QStringLiteral("MemberID"), filter.memberId);
    if (!filter.member.isEmpty())
        q.setParameter(QStringLiteral("MemberName"), u'%' + filter.member + u'%');
}

bool isPostgres(qv::Connection& connection) {
    return connection.kind() == qv::ConnectionString::Kind::PostgreSQL;
}

} // namespace

KeyedInsertFrame KeyedInsert(qv::ConnectionString::Kind kind, const QString& table) {
    if (kind != qv::ConnectionString::Kind::Server)
        return {};
    const QString name = ChangeLog::TableName(table);
    return {QStringLiteral("SET IDENTITY_INSERT ") + name + QStringLiteral(" ON"),
            QStringLiteral("SET IDENTITY_INSERT ") + name + QStringLiteral(" OFF")};
}

QString TableTitle(const QString& table) {
    static const QHash<QString, QString> titles{
        {QStringLiteral("members"), QStringLiteral("Member")},
        {QStringLiteral("datesjoined"), QStringLiteral("Period")},
        {QStringLiteral("memberassets"), QStringLiteral("Asset")},
        {QStringLiteral("memberprofiles"), QStringLiteral("Profile")},
        {QStringLiteral("feepayments"), QStringLiteral("Payment")},
        {QStringLiteral("membernotes"), QStringLiteral("Note")},
        {QStringLiteral("fileattachments"), QStringLiteral("File")},
        {QStringLiteral("membershiplevel"), QStringLiteral("Membership level")},
        {QStringLiteral("assets"), QStringLiteral("Asset kind")},
        {QStringLiteral("profiles"), QStringLiteral("Profile kind")},
    };
    return titles.value(table.toLower(), table);
}

qint64 EntryCount(qv::Connection& connection, const Filter& filter) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT COUNT(*) FROM ChangeLog") +
             whereClause(filter, isPostgres(connection)));
    setFilterParameters(q, filter);
    qv::Result r;
    q.fetch(r);
    return r.rows.rowCount() ? at(r, 0, 0).toInteger() : 0;
}

std::vector<Entry> Entries(qv::Connection& connection, const Filter& filter, int offset, int limit,
                           SortBy sort, bool ascending) {
    const QString direction = ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
    QString order;
    switch (sort) {
    case SortBy::When:
        order = QStringLiteral("ChangeLogID") + direction;
        break;
    case SortBy::User:
        order = QStringLiteral("ChangedBy") + direction + QStringLiteral(", ChangeLogID DESC");
        break;
    case SortBy::Source:
        order = QStringLiteral("Source") + direction + QStringLiteral(", ChangeLogID DESC");
        break;
    }
    const bool server = connection.kind() == qv::ConnectionString::Kind::Server;
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT ChangeLogID, ChangedAt, ChangedBy, Source, EntryKind FROM "
                            "ChangeLog") +
             whereClause(filter, isPostgres(connection)) + QStringLiteral(" ORDER BY ") + order +
             (server ? QStringLiteral(" OFFSET %1 ROWS FETCH NEXT %2 ROWS ONLY")
                     : QStringLiteral(" LIMIT %2 OFFSET %1"))
                 .arg(offset)
                 .arg(limit));
    setFilterParameters(q, filter);
    qv::Result r;
    q.fetch(r);
    std::vector<Entry> entries;
    QHash<qint64, size_t> index;
    QStringList marks;
    std::vector<qv::Value> ids;
    for (int i = 0; i < r.rows.rowCount(); ++i) {
        Entry e;
        e.id = at(r, i, 0).toInteger();
        e.when = whenText(at(r, i, 1).toText());
        e.user = at(r, i, 2).toText();
        e.source = at(r, i, 3).toText();
        e.kind = at(r, i, 4).toText();
        index.insert(e.id, entries.size());
        entries.push_back(e);
        marks << QStringLiteral("?");
        ids.emplace_back(e.id);
    }
    if (entries.empty())
        return entries;

    // The changes of the page's entries, in one statement.
    qv::Result rows;
    QString sql = QStringLiteral("SELECT ChangeLogID, ChangeSeq, TableName, RowKey, Action, "
                                 "ColumnName, ValueType, OldValue, NewValue FROM ChangeLogRows "
                                 "WHERE ChangeLogID IN (") +
                  marks.join(QStringLiteral(", ")) + u')';
    if (filter.memberId) {
        sql += QStringLiteral(" AND (MemberID = ? OR (") + inRange(QStringLiteral("?")) +
               QStringLiteral("))");
        ids.insert(ids.end(), 3, qv::Value(filter.memberId));
    }
    sql += QStringLiteral(" ORDER BY ChangeLogID, ChangeSeq, ChangeLogRowID");
    connection.provider().fetch(connection.provider().prepared(sql).text, ids, rows);
    qint64 lastEntry = -1;
    int lastSeq = -1;
    QString line;
    auto finish = [&] {
        if (lastEntry >= 0 && !line.isEmpty()) {
            Entry& e = entries[index.value(lastEntry)];
            e.what += (e.what.isEmpty() ? QString() : QStringLiteral("\n")) + line;
        }
        line.clear();
    };
    for (int i = 0; i < rows.rows.rowCount(); ++i) {
        const qint64 id = at(rows, i, 0).toInteger();
        const int seq = int(at(rows, i, 1).toInteger());
        const QString action = at(rows, i, 4).toText();
        if (id != lastEntry || seq != lastSeq) {
            finish();
            lastEntry = id;
            lastSeq = seq;
            line = TableTitle(at(rows, i, 2).toText()) + u' ' +
                   QString::number(at(rows, i, 3).toInteger()) + u' ' + action + u':';
        }
        const QString type = at(rows, i, 6).toText();
        const qv::Value oldValue = at(rows, i, 7), newValue = at(rows, i, 8);
        if (type == QLatin1Char(ChangeLog::KeyRange)) {
            const qint64 first = at(rows, i, 3).toInteger(), last = newValue.toText().toLongLong();
            line = TableTitle(at(rows, i, 2).toText()) + u' ' + QString::number(first) +
                   QStringLiteral(" to ") + QString::number(last) + u' ' + action +
                   QStringLiteral(": %1 rows;").arg(last - first + 1);
            continue;
        }
        line += u' ' + at(rows, i, 5).toText() + u' ';
        if (type == QLatin1String("X"))
            line += QStringLiteral("(erased)");
        else if (action == ChangeLog::ActionAdded())
            line += shown(newValue);
        else if (action == ChangeLog::ActionDeleted())
            line += shown(oldValue);
        else
            line += shown(oldValue) + QStringLiteral(" → ") + shown(newValue);
        line += u';';
    }
    finish();
    return entries;
}

QString ErasureKeeps() {
    return QStringLiteral("Their periods of membership and their payments are kept, so totals "
                          "and statistics still add up.");
}

void EraseMember(qv::Connection& connection, qint64 memberId) {
    std::optional<qv::TransactionGuard> own;
    if (!connection.inTransaction())
        own.emplace(connection, qv::TransactionKind::Normal, QStringLiteral("Erase Member"));
    sqlite3* file = connection.sqliteHandle();
    if (file)
        sqlite3_exec(file, "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr);
    if (auto* recorder = dynamic_cast<ChangeLog::Recorder*>(connection.changeRecorder()))
        if (!recorder->currentEntry())
            recorder->setNextEntry(ChangeLog::KindErasure());
    const auto run = [&](const QString& sql) {
        qv::Query q(&connection);
        q.setSQL(sql);
        if (q.hasParameter(QStringLiteral("Name")))
            q.setParameter(QStringLiteral("Name"), QStringLiteral("Member %1").arg(memberId));
        q.setParameter(QStringLiteral("MemberID"), memberId);
        q.execute();
    };
    run(QStringLiteral("UPDATE Members SET Surname = 'Erased', FirstNames = :Name, Address = "
                       "'Erased', City = NULL, PostCode = NULL, TelNo = NULL, MobileNo = NULL, "
                       "EmailAddress = NULL WHERE MemberID = :MemberID"));
    run(QStringLiteral("UPDATE MemberNotes SET MemberNote = 'Erased' WHERE MemberID = :MemberID"));
    run(QStringLiteral("UPDATE FileAttachments SET FilePath = 'Erased', FileDescription = "
                       "'Erased' WHERE MemberID = :MemberID"));
    // The log keeps that these values changed, never what they were.
    run(QStringLiteral(
        "UPDATE ChangeLogRows SET OldValue = NULL, NewValue = NULL, ValueType = 'X' WHERE "
        "MemberID = :MemberID AND ((TableName = 'Members' AND ColumnName IN ('Surname', "
        "'FirstNames', 'Address', 'City', 'PostCode', 'TelNo', 'MobileNo', 'EmailAddress')) OR "
        "(TableName = 'MemberNotes' AND ColumnName = 'MemberNote') OR (TableName = "
        "'FileAttachments' AND ColumnName IN ('FilePath', 'FileDescription')))"));
    if (own)
        own->commit();
}

std::vector<DueMember> MembersDueForErasure(qv::Connection& connection, int years) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral(
        "SELECT MemberID, Surname, FirstNames, (SELECT MAX(DateEnded) FROM DatesJoined d WHERE "
        "d.MemberID = Members.MemberID) FROM Members WHERE EXISTS (SELECT 1 FROM DatesJoined d "
        "WHERE d.MemberID = Members.MemberID) AND NOT EXISTS (SELECT 1 FROM DatesJoined d WHERE "
        "d.MemberID = Members.MemberID AND (d.DateEnded IS NULL OR d.DateEnded >= :Cutoff)) AND "
        "NOT (Surname = 'Erased' AND FirstNames LIKE 'Member %') ORDER BY Surname, FirstNames, "
        "MemberID"));
    q.setParameter(QStringLiteral("Cutoff"), qv::Value(qv::Clock::now().date().addYears(-years)));
    qv::Result r;
    q.fetch(r);
    std::vector<DueMember> due;
    for (int i = 0; i < r.rows.rowCount(); ++i)
        due.push_back({at(r, i, 0).toInteger(), at(r, i, 1).toText(), at(r, i, 2).toText(),
                       qv::dateTimeFromStorage(at(r, i, 3).toText()).date()});
    return due;
}

void Undo(qv::Connection& connection, qint64 entry) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT EntryKind FROM ChangeLog WHERE ChangeLogID = :Entry"));
    q.setParameter(QStringLiteral("Entry"), entry);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        refuse(QStringLiteral("entry %1 is not in the change log.").arg(entry));
    if (at(r, 0, 0).toText() == ChangeLog::KindErasure())
        refuse(QStringLiteral("an erasure removed the values it changed."));

    std::optional<qv::TransactionGuard> own;
    if (!connection.inTransaction())
        own.emplace(connection, qv::TransactionKind::Normal,
                    QStringLiteral("Undo of entry %1").arg(entry));
    const std::vector<Change> changes = loadChanges(connection, entry);
    if (changes.empty())
        refuse(QStringLiteral("entry %1 holds no change of a row.").arg(entry));
    check(connection, entry, changes);
    if (auto* recorder = dynamic_cast<ChangeLog::Recorder*>(connection.changeRecorder()))
        if (!recorder->currentEntry())
            recorder->setNextEntry(ChangeLog::KindUndo(), entry);
    for (auto c = changes.rbegin(); c != changes.rend(); ++c)
        reverse(connection, *c);
    if (own)
        own->commit();
}

} // namespace History
