// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The two connection strings of the register. The texts are fixed: existing
// installations and the data layer's parser rely on them byte for byte.
namespace DBConnectionStrings {

// The file database: the path goes between double quotes, a double quote
// inside it doubled, otherwise unchanged.
QString AccessConnectionString(const QString& path);

// The server database with integrated security; names unquoted, no trailing ';'.
QString SQLServerConnectionString(const QString& serverName, const QString& databaseName);

// A database on a PostgreSQL server: "host", "host:port" or a socket folder,
// and the database's name. No login is written: libpq finds it (the
// operating-system user, Kerberos, ~/.pgpass). A name holding ";" or quotes,
// or spaces at either end, goes between double quotes with inner ones doubled.
QString PostgreSQLConnectionString(const QString& serverName, const QString& databaseName);

} // namespace DBConnectionStrings
