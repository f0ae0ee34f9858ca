// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qv {
class Connection;
}

// The tables the program keeps beside the register's own ten (the change log,
// register settings, fees, templates...). The ten never change their columns,
// so an older copy of the program still opens the register; each set here is
// made by the upgrade when it is missing, on every register kind.
namespace RegisterTables {

// A table of a set whose writes the change log records.
struct FollowedTable {
    QString name;
    QString key;    // its integer key column
    QString member; // the column naming the member a row belongs to, or empty
};

// Rows a delete takes with it through a foreign key: the child table's rows
// whose `column` names the parent's key. The change log reads them before
// the delete, so that undoing it brings them back.
struct Cascade {
    QString parent;
    QString child;
    QString column;
};

struct TableSet {
    // A table of the set: the set counts as made when it exists. Statements
    // of a set that grows later go into a set of their own.
    QString probe;
    // The statements that make the set on the kind a connection string names.
    std::function<QStringList(const QString& connectionString)> statements;
    std::vector<FollowedTable> followed;
    // The set's tables whose rows go with a deleted parent row.
    std::vector<Cascade> cascades = {};
};

// Every set, in creation order.
const std::vector<TableSet>& Sets();

// Whether the register has a table of that name (compared as each kind
// folds names).
bool HasTable(qv::Connection& connection, const QString& name);
// Whether every set is there.
bool HasAll(qv::Connection& connection);
// Makes the missing sets in the caller's transaction; answers whether it made any.
bool CreateMissing(qv::Connection& connection);

// The followed tables of every set, and the column names their statements
// give (so the log spells them alike on every kind).
const std::vector<FollowedTable>& Followed();
// The cascades of every set.
const std::vector<Cascade>& Cascades();
QStringList ColumnNames();

} // namespace RegisterTables
