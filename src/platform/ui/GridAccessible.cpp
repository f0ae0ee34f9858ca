// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/GridAccessible.h"

#include "platform/ui/DatasetGrid.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>

namespace qv {
namespace {

// QTableView names the cells of its focus and selection events by a number:
// the corner is 0, the column titles follow, then each row's indicator and
// its cells. The table below numbers its children the same way, so those
// events reach the right cell.
enum class Part { Corner, Title, Indicator, Cell };

int rowsOf(const DatasetGrid* grid) {
    return grid && grid->model() ? grid->model()->rowCount() : 0;
}

int columnsOf(const DatasetGrid* grid) {
    return grid && grid->model() ? grid->model()->columnCount() : 0;
}

// Where a rectangle of `widget` lies on the screen.
QRect onScreen(const QWidget* widget, const QRect& local) {
    return QRect(widget->mapToGlobal(local.topLeft()), local.size());
}

// One child of the grid's table. A cell asked for off the grid is "vacant":
// it is not valid (the bridge names it by the null path), it has no extent
// and is never selected, and it still knows its column's title.
class GridPart final : public QAccessibleInterface,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    GridPart(DatasetGrid* grid, Part part, int row, int column)
        : m_grid(grid)
        , m_part(part)
        , m_row(row)
        , m_column(column) {}

    bool is(Part part, int row, int column) const {
        return m_part == part && m_row == row && m_column == column;
    }
    const DatasetGrid* grid() const { return m_grid; }
    // Its number among the table's children, or -1 while it is off the grid.
    int number() const {
        if (!onGrid())
            return -1;
        return (m_row + 1) * (columnsOf(m_grid) + 1) + m_column + 1;
    }

    bool isValid() const override { return onGrid(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

    QAccessible::Role role() const override {
        switch (m_part) {
        case Part::Corner:
            return QAccessible::Whitespace;
        case Part::Title:
            return QAccessible::ColumnHeader;
        case Part::Indicator:
            return QAccessible::RowHeader;
        case Part::Cell:
            break;
        }
        return QAccessible::Cell;
    }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !onGrid())
            return {};
        const QAbstractItemModel* model = m_grid->model();
        switch (m_part) {
        case Part::Corner:
            return {};
        case Part::Title:
            return model->headerData(m_column, Qt::Horizontal).toString();
        case Part::Indicator:
            // The indicator only marks the current row; the record number
            // says which row a screen reader is in.
            return QString::number(m_row + 1);
        case Part::Cell:
            break;
        }
        const QModelIndex index = model->index(m_row, m_column);
        QString name = model->data(index, Qt::AccessibleTextRole).toString();
        if (name.isEmpty())
            name = model->data(index, Qt::DisplayRole).toString();
        return name.trimmed();
    }

    QRect rect() const override {
        if (!onGrid())
            return {};
        const QHeaderView* titles = m_grid->horizontalHeader();
        const QHeaderView* indicators = m_grid->verticalHeader();
        switch (m_part) {
        case Part::Corner:
            return onScreen(
                m_grid, QRect(indicators->x(), titles->y(), indicators->width(), titles->height()));
        case Part::Title:
            return onScreen(titles->viewport(),
                            QRect(titles->sectionViewportPosition(m_column), 0,
                                  titles->sectionSize(m_column), titles->height()));
        case Part::Indicator:
            return onScreen(indicators->viewport(),
                            QRect(0, indicators->sectionViewportPosition(m_row),
                                  indicators->width(), indicators->sectionSize(m_row)));
        case Part::Cell:
            break;
        }
        return onScreen(m_grid->viewport(), m_grid->visualRect(index()));
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!onGrid()) {
            state.invalid = true;
            return state;
        }
        state.disabled = !m_grid->isEnabled();
        const QWidget* shown = m_part == Part::Title       ? m_grid->horizontalHeader()->viewport()
                               : m_part == Part::Indicator ? m_grid->verticalHeader()->viewport()
                               : m_part == Part::Cell      ? m_grid->viewport()
                                                           : m_grid;
        state.invisible =
            !m_grid->isVisible() || !onScreen(shown, shown->rect()).intersects(rect());
        if (m_part == Part::Indicator)
            state.selected = m_grid->selectionModel()->isRowSelected(m_row, QModelIndex());
        if (m_part != Part::Cell)
            return state;
        state.selectable = true;
        state.focusable = m_grid->focusPolicy() != Qt::NoFocus;
        state.selected = isSelected();
        state.focused = m_grid->hasFocus() && m_grid->currentIndex() == index();
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (m_part == Part::Cell && type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (m_part == Part::Cell && type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // The cell.
    bool isSelected() const override {
        return onGrid() && m_grid->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        QAccessibleInterface* table = parent();
        if (!table || m_column < 0 || m_column >= columnsOf(m_grid))
            return {};
        return {table->child(m_column + 1)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        QAccessibleInterface* table = parent();
        if (!table || !onGrid())
            return {};
        return {table->child((m_row + 1) * (columnsOf(m_grid) + 1))};
    }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return onGrid() ? 1 : 0; }
    int rowExtent() const override { return onGrid() ? 1 : 0; }
    QAccessibleInterface* table() const override { return parent(); }

    // Taking the focus makes the cell's row the current record.
    QStringList actionNames() const override {
        if (!onGrid() || m_grid->focusPolicy() == Qt::NoFocus)
            return {};
        return {setFocusAction()};
    }
    void doAction(const QString& name) override {
        if (name != setFocusAction() || actionNames().isEmpty())
            return;
        m_grid->setFocus(Qt::OtherFocusReason);
        m_grid->setCurrentIndex(index());
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    bool onGrid() const {
        if (!m_grid || !m_grid->model())
            return false;
        const bool row = m_row >= 0 && m_row < rowsOf(m_grid);
        const bool column = m_column >= 0 && m_column < columnsOf(m_grid);
        switch (m_part) {
        case Part::Corner:
            return true;
        case Part::Title:
            return column;
        case Part::Indicator:
            return row;
        case Part::Cell:
            break;
        }
        return row && column;
    }
    QModelIndex index() const {
        return onGrid() && m_part == Part::Cell ? m_grid->model()->index(m_row, m_column)
                                                : QModelIndex();
    }

    QPointer<DatasetGrid> m_grid;
    Part m_part;
    int m_row;
    int m_column;
};

class GridTable final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridTable(DatasetGrid* grid)
        : QAccessibleWidget(grid, QAccessible::Table) {}

    ~GridTable() override { forgetParts(); }

    int childCount() const override { return (rowsOf(grid()) + 1) * (columnsOf(grid()) + 1); }

    QAccessibleInterface* child(int number) const override {
        if (number < 0 || number >= childCount())
            return nullptr;
        const int width = columnsOf(grid()) + 1;
        const int row = number / width - 1;
        const int column = number % width - 1;
        const Part part = row < 0 ? (column < 0 ? Part::Corner : Part::Title)
                                  : (column < 0 ? Part::Indicator : Part::Cell);
        return partAt(number, part, row, column);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* part = dynamic_cast<const GridPart*>(child);
        return part && part->grid() == grid() ? part->number() : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint global(x, y);
        const DatasetGrid* g = grid();
        const QPoint inView = g->viewport()->mapFromGlobal(global);
        if (g->viewport()->rect().contains(inView)) {
            const QModelIndex index = g->indexAt(inView);
            return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
        }
        const QHeaderView* titles = g->horizontalHeader();
        const QPoint inTitles = titles->viewport()->mapFromGlobal(global);
        if (titles->viewport()->rect().contains(inTitles)) {
            const int column = titles->logicalIndexAt(inTitles);
            return column >= 0 ? child(column + 1) : nullptr;
        }
        const QHeaderView* indicators = g->verticalHeader();
        const QPoint inIndicators = indicators->viewport()->mapFromGlobal(global);
        if (indicators->viewport()->rect().contains(inIndicators)) {
            const int row = indicators->logicalIndexAt(inIndicators);
            return row >= 0 ? child((row + 1) * (columnsOf(g) + 1)) : nullptr;
        }
        return nullptr;
    }

    // The current cell; none only while the grid has no rows.
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = grid()->currentIndex();
        return current.isValid() ? cellAt(current.row(), current.column()) : nullptr;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The table.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }

    QAccessibleInterface* cellAt(int row, int column) const override {
        const int columns = columnsOf(grid());
        if (row >= 0 && row < rowsOf(grid()) && column >= 0 && column < columns)
            return child((row + 1) * (columns + 1) + column + 1);
        // One vacant cell per column, and one for every place beside them.
        const int kept = column >= 0 && column < columns ? column : -1;
        return partAt(-2 - kept, Part::Cell, -1, kept);
    }

    int selectedCellCount() const override { return int(selection()->selectedIndexes().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (const QModelIndex& index : selection()->selectedIndexes())
            cells << cellAt(index.row(), index.column());
        return cells;
    }
    QString columnDescription(int column) const override {
        return column >= 0 && column < columnsOf(grid())
                   ? grid()->model()->headerData(column, Qt::Horizontal).toString()
                   : QString();
    }
    QString rowDescription(int row) const override {
        return row >= 0 && row < rowsOf(grid()) ? QString::number(row + 1) : QString();
    }
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override { return columnsOf(grid()); }
    int rowCount() const override { return rowsOf(grid()); }
    QList<int> selectedColumns() const override {
        QList<int> columns;
        for (const QModelIndex& index : selection()->selectedColumns())
            columns << index.column();
        return columns;
    }
    QList<int> selectedRows() const override {
        QList<int> rows;
        for (const QModelIndex& index : selection()->selectedRows())
            rows << index.row();
        return rows;
    }
    bool isColumnSelected(int column) const override {
        return selection()->isColumnSelected(column, QModelIndex());
    }
    bool isRowSelected(int row) const override {
        return selection()->isRowSelected(row, QModelIndex());
    }
    // Selecting a row makes it the current record; one row is always
    // selected, and whole columns never are.
    bool selectRow(int row) override {
        if (row < 0 || row >= rowsOf(grid()) || columnsOf(grid()) == 0)
            return false;
        grid()->setCurrentIndex(
            grid()->model()->index(row, qMax(0, grid()->currentIndex().column())));
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }

    // Every change but new values moves rows or columns: the parts go, and
    // are made again for the new shape when asked for.
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            forgetParts();
    }

private:
    DatasetGrid* grid() const { return static_cast<DatasetGrid*>(widget()); }
    QItemSelectionModel* selection() const { return grid()->selectionModel(); }

    QAccessibleInterface* partAt(int key, Part part, int row, int column) const {
        const auto found = m_parts.constFind(key);
        if (found != m_parts.cend()) {
            auto* known = dynamic_cast<GridPart*>(QAccessible::accessibleInterface(*found));
            if (known && known->is(part, row, column))
                return known;
            // Made for another shape of the grid.
            QAccessible::deleteAccessibleInterface(*found);
        }
        auto* made = new GridPart(grid(), part, row, column);
        m_parts.insert(key, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    void forgetParts() {
        for (const QAccessible::Id id : std::as_const(m_parts))
            QAccessible::deleteAccessibleInterface(id);
        m_parts.clear();
    }

    // By child number; vacant cells by -2 - column.
    mutable QHash<int, QAccessible::Id> m_parts;
};

QAccessibleInterface* gridFactory(const QString& key, QObject* object) {
    if (key != QLatin1String(DatasetGrid::staticMetaObject.className()))
        return nullptr;
    auto* grid = qobject_cast<DatasetGrid*>(object);
    return grid ? new GridTable(grid) : nullptr;
}

} // namespace

void InstallGridAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(gridFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace qv
