// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Provider.h"

#include <QHash>
#include <QString>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace qv {

// A register on a PostgreSQL server. The connection is opened through QtSql's
// PostgreSQL driver, so the login is libpq's own (the operating-system user,
// Kerberos, ~/.pgpass; no password is ever stored by us); statements then run
// through libpq on the same handle, and every value is read straight from the
// server's text without per-value wrappers. The program's PostgreSQL texts go
// to the server as they are, with "?" placeholders numbered $1, $2 ...
class PgProvider : public Provider {
public:
    PgProvider();
    ~PgProvider() override;

    void open(const ConnectionString& cs) override;
    void close() override;
    bool isOpen() const override { return m_conn != nullptr; }

    // Transactions run at REPEATABLE READ: a row that another user changed and
    // committed after this transaction began reading refuses this
    // transaction's change with a clear message, instead of the change
    // silently overwriting the other user's.
    void begin() override;
    // READ COMMITTED, after a transaction-level advisory lock that every
    // other copy's exclusive transaction waits for, so what it reads after
    // the lock is what the last one committed.
    void beginExclusive() override;
    void commit() override;
    void rollback() override;

    QString adapt(const QString& sql) const override { return sql; }
    qint64 execute(const QString& sql, const std::vector<Value>& params) override;
    void fetch(const QString& sql, const std::vector<Value>& params, Result& out) override;
    qint64 insertRow(const QString& table, const QString& keyColumn, const QStringList& columns,
                     const std::vector<Value>& values) override;
    QStringList tableColumns(const QString& table) override;
    // The server folds unquoted names to lower case, so a quoted one must be too.
    QString quoteName(const QString& name) const override;

    // How long connecting may take before the open gives up (libpq counts at
    // least two seconds).
    void setLoginTimeout(int seconds) { m_loginTimeout = seconds; }
    // How long a statement waits for a row that another user's open
    // transaction holds before it gives up with a clear message.
    void setLockTimeout(int milliseconds);

    PGconn* handle() const { return m_conn; }

    // The server as the settings name it: "host", "host:port", "[v6 address]:port"
    // or the folder of the server's local socket ("/run/postgresql", also
    // with ":port"). An empty host leaves the choice to libpq (PGHOST).
    struct Address {
        QString host;
        int port = -1;
    };
    static Address parseServer(const QString& server);

private:
    enum class Protocol { Simple, Extended };
    // A statement that only reads needs no savepoint of its own and may be
    // sent again on a connection made anew.
    enum class Effect { Changes, OnlyReads };
    PGresult* run(const QString& sql, const std::vector<Value>& params,
                  Protocol protocol = Protocol::Simple, Effect effect = Effect::Changes);
    PGresult* send(const QByteArray& sql, const std::vector<Value>& params, bool simple);
    void control(const char* sql);
    void applySessionSettings();
    void reconnectIfLost();
    [[noreturn]] void fail(PGresult* result) const;
    void describeColumns(const PGresult* result, std::vector<ColumnInfo>& columns);

    QString m_connectionName;
    PGconn* m_conn = nullptr;
    int m_loginTimeout = 15;
    int m_lockTimeout = 5000;
    bool m_inTransaction = false;

    // What the catalog says of the tables results came from, by table oid:
    // the table's name and its column names by attribute number.
    struct TableNames {
        QString table;
        QHash<int, QString> columns;
    };
    QHash<unsigned, TableNames> m_tables;
};

} // namespace qv
