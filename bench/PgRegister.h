// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace qv {
class Connection;
}

// Generated registers on a PostgreSQL server, for measurements and for the
// tests that compare the two kinds on the same rows.
namespace qv::bench {

// Copies every row of the ten tables of a register file into an empty
// PostgreSQL register (as TableCreate makes it; its default level is
// replaced by the file's), keys as they are, and moves each table's key
// sequence past its largest key. One transaction, through COPY. Throws
// qv::DatabaseError with the server's message.
void CopyRegister(const QString& filePath, Connection& target);

} // namespace qv::bench
