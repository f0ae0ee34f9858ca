// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/Connection.h"

#include "platform/data/ChangeRecorder.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/OdbcProvider.h"
#include "platform/data/PgProvider.h"
#include "platform/data/SqlText.h"
#include "platform/data/SqliteProvider.h"

namespace qv {

Connection::Connection() = default;
Connection::~Connection() {
    close();
}

void Connection::setConnectionString(const QString& text) {
    if (isOpen())
        throw DatabaseError(QStringLiteral("Operation is not allowed when the object is open."));
    m_text = text;
}

void Connection::open() {
    if (isOpen())
        return;
    const ConnectionString cs = ConnectionString::parse(m_text);
    std::unique_ptr<Provider> provider;
    if (cs.kind() == ConnectionString::Kind::File) {
        auto file = std::make_unique<SqliteProvider>();
        file->setBusyTimeout(m_busyTimeout);
        provider = std::move(file);
    } else if (cs.kind() == ConnectionString::Kind::PostgreSQL) {
        auto server = std::make_unique<PgProvider>();
        server->setLoginTimeout(m_loginTimeout);
        server->setLockTimeout(m_busyTimeout);
        provider = std::move(server);
    } else {
        auto server = std::make_unique<OdbcProvider>();
        server->setLoginTimeout(m_loginTimeout);
        provider = std::move(server);
    }
    provider->open(cs);
    m_provider = std::move(provider);
    m_inTransaction = false;
}

void Connection::close() {
    if (!m_provider)
        return;
    if (m_inTransaction) {
        try {
            m_provider->rollback();
        } catch (const DatabaseError&) {
            // Closing discards the transaction whatever the engine says.
        }
    }
    m_inTransaction = false;
    endOfTransaction();
    m_provider->close();
    m_provider.reset();
}

bool Connection::isOpen() const {
    return m_provider && m_provider->isOpen();
}

ConnectionString::Kind Connection::kind() const {
    if (dynamic_cast<SqliteProvider*>(m_provider.get()))
        return ConnectionString::Kind::File;
    if (dynamic_cast<PgProvider*>(m_provider.get()))
        return ConnectionString::Kind::PostgreSQL;
    if (m_provider)
        return ConnectionString::Kind::Server;
    return ConnectionString::parse(m_text).kind();
}

Provider& Connection::provider() {
    if (!isOpen())
        throw DatabaseError(QStringLiteral("Operation is not allowed when the object is closed."));
    return *m_provider;
}

void Connection::beginTrans(TransactionKind kind) {
    Provider& p = provider();
    if (m_inTransaction)
        throw DatabaseError(
            QStringLiteral("A transaction is already in progress on this connection."));
    if (kind == TransactionKind::Exclusive)
        p.beginExclusive();
    else
        p.begin();
    m_inTransaction = true;
    endOfTransaction();
}

void Connection::commitTrans() {
    Provider& p = provider();
    if (!m_inTransaction)
        throw DatabaseError(QStringLiteral("No transaction is active."));
    p.commit();
    m_inTransaction = false;
    endOfTransaction();
}

void Connection::rollbackTrans() {
    Provider& p = provider();
    if (!m_inTransaction)
        throw DatabaseError(QStringLiteral("No transaction is active."));
    m_inTransaction = false;
    endOfTransaction();
    p.rollback();
}

qint64 Connection::execute(const QString& sql) {
    Provider& p = provider();
    return executeRecorded(*this, p.adapt(sql), {});
}

void Connection::endOfTransaction() {
    m_label.clear();
    if (m_recorder)
        m_recorder->transactionBoundary();
}

void Connection::setBusyTimeout(int milliseconds) {
    m_busyTimeout = milliseconds;
    if (auto* file = dynamic_cast<SqliteProvider*>(m_provider.get()))
        file->setBusyTimeout(milliseconds);
    if (auto* server = dynamic_cast<PgProvider*>(m_provider.get()))
        server->setLockTimeout(milliseconds);
}

void Connection::setLoginTimeout(int seconds) {
    m_loginTimeout = seconds;
}

sqlite3* Connection::sqliteHandle() const {
    if (auto* file = dynamic_cast<SqliteProvider*>(m_provider.get()))
        return file->handle();
    return nullptr;
}

} // namespace qv
