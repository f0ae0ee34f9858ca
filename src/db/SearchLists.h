// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>

namespace qv {
class Connection;
}

// The member list each of the ten searches opens, from what the user
// answered: its SQL, caption and search value. The main window's commands
// ask with dialogs, the command line with options; both get the same list.
namespace SearchLists {

enum class Kind {
    Keyword,
    All,
    Profile,
    LongService,
    Assets,
    AssetReference,
    MembershipNo,
    UnpaidFees,
    PastMembers,
    MembershipLevel
};

// What was answered: the typed text (or the chosen row's name with its key
// for a profile, asset or level), the checks, the year or the date.
struct Answer {
    QString text;
    QString key;
    bool notMatching = false;
    bool historic = false;
    int year = 0;
    QDate date;
};

struct List {
    QString sql;
    QString caption;
    QString searchValue;
    int referenceYear = -1;
    bool fiveYearRounding = false;
    bool pastMembersOnly = false;
};

List ListFor(Kind kind, qv::Connection& connection, const Answer& answer);

} // namespace SearchLists
