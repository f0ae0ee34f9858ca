// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/MemberSQL.h"
#include "db/RegisterTables.h"
#include "letters/LabelSheet.h"
#include "letters/LabelsFrm.h"
#include "platform/data/Dataset.h"
#include "platform/print/PrintDialogs.h"
#include "platform/print/RecordingCanvas.h"
#include "search/MemberListFrm.h"
#include "support/RegisterFixture.h"

#include "ModalHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>

using namespace qv;

namespace {

// A recording canvas 10 units to the mm, its printable area starting
// `originMm` from the paper's corner.
RecordingPageSetup sheetSetup(QPointF originMm = {}) {
    RecordingPageSetup setup;
    setup.orientation = QPageLayout::Portrait;
    setup.dotsPerMm = 10.0;
    setup.printableOriginMm = originMm;
    setup.pageWidth = 2100;
    setup.pageHeight = 2970;
    return setup;
}

// Label `i` has the single line "L<i>".
Labels::LabelJob job(const Labels::LabelSheet& sheet, int first, int count) {
    return {sheet, first, 10, count,
            [](int i) { return QStringList{QStringLiteral("L%1").arg(i)}; }};
}

} // namespace

class TestLabels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::pinRegional(); }
    void positionsOnTheSheet_data();
    void positionsOnTheSheet();
    void textShrinksThenIsCut_data();
    void textShrinksThenIsCut();
    void pdfLabelsStayInsideTheirBoxes();
    void memberListPrintsOneLabelPerHousehold();
};

// Faults: the first position counted from 0 or by columns, gaps or margins
// left out, the page break one label early or late, the printable area's
// offset added rather than taken off.
void TestLabels::positionsOnTheSheet_data() {
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QPointF>("origin");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QStringList>("expected"); // "page x,y text" of chosen labels

    // A4 21-up: 3 x 7 of 63.5 x 38.1 mm, left 7.25, top 15.15, column gap 2.5;
    // text 2 mm inside each label.
    QTest::newRow("A4 21-up from the top")
        << 0 << 1 << 4 << QPointF() << 1
        << QStringList{"1 93,172 L0", "1 753,172 L1", "1 1413,172 L2", "1 93,553 L3"};
    QTest::newRow("A4 21-up from label 20 over a page break")
        << 0 << 20 << 4 << QPointF() << 2
        << QStringList{"1 753,2458 L0", "1 1413,2458 L1", "2 93,172 L2", "2 753,172 L3"};
    QTest::newRow("A4 21-up, printable area 5 mm in")
        << 0 << 1 << 1 << QPointF(5, 5.15) << 1 << QStringList{"1 43,120 L0"};
    // US Letter 30-up: 3 x 10 of 66.675 x 25.4 mm, left 4.7625, top 12.7,
    // column gap 3.175.
    QTest::newRow("Letter 30-up from label 29, 33 labels: three sheets")
        << 3 << 29 << 33 << QPointF() << 3
        << QStringList{"1 1465,2433 L1", "2 68,147 L2", "2 766,147 L3", "3 68,147 L32"};
}

void TestLabels::positionsOnTheSheet() {
    QFETCH(int, sheet);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QPointF, origin);
    QFETCH(int, pages);
    QFETCH(QStringList, expected);

    RecordingCanvas canvas(sheetSetup(origin));
    canvas.beginDocument(QStringLiteral("Labels"));
    Labels::PaintLabels(canvas, job(Labels::BuiltInSheets()[size_t(sheet)], first, count));
    canvas.endDocument();
    QCOMPARE(canvas.pageCount(), pages);
    QStringList drawn;
    for (const RecordedText& t : canvas.texts())
        drawn << QStringLiteral("%1 %2,%3 %4").arg(t.page).arg(t.x).arg(t.y).arg(t.text);
    QCOMPARE(drawn.size(), count);
    for (const QString& label : expected)
        QVERIFY2(drawn.contains(label), qPrintable(label + u'\n' + drawn.join(u'\n')));
}

// Faults: a long text left at full size spilling onto the next label, a
// size chosen by width alone (or by height alone), the cut falling inside
// an accented letter, lines below the label drawn anyway.
void TestLabels::textShrinksThenIsCut_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("points");
    QTest::addColumn<QStringList>("drawn");

    // The A4 21-up label holds 595 x 341 units of text; a character of p
    // points is 2p wide and a line 4p high.
    const QString name29 = QString(29, u'n');
    QTest::newRow("fits at 10 pt")
        << QStringList{name29, "Leeds"} << 10 << QStringList{name29, "Leeds"};
    const QString name33 = QString(33, u'n');
    QTest::newRow("too wide: 9 pt") << QStringList{name33} << 9 << QStringList{name33};
    QStringList twelve;
    for (int i = 0; i < 12; ++i)
        twelve << QStringLiteral("line %1").arg(i);
    QTest::newRow("too many lines: 7 pt") << twelve << 7 << twelve;
    // At 6 pt a line holds 49 code units: the accented e would fit without
    // its accent, so the cut goes before it.
    const QString accented = QString(47, u'a') + QStringLiteral("e\u0301") + QString(20, u'z');
    QTest::newRow("too wide at 6 pt: cut before a whole letter")
        << QStringList{accented} << 6 << QStringList{QString(47, u'a') + QChar(0x2026)};
    QStringList sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen << QStringLiteral("line %1").arg(i);
    QStringList fourteen = sixteen.mid(0, 14);
    fourteen.last() += QChar(0x2026);
    QTest::newRow("too many lines at 6 pt: 14 shown, the last marked") << sixteen << 6 << fourteen;
}

void TestLabels::textShrinksThenIsCut() {
    QFETCH(QStringList, lines);
    QFETCH(int, points);
    QFETCH(QStringList, drawn);

    RecordingCanvas canvas(sheetSetup());
    canvas.beginDocument(QStringLiteral("Labels"));
    Labels::LabelJob one = job(Labels::BuiltInSheets()[0], 1, 1);
    one.linesOf = [&lines](int) { return lines; };
    Labels::PaintLabels(canvas, one);
    QStringList texts;
    for (const RecordedText& t : canvas.texts()) {
        QCOMPARE(t.pointSize, points);
        // Inside the label's text box: 9.25 to 68.75 mm across, 17.15 to
        // 51.25 mm down.
        QVERIFY2(t.x + int(t.text.size()) * 2 * t.pointSize <= 688, qPrintable(t.text));
        QVERIFY2(t.y + 4 * t.pointSize <= 513, qPrintable(t.text));
        texts << t.text;
    }
    QCOMPARE(texts, drawn);
}

// The same on real fonts: what the printer measures is what it draws, so
// no word of a long label crosses into the next one on the PDF page.
// Fault: widths measured in another font or resolution than the drawing's.
void TestLabels::pdfLabelsStayInsideTheirBoxes() {
    test::TempFolder folder;
    const QString pdf = folder.filePath(QStringLiteral("labels.pdf"));
    const Labels::LabelSheet& sheet = Labels::BuiltInSheets()[0];
    const QString longName = QStringLiteral("Maximilian Alexander Fitzwilliam-Montgomery");
    Labels::LabelJob labels = job(sheet, 1, 3);
    labels.pointSize = 14;
    labels.linesOf = [&](int i) {
        return QStringList{i == 1 ? longName + u' ' + longName : longName,
                           QStringLiteral("Flat 12, The Old Rectory, Long Lane"),
                           QStringLiteral("Leeds"), QStringLiteral("LS1 4AB")};
    };
    {
        PrintDialogTestScope print;
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Ok); // where the file went
        PrintDialogTest::queuePdf(pdf);
        QVERIFY(PrintDocument(
            {QStringLiteral("Labels"), QPageLayout::Portrait, QPageSize(QPageSize::A4), true},
            [&](PrintCanvas& canvas) {
                canvas.beginDocument(QStringLiteral("Labels"));
                Labels::PaintLabels(canvas, labels);
                canvas.endDocument();
            }));
    }
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QVERIFY(process.waitForFinished(30000));
    const QString boxes = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                                                 "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)<"));
    const double pt = 72.0 / 25.4;
    int words = 0;
    bool cut = false;
    for (auto m = word.globalMatch(boxes); m.hasNext();) {
        const auto w = m.next();
        ++words;
        cut = cut || w.captured(5).contains(QChar(0x2026));
        const double xMin = w.captured(1).toDouble(), xMax = w.captured(3).toDouble();
        const double yMax = w.captured(4).toDouble();
        // The label whose column holds the word's start.
        const int column =
            int((xMin / pt - sheet.leftMargin) / (sheet.labelWidth + sheet.columnGap));
        const QRectF box = sheet.labelRect(column + 1);
        QVERIFY2(xMax <= (box.right() - Labels::LabelPaddingMm + 0.5) * pt,
                 qPrintable(w.captured(5) + QStringLiteral(" ends at ") + w.captured(3)));
        QVERIFY2(yMax <= (box.bottom() - Labels::LabelPaddingMm + 0.5) * pt,
                 qPrintable(w.captured(5)));
    }
    QVERIFY(words >= 12);
    QVERIFY2(cut, "the doubled name should have been cut with an ellipsis");
}

// From the member list window: the labels dialog merges the two Smiths of
// one address, skips the used labels of the sheet and refuses a custom sheet
// larger than its paper without printing.
void TestLabels::memberListPrintsOneLabelPerHousehold() {
    test::SettingsSandbox settings;
    test::Register reg;
    RegisterTables::CreateMissing(reg.connection());
    const qint64 john =
        reg.addMember({"Smith", "John", "12 High St.", "Leeds", "LS1 4AB", {}, {}, {}});
    const qint64 mary =
        reg.addMember({"Smith", "Mary", "12 high st", "LEEDS", "ls14ab", {}, {}, {}});
    const qint64 ann = reg.addMember({"Jones", "Ann", "3 Low Road", "York", "YO1 1AA", {}, {}, {}});
    for (const qint64 id : {john, mary, ann})
        reg.addPeriod(id, QDate(2010, 1, 1));

    TfrmMemberList list;
    list.OpenMemberList(reg.connection(), MemberSQL::AllMembersSQL(), QString(), -1, false, false,
                        QStringLiteral("Member List"));
    PrintDialogTestScope print;
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok); // the refused sheet
    PrintDialogTest::queueRecording(sheetSetup());
    qvtest::ModalWatchdog watchdog;
    QString count;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* labels = qobject_cast<TfrmLabels*>(modal);
        if (!labels) {
            modal->close();
            return;
        }
        count = labels->lblCount->text();
        labels->cboSheet->setCurrentIndex(labels->cboSheet->count() - 1); // custom
        labels->spnRows->setValue(8); // 8 rows of 38.1 mm pass the foot of A4
        labels->btnPrint->click();
        labels->cboSheet->setCurrentIndex(0);
        labels->spnFirstPosition->setValue(3);
        labels->btnPrint->click();
        labels->reject();
    });
    list.btnLabels->click();
    QVERIFY(!watchdog.fired());
    QCOMPARE(count, QStringLiteral("2 labels for 3 members."));
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY(boxes.shown()[0].text.startsWith(QStringLiteral("The labels do not fit on the paper")));
    QCOMPARE(print.requests().size(), 1);
    QVERIFY(print.requests()[0].paper == QPageSize(QPageSize::A4));
    QStringList first;
    for (const RecordedText& t : print.last().texts())
        first << QStringLiteral("%1,%2 %3").arg(t.x).arg(t.y).arg(t.text);
    // Label 3 is the first row's last; Jones comes first in the list.
    QCOMPARE(first.mid(0, 1), QStringList{"1413,172 Ann Jones"});
    QVERIFY2(first.contains(QStringLiteral("93,553 John and Mary Smith")),
             qPrintable(first.join(u'\n')));
    QVERIFY(first.contains(QStringLiteral("93,593 12 High St.")));
}

QTEST_MAIN(TestLabels)
#include "tst_labels.moc"
