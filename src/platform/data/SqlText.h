// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace qv {

// A statement ready for an engine: the text with every ":Name" placeholder
// replaced by "?", and the parameter names in order of appearance — one entry
// per occurrence, so a name used four times takes four positions.
struct PreparedText {
    QString text;
    QStringList parameters;
};

// Finds ":Name" placeholders outside string literals, quoted and bracketed
// names, comments and date literals, so the "00:00:00" inside a quoted literal
// is never taken for a parameter.
PreparedText prepareParameters(const QString& sql);

// Rewrites the Access (Jet) dialect that the program's SQL is written in into
// SQLite's, outside string literals only:
//   #yyyy-mm-dd hh.nn.ss# and #mm/dd/yyyy#  -> 'yyyy-mm-dd hh:nn:ss'
//   now / now()                              -> the local date and time
//   SELECT [DISTINCT] TOP n ...              -> SELECT [DISTINCT] ... LIMIT n
//   AUTOINCREMENT PRIMARY KEY                -> INTEGER PRIMARY KEY AUTOINCREMENT
//   varchar(n) in CREATE/ALTER TABLE         -> varchar(n) COLLATE NOCASE
// The last keeps text comparison and ordering free of case, as Jet's is.
// Throws DatabaseError for a date literal that is not a valid date.
QString adaptJetToSqlite(const QString& sql);

} // namespace qv
