// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DatasetGrid.h"

#include "platform/data/Dataset.h"
#include "platform/ui/DatasetModel.h"
#include "platform/ui/GridAccessible.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace qv {
namespace {

// The title row shows the hand cursor, since a click on a title sorts; over
// the edge between two titles the resize cursor the header sets wins. The
// header sets that cursor on itself, where its viewport's hand would hide it,
// so each change of it is passed on to the viewport. (A filter on the table's
// own header: a header class of our own would be made beside the one the
// table always makes, and the two cost a fair part of opening a grid.)
class TitleCursor : public QObject {
public:
    explicit TitleCursor(QHeaderView* header)
        : QObject(header)
        , m_header(header) {
        header->viewport()->setCursor(Qt::PointingHandCursor);
        header->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_header && event->type() == QEvent::CursorChange)
            m_header->viewport()->setCursor(m_header->testAttribute(Qt::WA_SetCursor)
                                                ? m_header->cursor().shape()
                                                : Qt::PointingHandCursor);
        return QObject::eventFilter(watched, event);
    }

private:
    QHeaderView* m_header;
};

// Cell editors take no more than the column's declared width.
class WidthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        const auto* model = qobject_cast<const DatasetModel*>(index.model());
        auto* line = qobject_cast<QLineEdit*>(editor);
        const int field = model ? model->fieldIndexOf(index.column()) : -1;
        if (line && field >= 0 && model->dataset()->column(field).width > 0)
            line->setMaxLength(model->dataset()->column(field).width);
        return editor;
    }
};

} // namespace

DatasetGrid::DatasetGrid(QWidget* parent)
    : QTableView(parent) {
    InstallGridAccessibility();
    QHeaderView* header = horizontalHeader();
    new TitleCursor(header);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header, &QHeaderView::sectionClicked, this, &DatasetGrid::titleClicked);

    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    rows->setMinimumSectionSize(fontMetrics().height() + 6);
    rows->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("\u25B6")) + 12);
    rows->setSectionsClickable(false);
    rows->setHighlightSections(false);

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // The selected row stays marked while another control has the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}

Dataset* DatasetGrid::dataset() const {
    return m_model ? m_model->dataset() : nullptr;
}

void DatasetGrid::setDatasetModel(DatasetModel* model) {
    m_model = model;
    setModel(model);
    const auto& columns = model->columns();
    const double scale = designScale(); // measured once: a text measurement is not cheap
    for (int c = 0; c < columns.size(); ++c)
        setColumnWidth(c, qRound(columns[c].width * scale));
    Dataset* data = model->dataset();
    // After the view's own reset, which forgets the current cell: a grid with
    // rows always has one (a screen reader asks for it), also when the model
    // resets for new columns rather than new rows. Connected after the model's
    // own handlers, so the model has reset first.
    connect(model, &QAbstractItemModel::modelReset, this, &DatasetGrid::followDataset);
    connect(data, &Dataset::afterScroll, this, &DatasetGrid::followDataset);
    connect(data, &Dataset::rowsReset, this, &DatasetGrid::followDataset);
    connect(data, &Dataset::stateChanged, this, &DatasetGrid::followDataset);
    followDataset();
}

void DatasetGrid::setEditable(bool editable) {
    if (!m_model)
        return;
    m_model->setEditable(editable);
    setEditTriggers(editable
                        ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed
                        : QAbstractItemView::NoEditTriggers);
    if (editable && !dynamic_cast<WidthDelegate*>(itemDelegate()))
        setItemDelegate(new WidthDelegate(this));
    followDataset();
}

bool DatasetGrid::isEditable() const {
    return m_model && m_model->isEditable();
}

void DatasetGrid::commitEdit() {
    if (QWidget* editor = indexWidget(currentIndex()); editor && state() == EditingState) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool DatasetGrid::isTyping() const {
    const auto* editor = qobject_cast<const QLineEdit*>(indexWidget(currentIndex()));
    return state() == EditingState && editor && editor->isModified();
}

// In an editable grid Down on the last row appends a new one, as does Down on a new row that has
// been typed into (which posts it first); an untouched new row stays the last. Insert appends a
// new row from anywhere, and typing into a grid with no rows starts one with what is typed.
void DatasetGrid::keyPressEvent(QKeyEvent* event) {
    Dataset* data = dataset();
    // A read-only grid selects whole rows, so Home and End have no column to
    // go to: they go to the first and the last row.
    if (!isEditable() && data && data->isActive() && !data->isEmpty() &&
        (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        const int row = event->key() == Qt::Key_Home ? 0 : m_model->rowCount() - 1;
        const QModelIndex target =
            m_model->index(row, currentIndex().isValid() ? currentIndex().column() : 0);
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
        scrollTo(target);
        return;
    }
    if (isEditable() && data && data->isActive() && event->key() == Qt::Key_Down &&
        event->modifiers() == Qt::NoModifier && state() != EditingState) {
        const bool onNewRow = m_model->newRow() >= 0;
        const bool onLastRow = !onNewRow && currentIndex().row() == data->recordCount() - 1;
        if ((onNewRow && data->isModified()) || onLastRow || data->isEmpty()) {
            data->append();
            return;
        }
        if (onNewRow)
            return;
    }
    if (isEditable() && data && data->isActive() && state() != EditingState) {
        const bool plain =
            (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::NoModifier;
        // Shift+Insert pastes: only Insert alone starts a row.
        if (event->key() == Qt::Key_Insert &&
            (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            // An untouched new row is the new row already.
            if (m_model->newRow() < 0 || data->isModified())
                data->append();
            return;
        }
        const QString text = event->text();
        if (plain && data->isEmpty() && m_model->newRow() < 0 && !text.isEmpty() &&
            text.at(0).isPrint()) {
            data->append();
            // The new row is current now: the key opens its cell and is the first typed.
        }
    }
    QTableView::keyPressEvent(event);
}

// Column widths are given in pixels of the small 8-point font the layout was
// designed with (ten digits in 60 pixels); a wider font widens every column
// alike, so the texts that fitted still fit.
int DatasetGrid::scaledWidth(int designPixels) const {
    return qRound(designPixels * designScale());
}

double DatasetGrid::designScale() const {
    const double digits = fontMetrics().horizontalAdvance(QStringLiteral("0123456789"));
    return qMax(1.0, digits / 60.0);
}

void DatasetGrid::followDataset() {
    Dataset* data = dataset();
    if (!data || !data->isActive())
        return;
    const int row = m_model->newRow() >= 0 ? m_model->newRow() : data->currentIndex();
    if (row < 0 || row >= m_model->rowCount())
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex target = m_model->index(row, column);
    if (target == currentIndex() && selectionModel()->isRowSelected(target.row(), QModelIndex()))
        return;
    m_following = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    m_following = false;
    // A grid off the screen (on another tab, in a window not shown yet) has
    // no real size to scroll in, and scrolling would lay out all its rows
    // for nothing: it scrolls once it is shown.
    if (isVisible())
        scrollTo(target);
    else
        m_scrollOnShow = true;
}

void DatasetGrid::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    if (!m_scrollOnShow)
        return;
    m_scrollOnShow = false;
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}

void DatasetGrid::selectFirstColumn() {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.column() == 0)
        return;
    m_following = true;
    selectionModel()->setCurrentIndex(m_model->index(current.row(), 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    m_following = false;
}

void DatasetGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    Dataset* data = dataset();
    if (m_following || !data || !current.isValid() || !data->isActive())
        return;
    if (current.row() == m_model->newRow())
        return;
    // Leaving a new or changed row posts it (or drops it when untouched).
    if (current.row() != data->currentIndex() || data->state() == Dataset::State::Insert)
        data->setRecNo(current.row() + 1);
}

} // namespace qv
