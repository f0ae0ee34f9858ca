// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace qv {
class Connection;
}

// Creating an empty database of either kind; the tables come from TableCreate.
namespace DBCreate {

// The mark in a file database's header that says the file is a register of
// ours ("QVRN").
inline constexpr int ApplicationId = 1364627022;

// Creates a new, empty file database at the path. Never throws: a failure
// (the file already exists, the folder cannot be written) comes back as its
// message; success gives empty text. No file is left behind on failure.
QString CreateAccessDatabase(const QString& path);

// Fills a new register before it is put in place: called with a connection
// to the new file, inside the transaction that made its tables. Whatever it
// throws stops the creation, leaves no file, and reaches the caller.
using RegisterFiller = std::function<void(qv::Connection& connection)>;

// Creates a complete new register file at the path: the empty database, its
// tables, indexes and default level, then what `fill` adds, are built in a
// temporary file in the same folder (FileSystem::createTemporaryIn), in one
// transaction, and the file is renamed into place only when whole, never over
// an existing file. So whatever stops it, a kill included, leaves either no
// file at the path or a complete register; what a killed one left is removed
// by the next temporary file made in that folder. Throws DatabaseError
// ("Could not create ...", "Database already exists: ...") or, for a path the
// engine cannot take, DatabaseRefusal.
void CreateAccessRegister(const QString& path, const RegisterFiller& fill = {});

// Refuses, before it is opened, what cannot be a register file: a folder, a
// FIFO, device or socket (never opened, so nothing blocks), an empty file, a
// file that cannot be read, and a file that is no database of the engine's.
// Throws DatabaseRefusal saying what the path is; a missing path passes (the
// caller says it was not found).
void CheckRegisterFile(const QString& path);

// Refuses a file database that carries our mark but lacks any of the
// register's tables or indexes (a creation that did not finish), and a file
// database without the mark that is not a register at all (it lacks the
// member tables) or only part of one: throws DatabaseRefusal naming what is
// missing. Reads only; a server database passes unexamined, and so does a
// file without the mark that has every table (a register of an older
// version).
void CheckRegister(qv::Connection& connection);

// The statement that creates a server database. The name is written as a
// quoted identifier, so a name can never run a second statement.
QString CreateDatabaseStatement(const QString& databaseName);

// Creates the database on the server over a connection of its own (the
// login's default database is current). Errors reach the caller.
void CreateSQLServerDatabase(const QString& serverName, const QString& databaseName);

// The statement that creates a PostgreSQL database. The name is written as a
// quoted identifier (kept exactly as typed, case included); the database is
// made from the empty template in UTF-8, so names in every alphabet are
// stored, with the plain "C" locale, since the register's own functions
// decide how text compares and sorts.
QString CreatePostgreSQLDatabaseStatement(const QString& databaseName);

// PostgreSQL keeps at most this many bytes of a name (in UTF-8) and cuts a
// longer one without a word.
inline constexpr int PostgreSQLNameBytes = 63;

// Why the server would not keep `databaseName` exactly as typed (empty, or
// longer than PostgreSQLNameBytes); empty text when it would.
QString PostgreSQLDatabaseNameProblem(const QString& databaseName);

// Creates the database over a connection of its own to the server's
// maintenance database ("postgres", else "template1"). A name the server
// would not keep as typed is refused first (DatabaseRefusal) without asking
// the server. Errors reach the caller with the server's message.
void CreatePostgreSQLDatabase(const QString& serverName, const QString& databaseName);

// Drops a database that was just created but whose tables could not be made,
// so that no empty register is left behind under the name. Never throws.
void DropPostgreSQLDatabase(const QString& serverName, const QString& databaseName);

} // namespace DBCreate
