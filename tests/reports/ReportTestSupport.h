// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the report tests share: expected lines of the recording canvas and the
// seven datasets of a member's record.

#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "reports/PrintMemberDetails.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace qv::test {

// A line as a report builds it: the '|'-separated values each filled or cut
// to its width, joined by `gap`.
inline QString cols(const QString& values, std::initializer_list<int> widths,
                    const QString& gap = QStringLiteral("   ")) {
    const QStringList parts = values.split(u'|');
    QStringList out;
    int i = 0;
    for (const int width : widths)
        out << parts.value(i++).leftJustified(width, u' ', true);
    return out.join(gap);
}

// A text at the reports' margin as RecordingCanvas::page() lists it.
inline QString at(int y, bool bold, const QString& text) {
    return QStringLiteral("450,%1 %2 %3").arg(y).arg(QChar(bold ? u'B' : u'R')).arg(text);
}

// The member details window's datasets for `memberId`, opened with the
// register's own statements (the notes' statement may be replaced).
inline std::vector<std::unique_ptr<Dataset>>
openMemberRecord(Connection& connection, qint64 memberId,
                 const QStringList& notesSQL = MemberSQL::MemberNotesSQL()) {
    std::vector<std::unique_ptr<Dataset>> sets;
    for (const QStringList& sql :
         {MemberSQL::MemberRowSQL(), MemberSQL::MemberDatesJoinedSQL(),
          MemberSQL::MemberAssetsSQL(), MemberSQL::MemberProfilesSQL(),
          MemberSQL::MemberFeePaymentsSQL(), MemberSQL::MemberFilesSQL(), notesSQL}) {
        auto set = std::make_unique<Dataset>(&connection);
        set->setSQL(sql);
        set->setParameter(QStringLiteral("MemberID"), memberId);
        set->open();
        sets.push_back(std::move(set));
    }
    return sets;
}

inline void printMemberRecord(const std::vector<std::unique_ptr<Dataset>>& s) {
    PrintMemberDetails(*s[0], *s[1], *s[2], *s[3], *s[4], *s[5], *s[6]);
}

} // namespace qv::test
