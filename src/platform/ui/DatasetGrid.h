// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTableView>

namespace qv {

class Dataset;
class DatasetModel;

// A data grid over a DatasetModel: whole-row selection that stays visible
// when the grid loses focus, a row indicator, a title row whose clicks are
// reported, fixed row heights (so a long list costs nothing to lay out) and
// the column widths of the model's columns. The grid's current row and the
// dataset's cursor follow each other.
//
// Read-only unless made editable. An editable grid is typed into like a
// data grid of old: typing edits the cell, moving to another row posts the
// row left, and moving down past the last row appends a new one, as do
// Insert anywhere and typing into a grid with no rows.
class DatasetGrid : public QTableView {
    Q_OBJECT
public:
    explicit DatasetGrid(QWidget* parent = nullptr);

    void setDatasetModel(DatasetModel* model);
    DatasetModel* datasetModel() const { return m_model; }
    Dataset* dataset() const;

    // A column width of the design in pixels of this grid's font.
    int scaledWidth(int designPixels) const;

    // Makes the first column the current one, keeping the row.
    void selectFirstColumn();

    void setEditable(bool editable);
    bool isEditable() const;
    // Puts the text of a cell still being typed into the dataset's row.
    void commitEdit();
    // Whether a cell's editor is open with text typed into it.
    bool isTyping() const;

signals:
    void titleClicked(int column);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void followDataset();
    // How much wider this grid's font is than the design's.
    double designScale() const;

    DatasetModel* m_model = nullptr;
    bool m_following = false;
    bool m_scrollOnShow = false;
};

} // namespace qv
