// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/OdbcProvider.h"

#include "platform/data/ConnectionString.h"
#include "platform/data/DatabaseError.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sql.h>
#include <sqlext.h>

namespace qv {

namespace {

QAtomicInt g_odbcCounter;

QString odbcValue(const QString& value) {
    // Values holding separators or braces are written in braces, "}" doubled.
    if (value.contains(u';') || value.contains(u'{') || value.contains(u'}') ||
        value.contains(u'=') || value != value.trimmed()) {
        QString escaped = value;
        escaped.replace(u'}', QLatin1String("}}"));
        return u'{' + escaped + u'}';
    }
    return value;
}

// True when the name is one of the data sources configured in odbc.ini.
bool isConfiguredDsn(const QString& name) {
    if (name.isEmpty() || name.contains(u'\\') || name.contains(u'.') || name.contains(u','))
        return false;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return false;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    bool found = false;
    SQLCHAR dsn[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR description[512];
    SQLSMALLINT dsnLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(env, direction, dsn, sizeof dsn, &dsnLength, description,
                                        sizeof description, &descriptionLength))) {
        direction = SQL_FETCH_NEXT;
        if (name.compare(QString::fromUtf8(reinterpret_cast<char*>(dsn), dsnLength),
                         Qt::CaseInsensitive) == 0) {
            found = true;
            break;
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return found;
}

QString freeTdsDriver() {
    // The package registers the driver by name; the library path works even
    // where that registration was skipped.
    for (const char* path :
         {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so",
          "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/odbc/libtdsodbc.so"}) {
        if (QFileInfo::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    }
    return QStringLiteral("{FreeTDS}");
}

QString errorText(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return text;
}

void bindAll(QSqlQuery& query, const std::vector<Value>& params) {
    for (const Value& v : params) {
        switch (v.kind()) {
        case Value::Kind::Null:
            query.addBindValue(QVariant(QMetaType(QMetaType::QString)));
            break;
        case Value::Kind::Text:
            query.addBindValue(v.toText());
            break;
        case Value::Kind::Integer: {
            const qint64 n = v.toInteger();
            if (n >= INT_MIN && n <= INT_MAX)
                query.addBindValue(int(n));
            else
                query.addBindValue(n);
            break;
        }
        case Value::Kind::Float:
            query.addBindValue(v.toFloat());
            break;
        case Value::Kind::DateTime:
            query.addBindValue(v.toDateTime());
            break;
        case Value::Kind::Boolean:
            query.addBindValue(v.toBoolean());
            break;
        }
    }
}

FieldType typeOfMeta(int metaType) {
    switch (metaType) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return FieldType::Text;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
    case QMetaType::QTime:
        return FieldType::DateTime;
    case QMetaType::Bool:
        return FieldType::Boolean;
    default:
        return FieldType::Unknown;
    }
}

FieldType typeOf(const QSqlField& field) {
    const FieldType type = typeOfMeta(field.metaType().id());
    // Money columns have four decimal places.
    return type == FieldType::Float && field.precision() == 4 ? FieldType::Currency : type;
}

} // namespace

OdbcProvider::OdbcProvider()
    : m_connectionName(QStringLiteral("qv-odbc-%1").arg(g_odbcCounter.fetchAndAddRelaxed(1))) {}

OdbcProvider::~OdbcProvider() {
    close();
}

QString OdbcProvider::odbcConnectionString(const ConnectionString& cs) {
    const QString source = cs.dataSource().trimmed();
    QStringList parts;
    if (isConfiguredDsn(source)) {
        parts << QStringLiteral("DSN=") + odbcValue(source);
    } else {
        parts << QStringLiteral("DRIVER=") + freeTdsDriver();
        QString server = source;
        QString port;
        // "host,port" is SQL Server's way of naming a port.
        const qsizetype comma = server.lastIndexOf(u',');
        if (comma > 0) {
            port = server.mid(comma + 1).trimmed();
            server = server.left(comma).trimmed();
        }
        // "(local)" and "." stand for this machine.
        if (server == QLatin1String(".") ||
            server.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
            server = QStringLiteral("127.0.0.1");
        else if (server.startsWith(QLatin1String(".\\")) ||
                 server.startsWith(QLatin1String("(local)\\"), Qt::CaseInsensitive))
            server = QStringLiteral("127.0.0.1") + server.mid(server.indexOf(u'\\'));
        parts << QStringLiteral("SERVER=") + odbcValue(server);
        if (!port.isEmpty())
            parts << QStringLiteral("PORT=") + odbcValue(port);
        else if (!server.contains(u'\\'))
            parts << QStringLiteral("PORT=1433");
        parts << QStringLiteral("TDS_Version=7.4") << QStringLiteral("ClientCharset=UTF-8");
    }
    if (!cs.initialCatalog().isEmpty())
        parts << QStringLiteral("DATABASE=") + odbcValue(cs.initialCatalog());
    if (cs.integratedSecurity())
        parts << QStringLiteral("Trusted_Connection=Yes");
    else {
        if (cs.contains(QStringLiteral("User ID")))
            parts << QStringLiteral("UID=") + odbcValue(cs.value(QStringLiteral("User ID")));
        if (cs.contains(QStringLiteral("Password")))
            parts << QStringLiteral("PWD=") + odbcValue(cs.value(QStringLiteral("Password")));
    }
    return parts.join(u';') + u';';
}

void OdbcProvider::open(const ConnectionString& cs) {
    close();
    if (cs.dataSource().trimmed().isEmpty())
        throw DatabaseError(QStringLiteral("The connection string names no server "
                                           "(Data Source is empty)."));
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
        db.setDatabaseName(odbcConnectionString(cs));
        db.setConnectOptions(
            QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                .arg(m_loginTimeout));
        if (db.open()) {
            m_open = true;
            return;
        }
        failure = errorText(db.lastError());
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    throw DatabaseError(
        QStringLiteral("Could not connect to the server \"%1\": %2")
            .arg(cs.dataSource(), failure.isEmpty() ? QStringLiteral("no answer") : failure));
}

void OdbcProvider::close() {
    m_open = false;
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

void OdbcProvider::begin() {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        throw DatabaseError(errorText(db.lastError()));
}

// The server has no lock to take at BEGIN; an application lock of the
// transaction, named for the program in this database, serialises the
// exclusive transactions of every copy and goes with the commit or rollback.
void OdbcProvider::beginExclusive() {
    begin();
    try {
        execute(QStringLiteral("EXEC sp_getapplock @Resource = N'Quorvane', @LockMode = "
                               "N'Exclusive', @LockOwner = N'Transaction', @LockTimeout = 15000"),
                {});
    } catch (const DatabaseError&) {
        rollback();
        throw;
    }
}

void OdbcProvider::commit() {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.commit())
        throw DatabaseError(errorText(db.lastError()));
}

void OdbcProvider::rollback() {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.rollback())
        throw DatabaseError(errorText(db.lastError()));
}

qint64 OdbcProvider::execute(const QString& sql, const std::vector<Value>& params) {
    if (!m_open)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    bool ok;
    if (params.empty()) {
        ok = query.exec(sql);
    } else {
        ok = query.prepare(sql);
        if (ok) {
            bindAll(query, params);
            ok = query.exec();
        }
    }
    if (!ok)
        throw DatabaseError(errorText(query.lastError()));
    return query.numRowsAffected();
}

void OdbcProvider::fetch(const QString& sql, const std::vector<Value>& params, Result& out) {
    if (!m_open)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    bool ok = query.prepare(sql);
    if (ok) {
        bindAll(query, params);
        ok = query.exec();
    }
    if (!ok)
        throw DatabaseError(errorText(query.lastError()));
    const QSqlRecord record = query.record();
    const int columns = record.count();
    out.columns.assign(size_t(columns), ColumnInfo{});
    for (int c = 0; c < columns; ++c) {
        const QSqlField field = record.field(c);
        ColumnInfo& info = out.columns[size_t(c)];
        info.name = field.name();
        info.baseTable = field.tableName();
        info.baseColumn = field.name();
        info.type = typeOf(field);
        info.width = info.type == FieldType::Text && field.length() > 0 ? field.length() : 0;
    }
    out.rows.reset(columns);
    while (query.next()) {
        const int row = out.rows.appendRow();
        for (int c = 0; c < columns; ++c) {
            const QVariant v = query.value(c);
            Cell& cell = out.rows.cell(row, c);
            if (v.isNull())
                continue;
            switch (typeOfMeta(v.metaType().id())) {
            case FieldType::DateTime:
                out.rows.setValue(cell, Value(v.toDateTime()));
                break;
            case FieldType::Boolean:
                out.rows.setInteger(cell, v.toBool() ? 1 : 0);
                break;
            case FieldType::Float:
                out.rows.setFloat(cell, v.toDouble());
                break;
            case FieldType::Integer:
                out.rows.setInteger(cell, v.toLongLong());
                break;
            default:
                out.rows.setText(cell, v.toString());
                break;
            }
        }
    }
    if (query.lastError().isValid())
        throw DatabaseError(errorText(query.lastError()));
}

qint64 OdbcProvider::insertRow(const QString& table, const QString& keyColumn,
                               const QStringList& columns, const std::vector<Value>& values) {
    // OUTPUT hands back the generated key in the same statement, so no second
    // batch is needed (SCOPE_IDENTITY would not see across batches).
    QString sql = QStringLiteral("INSERT INTO ") + quoteIdentifier(table);
    const QString output = QStringLiteral(" OUTPUT INSERTED.") + quoteIdentifier(keyColumn);
    if (columns.isEmpty()) {
        sql += output + QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList quoted, marks;
        for (const QString& c : columns) {
            quoted << quoteIdentifier(c);
            marks << QStringLiteral("?");
        }
        sql += QStringLiteral(" (") + quoted.join(QStringLiteral(", ")) + u')' + output +
               QStringLiteral(" VALUES (") + marks.join(QStringLiteral(", ")) + u')';
    }
    Result r;
    fetch(sql, values, r);
    if (r.rows.rowCount() < 1)
        throw DatabaseError(QStringLiteral("The server returned no key for the new row."));
    return r.rows.value(r.rows.cell(0, 0)).toInteger();
}

QStringList OdbcProvider::tableColumns(const QString& table) {
    const QSqlRecord record = QSqlDatabase::database(m_connectionName, false).record(table);
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

} // namespace qv
