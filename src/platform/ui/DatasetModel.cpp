#include "platform/ui/DatasetModel.h"

#include "platform/data/Dataset.h"

namespace qv {

DatasetModel::DatasetModel(Dataset* dataset, QObject* parent)
    : QAbstractTableModel(parent)
    , m_dataset(dataset) {
    connect(dataset, &Dataset::rowsReset, this, &DatasetModel::onRowsReset);
    connect(dataset, &Dataset::rowChanged, this, &DatasetModel::onRowChanged);
    connect(dataset, &Dataset::afterScroll, this, &DatasetModel::onScrolled);
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
    endResetModel();
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

bool DatasetModel::validRow(int row) const {
    return m_dataset && m_dataset->isActive() && row >= 0 && row < m_dataset->recordCount();
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_dataset || !m_dataset->isActive())
        return 0;
    return m_dataset->recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !validRow(index.row()))
        return {};
    switch (role) {
    case Qt::DisplayRole: {
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
    if (role == Qt::DisplayRole)
        return section == m_markedRow ? QStringLiteral("\u25B6") : QString();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace qv
