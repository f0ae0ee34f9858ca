// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

namespace qv {
class Connection;
}

#include <QString>
#include <QStringList>

// The tables of the register and the one row every new register starts with.
namespace TableCreate {

// The column-type words of one dialect.
struct ColumnTypeWords {
    QString key;
    QString yesNo;
    QString yesNoDefault; // also the yes value of the default level
    QString date;
    QString money;
    QString integer;
    QString longText; // a text with no practical limit (for the program's own tables)
};

// The words for the database a connection string names: the file kind's for
// the file provider, SQL Server's or PostgreSQL's for those servers; a string
// that names no provider is judged by whether it mentions ".mdb".
ColumnTypeWords ColumnTypes(const QString& connectionString);

// The eleven statements that build a register, as lines, in execution order.
QList<QStringList> TableStatements(const QString& connectionString);

// One index per parent-pointer column, so cascades and the latest-period join
// do not scan whole tables. DatesJoined's member index also carries DateJoined.
QStringList IndexStatements();

// The names of the register's tables and indexes, in creation order.
QStringList TableNames();
QStringList IndexNames();

// Runs the eleven statements, then the index statements, over a connection of
// its own opened from the string, in one transaction: a failing statement
// leaves the database as it was, and its error reaches the caller. On
// PostgreSQL the register's text functions (PgText) are made too.
void CreateTables(const QString& connectionString);
// The same on an open connection, in the caller's transaction.
void CreateTables(qv::Connection& connection);

} // namespace TableCreate
