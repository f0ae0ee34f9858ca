// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/Regional.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace qv::Regional {
namespace {

std::optional<QLocale>& pinned() {
    static std::optional<QLocale> value;
    return value;
}

bool isDateField(QChar c) {
    return c == u'd' || c == u'M' || c == u'y';
}

// Drops the time-zone field 't' (outside quoted text) with what is left of its
// surroundings: "HH:mm:ss t" -> "HH:mm:ss", "h:mm:ss AP t" -> "h:mm:ss AP".
QString withoutTimeZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && c == u't')
            continue;
        out += c;
    }
    out.remove(QStringLiteral("()"));
    return out.trimmed();
}

// The short date form's day, month and year ('d', 'M', 'y') in their order
// ("dd/MM/yyyy" gives d M y, "M/d/yy" M d y, "yyyy-MM-dd" y M d).
std::array<QChar, 3> fieldOrder(const QString& format) {
    std::array<QChar, 3> order{u'd', u'M', u'y'};
    std::array<qsizetype, 3> at{};
    for (int i = 0; i < 3; ++i) {
        at[i] = format.indexOf(order[i]);
        if (at[i] < 0)
            return {u'd', u'M', u'y'};
    }
    std::array<int, 3> index{0, 1, 2};
    std::sort(index.begin(), index.end(), [&](int a, int b) { return at[a] < at[b]; });
    return {order[index[0]], order[index[1]], order[index[2]]};
}

int fullYear(const QString& digits, int thisYear) {
    const int year = digits.toInt();
    if (digits.size() > 2)
        return year;
    int full = thisYear - thisYear % 100 + year;
    if (full > thisYear + 19)
        full -= 100;
    else if (full < thisYear - 80)
        full += 100;
    return full;
}

QDate atLeastYear100(const QDate& date) {
    return date.isValid() && date.year() >= 100 ? date : QDate();
}

} // namespace

QLocale locale() {
    return pinned().value_or(QLocale::system());
}

void setLocaleForTesting(const QLocale& locale) {
    pinned() = locale;
}

void resetLocale() {
    pinned().reset();
}

QString shortDateFormat() {
    return locale().dateFormat(QLocale::ShortFormat);
}

QString longDateFormat() {
    return locale().dateFormat(QLocale::LongFormat);
}

QString longTimeFormat() {
    return withoutTimeZone(locale().timeFormat(QLocale::LongFormat));
}

QString dateSeparator() {
    const QString format = shortDateFormat();
    qsizetype i = 0;
    while (i < format.size() && !isDateField(format[i]))
        ++i;
    while (i < format.size() && isDateField(format[i]))
        ++i;
    QString separator;
    for (; i < format.size() && !isDateField(format[i]); ++i)
        if (format[i] != u'\'')
            separator += format[i];
    // "d. M. yyyy" separates with ". "; the separator proper is the full stop.
    const QString trimmed = separator.trimmed();
    if (!trimmed.isEmpty())
        return trimmed;
    return separator.isEmpty() ? QStringLiteral("/") : separator;
}

QString decimalSeparator() {
    return locale().decimalPoint();
}

QString currencySymbol() {
    return locale().currencySymbol(QLocale::CurrencySymbol);
}

QString formatShortDate(const QDate& date) {
    return date.isValid() ? locale().toString(date, shortDateFormat()) : QString();
}

QString formatLongDate(const QDate& date) {
    return date.isValid() ? locale().toString(date, longDateFormat()) : QString();
}

QString formatLongTime(const QTime& time) {
    return time.isValid() ? locale().toString(time, longTimeFormat()) : QString();
}

QString formatDateTime(const QDateTime& value) {
    if (!value.isValid())
        return QString();
    QString text = formatShortDate(value.date());
    if (value.time() != QTime(0, 0))
        text += u' ' + formatLongTime(value.time());
    return text;
}

QString formatCurrency(double amount) {
    // Below half a penny the amount shows as 0.00; without this a tiny negative
    // rest of a sum would read "-£0.00" or "(£0.00)".
    if (std::fabs(amount) < 0.005)
        amount = 0.0;
    const QLocale l = locale();
    return l.toCurrencyString(amount, l.currencySymbol(QLocale::CurrencySymbol), 2);
}

namespace {

// Day, month and year as numbers in the given order, between them one or two
// of " ./-" or the system's separator. None when the text is not of that
// shape; an invalid date when it is but names no day.
std::optional<QDate> numericDate(const QString& text, const std::array<QChar, 3>& order,
                                 const QDate& today) {
    // Made again only when the separator changes: an import reads thousands.
    static QString madeFor;
    static QRegularExpression numeric;
    if (const QString separator = dateSeparator();
        separator != madeFor || !numeric.isValid() || numeric.pattern().isEmpty()) {
        const QString separators = QRegularExpression::escape(QStringLiteral(" ./-") + separator);
        const QString between = QStringLiteral("[") + separators + QStringLiteral("]{1,2}");
        numeric.setPattern(QStringLiteral("^(\\d{1,4})") + between + QStringLiteral("(\\d{1,4})") +
                           between + QStringLiteral("(\\d{1,4})\\.?$"));
        madeFor = separator;
    }
    const QRegularExpressionMatch m = numeric.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int day = 0, month = 0, year = 0;
    for (int i = 0; i < 3; ++i) {
        const QString digits = m.captured(i + 1);
        if (order[i] == u'y') {
            year = fullYear(digits, today.year());
        } else if (digits.size() > 2) {
            return QDate(); // a day or month of three digits
        } else {
            (order[i] == u'd' ? day : month) = digits.toInt();
        }
    }
    return atLeastYear100(QDate(year, month, day));
}

} // namespace

QDate readDate(const QString& typed, const QDate& today) {
    const QString text = typed.trimmed();
    // A four-digit year first is read as year, month, day in every system.
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
    if (const QRegularExpressionMatch m = iso.match(text); m.hasMatch())
        return atLeastYear100(
            QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()));
    if (const std::optional<QDate> date = numericDate(text, fieldOrder(shortDateFormat()), today))
        return *date;
    return atLeastYear100(locale().toDate(text, longDateFormat()));
}

QDate readNumericDate(const QString& text, QStringView order, const QDate& today) {
    if (order.size() != 3)
        return QDate();
    return numericDate(text.trimmed(), {order[0], order[1], order[2]}, today).value_or(QDate());
}

QString shortDatePattern() {
    QString pattern;
    bool quoted = false;
    const QString format = shortDateFormat();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && c == u'y') {
            while (i + 1 < format.size() && format[i + 1] == u'y')
                ++i;
            pattern += QStringLiteral("yyyy");
        } else {
            pattern += quoted ? c : (c == u'M' ? QChar(u'm') : c);
        }
    }
    return pattern;
}

} // namespace qv::Regional
