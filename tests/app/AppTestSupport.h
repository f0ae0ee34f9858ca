// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers shared by the tests of the main window and the settings dialog.

#include "db/RegisterTables.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <sys/stat.h>

namespace apptest {

// A local port nobody listens on: a server there refuses at once, which is as
// far as a server register can be tested on a machine without a server.
inline QString ClosedServer() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("127.0.0.1,%1").arg(port);
}

inline void WriteSettings(const qv::test::SettingsSandbox& box, bool useAccess,
                          const QString& accessPath, const QString& server = QString(),
                          const QString& database = QString()) {
    box.writeSettings(QStringLiteral("[Database]\nUseAccessDatabase=%1\nAccessDatabase=%2\n"
                                     "SQLServerName=%3\nSQLDatabaseName=%4\n")
                          .arg(useAccess ? 1 : 0)
                          .arg(accessPath, server, database)
                          .toUtf8());
}

inline bool MakeReadOnly(const QString& path) {
    return ::chmod(QFile::encodeName(path).constData(), 0444) == 0;
}

inline qint64 Scalar(qv::Connection& connection, const QString& sql) {
    qv::Query query(&connection);
    query.setSQL(sql);
    qv::Result result;
    query.fetch(result);
    return result.rows.value(result.rows.cell(0, 0)).toInteger();
}

// The register's tables, as the engine lists them.
inline qint64 TableCount(qv::Connection& connection) {
    return Scalar(connection, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = "
                                             "'table' AND name NOT LIKE 'sqlite%'"));
}

// The ten register tables and the program's own, which opening a register adds.
inline qint64 ExpectedTableCount(const QString& connectionString) {
    qint64 count = 10;
    for (const RegisterTables::TableSet& set : RegisterTables::Sets())
        for (const QString& statement : set.statements(connectionString))
            count += statement.startsWith(QLatin1String("CREATE TABLE")) ? 1 : 0;
    return count;
}

} // namespace apptest
