#include "reports/PrintShared.h"

#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"

#include <cmath>

namespace PrintShared {
namespace {

// A date-time as a count of days, the time of day being the fraction. Built
// from the calendar rather than from seconds, so a summer-time change does not
// make one day 23 hours long.
double dayCount(const QDateTime& when) {
    return double(when.date().toJulianDay()) + when.time().msecsSinceStartOfDay() / 86400000.0;
}

int columnOf(const qv::Dataset& dataset, const QString& name) {
    const int column = dataset.fieldIndex(name);
    if (column < 0)
        throw qv::DatabaseError(QStringLiteral("Field '%1' not found.").arg(name));
    return column;
}

QString yearsText(const qv::Value& joined, const qv::Value& ended, bool fiveYearRounding,
                  int referenceYear) {
    // A null DateJoined would otherwise count from the null date of 1899.
    if (joined.isNull())
        return QString();
    const QDateTime end = ended.isNull() ? QDateTime() : ended.toDateTime();
    return QString::number(YearsService(joined.toDateTime(), end, fiveYearRounding, referenceYear));
}

} // namespace

int YearsService(const QDateTime& joined, const QDateTime& ended, bool fiveYearRounding,
                 int referenceYear) {
    QDateTime end;
    if (referenceYear != -1)
        end = QDateTime(QDate(referenceYear, 1, 1), QTime(0, 0));
    else if (ended.isValid())
        end = ended;
    else
        end = QDateTime(qv::Clock::today(), QTime(0, 0));
    int years = int(std::trunc(std::fabs(dayCount(end) - dayCount(joined)) / 365.25));
    if (fiveYearRounding)
        years = int(std::lround(years / 5.0)) * 5;
    return years;
}

QString YearsServiceText(qv::Dataset& dataset, bool fiveYearRounding, int referenceYear) {
    return yearsText(dataset.field(QStringLiteral("DateJoined")).value(),
                     dataset.field(QStringLiteral("DateEnded")).value(), fiveYearRounding,
                     referenceYear);
}

QString YearsServiceText(const qv::Dataset& dataset, int row, bool fiveYearRounding,
                         int referenceYear) {
    return yearsText(dataset.valueAt(row, columnOf(dataset, QStringLiteral("DateJoined"))),
                     dataset.valueAt(row, columnOf(dataset, QStringLiteral("DateEnded"))),
                     fiveYearRounding, referenceYear);
}

} // namespace PrintShared
