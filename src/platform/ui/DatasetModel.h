// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Dataset.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

namespace qv {

// A table model over a Dataset: one model row per visible dataset row (after
// filter and sort), columns bound to fields by name. Cells are read with
// Dataset::textAt, so only what a view asks for (its visible cells) is ever
// formatted, and reading never moves the dataset's cursor.
//
// Read-only unless made editable: then a cell's new text goes into that row
// of the dataset (which moves there and enters edit mode), and while the
// dataset holds a new row not yet posted, the model shows it as one more row
// after the last.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString field; // bound by name; a name the result lacks shows empty cells
        QString title;
        int width = 64; // in design pixels, for the view
    };

    explicit DatasetModel(Dataset* dataset, QObject* parent = nullptr);

    Dataset* dataset() const { return m_dataset; }

    void setColumns(const QList<Column>& columns);
    const QList<Column>& columns() const { return m_columns; }
    // The dataset column a model column shows, or -1.
    int fieldIndexOf(int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Horizontal: the column titles. Vertical: the row indicator, a marker on
    // the dataset's current row.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    // The row of the dataset's new, unposted row, or -1 when there is none.
    int newRow() const;

protected:
    // Whether `row` is a visible row of the open dataset; views may ask for a
    // row while a re-run is still being announced.
    bool validRow(int row) const;
    // The dataset column of that name, or -1; looked up once per open.
    int namedColumn(const QString& name) const;
    // A brush of the colour stored in the named column of `row` (see
    // storedColour); none when the column is missing, null or negative.
    QVariant storedColourAt(int row, const QString& name) const;

private:
    void resolveFields();
    void onRowsReset();
    void onRowChanged(int row);
    void onScrolled();
    void onStateChanged();

    QPointer<Dataset> m_dataset;
    QList<Column> m_columns;
    QList<int> m_fieldIndex;
    mutable QHash<QString, int> m_named;
    int m_markedRow = -1;
    bool m_editable = false;
    bool m_showsInsertRow = false;
};

} // namespace qv
