// SPDX-License-Identifier: GPL-3.0-or-later
#include "PgFixture.h"

#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/TableCreate.h"
#include "platform/data/Query.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace qv::test {

QString pgServer() {
    const QString host = qEnvironmentVariable("PGHOST");
    if (host.isEmpty())
        return {};
    const QString port = qEnvironmentVariable("PGPORT");
    return port.isEmpty() ? host : host + u':' + port;
}

QString PgRegister::uniqueName() {
    static int counter = 0;
    return QStringLiteral("qv_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

PgRegister::PgRegister(const QString& name)
    : m_name(name.isEmpty() ? uniqueName() : name) {
    DBCreate::CreatePostgreSQLDatabase(pgServer(), m_name);
    TableCreate::CreateTables(connectionString());
    m_connection = std::make_unique<Connection>();
    m_connection->setConnectionString(connectionString());
    m_connection->open();
}

PgRegister::~PgRegister() {
    m_connection.reset();
    DBCreate::DropPostgreSQLDatabase(pgServer(), m_name);
}

QString PgRegister::connectionString() const {
    return DBConnectionStrings::PostgreSQLConnectionString(pgServer(), m_name);
}

Value PgRegister::run(const QString& sql, const std::vector<std::pair<QString, Value>>& params) {
    Query q(m_connection.get());
    q.setSQL(sql);
    for (const auto& [name, value] : params)
        if (q.hasParameter(name))
            q.setParameter(name, value);
    Result r;
    q.fetch(r);
    if (r.rows.rowCount() < 1 || r.rows.columnCount() < 1)
        return Value();
    return r.rows.value(r.rows.cell(0, 0));
}

Value PgRegister::scalar(const QString& sql) {
    return run(sql);
}

qint64 PgRegister::count(const QString& table) {
    return scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInteger();
}

} // namespace qv::test
