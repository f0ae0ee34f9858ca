// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/DBConnectionStrings.h"

namespace DBConnectionStrings {

QString AccessConnectionString(const QString& path) {
    // A quote inside the path is doubled, as the string's reader expects; a
    // path without one gives the same text as always.
    QString quoted = path;
    quoted.replace(u'"', QLatin1String("\"\""));
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;"
                          "Data Source=\"") +
           quoted + QStringLiteral("\";");
}

QString SQLServerConnectionString(const QString& serverName, const QString& databaseName) {
    return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                          "Persist Security Info=False;Data Source=") +
           serverName + QStringLiteral(";Initial Catalog=") + databaseName;
}

namespace {

QString quotedWhenNeeded(const QString& value) {
    if (!value.contains(u';') && !value.contains(u'"') && !value.startsWith(u'\'') &&
        value == value.trimmed())
        return value;
    QString doubled = value;
    doubled.replace(u'"', QLatin1String("\"\""));
    return u'"' + doubled + u'"';
}

} // namespace

QString PostgreSQLConnectionString(const QString& serverName, const QString& databaseName) {
    return QStringLiteral("Provider=PostgreSQL;Data Source=") + quotedWhenNeeded(serverName) +
           QStringLiteral(";Initial Catalog=") + quotedWhenNeeded(databaseName);
}

} // namespace DBConnectionStrings
