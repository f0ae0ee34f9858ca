// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/RegisterSettings.h"

#include "db/RegisterTables.h"
#include "db/TableCreate.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"

namespace RegisterSettings {

namespace {

std::optional<qint64> keyOf(qv::Connection& connection, const QString& name,
                            std::optional<QString>* value = nullptr) {
    if (!RegisterTables::HasTable(connection, QStringLiteral("RegisterSettings")))
        return std::nullopt;
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT RegisterSettingID, SettingValue FROM RegisterSettings "
                            "WHERE SettingName = :Name"));
    q.setParameter(QStringLiteral("Name"), name);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        return std::nullopt;
    if (value) {
        const qv::Value v = r.rows.value(r.rows.cell(0, 1));
        *value = v.isNull() ? QString() : v.toText();
    }
    return r.rows.value(r.rows.cell(0, 0)).toInteger();
}

} // namespace

QStringList TableStatements(const QString& connectionString) {
    const TableCreate::ColumnTypeWords t = TableCreate::ColumnTypes(connectionString);
    return {
        QStringLiteral("CREATE TABLE RegisterSettings (RegisterSettingID ") + t.key +
            QStringLiteral(", SettingName varchar(50) NOT NULL, SettingValue ") + t.longText + u')',
        QStringLiteral("CREATE UNIQUE INDEX ixRegisterSettingsName ON RegisterSettings "
                       "(SettingName)"),
    };
}

std::optional<QString> Value(qv::Connection& connection, const QString& name) {
    std::optional<QString> value;
    keyOf(connection, name, &value);
    return value;
}

QString Value(qv::Connection& connection, const QString& name, const QString& fallback) {
    return Value(connection, name).value_or(fallback);
}

void SetValue(qv::Connection& connection, const QString& name, const QString& value) {
    std::optional<QString> old;
    const std::optional<qint64> key = keyOf(connection, name, &old);
    qv::Query q(&connection);
    if (key) {
        if (old == value)
            return;
        q.setSQL(QStringLiteral(
            "UPDATE RegisterSettings SET SettingValue = :Value WHERE RegisterSettingID = :Key"));
        q.setParameter(QStringLiteral("Key"), *key);
    } else {
        q.setSQL(QStringLiteral(
            "INSERT INTO RegisterSettings (SettingName, SettingValue) VALUES (:Name, :Value)"));
        q.setParameter(QStringLiteral("Name"), name);
    }
    q.setParameter(QStringLiteral("Value"), value);
    q.execute();
}

void Remove(qv::Connection& connection, const QString& name) {
    if (const std::optional<qint64> key = keyOf(connection, name)) {
        qv::Query q(&connection);
        q.setSQL(QStringLiteral("DELETE FROM RegisterSettings WHERE RegisterSettingID = :Key"));
        q.setParameter(QStringLiteral("Key"), *key);
        q.execute();
    }
}

} // namespace RegisterSettings
