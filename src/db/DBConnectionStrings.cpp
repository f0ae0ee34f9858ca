#include "db/DBConnectionStrings.h"

namespace DBConnectionStrings {

QString AccessConnectionString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;"
                          "Data Source=\"") +
           path + QStringLiteral("\";");
}

QString SQLServerConnectionString(const QString& serverName, const QString& databaseName) {
    return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;"
                          "Persist Security Info=False;Data Source=") +
           serverName + QStringLiteral(";Initial Catalog=") + databaseName;
}

} // namespace DBConnectionStrings
