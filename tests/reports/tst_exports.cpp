// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegisterGenerator.h"
#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SavedFileMessage.h"
#include "reports/CSVExport.h"
#include "reports/EmailListFrm.h"
#include "reports/PrintShared.h"
#include "search/MemberListFrm.h"
#include "settings/AppInfo.h"
#include "support/AppTestMain.h"
#include "support/RegisterFixture.h"
#include "support/UrlCatcher.h"

#include "ModalHelpers.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace qv;

namespace {

// Spreadsheet programs read UTF-8 by the byte-order mark.
const QByteArray Bom = "\xEF\xBB\xBF";
const QByteArray Header = Bom + "Surname,FirstNames,Address,City,PostCode,TelNo,MobileNo,"
                                "EmailAddress,DateJoined,DateEnded,YearsService\r\n";

// No file in `folder` but those named.
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestExports : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void csvColumnsQuotingAndYears();
    void csvAllOrNothing();
    void csvLongList_data();
    void csvLongList();
    void memberListReportsKeepTheRow();
    void memberListExport();
    void emailListWindow();

private:
    std::unique_ptr<Dataset> open(const QString& sql, const QString& value = QString());

    std::unique_ptr<test::SettingsSandbox> m_settings;
    std::unique_ptr<test::Register> m_register;
    test::TempFolder m_out;
};

void TestExports::init() {
    test::pinRegional();
    Clock::setNowForTesting(QDateTime(QDate(2014, 6, 15), QTime(10, 30)));
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = std::make_unique<test::Register>();
    test::Register& r = *m_register;
    r.addPeriod(
        r.addMember({"Adams", "Carl", "3 Low Rd, Flat 2", "Hull", "HU1", {}, {}, "a@x.org"}),
        QDate(2000, 3, 1));
    r.insert(
        QStringLiteral("INSERT INTO DatesJoined (MembershipLevelID, MemberID, DateJoined) "
                       "VALUES (1, :M, '2012-06-01 14:30:00')"),
        {{"M",
          r.addMember(
              {"Brown", "Anne", "Line1\r\nLine2", "Say \"Hi\"", "YO1\t7HH", {}, {}, "b@x.org"})}});
    r.addPeriod(r.addMember({"Jones", QStringLiteral("Zoë"), "Plain", {}, {}, {}, {}, "c@x.org"}),
                QDate(2004, 1, 1), QDate(), 1, QStringLiteral("N-7"));
    r.addPeriod(r.addMember({"Khan", "Omar", {}, {}, {}, {}, {}, {}}), QDate(2010, 1, 1));
}

void TestExports::cleanup() {
    m_register.reset();
    m_settings.reset();
    Clock::resetNow();
    Regional::resetLocale();
}

std::unique_ptr<Dataset> TestExports::open(const QString& sql, const QString& value) {
    auto list = std::make_unique<Dataset>(&m_register->connection());
    list->setSQL(sql);
    list->query().setAllParameters(Value(value));
    list->open();
    return list;
}

void TestExports::csvColumnsQuotingAndYears() {
    const QString file = m_out.filePath(QStringLiteral("list.csv"));
    auto list = open(MemberSQL::AllMembersSQL());
    list->setRecNo(3);
    CSVExport(*list, file, -1, false);
    QCOMPARE(list->recNo(), 3);
    // UTF-8 with a byte-order mark; CR LF after every line, the last too.
    QCOMPARE(test::readFileBytes(file),
             Header + "Adams,Carl,\"3 Low Rd, Flat 2\",Hull,HU1,,,a@x.org,01/03/2000,,14\r\n"
                      "Brown,Anne,\"Line1\r\nLine2\",\"Say \"\"Hi\"\"\",\"YO1\t7HH\",,,b@x.org,"
                      "\"01/06/2012 14:30:00\",,2\r\n"
                      "Jones,Zo\xC3\xAB,Plain,,,,,c@x.org,01/01/2004,,10\r\n"
                      "Khan,Omar,,,,,,,01/01/2010,,4\r\n");

    // Long service: multiples of five to 1 January of the year.
    CSVExport(*list, file, 2014, true);
    QCOMPARE(test::readFileBytes(file),
             Header + "Adams,Carl,\"3 Low Rd, Flat 2\",Hull,HU1,,,a@x.org,01/03/2000,,15\r\n"
                      "Brown,Anne,\"Line1\r\nLine2\",\"Say \"\"Hi\"\"\",\"YO1\t7HH\",,,b@x.org,"
                      "\"01/06/2012 14:30:00\",,0\r\n"
                      "Jones,Zo\xC3\xAB,Plain,,,,,c@x.org,01/01/2004,,10\r\n"
                      "Khan,Omar,,,,,,,01/01/2010,,5\r\n");

    // The membership number list keeps its number before the years.
    auto numbers = open(MemberSQL::MembershipNoSQL(false), QStringLiteral("%"));
    CSVExport(*numbers, file, -1, false);
    QCOMPARE(test::readFileBytes(file),
             Bom + "Surname,FirstNames,Address,City,PostCode,TelNo,MobileNo,EmailAddress,"
                   "DateJoined,DateEnded,MembershipNo,YearsService\r\n"
                   "Jones,Zo\xC3\xAB,Plain,,,,,c@x.org,01/01/2004,,N-7,10\r\n");

    auto none = open(MemberSQL::MembershipLevelSQL(), QStringLiteral("999"));
    CSVExport(*none, file, -1, false);
    QCOMPARE(test::readFileBytes(file), Header);
    QCOMPARE(filesIn(m_out.path()), QStringList{QStringLiteral("list.csv")});
}

void TestExports::csvLongList_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("rounding");
    QTest::newRow("one block") << 4096 << false;
    QTest::newRow("a row past two blocks") << 8193 << true;
    QTest::newRow("whole list") << -1 << false;
}

// Catches a long list written with rows lost, doubled or out of order
// between the blocks formatted side by side, or with a remembered date or
// years text given to the wrong row: each line against the row's own texts.
void TestExports::csvLongList() {
    QFETCH(int, rows);
    QFETCH(bool, rounding);
    const QString path = m_out.filePath(QStringLiteral("long.mdb"));
    if (!QFileInfo::exists(path))
        bench::GenerateRegister(path, 12000, 9);
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                   path);
    connection.open();
    Dataset list(&connection);
    QString sql = MemberSQL::AllMembersSQL();
    if (rows > 0)
        sql.insert(sql.indexOf(QStringLiteral("SELECT ")) + 7, QStringLiteral("TOP %1 ").arg(rows));
    list.setSQL(sql);
    list.open();
    QVERIFY(list.recordCount() >= 4096);
    const QString file = m_out.filePath(QStringLiteral("long.csv"));
    CSVExport(list, file, rounding ? 2020 : -1, rounding);
    const QStringList lines =
        QString::fromUtf8(test::readFileBytes(file)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), list.recordCount() + 2); // the header, and nothing after the last
    const QStringList kept = {"Surname", "FirstNames", "Address",      "City",       "PostCode",
                              "TelNo",   "MobileNo",   "EmailAddress", "DateJoined", "DateEnded"};
    for (int row = 0; row < list.recordCount(); ++row) {
        QStringList fields;
        for (const QString& name : kept)
            fields << CSVField(list.textAt(row, list.fieldIndex(name)));
        fields << PrintShared::YearsServiceText(list, row, rounding, rounding ? 2020 : -1);
        if (lines[row + 1] != fields.join(u','))
            QFAIL(qPrintable(
                QStringLiteral("row %1: %2 / %3").arg(row).arg(lines[row + 1], fields.join(u','))));
    }
}

void TestExports::csvAllOrNothing() {
    auto list = open(MemberSQL::AllMembersSQL());
    const QString file = m_out.filePath(QStringLiteral("list.csv"));
    QVERIFY(test::writeFileBytes(file, "earlier\r\n"));

    // A write that fails half way (a file-size limit binds root too): the
    // earlier file stays whole and no part of the new one is left.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    QString message;
    try {
        CSVExport(*list, file, -1, false);
    } catch (const FileSystem::FileWriteError& e) {
        message = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(message, QStringLiteral("The file %1 could not be written: File too large").arg(file));
    QCOMPARE(test::readFileBytes(file), QByteArray("earlier\r\n"));
    QCOMPARE(filesIn(m_out.path()), QStringList{QStringLiteral("list.csv")});

    // A folder that cannot hold files: a file stands where the folder should.
    QVERIFY_THROWS_EXCEPTION(FileSystem::FileWriteError,
                             CSVExport(*list, file + QStringLiteral("/x.csv"), -1, false));
    // A folder where the file should be.
    QVERIFY(QDir(m_out.path()).mkdir(QStringLiteral("taken.csv")));
    QVERIFY_THROWS_EXCEPTION(
        FileSystem::FileWriteError,
        CSVExport(*list, m_out.filePath(QStringLiteral("taken.csv")), -1, false));
    QCOMPARE(filesIn(m_out.path()), QStringList{QStringLiteral("list.csv")});
    QCOMPARE(test::readFileBytes(file), QByteArray("earlier\r\n"));
}

void TestExports::memberListReportsKeepTheRow() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), 2014, true,
                        false, QStringLiteral("Long Service for year 2014"));
    list.adoMembers->setRecNo(3);
    PrintDialogTestScope print;
    const struct {
        std::function<void()> run;
        const char* title;
    } reports[] = {
        {[&] { list.btnPrint->click(); }, "Quorvane - Long Service for year 2014"},
        {[&] { list.btnPhoneList->click(); }, "Quorvane - Phone List"},
        {[&] { list.mnuPopupPrintLongService->trigger(); },
         "Quorvane - Long Service for year 2014 - Years Service"},
    };
    for (const auto& report : reports) {
        PrintDialogTest::queueRecording();
        report.run();
        QCOMPARE(print.last().title(), QString::fromUtf8(report.title));
        QVERIFY(print.last().ended());
        QCOMPARE(print.requests().last().parent.data(), &list);
        QCOMPARE(list.adoMembers->recNo(), 3);
        PrintDialogTest::queueCancel();
        report.run();
        QVERIFY(print.requests().last().cancelled);
        QCOMPARE(list.adoMembers->recNo(), 3);
    }
    // The window's years go to the reports: Adams, 13 years, rounds to 15.
    QVERIFY(print.requests()[0].recording->page(1)[2].endsWith(QStringLiteral("15     ")));
    QCOMPARE(list.lblRecordCount->text(), QStringLiteral("3 of 4 records"));
}

void TestExports::memberListExport() {
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        false, QStringLiteral("Unpaid Fees - 01/01/2014"));
    list.adoMembers->setRecNo(2);
    FileDialogTestScope files;
    MessageBoxTestScope boxes;
    const QString file = m_out.filePath(QStringLiteral("fees.csv"));
    files.queue(file);
    boxes.queue(MessageResult::Ok);
    list.btnExportCSV->click();
    // The user is told where the file went.
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown()[0].kind, MessageKind::Information);
    QCOMPARE(boxes.shown()[0].text, FileSavedText(QStringLiteral("The list was exported."), file));
    const FileDialogRequest& request = files.requests()[0];
    QCOMPARE(request.kind, FileDialogKind::Save);
    QCOMPARE(request.caption, QStringLiteral("Export CSV"));
    QCOMPARE(request.initialFolder, AppInfo::GetDocumentsFolder());
    QCOMPARE(request.fileName, QStringLiteral("Unpaid Fees - 01-01-2014"));
    QCOMPARE(request.filter, QStringLiteral("CSV file (*.csv)|*.csv"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("csv"));
    QVERIFY(request.confirmOverwrite);
    QVERIFY(test::readFileBytes(file).startsWith(Header + "Adams,"));
    QCOMPARE(list.adoMembers->recNo(), 2);

    files.queueCancel();
    QVERIFY(QFile::remove(file));
    list.btnExportCSV->click();
    QVERIFY(!QFile::exists(file));
    QCOMPARE(list.adoMembers->recNo(), 2);

    // An unwritable place reaches the error report with the reason, and
    // nothing claims the file was saved.
    boxes.queue(MessageResult::Ok);
    QVERIFY(QDir(m_out.path()).mkdir(QStringLiteral("folder.csv")));
    files.queue(m_out.filePath(QStringLiteral("folder.csv")));
    QTest::mouseClick(list.btnExportCSV, Qt::LeftButton); // through the event loop
    QCOMPARE(boxes.shown().size(), 2);
    QCOMPARE(boxes.shown()[1].kind, MessageKind::Error);
    QCOMPARE(boxes.shown()[1].text,
             QStringLiteral("The file %1 could not be written: Is a directory.")
                 .arg(m_out.filePath(QStringLiteral("folder.csv"))));
    QCOMPARE(list.adoMembers->recNo(), 2);
}

void TestExports::emailListWindow() {
    test::UrlCatcher mail({QStringLiteral("mailto")});
    TfrmMemberList list;
    list.OpenMemberList(m_register->connection(), MemberSQL::AllMembersSQL(), QString(), -1, false,
                        false, QStringLiteral("Member List"));
    list.adoMembers->setRecNo(4);
    const QString file = m_out.filePath(QStringLiteral("mail.txt"));
    FileDialogTestScope files;
    MessageBoxTestScope boxes;
    files.queueCancel();
    files.queue(file);
    boxes.queue(MessageResult::Ok);
    QString shown;
    qvtest::ModalWatchdog watchdog;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* window = qobject_cast<TfrmEmailList*>(modal);
        if (!window) {
            modal->close();
            return;
        }
        shown = window->mmoEmailList->toPlainText();
        window->btnSave->click(); // cancelled
        window->btnSave->click();
        window->btnCopy->click();
        window->btnSendEmail->click();
        QTest::keyClick(window, Qt::Key_Escape);
    });
    list.mnuPopupEmailList->trigger();
    QVERIFY(!watchdog.fired());
    QCOMPARE(shown, QStringLiteral("a@x.org, b@x.org, c@x.org, "));
    QCOMPARE(files.requests()[0].caption, QStringLiteral("Save E-mail List"));
    QCOMPARE(files.requests()[0].filter, QStringLiteral("Text File (*.txt)|*.txt"));
    QCOMPARE(files.requests()[0].initialFolder, AppInfo::GetDocumentsFolder());
    // No byte-order mark here: the text is pasted into mail programs.
    QCOMPARE(test::readFileBytes(file), QByteArray("a@x.org, b@x.org, c@x.org, \r\n"));
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown()[0].text,
             FileSavedText(QStringLiteral("The e-mail list was saved."), file));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("a@x.org, b@x.org, c@x.org, \r\n"));
    QCOMPARE(mail.urls.size(), 1);
    QCOMPARE(mail.urls[0].path(), QStringLiteral("a@x.org, b@x.org, c@x.org, \r\n"));
    QCOMPARE(list.adoMembers->recNo(), 4);
}

QV_APP_TEST_MAIN(TestExports)
#include "tst_exports.moc"
