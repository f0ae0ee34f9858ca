// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace qv {

// The file register's text comparisons (TextCollation) as two functions that
// a PostgreSQL register holds, for its SQL to call:
//   qv_fold(text)     every character case-folded as the file register folds
//                     it, so "qv_fold(a) LIKE qv_fold(b) ESCAPE ''" and
//                     "qv_fold(a) = qv_fold(b)" match as the file register's
//                     LIKE and = do, in every alphabet;
//   qv_sortkey(text)  a key whose order under COLLATE "C" is compareText's:
//                     base letters first, without regard to case or accents,
//                     then the folded text.
// Both are plain SQL over the server's own functions (ICU's lower case, NFD
// normalisation), so the server inlines them and needs no extension; the
// tables of exceptions come from the Unicode data the file register uses.
// The register's database must be in UTF-8 with ICU collations available.
QStringList pgTextFunctionStatements();

// Their signatures, as to_regprocedure() takes them.
QStringList pgTextFunctionSignatures();

} // namespace qv
