// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

// Members living at one address merged into one addressee, for labels and
// letters. Pure functions: no database, no widgets.
namespace Households {

struct Person {
    qint64 key = 0;
    QString firstNames;
    QString surname;
    QString address;
    QString city;
    QString postCode;
};

// Case folded, every character that is not a letter or a digit made a
// blank, runs of blanks made one, none at either end.
QString Fold(const QString& text);

// What two people of one household share: address, city and post code
// folded, the post code without any blank. Empty when the street line is
// empty: such a person never merges with anyone.
QString Key(const Person& person);

// "John Smith"; the surname alone without first names.
QString FullName(const Person& person);

// The addressee of people living together, in the order given: "John and
// Mary Smith", "John Smith and Mary Jones", "John, Mary and Ann Smith",
// "John Smith, Mary Smith and Ann Jones", and beyond three "The Smith
// household" after the surname most of them share (between surnames shared
// by as many, the one of the person with the lowest key).
QString Addressee(const std::vector<const Person*>& people);

struct Household {
    std::vector<int> members; // indexes into the people given, by key
    QString addressee;
};

// One household per address in the order each address first appears, the
// people of each ordered by key; with `merge` false, one per person.
std::vector<Household> Group(const std::vector<Person>& people, bool merge);

} // namespace Households
