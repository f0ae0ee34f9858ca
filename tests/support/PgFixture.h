// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Connection.h"
#include "platform/data/Value.h"

#include <QString>
#include <memory>

namespace qv::test {

// The PostgreSQL server of the test run, as the settings would name it
// ("host:port"): CTest runs every server test under pg_virtualenv, which
// starts a throw-away cluster and sets PGHOST, PGPORT and the login. Empty
// when there is none; the tests then fail (QV_REQUIRE_PG_SERVER), never skip.
QString pgServer();
// Fails the calling test when there is no server; call it from initTestCase.
#define QV_REQUIRE_PG_SERVER()                                                                     \
    QVERIFY2(!qv::test::pgServer().isEmpty(),                                                      \
             "No PostgreSQL server: PGHOST is not set. CTest runs this test under "                \
             "pg_virtualenv; to run it by hand: pg_virtualenv ./TEST")

// A new register database on the test server, made by the program's own
// creation code, with a connection open on it; dropped again at the end.
class PgRegister {
public:
    explicit PgRegister(const QString& name = QString());
    ~PgRegister();
    PgRegister(const PgRegister&) = delete;
    PgRegister& operator=(const PgRegister&) = delete;

    QString name() const { return m_name; }
    QString connectionString() const;
    Connection& connection() { return *m_connection; }

    // One value of a one-row query.
    Value scalar(const QString& sql);
    qint64 count(const QString& table);
    // Runs a statement with those of the named values it takes; answers the
    // first column of the first row it returns (a RETURNING key), or null.
    Value run(const QString& sql, const std::vector<std::pair<QString, Value>>& params = {});

    // A database name no other register of this run uses.
    static QString uniqueName();

private:
    QString m_name;
    std::unique_ptr<Connection> m_connection;
};

} // namespace qv::test
