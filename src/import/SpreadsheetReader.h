// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <vector>

// Reads the CSV and TSV files spreadsheet programs save: UTF-8 with or
// without a byte-order mark, or Windows-1252 (Latin-1) when the bytes are
// not UTF-8; fields separated by commas, semicolons or tabs; fields in double
// quotes may hold the separator, doubled quotes and line breaks. The file is
// read a block at a time, so a large one costs no more memory than a small one.
namespace Spreadsheet {

enum class Encoding { Utf8Bom, Utf8, Windows1252 };

// "UTF-8 with byte-order mark", "UTF-8", "Windows-1252 (Latin-1)".
QString EncodingName(Encoding encoding);
// The separator as a person names it: "comma", "semicolon", "tab".
QString DelimiterName(QChar delimiter);

struct Format {
    Encoding encoding = Encoding::Utf8;
    QChar delimiter = u',';
};

// Reads the file through once to see whether it is UTF-8, and looks at its
// first lines for the separator. False with `error` set when it cannot be read.
bool DetectFormat(const QString& path, Format& format, QString& error);
// The separator that splits the first lines of `text` into the same number of
// fields most often (tab, then semicolon, then comma on a tie); comma when
// none does.
QChar DetectDelimiter(const QString& text);

class Reader {
public:
    Reader(const QString& path, const Format& format);
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // False with error() set when the file cannot be opened.
    bool open();
    QString error() const { return m_error; }

    // The next record's fields; false at the end of the file (or on a read
    // error, which error() then names). Lines that hold nothing are passed
    // over. A line break inside quotes stays in the field as "\n".
    bool next(QStringList& fields);
    // The line of the file the last record began on, from 1.
    qint64 line() const { return m_recordLine; }
    // How far the reading has come, for progress.
    qint64 bytesRead() const { return m_bytesRead; }
    qint64 size() const { return m_file.size(); }

private:
    bool fill();
    QString decode(const QByteArray& bytes);

    Format m_format;
    QFile m_file;
    QString m_error;
    QStringDecoder m_utf8;
    QString m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_first = true;
    qint64 m_line = 1;
    qint64 m_recordLine = 0;
    qint64 m_bytesRead = 0;
};

} // namespace Spreadsheet
