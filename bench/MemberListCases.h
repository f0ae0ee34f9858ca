// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchSupport.h"
#include "RegisterGenerator.h"

#include "db/MemberSQL.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

// The member list queries every list measurement runs, with the search
// values the member list window would bind, and our side of the measure.
namespace qv::bench {

struct MemberListCase {
    const char* name;
    // The text in the dialect the settings choose at the moment of the call.
    std::function<QString(qv::Connection&)> sql;
    QString searchValue; // bound to every parameter, as the member list window does
};

inline std::vector<MemberListCase> memberListCases() {
    const QDateTime feesFrom(QDate(2024, 4, 1), QTime(0, 0));
    const int serviceYear = GeneratedHistoryEnd().year() + 1;
    return {
        {"AllMembers", [](qv::Connection&) { return MemberSQL::AllMembersSQL(); }, {}},
        {"PastMembers", [](qv::Connection&) { return MemberSQL::PastMembersSQL(); }, {}},
        {"MembershipLevel", [](qv::Connection&) { return MemberSQL::MembershipLevelSQL(); }, "3"},
        {"Asset", [](qv::Connection&) { return MemberSQL::AssetSQL(false, false); }, "1"},
        {"Asset historic, not", [](qv::Connection&) { return MemberSQL::AssetSQL(true, true); },
         "1"},
        {"AssetReference", [](qv::Connection&) { return MemberSQL::AssetReferenceSQL(); }, "%12%"},
        {"Profile", [](qv::Connection&) { return MemberSQL::ProfileSQL(false, false); }, "4"},
        {"Profile historic, not", [](qv::Connection&) { return MemberSQL::ProfileSQL(true, true); },
         "4"},
        {"Keyword", [](qv::Connection&) { return MemberSQL::KeywordSQL(false); }, "%son%"},
        {"Keyword, not", [](qv::Connection&) { return MemberSQL::KeywordSQL(true); }, "%son%"},
        {"MembershipNo", [](qv::Connection&) { return MemberSQL::MembershipNoSQL(false); },
         "%123%"},
        {"MembershipNo, not", [](qv::Connection&) { return MemberSQL::MembershipNoSQL(true); },
         "%123%"},
        {"UnpaidFees",
         [feesFrom](qv::Connection&) { return MemberSQL::UnpaidFeesSQL(feesFrom); },
         {}},
        {"LongService",
         [serviceYear](qv::Connection& c) { return MemberSQL::LongServiceSQL(c, serviceYear); },
         {}},
    };
}

// Our layers: what the member list window does to show a list. Answers the
// milliseconds; `rows` receives the row count.
inline double openMemberList(qv::Connection& connection, const QString& sql, const QString& value,
                             int& rows) {
    const Clock::time_point start = Clock::now();
    qv::Dataset ds(&connection);
    ds.setSQL(sql);
    if (ds.query().parameterCount() > 0)
        ds.query().setAllParameters(qv::Value(value));
    ds.open();
    const double ms = msSince(start);
    rows = ds.recordCount();
    return ms;
}

} // namespace qv::bench
