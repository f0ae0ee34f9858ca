// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/DataModule.h"

#include "db/DBCreate.h"
#include "db/RegisterTables.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/PgText.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"

#include <sqlite3.h>

namespace {

bool hasColumn(qv::Connection& connection, const QString& probe, const QString& column) {
    qv::Query query(&connection);
    query.setSQL(probe);
    qv::Result result;
    query.fetch(result);
    for (const qv::ColumnInfo& c : result.columns)
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The register's text functions that the database lacks, as statements.
QStringList missingTextFunctions(qv::Connection& connection) {
    const QStringList signatures = qv::pgTextFunctionSignatures();
    const QStringList statements = qv::pgTextFunctionStatements();
    QStringList missing;
    for (qsizetype i = 0; i < signatures.size(); ++i) {
        qv::Query query(&connection);
        query.setSQL(QStringLiteral("SELECT to_regprocedure(:Signature) IS NULL"));
        query.setParameter(QStringLiteral("Signature"), signatures[i]);
        qv::Result result;
        query.fetch(result);
        if (result.rows.value(result.rows.cell(0, 0)).toBoolean())
            missing << statements[i];
    }
    return missing;
}

const QString FileProbe = QStringLiteral("SELECT TOP 1 * FROM DatesJoined");
const QString PgProbe = QStringLiteral("SELECT * FROM DatesJoined LIMIT 1");
const QString MembershipNo = QStringLiteral("MembershipNo");
const QString AddMembershipNo =
    QStringLiteral("ALTER TABLE DatesJoined ADD MembershipNo varchar(10)");

} // namespace

Tdm::Tdm(QObject* parent)
    : QObject(parent) {
    // The connection starts out with the file provider until a string is given.
    m_adoMembers.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0"));
    m_adoMembers.setChangeRecorder(&m_recorder);
}

Tdm::~Tdm() = default;

void Tdm::OpenRegister(const QString& connectionString) {
    m_adoMembers.close();
    m_adoMembers.setConnectionString(connectionString);
    try {
        if (m_adoMembers.kind() == qv::ConnectionString::Kind::File)
            DBCreate::CheckRegisterFile(qv::ConnectionString::parse(connectionString).dataSource());
        m_adoMembers.open();
        DBCreate::CheckRegister(m_adoMembers);
    } catch (...) {
        m_adoMembers.close();
        throw;
    }
}

bool Tdm::UpgradeDatabase() {
    const bool postgres = m_adoMembers.kind() == qv::ConnectionString::Kind::PostgreSQL;
    const QString probe = postgres ? PgProbe : FileProbe;
    // A current register is only read, so a read-only file opens as before.
    if (hasColumn(m_adoMembers, probe, MembershipNo) &&
        (!postgres || missingTextFunctions(m_adoMembers).isEmpty())) {
        UpgradeRegisterTables();
        return false;
    }
    // Check again and change under one exclusive transaction: a second copy
    // starting at the same moment waits here, then finds the work done.
    qv::TransactionGuard transaction(m_adoMembers, qv::TransactionKind::Exclusive);
    bool changed = false;
    if (!hasColumn(m_adoMembers, probe, MembershipNo)) {
        m_adoMembers.execute(AddMembershipNo);
        changed = true;
    }
    if (postgres) {
        for (const QString& statement : missingTextFunctions(m_adoMembers)) {
            m_adoMembers.execute(statement);
            changed = true;
        }
    }
    RegisterTables::CreateMissing(m_adoMembers);
    transaction.commit();
    return changed;
}

bool Tdm::UpgradeRegisterTables() {
    if (RegisterTables::HasAll(m_adoMembers))
        return false;
    try {
        qv::TransactionGuard transaction(m_adoMembers, qv::TransactionKind::Exclusive);
        const bool made = RegisterTables::CreateMissing(m_adoMembers);
        transaction.commit();
        return made;
    } catch (const qv::DatabaseError&) {
        if (m_adoMembers.kind() == qv::ConnectionString::Kind::File &&
            m_adoMembers.sqliteHandle() &&
            sqlite3_db_readonly(m_adoMembers.sqliteHandle(), "main") == 1)
            return false;
        throw;
    }
}
