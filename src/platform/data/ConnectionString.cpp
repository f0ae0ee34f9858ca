// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/ConnectionString.h"

#include "platform/data/DatabaseError.h"

namespace qv {

namespace {
const QString kFileProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
}

ConnectionString ConnectionString::parse(const QString& text) {
    ConnectionString result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        // Key: up to "=", or a ";" that ends an empty or malformed pair.
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'=' && text[i] != u';')
            ++i;
        const QString key = text.mid(keyStart, i - keyStart).trimmed();
        if (i >= n || text[i] == u';') {
            if (!key.isEmpty())
                throw DatabaseError(
                    QStringLiteral("The connection string is not valid: \"%1\" has no value.")
                        .arg(key));
            ++i;
            continue;
        }
        if (key.isEmpty())
            throw DatabaseError(QStringLiteral("The connection string is not valid: a value "
                                               "has no key name."));
        ++i; // past "="
        while (i < n && text[i] == u' ')
            ++i;
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            const QChar quote = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                throw DatabaseError(QStringLiteral("The connection string is not valid: the "
                                                   "value of \"%1\" has no closing quote.")
                                        .arg(key));
            while (i < n && text[i] == u' ')
                ++i;
            if (i < n && text[i] != u';')
                throw DatabaseError(QStringLiteral("The connection string is not valid: text "
                                                   "follows the quoted value of \"%1\".")
                                        .arg(key));
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != u';')
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        ++i; // past ";"
        bool replaced = false;
        for (auto& pair : result.m_pairs) {
            if (pair.first.compare(key, Qt::CaseInsensitive) == 0) {
                pair.second = value;
                replaced = true;
            }
        }
        if (!replaced)
            result.m_pairs.emplace_back(key, value);
    }
    return result;
}

QString ConnectionString::value(const QString& key) const {
    for (const auto& pair : m_pairs)
        if (pair.first.compare(key, Qt::CaseInsensitive) == 0)
            return pair.second;
    return {};
}

bool ConnectionString::contains(const QString& key) const {
    for (const auto& pair : m_pairs)
        if (pair.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString ConnectionString::provider() const {
    const QString p = value(QStringLiteral("Provider"));
    return p.isEmpty() ? kFileProvider : p;
}

ConnectionString::Kind ConnectionString::kind() const {
    const QString p = provider();
    if (p.startsWith(QLatin1String("Microsoft.Jet.OLEDB"), Qt::CaseInsensitive))
        return Kind::File;
    if (p.startsWith(QLatin1String("SQLOLEDB"), Qt::CaseInsensitive) ||
        p.startsWith(QLatin1String("SQLNCLI"), Qt::CaseInsensitive) ||
        p.startsWith(QLatin1String("MSOLEDBSQL"), Qt::CaseInsensitive))
        return Kind::Server;
    if (p.startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        return Kind::PostgreSQL;
    throw DatabaseError(QStringLiteral("Provider cannot be found. It may not be properly "
                                       "installed: \"%1\".")
                            .arg(p));
}

bool ConnectionString::integratedSecurity() const {
    const QString v = value(QStringLiteral("Integrated Security"));
    return v.compare(QLatin1String("SSPI"), Qt::CaseInsensitive) == 0 ||
           v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           v.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

} // namespace qv
