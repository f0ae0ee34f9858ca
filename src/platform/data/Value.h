// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <cstring>
#include <variant>

namespace qv {

// What a column holds, as the program reads it. Text columns also carry their
// declared width; Currency is a fixed-point money column read as a double.
enum class FieldType { Unknown, Text, Integer, Float, Currency, DateTime, Boolean };

// One parameter or field value: null, text, integer, float, date-time or yes/no.
class Value {
public:
    enum class Kind { Null, Text, Integer, Float, DateTime, Boolean };

    Value() = default;
    Value(const QString& text)
        : m_v(text) {}
    Value(const char* text)
        : m_v(QString::fromUtf8(text)) {}
    Value(int number)
        : m_v(qint64(number)) {}
    Value(qint64 number)
        : m_v(number) {}
    Value(double number)
        : m_v(number) {}
    Value(const QDateTime& when)
        : m_v(when) {}
    Value(const QDate& day)
        : m_v(QDateTime(day, QTime(0, 0))) {}
    Value(bool flag)
        : m_v(flag) {}

    static Value null() { return Value(); }

    Kind kind() const { return Kind(m_v.index()); }
    bool isNull() const { return kind() == Kind::Null; }

    QString toText() const;
    qint64 toInteger() const;
    double toFloat() const;
    QDateTime toDateTime() const;
    bool toBoolean() const;

    bool operator==(const Value& other) const { return m_v == other.m_v; }

private:
    std::variant<std::monostate, QString, qint64, double, QDateTime, bool> m_v;
};

// Date-times are stored in the file database as local-time text that sorts and
// compares correctly: "yyyy-mm-dd hh:mm:ss".
QString dateTimeToStorage(const QDateTime& when);
// The same 19 characters written to `out`, for a caller that binds many;
// false, writing nothing, for an invalid date-time.
constexpr int DateTimeStorageLength = 19;
bool dateTimeToStorage(const QDateTime& when, char* out);
// Parses "yyyy-mm-dd", optionally followed by " hh:mm[:ss[.fff]]" (a "T" is
// also accepted). Returns an invalid QDateTime for anything else.
QDateTime dateTimeFromStorage(const char* text, qsizetype length);
QDateTime dateTimeFromStorage(const QString& text);

// Stored UTF-8 text as it is. QString::fromUtf8 takes a leading U+FEFF for a
// byte-order mark and drops it, which would change a stored value on reading.
QString textFromUtf8(const char* data, qsizetype size);
inline QString textFromUtf8(const char* data) {
    return data ? textFromUtf8(data, qsizetype(std::strlen(data))) : QString();
}

// A null date reads as day zero of the original platform: 30 December 1899.
QDateTime zeroDateTime();

} // namespace qv
