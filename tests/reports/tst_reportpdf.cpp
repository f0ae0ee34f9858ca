// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/MemberSQL.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/SavedFileMessage.h"
#include "reports/PrintLongServiceReport.h"
#include "reports/PrintMemberDetails.h"
#include "reports/PrintMemberList.h"
#include "reports/PrintPhoneList.h"
#include "reports/PrintShared.h"
#include "support/RegisterFixture.h"

#include "ModalHelpers.h"
#include "ReportTestSupport.h"

#include <QDir>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <algorithm>

using namespace qv;

namespace {

// The output of one of poppler's tools on a PDF file.
QString poppler(const char* tool, const QStringList& arguments) {
    QProcess process;
    process.start(QString::fromLatin1(tool), arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfText(const QString& file) {
    return poppler("pdftotext", {QStringLiteral("-layout"), file, QStringLiteral("-")});
}

int pdfPages(const QString& file) {
    return QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
        .match(poppler("pdfinfo", {file}))
        .captured(1)
        .toInt();
}

bool landscape(const QString& file) {
    const auto size = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
                          .match(poppler("pdfinfo", {file}));
    return size.captured(1).toDouble() > size.captured(2).toDouble();
}

// The least room between a word and the bottom edge of its page, in mm.
double footRoomMm(const QString& file) {
    const QString boxes =
        poppler("pdftotext", {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    const QRegularExpression tag(
        QStringLiteral("<page width=\"[\\d.]+\" height=\"([\\d.]+)\"|yMax=\"([\\d.]+)\""));
    double pageHeight = 0, least = 1e9;
    for (auto match = tag.globalMatch(boxes); match.hasNext();) {
        const auto found = match.next();
        if (found.hasCaptured(1))
            pageHeight = found.captured(1).toDouble();
        else
            least = std::min(least, pageHeight - found.captured(2).toDouble());
    }
    return least * 25.4 / 72.0;
}

// The lines of `text` with their runs of blanks made one.
QStringList squeezed(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        lines << line.simplified();
    return lines;
}

} // namespace

class TestReportPdf : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void listReportsToPdf();
    void previewDrawsWhatPrints();
    void memberDetailsToPdf();
    void errorLeavesNoHalfFile();
    void accentsAndEmojiKeepTheColumns();
    void onlyThePagesChosen();
    void previewOpensLarge();

private:
    std::unique_ptr<Dataset> openList();
    std::vector<std::unique_ptr<Dataset>> openRecord(const QStringList& notesSQL);

    std::unique_ptr<test::SettingsSandbox> m_settings;
    std::unique_ptr<test::Register> m_register;
    test::TempFolder m_out;
    qint64 m_first = 0;
};

void TestReportPdf::initTestCase() {
    test::pinRegional();
    Clock::setNowForTesting(QDateTime(QDate(2014, 6, 15), QTime(10, 30)));
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = std::make_unique<test::Register>();
    for (int i = 1; i <= 60; ++i) {
        const qint64 id =
            m_register->addMember({QStringLiteral("Surname%1").arg(i, 2, 10, QChar(u'0')),
                                   "Ann",
                                   QStringLiteral("%1 High Street").arg(i),
                                   "Leeds",
                                   "LS1 4AB",
                                   "0113 496 0000",
                                   {},
                                   QStringLiteral("ann%1@example.org").arg(i)});
        m_register->addPeriod(id, QDate(2000 + i % 10, 1, 1));
        if (i == 1)
            m_first = id;
    }
    m_register->insert(
        QStringLiteral("INSERT INTO FeePayments (MemberID, PaymentDate, ReceiptRef, PaymentAmount) "
                       "VALUES (:M, '2013-04-01 00:00:00', 'R-1', 25)"),
        {{"M", m_first}});
    m_register->insert(QStringLiteral("INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (:M, "
                                      "'Keeps the keys')"),
                       {{"M", m_first}});
}

void TestReportPdf::cleanupTestCase() {
    m_register.reset();
    m_settings.reset();
    Clock::resetNow();
    Regional::resetLocale();
}

std::unique_ptr<Dataset> TestReportPdf::openList() {
    auto list = std::make_unique<Dataset>(&m_register->connection());
    list->setSQL(MemberSQL::AllMembersSQL());
    list->open();
    return list;
}

std::vector<std::unique_ptr<Dataset>> TestReportPdf::openRecord(const QStringList& notesSQL) {
    return test::openMemberRecord(m_register->connection(), m_first, notesSQL);
}

void TestReportPdf::listReportsToPdf() {
    auto list = openList();
    PrintDialogTestScope print;
    MessageBoxTestScope boxes;
    for (int i = 0; i < 3; ++i)
        boxes.queue(MessageResult::Ok);
    const QString phone = m_out.filePath(QStringLiteral("phone.pdf"));
    const QString members = m_out.filePath(QStringLiteral("members.pdf"));
    const QString service = m_out.filePath(QStringLiteral("service.pdf"));
    PrintDialogTest::queuePdf(phone);
    PrintPhoneList(*list);
    PrintDialogTest::queuePdf(members);
    PrintMemberList(*list, QStringLiteral("Member List"), false, -1);
    PrintDialogTest::queuePdf(service, QPageLayout::Portrait);
    PrintLongServiceReport(*list, QStringLiteral("Long Service for year 2014"), true, 2014);
    // Full pages keep their last line clear of the paper's foot.
    for (const QString& file : {phone, members, service})
        QVERIFY2(footRoomMm(file) >= 10.0, qPrintable(QString::number(footRoomMm(file))));
    // Each file's place is told, once it is there.
    QCOMPARE(boxes.shown().size(), 3);
    QCOMPARE(boxes.shown()[1].text,
             FileSavedText(QStringLiteral("The report was printed to a PDF file."), members));

    const QStringList phoneLines = squeezed(pdfText(phone));
    QVERIFY2(phoneLines.contains(QStringLiteral("First Name Surname Phone Mobile E-mail")),
             qPrintable(phoneLines.join(u'\n')));
    QVERIFY(phoneLines.contains(QStringLiteral("Ann Surname01 0113 496 0000 ann1@example.org")));
    QVERIFY(phoneLines.contains(QStringLiteral("Page 2")));
    QVERIFY(phoneLines.contains(QStringLiteral("Date printed: 15/06/2014 10:30:00")));
    QVERIFY(phoneLines.contains(
        QStringLiteral("This contact information should not be passed on to external contacts.")));
    QVERIFY(landscape(phone));

    const QStringList memberLines = squeezed(pdfText(members));
    QVERIFY2(memberLines.contains(QStringLiteral("Quorvane - Member List")),
             qPrintable(memberLines.join(u'\n')));
    QVERIFY(memberLines.contains(
        QStringLiteral("Ann Surname01 1 High Street, Leeds, LS1 4AB 01/01/2001 13")));
    // Every page after the first carries its number.
    const int memberPages = pdfPages(members);
    QVERIFY(memberPages >= 2);
    QVERIFY(memberLines.contains(QStringLiteral("Page %1").arg(memberPages)));

    const QStringList serviceLines = squeezed(pdfText(service));
    QVERIFY2(serviceLines.contains(QStringLiteral("(Dates Joined / Years Service)")),
             qPrintable(serviceLines.join(u'\n')));
    // 1 January 2001 to 2014 is 4748 days, 12.999 years: 12, rounded to 10.
    QVERIFY(serviceLines.contains(QStringLiteral("Ann Surname01 01/01/2001 10")));
    QVERIFY(serviceLines.contains(QStringLiteral("Ann Surname10 01/01/2000 15")));
    QVERIFY(!serviceLines.join(u' ').contains(QStringLiteral("contact information")));
    QVERIFY(!landscape(service));
    // Only the finished files are left.
    QCOMPARE(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

void TestReportPdf::previewDrawsWhatPrints() {
    auto list = openList();
    PrintDialogTestScope print;
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok); // for the file printed from the preview alone
    const QString file = m_out.filePath(QStringLiteral("preview.pdf"));
    PrintDialogTest::queuePreview(file);
    PrintMemberList(*list, QStringLiteral("Previewed"), false, -1);
    PrintDialogTest::queuePreview();
    PrintPhoneList(*list);
    QVERIFY(print.requests()[0].previewPages >= 2);
    QCOMPARE(pdfPages(file), print.requests()[0].previewPages);
    QVERIFY(squeezed(pdfText(file)).contains(QStringLiteral("Quorvane - Previewed")));
    QVERIFY(print.requests()[1].previewPages >= 2);
}

void TestReportPdf::memberDetailsToPdf() {
    auto sets = openRecord(MemberSQL::MemberNotesSQL());
    PrintDialogTestScope print;
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    const QString file = m_out.filePath(QStringLiteral("details.pdf"));
    PrintDialogTest::queuePdf(file);
    test::printMemberRecord(sets);
    const QStringList lines = squeezed(pdfText(file));
    for (const char* expected :
         {"Surname: Surname01", "Address: 1 High Street", "****** Dates Joined ******",
          "Member 01/01/2001", "****** Fee Payments ******", "01/04/2013 R-1 £25.00",
          "****** Notes ******", "Keeps the keys", "Date printed: 15/06/2014 10:30:00"})
        QVERIFY2(lines.contains(QString::fromUtf8(expected)),
                 qPrintable(expected + QStringLiteral(" in:\n") + lines.join(u'\n')));
    QVERIFY(!landscape(file));
}

void TestReportPdf::errorLeavesNoHalfFile() {
    const QString file = m_out.filePath(QStringLiteral("kept.pdf"));
    QVERIFY(test::writeFileBytes(file, "an earlier file"));
    const QStringList before = QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden);
    // The notes have no MemberNote: the run stops after five sections.
    auto sets =
        openRecord({QStringLiteral("SELECT MemberID FROM MemberNotes WHERE MemberID = :MemberID")});
    PrintDialogTestScope print;
    MessageBoxTestScope noBoxes; // a failed print claims no file
    PrintDialogTest::queuePdf(file);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, test::printMemberRecord(sets));
    QCOMPARE(test::readFileBytes(file), QByteArray("an earlier file"));
    QCOMPARE(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden), before);

    // A PDF in a folder that cannot be: nothing starts.
    auto list = openList();
    PrintDialogTest::queuePdf(file + QStringLiteral("/x.pdf"));
    QVERIFY_THROWS_EXCEPTION(FileSystem::FileWriteError, PrintPhoneList(*list));
    QCOMPARE(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden), before);
}

void TestReportPdf::accentsAndEmojiKeepTheColumns() {
    // Accents written after their letters and characters beyond the basic
    // plane take one column each, and are never cut in two.
    const QString accented = QString::fromUtf8("E\xCC\x81lodie\xCC\x81");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(10);
    QCOMPARE(PrintShared::FitToWidth(accented, 8), accented + QStringLiteral("  "));
    QCOMPARE(PrintShared::FitToWidth(emoji, 3), emoji.left(6));
    // A line break prints as two blanks.
    QCOMPARE(PrintShared::FitToWidth(accented + QStringLiteral("\r\nX"), 10),
             accented + QStringLiteral("\r\nX "));
    QCOMPARE(PrintShared::FitToWidth(accented + QStringLiteral("\r\nX"), 7),
             accented + QStringLiteral("\r"));

    test::Register reg(QStringLiteral("columns.mdb"));
    const QString names[] = {QStringLiteral("Plain"), accented, emoji.left(16)};
    for (int i = 0; i < 3; ++i)
        reg.addPeriod(reg.addMember(QStringLiteral("Z%1").arg(i), names[i], {}, {},
                                    QString::number(111 * (i + 1))),
                      QDate(2000, 1, 1));
    Dataset list(&reg.connection());
    list.setSQL(MemberSQL::AllMembersSQL());
    list.open();
    PrintDialogTestScope print;
    MessageBoxTestScope saved;
    saved.queue(MessageResult::Ok);
    const QString file = m_out.filePath(QStringLiteral("columns.pdf"));
    PrintDialogTest::queuePdf(file);
    PrintPhoneList(list);

    // The e-mail addresses start at one place on every line.
    const QString boxes =
        poppler("pdftotext", {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    QVERIFY(!boxes.contains(QChar::ReplacementCharacter));
    QList<double> left;
    for (const char* number : {"111", "222", "333"}) {
        const auto word =
            QRegularExpression(
                QStringLiteral("xMin=\"([\\d.]+)\"[^>]*>%1<").arg(QLatin1String(number)))
                .match(boxes);
        QVERIFY2(word.hasMatch(), qPrintable(boxes));
        left << word.captured(1).toDouble();
    }
    QVERIFY2(qAbs(left[1] - left[0]) < 0.5 && qAbs(left[2] - left[0]) < 0.5,
             qPrintable(QStringLiteral("%1 %2 %3").arg(left[0]).arg(left[1]).arg(left[2])));
    QFile::remove(file);
}

void TestReportPdf::onlyThePagesChosen() {
    auto list = openList();
    PrintShared::ListReport report;
    report.documentTitle = QStringLiteral("Range");
    const int surname = list->fieldIndex(QStringLiteral("Surname"));
    report.columns = {{QStringLiteral("Surname"), 20, 20,
                       [&](int row, bool) { return list->textAt(row, surname); }}};
    // As the print dialog leaves the printer when "Pages from 2 to 2" is chosen.
    const QString second = m_out.filePath(QStringLiteral("second.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(second);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 2);
    PaintOnPrinter(
        printer, [&](PrintCanvas& canvas) { PrintShared::PrintListReport(canvas, *list, report); });
    const QStringList lines = squeezed(pdfText(second));
    QCOMPARE(pdfPages(second), 1);
    QVERIFY2(lines.contains(QStringLiteral("Page 2")), qPrintable(lines.join(u'\n')));
    QVERIFY(!lines.contains(QStringLiteral("Surname01")));
    QVERIFY(!lines.contains(QStringLiteral("Page 3")));
    QFile::remove(second);
}

void TestReportPdf::previewOpensLarge() {
    // Through the real print dialog's Preview button: the preview takes most
    // of the screen, not Qt's 692 x 512.
    auto list = openList();
    qvtest::ModalWatchdog watchdog(15000);
    QSize previewSize;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QPrintDialog*>(modal);
        auto* preview =
            dialog ? dialog->findChild<QPushButton*>(QStringLiteral("btnPreview")) : nullptr;
        if (!preview) {
            modal->close();
            return;
        }
        qvtest::WhenModal([&](QWidget* next) {
            if (qobject_cast<QPrintPreviewDialog*>(next))
                previewSize = next->size();
            next->close();
        });
        preview->click();
    });
    PrintPhoneList(*list);
    QVERIFY(!watchdog.fired());
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    QVERIFY2(previewSize.width() >= area.width() * 9 / 10 &&
                 previewSize.height() >= area.height() * 9 / 10,
             qPrintable(QStringLiteral("%1 x %2 on %3 x %4")
                            .arg(previewSize.width())
                            .arg(previewSize.height())
                            .arg(area.width())
                            .arg(area.height())));
}

QTEST_MAIN(TestReportPdf)
#include "tst_reportpdf.moc"
