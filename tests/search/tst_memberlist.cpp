// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalHelpers.h"
#include "db/MemberSQL.h"
#include "members/MemberFrm.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/ui/DBEdit.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/DatasetNavigator.h"
#include "reports/PrintShared.h"
#include "search/MemberListFrm.h"
#include "support/RegisterFixture.h"
#include "support/UrlCatcher.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>

using namespace qv;

namespace {

// COLORREF values: red in the low byte.
constexpr int Gold = 0x0000D7FF;   // #FFD700
constexpr int Navy = 0x00800000;   // #000080
constexpr int RedInk = 0x000000FF; // #FF0000

QString surnames(const Dataset& data) {
    QStringList names;
    const int column = data.fieldIndex(QStringLiteral("Surname"));
    for (int row = 0; row < data.recordCount(); ++row)
        names << data.textAt(row, column);
    return names.join(u',');
}

void clickTitle(TfrmMemberList& list, int column) {
    QHeaderView* header = list.dbgMembers->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// A right-click as the window system gives it: the press, then the
// context-menu event.
void rightClick(TfrmMemberList& list, const QPoint& at) {
    QWidget* viewport = list.dbgMembers->viewport();
    QTest::mouseClick(viewport, Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
}

// The colour painted near the right edge of a cell, clear of its text.
QColor cellColour(TfrmMemberList& list, int row, int column) {
    QTableView* grid = list.dbgMembers;
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    return grid->viewport()->grab().toImage().pixelColor(cell.right() - 3, cell.center().y());
}

} // namespace

class TestMemberList : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void yearsService_data();
    void yearsService();
    void gridShowsDatesAndYears();
    void recordCountFollowsMovesRequeryAndFilter();
    void keyboardMovesRowsAndOpensRecords();
    void emptyListHasNoPopup();
    void pastMembersListShowsEveryRow();
    void titleClicksSort();
    void levelColoursSpareTheSelectedRow();
    void popupCommands();
    void minimisingTakesTheOwnerDown();

private:
    std::unique_ptr<test::SettingsSandbox> m_settings;
    std::unique_ptr<test::Register> m_register;
    qint64 m_gold = 0, m_plain = 0;
};

void TestMemberList::init() {
    test::pinRegional();
    Clock::setNowForTesting(QDateTime(QDate(2014, 6, 15), QTime(10, 30)));
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = std::make_unique<test::Register>();
    test::Register& r = *m_register;
    m_gold = r.addLevel(QStringLiteral("Gold"), Gold, Navy);
    m_plain = r.addLevel(QStringLiteral("Plain"), -1, RedInk);
    const auto member = [&r](std::initializer_list<Value> v) {
        const std::vector<Value> f(v);
        return r.insert(QStringLiteral("INSERT INTO Members (Surname, FirstNames, Address, City, "
                                       "PostCode, TelNo, MobileNo, EmailAddress) VALUES (:S, :F, "
                                       ":A, :C, :P, :T, :M, :E)"),
                        {{"S", f[0]},
                         {"F", f[1]},
                         {"A", f[2]},
                         {"C", f[3]},
                         {"P", f[4]},
                         {"T", f[5]},
                         {"M", f[6]},
                         {"E", f[7]}});
    };
    const qint64 smith = member({"Smith", "John", "1 High St", "Leeds", "LS1 4AB", "0113 496 0000",
                                 Value(), "john@example.org"});
    const qint64 brown = member(
        {"Brown", "Anne", "2 Mill Lane", "York", "YO1 7HH", Value(), "07700 900123", Value()});
    const qint64 jones =
        r.addMember(QStringLiteral("Jones"), QStringLiteral("Dora"), QStringLiteral("Bath"),
                    QStringLiteral("4 Park Rd"), QStringLiteral("dora@example.org"));
    const qint64 adams =
        r.addMember(QStringLiteral("Adams"), QStringLiteral("Carl"), QStringLiteral("Hull"),
                    QStringLiteral("3 Low Rd"), QStringLiteral("carl@example.org"));
    r.addPeriod(smith, QDate(2009, 1, 1), QDate(), m_gold);
    r.addPeriod(brown, QDate(2012, 6, 1), QDate(), m_plain);
    r.addPeriod(jones, QDate(2004, 1, 1));
    r.addPeriod(adams, QDate(2000, 3, 1), QDate(2010, 6, 1));
}

void TestMemberList::cleanup() {
    m_register.reset();
    m_settings.reset();
    Clock::resetNow();
    Regional::resetLocale();
}

void TestMemberList::yearsService_data() {
    QTest::addColumn<QDate>("joined");
    QTest::addColumn<QDate>("ended");
    QTest::addColumn<int>("referenceYear");
    QTest::addColumn<bool>("rounding");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("years");
    const QDate none;
    const QDate today(2014, 6, 15);
    // 1826 days are 4.999 years.
    QTest::newRow("to a reference year")
        << QDate(2009, 1, 1) << none << 2014 << false << today << 4;
    QTest::newRow("rounded up to five") << QDate(2009, 1, 1) << none << 2014 << true << today << 5;
    QTest::newRow("whole decade") << QDate(2000, 1, 1) << none << 2010 << false << today << 10;
    QTest::newRow("a day short") << QDate(2000, 1, 2) << none << 2010 << false << today << 9;
    QTest::newRow("reference year ignores the end")
        << QDate(2000, 1, 1) << QDate(2003, 1, 1) << 2010 << false << today << 10;
    QTest::newRow("12 rounds to 10") << QDate(2002, 1, 1) << none << 2014 << true << today << 10;
    QTest::newRow("13 rounds to 15") << QDate(2000, 6, 1) << none << 2014 << true << today << 15;
    QTest::newRow("2 rounds to 0") << QDate(2012, 1, 1) << none << 2014 << true << today << 0;
    QTest::newRow("3 rounds to 5") << QDate(2011, 1, 1) << none << 2014 << true << today << 5;
    // A year before today is 365 days, or 366 when it holds a 29 February.
    QTest::newRow("year without 29 February")
        << QDate(2013, 6, 15) << none << -1 << false << QDate(2014, 6, 15) << 0;
    QTest::newRow("year with 29 February")
        << QDate(2015, 6, 15) << none << -1 << false << QDate(2016, 6, 15) << 1;
    QTest::newRow("past member ends at DateEnded")
        << QDate(2000, 3, 1) << QDate(2010, 6, 1) << -1 << false << today << 10;
    QTest::newRow("joined after the end counts the gap")
        << QDate(2016, 1, 2) << none << 2010 << false << today << 6;
}

void TestMemberList::yearsService() {
    QFETCH(QDate, joined);
    QFETCH(QDate, ended);
    QFETCH(int, referenceYear);
    QFETCH(bool, rounding);
    QFETCH(QDate, today);
    QFETCH(int, years);
    Clock::setNowForTesting(QDateTime(today, QTime(18, 0)));
    const QDateTime end = ended.isValid() ? QDateTime(ended, QTime(0, 0)) : QDateTime();
    QCOMPARE(
        PrintShared::YearsService(QDateTime(joined, QTime(0, 0)), end, rounding, referenceYear),
        years);
}

void TestMemberList::gridShowsDatesAndYears() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), 2014, true,
                        false, QStringLiteral("Long Service for year 2014"));
    QCOMPARE(list.windowTitle(), QStringLiteral("Long Service for year 2014"));
    QAbstractItemModel* model = list.dbgMembers->model();
    QCOMPARE(model->columnCount(), 11);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("First Name(s)"));
    QCOMPARE(model->headerData(9, Qt::Horizontal).toString(), QStringLiteral("Date Left"));
    QCOMPARE(model->headerData(10, Qt::Horizontal).toString(), QStringLiteral("Years"));
    // The design's widths, in proportion, and wide enough for what they hold.
    const DatasetGrid* grid = list.dbgMembers;
    QCOMPARE(grid->columnWidth(TfrmMemberList::colEmailAddress),
             qRound(grid->columnWidth(TfrmMemberList::colFirstNames) * 140 / 90.0));
    QVERIFY(grid->columnWidth(TfrmMemberList::colTelNo) >
            grid->fontMetrics().horizontalAdvance(QStringLiteral("0113 496 0000")));
    QVERIFY(grid->columnWidth(TfrmMemberList::colDateJoined) >
            grid->fontMetrics().horizontalAdvance(QStringLiteral("01/01/2009")));
    QCOMPARE(surnames(*list.adoMembers), QStringLiteral("Brown,Jones,Smith"));
    const auto cell = [&](int row, int column) {
        return model->index(row, column).data().toString();
    };
    QCOMPARE(cell(2, TfrmMemberList::colDateJoined), QStringLiteral("01/01/2009"));
    QCOMPARE(cell(2, TfrmMemberList::colYearsService), QStringLiteral(" 5"));
    QCOMPARE(cell(1, TfrmMemberList::colYearsService), QStringLiteral(" 10"));

    // Without a reference year a past member's years run to his DateEnded.
    TfrmMemberList past;
    past.OpenMemberList(m_register->connection(), MemberSQL::PastMembersSQL(), QString(), -1, false,
                        true, QStringLiteral("Past Members"));
    QCOMPARE(past.dbgMembers->model()->index(0, TfrmMemberList::colDateEnded).data().toString(),
             QStringLiteral("01/06/2010"));
    QCOMPARE(past.dbgMembers->model()->index(0, TfrmMemberList::colYearsService).data().toString(),
             QStringLiteral(" 10"));
}

void TestMemberList::recordCountFollowsMovesRequeryAndFilter() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        false, QStringLiteral("Member List"));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QLabel* count = list.lblRecordCount;
    QCOMPARE(count->text(), QStringLiteral("1 of 3 records"));
    QVERIFY(!list.chkIncludePastMembers->isChecked());
    QVERIFY(list.chkIncludePastMembers->isEnabled());

    list.dbnMembers->button(DatasetNavigator::Next)->click();
    QCOMPARE(count->text(), QStringLiteral("2 of 3 records"));
    QTest::keyClick(list.dbgMembers, Qt::Key_Down);
    QCOMPARE(count->text(), QStringLiteral("3 of 3 records"));
    QCOMPARE(list.dbgMembers->currentIndex().row(), 2);
    list.dbnMembers->button(DatasetNavigator::First)->click();
    QCOMPARE(count->text(), QStringLiteral("1 of 3 records"));
    QCOMPARE(list.dbgMembers->currentIndex().row(), 0);
    list.dbnMembers->button(DatasetNavigator::Last)->click();

    // Refresh re-runs the query and stays on the same record number.
    const qint64 young = m_register->addMember(QStringLiteral("Zeal"), QStringLiteral("Zoe"));
    m_register->addPeriod(young, QDate(2013, 2, 2));
    list.dbnMembers->button(DatasetNavigator::Refresh)->click();
    QCOMPARE(count->text(), QStringLiteral("3 of 4 records"));

    // The check box re-runs the query too: back to the first row.
    list.chkIncludePastMembers->click();
    QCOMPARE(count->text(), QStringLiteral("1 of 5 records"));
    QCOMPARE(surnames(*list.adoMembers), QStringLiteral("Adams,Brown,Jones,Smith,Zeal"));
    list.chkIncludePastMembers->click();
    QCOMPARE(count->text(), QStringLiteral("1 of 4 records"));
}

void TestMemberList::keyboardMovesRowsAndOpensRecords() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        false, QStringLiteral("Member List"));
    list.show();
    QVERIFY(QTest::qWaitForWindowActive(&list));
    // The rows have the keyboard, not the Print button above them.
    QCOMPARE(QApplication::focusWidget(), list.dbgMembers);
    QLabel* count = list.lblRecordCount;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(count->text(), QStringLiteral("2 of 3 records"));
    // Whole rows are selected: Home and End go to the first and last row,
    // as Ctrl+Home and Ctrl+End do.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QCOMPARE(count->text(), QStringLiteral("3 of 3 records"));
    QCOMPARE(list.dbgMembers->currentIndex().row(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    QCOMPARE(count->text(), QStringLiteral("1 of 3 records"));
    QCOMPARE(list.dbgMembers->currentIndex().row(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(count->text(), QStringLiteral("3 of 3 records"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(count->text(), QStringLiteral("1 of 3 records"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);

    // Enter opens the current row's member, as a double-click does; the
    // keypad's Enter too. Nothing else (no print dialog) opens.
    for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        qvtest::ModalWatchdog watchdog;
        QString opened;
        qvtest::WhenModal([&opened](QWidget* window) {
            auto* member = qobject_cast<TfrmMember*>(window);
            opened = member ? member->dbedtSurname->text()
                            : QString::fromLatin1(window->metaObject()->className());
            qobject_cast<QDialog*>(window)->reject();
        });
        QTest::keyClick(list.dbgMembers, enter,
                        enter == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QVERIFY(!watchdog.fired());
        QCOMPARE(opened, QStringLiteral("Jones"));
        QCOMPARE(count->text(), QStringLiteral("2 of 3 records"));
        QVERIFY(!m_register->connection().inTransaction());
    }
    // Esc from the rows closes the list.
    QTest::keyClick(list.dbgMembers, Qt::Key_Escape);
    QVERIFY(!list.isVisible());
    QCOMPARE(list.result(), int(QDialog::Rejected));
}

void TestMemberList::emptyListHasNoPopup() {
    // A level whose only member has left: hidden until past members are shown.
    const qint64 retired = m_register->addLevel(QStringLiteral("Retired"));
    const qint64 gone = m_register->addMember(QStringLiteral("Gone"), QStringLiteral("Gary"));
    m_register->addPeriod(gone, QDate(2001, 1, 1), QDate(2005, 1, 1), retired);

    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::MembershipLevelSQL(),
                        QString::number(retired), -1, false, false, QStringLiteral("Retired"));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.lblRecordCount->text(), QStringLiteral("No records found"));
    rightClick(list, QPoint(40, 10));
    QVERIFY(!list.mnuPopup->isVisible());
    QVERIFY(!QApplication::activePopupWidget());

    list.chkIncludePastMembers->click();
    QCOMPARE(list.lblRecordCount->text(), QStringLiteral("1 of 1 records"));
    list.chkIncludePastMembers->click();
    QCOMPARE(list.lblRecordCount->text(), QStringLiteral("No records found"));

    // With a row the menu opens on right-click.
    list.chkIncludePastMembers->click();
    const QRect first = list.dbgMembers->visualRect(list.dbgMembers->model()->index(0, 0));
    rightClick(list, first.center());
    QTRY_VERIFY(list.mnuPopup->isVisible());
    list.mnuPopup->close();
}

void TestMemberList::pastMembersListShowsEveryRow() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::PastMembersSQL(), QString(), -1, false,
                        true, QStringLiteral("Past Members"));
    QVERIFY(list.chkIncludePastMembers->isChecked());
    QVERIFY(!list.chkIncludePastMembers->isEnabled());
    QVERIFY(!list.adoMembers->filtered());
    QCOMPARE(surnames(*list.adoMembers), QStringLiteral("Adams"));
}

void TestMemberList::titleClicksSort() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        true, QStringLiteral("Member List"));
    list.resize(1600, 500);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QHeaderView* header = list.dbgMembers->horizontalHeader();
    QCOMPARE(header->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(list.dbgMembers->viewport()->cursor().shape(), Qt::ArrowCursor);

    // Ascending, descending, ascending; another column starts ascending.
    const struct {
        int column;
        const char* sort;
        const char* order;
    } clicks[] = {
        {TfrmMemberList::colFirstNames, "FirstNames ASC", "Brown,Adams,Jones,Smith"},
        {TfrmMemberList::colFirstNames, "FirstNames DESC", "Smith,Jones,Adams,Brown"},
        {TfrmMemberList::colFirstNames, "FirstNames ASC", "Brown,Adams,Jones,Smith"},
        {TfrmMemberList::colSurname, "Surname ASC", "Adams,Brown,Jones,Smith"},
        {TfrmMemberList::colSurname, "Surname DESC", "Smith,Jones,Brown,Adams"},
        {TfrmMemberList::colAddress, "Address ASC", "Smith,Brown,Adams,Jones"},
        {TfrmMemberList::colCity, "City DESC", "Brown,Smith,Adams,Jones"},
        {TfrmMemberList::colPostCode, "PostCode ASC", "Adams,Jones,Smith,Brown"},
        {TfrmMemberList::colTelNo, "TelNo ASC", "Adams,Brown,Jones,Smith"},
        {TfrmMemberList::colMobileNo, "MobileNo DESC", "Brown,Adams,Jones,Smith"},
        {TfrmMemberList::colEmailAddress, "EmailAddress ASC", "Brown,Adams,Jones,Smith"},
        {TfrmMemberList::colDateJoined, "DateJoined ASC", "Adams,Jones,Smith,Brown"},
        {TfrmMemberList::colDateEnded, "DateEnded ASC", "Brown,Jones,Smith,Adams"},
        {TfrmMemberList::colYearsService, "DateJoined ASC", "Adams,Jones,Smith,Brown"},
        {TfrmMemberList::colYearsService, "DateJoined DESC", "Brown,Smith,Jones,Adams"},
        {TfrmMemberList::colYearsService, "DateJoined ASC", "Adams,Jones,Smith,Brown"},
    };
    int previous = -1;
    for (const auto& click : clicks) {
        // A descending step that follows another column needs its ascending click first.
        if (QByteArray(click.sort).endsWith("DESC") && click.column != previous)
            clickTitle(list, click.column);
        clickTitle(list, click.column);
        previous = click.column;
        QCOMPARE(list.adoMembers->sort(), QString::fromLatin1(click.sort));
        QCOMPARE(surnames(*list.adoMembers), QString::fromLatin1(click.order));
    }
    // The sort holds until the query runs again.
    list.dbnMembers->button(DatasetNavigator::Refresh)->click();
    QCOMPARE(list.adoMembers->sort(), QString());
    QCOMPARE(surnames(*list.adoMembers), QStringLiteral("Adams,Brown,Jones,Smith"));
}

void TestMemberList::levelColoursSpareTheSelectedRow() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        false, QStringLiteral("Member List"));
    list.resize(1600, 500);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    // Rows: Brown (Plain: red ink only), Jones (default level), Smith (Gold on navy ink).
    QAbstractItemModel* model = list.dbgMembers->model();
    const QColor base = list.dbgMembers->palette().color(QPalette::Base);
    const QColor highlight =
        list.dbgMembers->palette().color(QPalette::Active, QPalette::Highlight);

    QCOMPARE(cellColour(list, 0, 7), highlight); // Brown is selected
    QCOMPARE(cellColour(list, 1, 7), base);
    QCOMPARE(cellColour(list, 2, 7), QColor(0xFF, 0xD7, 0x00));
    QCOMPARE(model->index(2, 3).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(0x00, 0x00, 0x80));
    QVERIFY(!model->index(1, 3).data(Qt::ForegroundRole).isValid());
    QVERIFY(!model->index(0, 3).data(Qt::ForegroundRole).isValid());

    list.adoMembers->setRecNo(3);
    QCOMPARE(cellColour(list, 2, 7), highlight);
    QCOMPARE(cellColour(list, 2, TfrmMemberList::colYearsService), highlight);
    QVERIFY(!model->index(2, 3).data(Qt::ForegroundRole).isValid());
    QCOMPARE(model->index(0, 3).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    QVERIFY(!model->index(0, 3).data(Qt::BackgroundRole).isValid());
    // Selection colours stay when the grid loses the focus.
    list.btnClose->setFocus();
    QCOMPARE(cellColour(list, 2, 7), highlight);
}

void TestMemberList::popupCommands() {
    qv::test::UrlCatcher mail({"mailto"});

    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        false, QStringLiteral("Member List"));
    // Brown has no address: Send E-mail is off for her row.
    list.mnuPopupPopup();
    QVERIFY(!list.mnuPopupSendEmail->isEnabled());
    QVERIFY(list.mnuPopupEmailAll->isEnabled());
    QVERIFY(list.mnuPopupCopyRow->isEnabled());

    list.mnuPopupEmailAll->trigger();
    QCOMPARE(mail.urls.size(), 1);
    QCOMPARE(mail.urls[0].scheme(), QStringLiteral("mailto"));
    QCOMPARE(mail.urls[0].path(), QStringLiteral("dora@example.org, john@example.org, "));

    list.adoMembers->setRecNo(3);
    list.mnuPopupPopup();
    QVERIFY(list.mnuPopupSendEmail->isEnabled());
    list.mnuPopupSendEmail->trigger();
    QCOMPARE(mail.urls.size(), 2);
    QCOMPARE(mail.urls[1].toString(), QStringLiteral("mailto:john@example.org"));

    // Smith has no mobile number: nothing between its two separators.
    list.mnuPopupCopyRow->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("John - Smith - 1 High St - Leeds - LS1 4AB - 0113 496 0000 -  - "
                            "john@example.org - 01/01/2009 - "));
    list.mnuPopupCopyNameAddress->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("John Smith\r\n1 High St\r\nLeeds\r\nLS1 4AB\r\n"));

    // Past members join the address list once they are shown.
    list.chkIncludePastMembers->click();
    QCOMPARE(list.EmailAddressList(),
             QStringLiteral("carl@example.org, dora@example.org, john@example.org, "));
    QCOMPARE(list.adoMembers->recNo(), 1);
}

void TestMemberList::minimisingTakesTheOwnerDown() {
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    TfrmMemberList list(&owner);
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        false, QStringLiteral("Member List"));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    list.showMinimized();
    QTRY_VERIFY(owner.isMinimized());
    owner.showNormal();
    QTRY_VERIFY(!list.isMinimized());
    QVERIFY(list.isVisible());
    QVERIFY(list.isMaximized());
}

QTEST_MAIN(TestMemberList)
#include "tst_memberlist.moc"
