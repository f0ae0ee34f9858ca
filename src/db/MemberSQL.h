#pragma once

#include <QDateTime>
#include <QString>

// The SQL texts of the register, in the dialect of the configured database kind.
namespace MemberSQL {

// The SQL literal of a calendar date at midnight: #yyyy-mm-dd 00.00.00# for the
// file kind, CONVERT(DATETIME, 'yyyy-mm-dd 00:00:00', 102) for SQL Server. The
// kind is read from the settings at every call. The time of day is dropped; an
// invalid value gives the date of the null date-time, 30 December 1899.
QString DateLiteral(const QDateTime& value);
QString DateLiteralYMD(quint16 year, quint16 month, quint16 day);

} // namespace MemberSQL
