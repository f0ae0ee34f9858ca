// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/ChangeRecorder.h"

#include "platform/data/Connection.h"
#include "platform/data/Provider.h"
#include "platform/data/Transaction.h"

#include <optional>
#include <sqlite3.h>

namespace qv {

qint64 executeRecorded(Connection& connection, const QString& sql,
                       const std::vector<Value>& params) {
    Provider& provider = connection.provider();
    ChangeRecorder* recorder = connection.changeRecorder();
    if (!recorder || !recorder->follows(sql))
        return provider.execute(sql, params);
    std::optional<TransactionGuard> own;
    if (!connection.inTransaction())
        own.emplace(connection);
    recorder->beforeStatement(connection, sql, params);
    const qint64 rows = provider.execute(sql, params);
    // The record's own inserts must not change what the engine says the
    // statement's last new row was.
    sqlite3* file = connection.sqliteHandle();
    const sqlite3_int64 lastRow = file ? sqlite3_last_insert_rowid(file) : 0;
    recorder->afterStatement(connection);
    if (file)
        sqlite3_set_last_insert_rowid(file, lastRow);
    if (own)
        own->commit();
    return rows;
}

qint64 insertRecorded(Connection& connection, const QString& table, const QString& keyColumn,
                      const QStringList& columns, const std::vector<Value>& values) {
    Provider& provider = connection.provider();
    ChangeRecorder* recorder = connection.changeRecorder();
    if (!recorder)
        return provider.insertRow(table, keyColumn, columns, values);
    std::optional<TransactionGuard> own;
    if (!connection.inTransaction())
        own.emplace(connection);
    const qint64 key = provider.insertRow(table, keyColumn, columns, values);
    sqlite3* file = connection.sqliteHandle();
    const sqlite3_int64 lastRow = file ? sqlite3_last_insert_rowid(file) : 0;
    recorder->rowInserted(connection, table, keyColumn, key);
    if (file)
        sqlite3_set_last_insert_rowid(file, lastRow);
    if (own)
        own->commit();
    return key;
}

} // namespace qv
