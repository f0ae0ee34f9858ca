#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

// The regional formats of the user's system: every date, time and money text the
// program shows or prints goes through here, so a test can pin them all at
// once. Format strings are QLocale patterns (d, M, y, H, m, s ...). Used from
// the user-interface thread only.
namespace qv::Regional {

// The locale in force: QLocale::system(), or the one pinned for a test.
QLocale locale();
void setLocaleForTesting(const QLocale& locale);
void resetLocale();

QString shortDateFormat();
QString longDateFormat();
// Hours, minutes and seconds; without the time zone that QLocale's long format
// carries, since a time of day read from the register has none.
QString longTimeFormat();
// The text between the day, month and year of the short date ("/" in 05/03/2010).
QString dateSeparator();
QString decimalSeparator();
QString currencySymbol();

// Empty text for an invalid (null) value.
QString formatShortDate(const QDate& date);
QString formatLongDate(const QDate& date);
QString formatLongTime(const QTime& time);
// The short date, followed by the long time unless the time is exactly
// midnight, as a date-time shows itself in the regional format.
QString formatDateTime(const QDateTime& value);
// Currency symbol, two decimals, grouping and the locale's negative form
// ("£1,234.50", "(£1,234.50)", "-1.234,50 €"). An amount that rounds to zero
// shows as zero, never as a negative zero.
QString formatCurrency(double amount);

} // namespace qv::Regional
