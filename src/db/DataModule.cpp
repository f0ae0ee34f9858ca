#include "db/DataModule.h"

#include "platform/data/Query.h"

Tdm::Tdm(QObject* parent)
    : QObject(parent) {
    // The connection starts out with the file provider until a string is given.
    m_adoMembers.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0"));
}

Tdm::~Tdm() = default;

bool Tdm::UpgradeDatabase() {
    qv::Query query(&m_adoMembers);
    query.setSQL(QStringLiteral("SELECT TOP 1 * FROM DatesJoined"));
    qv::Result result;
    query.fetch(result);
    for (const qv::ColumnInfo& column : result.columns)
        if (column.name.compare(QLatin1String("MembershipNo"), Qt::CaseInsensitive) == 0)
            return false;
    m_adoMembers.execute(QStringLiteral("ALTER TABLE DatesJoined ADD MembershipNo varchar(10)"));
    return true;
}
