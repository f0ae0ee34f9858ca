// SPDX-License-Identifier: GPL-3.0-or-later
#include "import/SpreadsheetReader.h"

#include <QFileInfo>
#include <array>
#include <map>

namespace Spreadsheet {

namespace {

constexpr qint64 BlockSize = 1 << 16;

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; the five codes it
// leaves unused keep their Latin-1 (control) meaning.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(Cp1252High[b - 0x80]) : QChar(char16_t(b));
    }
    return text;
}

bool hasUtf8Bom(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF");
}

} // namespace

QString EncodingName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8Bom:
        return QStringLiteral("UTF-8 with byte-order mark");
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Windows1252:
        break;
    }
    return QStringLiteral("Windows-1252 (Latin-1)");
}

QString DelimiterName(QChar delimiter) {
    switch (delimiter.unicode()) {
    case u'\t':
        return QStringLiteral("tab");
    case u';':
        return QStringLiteral("semicolon");
    case u',':
        return QStringLiteral("comma");
    default:
        return QString(delimiter);
    }
}

QChar DetectDelimiter(const QString& text) {
    static constexpr std::array<char16_t, 3> candidates = {u'\t', u';', u','};
    constexpr int Records = 20;
    // Fields per record for each candidate, quotes respected.
    std::array<std::vector<int>, 3> counts;
    std::array<int, 3> current = {0, 0, 0};
    bool quoted = false;
    bool blank = true;
    const auto endRecord = [&] {
        if (!blank)
            for (size_t i = 0; i < candidates.size(); ++i)
                counts[i].push_back(current[i]);
        current = {0, 0, 0};
        blank = true;
    };
    for (const QChar c : text) {
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && (c == u'\n' || c == u'\r')) {
            endRecord();
            if (int(counts[0].size()) >= Records)
                break;
            continue;
        } else if (!quoted) {
            for (size_t i = 0; i < candidates.size(); ++i)
                if (c == QChar(candidates[i]))
                    ++current[i];
        }
        blank = false;
    }
    if (int(counts[0].size()) < Records)
        endRecord();

    // The candidate whose most frequent non-zero count holds for the most
    // records wins; a separator that also occurs inside values (a comma in
    // "12,50") varies from record to record and loses.
    int best = -1, bestAgree = 0, bestCount = 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
        std::map<int, int> frequency;
        for (const int n : counts[i])
            if (n > 0)
                ++frequency[n];
        int agree = 0, count = 0;
        for (const auto& [n, times] : frequency)
            if (times > agree || (times == agree && n > count)) {
                agree = times;
                count = n;
            }
        if (agree > bestAgree || (agree == bestAgree && agree > 0 && count > bestCount)) {
            best = int(i);
            bestAgree = agree;
            bestCount = count;
        }
    }
    return best < 0 ? QChar(u',') : QChar(candidates[size_t(best)]);
}

bool DetectFormat(const QString& path, Format& format, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QByteArray start;
    bool first = true;
    while (!file.atEnd()) {
        const QByteArray block = file.read(BlockSize);
        if (block.isEmpty() && file.error() != QFileDevice::NoError) {
            error = file.errorString();
            return false;
        }
        if (first)
            start = block;
        first = false;
        // Decoding the whole file is the only sure test: a name with an
        // accent may first come in its last line.
        const QString decoded = utf8.decode(block); // decoded when converted
        Q_UNUSED(decoded);
        if (utf8.hasError())
            break;
    }
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    if (hasUtf8Bom(start))
        format.encoding = Encoding::Utf8Bom;
    else
        format.encoding = utf8.hasError() ? Encoding::Windows1252 : Encoding::Utf8;
    const QString sample = format.encoding == Encoding::Windows1252
                               ? fromWindows1252(start)
                               : QString::fromUtf8(start.mid(hasUtf8Bom(start) ? 3 : 0));
    format.delimiter = DetectDelimiter(sample);
    return true;
}

Reader::Reader(const QString& path, const Format& format)
    : m_format(format)
    , m_file(path)
    , m_utf8(QStringConverter::Utf8) {}

bool Reader::open() {
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: %2").arg(QFileInfo(m_file.fileName()).fileName(),
                                               m_file.errorString());
        return false;
    }
    return true;
}

QString Reader::decode(const QByteArray& bytes) {
    if (m_format.encoding == Encoding::Windows1252)
        return fromWindows1252(bytes);
    // Stateful: a character split between two blocks is joined again.
    return m_utf8.decode(bytes);
}

bool Reader::fill() {
    if (m_eof)
        return false;
    QByteArray block = m_file.read(BlockSize);
    if (block.isEmpty()) {
        if (m_file.error() != QFileDevice::NoError)
            m_error = m_file.errorString();
        m_eof = true;
        return false;
    }
    m_bytesRead += block.size();
    if (m_first) {
        m_first = false;
        if (hasUtf8Bom(block) && m_format.encoding != Encoding::Windows1252)
            block.remove(0, 3);
    }
    m_buffer = decode(block);
    m_pos = 0;
    return true;
}

bool Reader::next(QStringList& fields) {
    const char16_t delimiter = m_format.delimiter.unicode();
    const auto lineBreakOrQuote = [](char16_t c) { return c == u'"' || c == u'\r' || c == u'\n'; };
    for (;;) {
        fields.clear();
        QString field;
        bool quoted = false;    // inside quotes
        bool wasQuoted = false; // the field began with a quote
        bool any = false;       // the record has a character
        m_recordLine = m_line;
        for (;;) {
            if (m_pos >= m_buffer.size() && !fill()) {
                if (!m_error.isEmpty() || !any)
                    return false;
                fields << field;
                break;
            }
            any = true;
            const QChar* data = m_buffer.constData();
            const qsizetype size = m_buffer.size();
            // Ordinary characters are taken a run at a time.
            qsizetype end = m_pos;
            if (quoted) {
                while (end < size && !lineBreakOrQuote(data[end].unicode()))
                    ++end;
            } else if (data[m_pos] != u'"' || !field.isEmpty() || wasQuoted) {
                while (end < size && data[end] != delimiter && data[end] != u'\r' &&
                       data[end] != u'\n')
                    ++end;
            }
            if (end > m_pos) {
                field.append(data + m_pos, end - m_pos);
                m_pos = end;
                continue;
            }
            const QChar c = data[m_pos++];
            if (quoted) {
                if (c == u'"') {
                    if (m_pos >= m_buffer.size())
                        fill();
                    if (m_pos < m_buffer.size() && m_buffer.at(m_pos) == u'"') {
                        field += u'"';
                        ++m_pos;
                    } else {
                        quoted = false;
                    }
                } else {
                    // Line breaks inside a value are kept as one "\n",
                    // whatever the system that wrote them used.
                    if (c == u'\r') {
                        if (m_pos >= m_buffer.size())
                            fill();
                        if (m_pos < m_buffer.size() && m_buffer.at(m_pos) == u'\n')
                            ++m_pos;
                    }
                    ++m_line;
                    field += u'\n';
                }
                continue;
            }
            if (c == delimiter) {
                fields << field;
                field.clear();
                wasQuoted = false;
            } else if (c == u'"') {
                quoted = wasQuoted = true;
            } else {
                if (c == u'\r') {
                    if (m_pos >= m_buffer.size())
                        fill();
                    if (m_pos < m_buffer.size() && m_buffer.at(m_pos) == u'\n')
                        ++m_pos;
                }
                ++m_line;
                fields << field;
                break;
            }
        }
        for (const QString& f : std::as_const(fields))
            if (!f.trimmed().isEmpty())
                return true;
        // A line with nothing, or only separators, as spreadsheets write
        // their empty rows: passed over.
    }
}

} // namespace Spreadsheet
