// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/ConnectionString.h"
#include "platform/data/DatabaseError.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace qv {
class Connection;
}

// Reading the register's change log, and undoing one entry of it.
namespace History {

// Which entries a view lists. Empty parts do not filter.
struct Filter {
    QDate from, to;      // days, both included
    QString user;        // the login, exactly
    QString member;      // a text the member's current surname or first names contain
    qint64 memberId = 0; // one member's entries
};

// The column a list is sorted by.
enum class SortBy { When, User, Source };

struct Entry {
    qint64 id = 0;
    QString when; // local time, "yyyy-MM-dd hh:mm:ss"
    QString user;
    QString source;
    QString kind;
    QString what; // the changes, one line each: "Member 12 changed: TelNo 0113 → 0114"
};

// The number of entries the filter lets through.
qint64 EntryCount(qv::Connection& connection, const Filter& filter);
// One page of them, newest first unless ascending; with their changes
// (for a member's filter, only that member's).
std::vector<Entry> Entries(qv::Connection& connection, const Filter& filter, int offset, int limit,
                           SortBy sort = SortBy::When, bool ascending = false);

// The user's name of a register table ("Members" is a member, "DatesJoined" a period).
QString TableTitle(const QString& table);

// Undo refused: the message says what stands in the way.
class UndoRefused : public qv::DatabaseError {
public:
    using qv::DatabaseError::DatabaseError;
};

// Reverses one entry, in the caller's transaction when there is one, else in
// one of its own; the reversal is logged as an undo of the entry. Throws
// UndoRefused, changing nothing, when a later change touched the same values,
// when a deleted row's key is in use again, or when the entry's values were
// erased.
void Undo(qv::Connection& connection, qint64 entry);

// The statements around an insert that gives a row its old key (the undo of
// a delete), on a register of `kind`: SQL Server takes a key into an
// identity column only while IDENTITY_INSERT is on for the table, and for one
// table at a time; the other kinds take it as it is (empty texts).
struct KeyedInsertFrame {
    QString before, after;
};
KeyedInsertFrame KeyedInsert(qv::ConnectionString::Kind kind, const QString& table);

// What an erasure keeps, as the confirmation states it.
QString ErasureKeeps();
// Forgets a member: name, address, phone numbers, e-mail address, notes and
// file references become neutral text (surname "Erased", first names
// "Member N"), and those values go from the change log too, the erasure's
// own entry included. Periods and payments stay, so totals still add up.
// Runs in the caller's transaction when there is one, else in its own. On a
// file register the freed pages are overwritten, so the values leave the
// file's bytes.
void EraseMember(qv::Connection& connection, qint64 memberId);

struct DueMember {
    qint64 id = 0;
    QString surname, firstNames;
    QDate lastEnded;
};
// Members all of whose periods ended before the day `years` years ago,
// erased ones left out; by surname and first names.
std::vector<DueMember> MembersDueForErasure(qv::Connection& connection, int years);

} // namespace History
