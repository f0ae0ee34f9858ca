// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace qv {
class Dataset;
}

namespace PrintShared {
struct ListReport;
}

// Names, address, joining and leaving dates and years of service of every
// member the list shows, under the list's caption. Years count as the list
// counts them (`referenceYear` -1 for none). Shows the print dialog first;
// Cancel prints nothing. The list's current row does not move.
void PrintMemberList(qv::Dataset& members, const QString& caption, bool fiveYearRounding,
                     int referenceYear, QWidget* parent = nullptr);

// The same report as columns, for printing without the dialog. The columns
// read `members` where it stands, so it must outlive the report.
PrintShared::ListReport MemberListReport(const qv::Dataset& members, const QString& caption,
                                         bool fiveYearRounding, int referenceYear);
