// SPDX-License-Identifier: GPL-3.0-or-later
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

// The date a person typed: the short date form of the system (day, month and
// year in its order, with "/", ".", "-", a space or the system's separator
// between them), yyyy-mm-dd (or yyyy/mm/dd), or the long form as shown. An invalid date for
// anything else, for a date that does not exist (31/02/2015) and for one
// before the year 100. A year of one or two digits is the one from 80 years
// before to 19 years after the year of `today` (in 2026: 45 is 2045, 46 is
// 1946).
QDate readDate(const QString& text, const QDate& today);
// A date of numbers alone in a known order ("dmy" or "mdy"), as a file
// written under another system's regional settings holds them: the
// separators and the year rule of readDate. Invalid for anything else.
QDate readNumericDate(const QString& text, QStringView order, const QDate& today);
// The short date form as a person writes it: "dd/mm/yyyy", "m/d/yyyy".
QString shortDatePattern();

} // namespace qv::Regional
