// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DatasetModel.h"

#include "platform/data/Dataset.h"
#include "platform/ui/StoredColour.h"

#include <QBrush>

namespace qv {

DatasetModel::DatasetModel(Dataset* dataset, QObject* parent)
    : QAbstractTableModel(parent)
    , m_dataset(dataset) {
    connect(dataset, &Dataset::rowsReset, this, &DatasetModel::onRowsReset);
    connect(dataset, &Dataset::rowChanged, this, &DatasetModel::onRowChanged);
    connect(dataset, &Dataset::afterScroll, this, &DatasetModel::onScrolled);
    connect(dataset, &Dataset::stateChanged, this, &DatasetModel::onStateChanged);
    resolveFields();
}

void DatasetModel::setColumns(const QList<Column>& columns) {
    beginResetModel();
    m_columns = columns;
    resolveFields();
    endResetModel();
}

int DatasetModel::fieldIndexOf(int column) const {
    return column >= 0 && column < m_fieldIndex.size() ? m_fieldIndex[column] : -1;
}

void DatasetModel::resolveFields() {
    m_named.clear();
    m_fieldIndex.clear();
    for (const Column& c : m_columns)
        m_fieldIndex << (m_dataset && m_dataset->isActive() ? m_dataset->fieldIndex(c.field) : -1);
}

// The dataset has already changed when it says so; the reset tells the views
// to forget every row they knew.
void DatasetModel::onRowsReset() {
    beginResetModel();
    resolveFields();
    m_markedRow = -1;
    m_showsInsertRow = m_editable && m_dataset && m_dataset->state() == Dataset::State::Insert;
    endResetModel();
}

// A new row appears after the last one and goes when it is cancelled; a post
// resets the rows anyway.
void DatasetModel::onStateChanged() {
    const bool inserting = m_editable && m_dataset && m_dataset->state() == Dataset::State::Insert;
    if (inserting == m_showsInsertRow)
        return;
    const int row = m_dataset->recordCount();
    if (inserting) {
        beginInsertRows(QModelIndex(), row, row);
        m_showsInsertRow = true;
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), row, row);
        m_showsInsertRow = false;
        endRemoveRows();
    }
}

void DatasetModel::setEditable(bool editable) {
    if (editable == m_editable)
        return;
    beginResetModel();
    m_editable = editable;
    m_showsInsertRow = editable && m_dataset && m_dataset->state() == Dataset::State::Insert;
    endResetModel();
}

int DatasetModel::newRow() const {
    return m_showsInsertRow ? m_dataset->recordCount() : -1;
}

void DatasetModel::onRowChanged(int row) {
    if (validRow(row))
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DatasetModel::onScrolled() {
    const int old = m_markedRow;
    m_markedRow = m_dataset && m_dataset->isActive() ? m_dataset->currentIndex() : -1;
    if (old == m_markedRow)
        return;
    if (validRow(old))
        emit headerDataChanged(Qt::Vertical, old, old);
    if (validRow(m_markedRow))
        emit headerDataChanged(Qt::Vertical, m_markedRow, m_markedRow);
}

int DatasetModel::namedColumn(const QString& name) const {
    const auto found = m_named.constFind(name);
    if (found != m_named.cend())
        return *found;
    const int column = m_dataset && m_dataset->isActive() ? m_dataset->fieldIndex(name) : -1;
    m_named.insert(name, column);
    return column;
}

QVariant DatasetModel::storedColourAt(int row, const QString& name) const {
    const int column = namedColumn(name);
    if (column < 0 || m_dataset->isNullAt(row, column))
        return {};
    const qint64 value = m_dataset->valueAt(row, column).toInteger();
    if (value < 0)
        return {};
    return QBrush(storedColour(value));
}

bool DatasetModel::validRow(int row) const {
    return m_dataset && m_dataset->isActive() && row >= 0 && row < m_dataset->recordCount();
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_dataset || !m_dataset->isActive())
        return 0;
    return m_dataset->recordCount() + (m_showsInsertRow ? 1 : 0);
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (index.isValid() && index.row() == newRow() &&
        (role == Qt::DisplayRole || role == Qt::EditRole)) {
        const int field = fieldIndexOf(index.column());
        return field < 0 ? QString() : m_dataset->field(field).asString();
    }
    if (!index.isValid() || !validRow(index.row()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const int field = fieldIndexOf(index.column());
        return field < 0 ? QString() : m_dataset->textAt(index.row(), field);
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_columns[section].title;
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    if (role == Qt::DisplayRole) {
        if (section == newRow())
            return QStringLiteral("*");
        return section == m_markedRow && newRow() < 0 ? QStringLiteral("\u25B6") : QString();
    }
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_editable && fieldIndexOf(index.column()) >= 0)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int field = fieldIndexOf(index.column());
    if (!m_editable || role != Qt::EditRole || field < 0 || !index.isValid())
        return false;
    if (index.row() != newRow()) {
        if (!validRow(index.row()))
            return false;
        if (m_dataset->currentIndex() != index.row() ||
            m_dataset->state() == Dataset::State::Insert)
            m_dataset->setRecNo(index.row() + 1);
    }
    const QString text = value.toString();
    if (text == m_dataset->field(field).asString())
        return true;
    m_dataset->field(field).setValue(text.isEmpty() ? Value() : Value(text));
    if (index.row() == newRow())
        emit dataChanged(index, index);
    return true;
}

} // namespace qv
