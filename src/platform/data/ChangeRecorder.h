// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Value.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace qv {

class Connection;
class Provider;

// Watches the statements that change rows, so that a record of each change
// can be written in the transaction of the change itself. The data layer calls
// it around every write it runs for the program; the recorder writes through
// the provider directly, which it does not see again.
class ChangeRecorder {
public:
    virtual ~ChangeRecorder() = default;

    // Whether a statement, in the engine's text with "?" placeholders, is one
    // that changes rows the recorder follows. Only those are announced by
    // beforeStatement() and, once they succeed, afterStatement().
    virtual bool follows(const QString& sql) = 0;
    virtual void beforeStatement(Connection& connection, const QString& sql,
                                 const std::vector<Value>& params) = 0;
    virtual void afterStatement(Connection& connection) = 0;
    // A row the program inserted through Provider::insertRow.
    virtual void rowInserted(Connection& connection, const QString& table, const QString& keyColumn,
                             qint64 key) = 0;
    // A transaction began, was committed or was rolled back: the next change
    // starts a new entry.
    virtual void transactionBoundary() = 0;
};

// Runs a statement that may change rows, telling the connection's recorder.
// A followed statement outside a transaction gets one of its own, so the
// change and its record are stored together or not at all.
qint64 executeRecorded(Connection& connection, const QString& sql,
                       const std::vector<Value>& params);
// Inserts one row through the provider, telling the recorder; answers the key.
qint64 insertRecorded(Connection& connection, const QString& table, const QString& keyColumn,
                      const QStringList& columns, const std::vector<Value>& values);

} // namespace qv
