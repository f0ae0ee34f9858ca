#include "platform/ui/DatasetGrid.h"

#include "platform/data/Dataset.h"
#include "platform/ui/DatasetModel.h"
#include "platform/ui/GridAccessible.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace qv {
namespace {

// The title row shows the hand cursor, since a click on a title sorts; over
// the edge between two titles the resize cursor the header sets wins.
class TitleHeader : public QHeaderView {
public:
    explicit TitleHeader(QWidget* parent)
        : QHeaderView(Qt::Horizontal, parent) {
        viewport()->setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        QHeaderView::mouseMoveEvent(event);
        viewport()->setCursor(testAttribute(Qt::WA_SetCursor) ? cursor().shape()
                                                              : Qt::PointingHandCursor);
    }
};

} // namespace

DatasetGrid::DatasetGrid(QWidget* parent)
    : QTableView(parent) {
    InstallGridAccessibility();
    auto* header = new TitleHeader(this);
    setHorizontalHeader(header);
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
    for (int c = 0; c < columns.size(); ++c)
        setColumnWidth(c, scaledWidth(columns[c].width));
    // After the view's own reset, which forgets the current cell: a grid with
    // rows always has one (a screen reader asks for it), also when the model
    // resets for new columns rather than new rows.
    connect(model, &QAbstractItemModel::modelReset, this, &DatasetGrid::followDataset);
    connect(model->dataset(), &Dataset::afterScroll, this, &DatasetGrid::followDataset);
    followDataset();
}

// Column widths are given in pixels of the small 8-point font the layout was
// designed with (ten digits in 60 pixels); a wider font widens every column
// alike, so the texts that fitted still fit.
int DatasetGrid::scaledWidth(int designPixels) const {
    const double digits = fontMetrics().horizontalAdvance(QStringLiteral("0123456789"));
    return qRound(designPixels * qMax(1.0, digits / 60.0));
}

void DatasetGrid::followDataset() {
    Dataset* data = dataset();
    if (!data || !data->isActive() || data->currentIndex() < 0 ||
        data->currentIndex() >= m_model->rowCount())
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex target = m_model->index(data->currentIndex(), column);
    if (target == currentIndex() && selectionModel()->isRowSelected(target.row(), QModelIndex()))
        return;
    m_following = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    m_following = false;
    scrollTo(target);
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
    if (current.row() != data->currentIndex())
        data->setRecNo(current.row() + 1);
}

} // namespace qv
