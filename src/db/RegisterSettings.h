// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace qv {
class Connection;
}

// Settings that belong to the register rather than to one desk (the
// membership year's first day, the club's letterhead...): every copy of the
// program that opens the register sees the same. Per-user preferences stay
// in the settings file.
namespace RegisterSettings {

QStringList TableStatements(const QString& connectionString);

// The stored value; none when the setting was never set (or the register
// predates these settings and was opened read-only).
std::optional<QString> Value(qv::Connection& connection, const QString& name);
QString Value(qv::Connection& connection, const QString& name, const QString& fallback);

// Stores the value in the caller's transaction (the change log records it).
void SetValue(qv::Connection& connection, const QString& name, const QString& value);
// Removes the setting, so its default applies again.
void Remove(qv::Connection& connection, const QString& name);

} // namespace RegisterSettings
