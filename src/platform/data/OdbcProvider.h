// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Provider.h"

#include <QString>

namespace qv {

// The server database: SQL Server through QtSql's ODBC driver with FreeTDS.
// The program's SQL Server texts go to the server unchanged.
class OdbcProvider : public Provider {
public:
    OdbcProvider();
    ~OdbcProvider() override;

    void open(const ConnectionString& cs) override;
    void close() override;
    bool isOpen() const override { return m_open; }

    void begin() override;
    void beginExclusive() override;
    void commit() override;
    void rollback() override;

    QString adapt(const QString& sql) const override { return sql; }
    qint64 execute(const QString& sql, const std::vector<Value>& params) override;
    void fetch(const QString& sql, const std::vector<Value>& params, Result& out) override;
    qint64 insertRow(const QString& table, const QString& keyColumn, const QStringList& columns,
                     const std::vector<Value>& values) override;
    QStringList tableColumns(const QString& table) override;

    // How long a login may take before the open gives up; without it a silent
    // server would block the open for ever.
    void setLoginTimeout(int seconds) { m_loginTimeout = seconds; }

    // The ODBC connection string for an ADO-style one: "Data Source" is a host,
    // "host\instance", "host,port" or the name of a configured ODBC data source;
    // "Initial Catalog" the database; integrated security the trusted login.
    static QString odbcConnectionString(const ConnectionString& cs);

private:
    QString m_connectionName;
    bool m_open = false;
    int m_loginTimeout = 15;
};

} // namespace qv
