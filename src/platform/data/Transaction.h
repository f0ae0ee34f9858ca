// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"

namespace qv {

// Begins a transaction and rolls it back unless commit() is called — also when
// an exception leaves the scope, so a failing window never leaves a
// transaction open on the shared connection.
class TransactionGuard {
public:
    explicit TransactionGuard(Connection& connection,
                              TransactionKind kind = TransactionKind::Normal,
                              const QString& label = QString())
        : m_connection(connection) {
        m_connection.beginTrans(kind);
        m_connection.setTransactionLabel(label);
    }
    ~TransactionGuard() {
        if (m_open) {
            try {
                m_connection.rollbackTrans();
            } catch (const DatabaseError&) {
                // Nothing more can be done while unwinding.
            }
        }
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    // A commit that fails leaves the guard open, so the transaction is still
    // rolled back when the guard goes out of scope.
    void commit() {
        m_connection.commitTrans();
        m_open = false;
    }
    void rollback() {
        m_open = false;
        m_connection.rollbackTrans();
    }
    bool isOpen() const { return m_open; }

private:
    Connection& m_connection;
    bool m_open = true;
};

} // namespace qv
