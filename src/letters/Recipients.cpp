// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters/Recipients.h"

#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "reports/PrintShared.h"

#include <QRegularExpression>
#include <QSet>

namespace Letters {
namespace {

// Keys go into the statements' text in groups, as the quick find's list
// does: a parameter per key would pass the engines' parameter limits.
constexpr size_t KeysPerStatement = 500;

QString keyList(const std::vector<qint64>& keys, size_t from, size_t to) {
    QString list;
    for (size_t i = from; i < to; ++i) {
        if (i > from)
            list += u',';
        list += QString::number(keys[i]);
    }
    return list;
}

QString text(const qv::RowStore& rows, int row, int column) {
    const qv::Value v = rows.value(rows.cell(row, column));
    return v.isNull() ? QString() : v.toText();
}

QStringList addressLines(const QString& address) {
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    QStringList lines;
    for (const QString& line : address.split(breaks))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    return lines;
}

} // namespace

std::vector<MemberPost> LoadMembers(qv::Connection& connection, const std::vector<qint64>& keys) {
    std::vector<qint64> unique;
    QSet<qint64> seen;
    for (const qint64 key : keys)
        if (!seen.contains(key)) {
            seen.insert(key);
            unique.push_back(key);
        }
    QHash<qint64, MemberPost> found;
    for (size_t from = 0; from < unique.size(); from += KeysPerStatement) {
        const QString list =
            keyList(unique, from, std::min(unique.size(), from + KeysPerStatement));
        qv::Query members(&connection);
        members.setSQL(QStringLiteral("SELECT MemberID, FirstNames, Surname, Address, City, "
                                      "PostCode FROM Members WHERE MemberID IN (") +
                       list + u')');
        qv::Result r;
        members.fetch(r);
        for (int row = 0; row < r.rows.rowCount(); ++row) {
            MemberPost post;
            post.person = {r.rows.value(r.rows.cell(row, 0)).toInteger(),
                           text(r.rows, row, 1),
                           text(r.rows, row, 2),
                           text(r.rows, row, 3),
                           text(r.rows, row, 4),
                           text(r.rows, row, 5)};
            found.insert(post.person.key, post);
        }
        // Every period; the latest (greatest DateJoined) is kept, as the
        // member list shows it.
        qv::Query periods(&connection);
        periods.setSQL(
            QStringLiteral("SELECT DatesJoined.MemberID, DatesJoined.DateJoined, "
                           "DatesJoined.DateEnded, DatesJoined.MembershipNo, "
                           "MembershipLevel.MemberCategory FROM DatesJoined LEFT JOIN "
                           "MembershipLevel ON DatesJoined.MembershipLevelID = "
                           "MembershipLevel.MembershipLevelID WHERE DatesJoined.MemberID IN (") +
            list + u')');
        qv::Result p;
        periods.fetch(p);
        for (int row = 0; row < p.rows.rowCount(); ++row) {
            auto member = found.find(p.rows.value(p.rows.cell(row, 0)).toInteger());
            if (member == found.end())
                continue;
            const QDateTime joined = p.rows.value(p.rows.cell(row, 1)).toDateTime();
            if (member->dateJoined.isValid() && joined <= member->dateJoined)
                continue;
            const qv::Value ended = p.rows.value(p.rows.cell(row, 2));
            member->dateJoined = joined;
            member->dateEnded = ended.isNull() ? QDateTime() : ended.toDateTime();
            member->membershipNo = text(p.rows, row, 3);
            member->level = text(p.rows, row, 4);
        }
    }
    std::vector<MemberPost> posts;
    posts.reserve(unique.size());
    for (const qint64 key : unique) {
        const auto member = found.constFind(key);
        if (member != found.constEnd())
            posts.push_back(*member);
    }
    return posts;
}

std::vector<Recipient> MakeRecipients(const std::vector<MemberPost>& members, bool merge) {
    std::vector<Households::Person> people;
    people.reserve(members.size());
    for (const MemberPost& member : members)
        people.push_back(member.person);
    std::vector<Recipient> recipients;
    for (Households::Household& household : Households::Group(people, merge))
        recipients.push_back({household.addressee, std::move(household.members)});
    return recipients;
}

QStringList StandardFields() {
    return {
        QStringLiteral("FirstNames"),   QStringLiteral("Surname"), QStringLiteral("Addressee"),
        QStringLiteral("Address"),      QStringLiteral("City"),    QStringLiteral("PostCode"),
        QStringLiteral("MembershipNo"), QStringLiteral("Level"),   QStringLiteral("YearsService"),
        QStringLiteral("DateJoined"),   QStringLiteral("Today")};
}

QStringList KnownFields(const ExtraFields& extra) {
    QStringList fields = StandardFields();
    QStringList more;
    for (const QHash<QString, QString>& member : extra)
        for (auto field = member.cbegin(); field != member.cend(); ++field)
            if (!fields.contains(field.key(), Qt::CaseInsensitive) &&
                !more.contains(field.key(), Qt::CaseInsensitive))
                more << field.key();
    more.sort();
    return fields + more;
}

QHash<QString, QString> FieldsOf(const Recipient& recipient, const std::vector<MemberPost>& members,
                                 const ExtraFields& extra) {
    QHash<QString, QString> fields;
    if (recipient.members.empty())
        return fields;
    const MemberPost& m = members[size_t(recipient.members.front())];
    // The caller's fields first: the register's own win over a clash.
    for (const auto& [name, value] : extra.value(m.person.key).asKeyValueRange())
        fields.insert(name, value);
    fields.insert(QStringLiteral("FirstNames"), m.person.firstNames.trimmed());
    fields.insert(QStringLiteral("Surname"), m.person.surname.trimmed());
    fields.insert(QStringLiteral("Addressee"), recipient.addressee);
    fields.insert(QStringLiteral("Address"), addressLines(m.person.address).join(u'\n'));
    fields.insert(QStringLiteral("City"), m.person.city.trimmed());
    fields.insert(QStringLiteral("PostCode"), m.person.postCode.trimmed());
    fields.insert(QStringLiteral("MembershipNo"), m.membershipNo);
    fields.insert(QStringLiteral("Level"), m.level);
    fields.insert(QStringLiteral("YearsService"), m.dateJoined.isValid()
                                                      ? QString::number(PrintShared::YearsService(
                                                            m.dateJoined, m.dateEnded, false, -1))
                                                      : QString());
    fields.insert(QStringLiteral("DateJoined"), qv::Regional::formatShortDate(m.dateJoined.date()));
    fields.insert(QStringLiteral("Today"), qv::Regional::formatLongDate(qv::Clock::today()));
    return fields;
}

QString Counted(size_t count, const QString& one, const QString& many) {
    return QString::number(count) + u' ' + (count == 1 ? one : many);
}

QStringList LabelLines(const Recipient& recipient, const std::vector<MemberPost>& members) {
    if (recipient.members.empty())
        return {};
    const Households::Person& p = members[size_t(recipient.members.front())].person;
    QStringList lines{recipient.addressee};
    lines += addressLines(p.address);
    for (const QString& part : {p.city.trimmed(), p.postCode.trimmed()})
        if (!part.isEmpty())
            lines << part;
    return lines;
}

} // namespace Letters
