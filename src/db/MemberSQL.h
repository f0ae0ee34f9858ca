// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace qv {
class Connection;
}

// The SQL of the register: the member list queries and the statements that
// read, change and delete single records. The texts are shared with existing
// registers and other programs, so they are kept to the character. Where the
// database kinds differ, the kind is read from the settings at every call.
// The PostgreSQL texts give the same results as the file kind's: LIKE and =
// on names ignore case in every alphabet (qv_fold), names sort as the file
// register sorts them (qv_sortkey), dates are timestamp literals.
namespace MemberSQL {

// The SQL literal of a calendar date at midnight: #yyyy-mm-dd 00.00.00# for the
// file kind, CONVERT(DATETIME, 'yyyy-mm-dd 00:00:00', 102) for SQL Server,
// TIMESTAMP 'yyyy-mm-dd 00:00:00' for PostgreSQL. The
// kind is read from the settings at every call. The time of day is dropped; an
// invalid value gives the date of the null date-time, 30 December 1899.
QString DateLiteral(const QDateTime& value);
QString DateLiteralYMD(quint16 year, quint16 month, quint16 day);

// ---- Member list queries --------------------------------------------------
// Each answers one SELECT with a row per member and his latest period (the
// DatesJoined row with the greatest DateJoined), starting with the columns
// MemberID, Surname, FirstNames, Address, City, PostCode, TelNo, MobileNo,
// EmailAddress, DateJoined, DateEnded, DatesJoinedID, HighlightColour and
// FontColour. A member without periods is in no list. Every parameter of a
// query takes the same search value.

// Everyone; adds MembershipLevelID.
QString AllMembersSQL();
// Members whose latest period has ended.
QString PastMembersSQL();
// Latest period at the level :MembershipLevelID; adds MembershipLevelID.
QString MembershipLevelSQL();
// Holders of an unreturned issue of :AssetID, or anyone ever issued it with
// includeHistoric; notMatching lists the others. Adds MembershipLevelID.
QString AssetSQL(bool includeHistoric, bool notMatching);
// One row per issue whose reference is LIKE :AssetReference, returned or not;
// adds MembershipLevelID and AssetID.
QString AssetReferenceSQL();
// Current holders of :ProfileID, or anyone who ever held it with
// includeHistoric; notMatching lists the others. Adds MembershipLevelID.
QString ProfileSQL(bool includeHistoric, bool notMatching);
// First names, surname, address or city LIKE :Keyword. With notMatching a
// member whose address or city is null is in neither list: the engine gives
// null for NOT of a null comparison. Adds MembershipLevelID.
QString KeywordSQL(bool notMatching);
// Any period's number LIKE :MembershipNo; the row shows the latest period's
// MembershipNo (after DatesJoinedID), then the colours and MembershipLevelID.
// In the engine's order.
QString MembershipNoSQL(bool notMatching);
// Members without a payment dated on or after the date (written as a literal).
QString UnpaidFeesSQL(const QDateTime& date);
// Current members of levels flagged for long service whose latest period
// began in a calendar year 5, 10, 15 ... years before `year`, reaching back
// to the earliest DateJoined (always at least year - 5), oldest first. Reads
// MinDateJoined on the connection once; its errors reach the caller. Adds
// IncludeLongService and MembershipLevelID.
QString LongServiceSQL(qv::Connection& connection, int year);
// Every member with each of his periods, one row per period (one row with
// nulls for a member without any): MemberID, Surname, FirstNames, Address,
// City, PostCode, TelNo, MobileNo, EmailAddress, DatesJoinedID, DateJoined,
// DateEnded, MembershipNo. The same text on every kind, for the quick find's
// index.
QString QuickFindRowsSQL();
// The member list row of each of the members, with or without periods (a
// member without one has nulls in the period's columns), by surname and first
// names; adds MembershipLevelID. The keys are written into the text.
QString QuickFindListSQL(const std::vector<qint64>& memberIds);

// A column of the member list row under its own name ("Surname" for
// "surname", as a server that folds unquoted names to lower case answers);
// any other name as it is.
QString MemberListColumnName(const QString& name);

// ---- A member's record ----------------------------------------------------
// The seven statements of one member's record, each restricted to :MemberID:
// the Members row, then the sub-records in the order the member details
// window and its report show them. The three joined ones return the lookup
// key twice, once from each table.

QStringList MemberRowSQL();
QStringList MemberDatesJoinedSQL(); // by DateJoined, with the level's columns
QStringList MemberAssetsSQL();      // by AssetName
QStringList MemberProfilesSQL();    // by ProfileName
QStringList MemberFeePaymentsSQL(); // by PaymentDate
QStringList MemberFilesSQL();       // by FileDescription
QStringList MemberNotesSQL();       // in the engine's order

// The lookup lists, by name: profiles, asset kinds, membership levels.
QString ProfileListSQL();
QString AssetListSQL();
QString MembershipLevelListSQL();

// ---- Record maintenance -----------------------------------------------------
// Each runs one parameterised statement inside whatever transaction the caller
// has open; errors reach the caller. A key that matches no row changes nothing.

// One MembershipLevel row in memory.
struct MembershipLevelRecord {
    QString MemberCategory; // at most 20 characters
    qint32 HighlightColour = 0;
    qint32 FontColour = 0;
    bool IncludeLongService = false;

    bool operator==(const MembershipLevelRecord&) const = default;
};

// True when any period, current or ended, of any member has the level.
bool MembershipLevelInUse(qv::Connection& connection, int membershipLevelId);
// The earliest DateJoined of all periods; 30 December 1899 when there are none.
QDateTime MinDateJoined(qv::Connection& connection);
// True when a member other than memberId has exactly these names (compared as
// the engine compares text).
bool MemberNameExists(qv::Connection& connection, int memberId, const QString& firstNames,
                      const QString& surname);
// The level's row; an empty record (no category, colours 0, no long service)
// when there is none. A longer category is cut to 20 characters.
MembershipLevelRecord GetMembershipLevel(qv::Connection& connection, int membershipLevelId);

// Deletes one sub-record by its key.
void DeleteDatesJoined(qv::Connection& connection, int datesJoinedId);
void DeleteMemberAsset(qv::Connection& connection, int memberAssetId);
void DeleteMemberProfile(qv::Connection& connection, int memberProfileId);
void DeleteFeePayment(qv::Connection& connection, int feePaymentId);
void DeleteFileAttachment(qv::Connection& connection, int fileAttachmentId);
void DeleteMemberNote(qv::Connection& connection, int memberNotesId);

// Generic statements on a named table. The table and column names are written
// into the text, so they must come from the program, never from the user; the
// values travel as parameters. Deleting a level, asset or profile also
// removes, through the cascading keys, every row that refers to it.
void DeleteByKey(qv::Connection& connection, const QString& table, const QString& keyColumn,
                 int keyValue);
void UpdateByKey(qv::Connection& connection, const QString& table, const QString& keyColumn,
                 const QString& column, int keyValue, const QString& newValue);

void UpdateMembershipLevel(qv::Connection& connection, int membershipLevelId,
                           const MembershipLevelRecord& level);

} // namespace MemberSQL
