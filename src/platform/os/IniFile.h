// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <stdexcept>
#include <utility>

namespace qv {

// A write to an INI file failed: nothing was changed on disk. The message is
// "Unable to write to <path>", the text the user is shown; what() is UTF-8.
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const QString& path);

    const QString& message() const noexcept { return m_message; }
    const QString& path() const noexcept { return m_path; }

private:
    QString m_message;
    QString m_path;
};

// Reads and writes single keys of an INI file the way the private-profile
// functions of the original platform do, without their habit of rewriting the
// whole file: a write replaces or adds exactly one line and keeps every other
// byte. Section and key names match case-insensitively; names and values are
// trimmed of surrounding whitespace; the first matching section and, in it, the
// first matching key win, for reads and writes alike. Lines starting with ';'
// or '#' are comments. Text is UTF-8.
namespace IniFile {

// Longest value a read returns; longer stored values are cut, as by the
// 2048-character buffer the settings were always read through.
inline constexpr qsizetype MaxValueLength = 2047;

// The value of `key` in `section`, or nothing when the file, the section or the
// key is missing. A key present with an empty value reads as an empty string.
// Never creates the file, never throws.
std::optional<QString> readValue(const QString& path, const QString& section, const QString& key);

// As readValue, with `defaultValue` for anything missing.
QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue = QString());

// Sets `key` of `section` to `value`: changes that key's value, or adds the key
// at the end of its section, or adds the section at the end of the file
// (creating the file when missing; the folder must exist). Values are stored
// trimmed, as they are read; a changed value keeps the spacing around it, and a
// value the key already holds leaves the file byte for byte as it was. The file
// is replaced atomically and keeps its permissions. Throws IniWriteError when
// the file cannot be written or is read-only (no write permission bit, which
// holds for root too), and for names or values that would break the file's
// line structure (line breaks, NUL, '=' in a key, ']' in a section name).
void writeString(const QString& path, const QString& section, const QString& key,
                 const QString& value);

// As writeString for several keys of one section, in order, with one
// replacement of the file: a reader, or a crash, sees all the old values or all
// the new ones. Nothing is written when any name or value is refused.
void writeStrings(const QString& path, const QString& section,
                  const QList<std::pair<QString, QString>>& values);

} // namespace IniFile
} // namespace qv
