// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace qv {
class Dataset;
}

namespace PrintShared {
struct ListReport;
}

// Names, phone numbers and e-mail address of every member the list shows, in
// its order and under its filter, landscape unless the user turns the page.
// Shows the print dialog first; Cancel prints nothing. The list's current row
// does not move.
void PrintPhoneList(qv::Dataset& members, QWidget* parent = nullptr);

// The same report as columns, for printing without the dialog; `members`
// must outlive the report.
PrintShared::ListReport PhoneListReport(const qv::Dataset& members);
