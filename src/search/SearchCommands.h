// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace qv {
class Connection;
}

// The ten searches of the main window. Each asks for its one search value
// (where it has one), builds the member list query and shows the result in a
// member list window owned by `owner`. Cancel, or an empty text, ends the
// command without a search. Query errors reach the caller.
namespace SearchCommands {

// Keyword in first names, surname, address or city; "Not Matching" negates.
void FindKeyword(QWidget* owner, qv::Connection& connection);
// Every member.
void ListAllMembers(QWidget* owner, qv::Connection& connection);
// Holders of a profile, optionally historic or not matching.
void FindProfile(QWidget* owner, qv::Connection& connection);
// Long service for a chosen year, years rounded to multiples of five.
void ListLongService(QWidget* owner, qv::Connection& connection);
// Holders of an asset, optionally historic or not matching.
void FindAssets(QWidget* owner, qv::Connection& connection);
// Issues whose asset reference contains a text.
void FindAssetReference(QWidget* owner, qv::Connection& connection);
// Membership numbers containing a text; shares the find dialog's last text.
void FindMembershipNo(QWidget* owner, qv::Connection& connection);
// Members without a payment on or after a chosen date.
void FindUnpaidFees(QWidget* owner, qv::Connection& connection);
// Members whose latest period has ended.
void ListPastMembers(QWidget* owner, qv::Connection& connection);
// Members whose latest period is at a chosen membership level.
void FindMembershipLevel(QWidget* owner, qv::Connection& connection);

} // namespace SearchCommands
