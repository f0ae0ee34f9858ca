// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "reports/PrintMemberDetails.h"
#include "support/RegisterFixture.h"

#include "ReportTestSupport.h"

#include <QTest>

using namespace qv;
using test::at;

namespace {

QString cols2(const QString& values, std::initializer_list<int> widths) {
    return test::cols(values, widths, QStringLiteral("  "));
}

QString block(const char* label, const QString& value) {
    return (QLatin1String(label) + value).leftJustified(72, u' ', true);
}

} // namespace

class TestMemberDetailsReport : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void wholeRecordOverFourPages();
    void memberWithoutSubRecords();
    void noLineStartsBelowTheLimit();

private:
    // The seven datasets of the member details window for `memberId`.
    void openRecord(qint64 memberId, const QStringList& notesSQL = MemberSQL::MemberNotesSQL());
    void print();

    std::unique_ptr<test::SettingsSandbox> m_settings;
    std::unique_ptr<test::Register> m_register;
    std::vector<std::unique_ptr<Dataset>> m_sets;
    qint64 m_smith = 0;
};

void TestMemberDetailsReport::init() {
    test::pinRegional();
    Clock::setNowForTesting(QDateTime(QDate(2014, 6, 15), QTime(10, 30)));
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = std::make_unique<test::Register>();
    test::Register& r = *m_register;
    m_smith = r.addMember({"Smith",
                           "John",
                           QString(57, u'a'),
                           "Leeds",
                           "LS1 4AB",
                           "0113 496 0000",
                           {},
                           QString(60, u'e') + QStringLiteral("@x.org")});
    const qint64 gold = r.addLevel(QStringLiteral("Gold"));
    r.insert(QStringLiteral("INSERT INTO DatesJoined (MembershipLevelID, MemberID, MembershipNo, "
                            "DateJoined, DateEnded, ReasonEnded) VALUES (:L, :M, 'A-17', "
                            "'2000-01-01 00:00:00', '2005-12-31 00:00:00', 'Moved away')"),
             {{"L", gold}, {"M", m_smith}});
    r.addPeriod(m_smith, QDate(2009, 3, 1));
    const qint64 locker =
        r.insert(QStringLiteral("INSERT INTO Assets (AssetName) VALUES ('Locker key')"));
    r.insert(QStringLiteral("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued, "
                            "AssetReference) VALUES (:M, :A, '2010-05-05 00:00:00', 'K-9')"),
             {{"M", m_smith}, {"A", locker}});
    r.insert(QStringLiteral("INSERT INTO FeePayments (MemberID, PaymentDate, ReceiptRef, "
                            "PaymentAmount, PaymentNotes) VALUES (:M, '2013-04-01 00:00:00', "
                            "'R-1', 1234.5, 'Annual fee'), (:M2, '2013-04-02 18:05:00', NULL, "
                            "123456789.5, NULL)"),
             {{"M", m_smith}, {"M2", m_smith}});
    r.insert(QStringLiteral("INSERT INTO FileAttachments (MemberID, FilePath, FileDescription, "
                            "DateAdded) VALUES (:M, '/tmp/form.pdf', 'Signed form', "
                            "'2011-07-07 00:00:00')"),
             {{"M", m_smith}});
    r.insert(QStringLiteral("INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (:M, :N)"),
             {{"M", m_smith},
              {"N", QStringLiteral("Line one\r\nLine two of a note that runs on well past the "
                                   "width of its column")}});
}

void TestMemberDetailsReport::cleanup() {
    m_sets.clear();
    m_register.reset();
    m_settings.reset();
    Clock::resetNow();
    Regional::resetLocale();
}

void TestMemberDetailsReport::openRecord(qint64 memberId, const QStringList& notesSQL) {
    m_sets = test::openMemberRecord(m_register->connection(), memberId, notesSQL);
}

void TestMemberDetailsReport::print() {
    test::printMemberRecord(m_sets);
}

void TestMemberDetailsReport::wholeRecordOverFourPages() {
    openRecord(m_smith);
    m_sets[1]->setRecNo(2);
    m_sets[4]->setRecNo(2);
    PrintDialogTestScope printing;
    PrintDialogTest::queueRecording();
    print();
    QCOMPARE(printing.requests()[0].orientation, QPageLayout::Portrait);
    const RecordingCanvas& canvas = printing.last();
    QCOMPARE(canvas.title(), QStringLiteral("Quorvane - Member Details"));
    QVERIFY(canvas.ended() && !canvas.bold());

    // The period rows take the page past the limit (2000) after the first.
    QCOMPARE(canvas.page(1),
             QStringList({
                 at(450, false, block("Surname:       ", "Smith")),
                 at(550, false, block("First Name:    ", "John")),
                 at(750, false, block("Address:       ", QString(57, u'a'))),
                 at(850, false, block("City:          ", "Leeds")),
                 at(950, false, block("Post Code:     ", "LS1 4AB")),
                 at(1150, false, block("Tel. No.:      ", "0113 496 0000")),
                 at(1250, false, block("Mobile No.:    ", "")),
                 at(1350, false, QStringLiteral("E-mail:        ") + QString(57, u'e')),
                 at(1750, true, QStringLiteral("****** Dates Joined ******")),
                 at(1850, true,
                    cols2("Membership Level|Memb. No.|Date Joined|Date Ended|Reason Ended",
                          {16, 10, 13, 13, 16})),
                 at(1950, false,
                    cols2("Gold|A-17|01/01/2000|31/12/2005|Moved away", {16, 10, 13, 13, 16})),
             }));
    QCOMPARE(canvas.page(1)[2].size() - 10, 72);
    // Mid-section: the page line, then the rows go on without a heading.
    QCOMPARE(canvas.page(2),
             QStringList({
                 at(550, true, QStringLiteral("Page 2")),
                 at(750, false, cols2("Member||01/03/2009||", {16, 10, 13, 13, 16})),
                 at(1150, true, QStringLiteral("****** Assets ******")),
                 at(1250, true,
                    cols2("Asset Name|Date Issued|Asset Ref.|Date Returned", {20, 11, 12, 15})),
                 at(1350, false, cols2("Locker key|05/05/2010|K-9|", {20, 11, 12, 15})),
                 at(1750, true, QStringLiteral("****** Profiles ******")),
                 at(1850, true, cols2("Profile Name|Start Date|End Date", {30, 15, 15})),
             }));
    // Before a section: the section starts below the page line. A date with
    // a time and an amount wider than its column are cut.
    QCOMPARE(
        canvas.page(3),
        QStringList({
            at(550, true, QStringLiteral("Page 3")),
            at(750, true, QStringLiteral("****** Fee Payments ******")),
            at(850, true,
               cols2("Payment Date|Receipt ref.|Payment Amount|Payment Notes", {13, 13, 14, 30})),
            at(950, false,
               cols2(QStringLiteral("01/04/2013|R-1|£1,234.50|Annual fee"), {13, 13, 14, 30})),
            at(1050, false,
               cols2(QStringLiteral("02/04/2013 18||£123,456,789.5|"), {13, 13, 14, 30})),
            at(1450, true, QStringLiteral("****** Associated Files ******")),
            at(1550, true, cols2("File Description|Date Added", {40, 15})),
            at(1650, false, cols2("Signed form|07/07/2011", {40, 15})),
        }));
    QCOMPARE(canvas.page(4),
             QStringList({
                 at(550, true, QStringLiteral("Page 4")),
                 at(750, true, QStringLiteral("****** Notes ******")),
                 at(950, false,
                    QStringLiteral("Line one\r\nLine two of a note that runs on well past the "
                                   "width of its col")),
                 at(1550, true, QStringLiteral("Date printed: 15/06/2014 10:30:00")),
                 at(1650, true,
                    QStringLiteral("This contact information should not be passed on to "
                                   "external contacts.")),
             }));
    QCOMPARE(canvas.pageCount(), 4);
    // Nothing moved in the window's grids.
    QCOMPARE(m_sets[1]->recNo(), 2);
    QCOMPARE(m_sets[4]->recNo(), 2);
    QCOMPARE(m_sets[0]->recNo(), 1);
}

void TestMemberDetailsReport::memberWithoutSubRecords() {
    openRecord(m_register->addMember(QStringLiteral("Lone"), QStringLiteral("Liz")));
    PrintDialogTestScope printing;
    PrintDialogTest::queueRecording({QPageLayout::Portrait, 6000, 100});
    print();
    const QStringList page = printing.last().page(1);
    QCOMPARE(printing.last().pageCount(), 1);
    // Eight block lines, six titles, five heading lines, the closing block.
    QCOMPARE(page.size(), 21);
    QCOMPARE(page[8], at(1750, true, QStringLiteral("****** Dates Joined ******")));
    QCOMPARE(page[10], at(2250, true, QStringLiteral("****** Assets ******")));
    QCOMPARE(page[18], at(4250, true, QStringLiteral("****** Notes ******")));
    QCOMPARE(page[19], at(4950, true, QStringLiteral("Date printed: 15/06/2014 10:30:00")));
}

void TestMemberDetailsReport::noLineStartsBelowTheLimit() {
    // Whatever the page's height, a section's title stays with its heading
    // and first row, and the closing block stays together, all above the
    // bottom limit: a line below it runs off the printable area.
    openRecord(m_smith);
    PrintDialogTestScope printing;
    for (int height = 2300; height <= 5000; height += 50) {
        PrintDialogTest::queueRecording({QPageLayout::Portrait, height, 100});
        print();
        const QList<RecordedText>& texts = printing.last().texts();
        int titles = 0;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const RecordedText& text = texts[i];
            QVERIFY2(text.y <= height - 450, qPrintable(QStringLiteral("%1 at %2 on a page of %3")
                                                            .arg(text.text.trimmed())
                                                            .arg(text.y)
                                                            .arg(height)));
            if (!text.text.startsWith(QStringLiteral("******")))
                continue;
            ++titles;
            // Followed on its page by its heading (or, for the notes, the note).
            QVERIFY(i + 1 < texts.size() && texts[i + 1].page == text.page);
        }
        QCOMPARE(titles, 6);
        QVERIFY(texts.last().text.startsWith(QStringLiteral("This contact information")));
        QCOMPARE(texts[texts.size() - 2].page, texts.last().page);
    }
}

QTEST_MAIN(TestMemberDetailsReport)
#include "tst_memberdetailsreport.moc"
