// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace qv {
class Dataset;
}

// Writes the rows the member list shows (in its order, under its filter) to
// `fileName` as comma-separated UTF-8 text with a byte-order mark and CR LF
// line ends: a header of the column names, then one line per row. Keeps every
// column after the first except those whose name ends in "ID" or "Colour" or
// begins with "Include", and adds "YearsService", counted as the list counts it (`referenceYear` -1
// for none). A field with a blank, a comma, a double quote or a control
// character is quoted, its double quotes doubled.
// All or nothing: the file is written beside its name and replaces an earlier
// one only when complete; on failure FileSystem::FileWriteError is thrown and
// the earlier file is as it was. The list's current row does not move.
void CSVExport(const qv::Dataset& members, const QString& fileName, int referenceYear,
               bool fiveYearRounding);

// A field as it is written: bare, or quoted when it must be.
QString CSVField(const QString& text);
