// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace qv {

// An ADO-style connection string: "Key=Value;" pairs. Keys are matched without
// regard to case; a value may be written in double or single quotes (a doubled
// quote inside stands for one) so that it can hold ";" and "=". When a key is
// repeated the last occurrence counts, as OLE DB providers read it.
class ConnectionString {
public:
    // File: the file provider; Server: SQL Server; PostgreSQL: a PostgreSQL server.
    enum class Kind { File, Server, PostgreSQL };

    // Throws DatabaseError for text that cannot be read as pairs
    // (an unterminated quote, a pair without "=", an empty key).
    static ConnectionString parse(const QString& text);

    QString value(const QString& key) const;
    bool contains(const QString& key) const;

    // The provider named by "Provider", or the file provider when none is named
    // (the connection starts out with the file provider).
    QString provider() const;
    // Which engine serves the provider. Throws DatabaseError for an unknown one.
    Kind kind() const;
    QString dataSource() const { return value(QStringLiteral("Data Source")); }
    QString initialCatalog() const { return value(QStringLiteral("Initial Catalog")); }
    bool integratedSecurity() const;

private:
    std::vector<std::pair<QString, QString>> m_pairs;
};

} // namespace qv
