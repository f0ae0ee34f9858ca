#pragma once

#include <QList>
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
};

// The words for the database a connection string names: the file kind's for
// the file provider, the server's for the server provider; a string that names
// neither is judged by whether it mentions ".mdb".
ColumnTypeWords ColumnTypes(const QString& connectionString);

// The eleven statements that build a register, as lines, in execution order.
QList<QStringList> TableStatements(const QString& connectionString);

// One index per parent-pointer column, so cascades and the latest-period join
// do not scan whole tables. DatesJoined's member index also carries DateJoined.
QStringList IndexStatements();

// Runs the eleven statements, then the index statements, each on its own and
// without a transaction, over a connection of its own opened from the string.
// Errors are not caught: what was created before a failing statement stays.
void CreateTables(const QString& connectionString);

} // namespace TableCreate
