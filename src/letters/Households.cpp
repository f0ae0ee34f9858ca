// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters/Households.h"

#include <QHash>
#include <QStringList>

#include <algorithm>

namespace Households {

QString Fold(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool blank = true; // no blank at the start
    for (const QChar c : text.toCaseFolded()) {
        if (c.isLetterOrNumber() || c.isMark()) {
            out += c;
            blank = false;
        } else if (!blank) {
            out += u' ';
            blank = true;
        }
    }
    if (out.endsWith(u' '))
        out.chop(1);
    return out;
}

QString Key(const Person& person) {
    const QString street = Fold(person.address);
    if (street.isEmpty())
        return QString();
    QString postCode = Fold(person.postCode);
    postCode.remove(u' ');
    return street + u'\x1f' + Fold(person.city) + u'\x1f' + postCode;
}

QString FullName(const Person& person) {
    const QString first = person.firstNames.trimmed();
    const QString last = person.surname.trimmed();
    if (first.isEmpty())
        return last;
    if (last.isEmpty())
        return first;
    return first + u' ' + last;
}

namespace {

QString sameSurname(const Person& person) {
    return person.surname.trimmed().toCaseFolded();
}

// "a, b and c"
QString listed(const QStringList& parts) {
    if (parts.size() < 2)
        return parts.value(0);
    return QStringList(parts.mid(0, parts.size() - 1)).join(QStringLiteral(", ")) +
           QStringLiteral(" and ") + parts.last();
}

} // namespace

QString Addressee(const std::vector<const Person*>& people) {
    if (people.empty())
        return QString();
    if (people.size() == 1)
        return FullName(*people.front());
    if (people.size() > 3) {
        // The surname most of them share; between equals, the lowest key's.
        struct Count {
            int people = 0;
            qint64 lowestKey = 0;
            QString spelling;
        };
        QHash<QString, Count> counts;
        for (const Person* p : people) {
            Count& c = counts[sameSurname(*p)];
            if (c.people == 0 || p->key < c.lowestKey) {
                c.lowestKey = p->key;
                c.spelling = p->surname.trimmed();
            }
            ++c.people;
        }
        const Count* best = nullptr;
        for (const Count& c : counts)
            if (!best || c.people > best->people ||
                (c.people == best->people && c.lowestKey < best->lowestKey))
                best = &c;
        return QStringLiteral("The %1 household").arg(best->spelling);
    }
    const bool oneSurname = std::all_of(people.begin(), people.end(), [&](const Person* p) {
        return sameSurname(*p) == sameSurname(*people.front());
    });
    QStringList names;
    for (const Person* p : people)
        names << (oneSurname ? p->firstNames.trimmed() : FullName(*p));
    // Someone without first names keeps the list readable with a blank left out.
    names.removeAll(QString());
    if (!oneSurname)
        return listed(names);
    const QString surname = people.front()->surname.trimmed();
    return names.isEmpty() ? surname : listed(names) + u' ' + surname;
}

std::vector<Household> Group(const std::vector<Person>& people, bool merge) {
    std::vector<Household> households;
    QHash<QString, size_t> byKey;
    for (int i = 0; i < int(people.size()); ++i) {
        const QString key = merge ? Key(people[size_t(i)]) : QString();
        if (!key.isEmpty()) {
            const auto found = byKey.constFind(key);
            if (found != byKey.constEnd()) {
                households[*found].members.push_back(i);
                continue;
            }
            byKey.insert(key, households.size());
        }
        households.push_back({{i}, QString()});
    }
    for (Household& household : households) {
        std::stable_sort(household.members.begin(), household.members.end(), [&](int a, int b) {
            return people[size_t(a)].key < people[size_t(b)].key;
        });
        std::vector<const Person*> members;
        for (const int i : household.members)
            members.push_back(&people[size_t(i)]);
        household.addressee = Addressee(members);
    }
    return households;
}

} // namespace Households
