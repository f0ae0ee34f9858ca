// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestSupport.h"
#include "platform/data/Connection.h"
#include "platform/data/Value.h"

#include <QDate>
#include <QString>
#include <memory>

namespace qv::test {

// A new register on a real SQLite file in a temp folder, built with the same
// code the program uses, and a connection open on it.
class Register {
public:
    explicit Register(const QString& fileName = QStringLiteral("register.mdb"));
    ~Register();

    QString path() const { return m_path; }
    QString connectionString() const;
    Connection& connection() { return *m_connection; }
    Connection* operator->() { return m_connection.get(); }

    // One value of a one-row query, read through the data layer.
    Value scalar(const QString& sql);
    qint64 count(const QString& table);

    // Small builders for test rows; each answers the generated key.
    struct MemberRow {
        QString surname, firstNames;
        Value address, city, postCode, telNo, mobileNo, email;
    };
    qint64 addMember(const MemberRow& row);
    qint64 addMember(const QString& surname, const QString& firstNames, const Value& city = Value(),
                     const Value& address = Value(), const Value& email = Value());
    qint64 addPeriod(qint64 memberId, const QDate& joined, const QDate& ended = QDate(),
                     qint64 levelId = 1, const Value& membershipNo = Value());
    qint64 addLevel(const QString& category, int highlight = -1, int font = -1,
                    bool longService = true);
    qint64 insert(const QString& sql, const std::vector<std::pair<QString, Value>>& params = {});

private:
    TempFolder m_folder;
    QString m_path;
    std::unique_ptr<Connection> m_connection;
};

} // namespace qv::test
