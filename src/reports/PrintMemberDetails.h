// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace qv {
class Dataset;
}

// One member's whole record, portrait: the name, address and contact block
// from the current row of `member`, then a section for each of the six
// sub-record datasets with the rows they hold, in their order. The datasets
// are those of the member details window, each restricted to the member;
// their SQL is MemberSQL's MemberRowSQL, MemberDatesJoinedSQL, MemberAssetsSQL,
// MemberProfilesSQL, MemberFeePaymentsSQL, MemberFilesSQL and MemberNotesSQL.
// Shows the print dialog first; Cancel prints nothing. No dataset's current
// row moves.
void PrintMemberDetails(qv::Dataset& member, qv::Dataset& periods, qv::Dataset& assets,
                        qv::Dataset& profiles, qv::Dataset& feePayments, qv::Dataset& files,
                        qv::Dataset& notes, QWidget* parent = nullptr);
