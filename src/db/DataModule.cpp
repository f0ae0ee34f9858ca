#include "db/DataModule.h"

#include "platform/data/Query.h"
#include "platform/data/Transaction.h"

Tdm::Tdm(QObject* parent)
    : QObject(parent) {
    // The connection starts out with the file provider until a string is given.
    m_adoMembers.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0"));
}

Tdm::~Tdm() = default;

namespace {

bool HasMembershipNo(qv::Connection& connection) {
    qv::Query query(&connection);
    query.setSQL(QStringLiteral("SELECT TOP 1 * FROM DatesJoined"));
    qv::Result result;
    query.fetch(result);
    for (const qv::ColumnInfo& column : result.columns)
        if (column.name.compare(QLatin1String("MembershipNo"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool Tdm::UpgradeDatabase() {
    // A current register is only read, so a read-only file opens as before.
    if (HasMembershipNo(m_adoMembers))
        return false;
    // Check again and change under one exclusive transaction: a second copy
    // starting at the same moment waits here, then finds the column there.
    qv::TransactionGuard transaction(m_adoMembers, qv::TransactionKind::Exclusive);
    if (HasMembershipNo(m_adoMembers)) {
        transaction.commit();
        return false;
    }
    m_adoMembers.execute(QStringLiteral("ALTER TABLE DatesJoined ADD MembershipNo varchar(10)"));
    transaction.commit();
    return true;
}
