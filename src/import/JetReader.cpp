// SPDX-License-Identifier: GPL-3.0-or-later
#include "import/JetReader.h"

#include "platform/data/DatabaseError.h"
#include "platform/data/TextCollation.h"

// mdbtools.h includes glib.h inside extern "C"; glib's C++ parts must come first.
#include <glib.h>

#include <mdbtools.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace JetReader {

namespace {

MdbHandle* handle(void* mdb) {
    return static_cast<MdbHandle*>(mdb);
}
MdbTableDef* tableDef(void* table) {
    return static_cast<MdbTableDef*>(table);
}

// Row offsets on a data page carry two flags in their top bits.
constexpr int DeletedRow = 0x8000; // deleted, or moved and reached through its pointer
constexpr int MovedRow = 0x4000;   // holds a pointer to the row on another page
constexpr int OffsetMask = 0x1fff;

QString quoted(const QString& path) {
    return u'"' + QDir::toNativeSeparators(path) + u'"';
}

// Joins surrogate pairs; a half without its partner becomes U+FFFD and is counted.
class Utf16ToUtf8 {
public:
    explicit Utf16ToUtf8(std::string& out)
        : m_out(out) {}
    void unit(char16_t u) {
        if (m_high) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                qv::appendUtf8(0x10000 + ((char32_t(m_high) - 0xD800) << 10) + (u - 0xDC00), m_out);
                m_high = 0;
                return;
            }
            lone();
        }
        if (u >= 0xD800 && u <= 0xDBFF)
            m_high = u;
        else if (u >= 0xDC00 && u <= 0xDFFF)
            lone();
        else
            qv::appendUtf8(u, m_out);
    }
    int finish() {
        if (m_high)
            lone();
        return m_broken;
    }

private:
    void lone() {
        qv::appendUtf8(0xFFFD, m_out);
        m_high = 0;
        ++m_broken;
    }
    std::string& m_out;
    char16_t m_high = 0;
    int m_broken = 0;
};

QString typeName(int jetType) {
    switch (jetType) {
    case MDB_BOOL:
        return QStringLiteral("Yes/No");
    case MDB_BYTE:
        return QStringLiteral("Byte");
    case MDB_INT:
        return QStringLiteral("Integer");
    case MDB_LONGINT:
        return QStringLiteral("Long Integer");
    case MDB_MONEY:
        return QStringLiteral("Currency");
    case MDB_FLOAT:
        return QStringLiteral("Single");
    case MDB_DOUBLE:
        return QStringLiteral("Double");
    case MDB_DATETIME:
        return QStringLiteral("Date/Time");
    case MDB_BINARY:
        return QStringLiteral("Binary");
    case MDB_TEXT:
        return QStringLiteral("Text");
    case MDB_OLE:
        return QStringLiteral("OLE Object");
    case MDB_MEMO:
        return QStringLiteral("Memo");
    case MDB_REPID:
        return QStringLiteral("Replication ID");
    case MDB_NUMERIC:
        return QStringLiteral("Decimal");
    default:
        return QStringLiteral("type %1").arg(jetType);
    }
}

ColumnKind kindOf(int jetType) {
    switch (jetType) {
    case MDB_BOOL:
        return ColumnKind::Boolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return ColumnKind::Integer;
    case MDB_MONEY:
        return ColumnKind::Money;
    case MDB_NUMERIC:
        return ColumnKind::Decimal;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return ColumnKind::Float;
    case MDB_DATETIME:
        return ColumnKind::DateTime;
    case MDB_TEXT:
        return ColumnKind::Text;
    default:
        return ColumnKind::Other;
    }
}

// The decimal digits of an unsigned 128-bit number with `scale` of them
// after the point.
std::string decimalText(unsigned __int128 magnitude, int scale) {
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        if (int(digits.size()) <= scale)
            digits.insert(0, size_t(scale + 1 - int(digits.size())), '0');
        digits.insert(digits.size() - size_t(scale), 1, '.');
    }
    return digits;
}

} // namespace

Format FileFormat(const QString& path) {
    // Opening a FIFO for reading would wait for a writer.
    if (!QFileInfo(path).isFile())
        return Format::NotJet;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Format::NotJet;
    const QByteArray head = file.read(0x15);
    if (head.size() < 0x15 || !head.startsWith(QByteArrayLiteral("\x00\x01\x00\x00")))
        return Format::NotJet;
    const QByteArray magic = head.mid(4, 16);
    if (magic == QByteArrayLiteral("Standard ACE DB\0"))
        return Format::Ace;
    if (magic != QByteArrayLiteral("Standard Jet DB\0"))
        return Format::NotJet;
    switch (uchar(head.at(0x14))) {
    case MDB_VER_JET3:
        return Format::Jet3;
    case MDB_VER_JET4:
        return Format::Jet4;
    default:
        return Format::Ace;
    }
}

QString FormatName(Format format) {
    switch (format) {
    case Format::Jet3:
        return QStringLiteral("Jet 3, Access 97");
    case Format::Jet4:
        return QStringLiteral("Jet 4, Access 2000");
    case Format::Ace:
        return QStringLiteral("ACE, Access 2007 or later");
    case Format::NotJet:
        break;
    }
    return QStringLiteral("not an Access database");
}

DateText DateFromDays(double days) {
    DateText result;
    // Jet's own range: 1 January 100 to 31 December 9999.
    if (!std::isfinite(days) || days < -657434.0 || days >= 2958466.0)
        return result;
    const double whole = std::trunc(days);
    // The fraction is the time of day on both sides of day zero: -1.25 is
    // 29 December 1899 at six in the morning.
    const double seconds = std::fabs(days - whole) * 86400.0;
    const double rounded = std::round(seconds);
    result.wholeSecond = std::fabs(seconds - rounded) < 0.001;
    qint64 day = qint64(whole);
    qint64 second = qint64(rounded);
    if (second >= 86400) {
        ++day;
        second -= 86400;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    if (!date.isValid() || date.year() > 9999)
        return result;
    std::snprintf(result.text, sizeof result.text, "%04d-%02d-%02d %02d:%02d:%02d", date.year(),
                  date.month(), date.day(), int(second / 3600), int(second / 60 % 60),
                  int(second % 60));
    result.valid = true;
    return result;
}

int AppendJet4Text(const unsigned char* data, int size, std::string& out) {
    Utf16ToUtf8 utf8(out);
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        // Compressed: one byte per character whose high byte is zero; a zero
        // byte switches to two bytes per character and back.
        bool compressed = true;
        int i = 2;
        while (i < size) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                utf8.unit(data[i]);
                ++i;
            } else if (i + 1 < size) {
                utf8.unit(char16_t(data[i] | (data[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (int i = 0; i + 1 < size; i += 2)
            utf8.unit(char16_t(data[i] | (data[i + 1] << 8)));
    }
    return utf8.finish();
}

// ---- Table ----------------------------------------------------------------

struct Table::Cursor {
    MdbField fields[MDB_MAX_COLS];
    bool started = false;
    bool away = false; // the page buffer holds the page of a moved row
    int row = 0;
    int rows = 0;
};

Table::Table(Database& database, void* table, const QString& name)
    : m_database(database)
    , m_table(table)
    , m_name(name)
    , m_cursor(std::make_unique<Cursor>()) {
    MdbTableDef* t = tableDef(m_table);
    for (unsigned i = 0; i < t->num_cols; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        Column c;
        c.name = QString::fromUtf8(col->name);
        c.jetType = col->col_type;
        c.kind = kindOf(col->col_type);
        c.typeName = typeName(col->col_type);
        m_columns.push_back(c);
    }
    mdb_rewind_table(t);
}

Table::~Table() {
    mdb_free_tabledef(tableDef(m_table));
}

int Table::columnIndex(const QString& name) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

qint64 Table::declaredRows() const {
    return tableDef(m_table)->num_rows;
}

bool Table::next() {
    MdbTableDef* t = tableDef(m_table);
    MdbHandle* mdb = t->entry->mdb;
    Cursor& c = *m_cursor;
    const auto damaged = [this](const QString& what) {
        return qv::DatabaseError(
            QStringLiteral("The table %1 of %2 cannot be read (%3): the file seems "
                           "damaged or cut short.")
                .arg(m_name, quoted(m_database.m_path), what));
    };
    // A row lies after the row offsets at the head of its page and holds at
    // least its column count and a byte of its null mask. A damaged offset
    // that says otherwise would send the library's row cracker reading
    // outside the page.
    const int offsetsStart = mdb->fmt->row_count_offset + 2;
    const size_t smallestRow = m_database.m_format == Format::Jet3 ? 2 : 3;
    const auto holdsRow = [&](int start, size_t length) {
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        return (start & OffsetMask) >= offsetsStart + 2 * rows && length >= smallestRow;
    };
    if (c.away) {
        // Back to the page the scan stands on.
        if (mdb_read_pg(mdb, t->cur_phys_pg) <= 0)
            throw damaged(QStringLiteral("page %1").arg(t->cur_phys_pg));
        c.away = false;
    }
    for (;;) {
        if (!c.started || c.row >= c.rows) {
            if (!mdb_read_next_dpg(t))
                return false;
            c.started = true;
            c.row = 0;
            c.rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
            if (offsetsStart + 2 * c.rows > mdb->fmt->pg_size)
                throw damaged(QStringLiteral("page %1").arg(t->cur_phys_pg));
            continue;
        }
        const int row = c.row++;
        int start = 0;
        size_t length = 0;
        const bool found = mdb_find_row(mdb, row, &start, &length) == 0;
        if (start & DeletedRow)
            continue;
        if (!found)
            throw damaged(QStringLiteral("row %1 of page %2").arg(row).arg(t->cur_phys_pg));
        if (start & MovedRow) {
            // The row grew and moved; its slot here holds where it went: the
            // row number, then the page in three bytes.
            const unsigned char* pointer = mdb->pg_buf + (start & OffsetMask);
            if (length < 4)
                throw damaged(QStringLiteral("row %1 of page %2").arg(row).arg(t->cur_phys_pg));
            const int targetRow = pointer[0];
            const unsigned long targetPage =
                pointer[1] | (unsigned long)(pointer[2]) << 8 | (unsigned long)(pointer[3]) << 16;
            c.away = true;
            if (mdb_read_pg(mdb, targetPage) <= 0 || mdb->pg_buf[0] != MDB_PAGE_DATA ||
                (unsigned long)(mdb_get_int32(mdb->pg_buf, 4)) != t->entry->table_pg ||
                mdb_find_row(mdb, targetRow, &start, &length) != 0 || (start & MovedRow))
                throw damaged(
                    QStringLiteral("moved row %1 of page %2").arg(targetRow).arg(targetPage));
        }
        if (!holdsRow(start, length) || mdb_crack_row(t, start & OffsetMask, length, c.fields) < 0)
            throw damaged(QStringLiteral("row %1 of page %2").arg(row).arg(t->cur_phys_pg));
        return true;
    }
}

const unsigned char* Table::bytes(int column, int& size) const {
    const MdbField& f = m_cursor->fields[column];
    size = f.siz;
    return static_cast<const unsigned char*>(f.value);
}

bool Table::isNull(int column) const {
    // A yes/no column keeps its value in the null mask: it is never null.
    return m_columns[size_t(column)].kind != ColumnKind::Boolean &&
           m_cursor->fields[column].is_null;
}

bool Table::boolean(int column) const {
    return !m_cursor->fields[column].is_null;
}

qint64 Table::integer(int column) const {
    int size = 0;
    const unsigned char* p = bytes(column, size);
    switch (m_columns[size_t(column)].jetType) {
    case MDB_BYTE:
        return size >= 1 ? p[0] : 0;
    case MDB_INT:
        return size >= 2 ? qFromLittleEndian<qint16>(p) : 0;
    case MDB_LONGINT:
        return size >= 4 ? qFromLittleEndian<qint32>(p) : 0;
    default:
        return 0;
    }
}

double Table::number(int column, bool& exact) const {
    exact = true;
    int size = 0;
    const unsigned char* p = bytes(column, size);
    const auto* col =
        static_cast<MdbColumn*>(g_ptr_array_index(tableDef(m_table)->columns, column));
    switch (col->col_type) {
    case MDB_MONEY: {
        if (size < 8)
            break;
        const qint64 units = qFromLittleEndian<qint64>(p);
        // Ten-thousandths; up to 15 digits a double gives them back unchanged.
        exact = units > -1000000000000000LL && units < 1000000000000000LL;
        return double(units) / 10000.0;
    }
    case MDB_NUMERIC: {
        if (size < 17)
            break;
        // A sign byte, then four 32-bit words, the most significant first,
        // each stored with its low byte first.
        unsigned __int128 magnitude = 0;
        for (int word = 0; word < 4; ++word)
            magnitude = (magnitude << 32) | qFromLittleEndian<quint32>(p + 1 + 4 * word);
        // mdbtools names the two the other way round; the scale is the smaller.
        const int scale = std::min(col->col_prec, col->col_scale);
        // One division by an exact power of ten (up to 10^22) gives the
        // double nearest to the decimal.
        double power = 1.0;
        for (int i = 0; i < scale && i < 22; ++i)
            power *= 10.0;
        double value = double(magnitude) / power;
        for (int i = 22; i < scale; ++i)
            value /= 10.0;
        if (magnitude >= (unsigned __int128)(1000000000000000ULL) || scale > 22) {
            const std::string stored = decimalText(magnitude, scale);
            exact = QByteArray::number(value, 'f', scale).toStdString() == stored;
        }
        return (p[0] & 0x80) ? -value : value;
    }
    case MDB_FLOAT:
        if (size >= 4)
            return double(qFromLittleEndian<float>(p));
        break;
    case MDB_DOUBLE:
        if (size >= 8)
            return qFromLittleEndian<double>(p);
        break;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return double(integer(column));
    default:
        break;
    }
    exact = false;
    return 0.0;
}

DateText Table::dateTime(int column) const {
    int size = 0;
    const unsigned char* p = bytes(column, size);
    if (size < 8)
        return {};
    return DateFromDays(qFromLittleEndian<double>(p));
}

int Table::text(int column, std::string& out) const {
    out.clear();
    int size = 0;
    const unsigned char* p = bytes(column, size);
    if (size <= 0)
        return 0;
    if (m_database.m_format != Format::Jet3)
        return AppendJet4Text(p, size, out);
    // Jet 3 keeps texts in the code page of the machine that wrote them; the
    // library converts them (MDB_JET3_CHARSET names another than Windows-1252).
    out.resize(size_t(size) * 3 + 1);
    MdbHandle* mdb = tableDef(m_table)->entry->mdb;
    const int length = mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(p), size_t(size),
                                         out.data(), out.size());
    out.resize(size_t(std::max(length, 0)));
    return 0;
}

// ---- Database ---------------------------------------------------------------

// The tables the file's catalogue (the system table MSysObjects) lists. It is
// read here, through the same row reader as every other table, rather than by
// mdb_read_catalog: that also parses each object's property blob, and loops
// for ever on a blob whose record length a damaged file has turned to zero.
// No property is needed to read rows.
struct Database::Catalog {
    struct Entry {
        QString name;
        std::unique_ptr<MdbCatalogEntry> entry;
    };
    std::vector<Entry> tables;
};

namespace {

// Where MSysObjects always starts, and the parts of its columns that say
// which objects are tables and where each one's definition lies.
constexpr unsigned long CatalogPage = 2;
constexpr int ObjectTypeMask = 0x7F;
constexpr long DefinitionPageMask = 0xFFFFFF;

// Copies a name into the library's fixed field, cut at a whole character.
void setObjectName(MdbCatalogEntry& entry, const std::string& utf8) {
    size_t length = std::min(utf8.size(), size_t(MDB_MAX_OBJ_NAME));
    while (length > 0 && length < utf8.size() && (uchar(utf8[length]) & 0xC0) == 0x80)
        --length;
    std::memcpy(entry.object_name, utf8.data(), length);
    entry.object_name[length] = '\0';
}

// A table's definition and columns; null when they cannot be read. The map of
// the table's pages is checked here too: the library walks it without looking
// at its length, and a damaged one missing altogether would crash the reader.
MdbTableDef* readDefinition(MdbCatalogEntry* entry) {
    MdbTableDef* table = mdb_read_table(entry);
    if (!table)
        return nullptr;
    constexpr size_t SmallestMap = 5; // the map's type and its first page
    // Rows are cracked into a cursor of MDB_MAX_COLS fields.
    if (!table->usage_map || table->map_sz < SmallestMap || table->num_cols > MDB_MAX_COLS ||
        !mdb_read_columns(table)) {
        mdb_free_tabledef(table);
        return nullptr;
    }
    return table;
}

} // namespace

Database::Database(const QString& path)
    : m_format(FileFormat(path))
    , m_path(path)
    , m_catalog(std::make_unique<Catalog>()) {
    // What stops the reading before the file's kind is looked at, said as it is.
    const QFileInfo info(path);
    if (!info.exists())
        throw qv::DatabaseError(QStringLiteral("%1 could not be found.").arg(quoted(path)));
    if (info.isDir())
        throw qv::DatabaseError(
            QStringLiteral("%1 is a folder, not an Access database file.").arg(quoted(path)));
    if (QFile file(path); info.isFile() && !file.open(QIODevice::ReadOnly))
        throw qv::DatabaseError(
            QStringLiteral("%1 cannot be read: %2").arg(quoted(path), file.errorString()));
    if (m_format == Format::NotJet)
        throw qv::DatabaseError(
            QStringLiteral("%1 is not an Access database file.").arg(quoted(path)));
    // Every Jet file is a whole number of pages; a copy broken off mid-way
    // is not, and the library would read its rows as far as they go.
    const qint64 pageSize = m_format == Format::Jet3 ? 2048 : 4096;
    const qint64 size = info.size();
    if (size < 3 * pageSize || size % pageSize != 0)
        throw qv::DatabaseError(
            QStringLiteral("%1 is cut short: it ends in the middle of a page, so "
                           "part of the register is missing.")
                .arg(quoted(path)));
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb)
        throw qv::DatabaseError(
            QStringLiteral("%1 could not be opened as an Access database.").arg(quoted(path)));
    m_mdb = mdb;
    try {
        readCatalog();
    } catch (const qv::DatabaseError&) {
        m_catalog->tables.clear();
        mdb_close(mdb);
        m_mdb = nullptr;
        throw qv::DatabaseError(
            QStringLiteral("The list of tables in %1 cannot be read: the file seems "
                           "damaged, cut short or encrypted.")
                .arg(quoted(path)));
    }
}

void Database::readCatalog() {
    MdbCatalogEntry system{};
    system.mdb = handle(m_mdb);
    std::strcpy(system.object_name, "MSysObjects");
    system.object_type = MDB_TABLE;
    system.table_pg = CatalogPage;
    MdbTableDef* definition = readDefinition(&system);
    if (!definition)
        throw qv::DatabaseError(QStringLiteral("MSysObjects"));
    Table objects(*this, definition, QStringLiteral("MSysObjects"));
    const int id = objects.columnIndex(QStringLiteral("Id"));
    const int name = objects.columnIndex(QStringLiteral("Name"));
    const int type = objects.columnIndex(QStringLiteral("Type"));
    const int flags = objects.columnIndex(QStringLiteral("Flags"));
    const auto is = [&objects](int column, ColumnKind kind) {
        return column >= 0 && objects.columns()[size_t(column)].kind == kind;
    };
    if (!is(id, ColumnKind::Integer) || !is(name, ColumnKind::Text) ||
        !is(type, ColumnKind::Integer) || !is(flags, ColumnKind::Integer))
        throw qv::DatabaseError(QStringLiteral("MSysObjects"));
    std::string text;
    while (objects.next()) {
        if (objects.isNull(id) || objects.isNull(name) || objects.isNull(type) ||
            (objects.integer(type) & ObjectTypeMask) != MDB_TABLE)
            continue;
        objects.text(name, text);
        if (text.empty())
            continue;
        auto entry = std::make_unique<MdbCatalogEntry>();
        entry->mdb = handle(m_mdb);
        setObjectName(*entry, text);
        entry->object_type = MDB_TABLE;
        entry->table_pg = (unsigned long)(objects.integer(id) & DefinitionPageMask);
        entry->flags = objects.isNull(flags) ? 0 : int(objects.integer(flags));
        const QString tableName = QString::fromUtf8(text);
        if (!mdb_is_system_table(entry.get()))
            m_tables << tableName;
        m_catalog->tables.push_back({tableName, std::move(entry)});
    }
}

Database::~Database() {
    m_catalog.reset();
    if (m_mdb)
        mdb_close(handle(m_mdb));
}

std::unique_ptr<Table> Database::openTable(const QString& name) {
    for (Catalog::Entry& item : m_catalog->tables) {
        MdbCatalogEntry* entry = item.entry.get();
        if (mdb_is_system_table(entry) || item.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        MdbTableDef* table = readDefinition(entry);
        if (!table)
            throw qv::DatabaseError(
                QStringLiteral("The table %1 of %2 cannot be read: the file seems "
                               "damaged or cut short.")
                    .arg(name, quoted(m_path)));
        return std::unique_ptr<Table>(new Table(*this, table, item.name));
    }
    return nullptr;
}

} // namespace JetReader
