#pragma once

#include <QString>

// Creating an empty database of either kind; the tables come from TableCreate.
namespace DBCreate {

// Creates a new, empty file database at the path. Never throws: a failure
// (the file already exists, the folder cannot be written) comes back as its
// message; success gives empty text. No file is left behind on failure.
QString CreateAccessDatabase(const QString& path);

// The statement that creates a server database. The name is written as a
// quoted identifier, so a name can never run a second statement.
QString CreateDatabaseStatement(const QString& databaseName);

// Creates the database on the server over a connection of its own (the
// login's default database is current). Errors reach the caller.
void CreateSQLServerDatabase(const QString& serverName, const QString& databaseName);

} // namespace DBCreate
