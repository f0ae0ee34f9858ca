// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/ChangeLog.h"

#include "db/RegisterTables.h"
#include "db/TableCreate.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"

#include <QDateTime>
#include <QRegularExpression>
#include <pwd.h>
#include <unistd.h>

namespace ChangeLog {

namespace {

struct TableInfo {
    const char* name;
    const char* key;
    const char* member;
};

const TableInfo kTables[] = {
    {"MembershipLevel", "MembershipLevelID", nullptr},
    {"Members", "MemberID", "MemberID"},
    {"DatesJoined", "DatesJoinedID", "MemberID"},
    {"Assets", "AssetID", nullptr},
    {"MemberAssets", "MemberAssetID", "MemberID"},
    {"Profiles", "ProfileID", nullptr},
    {"MemberProfiles", "MemberProfileID", "MemberID"},
    {"FeePayments", "FeePaymentID", "MemberID"},
    {"MemberNotes", "MemberNotesID", "MemberID"},
    {"FileAttachments", "FileAttachmentID", "MemberID"},
};

// The rows a delete takes with it through the foreign keys.
struct Cascade {
    const char* parent;
    const char* child;
    const char* column;
};

const Cascade kCascades[] = {
    {"Members", "DatesJoined", "MemberID"},
    {"Members", "MemberAssets", "MemberID"},
    {"Members", "MemberProfiles", "MemberID"},
    {"Members", "FeePayments", "MemberID"},
    {"Members", "MemberNotes", "MemberID"},
    {"Members", "FileAttachments", "MemberID"},
    {"MembershipLevel", "DatesJoined", "MembershipLevelID"},
    {"Assets", "MemberAssets", "AssetID"},
    {"Profiles", "MemberProfiles", "ProfileID"},
};

// The register's own cascades, then those of the program's table sets.
const std::vector<RegisterTables::Cascade>& cascades() {
    static const std::vector<RegisterTables::Cascade> all = [] {
        std::vector<RegisterTables::Cascade> list;
        for (const Cascade& c : kCascades)
            list.push_back({QString::fromLatin1(c.parent), QString::fromLatin1(c.child),
                            QString::fromLatin1(c.column)});
        const auto& more = RegisterTables::Cascades();
        list.insert(list.end(), more.begin(), more.end());
        return list;
    }();
    return all;
}

// The register's own tables, then those of the program's table sets.
const std::vector<RegisterTables::FollowedTable>& followedTables() {
    static const std::vector<RegisterTables::FollowedTable> all = [] {
        std::vector<RegisterTables::FollowedTable> tables;
        for (const TableInfo& t : kTables)
            tables.push_back({QString::fromLatin1(t.name), QString::fromLatin1(t.key),
                              t.member ? QString::fromLatin1(t.member) : QString()});
        const auto& more = RegisterTables::Followed();
        tables.insert(tables.end(), more.begin(), more.end());
        return tables;
    }();
    return all;
}

const RegisterTables::FollowedTable* findTable(const QString& name) {
    QString bare = name;
    bare.remove(u'"').remove(u'[').remove(u']').remove(u'`');
    for (const RegisterTables::FollowedTable& t : followedTables())
        if (bare.compare(t.name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

// The register's spelling of its column names: PostgreSQL answers them folded
// to lower case, and the log should read the same on every kind.
QString columnName(const QString& name) {
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> map;
        for (const QStringList& lines : TableCreate::TableStatements(QStringLiteral("x.mdb")))
            for (const QString& line : lines) {
                const QString word = line.trimmed().section(u' ', 0, 0);
                if (!word.isEmpty() && word.at(0).isLetter() &&
                    word.compare(QLatin1String("CONSTRAINT"), Qt::CaseInsensitive) != 0)
                    map.insert(word.toLower(), word);
            }
        for (const QString& word : RegisterTables::ColumnNames())
            map.insert(word.toLower(), word);
        return map;
    }();
    return names.value(name.toLower(), name);
}

// The number of "?" placeholders outside string literals.
int countPlaceholders(const QString& text) {
    int count = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'\'')
            quoted = !quoted;
        else if (c == u'?' && !quoted)
            ++count;
    }
    return count;
}

// Splits at commas outside parentheses and string literals.
QStringList splitTopLevel(const QString& text) {
    QStringList parts;
    int depth = 0;
    bool quoted = false;
    QString current;
    for (const QChar c : text) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted) {
            if (c == u'(')
                ++depth;
            else if (c == u')')
                --depth;
            else if (c == u',' && depth == 0) {
                parts << current.trimmed();
                current.clear();
                continue;
            }
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        parts << current.trimmed();
    return parts;
}

struct Statement {
    enum Kind { Other, Insert, Update, Delete } kind = Other;
    const RegisterTables::FollowedTable* table = nullptr;
    QString where;     // the condition, empty for every row
    int whereFrom = 0; // the first parameter of the condition
    QStringList insertColumns;
    QStringList insertValues;
};

Statement parse(const QString& sql) {
    static const QRegularExpression del(
        QStringLiteral(R"(^\s*DELETE\s+FROM\s+([\w"\[\]`]+)(?:\s+WHERE\s+(.*?))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression upd(
        QStringLiteral(R"(^\s*UPDATE\s+([\w"\[\]`]+)\s+SET\s+(.*?)(?:\s+WHERE\s+(.*?))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression ins(
        QStringLiteral(
            R"(^\s*INSERT\s+INTO\s+([\w"\[\]`]+)\s*(?:\(([^)]*)\))?\s*(?:VALUES\s*\((.*)\))?.*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    Statement s;
    QRegularExpressionMatch m = del.match(sql);
    if (m.hasMatch()) {
        s.kind = Statement::Delete;
        s.table = findTable(m.captured(1));
        s.where = m.captured(2);
    } else if ((m = upd.match(sql)).hasMatch()) {
        s.kind = Statement::Update;
        s.table = findTable(m.captured(1));
        s.where = m.captured(3);
        s.whereFrom = countPlaceholders(m.captured(2));
    } else if ((m = ins.match(sql)).hasMatch()) {
        s.kind = Statement::Insert;
        s.table = findTable(m.captured(1));
        s.insertColumns = splitTopLevel(m.captured(2));
        s.insertValues = splitTopLevel(m.captured(3));
    }
    if (!s.table)
        s.kind = Statement::Other;
    return s;
}

QString osUser() {
    static const QString user = [] {
        if (const passwd* pw = getpwuid(geteuid()))
            return QString::fromLocal8Bit(pw->pw_name);
        return qEnvironmentVariable("USER");
    }();
    return user;
}

QString userOf(qv::Connection& connection) {
    static QString lastConnection, lastUser;
    if (connection.connectionString() == lastConnection && !lastUser.isEmpty())
        return lastUser;
    const qv::ConnectionString cs = qv::ConnectionString::parse(connection.connectionString());
    const QString login = cs.value(QStringLiteral("User ID"));
    lastConnection = connection.connectionString();
    lastUser = (login.isEmpty() ? osUser() : login).left(128);
    return lastUser;
}

const int kBatchRows = 64;
// The width of a value in a log row.
const int kValueWidth = 255;

// The statement that writes `rows` log rows at once.
const QString& insertRowsText(int rows) {
    static QHash<int, QString> texts;
    QString& sql = texts[rows];
    if (sql.isEmpty()) {
        QStringList marks;
        for (int i = 0; i < rows; ++i)
            marks << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        sql =
            QStringLiteral("INSERT INTO ChangeLogRows (ChangeLogID, ChangeSeq, TableName, RowKey, "
                           "MemberID, Action, ColumnName, ValueType, OldValue, NewValue) VALUES ") +
            marks.join(QStringLiteral(", "));
    }
    return sql;
}

// The statement parsed once per text: the program's writes repeat a few
// texts many times.
const Statement& parsed(const QString& sql) {
    static QHash<QString, Statement> cache;
    const auto found = cache.constFind(sql);
    if (found != cache.constEnd())
        return *found;
    if (cache.size() >= 256)
        cache.clear();
    return *cache.insert(sql, parse(sql));
}

} // namespace

QString ActionAdded() {
    return QStringLiteral("added");
}
QString ActionChanged() {
    return QStringLiteral("changed");
}
QString ActionDeleted() {
    return QStringLiteral("deleted");
}
QString KeyRangeColumn() {
    return QStringLiteral("LastRowKey");
}
QString KindChange() {
    return QStringLiteral("change");
}
QString KindUndo() {
    return QStringLiteral("undo");
}
QString KindErasure() {
    return QStringLiteral("erasure");
}
QString KindImport() {
    return QStringLiteral("import");
}

QString MemberColumn(const QString& table) {
    const RegisterTables::FollowedTable* t = findTable(table);
    return t ? t->member : QString();
}

QString KeyColumn(const QString& table) {
    const RegisterTables::FollowedTable* t = findTable(table);
    return t ? t->key : QString();
}

QString TableName(const QString& table) {
    const RegisterTables::FollowedTable* t = findTable(table);
    return t ? t->name : table;
}

std::vector<std::pair<QString, QString>> Children(const QString& table) {
    std::vector<std::pair<QString, QString>> children;
    for (const RegisterTables::Cascade& c : cascades())
        if (table.compare(c.parent, Qt::CaseInsensitive) == 0)
            children.emplace_back(c.child, c.column);
    return children;
}

QStringList TableStatements(const QString& connectionString) {
    const TableCreate::ColumnTypeWords t = TableCreate::ColumnTypes(connectionString);
    return {
        QStringLiteral("CREATE TABLE ChangeLog (ChangeLogID ") + t.key +
            QStringLiteral(", ChangedAt ") + t.date +
            QStringLiteral(" NOT NULL, ChangedBy varchar(128), Source varchar(100), "
                           "EntryKind varchar(10) NOT NULL, UndoOf ") +
            t.integer + u')',
        QStringLiteral("CREATE TABLE ChangeLogRows (ChangeLogRowID ") + t.key +
            QStringLiteral(", ChangeLogID ") + t.integer + QStringLiteral(" NOT NULL, ChangeSeq ") +
            t.integer + QStringLiteral(" NOT NULL, TableName varchar(30) NOT NULL, RowKey ") +
            t.integer + QStringLiteral(" NOT NULL, MemberID ") + t.integer +
            QStringLiteral(", Action varchar(10) NOT NULL, ColumnName varchar(30) NOT NULL, "
                           "ValueType varchar(1), OldValue varchar(255), NewValue varchar(255), "
                           "CONSTRAINT fkChangeLogRowsEntry FOREIGN KEY(ChangeLogID) REFERENCES "
                           "ChangeLog(ChangeLogID) ON DELETE CASCADE)"),
        QStringLiteral("CREATE INDEX ixChangeLogChangedAt ON ChangeLog (ChangedAt)"),
        QStringLiteral("CREATE INDEX ixChangeLogRowsEntry ON ChangeLogRows (ChangeLogID)"),
        QStringLiteral("CREATE INDEX ixChangeLogRowsMember ON ChangeLogRows (MemberID)"),
        QStringLiteral("CREATE INDEX ixChangeLogRowsRow ON ChangeLogRows (TableName, RowKey)"),
    };
}

QStringList ValueTableStatements(const QString& connectionString) {
    const TableCreate::ColumnTypeWords t = TableCreate::ColumnTypes(connectionString);
    return {
        QStringLiteral("CREATE TABLE ChangeLogValues (ChangeLogValueID ") + t.key +
            QStringLiteral(", ChangeLogRowID ") + t.integer +
            QStringLiteral(" NOT NULL, OldValue ") + t.longText + QStringLiteral(", NewValue ") +
            t.longText +
            QStringLiteral(", CONSTRAINT fkChangeLogValuesRow FOREIGN KEY(ChangeLogRowID) "
                           "REFERENCES ChangeLogRows(ChangeLogRowID) ON DELETE CASCADE)"),
        QStringLiteral("CREATE INDEX ixChangeLogValuesRow ON ChangeLogValues (ChangeLogRowID)"),
    };
}

bool HasTables(qv::Connection& connection) {
    return RegisterTables::HasTable(connection, QStringLiteral("ChangeLogRows"));
}

bool CreateTables(qv::Connection& connection) {
    bool made = false;
    if (!HasTables(connection)) {
        for (const QString& statement : TableStatements(connection.connectionString()))
            connection.execute(statement);
        made = true;
    }
    if (!RegisterTables::HasTable(connection, QStringLiteral("ChangeLogValues"))) {
        for (const QString& statement : ValueTableStatements(connection.connectionString()))
            connection.execute(statement);
        made = true;
    }
    return made;
}

QString ToText(const qv::Value& value, char& type) {
    switch (value.kind()) {
    case qv::Value::Kind::Null:
        return QString();
    case qv::Value::Kind::Integer:
        type = Integer;
        return QString::number(value.toInteger());
    case qv::Value::Kind::Boolean:
        type = Integer;
        return value.toBoolean() ? QStringLiteral("1") : QStringLiteral("0");
    case qv::Value::Kind::Float:
        type = Float;
        return QString::number(value.toFloat(), 'g', 17);
    case qv::Value::Kind::DateTime:
        type = Text;
        return qv::dateTimeToStorage(value.toDateTime());
    case qv::Value::Kind::Text:
        type = Text;
        return value.toText();
    }
    return QString();
}

qv::Value FromText(const QString& text, bool isNull, char type) {
    if (isNull)
        return qv::Value();
    switch (type) {
    case Integer:
        return qv::Value(text.toLongLong());
    case Float:
        return qv::Value(text.toDouble());
    default:
        return qv::Value(text);
    }
}

qint64 WriteEntry(qv::Connection& connection, const QString& source, const QString& kind,
                  qint64 undoOf) {
    return connection.provider().insertRow(
        QStringLiteral("ChangeLog"), QStringLiteral("ChangeLogID"),
        {QStringLiteral("ChangedAt"), QStringLiteral("ChangedBy"), QStringLiteral("Source"),
         QStringLiteral("EntryKind"), QStringLiteral("UndoOf")},
        {qv::Value(QDateTime::currentDateTime()), userOf(connection), source.left(100), kind,
         undoOf ? qv::Value(undoOf) : qv::Value()});
}

// ---- the recorder -------------------------------------------------------------

void Recorder::setNextEntry(const QString& kind, qint64 undoOf) {
    m_nextKind = kind;
    m_nextUndoOf = undoOf;
}

bool Recorder::follows(const QString& sql) {
    return parsed(sql).kind != Statement::Other;
}

bool Recorder::ready(qv::Connection& connection) {
    if (m_readyFor == connection.connectionString())
        return true;
    if (!HasTables(connection))
        return false;
    m_readyFor = connection.connectionString();
    return true;
}

void Recorder::transactionBoundary() {
    m_entry = 0;
    m_seq = 0;
    m_nextKind.clear();
    m_nextUndoOf = 0;
    m_pending = Pending::None;
    m_cascade.clear();
    m_batch.clear();
    m_batchRows = 0;
    // Checked again in the next transaction: the register may have been
    // replaced under the same connection string.
    m_readyFor.clear();
}

Recorder::Rows Recorder::readRows(qv::Connection& connection, const QString& table,
                                  const QString& where, const std::vector<qv::Value>& params) {
    Rows rows;
    rows.table = table;
    qv::Result result;
    QString sql = QStringLiteral("SELECT * FROM ") + table;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    connection.provider().fetch(sql, params, result);
    rows.columns = result.columns;
    for (qv::ColumnInfo& c : rows.columns)
        c.name = columnName(c.name);
    const QString key = KeyColumn(table);
    for (size_t c = 0; c < rows.columns.size(); ++c)
        if (rows.columns[c].name.compare(key, Qt::CaseInsensitive) == 0)
            rows.keyIndex = int(c);
    if (rows.keyIndex < 0)
        throw qv::DatabaseError(
            QStringLiteral("The change log cannot find the key of %1.").arg(table));
    const int n = result.rows.rowCount();
    rows.values.reserve(size_t(n));
    for (int r = 0; r < n; ++r) {
        std::vector<qv::Value> row;
        row.reserve(rows.columns.size());
        for (int c = 0; c < int(rows.columns.size()); ++c)
            row.push_back(result.rows.value(result.rows.cell(r, c)));
        rows.values.push_back(std::move(row));
    }
    return rows;
}

Recorder::Rows Recorder::readKeys(qv::Connection& connection, const QString& table,
                                  const std::vector<qint64>& keys) {
    Rows all;
    const size_t chunk = 500;
    for (size_t from = 0; from < keys.size() || (from == 0 && keys.empty()); from += chunk) {
        if (keys.empty()) {
            all.table = table;
            break;
        }
        const size_t to = std::min(keys.size(), from + chunk);
        QStringList marks;
        std::vector<qv::Value> params;
        for (size_t i = from; i < to; ++i) {
            marks << QStringLiteral("?");
            params.emplace_back(keys[i]);
        }
        Rows part = readRows(connection, table,
                             KeyColumn(table) + QStringLiteral(" IN (") +
                                 marks.join(QStringLiteral(", ")) + u')',
                             params);
        if (all.columns.empty()) {
            all.table = part.table;
            all.columns = part.columns;
            all.keyIndex = part.keyIndex;
        }
        for (auto& row : part.values)
            all.values.push_back(std::move(row));
    }
    return all;
}

void Recorder::readCascade(qv::Connection& connection, const Rows& parent) {
    if (parent.values.empty())
        return;
    for (const RegisterTables::Cascade& c : cascades()) {
        if (parent.table.compare(c.parent, Qt::CaseInsensitive) != 0)
            continue;
        std::vector<qint64> keys;
        for (const auto& row : parent.values)
            keys.push_back(row[size_t(parent.keyIndex)].toInteger());
        const QString& child = c.child;
        const QString& column = c.column;
        const size_t chunk = 500;
        for (size_t from = 0; from < keys.size(); from += chunk) {
            const size_t to = std::min(keys.size(), from + chunk);
            QStringList marks;
            std::vector<qv::Value> params;
            for (size_t i = from; i < to; ++i) {
                marks << QStringLiteral("?");
                params.emplace_back(keys[i]);
            }
            Rows rows = readRows(
                connection, child,
                column + QStringLiteral(" IN (") + marks.join(QStringLiteral(", ")) + u')', params);
            readCascade(connection, rows);
            if (!rows.values.empty())
                m_cascade.push_back(std::move(rows));
        }
    }
}

void Recorder::beforeStatement(qv::Connection& connection, const QString& sql,
                               const std::vector<qv::Value>& params) {
    m_pending = Pending::None;
    m_cascade.clear();
    m_insertKeys.clear();
    if (!ready(connection))
        return;
    const Statement& s = parsed(sql);
    m_table = s.table->name;
    const std::vector<qv::Value> whereParams(
        params.begin() + std::min<size_t>(params.size(), size_t(s.whereFrom)), params.end());
    switch (s.kind) {
    case Statement::Delete:
        m_before = readRows(connection, m_table, s.where, whereParams);
        // Children are logged before their parent, so that undoing the entry
        // (which works backwards) brings the parent back first.
        readCascade(connection, m_before);
        m_pending = Pending::Delete;
        break;
    case Statement::Update:
        m_before = readRows(connection, m_table, s.where, whereParams);
        m_pending = Pending::Update;
        break;
    case Statement::Insert: {
        const QString key = s.table->key;
        int keyAt = -1;
        for (qsizetype i = 0; i < s.insertColumns.size(); ++i) {
            QString bare = s.insertColumns[i];
            bare.remove(u'"').remove(u'[').remove(u']');
            if (bare.compare(key, Qt::CaseInsensitive) == 0)
                keyAt = int(i);
        }
        if (keyAt >= 0 && s.insertValues.size() == s.insertColumns.size()) {
            // A row stored with its key given (an undone delete): the key is
            // the statement's own.
            const QString token = s.insertValues[keyAt];
            if (token == u'?') {
                int index = 0;
                for (int i = 0; i < keyAt; ++i)
                    index += countPlaceholders(s.insertValues[i]);
                if (size_t(index) < params.size())
                    m_insertKeys.push_back(params[size_t(index)].toInteger());
            } else {
                bool ok = false;
                const qint64 k = token.toLongLong(&ok);
                if (ok)
                    m_insertKeys.push_back(k);
            }
        }
        if (m_insertKeys.empty()) {
            // Otherwise the new rows are those above the greatest key now.
            qv::Result result;
            connection.provider().fetch(QStringLiteral("SELECT MAX(") + key +
                                            QStringLiteral(") FROM ") + m_table,
                                        {}, result);
            m_maxKey =
                result.rows.rowCount() ? result.rows.value(result.rows.cell(0, 0)).toInteger() : 0;
        }
        m_pending = Pending::Insert;
        break;
    }
    case Statement::Other:
        break;
    }
}

void Recorder::afterStatement(qv::Connection& connection) {
    const Pending pending = m_pending;
    m_pending = Pending::None;
    switch (pending) {
    case Pending::None:
        return;
    case Pending::Delete:
        for (const Rows& rows : m_cascade)
            logRows(connection, rows, ActionDeleted());
        m_cascade.clear();
        logRows(connection, m_before, ActionDeleted());
        break;
    case Pending::Update: {
        std::vector<qint64> keys;
        for (const auto& row : m_before.values)
            keys.push_back(row[size_t(m_before.keyIndex)].toInteger());
        logChanges(connection, m_before, readKeys(connection, m_table, keys));
        break;
    }
    case Pending::Insert:
        if (!m_insertKeys.empty())
            logRows(connection, readKeys(connection, m_table, m_insertKeys), ActionAdded());
        else
            logRows(connection,
                    readRows(connection, m_table, KeyColumn(m_table) + QStringLiteral(" > ?"),
                             {qv::Value(m_maxKey)}),
                    ActionAdded());
        break;
    }
    m_before = Rows();
    flush(connection);
}

void Recorder::rowInserted(qv::Connection& connection, const QString& table, const QString&,
                           qint64 key) {
    if (!findTable(table) || !ready(connection))
        return;
    logRows(connection, readKeys(connection, TableName(table), {key}), ActionAdded());
    flush(connection);
}

void Recorder::rowsAdded(qv::Connection& connection, const QString& table, qint64 first,
                         qint64 last) {
    if (first > last || !findTable(table) || !ready(connection))
        return;
    queue(connection,
          {qv::Value(entry(connection)), qv::Value(++m_seq), TableName(table), qv::Value(first),
           qv::Value(KeyRangeMemberID), ActionAdded(), KeyRangeColumn(),
           QString(QChar::fromLatin1(KeyRange)), qv::Value(), qv::Value(QString::number(last))});
    flush(connection);
}

qint64 Recorder::entry(qv::Connection& connection) {
    if (m_entry)
        return m_entry;
    QString source = connection.transactionLabel();
    if (source.isEmpty() && m_defaultSource)
        source = m_defaultSource();
    if (source.isEmpty())
        source = QStringLiteral("Quorvane");
    m_entry = WriteEntry(connection, source, m_nextKind.isEmpty() ? KindChange() : m_nextKind,
                         m_nextUndoOf);
    return m_entry;
}

void Recorder::logRows(qv::Connection& connection, const Rows& rows, const QString& action) {
    if (rows.values.empty())
        return;
    const qint64 id = entry(connection);
    const QString member = MemberColumn(rows.table);
    int memberIndex = -1;
    for (size_t c = 0; c < rows.columns.size(); ++c)
        if (!member.isEmpty() && rows.columns[c].name.compare(member, Qt::CaseInsensitive) == 0)
            memberIndex = int(c);
    const bool added = action == ActionAdded();
    for (const auto& row : rows.values) {
        const int seq = ++m_seq;
        const qv::Value key = row[size_t(rows.keyIndex)];
        const qv::Value memberId = memberIndex >= 0 ? row[size_t(memberIndex)] : qv::Value();
        for (size_t c = 0; c < rows.columns.size(); ++c) {
            if (int(c) == rows.keyIndex || (added && row[c].isNull()))
                continue;
            char type = Text;
            const QString text = ToText(row[c], type);
            const qv::Value stored = row[c].isNull() ? qv::Value() : qv::Value(text);
            queue(connection, {qv::Value(id), qv::Value(seq), rows.table, key, memberId, action,
                               rows.columns[c].name, QString(QChar::fromLatin1(type)),
                               added ? qv::Value() : stored, added ? stored : qv::Value()});
        }
    }
}

void Recorder::logChanges(qv::Connection& connection, const Rows& before, const Rows& after) {
    QHash<qint64, size_t> afterRow;
    for (size_t r = 0; r < after.values.size(); ++r)
        afterRow.insert(after.values[r][size_t(after.keyIndex)].toInteger(), r);
    const QString member = MemberColumn(before.table);
    for (const auto& old : before.values) {
        const qint64 key = old[size_t(before.keyIndex)].toInteger();
        const auto found = afterRow.constFind(key);
        if (found == afterRow.constEnd())
            continue;
        const auto& now = after.values[*found];
        int seq = 0;
        qv::Value memberId;
        for (size_t c = 0; c < before.columns.size(); ++c)
            if (!member.isEmpty() &&
                before.columns[c].name.compare(member, Qt::CaseInsensitive) == 0)
                memberId = now[c];
        for (size_t c = 0; c < before.columns.size() && c < now.size(); ++c) {
            if (old[c] == now[c])
                continue;
            if (!seq)
                seq = ++m_seq;
            char type = Text;
            const QString oldText = ToText(old[c], type);
            const QString newText = ToText(now[c], type);
            queue(connection, {qv::Value(entry(connection)), qv::Value(seq), before.table,
                               qv::Value(key), memberId, ActionChanged(), before.columns[c].name,
                               QString(QChar::fromLatin1(type)),
                               old[c].isNull() ? qv::Value() : qv::Value(oldText),
                               now[c].isNull() ? qv::Value() : qv::Value(newText)});
        }
    }
}

void Recorder::queue(qv::Connection& connection, std::vector<qv::Value> row) {
    const qv::Value oldValue = row[8], newValue = row[9];
    const bool longValue = (!oldValue.isNull() && oldValue.toText().size() > kValueWidth) ||
                           (!newValue.isNull() && newValue.toText().size() > kValueWidth);
    if (!longValue) {
        m_batch.insert(m_batch.end(), row.begin(), row.end());
        if (++m_batchRows >= kBatchRows)
            flush(connection);
        return;
    }
    // A text longer than the log row's columns (a register setting, say)
    // goes whole into a table of its own; the log row keeps its beginning,
    // for the lists.
    flush(connection);
    for (const int i : {8, 9})
        if (!row[size_t(i)].isNull())
            row[size_t(i)] = row[size_t(i)].toText().left(kValueWidth);
    const qint64 logRow = connection.provider().insertRow(
        QStringLiteral("ChangeLogRows"), QStringLiteral("ChangeLogRowID"),
        {QStringLiteral("ChangeLogID"), QStringLiteral("ChangeSeq"), QStringLiteral("TableName"),
         QStringLiteral("RowKey"), QStringLiteral("MemberID"), QStringLiteral("Action"),
         QStringLiteral("ColumnName"), QStringLiteral("ValueType"), QStringLiteral("OldValue"),
         QStringLiteral("NewValue")},
        row);
    connection.provider().insertRow(
        QStringLiteral("ChangeLogValues"), QStringLiteral("ChangeLogValueID"),
        {QStringLiteral("ChangeLogRowID"), QStringLiteral("OldValue"), QStringLiteral("NewValue")},
        {qv::Value(logRow), oldValue, newValue});
}

void Recorder::flush(qv::Connection& connection) {
    if (!m_batchRows)
        return;
    // In chunks of a power of two, so that a handful of statement texts serve
    // every batch and each stays prepared, while a server gets few round trips.
    const int columns = 10;
    std::vector<qv::Value> values;
    values.swap(m_batch);
    int done = 0;
    m_batchRows = 0;
    const int total = int(values.size()) / columns;
    while (done < total) {
        int chunk = 1;
        while (chunk * 2 <= total - done && chunk * 2 <= kBatchRows)
            chunk *= 2;
        connection.provider().execute(
            insertRowsText(chunk),
            std::vector<qv::Value>(values.begin() + done * columns,
                                   values.begin() + (done + chunk) * columns));
        done += chunk;
    }
}

} // namespace ChangeLog
