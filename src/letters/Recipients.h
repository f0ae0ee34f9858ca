// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "letters/Households.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace qv {
class Connection;
}

// Who the labels and letters go to: the members of a list read from the
// register, merged into households or not, with the merge fields of each.
namespace Letters {

// Fields a caller adds per member key (the renewals window: Balance, FeeDue,
// MembershipYear...), each a field name and its text.
using ExtraFields = QHash<qint64, QHash<QString, QString>>;

struct MemberPost {
    Households::Person person;
    QString membershipNo; // of the latest period
    QString level;        // its membership level
    QDateTime dateJoined; // invalid without a period
    QDateTime dateEnded;
};

// The members of `keys` in that order, each once (a list of issues may name
// a member twice); keys no longer in the register are left out.
std::vector<MemberPost> LoadMembers(qv::Connection& connection, const std::vector<qint64>& keys);

// One label or letter.
struct Recipient {
    QString addressee;
    std::vector<int> members; // indexes into the members, the first one's fields merge
};

// One recipient per household (`merge`) or per member, in list order.
std::vector<Recipient> MakeRecipients(const std::vector<MemberPost>& members, bool merge);

// The fields every letter knows, as written in a template without braces.
QStringList StandardFields();
// The standard fields and the extra ones given for any member.
QStringList KnownFields(const ExtraFields& extra);

// The merge fields of a recipient: its first member's, {Addressee} the
// recipient's, {Today} today's date.
QHash<QString, QString> FieldsOf(const Recipient& recipient, const std::vector<MemberPost>& members,
                                 const ExtraFields& extra);

// "1 label", "2 labels".
QString Counted(size_t count, const QString& one, const QString& many);

// A label's lines: the addressee, the address's lines, city, post code.
QStringList LabelLines(const Recipient& recipient, const std::vector<MemberPost>& members);

} // namespace Letters
