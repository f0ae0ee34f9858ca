// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Provider.h"
#include "platform/os/FileLock.h"

#include <QHash>
#include <QString>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qv {

// The file database: an SQLite file opened through QtSql's SQLite driver, then
// driven through the engine's own interface on the same handle, which gives us
// column origins and declared types and reads rows without per-value wrappers.
class SqliteProvider : public Provider {
public:
    SqliteProvider();
    ~SqliteProvider() override;

    void open(const ConnectionString& cs) override;
    void close() override;
    bool isOpen() const override { return m_db != nullptr; }

    // A transaction begun here takes no lock on the file until its first
    // write: until then its reads run on their own, and another copy can
    // store changes meanwhile. The first write begins the engine's
    // transaction and reads again all that was read; when another copy has
    // changed any of it since, the write is refused and nothing is written.
    void begin() override;
    // Locks the file for writing at once, waiting out another writer.
    void beginExclusive() override;
    void commit() override;
    void rollback() override;

    QString adapt(const QString& sql) const override;
    qint64 execute(const QString& sql, const std::vector<Value>& params) override;
    void fetch(const QString& sql, const std::vector<Value>& params, Result& out) override;
    qint64 insertRow(const QString& table, const QString& keyColumn, const QStringList& columns,
                     const std::vector<Value>& values) override;
    QStringList tableColumns(const QString& table) override;
    // Drops the table's insert guard in the open transaction; a commit makes
    // it again, a rollback brings it back by itself.
    void skipInsertWidthCheck(const QString& table) override;

    // The longest file path, in bytes, that the engine takes for a database it
    // also writes: its own limit less the "-journal" it appends.
    static int maxPathBytes();
    // Throws DatabaseRefusal, saying the path is too long, when `absolutePath`
    // is longer than maxPathBytes().
    static void checkPathLength(const QString& absolutePath);

    void setBusyTimeout(int milliseconds);
    sqlite3* handle() const { return m_db; }
    QString fileName() const { return m_path; }

    // The companion file every open connection holds a shared lock on, so that
    // a compaction can tell whether another copy of the program has the
    // register open (the engine itself locks only while a statement runs).
    static QString lockFileFor(const QString& databasePath);

private:
    void exec(const char* sql);
    QString errorMessage() const;
    bool refusedAtOnce(qint64 elapsedMs) const;
    QString heldByAnotherWriter() const;
    [[noreturn]] void fail() const;
    qint64 executeBatch(const QString& sql, const std::vector<Value>& params, bool& stepped);
    qint64 runStatement(sqlite3_stmt* stmt, const std::vector<Value>* params, bool& ddl,
                        bool& stepped, bool kept);
    void fetchRows(const QString& sql, const std::vector<Value>& params, Result& out);

    // Where the program's transaction stands on the engine: none; begun, not
    // yet written, reading without a lock; or open on the engine.
    enum class Transaction { None, Unwritten, Open };
    // Before a write: opens the engine's transaction of an unwritten one and
    // checks what it read. Answers whether it opened it now.
    bool startWriting();
    // Undoes an engine transaction that startWriting() opened for a write
    // that then failed having changed nothing: the visit is unwritten again
    // and holds no lock, so another copy can go on.
    void abandonWriting();
    // A read of an unwritten transaction, checked again before its first write.
    void noteRead(const QString& sql, const std::vector<Value>& params, const RowStore& rows);
    void endTransaction();
    // Temporary triggers that refuse a text longer than its column's declared
    // width, as the Access and SQL Server engines do; SQLite alone would store it.
    void rebuildWidthGuards();
    void dropWidthGuards();

    // A statement kept for the next fetch of the same text, reset between
    // fetches: a reset statement holds no lock and blocks neither COMMIT nor
    // VACUUM. Its columns are worked out again whenever the engine prepares
    // it anew after a change of the schema.
    struct KeptStatement {
        sqlite3_stmt* stmt = nullptr;
        std::vector<ColumnInfo> columns;
        int prepares = -1; // the engine's re-prepare count when the columns were read
        quint64 lastUse = 0;
    };
    KeptStatement& keptStatement(const QString& sql);
    // Keeps a statement just prepared from `sql`, the oldest kept one making
    // room; answers it.
    sqlite3_stmt* keepStatement(const QString& sql, sqlite3_stmt* prepared);
    void forgetStatement(const QString& sql);
    void finalizeStatements();

    // One read of an unwritten transaction: its statement, values and what it
    // gave, as a digest of every value.
    struct Read {
        QString sql;
        std::vector<Value> params;
        int rows = 0;
        quint64 digest = 0;
    };
    std::vector<Read> m_reads;
    Transaction m_transaction = Transaction::None;
    // The statements of the guards dropped in the open transaction.
    QStringList m_skippedGuards;
    // The texts bound to the statement being run (see bindAll).
    std::vector<char> m_bindArena;

    QHash<QString, KeptStatement> m_statements;
    quint64 m_fetches = 0;
    QString m_connectionName;
    QString m_path;
    sqlite3* m_db = nullptr;
    int m_busyTimeout = 5000;
    RegisterLock m_lock;
};

} // namespace qv
