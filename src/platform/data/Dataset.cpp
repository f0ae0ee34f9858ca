// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/Dataset.h"

#include "platform/data/ChangeRecorder.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/TextCollation.h"
#include "platform/os/Regional.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <numeric>

namespace qv {

// ---- Field ------------------------------------------------------------------

QString Field::name() const {
    return m_dataset->column(m_column).name;
}
FieldType Field::type() const {
    return m_dataset->column(m_column).type;
}
int Field::size() const {
    return m_dataset->column(m_column).width;
}
bool Field::isNull() const {
    return m_dataset->currentValue(m_column).isNull();
}

Value Field::value() const {
    const Value v = m_dataset->currentValue(m_column);
    if (v.isNull())
        return v;
    switch (type()) {
    case FieldType::DateTime:
        return Value(v.toDateTime());
    case FieldType::Boolean:
        return Value(v.toBoolean());
    default:
        return v;
    }
}

QString Field::asString() const {
    return m_dataset->formatText(m_column, m_dataset->currentValue(m_column));
}
qint64 Field::asInteger() const {
    return m_dataset->currentValue(m_column).toInteger();
}
double Field::asFloat() const {
    return m_dataset->currentValue(m_column).toFloat();
}
QDateTime Field::asDateTime() const {
    return m_dataset->currentValue(m_column).toDateTime();
}
bool Field::asBoolean() const {
    return m_dataset->currentValue(m_column).toBoolean();
}
void Field::setValue(const Value& value) {
    m_dataset->setCurrentValue(m_column, value);
}

// ---- Dataset ----------------------------------------------------------------

Dataset::Dataset(Connection* connection, QObject* parent)
    : QObject(parent)
    , m_query(connection) {}

Dataset::~Dataset() = default;

void Dataset::setConnection(Connection* connection) {
    if (isActive())
        close();
    m_query.setConnection(connection);
}

void Dataset::open() {
    if (isActive())
        return;
    applyMasterLink();
    Result result;
    m_query.fetch(result);
    m_result = std::move(result);
    m_state = State::Browse;
    m_sortText.clear();
    m_order.resize(size_t(m_result.rows.rowCount()));
    std::iota(m_order.begin(), m_order.end(), 0);
    rebuildVisible();
    m_current = m_visible.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_visible.empty();
    m_buffer.clear();
    m_editRow = -1;
    emit rowsReset();
    emit stateChanged();
    emit afterOpen();
    emit afterScroll();
}

void Dataset::close() {
    if (!isActive())
        return;
    m_state = State::Inactive;
    m_result = Result();
    m_order.clear();
    m_visible.clear();
    m_current = -1;
    m_eof = m_bof = true;
    m_buffer.clear();
    m_editRow = -1;
    emit rowsReset();
    emit stateChanged();
    emit afterClose();
}

void Dataset::requery() {
    const int position = isActive() ? recNo() : 0;
    close();
    open();
    if (position > 1 && position <= recordCount())
        setRecNo(position);
}

int Dataset::recNo() const {
    if (m_state == State::Insert || m_current < 0)
        return 0;
    return m_current + 1;
}

void Dataset::setRecNo(int recNo) {
    checkBrowse();
    if (m_visible.empty())
        return;
    moveToIndex(std::clamp(recNo, 1, recordCount()) - 1);
}

void Dataset::moveToIndex(int index) {
    m_current = index;
    m_bof = m_eof = false;
    emit afterScroll();
}

void Dataset::first() {
    checkBrowse();
    if (m_visible.empty()) {
        m_bof = m_eof = true;
        return;
    }
    moveToIndex(0);
    m_bof = true;
}

void Dataset::last() {
    checkBrowse();
    if (m_visible.empty()) {
        m_bof = m_eof = true;
        return;
    }
    // eof is reached only by moving past the last row.
    moveToIndex(recordCount() - 1);
}

void Dataset::next() {
    checkBrowse();
    if (m_visible.empty() || m_current + 1 >= recordCount()) {
        m_eof = true;
        return;
    }
    moveToIndex(m_current + 1);
}

void Dataset::prior() {
    checkBrowse();
    if (m_visible.empty() || m_current <= 0) {
        m_bof = true;
        return;
    }
    moveToIndex(m_current - 1);
}

int Dataset::fieldIndex(const QString& name) const {
    for (size_t i = 0; i < m_result.columns.size(); ++i)
        if (m_result.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

Field Dataset::field(const QString& name) {
    const int index = fieldIndex(name);
    if (index < 0)
        throw DatabaseError(QStringLiteral("Field '%1' not found.").arg(name));
    return Field(this, index);
}

void Dataset::checkCurrentRow() const {
    if (m_state == State::Inactive)
        throw DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset."));
    if (m_state != State::Insert && m_current < 0)
        throw DatabaseError(QStringLiteral("There is no current record."));
}

Value Dataset::currentValue(int column) const {
    checkCurrentRow();
    if ((m_state == State::Edit || m_state == State::Insert) && m_buffer[size_t(column)])
        return *m_buffer[size_t(column)];
    if (m_state == State::Insert)
        return Value();
    const int row = m_visible[size_t(m_current)];
    return m_result.rows.value(m_result.rows.cell(row, column));
}

Value Dataset::valueAt(int row, int column) const {
    if (row == m_current && m_state == State::Edit && m_buffer[size_t(column)])
        return *m_buffer[size_t(column)];
    return m_result.rows.value(m_result.rows.cell(m_visible[size_t(row)], column));
}

bool Dataset::isNullAt(int row, int column) const {
    if (row == m_current && m_state == State::Edit && m_buffer[size_t(column)])
        return m_buffer[size_t(column)]->isNull();
    return m_result.rows.cell(m_visible[size_t(row)], column).type == Cell::Null;
}

QString Dataset::textAt(int row, int column) const {
    return formatText(column, valueAt(row, column));
}

QString Dataset::formatText(int column, const Value& value) const {
    if (value.isNull())
        return {};
    const FieldType type = m_result.columns[size_t(column)].type;
    if (type == FieldType::DateTime || value.kind() == Value::Kind::DateTime) {
        const QDateTime when = value.kind() == Value::Kind::DateTime
                                   ? value.toDateTime()
                                   : dateTimeFromStorage(value.toText());
        return when.isValid() ? Regional::formatDateTime(when) : value.toText();
    }
    if (type == FieldType::Boolean || value.kind() == Value::Kind::Boolean)
        return value.toBoolean() ? QStringLiteral("True") : QStringLiteral("False");
    if (value.kind() == Value::Kind::Float) {
        QString text = QString::number(value.toFloat(), 'g', 15);
        return text.replace(u'.', Regional::decimalSeparator());
    }
    return value.toText();
}

void Dataset::setCurrentValue(int column, const Value& value) {
    checkCurrentRow();
    if (m_state == State::Browse)
        edit();
    m_buffer[size_t(column)] = value;
    if (m_state == State::Edit)
        emit rowChanged(m_current);
}

// ---- sort and filter ---------------------------------------------------------

namespace {

// Orders two stored values: nulls first, numbers by value and before text,
// text as the register orders names.
int compareCells(const RowStore& rows, const Cell& a, const Cell& b) {
    if (a.type == Cell::Null || b.type == Cell::Null)
        return (a.type == Cell::Null ? 0 : 1) - (b.type == Cell::Null ? 0 : 1);
    const bool numA = a.type != Cell::Text, numB = b.type != Cell::Text;
    if (numA && numB) {
        if (a.type == Cell::Integer && b.type == Cell::Integer)
            return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
        const double x = a.type == Cell::Integer ? double(a.integer) : a.real;
        const double y = b.type == Cell::Integer ? double(b.integer) : b.real;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (numA != numB)
        return numA ? -1 : 1;
    return compareText(rows.text(a), a.length, rows.text(b), b.length);
}

} // namespace

void Dataset::setSort(const QString& sort) {
    checkBrowse();
    m_sortText = sort;
    applySort();
}

void Dataset::applySort() {
    struct Key {
        int column;
        bool descending;
    };
    std::vector<Key> keys;
    for (const QString& part : m_sortText.split(u',', Qt::SkipEmptyParts)) {
        QStringList words = part.simplified().split(u' ');
        bool descending = false;
        if (words.size() > 1) {
            const QString dir = words.takeLast();
            if (dir.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
                descending = true;
            else if (dir.compare(QLatin1String("ASC"), Qt::CaseInsensitive) != 0)
                words << dir;
        }
        QString name = words.join(u' ');
        if (name.startsWith(u'[') && name.endsWith(u']'))
            name = name.mid(1, name.size() - 2);
        const int column = fieldIndex(name);
        if (column < 0)
            throw DatabaseError(QStringLiteral("Field '%1' not found.").arg(name));
        keys.push_back({column, descending});
    }

    std::iota(m_order.begin(), m_order.end(), 0);
    if (!keys.empty()) {
        const RowStore& rows = m_result.rows;
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            for (const Key& key : keys) {
                int c = compareCells(rows, rows.cell(a, key.column), rows.cell(b, key.column));
                if (key.descending)
                    c = -c;
                if (c != 0)
                    return c < 0;
            }
            return false;
        });
    }
    refreshVisible();
}

void Dataset::refreshVisible() {
    const int keepRow = m_current >= 0 ? m_visible[size_t(m_current)] : -1;
    rebuildVisible();
    const auto found = std::find(m_visible.begin(), m_visible.end(), keepRow);
    m_current =
        found != m_visible.end() ? int(found - m_visible.begin()) : (m_visible.empty() ? -1 : 0);
    emit rowsReset();
    emit afterScroll();
}

void Dataset::setFilter(const QString& filter) {
    static const QRegularExpression nullTest(
        QStringLiteral("^\\s*\\(?\\s*\\[?([A-Za-z_][\\w.]*)\\]?\\s*(=|<>)\\s*null\\s*\\)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    if (filter.trimmed().isEmpty()) {
        m_filterColumn.clear();
    } else {
        const QRegularExpressionMatch m = nullTest.match(filter);
        if (!m.hasMatch())
            throw DatabaseError(QStringLiteral("The filter \"%1\" is not supported.").arg(filter));
        m_filterColumn = m.captured(1);
        m_filterNotNull = m.captured(2) == QLatin1String("<>");
    }
    m_filterText = filter;
    if (isActive() && m_filtered) {
        checkBrowse();
        refreshVisible();
    }
}

void Dataset::setFiltered(bool on) {
    if (on == m_filtered)
        return;
    m_filtered = on;
    if (isActive()) {
        checkBrowse();
        refreshVisible();
    }
}

void Dataset::rebuildVisible() {
    const int column = m_filtered && !m_filterColumn.isEmpty() ? fieldIndex(m_filterColumn) : -1;
    if (m_filtered && !m_filterColumn.isEmpty() && column < 0 && isActive())
        throw DatabaseError(QStringLiteral("Field '%1' not found.").arg(m_filterColumn));
    if (column < 0) {
        m_visible = m_order;
    } else {
        m_visible.clear();
        m_visible.reserve(m_order.size());
        for (int row : m_order) {
            const bool isNull = m_result.rows.cell(row, column).type == Cell::Null;
            if (isNull != m_filterNotNull)
                m_visible.push_back(row);
        }
    }
    m_eof = m_bof = m_visible.empty();
}

// ---- editing -------------------------------------------------------------------

void Dataset::setBaseTable(const QString& table, const QString& keyColumn) {
    m_baseTable = table;
    m_keyColumn = keyColumn;
    m_baseColumns.clear();
}

bool Dataset::isModified() const {
    if (m_state != State::Edit && m_state != State::Insert)
        return false;
    // The master's key a new detail row starts with is no change of the
    // user's: a new row holding nothing else is untouched, and is dropped
    // rather than stored empty when it is left.
    for (size_t c = 0; c < m_buffer.size(); ++c) {
        if (!m_buffer[c])
            continue;
        const auto inherited = std::find_if(
            m_inherited.begin(), m_inherited.end(),
            [c](const std::pair<int, Value>& link) { return size_t(link.first) == c; });
        if (m_state != State::Insert || inherited == m_inherited.end() ||
            inherited->second != *m_buffer[c])
            return true;
    }
    return false;
}

void Dataset::checkBrowse() {
    if (m_state == State::Edit || m_state == State::Insert) {
        if (isModified())
            post();
        else
            cancel();
    }
}

void Dataset::insert() {
    if (!isActive())
        throw DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset."));
    checkBrowse();
    m_buffer.assign(m_result.columns.size(), std::nullopt);
    m_inherited.clear();
    m_state = State::Insert;
    // New detail rows belong to the master's current row.
    if (m_master) {
        const std::vector<Value> values = masterLinkValues();
        const QStringList names = m_query.parameterNames();
        for (qsizetype i = 0; i < names.size(); ++i) {
            const int column = fieldIndex(names[i]);
            if (column >= 0 && !values[size_t(i)].isNull()) {
                m_buffer[size_t(column)] = values[size_t(i)];
                m_inherited.emplace_back(column, values[size_t(i)]);
            }
        }
    }
    emit stateChanged();
    emit afterScroll();
}

void Dataset::edit() {
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    checkCurrentRow();
    m_buffer.assign(m_result.columns.size(), std::nullopt);
    m_editRow = m_visible[size_t(m_current)];
    m_state = State::Edit;
    emit stateChanged();
}

void Dataset::cancel() {
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const bool wasEdit = m_state == State::Edit;
    m_state = State::Browse;
    m_buffer.clear();
    m_editRow = -1;
    emit stateChanged();
    if (wasEdit)
        emit rowChanged(m_current);
    emit afterScroll();
}

bool Dataset::writableColumn(int column, QString& baseName) {
    const ColumnInfo& info = m_result.columns[size_t(column)];
    if (!info.baseTable.isEmpty()) {
        baseName = info.baseColumn;
        return info.baseTable.compare(m_baseTable, Qt::CaseInsensitive) == 0;
    }
    // The engine did not say where the column comes from: take it for the base
    // table's when the table has a column of that name and no earlier column
    // of the result already claimed it.
    if (m_baseColumns.isEmpty())
        m_baseColumns = connection()->provider().tableColumns(m_baseTable);
    baseName = info.name.section(u'.', -1);
    if (!m_baseColumns.contains(baseName, Qt::CaseInsensitive))
        return false;
    for (int c = 0; c < column; ++c)
        if (m_result.columns[size_t(c)].name.section(u'.', -1).compare(baseName,
                                                                       Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

void Dataset::post() {
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    if (m_baseTable.isEmpty() || m_keyColumn.isEmpty())
        throw DatabaseError(QStringLiteral("The dataset has no base table to write to."));
    Provider& provider = connection()->provider();

    int keyIndex = -1;
    QStringList columns;
    std::vector<Value> values;
    for (int c = 0; c < fieldCount(); ++c) {
        QString baseName;
        if (!writableColumn(c, baseName))
            continue;
        if (baseName.compare(m_keyColumn, Qt::CaseInsensitive) == 0)
            keyIndex = c;
        if (!m_buffer[size_t(c)])
            continue;
        columns << baseName;
        values.push_back(*m_buffer[size_t(c)]);
    }
    if (keyIndex < 0)
        throw DatabaseError(
            QStringLiteral("The key column '%1' is not in the dataset.").arg(m_keyColumn));

    if (m_state == State::Insert) {
        const qint64 key = insertRecorded(*connection(), m_baseTable, m_keyColumn, columns, values);
        const int row = m_result.rows.appendRow();
        try {
            refreshRow(row, key);
        } catch (...) {
            m_result.rows.removeLastRow();
            throw;
        }
        m_order.push_back(row);
        m_visible.push_back(row);
        m_current = int(m_visible.size()) - 1;
        m_state = State::Browse;
        m_buffer.clear();
        emit rowsReset();
    } else {
        const int row = m_editRow;
        const qint64 key = m_result.rows.value(m_result.rows.cell(row, keyIndex)).toInteger();
        if (!columns.isEmpty()) {
            QStringList sets;
            for (const QString& c : columns)
                sets << provider.quoteName(c) + QStringLiteral(" = ?");
            values.emplace_back(key);
            const QString sql = QStringLiteral("UPDATE ") + provider.quoteName(m_baseTable) +
                                QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                                QStringLiteral(" WHERE ") + provider.quoteName(m_keyColumn) +
                                QStringLiteral(" = ?");
            if (executeRecorded(*connection(), sql, values) == 0)
                throw DatabaseError(QStringLiteral("The row to update could not be found; it "
                                                   "may have been deleted by another user."));
            refreshRow(row, key);
            // Columns of joined tables keep what was typed.
            for (int c = 0; c < fieldCount(); ++c) {
                QString baseName;
                if (m_buffer[size_t(c)] && !writableColumn(c, baseName))
                    m_result.rows.setValue(m_result.rows.cell(row, c), *m_buffer[size_t(c)]);
            }
        }
        m_state = State::Browse;
        m_buffer.clear();
        m_editRow = -1;
        emit rowChanged(m_current);
    }
    emit stateChanged();
    emit afterPost();
    emit afterScroll();
}

// Reads the stored row back, so defaults and the engine's conversions show.
void Dataset::refreshRow(int storeRow, qint64 key) {
    Provider& provider = connection()->provider();
    Result fresh;
    provider.fetch(QStringLiteral("SELECT * FROM ") + provider.quoteName(m_baseTable) +
                       QStringLiteral(" WHERE ") + provider.quoteName(m_keyColumn) +
                       QStringLiteral(" = ?"),
                   {Value(key)}, fresh);
    if (fresh.rows.rowCount() < 1)
        throw DatabaseError(QStringLiteral("The row just written could not be read back."));
    for (int c = 0; c < fieldCount(); ++c) {
        QString baseName;
        Cell& target = m_result.rows.cell(storeRow, c);
        if (!writableColumn(c, baseName)) {
            if (m_state == State::Insert && m_buffer[size_t(c)])
                m_result.rows.setValue(target, *m_buffer[size_t(c)]);
            continue;
        }
        for (size_t f = 0; f < fresh.columns.size(); ++f) {
            if (fresh.columns[f].name.compare(baseName, Qt::CaseInsensitive) == 0) {
                m_result.rows.setValue(target, fresh.rows.value(fresh.rows.cell(0, int(f))));
                break;
            }
        }
    }
}

void Dataset::deleteRecord() {
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    checkBrowse();
    checkCurrentRow();
    if (m_baseTable.isEmpty() || m_keyColumn.isEmpty())
        throw DatabaseError(QStringLiteral("The dataset has no base table to delete from."));
    int keyIndex = -1;
    for (int c = 0; c < fieldCount() && keyIndex < 0; ++c) {
        QString baseName;
        if (writableColumn(c, baseName) && baseName.compare(m_keyColumn, Qt::CaseInsensitive) == 0)
            keyIndex = c;
    }
    if (keyIndex < 0)
        throw DatabaseError(
            QStringLiteral("The key column '%1' is not in the dataset.").arg(m_keyColumn));
    const int row = m_visible[size_t(m_current)];
    const qint64 key = m_result.rows.value(m_result.rows.cell(row, keyIndex)).toInteger();
    Provider& provider = connection()->provider();
    executeRecorded(*connection(),
                    QStringLiteral("DELETE FROM ") + provider.quoteName(m_baseTable) +
                        QStringLiteral(" WHERE ") + provider.quoteName(m_keyColumn) +
                        QStringLiteral(" = ?"),
                    {Value(key)});
    m_order.erase(std::find(m_order.begin(), m_order.end(), row));
    m_visible.erase(m_visible.begin() + m_current);
    if (m_current >= recordCount())
        m_current = recordCount() - 1;
    m_eof = m_bof = m_visible.empty();
    emit rowsReset();
    emit afterDelete();
    emit afterScroll();
}

// ---- master–detail ---------------------------------------------------------------

void Dataset::setMaster(Dataset* master) {
    if (m_master)
        disconnect(m_master, nullptr, this, nullptr);
    m_master = master;
    if (!master)
        return;
    connect(master, &Dataset::afterScroll, this, &Dataset::onMasterChanged);
    connect(master, &Dataset::afterPost, this, &Dataset::onMasterChanged);
    connect(master, &Dataset::afterClose, this, &Dataset::onMasterChanged);
    connect(master, &Dataset::stateChanged, this, &Dataset::onMasterChanged);
}

// The master's values for this dataset's parameters, one per occurrence;
// null for a parameter the master has no column for, and for all of them
// while the master row is new and not yet stored.
std::vector<Value> Dataset::masterLinkValues() const {
    const QStringList names = m_query.parameterNames();
    std::vector<Value> values(size_t(names.size()));
    if (!m_master || !m_master->isActive() || m_master->state() == State::Insert ||
        m_master->recNo() < 1)
        return values;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int column = m_master->fieldIndex(names[i]);
        if (column >= 0)
            values[size_t(i)] = m_master->m_result.rows.value(m_master->m_result.rows.cell(
                m_master->m_visible[size_t(m_master->m_current)], column));
    }
    return values;
}

void Dataset::applyMasterLink() {
    if (!m_master)
        return;
    m_linkValues = masterLinkValues();
    const QStringList names = m_query.parameterNames();
    for (qsizetype i = 0; i < names.size(); ++i)
        if (m_master->fieldIndex(names[i]) >= 0)
            m_query.setParameterAt(int(i), m_linkValues[size_t(i)]);
}

void Dataset::onMasterChanged() {
    if (!isActive())
        return;
    if (masterLinkValues() == m_linkValues)
        return;
    // Unposted changes of the old master's detail are given up, not posted
    // under the new master.
    cancel();
    close();
    open();
}

} // namespace qv
