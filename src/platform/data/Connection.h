// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/ConnectionString.h"

#include <QString>
#include <memory>

struct sqlite3;

namespace qv {

class Provider;
class ChangeRecorder;

// How a transaction begins. Exclusive holds every other writer off from the
// start, so a check made inside it still holds when the change follows.
enum class TransactionKind { Normal, Exclusive };

// The one connection to the register. Set a connection string, open, run
// statements; transactions are one level deep. Every failure throws
// DatabaseError with the engine's message; nothing here shows a window.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Throws when the connection is open: close it before giving a new string.
    void setConnectionString(const QString& text);
    QString connectionString() const { return m_text; }

    void open();
    void close();
    bool isOpen() const;
    // The kind of the open connection (or of the string, when closed).
    ConnectionString::Kind kind() const;

    void beginTrans(TransactionKind kind = TransactionKind::Normal);
    void commitTrans();
    void rollbackTrans();
    bool inTransaction() const { return m_inTransaction; }

    // Runs one statement without parameters and rows; answers rows changed.
    qint64 execute(const QString& sql);

    // How long the file provider waits for another program's lock to clear
    // before it reports the database as locked; on PostgreSQL, how long a
    // statement waits for a row another user's transaction holds.
    void setBusyTimeout(int milliseconds);
    // How long the server providers wait for a login.
    void setLoginTimeout(int seconds);

    // The engine behind the open connection. Throws when closed.
    Provider& provider();
    // The SQLite handle of an open file connection, else null (backup, compaction).
    sqlite3* sqliteHandle() const;

    // The recorder told of every change the program makes through this
    // connection; null for none. Not owned.
    void setChangeRecorder(ChangeRecorder* recorder) { m_recorder = recorder; }
    ChangeRecorder* changeRecorder() const { return m_recorder; }
    // What the open transaction is doing, as the user would name it (the
    // window or command); cleared when the transaction ends.
    void setTransactionLabel(const QString& label) { m_label = label; }
    QString transactionLabel() const { return m_label; }

private:
    void endOfTransaction();

    QString m_text;
    std::unique_ptr<Provider> m_provider;
    bool m_inTransaction = false;
    int m_busyTimeout = 5000;
    int m_loginTimeout = 15;
    ChangeRecorder* m_recorder = nullptr;
    QString m_label;
};

} // namespace qv
