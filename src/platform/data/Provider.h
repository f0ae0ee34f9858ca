// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/SqlText.h"
#include "platform/data/Value.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class ConnectionString;

// What the program knows of one result column.
struct ColumnInfo {
    QString name;       // as the program addresses it (Table.Column for a repeated name)
    QString baseTable;  // the table the column comes from, when the engine tells
    QString baseColumn; // its name in that table
    FieldType type = FieldType::Unknown;
    int width = 0; // declared width of a text column, 0 when unknown
};

// One stored value. Text lives in the owning RowStore's arena as UTF-8, so a
// fetched result costs one copy of its bytes and no per-value allocation.
struct Cell {
    enum Type : std::uint8_t { Null, Integer, Float, Text };
    Type type = Null;
    std::uint32_t length = 0;
    union {
        std::int64_t integer;
        double real;
        std::uint64_t offset = 0;
    };
};

// The rows of a result, kept in memory: a flat array of cells, row by row.
class RowStore {
public:
    void reset(int columns) {
        m_columns = columns;
        m_cells.clear();
        m_arena.clear();
    }
    int columnCount() const { return m_columns; }
    int rowCount() const { return m_columns ? int(m_cells.size() / m_columns) : 0; }

    const Cell& cell(int row, int column) const {
        return m_cells[size_t(row) * m_columns + column];
    }
    Cell& cell(int row, int column) { return m_cells[size_t(row) * m_columns + column]; }
    const char* text(const Cell& c) const { return m_arena.data() + c.offset; }

    // Appends one row of null cells and returns its index.
    int appendRow() {
        m_cells.resize(m_cells.size() + size_t(m_columns));
        return rowCount() - 1;
    }
    void removeLastRow() { m_cells.resize(m_cells.size() - size_t(m_columns)); }
    void reserveRows(int rows) { m_cells.reserve(size_t(rows) * m_columns); }

    void setNull(Cell& c) { c.type = Cell::Null; }
    void setInteger(Cell& c, std::int64_t v) {
        c.type = Cell::Integer;
        c.integer = v;
    }
    void setFloat(Cell& c, double v) {
        c.type = Cell::Float;
        c.real = v;
    }
    void setText(Cell& c, const char* data, size_t length) {
        c.type = Cell::Text;
        c.offset = m_arena.size();
        c.length = std::uint32_t(length);
        m_arena.append(data, length);
    }
    void setText(Cell& c, const QString& s) {
        const QByteArray utf8 = s.toUtf8();
        setText(c, utf8.constData(), size_t(utf8.size()));
    }
    // Stores a value in the form the engines return it: dates as storage text,
    // yes/no as 0 or 1.
    void setValue(Cell& c, const Value& v);
    Value value(const Cell& c) const;
    QString textOf(const Cell& c) const {
        return c.type == Cell::Text ? textFromUtf8(text(c), qsizetype(c.length)) : QString();
    }

    size_t bytesUsed() const { return m_cells.capacity() * sizeof(Cell) + m_arena.capacity(); }

private:
    int m_columns = 0;
    std::vector<Cell> m_cells;
    std::string m_arena;
};

struct Result {
    std::vector<ColumnInfo> columns;
    RowStore rows;
};

// Quotes a table or column name in double quotes.
QString quoteIdentifier(const QString& name);

// One database engine behind a Connection. The program's SQL arrives already
// adapted by adapt() and with "?" placeholders; values come in occurrence order.
class Provider {
public:
    virtual ~Provider() = default;

    virtual void open(const ConnectionString& cs) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual void begin() = 0;
    // Begins a transaction that holds every other writer off from the start,
    // so that what it reads cannot change before it writes.
    virtual void beginExclusive() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // Turns the program's SQL text into the engine's dialect.
    virtual QString adapt(const QString& sql) const = 0;
    // Runs a statement that returns no rows; answers the number of rows changed.
    virtual qint64 execute(const QString& sql, const std::vector<Value>& params) = 0;
    // Runs a statement and reads all of its rows.
    virtual void fetch(const QString& sql, const std::vector<Value>& params, Result& out) = 0;
    // Inserts one row and answers the key the engine generated for it.
    virtual qint64 insertRow(const QString& table, const QString& keyColumn,
                             const QStringList& columns, const std::vector<Value>& values) = 0;
    // The column names of a table, in table order.
    virtual QStringList tableColumns(const QString& table) = 0;
    // A table or column name quoted for this engine.
    virtual QString quoteName(const QString& name) const { return quoteIdentifier(name); }
    // Inside a transaction: the rows inserted into `table` until it ends are
    // not checked against the widths of its text columns, for a caller that
    // has checked every value itself (an import of many rows). An engine that
    // keeps the widths itself checks them anyway.
    virtual void skipInsertWidthCheck(const QString& table) { Q_UNUSED(table); }

    // The program's SQL adapted and with its parameters as "?", ready for
    // execute() and fetch(). Both steps depend on the text alone, so each text
    // is worked out once per connection and kept.
    PreparedText prepared(const QString& sql);

private:
    QHash<QString, PreparedText> m_prepared;
};

// A name the result holds twice is told apart by its table, as Jet does
// ("DatesJoined.MembershipLevelID"), where the engine says which table each
// copy comes from.
void nameRepeatedColumns(std::vector<ColumnInfo>& columns);

} // namespace qv
