// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/PgProvider.h"

#include "platform/data/ConnectionString.h"
#include "platform/data/DatabaseError.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QTimeZone>
#include <charconv>
#include <libpq-fe.h>

namespace qv {

namespace {

QAtomicInt g_pgCounter;

// The server's type numbers (pg_type.oid) of the columns the register uses.
enum : Oid {
    BoolOid = 16,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    OidOid = 26,
    Float4Oid = 700,
    Float8Oid = 701,
    BpcharOid = 1042,
    VarcharOid = 1043,
    DateOid = 1082,
    TimestampOid = 1114,
    TimestampTzOid = 1184,
    NumericOid = 1700,
};

FieldType typeOf(Oid type, int modifier, int& width) {
    width = 0;
    switch (type) {
    case BoolOid:
        return FieldType::Boolean;
    case Int8Oid:
    case Int2Oid:
    case Int4Oid:
    case OidOid:
        return FieldType::Integer;
    case Float4Oid:
    case Float8Oid:
        return FieldType::Float;
    case NumericOid:
        // The modifier holds precision and scale; money has four decimals.
        return modifier >= 4 && ((modifier - 4) & 0xFFFF) == 4 ? FieldType::Currency
                                                               : FieldType::Float;
    case DateOid:
    case TimestampOid:
    case TimestampTzOid:
        return FieldType::DateTime;
    case VarcharOid:
    case BpcharOid:
        width = modifier > 4 ? modifier - 4 : 0;
        return FieldType::Text;
    default:
        return FieldType::Text;
    }
}

// Frees a result on every path.
class ResultHolder {
public:
    explicit ResultHolder(PGresult* r)
        : m_r(r) {}
    ~ResultHolder() { PQclear(m_r); }
    ResultHolder(const ResultHolder&) = delete;
    ResultHolder& operator=(const ResultHolder&) = delete;
    PGresult* get() const { return m_r; }

private:
    PGresult* m_r;
};

bool isIdentifierByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           (static_cast<unsigned char>(c) & 0x80);
}

// "?" outside string literals, quoted names, comments and dollar quotes
// becomes $1, $2 ... in order.
QByteArray numberPlaceholders(const QByteArray& sql) {
    QByteArray out;
    out.reserve(sql.size() + 16);
    int count = 0;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto copyTo = [&](qsizetype end) {
        out.append(sql.constData() + i, end - i);
        i = end;
    };
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // E'...' strings take backslash escapes.
            const bool escapes = c == '\'' && i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') &&
                                 (i < 2 || !isIdentifierByte(sql[i - 2]));
            qsizetype j = i + 1;
            while (j < n) {
                if (escapes && sql[j] == '\\') {
                    j += 2;
                } else if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                    } else {
                        ++j;
                        break;
                    }
                } else {
                    ++j;
                }
            }
            copyTo(std::min(j, n));
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            const qsizetype end = sql.indexOf('\n', i);
            copyTo(end < 0 ? n : end);
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const qsizetype end = sql.indexOf("*/", i + 2);
            copyTo(end < 0 ? n : end + 2);
        } else if (c == '$' && (i == 0 || !isIdentifierByte(sql[i - 1])) && i + 1 < n &&
                   !(sql[i + 1] >= '0' && sql[i + 1] <= '9')) {
            qsizetype j = i + 1;
            while (j < n && isIdentifierByte(sql[j]))
                ++j;
            if (j < n && sql[j] == '$') {
                const QByteArray tag = sql.mid(i, j - i + 1);
                const qsizetype end = sql.indexOf(tag, j + 1);
                copyTo(end < 0 ? n : end + tag.size());
            } else {
                copyTo(i + 1);
            }
        } else if (c == '?') {
            out += '$' + QByteArray::number(++count);
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// Each value as the server's text, sent with no type so that the server
// takes it as the type the statement needs there (a key given as text
// compares with an integer column, as on the other kinds).
struct Parameters {
    std::vector<QByteArray> texts;
    std::vector<const char*> pointers;
    explicit Parameters(const std::vector<Value>& values) {
        texts.reserve(values.size());
        pointers.reserve(values.size());
        for (const Value& v : values) {
            switch (v.kind()) {
            case Value::Kind::Null:
                texts.emplace_back();
                break;
            case Value::Kind::Text:
                texts.push_back(v.toText().toUtf8());
                break;
            case Value::Kind::Integer:
            case Value::Kind::Boolean:
                // "1" and "0" read as yes and no in a boolean column too.
                texts.push_back(QByteArray::number(v.toInteger()));
                break;
            case Value::Kind::Float:
                texts.push_back(QByteArray::number(v.toFloat(), 'g', 17));
                break;
            case Value::Kind::DateTime:
                texts.push_back(dateTimeToStorage(v.toDateTime()).toLatin1());
                break;
            }
        }
        for (size_t k = 0; k < values.size(); ++k)
            pointers.push_back(values[k].isNull() ? nullptr : texts[k].constData());
    }
};

QString fieldOf(const PGresult* r, int code) {
    const char* text = r ? PQresultErrorField(r, code) : nullptr;
    return text ? QString::fromUtf8(text) : QString();
}

// libpq's message, which may run over several indented lines, as one text.
QString oneLine(const QString& message) {
    QString out;
    for (const QString& part : message.split(u'\n', Qt::SkipEmptyParts)) {
        const QString line = part.trimmed();
        if (line.isEmpty())
            continue;
        if (!out.isEmpty())
            out += QStringView(u".?!:").contains(out.back()) ? QStringLiteral(" ")
                                                             : QStringLiteral(". ");
        out += line;
    }
    return out;
}

bool succeeded(const PGresult* r) {
    return r && (PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK);
}

void quietNotices(void*, const char*) {
    // Warnings such as "there is no transaction in progress" are not errors.
}

} // namespace

PgProvider::PgProvider()
    : m_connectionName(QStringLiteral("qv-pgsql-%1").arg(g_pgCounter.fetchAndAddRelaxed(1))) {}

PgProvider::~PgProvider() {
    close();
}

PgProvider::Address PgProvider::parseServer(const QString& server) {
    Address a;
    QString text = server.trimmed();
    QString port;
    if (text.startsWith(u'[')) {
        // [IPv6 address], optionally followed by :port
        const qsizetype close = text.indexOf(u']');
        if (close > 0) {
            port = text.mid(close + 1);
            text = text.mid(1, close - 1);
            if (port.startsWith(u':'))
                port.remove(0, 1);
            else
                port.clear();
        }
    } else if (text.count(u':') == 1) {
        // A bare IPv6 address has several colons; one colon ends the host.
        const qsizetype colon = text.indexOf(u':');
        port = text.mid(colon + 1).trimmed();
        text = text.left(colon).trimmed();
    }
    a.host = text;
    bool ok = false;
    const int number = port.toInt(&ok);
    if (ok && number > 0 && number < 65536)
        a.port = number;
    return a;
}

void PgProvider::open(const ConnectionString& cs) {
    close();
    const Address address = parseServer(cs.dataSource());
    const QString name = cs.dataSource().trimmed();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        if (!db.isValid()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw DatabaseError(QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed; "
                                               "on Debian it is the package libqt6sql6-psql."));
        }
        db.setHostName(address.host);
        if (address.port > 0)
            db.setPort(address.port);
        db.setDatabaseName(cs.initialCatalog());
        if (cs.contains(QStringLiteral("User ID")))
            db.setUserName(cs.value(QStringLiteral("User ID")));
        db.setConnectOptions(QStringLiteral("connect_timeout=%1;application_name=Quorvane")
                                 .arg(std::max(2, m_loginTimeout)));
        if (db.open()) {
            const QVariant handle = db.driver()->handle();
            if (handle.isValid() && (qstrcmp(handle.typeName(), "PGconn*") == 0 ||
                                     qstrcmp(handle.typeName(), "pg_conn*") == 0))
                m_conn = *static_cast<PGconn* const*>(handle.constData());
            if (!m_conn)
                failure = QStringLiteral("the PostgreSQL driver gave no handle.");
        } else {
            failure = oneLine(db.lastError().databaseText());
            if (failure.isEmpty())
                failure = oneLine(db.lastError().text());
            if (failure.contains(QLatin1String("timeout expired")))
                failure += QStringLiteral(" (no answer within %1 seconds)")
                               .arg(std::max(2, m_loginTimeout));
        }
    }
    if (!m_conn) {
        close();
        throw DatabaseError(QStringLiteral("Could not connect to the PostgreSQL server \"%1\": %2")
                                .arg(name.isEmpty() ? QStringLiteral("(default)") : name,
                                     failure.isEmpty() ? QStringLiteral("no answer") : failure));
    }
    PQsetNoticeProcessor(m_conn, quietNotices, nullptr);
    try {
        applySessionSettings();
    } catch (const DatabaseError&) {
        close();
        throw;
    }
}

void PgProvider::applySessionSettings() {
    setLockTimeout(m_lockTimeout);
    // "now" is the user's local time, as on the other kinds; a zone the
    // server does not know leaves the server's own.
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    if (!zone.isEmpty()) {
        const char* values[] = {zone.constData()};
        PQclear(PQexecParams(m_conn, "SELECT set_config('TimeZone', $1, false)", 1, nullptr, values,
                             nullptr, nullptr, 0));
    }
}

// A server restarted, or a connection dropped while the program sat idle, is
// found out by the statement that fails on it. Outside a transaction the
// connection is made again; inside one it is not, so that the rest of a visit
// can never be stored without what the server lost of it.
void PgProvider::reconnectIfLost() {
    if (m_inTransaction || PQstatus(m_conn) != CONNECTION_BAD)
        return;
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw DatabaseError(QStringLiteral("The connection to the PostgreSQL server was lost and "
                                           "could not be made again: %1")
                                .arg(oneLine(QString::fromUtf8(PQerrorMessage(m_conn)))));
    m_tables.clear();
    applySessionSettings();
}

void PgProvider::close() {
    m_conn = nullptr;
    m_tables.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

void PgProvider::setLockTimeout(int milliseconds) {
    m_lockTimeout = milliseconds;
    if (m_conn)
        execute(QStringLiteral("SET lock_timeout = %1").arg(std::max(1, milliseconds)), {});
}

void PgProvider::fail(PGresult* result) const {
    const QString state = fieldOf(result, PG_DIAG_SQLSTATE);
    QString message = fieldOf(result, PG_DIAG_MESSAGE_PRIMARY);
    const QString detail = fieldOf(result, PG_DIAG_MESSAGE_DETAIL);
    if (message.isEmpty())
        message = oneLine(QString::fromUtf8(PQerrorMessage(m_conn)));
    PQclear(result);
    if (PQstatus(m_conn) == CONNECTION_BAD)
        throw DatabaseError(
            QStringLiteral("The connection to the PostgreSQL server was lost: %1").arg(message));
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        throw DatabaseError(changedSinceOpenedMessage());
    if (state == QLatin1String("55P03"))
        throw DatabaseError(
            QStringLiteral("Another user is changing the same record and had not finished "
                           "after %1 seconds, so your change was not saved. Try again when "
                           "they have closed it.")
                .arg(m_lockTimeout / 1000.0));
    if (state == QLatin1String("25P02"))
        throw DatabaseError(QStringLiteral("An earlier error ended this transaction, so "
                                           "nothing more can be saved in it. Close the window "
                                           "without saving and try again."));
    if (!detail.isEmpty())
        message += QStringLiteral(". ") + detail;
    throw DatabaseError(message);
}

PGresult* PgProvider::send(const QByteArray& sql, const std::vector<Value>& params, bool simple) {
    // The simple protocol also takes several statements in one text.
    if (simple)
        return PQexec(m_conn, sql.constData());
    const QByteArray text = numberPlaceholders(sql);
    const Parameters values(params);
    return PQexecParams(m_conn, text.constData(), int(params.size()), nullptr,
                        values.pointers.data(), nullptr, nullptr, 0);
}

void PgProvider::control(const char* sql) {
    PGresult* r = PQexec(m_conn, sql);
    if (!succeeded(r))
        fail(r);
    PQclear(r);
}

// Inside a transaction each statement that changes rows runs under a
// savepoint of its own: one the server refuses (a row another user holds past
// the wait, a constraint) is undone alone, as on the other kinds, and what the
// transaction did before it stays, to be committed or rolled back with the
// rest.
PGresult* PgProvider::run(const QString& sql, const std::vector<Value>& params, Protocol protocol,
                          Effect effect) {
    if (!m_conn)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    reconnectIfLost();
    const QByteArray text = sql.toUtf8();
    const bool simple = protocol == Protocol::Simple && params.empty();
    const bool step = effect == Effect::Changes && m_inTransaction &&
                      PQtransactionStatus(m_conn) == PQTRANS_INTRANS;
    if (step)
        control("SAVEPOINT qv_step");
    PGresult* r = send(text, params, simple);
    if (!succeeded(r) && effect == Effect::OnlyReads && !m_inTransaction &&
        PQstatus(m_conn) == CONNECTION_BAD) {
        PQclear(r);
        reconnectIfLost();
        r = send(text, params, simple);
    }
    if (succeeded(r)) {
        if (step) {
            const ResultHolder released(PQexec(m_conn, "RELEASE SAVEPOINT qv_step"));
            if (!succeeded(released.get())) {
                PQclear(r);
                fail(nullptr);
            }
        }
        return r;
    }
    if (step && PQtransactionStatus(m_conn) == PQTRANS_INERROR)
        PQclear(PQexec(m_conn, "ROLLBACK TO SAVEPOINT qv_step; RELEASE SAVEPOINT qv_step"));
    fail(r);
}

void PgProvider::begin() {
    PQclear(run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ"), {}, Protocol::Simple,
                Effect::OnlyReads));
    m_inTransaction = true;
}

void PgProvider::beginExclusive() {
    PQclear(run(QStringLiteral("BEGIN ISOLATION LEVEL READ COMMITTED"), {}, Protocol::Simple,
                Effect::OnlyReads));
    m_inTransaction = true;
    try {
        // The key is the program's mark, "QVRN".
        PQclear(run(QStringLiteral("SELECT pg_advisory_xact_lock(1364627022)"), {}));
    } catch (const DatabaseError&) {
        rollback();
        throw;
    }
}

void PgProvider::commit() {
    // Whatever the server answers, the transaction is over.
    m_inTransaction = false;
    const QString ended = QStringLiteral("The transaction was ended by an earlier error and its "
                                         "changes were rolled back.");
    if (m_conn && PQtransactionStatus(m_conn) == PQTRANS_INERROR) {
        control("ROLLBACK");
        throw DatabaseError(ended);
    }
    if (!m_conn)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    PGresult* raw = PQexec(m_conn, "COMMIT");
    if (!succeeded(raw))
        fail(raw);
    const ResultHolder r(raw);
    // The server answers a commit of a failed transaction with a rollback.
    if (qstrcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        throw DatabaseError(ended);
}

void PgProvider::rollback() {
    m_inTransaction = false;
    // A lost connection took the transaction with it on the server.
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        control("ROLLBACK");
}

qint64 PgProvider::execute(const QString& sql, const std::vector<Value>& params) {
    const ResultHolder r(run(sql, params));
    const char* changed = PQcmdTuples(r.get());
    return changed && *changed ? QByteArray(changed).toLongLong() : 0;
}

void PgProvider::describeColumns(const PGresult* r, std::vector<ColumnInfo>& columns) {
    const int n = PQnfields(r);
    columns.assign(size_t(n), ColumnInfo{});
    QStringList unknown;
    for (int c = 0; c < n; ++c) {
        ColumnInfo& info = columns[size_t(c)];
        info.name = QString::fromUtf8(PQfname(r, c));
        info.type = typeOf(PQftype(r, c), PQfmod(r, c), info.width);
        const Oid table = PQftable(r, c);
        const int attribute = PQftablecol(r, c);
        if (table != InvalidOid && attribute > 0 &&
            !m_tables.value(table).columns.contains(attribute))
            unknown << QString::number(table);
    }
    if (!unknown.isEmpty()) {
        // The names of the tables and columns the result came from, once per
        // table for the life of the connection.
        const std::vector<Value> oids{Value(u'{' + unknown.join(u',') + u'}')};
        const ResultHolder names(
            run(QStringLiteral("SELECT c.oid, c.relname, a.attnum, a.attname "
                               "FROM pg_class c JOIN pg_attribute a ON "
                               "a.attrelid = c.oid WHERE c.oid = ANY(?::oid[]) "
                               "AND a.attnum > 0"),
                oids, Protocol::Extended, Effect::OnlyReads));
        for (int row = 0; row < PQntuples(names.get()); ++row) {
            TableNames& t =
                m_tables[unsigned(QByteArray(PQgetvalue(names.get(), row, 0)).toUInt())];
            t.table = QString::fromUtf8(PQgetvalue(names.get(), row, 1));
            t.columns.insert(QByteArray(PQgetvalue(names.get(), row, 2)).toInt(),
                             QString::fromUtf8(PQgetvalue(names.get(), row, 3)));
        }
    }
    for (int c = 0; c < n; ++c) {
        const auto found = m_tables.constFind(PQftable(r, c));
        if (found == m_tables.cend())
            continue;
        ColumnInfo& info = columns[size_t(c)];
        info.baseTable = found->table;
        info.baseColumn = found->columns.value(PQftablecol(r, c));
    }
    nameRepeatedColumns(columns);
}

void PgProvider::fetch(const QString& sql, const std::vector<Value>& params, Result& out) {
    // The extended protocol even without values: one statement, one result.
    const bool reads = sql.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
    PGresult* raw =
        run(sql, params, Protocol::Extended, reads ? Effect::OnlyReads : Effect::Changes);
    const ResultHolder r(raw);
    describeColumns(r.get(), out.columns);

    const int columns = int(out.columns.size());
    const int rows = PQntuples(r.get());
    std::vector<Oid> types(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        types[size_t(c)] = PQftype(r.get(), c);
    out.rows.reset(columns);
    out.rows.reserveRows(rows);
    for (int row = 0; row < rows; ++row) {
        const int stored = out.rows.appendRow();
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(r.get(), row, c))
                continue;
            Cell& cell = out.rows.cell(stored, c);
            const char* value = PQgetvalue(r.get(), row, c);
            const int length = PQgetlength(r.get(), row, c);
            switch (types[size_t(c)]) {
            case BoolOid:
                out.rows.setInteger(cell, value[0] == 't' ? 1 : 0);
                break;
            case Int2Oid:
            case Int4Oid:
            case Int8Oid:
            case OidOid: {
                qint64 number = 0;
                std::from_chars(value, value + length, number);
                out.rows.setInteger(cell, number);
                break;
            }
            case Float4Oid:
            case Float8Oid:
            case NumericOid: {
                double number = 0;
                std::from_chars(value, value + length, number);
                out.rows.setFloat(cell, number);
                break;
            }
            default:
                // Text as it is; dates come as "yyyy-mm-dd hh:mm:ss", the
                // form the file kind stores them in.
                out.rows.setText(cell, value, size_t(length));
                break;
            }
        }
    }
}

qint64 PgProvider::insertRow(const QString& table, const QString& keyColumn,
                             const QStringList& columns, const std::vector<Value>& values) {
    QString sql = QStringLiteral("INSERT INTO ") + quoteName(table);
    if (columns.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList quoted, marks;
        for (const QString& c : columns) {
            quoted << quoteName(c);
            marks << QStringLiteral("?");
        }
        sql += QStringLiteral(" (") + quoted.join(QStringLiteral(", ")) +
               QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + u')';
    }
    sql += QStringLiteral(" RETURNING ") + quoteName(keyColumn);
    Result r;
    fetch(sql, values, r);
    if (r.rows.rowCount() < 1)
        throw DatabaseError(QStringLiteral("The server returned no key for the new row."));
    return r.rows.value(r.rows.cell(0, 0)).toInteger();
}

QStringList PgProvider::tableColumns(const QString& table) {
    Result r;
    fetch(QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = to_regclass(?) AND "
                         "attnum > 0 AND NOT attisdropped ORDER BY attnum"),
          {Value(quoteName(table))}, r);
    QStringList names;
    for (int row = 0; row < r.rows.rowCount(); ++row)
        names << r.rows.textOf(r.rows.cell(row, 0));
    return names;
}

QString PgProvider::quoteName(const QString& name) const {
    // As the server folds an unquoted name: ASCII letters only.
    QString folded = name;
    for (QChar& c : folded)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return quoteIdentifier(folded);
}

} // namespace qv
