// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/Query.h"

#include "platform/data/ChangeRecorder.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/SqlText.h"

namespace qv {

Query::Query(Connection* connection)
    : m_connection(connection) {}

void Query::setSQL(const QStringList& lines) {
    setSQL(lines.join(u'\n'));
}

void Query::setSQL(const QString& text) {
    m_sql = text;
    m_names = prepareParameters(text).parameters;
    m_values.assign(size_t(m_names.size()), Value());
}

void Query::addLine(const QString& line) {
    setSQL(m_sql.isEmpty() ? line : m_sql + u'\n' + line);
}

void Query::clear() {
    setSQL(QString());
}

bool Query::hasParameter(const QString& name) const {
    for (const QString& n : m_names)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void Query::setParameter(const QString& name, const Value& value) {
    bool found = false;
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0) {
            m_values[size_t(i)] = value;
            found = true;
        }
    }
    if (!found)
        throw DatabaseError(QStringLiteral("Parameter '%1' not found.").arg(name));
}

void Query::setParameterAt(int index, const Value& value) {
    if (index < 0 || index >= parameterCount())
        throw DatabaseError(QStringLiteral("Parameter index %1 out of range.").arg(index));
    m_values[size_t(index)] = value;
}

void Query::setAllParameters(const Value& value) {
    for (Value& v : m_values)
        v = value;
}

Value Query::parameter(const QString& name) const {
    for (qsizetype i = 0; i < m_names.size(); ++i)
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return m_values[size_t(i)];
    throw DatabaseError(QStringLiteral("Parameter '%1' not found.").arg(name));
}

Provider& Query::provider() {
    if (!m_connection)
        throw DatabaseError(QStringLiteral("The query has no connection."));
    return m_connection->provider();
}

qint64 Query::execute() {
    Provider& p = provider();
    return executeRecorded(*m_connection, p.prepared(m_sql).text, m_values);
}

void Query::fetch(Result& out) {
    Provider& p = provider();
    p.fetch(p.prepared(m_sql).text, m_values, out);
}

} // namespace qv
