// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Brings a register kept in an Access (Jet) file into a new register file of
// ours: the schema comes from our own schema creation, then every row of the
// ten tables is copied with its key, so every link holds and each generated
// key goes on after the largest one copied. It all happens in one transaction
// on a file with a temporary name, renamed into place once complete, as New
// makes a register (DBCreate::CreateAccessRegister): the new register appears
// whole or not at all, and what a killed import left is removed by the next
// file of ours made in that folder. The Jet file is only read.
namespace JetImport {

struct TableCount {
    QString table;
    qint64 read = 0;
    qint64 written = 0;
};

// What could not be carried exactly, or was changed on the way, counted and
// named so nothing changes silently.
struct Finding {
    QString place; // "Table.Column", or a table
    QString what;  // what happened to the values there
    qint64 count = 0;
    QStringList examples; // the first few rows, by key ("MemberNotesID 7")
};

struct Summary {
    QString source;
    QString target;
    QString format; // of the source file
    std::vector<TableCount> tables;
    std::vector<Finding> notCarried; // values changed or left behind
    QStringList notes;               // differences that lose nothing

    qint64 rowsRead() const;
    qint64 rowsWritten() const;
    // The report for the user: rows per table read and written, then what was
    // not carried exactly (or that everything was), then the notes.
    QString text() const;
};

struct Progress {
    QString table; // the table being copied; empty while the register is made
    qint64 done = 0;
    qint64 total = 0; // rows in all the tables to copy
};

// Called as the import goes on (every few hundred rows); answering false
// cancels the import, which then leaves no file behind.
using ProgressCallback = std::function<bool(const Progress&)>;

enum class Outcome { Imported, Cancelled, Failed };

struct Result {
    Outcome outcome = Outcome::Failed;
    QString message; // why it failed; empty otherwise
    // When it failed because the file's columns differ from the register's:
    // each difference ("Members.EmailAddress is missing"). Such an import
    // can be run again with the loss accepted.
    QStringList columnLoss;
    Summary summary; // complete when imported
};

struct Options {
    // Import although a table lacks columns of the register or has columns
    // the register does not know (as a damaged file shows them): the missing
    // columns are left empty, the unknown ones' values are not carried, and
    // the summary counts both. Without it such a file is refused. The one
    // column an old register may lack, DatesJoined.MembershipNo (which the
    // upgrade adds), is added empty either way.
    bool acceptColumnLoss = false;
};

// Imports the Jet register at `jetPath` into a new register at `newPath`,
// which must not exist. Never throws.
Result ImportRegister(const QString& jetPath, const QString& newPath,
                      const ProgressCallback& progress = {}, const Options& options = {});

// A free name for the new register beside the Jet file: "Club.mdb" gives
// "Club (imported).mdb", or "Club (imported 2).mdb" and so on when taken.
QString ProposedRegisterPath(const QString& jetPath);

} // namespace JetImport
