#include "db/MemberSQL.h"

#include "app/MemberSettings.h"

namespace MemberSQL {
namespace {

// Takes plain ints so a QDate year outside 0..65535 is not wrapped on the way.
QString dateLiteral(int year, int month, int day) {
    if (MemberSettings::GetUseAccessDatabase())
        return QString::asprintf("#%.*d-%.*d-%.*d %.*d.%.*d.%.*d#", 4, year, 2, month, 2, day, 2, 0,
                                 2, 0, 2, 0);
    return QStringLiteral("CONVERT(DATETIME, '") +
           QString::asprintf("%.*d-%.*d-%.*d %.*d:%.*d:%.*d", 4, year, 2, month, 2, day, 2, 0, 2, 0,
                             2, 0) +
           QStringLiteral("', 102)");
}

} // namespace

QString DateLiteral(const QDateTime& value) {
    const QDate date = value.isValid() ? value.date() : QDate(1899, 12, 30);
    return dateLiteral(date.year(), date.month(), date.day());
}

QString DateLiteralYMD(quint16 year, quint16 month, quint16 day) {
    return dateLiteral(year, month, day);
}

} // namespace MemberSQL
