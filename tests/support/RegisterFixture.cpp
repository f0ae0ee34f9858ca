// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegisterFixture.h"

#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"

#include <sqlite3.h>

namespace qv::test {

Register::Register(const QString& fileName)
    : m_path(m_folder.filePath(fileName)) {
    DBCreate::CreateAccessRegister(m_path);
    m_connection = std::make_unique<Connection>();
    m_connection->setConnectionString(connectionString());
    m_connection->open();
}

Register::~Register() = default;

QString Register::connectionString() const {
    return DBConnectionStrings::AccessConnectionString(m_path);
}

Value Register::scalar(const QString& sql) {
    Query q(m_connection.get());
    q.setSQL(sql);
    Result r;
    q.fetch(r);
    if (r.rows.rowCount() < 1 || r.rows.columnCount() < 1)
        return Value();
    return r.rows.value(r.rows.cell(0, 0));
}

qint64 Register::count(const QString& table) {
    return scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInteger();
}

qint64 Register::insert(const QString& sql, const std::vector<std::pair<QString, Value>>& params) {
    Query q(m_connection.get());
    q.setSQL(sql);
    for (const auto& [name, value] : params)
        q.setParameter(name, value);
    q.execute();
    return sqlite3_last_insert_rowid(m_connection->sqliteHandle());
}

qint64 Register::addMember(const QString& surname, const QString& firstNames, const Value& city,
                           const Value& address, const Value& email) {
    return insert(QStringLiteral("INSERT INTO Members (Surname, FirstNames, City, Address, "
                                 "EmailAddress) VALUES (:S, :F, :C, :A, :E)"),
                  {{"S", surname}, {"F", firstNames}, {"C", city}, {"A", address}, {"E", email}});
}

qint64 Register::addMember(const MemberRow& m) {
    return insert(
        QStringLiteral("INSERT INTO Members (Surname, FirstNames, Address, City, PostCode, "
                       "TelNo, MobileNo, EmailAddress) VALUES (:S, :F, :A, :C, :P, :T, "
                       ":M, :E)"),
        {{"S", m.surname},
         {"F", m.firstNames},
         {"A", m.address},
         {"C", m.city},
         {"P", m.postCode},
         {"T", m.telNo},
         {"M", m.mobileNo},
         {"E", m.email}});
}

qint64 Register::addPeriod(qint64 memberId, const QDate& joined, const QDate& ended, qint64 levelId,
                           const Value& membershipNo) {
    return insert(
        QStringLiteral("INSERT INTO DatesJoined (MembershipLevelID, MemberID, "
                       "DateJoined, DateEnded, MembershipNo) VALUES (:L, :M, :J, :E, :N)"),
        {{"L", levelId},
         {"M", memberId},
         {"J", joined},
         {"E", ended.isValid() ? Value(ended) : Value()},
         {"N", membershipNo}});
}

qint64 Register::addLevel(const QString& category, int highlight, int font, bool longService) {
    return insert(QStringLiteral("INSERT INTO MembershipLevel (MemberCategory, HighlightColour, "
                                 "FontColour, IncludeLongService) VALUES (:C, :H, :F, :L)"),
                  {{"C", category}, {"H", highlight}, {"F", font}, {"L", longService}});
}

} // namespace qv::test
