// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/Value.h"

#include <QStringDecoder>
#include <cstring>

#include <cmath>

namespace qv {

namespace {

bool digitsAt(const char* text, qsizetype length, qsizetype at, int count, int& out) {
    if (at + count > length)
        return false;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

} // namespace

QString dateTimeToStorage(const QDateTime& when) {
    char buf[32];
    if (dateTimeToStorage(when, buf))
        return QString::fromLatin1(buf, DateTimeStorageLength);
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", when.date().year(),
                  when.date().month(), when.date().day(), when.time().hour(), when.time().minute(),
                  when.time().second());
    return QString::fromLatin1(buf);
}

bool dateTimeToStorage(const QDateTime& when, char* out) {
    const QDate d = when.date();
    const QTime t = when.time();
    if (!d.isValid() || !t.isValid() || d.year() < 0 || d.year() > 9999)
        return false;
    const auto digits = [&out](int value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            out[i] = char('0' + value % 10);
        out += count;
    };
    const int year = d.year();
    digits(year, 4);
    *out++ = '-';
    digits(d.month(), 2);
    *out++ = '-';
    digits(d.day(), 2);
    *out++ = ' ';
    digits(t.hour(), 2);
    *out++ = ':';
    digits(t.minute(), 2);
    *out++ = ':';
    digits(t.second(), 2);
    return true;
}

QDateTime dateTimeFromStorage(const char* text, qsizetype length) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!digitsAt(text, length, 0, 4, y) || length < 10 || text[4] != '-' || text[7] != '-' ||
        !digitsAt(text, length, 5, 2, mo) || !digitsAt(text, length, 8, 2, d))
        return {};
    if (length > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !digitsAt(text, length, 11, 2, h) ||
            length < 16 || text[13] != ':' || !digitsAt(text, length, 14, 2, mi))
            return {};
        if (length > 16) {
            if (text[16] != ':' || !digitsAt(text, length, 17, 2, s))
                return {};
            if (length > 19) {
                if (text[19] != '.')
                    return {};
                int digits = 0;
                for (qsizetype i = 20; i < length; ++i) {
                    if (text[i] < '0' || text[i] > '9')
                        return {};
                    if (digits < 3) {
                        ms = ms * 10 + (text[i] - '0');
                        ++digits;
                    }
                }
                while (digits++ < 3)
                    ms *= 10;
            }
        }
    }
    const QDate date(y, mo, d);
    const QTime time(h, mi, s, ms);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QDateTime dateTimeFromStorage(const QString& text) {
    const QByteArray latin = text.toLatin1();
    return dateTimeFromStorage(latin.constData(), latin.size());
}

QDateTime zeroDateTime() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

QString Value::toText() const {
    switch (kind()) {
    case Kind::Null:
        return {};
    case Kind::Text:
        return std::get<QString>(m_v);
    case Kind::Integer:
        return QString::number(std::get<qint64>(m_v));
    case Kind::Float:
        return QString::number(std::get<double>(m_v), 'g', 15);
    case Kind::DateTime:
        return dateTimeToStorage(std::get<QDateTime>(m_v));
    case Kind::Boolean:
        return std::get<bool>(m_v) ? QStringLiteral("True") : QStringLiteral("False");
    }
    return {};
}

qint64 Value::toInteger() const {
    switch (kind()) {
    case Kind::Text:
        return std::get<QString>(m_v).trimmed().toLongLong();
    case Kind::Integer:
        return std::get<qint64>(m_v);
    case Kind::Float:
        return qint64(std::llround(std::get<double>(m_v)));
    case Kind::Boolean:
        return std::get<bool>(m_v) ? 1 : 0;
    default:
        return 0;
    }
}

double Value::toFloat() const {
    switch (kind()) {
    case Kind::Text:
        return std::get<QString>(m_v).trimmed().toDouble();
    case Kind::Integer:
        return double(std::get<qint64>(m_v));
    case Kind::Float:
        return std::get<double>(m_v);
    case Kind::Boolean:
        return std::get<bool>(m_v) ? 1.0 : 0.0;
    default:
        return 0.0;
    }
}

QDateTime Value::toDateTime() const {
    switch (kind()) {
    case Kind::DateTime:
        return std::get<QDateTime>(m_v);
    case Kind::Text: {
        const QDateTime parsed = dateTimeFromStorage(std::get<QString>(m_v));
        return parsed.isValid() ? parsed : zeroDateTime();
    }
    default:
        return zeroDateTime();
    }
}

bool Value::toBoolean() const {
    switch (kind()) {
    case Kind::Boolean:
        return std::get<bool>(m_v);
    case Kind::Integer:
        return std::get<qint64>(m_v) != 0;
    case Kind::Float:
        return std::get<double>(m_v) != 0.0;
    case Kind::Text: {
        const QString t = std::get<QString>(m_v).trimmed();
        return t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t.toLongLong() != 0;
    }
    default:
        return false;
    }
}

} // namespace qv

#include "platform/data/Provider.h"

namespace qv {

void RowStore::setValue(Cell& c, const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Null:
        setNull(c);
        break;
    case Value::Kind::Text:
        setText(c, v.toText());
        break;
    case Value::Kind::Integer:
    case Value::Kind::Boolean:
        setInteger(c, v.toInteger());
        break;
    case Value::Kind::Float:
        setFloat(c, v.toFloat());
        break;
    case Value::Kind::DateTime:
        setText(c, dateTimeToStorage(v.toDateTime()));
        break;
    }
}

Value RowStore::value(const Cell& c) const {
    switch (c.type) {
    case Cell::Integer:
        return Value(qint64(c.integer));
    case Cell::Float:
        return Value(c.real);
    case Cell::Text:
        return Value(textOf(c));
    case Cell::Null:
        break;
    }
    return Value();
}

QString textFromUtf8(const char* data, qsizetype size) {
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        QStringDecoder keepMark(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                          QStringDecoder::Flag::ConvertInitialBom);
        return keepMark(QByteArrayView(data, size));
    }
    return QString::fromUtf8(data, size);
}

} // namespace qv
