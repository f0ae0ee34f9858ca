// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/CSVExport.h"

#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/os/FileSystem.h"
#include "reports/PrintShared.h"

#include <QHash>

#include <future>
#include <vector>

namespace {

bool needsQuotes(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u' ' || u == u',' || u == u'"' || (u >= 1 && u <= 31))
            return true;
    }
    return false;
}

bool keptColumn(const QString& name) {
    return !name.endsWith(QLatin1String("ID")) && !name.endsWith(QLatin1String("Colour")) &&
           !name.startsWith(QLatin1String("Include"));
}

} // namespace

QString CSVField(const QString& text) {
    if (!needsQuotes(text))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

namespace {

// Turns rows of the list into CSV lines. Dates repeat all down a long list
// (members join and leave on the same days), and working one out takes a
// calendar and the time zone, so each distinct stored value is turned into
// its text once. One formatter per thread: the caches are its own.
class RowFormatter {
public:
    RowFormatter(const qv::Dataset& members, const std::vector<int>& columns, int referenceYear,
                 bool fiveYearRounding)
        : m_members(members)
        , m_columns(columns)
        , m_referenceYear(referenceYear)
        , m_fiveYearRounding(fiveYearRounding)
        , m_joined(members.fieldIndex(QStringLiteral("DateJoined")))
        , m_ended(members.fieldIndex(QStringLiteral("DateEnded"))) {
        for (const int column : columns)
            m_dated.push_back(members.column(column).type == qv::FieldType::DateTime);
    }

    // The lines of rows [from, to), as UTF-8.
    QByteArray lines(int from, int to) {
        QString text;
        for (int row = from; row < to; ++row) {
            for (size_t i = 0; i < m_columns.size(); ++i) {
                const int column = m_columns[i];
                const qint64 when = m_dated[i] ? key(row, column) : -2;
                if (when == -2) {
                    text += CSVField(m_members.textAt(row, column));
                    text += u',';
                    continue;
                }
                QString& cached = m_dateTexts[when];
                if (cached.isNull())
                    cached = CSVField(m_members.textAt(row, column)) + u',';
                text += cached;
            }
            const std::pair<qint64, qint64> period =
                m_joined < 0 || m_ended < 0 ? std::pair<qint64, qint64>(-2, -2)
                                            : std::pair(key(row, m_joined), key(row, m_ended));
            if (period.first == -2 || period.second == -2) { // a missing column says so
                text += years(row);
            } else {
                QString& cached = m_yearsTexts[period];
                if (cached.isNull())
                    cached = years(row);
                text += cached;
            }
            text += QLatin1String("\r\n");
        }
        return text.toUtf8();
    }

private:
    QString years(int row) const {
        return CSVField(
            PrintShared::YearsServiceText(m_members, row, m_fiveYearRounding, m_referenceYear));
    }

    // A stored date-time's digits as one number ("2001-02-03 04:05:06" gives
    // 20010203040506); -1 for null, -2 for what does not fit (never cached).
    qint64 key(int row, int column) const {
        const qv::Value value = m_members.valueAt(row, column);
        if (value.isNull())
            return -1;
        qint64 number = 0;
        int digits = 0;
        for (const QChar c : value.toText()) {
            if (c.isDigit()) {
                number = number * 10 + c.digitValue();
                if (++digits > 17)
                    return -2;
            } else if (c != u'-' && c != u' ' && c != u':') {
                return -2;
            }
        }
        return number;
    }

    const qv::Dataset& m_members;
    const std::vector<int>& m_columns;
    const int m_referenceYear;
    const bool m_fiveYearRounding;
    const int m_joined;
    const int m_ended;
    std::vector<bool> m_dated;
    QHash<qint64, QString> m_dateTexts;
    QHash<std::pair<qint64, qint64>, QString> m_yearsTexts;
};

} // namespace

void CSVExport(const qv::Dataset& members, const QString& fileName, int referenceYear,
               bool fiveYearRounding) {
    std::vector<int> columns;
    QString line;
    for (int column = 1; column < members.fieldCount(); ++column) {
        const QString name = MemberSQL::MemberListColumnName(members.column(column).name);
        if (!keptColumn(name))
            continue;
        columns.push_back(column);
        line += CSVField(name) + u',';
    }
    line += QStringLiteral("YearsService\r\n");

    qv::FileSystem::ReplacingFile file(fileName);
    // The byte-order mark tells spreadsheet programs the text is UTF-8; without
    // it some read accented names in the system's old code page.
    file.write(QByteArrayLiteral("\xEF\xBB\xBF") + line.toUtf8());
    // A long list is formatted in blocks by two threads, the next block while
    // this one is written; the rows are only read.
    constexpr int Block = 4096;
    const int count = members.recordCount();
    RowFormatter here(members, columns, referenceYear, fiveYearRounding);
    RowFormatter there(members, columns, referenceYear, fiveYearRounding);
    for (int from = 0; from < count; from += 2 * Block) {
        const int middle = std::min(count, from + Block);
        const int to = std::min(count, middle + Block);
        std::future<QByteArray> second;
        if (middle < to)
            second = std::async(std::launch::async,
                                [&there, middle, to] { return there.lines(middle, to); });
        QByteArray first;
        try {
            first = here.lines(from, middle);
        } catch (...) {
            if (second.valid())
                second.wait();
            throw;
        }
        file.write(first);
        if (second.valid())
            file.write(second.get());
    }
    file.commit();
}
