// The data grid as a screen reader's bridge asks it: a current cell whenever
// there are rows, and an accessible table that never answers a null cell.
#include "platform/data/Dataset.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/DatasetModel.h"
#include "support/RegisterFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

using namespace qv;

namespace {

QString NameOf(QAccessibleInterface* iface) {
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("(null)");
}

} // namespace

class TestDatasetGrid : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void gridWithRowsAlwaysHasACurrentCell();
    void tableNeverAnswersANullCell();

private:
    // The grid's current cell is the dataset's row, and the one its table
    // says has the focus.
    bool followsTheRecord() const;
    QAccessibleTableInterface* table() const {
        return QAccessible::queryAccessibleInterface(m_grid.get())->tableInterface();
    }

    std::unique_ptr<test::Register> m_register;
    std::unique_ptr<Dataset> m_data;
    std::unique_ptr<DatasetModel> m_model;
    std::unique_ptr<DatasetGrid> m_grid;
};

void TestDatasetGrid::init() {
    m_register = std::make_unique<test::Register>();
    m_register->addMember("Brown", "Anne", "York");
    m_register->addMember("Jones", "Dora");
    m_register->addMember("Smith", "John", "Leeds");
    m_data = std::make_unique<Dataset>(&m_register->connection());
    m_data->setSQL("SELECT Surname, FirstNames, City FROM Members ORDER BY Surname");
    m_data->open();
    m_model = std::make_unique<DatasetModel>(m_data.get());
    m_model->setColumns({{"Surname", "Surname", 80}, {"FirstNames", "First", 80}});
    m_grid = std::make_unique<DatasetGrid>();
    m_grid->setDatasetModel(m_model.get());
    m_grid->show();
}

void TestDatasetGrid::cleanup() {
    m_grid.reset();
    m_model.reset();
    m_data.reset();
    m_register.reset();
}

bool TestDatasetGrid::followsTheRecord() const {
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid() || current.row() != m_data->currentIndex())
        return false;
    QAccessibleInterface* focus = QAccessible::queryAccessibleInterface(m_grid.get())->focusChild();
    return focus && focus == table()->cellAt(current.row(), current.column());
}

void TestDatasetGrid::gridWithRowsAlwaysHasACurrentCell() {
    QVERIFY(followsTheRecord());
    m_data->setRecNo(3);
    QVERIFY(followsTheRecord());
    // New columns reset the model without a word from the dataset.
    m_model->setColumns({{"Surname", "Surname", 80}, {"City", "City", 80}, {"X", "X", 20}});
    QVERIFY(followsTheRecord());
    m_data->setSort("Surname DESC");
    QVERIFY(followsTheRecord());
    m_data->setFilter("(City = null)");
    m_data->setFiltered(true);
    QCOMPARE(m_model->rowCount(), 1);
    QVERIFY(followsTheRecord());
    m_data->setFilter("(Surname = null)");
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(!m_grid->currentIndex().isValid());
    QCOMPARE(QAccessible::queryAccessibleInterface(m_grid.get())->focusChild(), nullptr);
    m_data->setFiltered(false);
    QVERIFY(followsTheRecord());
    m_data->requery();
    QVERIFY(followsTheRecord());
}

void TestDatasetGrid::tableNeverAnswersANullCell() {
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(m_grid.get());
    QCOMPARE(grid->role(), QAccessible::Table);
    QAccessibleTableInterface* cells = table();
    QCOMPARE(cells->rowCount(), 3);
    QCOMPARE(cells->columnCount(), 2);
    // Numbered as QTableView numbers them in its focus events: the corner,
    // the titles, then each row's indicator and its cells.
    QCOMPARE(grid->childCount(), 4 * 3);
    const QStringList names = {"",  "Surname", "First", "1", "Brown", "Anne",
                               "2", "Jones",   "Dora",  "3", "Smith", "John"};
    for (int i = 0; i < grid->childCount(); ++i) {
        QAccessibleInterface* part = grid->child(i);
        QVERIFY(part && part->isValid());
        QCOMPARE(part->text(QAccessible::Name), names[i]);
        QCOMPARE(grid->indexOfChild(part), i);
        QCOMPARE(part->parent(), grid);
    }
    QCOMPARE(grid->child(5)->role(), QAccessible::Cell);
    QCOMPARE(grid->child(6)->role(), QAccessible::RowHeader);
    QCOMPARE(cells->cellAt(1, 1), grid->child(8));
    QAccessibleTableCellInterface* dora = cells->cellAt(1, 1)->tableCellInterface();
    QCOMPARE(NameOf(dora->columnHeaderCells().value(0)), QStringLiteral("First"));
    QCOMPARE(NameOf(dora->rowHeaderCells().value(0)), QStringLiteral("2"));
    QVERIFY(!dora->isSelected());

    // Taking the focus, or being selected, makes a row the current record.
    cells->cellAt(1, 1)->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    QCOMPARE(m_data->recNo(), 2);
    QVERIFY(dora->isSelected());
    QVERIFY(cells->selectRow(2));
    QCOMPARE(m_data->recNo(), 3);
    QVERIFY(!cells->selectRow(3));

    // Off the grid: a vacant cell, never null, that still knows its column.
    for (const QPoint& at : {QPoint(-1, 0), QPoint(3, 1), QPoint(0, 2), QPoint(99, -5)}) {
        QAccessibleInterface* vacant = cells->cellAt(at.x(), at.y());
        QVERIFY(vacant && !vacant->isValid());
        QVERIFY(vacant->tableCellInterface());
        QCOMPARE(vacant->tableCellInterface()->columnExtent(), 0);
        QVERIFY(!vacant->tableCellInterface()->isSelected());
    }
    QCOMPARE(NameOf(cells->cellAt(3, 1)->tableCellInterface()->columnHeaderCells().value(0)),
             QStringLiteral("First"));

    // An empty grid still names its titles, through cells of its first row.
    m_data->setFilter("(Surname = null)");
    m_data->setFiltered(true);
    QCOMPARE(grid->childCount(), 3);
    QCOMPARE(NameOf(cells->cellAt(0, 0)->tableCellInterface()->columnHeaderCells().value(0)),
             QStringLiteral("Surname"));

    // Parts made for another shape are made again.
    m_data->setFiltered(false);
    m_model->setColumns({{"City", "City", 80}});
    QCOMPARE(grid->child(2)->role(), QAccessible::RowHeader);
    QCOMPARE(NameOf(grid->child(3)), QStringLiteral("York"));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestDatasetGrid test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datasetgrid.moc"
