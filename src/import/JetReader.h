// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Reads the tables of an Access (Jet) database file, row by row, through the
// mdbtools library. The file is opened for reading only; a file that cannot be
// read raises qv::DatabaseError with a message for the user. Values come out
// exactly as stored where the library would change them: an empty text stays
// apart from null (the row's null mask decides, not the library's bound
// strings), and Jet 4 texts are decoded from their UTF-16 bytes here, so a
// character outside the Basic Multilingual Plane survives.
namespace JetReader {

enum class Format { NotJet, Jet3, Jet4, Ace };

// What the file's first page says it is; NotJet for anything else, a file
// that cannot be read or is no regular file (a FIFO is never opened) included.
// The name of the file plays no part.
Format FileFormat(const QString& path);
inline bool IsJetFile(const QString& path) {
    return FileFormat(path) != Format::NotJet;
}
QString FormatName(Format format);

// The kinds of Jet column the register's values come from.
enum class ColumnKind { Boolean, Integer, Money, Decimal, Float, DateTime, Text, Other };

struct Column {
    QString name;
    ColumnKind kind = ColumnKind::Other;
    int jetType = 0;
    QString typeName; // as Access names it ("Long Integer", "Memo" ...)
};

// A date-time as the register stores it.
struct DateText {
    char text[32] = {}; // "yyyy-mm-dd hh:mm:ss", 19 characters
    bool valid = false;
    bool wholeSecond = true; // false: a fraction of a second was rounded away
};

// Days since 30 December 1899 (the fraction is the time of day, also for
// days before it) as "yyyy-mm-dd hh:mm:ss", rounded to the nearest second.
DateText DateFromDays(double days);

// Appends the UTF-8 form of a Jet 4 text value (UTF-16LE, or its compressed
// form that starts with FF FE) to `out`. Answers the number of unpaired
// surrogates met, each written as U+FFFD: the only part that cannot be
// carried exactly.
int AppendJet4Text(const unsigned char* data, int size, std::string& out);

class Database;

// One table, read forward row by row. Field values of the current row stay
// valid until the next call of next().
class Table {
public:
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    QString name() const { return m_name; }
    const std::vector<Column>& columns() const { return m_columns; }
    // The column's index, found without regard to case; -1 when absent.
    int columnIndex(const QString& name) const;
    // The row count the table's definition holds; a complete read gives as many.
    qint64 declaredRows() const;

    // Moves to the next row, skipping deleted ones and following rows moved
    // to another page. False at the end.
    bool next();

    bool isNull(int column) const;
    bool boolean(int column) const;
    qint64 integer(int column) const;
    // A number of the Money, Decimal, Float or integer kinds as a double;
    // `exact` turns false when the double cannot hold it to the last digit.
    double number(int column, bool& exact) const;
    DateText dateTime(int column) const;
    // Sets `out` to the text in UTF-8; answers the characters that could not
    // be carried exactly (see AppendJet4Text).
    int text(int column, std::string& out) const;

private:
    friend class Database;
    struct Cursor;
    Table(Database& database, void* table, const QString& name);
    const unsigned char* bytes(int column, int& size) const;

    Database& m_database;
    void* m_table; // MdbTableDef
    QString m_name;
    std::vector<Column> m_columns;
    std::unique_ptr<Cursor> m_cursor;
};

class Database {
public:
    // Opens the file read-only; throws when it is no Jet file, is cut short or
    // its catalogue cannot be read.
    explicit Database(const QString& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Format format() const { return m_format; }
    // The user tables, in catalogue order.
    QStringList tableNames() const { return m_tables; }
    // The table of that name (without regard to case); null when absent.
    std::unique_ptr<Table> openTable(const QString& name);

private:
    friend class Table;
    struct Catalog;
    void readCatalog();

    void* m_mdb = nullptr; // MdbHandle
    Format m_format = Format::NotJet;
    QString m_path;
    QStringList m_tables;
    std::unique_ptr<Catalog> m_catalog;
};

} // namespace JetReader
