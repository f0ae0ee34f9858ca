// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/SearchLists.h"

#include "db/MemberSQL.h"
#include "platform/os/Regional.h"

#include <QDateTime>

namespace SearchLists {

namespace {

// The typed text as a LIKE pattern. Wildcards the user typed keep their
// meaning; nothing is escaped or trimmed.
QString pattern(const QString& text) {
    return u'%' + text + u'%';
}

QString notMatchingSuffix(bool notMatching) {
    return notMatching ? QStringLiteral(" - Not Matching") : QString();
}

QString historicSuffix(bool historic) {
    return historic ? QStringLiteral(" - Historic") : QString();
}

} // namespace

List ListFor(Kind kind, qv::Connection& connection, const Answer& a) {
    List list;
    switch (kind) {
    case Kind::Keyword:
        list = {MemberSQL::KeywordSQL(a.notMatching),
                QStringLiteral("Find - ") + a.text + notMatchingSuffix(a.notMatching),
                pattern(a.text)};
        break;
    case Kind::All:
        list = {MemberSQL::AllMembersSQL(), QStringLiteral("Member List"), QString()};
        break;
    case Kind::Profile:
        list = {MemberSQL::ProfileSQL(a.historic, a.notMatching),
                QStringLiteral("Profiles - ") + a.text + historicSuffix(a.historic) +
                    notMatchingSuffix(a.notMatching),
                a.key};
        break;
    case Kind::LongService:
        list = {MemberSQL::LongServiceSQL(connection, a.year),
                QStringLiteral("Long Service for year ") + QString::number(a.year), QString()};
        list.referenceYear = a.year;
        list.fiveYearRounding = true;
        break;
    case Kind::Assets:
        list = {MemberSQL::AssetSQL(a.historic, a.notMatching),
                QStringLiteral("Assets - ") + a.text + historicSuffix(a.historic) +
                    notMatchingSuffix(a.notMatching),
                a.key};
        break;
    case Kind::AssetReference:
        list = {MemberSQL::AssetReferenceSQL(), QStringLiteral("Asset Reference - ") + a.text,
                pattern(a.text)};
        break;
    case Kind::MembershipNo:
        list = {MemberSQL::MembershipNoSQL(a.notMatching),
                QStringLiteral("Membership No. - ") + a.text + notMatchingSuffix(a.notMatching),
                pattern(a.text)};
        break;
    case Kind::UnpaidFees:
        list = {MemberSQL::UnpaidFeesSQL(QDateTime(a.date, QTime(0, 0))),
                QStringLiteral("Unpaid Fees - ") + qv::Regional::formatShortDate(a.date),
                QString()};
        break;
    case Kind::PastMembers:
        list = {MemberSQL::PastMembersSQL(), QStringLiteral("Past Members"), QString()};
        list.pastMembersOnly = true;
        break;
    case Kind::MembershipLevel:
        list = {MemberSQL::MembershipLevelSQL(), QStringLiteral("Member Category - ") + a.text,
                a.key};
        break;
    }
    return list;
}

} // namespace SearchLists
