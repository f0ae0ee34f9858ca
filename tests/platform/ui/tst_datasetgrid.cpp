// SPDX-License-Identifier: GPL-3.0-or-later
// The data grid as a screen reader's bridge asks it: a current cell whenever
// there are rows, and an accessible table that never answers a null cell.
#include "pictures/Pictures.h"
#include "platform/data/Dataset.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/DatasetModel.h"
#include "platform/ui/DatasetNavigator.h"
#include "support/RegisterFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace qv;

class TestDatasetGrid : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() {
        delete m_grid; // with its dataset, before the register's connection
        m_register.reset();
    }
    void gridWithRowsAlwaysHasACurrentCell();
    void tableNeverAnswersANullCell();
    void gridOffTheScreenScrollsToItsRowWhenShown();
    void titlesShowTheHandAndTheirEdgesTheResizeCursor();
    void navigatorButtonsShowTheirPictures();

private:
    QAccessibleInterface* grid() const { return QAccessible::queryAccessibleInterface(m_grid); }
    QString title(int row, int column) const {
        QAccessibleInterface* cell = grid()->tableInterface()->cellAt(row, column);
        return cell->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name);
    }
    // The current cell is the dataset's row, and the one the table says has
    // the focus.
    bool followsTheRecord() const {
        const QModelIndex current = m_grid->currentIndex();
        return current.isValid() && current.row() == m_data->currentIndex() &&
               grid()->focusChild() ==
                   grid()->tableInterface()->cellAt(current.row(), current.column());
    }

    std::unique_ptr<test::Register> m_register;
    Dataset* m_data = nullptr;
    DatasetModel* m_model = nullptr;
    DatasetGrid* m_grid = nullptr;
};

void TestDatasetGrid::init() {
    m_register = std::make_unique<test::Register>();
    m_register->addMember("Brown", "Anne", "York");
    m_register->addMember("Jones", "Dora");
    m_register->addMember("Smith", "John", "Leeds");
    m_grid = new DatasetGrid;
    m_data = new Dataset(&m_register->connection(), m_grid);
    m_data->setSQL("SELECT Surname, FirstNames, City FROM Members ORDER BY Surname");
    m_data->open();
    m_model = new DatasetModel(m_data, m_grid);
    m_model->setColumns({{"Surname", "Surname", 80}, {"FirstNames", "First", 80}});
    m_grid->setDatasetModel(m_model);
    m_grid->show();
}

void TestDatasetGrid::gridWithRowsAlwaysHasACurrentCell() {
    QVERIFY(followsTheRecord());
    m_data->setRecNo(3);
    // New columns reset the model without a word from the dataset.
    m_model->setColumns({{"Surname", "Surname", 80}, {"City", "City", 80}});
    QVERIFY(followsTheRecord());
    m_data->setSort("Surname DESC");
    QVERIFY(followsTheRecord());
    m_data->setFilter("(Surname = null)");
    m_data->setFiltered(true);
    QVERIFY(!m_grid->currentIndex().isValid());
    QCOMPARE(grid()->focusChild(), nullptr);
    m_data->setFiltered(false);
    QVERIFY(followsTheRecord());
    m_data->requery();
    QVERIFY(followsTheRecord());
}

void TestDatasetGrid::tableNeverAnswersANullCell() {
    QAccessibleTableInterface* table = grid()->tableInterface();
    QCOMPARE(grid()->childCount(), (3 + 1) * (2 + 1));
    QCOMPARE(grid()->indexOfChild(table->cellAt(1, 1)), 8);
    QCOMPARE(table->cellAt(1, 1)->text(QAccessible::Name), QStringLiteral("Dora"));
    // Off the grid: a vacant cell that says so and still knows its column.
    for (const QPoint& at : {QPoint(-1, 0), QPoint(3, 1), QPoint(0, 2), QPoint(99, -5)}) {
        QAccessibleInterface* vacant = table->cellAt(at.x(), at.y());
        QVERIFY(vacant && !vacant->isValid() && vacant->tableCellInterface());
        QCOMPARE(vacant->tableCellInterface()->columnExtent(), 0);
        QVERIFY(!vacant->tableCellInterface()->isSelected());
    }
    QCOMPARE(title(3, 1), QStringLiteral("First"));
    // An empty grid names its titles through the cells of its first row, as
    // the bridge asks for them.
    m_data->setFilter("(Surname = null)");
    m_data->setFiltered(true);
    QCOMPARE(grid()->childCount(), 3);
    QCOMPARE(title(0, 0), QStringLiteral("Surname"));
    // Children made for another shape of the grid are made again.
    m_data->setFiltered(false);
    m_model->setColumns({{"City", "City", 80}});
    QCOMPARE(grid()->child(2)->role(), QAccessible::RowHeader);
    QCOMPARE(grid()->child(3)->text(QAccessible::Name), QStringLiteral("York"));
}

// A hidden grid (another tab) does not lay out its rows to scroll; it shows
// the dataset's row once it is shown, also when the row stayed the same.
void TestDatasetGrid::gridOffTheScreenScrollsToItsRowWhenShown() {
    const int rowHeight = m_grid->verticalHeader()->defaultSectionSize();
    m_grid->resize(300, m_grid->horizontalHeader()->sizeHint().height() + rowHeight * 3 / 2 + 4);
    const auto rowShown = [this] {
        const QRect cell = m_grid->visualRect(m_grid->currentIndex());
        return m_grid->currentIndex().row() == m_data->currentIndex() &&
               m_grid->viewport()->rect().contains(cell);
    };
    m_grid->hide();
    m_data->setRecNo(3);
    m_grid->show();
    QVERIFY(rowShown());

    m_grid->hide();
    m_grid->verticalScrollBar()->setValue(0);
    m_grid->selectionModel()->clearSelection();
    m_data->setRecNo(3); // the same row: only the grid's own scroll brings it back
    QVERIFY(!rowShown());
    m_grid->show();
    QVERIFY(rowShown());
}

void TestDatasetGrid::titlesShowTheHandAndTheirEdgesTheResizeCursor() {
    QHeaderView* titles = m_grid->horizontalHeader();
    QWidget* viewport = titles->viewport();
    QCOMPARE(viewport->cursor().shape(), Qt::PointingHandCursor);
    const int middle = titles->height() / 2;
    QTest::mouseMove(viewport, QPoint(titles->sectionSize(0) - 1, middle));
    QCOMPARE(viewport->cursor().shape(), Qt::SplitHCursor);
    QTest::mouseMove(viewport, QPoint(titles->sectionSize(0) / 2, middle));
    QCOMPARE(viewport->cursor().shape(), Qt::PointingHandCursor);
}

// Each navigator button shows its picture from the program's assets, drawn
// (not a blank square from a misspelt name).
void TestDatasetGrid::navigatorButtonsShowTheirPictures() {
    DatasetNavigator navigator;
    const struct {
        DatasetNavigator::Button button;
        const char16_t* picture;
    } expected[] = {{DatasetNavigator::First, u"nav-first"},
                    {DatasetNavigator::Prior, u"nav-prior"},
                    {DatasetNavigator::Next, u"nav-next"},
                    {DatasetNavigator::Last, u"nav-last"},
                    {DatasetNavigator::Refresh, u"nav-refresh"}};
    for (const auto& e : expected) {
        const QImage shown = navigator.button(e.button)->icon().pixmap(16).toImage();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown, Pictures::icon(e.picture).pixmap(16).toImage());
        bool inked = false;
        for (int y = 0; y < shown.height() && !inked; ++y)
            for (int x = 0; x < shown.width() && !inked; ++x)
                inked = qAlpha(shown.pixel(x, y)) > 0;
        QVERIFY2(inked, qPrintable(QString::fromUtf16(e.picture)));
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestDatasetGrid test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datasetgrid.moc"
