#include "platform/os/Regional.h"

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

} // namespace qv::Regional
