// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "reports/PrintLongServiceReport.h"
#include "reports/PrintMemberList.h"
#include "reports/PrintPhoneList.h"
#include "support/RegisterFixture.h"

#include "ReportTestSupport.h"

#include <QTest>

using namespace qv;
using test::at;
using test::cols;

namespace {

const QString DatePrinted = QStringLiteral("Date printed: 15/06/2014 10:30:00");
const QString Notice =
    QStringLiteral("This contact information should not be passed on to external contacts.");

QString phone(const QString& v) {
    return cols(v, {15, 15, 15, 15, 40});
}
QString memberRow(const QString& v) {
    return cols(v, {15, 15, 40, 10, 10, 7});
}
QString service(const QString& v) {
    return cols(v, {25, 25, 10, 10, 7});
}

} // namespace

class TestListReports : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void phoneListBreaksAfterTheLimit();
    void memberListLandscapeAndPortrait();
    void longServiceClosingBlockAlone();
    void emptyListsAndCancel();
    void noLineStartsBelowTheLimit();

private:
    // The list as the window opens it, past members included, after adding
    // `fillers` members "M01", "M02" ... who sort after the three below.
    void openList(int fillers = 0);

    std::unique_ptr<test::SettingsSandbox> m_settings;
    std::unique_ptr<test::Register> m_register;
    std::unique_ptr<Dataset> m_list;
    int m_fillers = 0;
};

void TestListReports::init() {
    test::pinRegional();
    Clock::setNowForTesting(QDateTime(QDate(2014, 6, 15), QTime(10, 30)));
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = std::make_unique<test::Register>();
    test::Register& r = *m_register;
    r.addPeriod(r.addMember({"Adams",
                             "Carl",
                             "3 Low Rd",
                             "Hull",
                             "HU1 1AA",
                             "01482 000000",
                             {},
                             "carl@example.org"}),
                QDate(2000, 3, 1), QDate(2010, 6, 1));
    r.addPeriod(
        r.addMember({"Brown", "Anne", "2 Mill Lane", "York", "YO1 7HH", {}, "07700 900123", {}}),
        QDate(2012, 6, 1));
    r.addPeriod(r.addMember({"Jones", "Dora", "4 Park Rd", {}, {}, {}, {}, "dora@example.org"}),
                QDate(2004, 1, 1));
}

void TestListReports::cleanup() {
    m_fillers = 0;
    m_list.reset();
    m_register.reset();
    m_settings.reset();
    Clock::resetNow();
    Regional::resetLocale();
}

void TestListReports::openList(int fillers) {
    for (int i = 0; i < fillers; ++i)
        m_register->addPeriod(
            m_register->addMember(QStringLiteral("M%1").arg(++m_fillers, 2, 10, QChar(u'0')),
                                  QStringLiteral("Max")),
            QDate(2013, 1, 1));
    m_list = std::make_unique<Dataset>(&m_register->connection());
    m_list->setSQL(MemberSQL::AllMembersSQL());
    m_list->open();
}

void TestListReports::phoneListBreaksAfterTheLimit() {
    openList(6);
    PrintDialogTestScope print;
    // Bottom limit 2050: the eighth row starts exactly there and stays.
    PrintDialogTest::queueRecording({QPageLayout::Landscape, 2500, 100});
    PrintPhoneList(*m_list);
    const RecordingCanvas& canvas = print.last();
    QCOMPARE(print.requests()[0].title, QStringLiteral("Quorvane - Phone List"));
    QCOMPARE(print.requests()[0].orientation, QPageLayout::Landscape);
    QCOMPARE(canvas.title(), QStringLiteral("Quorvane - Phone List"));
    QCOMPARE(canvas.fontFace(), QStringLiteral("Courier New"));
    QCOMPARE(canvas.pointSize(), 11);
    QVERIFY(canvas.ended() && !canvas.bold());

    const QString headings = phone("First Name|Surname|Phone|Mobile|E-mail");
    const auto filler = [](int n) { return phone(QStringLiteral("Max|M0%1|||").arg(n)); };
    QCOMPARE(headings.size(), 112);
    QCOMPARE(canvas.page(1),
             QStringList({at(450, true, headings),
                          at(650, false, phone("Carl|Adams|01482 000000||carl@example.org")),
                          at(850, false, phone("Anne|Brown||07700 900123|")),
                          at(1050, false, phone("Dora|Jones|||dora@example.org")),
                          at(1250, false, filler(1)), at(1450, false, filler(2)),
                          at(1650, false, filler(3)), at(1850, false, filler(4)),
                          at(2050, false, filler(5))}));
    QCOMPARE(canvas.page(2), QStringList({at(450, true, QStringLiteral("Page 2")),
                                          at(650, true, headings), at(850, false, filler(6)),
                                          at(1150, true, DatePrinted), at(1250, true, Notice)}));
    QCOMPARE(canvas.pageCount(), 2);

    // One unit less and that row starts past the limit: it goes over.
    PrintDialogTest::queueRecording({QPageLayout::Landscape, 2499, 100});
    PrintPhoneList(*m_list);
    QCOMPARE(print.last().page(1).size(), 8);
    QCOMPARE(print.last().page(2)[2], at(850, false, filler(5)));

    // Portrait narrows the columns to 75 characters.
    PrintDialogTest::queueRecording({}, QPageLayout::Portrait);
    PrintPhoneList(*m_list);
    QCOMPARE(print.last().texts()[1].text,
             cols("Carl|Adams|01482 000000||carl@example.org", {10, 10, 13, 13, 17}));
    QCOMPARE(print.last().texts()[0].text.size(), 75);
}

void TestListReports::memberListLandscapeAndPortrait() {
    openList(7);
    PrintDialogTestScope print;
    PrintDialogTest::queueRecording();
    PrintMemberList(*m_list, QStringLiteral("Member List"), false, -1);
    const RecordingCanvas& canvas = print.last();
    QCOMPARE(canvas.title(), QStringLiteral("Quorvane - Member List"));

    const QString title =
        QStringLiteral("Quorvane - ") + QStringLiteral("Member List").leftJustified(72);
    const QString headings = memberRow("First Name|Surname|Address|Joined|Left|Years");
    QCOMPARE(headings.size(), 112);
    // Rows every one and a half lines; the ninth starts at the limit (2000).
    // The address joins only the parts there are.
    const QStringList page1 = canvas.page(1);
    QCOMPARE(page1.size(), 11);
    QCOMPARE(page1.mid(0, 5),
             QStringList(
                 {at(450, true, title), at(650, true, headings),
                  at(800, false,
                     memberRow("Carl|Adams|3 Low Rd, Hull, HU1 1AA|01/03/2000|01/06/2010|10")),
                  at(950, false, memberRow("Anne|Brown|2 Mill Lane, York, YO1 7HH|01/06/2012||2")),
                  at(1100, false, memberRow("Dora|Jones|4 Park Rd|01/01/2004||10"))}));
    QCOMPARE(page1[10], at(2000, false, memberRow("Max|M06||01/01/2013||1")));
    QCOMPARE(
        canvas.page(2),
        QStringList({at(450, true, title), at(550, true, QStringLiteral("Page 2")),
                     at(750, true, headings), at(900, false, memberRow("Max|M07||01/01/2013||1")),
                     at(1150, true, DatePrinted), at(1250, true, Notice)}));

    // Portrait: narrower columns and two-digit years; a long caption is cut
    // in the title line and whole in the job's title.
    const QString longCaption = QStringLiteral("Find - ") + QString(80, u'x');
    PrintDialogTest::queueRecording({}, QPageLayout::Portrait);
    PrintMemberList(*m_list, longCaption, false, -1);
    QCOMPARE(print.last().title(), QStringLiteral("Quorvane - ") + longCaption);
    QCOMPARE(print.last().texts()[0].text, QStringLiteral("Quorvane - ") + longCaption.left(72));
    QCOMPARE(print.last().texts()[2].text,
             QStringLiteral("Carl         Adams        3 Low Rd, Hull, HU1   01/03/00   01/06/10   "
                            "10     "));
    QCOMPARE(print.last().texts()[1].text.size(), 77);
}

void TestListReports::longServiceClosingBlockAlone() {
    openList(2);
    const QString caption = QStringLiteral("Long Service for year 2014");
    PrintDialogTestScope print;
    // Five rows end at 1950; the closing block's first advance passes the
    // limit of 2000, so it starts a page of its own, without a page line.
    PrintDialogTest::queueRecording();
    PrintLongServiceReport(*m_list, caption, true, 2014);
    const RecordingCanvas& canvas = print.last();
    QCOMPARE(canvas.title(),
             QStringLiteral("Quorvane - Long Service for year 2014 - Years Service"));
    const QString title = QStringLiteral("Quorvane - ") + caption.leftJustified(72);
    const QString sub = QStringLiteral("(Dates Joined / Years Service)");
    const QString headings = service("First Name|Surname|Joined|Left|Years");
    QCOMPARE(headings.size(), 89);
    const QStringList page1 = canvas.page(1);
    QCOMPARE(page1.size(), 8);
    QCOMPARE(page1.mid(0, 5),
             QStringList({at(450, true, title), at(550, true, sub), at(750, true, headings),
                          at(950, false, service("Carl|Adams|01/03/2000|01/06/2010|15")),
                          at(1150, false, service("Anne|Brown|01/06/2012||0"))}));
    QCOMPARE(page1[7], at(1750, false, service("Max|M02|01/01/2013||0")));
    QCOMPARE(canvas.page(2), QStringList({at(450, true, DatePrinted)}));

    // A sixth row fills page 1; the seventh goes to a page with the header.
    openList(2);
    PrintDialogTest::queueRecording();
    PrintLongServiceReport(*m_list, caption, true, 2014);
    QCOMPARE(print.last().page(1).size(), 9);
    QCOMPARE(print.last().page(2),
             QStringList({at(450, true, title), at(550, true, sub),
                          at(650, true, QStringLiteral("Page 2")), at(850, true, headings),
                          at(1050, false, service("Max|M04|01/01/2013||0")),
                          at(1350, true, DatePrinted)}));
}

void TestListReports::emptyListsAndCancel() {
    openList();
    m_list->setFilter(QStringLiteral("(DateEnded = null)"));
    m_list->setFiltered(true);
    m_list->setSort(QStringLiteral("Surname DESC"));
    m_list->setRecNo(2);
    PrintDialogTestScope print;
    // Filter and sort hold: Jones before Brown, Adams (past) hidden.
    PrintDialogTest::queueRecording();
    PrintPhoneList(*m_list);
    QCOMPARE(print.last().page(1).size(), 5);
    QVERIFY(print.last().page(1)[1].contains(QStringLiteral("Jones")));
    QVERIFY(print.last().page(1)[2].contains(QStringLiteral("Brown")));
    QCOMPARE(m_list->recNo(), 2);

    PrintDialogTest::queueCancel();
    PrintLongServiceReport(*m_list, QStringLiteral("Cancelled"), false, -1);
    QVERIFY(print.requests().last().cancelled);
    QVERIFY(!print.requests().last().recording);
    QCOMPARE(m_list->recNo(), 2);

    // An empty list: titles, headings and the closing block on one page.
    m_list->close();
    m_list->setSQL(MemberSQL::MembershipLevelSQL());
    m_list->query().setAllParameters(Value(QStringLiteral("999")));
    m_list->open();
    QVERIFY(m_list->isEmpty());
    PrintDialogTest::queueRecording();
    PrintPhoneList(*m_list);
    PrintDialogTest::queueRecording();
    PrintMemberList(*m_list, QStringLiteral("None"), false, -1);
    PrintDialogTest::queueRecording();
    PrintLongServiceReport(*m_list, QStringLiteral("None"), false, -1);
    const auto positions = [&print](int request) {
        QStringList ys;
        for (const RecordedText& t : print.requests()[request].recording->texts())
            ys << QStringLiteral("%1:%2").arg(t.page).arg(t.y);
        return ys.join(u' ');
    };
    QCOMPARE(positions(2), QStringLiteral("1:450 1:750 1:850"));
    QCOMPARE(positions(3), QStringLiteral("1:450 1:650 1:900 1:1000"));
    QCOMPARE(positions(4), QStringLiteral("1:450 1:550 1:750 1:1050"));
}

void TestListReports::noLineStartsBelowTheLimit() {
    // Whatever the page's height, the closing block keeps above the bottom
    // limit (a line below it runs off the printable area), and is all there.
    openList(6);
    PrintDialogTestScope print;
    for (int height = 1300; height <= 2600; height += 50) {
        PrintDialogTest::queueRecording({QPageLayout::Landscape, height, 100});
        PrintPhoneList(*m_list);
        const QList<RecordedText>& texts = print.last().texts();
        for (const RecordedText& text : texts)
            QVERIFY2(text.y <= height - 450, qPrintable(QStringLiteral("%1 at %2 on a page of %3")
                                                            .arg(text.text.trimmed())
                                                            .arg(text.y)
                                                            .arg(height)));
        QCOMPARE(texts[texts.size() - 2].text, DatePrinted);
        QCOMPARE(texts.last().text, Notice);
        QCOMPARE(texts.last().page, texts[texts.size() - 2].page);
    }
}

QTEST_MAIN(TestListReports)
#include "tst_listreports.moc"
