#pragma once

#include <QDateTime>
#include <QString>

namespace qv {
class Dataset;
}

// What the printed reports, the CSV export and the member list window share.
namespace PrintShared {

// Whole years of service from `joined` to the end date: 1 January of
// `referenceYear` when one is given (not -1), else `ended` when valid, else
// today. Days are counted with the time of day as a fraction and divided by
// 365.25; the fraction of a year is dropped. With five-year rounding the count
// goes to the nearest multiple of five (2 -> 0, 3 -> 5, 13 -> 15).
int YearsService(const QDateTime& joined, const QDateTime& ended, bool fiveYearRounding,
                 int referenceYear);

// The years of service of a member list row as decimal text, read from its
// DateJoined and DateEnded. A row without a DateJoined has no period to count
// from and gives empty text. Throws DatabaseError when a column is missing.
QString YearsServiceText(qv::Dataset& dataset, bool fiveYearRounding, int referenceYear);
// The same for any visible row (0-based) without moving the cursor.
QString YearsServiceText(const qv::Dataset& dataset, int row, bool fiveYearRounding,
                         int referenceYear);

} // namespace PrintShared
