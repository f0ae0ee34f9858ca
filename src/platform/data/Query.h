// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Provider.h"
#include "platform/data/Value.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace qv {

class Connection;

// SQL text with ":Name" placeholders, its parameter values and a connection.
// Each occurrence of a placeholder is one parameter; setting a name sets
// every occurrence of it.
class Query {
public:
    explicit Query(Connection* connection = nullptr);

    void setConnection(Connection* connection) { m_connection = connection; }
    Connection* connection() const { return m_connection; }

    // The statement as lines; they are sent joined by line breaks.
    void setSQL(const QStringList& lines);
    void setSQL(const QString& text);
    void addLine(const QString& line);
    void clear();
    QString sql() const { return m_sql; }

    int parameterCount() const { return int(m_names.size()); }
    // One name per occurrence, in order of appearance.
    QStringList parameterNames() const { return m_names; }
    bool hasParameter(const QString& name) const;
    // Throws DatabaseError when the text has no such parameter.
    void setParameter(const QString& name, const Value& value);
    void setParameterAt(int index, const Value& value);
    void setAllParameters(const Value& value);
    Value parameter(const QString& name) const;
    const std::vector<Value>& parameterValues() const { return m_values; }

    // Runs a statement without rows; answers the number of rows changed.
    qint64 execute();
    // Runs the statement and reads all of its rows into out.
    void fetch(Result& out);

private:
    Provider& provider();

    Connection* m_connection = nullptr;
    QString m_sql;
    QStringList m_names;
    std::vector<Value> m_values;
};

} // namespace qv
