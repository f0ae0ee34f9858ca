// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/IniFile.h"

#include "platform/os/FileSystem.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv {

IniWriteError::IniWriteError(const QString& path)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString())
    , m_message(QStringLiteral("Unable to write to %1").arg(path))
    , m_path(path) {}

namespace IniFile {
namespace {

enum class ReadStatus { Ok, Missing, Failed };

// Reads a whole regular file. O_NONBLOCK and the type check keep a settings
// path that names a FIFO or a device from blocking or reading forever.
ReadStatus readWholeFile(const QByteArray& nativePath, QByteArray& out, struct stat& info) {
    out.clear();
    int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadStatus::Failed;
    }
    if (info.st_size > 0)
        out.reserve(static_cast<qsizetype>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            out.clear();
            return ReadStatus::Failed;
        }
        out.append(buffer, static_cast<qsizetype>(n));
    }
    ::close(fd);
    return ReadStatus::Ok;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

enum class Kind { Blank, Comment, Section, Key, Other };

// One line of the file as offsets into its bytes; [begin, end) includes the line
// break, [begin, contentEnd) does not.
struct Line {
    qsizetype begin = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;
    Kind kind = Kind::Blank;
    qsizetype nameBegin = 0; // section or key name, trimmed
    qsizetype nameEnd = 0;
    qsizetype valueBegin = 0; // key value, trimmed
    qsizetype valueEnd = 0;
};

void trim(const QByteArray& d, qsizetype& b, qsizetype& e) {
    while (b < e && isSpace(d[b]))
        ++b;
    while (e > b && isSpace(d[e - 1]))
        --e;
}

qsizetype indexOf(const QByteArray& d, char c, qsizetype from, qsizetype to) {
    const char* base = d.constData();
    const void* hit = std::memchr(base + from, c, static_cast<size_t>(to - from));
    return hit ? static_cast<const char*>(hit) - base : -1;
}

std::vector<Line> splitLines(const QByteArray& d) {
    std::vector<Line> lines;
    qsizetype pos = 0;
    const qsizetype size = d.size();
    // A UTF-8 byte-order mark would otherwise hide the first section header.
    if (d.startsWith("\xEF\xBB\xBF"))
        pos = 3;
    bool first = true;
    while (pos < size || first) {
        Line l;
        l.begin = first ? 0 : pos;
        first = false;
        qsizetype nl = indexOf(d, '\n', pos, size);
        l.end = nl < 0 ? size : nl + 1;
        l.contentEnd = nl < 0 ? size : nl;
        if (l.contentEnd > pos && d[l.contentEnd - 1] == '\r')
            --l.contentEnd;

        qsizetype b = pos, e = l.contentEnd;
        trim(d, b, e);
        if (b == e) {
            l.kind = Kind::Blank;
        } else if (d[b] == ';' || d[b] == '#') {
            l.kind = Kind::Comment;
        } else if (qsizetype close = d[b] == '[' ? indexOf(d, ']', b, e) : -1; close >= 0) {
            l.kind = Kind::Section;
            l.nameBegin = b + 1;
            l.nameEnd = close;
            trim(d, l.nameBegin, l.nameEnd);
        } else if (qsizetype eq = indexOf(d, '=', b, e); eq >= 0) {
            l.kind = Kind::Key;
            l.nameBegin = b;
            l.nameEnd = eq;
            trim(d, l.nameBegin, l.nameEnd);
            l.valueBegin = eq + 1;
            l.valueEnd = e;
            trim(d, l.valueBegin, l.valueEnd);
        } else {
            l.kind = Kind::Other;
        }
        lines.push_back(l);
        pos = l.end;
        if (nl < 0)
            break;
    }
    return lines;
}

bool sameName(const QByteArray& d, qsizetype b, qsizetype e, const QString& name) {
    return QString::fromUtf8(d.constData() + b, e - b).compare(name, Qt::CaseInsensitive) == 0;
}

struct Location {
    qsizetype section = -1;     // header line of the first matching section
    qsizetype key = -1;         // first matching key line inside it
    qsizetype lastContent = -1; // last line of the section that is neither blank nor comment
};

Location locate(const QByteArray& d, const std::vector<Line>& lines, const QString& section,
                const QString& key) {
    Location loc;
    const qsizetype count = static_cast<qsizetype>(lines.size());
    for (qsizetype i = 0; i < count; ++i) {
        const Line& l = lines[static_cast<size_t>(i)];
        if (loc.section < 0) {
            if (l.kind == Kind::Section && sameName(d, l.nameBegin, l.nameEnd, section)) {
                loc.section = i;
                loc.lastContent = i;
            }
            continue;
        }
        if (l.kind == Kind::Section)
            break;
        if (l.kind != Kind::Blank && l.kind != Kind::Comment)
            loc.lastContent = i;
        if (loc.key < 0 && l.kind == Kind::Key && sameName(d, l.nameBegin, l.nameEnd, key))
            loc.key = i;
    }
    return loc;
}

// The line break the file already uses; LF for a file that has none yet.
QByteArray lineBreakOf(const QByteArray& d) {
    qsizetype nl = d.indexOf('\n');
    if (nl > 0 && d[nl - 1] == '\r')
        return QByteArrayLiteral("\r\n");
    return QByteArrayLiteral("\n");
}

bool breaksLine(const QString& s) {
    return s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(u'\0'));
}

// Writes `content` to a new file beside `target` and renames it over the
// target, so a reader sees either the old file or the new one, never a half.
bool replaceFile(const QString& target, const QByteArray& content) {
    try {
        FileSystem::ReplacingFile file(target);
        file.write(content);
        file.commit();
        return true;
    } catch (const FileSystem::FileWriteError&) {
        return false;
    }
}

// `data` with `key` of `section` set to `value` (stored trimmed). A key already
// there changes its value only: the spacing before and after stays, and an
// empty value is written after all the spacing that follows "=".
QByteArray withValue(const QByteArray& data, const QString& section, const QString& key,
                     const QString& value) {
    QByteArray valueBytes = value.toUtf8();
    qsizetype vb = 0, ve = valueBytes.size();
    trim(valueBytes, vb, ve);
    valueBytes = valueBytes.mid(vb, ve - vb);

    const QByteArray eol = lineBreakOf(data);
    const QByteArray keyBytes = key.toUtf8();
    const std::vector<Line> lines = splitLines(data);
    const Location loc = locate(data, lines, section, key);

    QByteArray out;
    out.reserve(data.size() + keyBytes.size() + valueBytes.size() + section.size() + 8);
    if (loc.key >= 0) {
        const Line& l = lines[static_cast<size_t>(loc.key)];
        const qsizetype begin = l.valueBegin == l.valueEnd ? l.contentEnd : l.valueBegin;
        const qsizetype end = l.valueBegin == l.valueEnd ? l.contentEnd : l.valueEnd;
        if (QByteArrayView(data.constData() + begin, end - begin) == valueBytes)
            return data;
        out.append(data.constData(), begin);
        out.append(valueBytes);
        out.append(data.constData() + end, data.size() - end);
    } else if (loc.section >= 0) {
        const Line& l = lines[static_cast<size_t>(loc.lastContent)];
        out.append(data.constData(), l.end);
        if (l.end == 0 || data[l.end - 1] != '\n')
            out.append(eol);
        out.append(keyBytes).append('=').append(valueBytes).append(eol);
        out.append(data.constData() + l.end, data.size() - l.end);
    } else {
        out = data;
        if (!out.isEmpty() && !out.endsWith('\n'))
            out.append(eol);
        out.append('[').append(section.toUtf8()).append(']').append(eol);
        out.append(keyBytes).append('=').append(valueBytes).append(eol);
    }
    return out;
}

} // namespace

std::optional<QString> readValue(const QString& path, const QString& section, const QString& key) {
    QByteArray data;
    struct stat info {};
    if (readWholeFile(QFile::encodeName(path), data, info) != ReadStatus::Ok)
        return std::nullopt;
    const std::vector<Line> lines = splitLines(data);
    const Location loc = locate(data, lines, section.trimmed(), key.trimmed());
    if (loc.key < 0)
        return std::nullopt;

    const Line& l = lines[static_cast<size_t>(loc.key)];
    qsizetype end = l.valueEnd;
    // The original read through a C string: a NUL ends the value.
    if (qsizetype nul = indexOf(data, '\0', l.valueBegin, end); nul >= 0)
        end = nul;
    QString value = QString::fromUtf8(data.constData() + l.valueBegin, end - l.valueBegin);
    if (value.size() > MaxValueLength) {
        qsizetype cut = MaxValueLength;
        if (value.at(cut - 1).isHighSurrogate())
            --cut; // never leave half a character behind
        value.truncate(cut);
    }
    return value;
}

QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue) {
    return readValue(path, section, key).value_or(defaultValue);
}

void writeString(const QString& path, const QString& section, const QString& key,
                 const QString& value) {
    writeStrings(path, section, {{key, value}});
}

void writeStrings(const QString& path, const QString& section,
                  const QList<std::pair<QString, QString>>& values) {
    const QString sectionName = section.trimmed();
    // Anything that would split the line or be read back as something else
    // (another key, a section, a comment) is refused rather than written.
    if (sectionName.isEmpty() || breaksLine(sectionName) || sectionName.contains(u']'))
        throw IniWriteError(path);
    for (const auto& [key, value] : values) {
        const QString keyName = key.trimmed();
        if (keyName.isEmpty() || breaksLine(keyName) || keyName.contains(u'=') ||
            QStringView(u";#[").contains(keyName.front()) || breaksLine(value))
            throw IniWriteError(path);
    }

    const QString target = FileSystem::linkTarget(path);
    QByteArray data;
    struct stat info {};
    const ReadStatus status = readWholeFile(QFile::encodeName(target), data, info);
    // A file that exists but cannot be read must not be replaced by one that
    // holds only these keys; a read-only one must not be replaced at all, and
    // the rename would need only the folder's permission.
    if (status == ReadStatus::Failed ||
        (status == ReadStatus::Ok && FileSystem::isReadOnlyFile(target)))
        throw IniWriteError(path);

    // What a write killed before its rename left behind goes first, also when
    // this one has nothing to change.
    FileSystem::removeStaleTemporaries(QFileInfo(target).absolutePath());
    QByteArray out = data;
    for (const auto& [key, value] : values)
        out = withValue(out, sectionName, key.trimmed(), value);
    if (status == ReadStatus::Ok && out == data)
        return; // nothing changes: the file is left alone, not rewritten
    if (!replaceFile(target, out))
        throw IniWriteError(path);
}

} // namespace IniFile
} // namespace qv
