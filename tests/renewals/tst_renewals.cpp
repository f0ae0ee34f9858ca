// SPDX-License-Identifier: GPL-3.0-or-later
// The renewal round on real register files: the fee and payment figures of a
// membership year, payments for many members as one undoable change that a
// failure or a killed process leaves out entirely, lapsing only latest open
// periods, and the window driving them.

#include "ModalHelpers.h"
#include "db/ChangeLog.h"
#include "db/RegisterTables.h"
#include "history/History.h"
#include "letters/LetterStore.h"
#include "letters/LettersFrm.h"
#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/MessageBox.h"
#include "reference/EditMembershipLevelsFrm.h"
#include "renewals/LevelFeesFrm.h"
#include "renewals/Renewals.h"
#include "renewals/RenewalsFrm.h"
#include "support/RegisterFixture.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>

using namespace qv;

namespace {

const char* const ChildVariable = "QV_RENEWALS_CHILD";
const char* const ChildCommits = "QV_RENEWALS_COMMIT";
constexpr int BatchMembers = 300;

struct Fixture {
    test::SettingsSandbox settings;
    test::Register reg;
    ChangeLog::Recorder recorder;
    QHash<QChar, qint64> levels;
    Fixture() {
        test::pinRegional();
        settings.writeSettings(
            QStringLiteral("[Database]\nUseAccessDatabase=1\nAccessDatabase=%1\n")
                .arg(reg.path())
                .toUtf8());
        RegisterTables::CreateMissing(reg.connection());
        reg.connection().setChangeRecorder(&recorder);
        for (const QChar name : {u'A', u'B', u'C'})
            levels[name] = reg.addLevel(QString(name));
    }
    ~Fixture() { reg.connection().setChangeRecorder(nullptr); }
    Connection& c() { return reg.connection(); }

    // "A:2024=30,2026=40;C:2025=0"
    void setFees(const QString& fees) {
        for (const QString& level : fees.split(u';', Qt::SkipEmptyParts))
            for (const QString& fee : level.mid(2).split(u','))
                Renewals::SetLevelFee(c(), levels[level[0]], fee.section(u'=', 0, 0).toInt(),
                                      fee.section(u'=', 1).toDouble());
    }
    // "A:2020-01-01:2026-05-31;B:2026-06-01", in the order entered.
    qint64 addMember(const QString& name, const QString& periods, const Value& email = Value()) {
        const qint64 id = reg.addMember(name, QStringLiteral("Pat"), Value(), Value(), email);
        for (const QString& p : periods.split(u';'))
            reg.addPeriod(id, QDate::fromString(p.section(u':', 1, 1), Qt::ISODate),
                          QDate::fromString(p.section(u':', 2, 2), Qt::ISODate), levels[p[0]]);
        return id;
    }
    void pay(qint64 member, const QDateTime& when, double amount) {
        reg.insert(QStringLiteral("INSERT INTO FeePayments (PaymentDate, MemberID, "
                                  "PaymentAmount) VALUES (:D, :M, :A)"),
                   {{"D", when}, {"M", member}, {"A", amount}});
    }
    // The year's list, past members included.
    void open(Dataset& rows, int year, Renewals::YearStart start = {}) {
        Renewals::OpenList(rows, c(), {year, start, true, false});
    }
};

Value cellOf(Dataset& rows, qint64 member, const char* column) {
    for (int row = 0; row < rows.recordCount(); ++row)
        if (rows.valueAt(row, rows.fieldIndex("MemberID")).toInteger() == member)
            return rows.valueAt(row, rows.fieldIndex(column));
    return QStringLiteral("(not listed)");
}

std::vector<Renewals::Debtor> debtors(Connection& c, qint64 missingAt = -1) {
    std::vector<Renewals::Debtor> all;
    Query q(&c);
    q.setSQL("SELECT MemberID FROM Members ORDER BY MemberID");
    Result r;
    q.fetch(r);
    for (int row = 0; row < r.rows.rowCount(); ++row)
        all.push_back(
            {row == missingAt ? 999999 : r.rows.value(r.rows.cell(row, 0)).toInteger(), 10});
    return all;
}

// The child's side of the killed run: the payments written in an open
// transaction, then (when asked) committed; says each step, then waits.
int runChild() {
    Connection c;
    c.setConnectionString(qEnvironmentVariable(ChildVariable));
    c.open();
    ChangeLog::Recorder recorder;
    c.setChangeRecorder(&recorder);
    TransactionGuard transaction(c, TransactionKind::Normal, "Record Payment");
    Renewals::RecordPayments(c, debtors(c), {QDate(2026, 5, 1), 10.0, "R-###", 1, QString()});
    std::printf("written\n");
    std::fflush(stdout);
    if (qEnvironmentVariableIntValue(ChildCommits)) {
        transaction.commit();
        std::printf("committed\n");
        std::fflush(stdout);
    }
    QThread::sleep(20);
    return 3;
}

bool killAfter(const QString& connectionString, bool commit, const QByteArray& word) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildVariable, connectionString);
    env.insert(ChildCommits, commit ? "1" : "0");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (!output.contains(word) && clock.elapsed() < 20000 &&
           child.state() != QProcess::NotRunning) {
        child.waitForReadyRead(100);
        output += child.readAllStandardOutput();
    }
    child.kill(); // SIGKILL
    child.waitForFinished(5000);
    return output.contains(word);
}

} // namespace

class TestRenewals : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Clock::resetNow(); }
    void yearNamesAndFirstDays_data();
    void yearNamesAndFirstDays();
    void feeFollowsLatestPeriodAndYearRule_data();
    void feeFollowsLatestPeriodAndYearRule();
    void paidCountsOnlyTheYear_data();
    void paidCountsOnlyTheYear();
    void paymentsAreAllOrNothing_data();
    void paymentsAreAllOrNothing();
    void lapseEndsOnlyLatestOpenPeriods_data();
    void lapseEndsOnlyLatestOpenPeriods();
    void windowRecordsPaymentsForTheOwing();
    void lettersRemindEachOwingMember();
    void levelsEditorKeepsFeesOnlyWithApply_data();
    void levelsEditorKeepsFeesOnlyWithApply();
};

void TestRenewals::yearNamesAndFirstDays_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("yearOfDay");
    QTest::newRow("calendar year")
        << "01-01" << true << 2026 << "2026" << QDate(2026, 12, 31) << 2026;
    QTest::newRow("April") << "04-01" << true << 2026 << "2026/27" << QDate(2026, 3, 31) << 2025;
    QTest::newRow("September, across a century")
        << "09-01" << true << 1999 << "1999/00" << QDate(1999, 9, 1) << 1999;
    // A first day missing from most years would leave years without a start.
    QTest::newRow("29 February refused") << "02-29" << false << 2026 << "2026" << QDate() << 0;
    QTest::newRow("31 April refused") << "04-31" << false << 2026 << "2026" << QDate() << 0;
}

void TestRenewals::yearNamesAndFirstDays() {
    QFETCH(QString, stored);
    QFETCH(bool, valid);
    QFETCH(int, year);
    QFETCH(QString, name);
    QFETCH(QDate, day);
    QFETCH(int, yearOfDay);
    Fixture f;
    {
        TransactionGuard t(f.c());
        // Stored as another desk (or tool) might have left it.
        Query q(&f.c());
        q.setSQL("INSERT INTO RegisterSettings (SettingName, SettingValue) VALUES (:N, :V)");
        q.setParameter("N", Renewals::YearStartSetting);
        q.setParameter("V", stored);
        q.execute();
        t.commit();
    }
    const Renewals::YearStart start = Renewals::GetYearStart(f.c());
    QCOMPARE(Renewals::ParseYearStart(stored).has_value(), valid);
    QCOMPARE(Renewals::YearName(year, start), name);
    QVERIFY(Renewals::FirstDay(year, start).isValid());
    if (day.isValid())
        QCOMPARE(Renewals::YearOf(day, start), yearOfDay);
}

void TestRenewals::feeFollowsLatestPeriodAndYearRule_data() {
    QTest::addColumn<QString>("fees");
    QTest::addColumn<QString>("periods");
    QTest::addColumn<int>("year");
    QTest::addColumn<double>("due");
    QTest::newRow("own amount") << "A:2024=30,2026=40"
                                << "A:2020-01-01" << 2026 << 40.0;
    QTest::newRow("latest earlier amount") << "A:2024=30,2026=40"
                                           << "A:2020-01-01" << 2025 << 30.0;
    QTest::newRow("before any amount") << "A:2024=30,2026=40"
                                       << "A:2020-01-01" << 2023 << 0.0;
    QTest::newRow("level without amounts") << "A:2024=30"
                                           << "B:2020-01-01" << 2026 << 0.0;
    QTest::newRow("a fee of 0 replaces an earlier one") << "C:2024=50,2025=0"
                                                        << "C:2020-01-01" << 2026 << 0.0;
    QTest::newRow("level changed mid-year: the latest period decides")
        << "A:2026=40;B:2026=70"
        << "A:2020-01-01:2026-05-31;B:2026-06-01" << 2026 << 70.0;
    QTest::newRow("two periods on one day: the one entered last, listed once")
        << "A:2026=40;B:2026=70"
        << "A:2026-01-01;B:2026-01-01" << 2026 << 70.0;
}

void TestRenewals::feeFollowsLatestPeriodAndYearRule() {
    QFETCH(QString, fees);
    QFETCH(QString, periods);
    QFETCH(int, year);
    QFETCH(double, due);
    Fixture f;
    f.setFees(fees);
    const qint64 member = f.addMember("Smith", periods);
    f.pay(member, QDateTime(QDate(year, 2, 1), QTime(0, 0)), 5);
    Dataset rows(&f.c());
    f.open(rows, year);
    QCOMPARE(rows.recordCount(), 1);
    QCOMPARE(cellOf(rows, member, "FeeDue").toFloat(), due);
    QCOMPARE(cellOf(rows, member, "Balance").toFloat(), due - 5);
    // Letters say what the window says.
    QCOMPARE(Renewals::MergeFields(f.c(), year).at(member).value("FeeDue"),
             Renewals::MoneyText(due));
}

void TestRenewals::paidCountsOnlyTheYear_data() {
    QTest::addColumn<QDateTime>("paidAt");
    QTest::addColumn<bool>("counted");
    QTest::newRow("the first day") << QDateTime(QDate(2026, 4, 1), QTime(0, 0)) << true;
    QTest::newRow("the day before") << QDateTime(QDate(2026, 3, 31), QTime(23, 59)) << false;
    QTest::newRow("the last day, evening") << QDateTime(QDate(2027, 3, 31), QTime(20, 0)) << true;
    QTest::newRow("next year's first day") << QDateTime(QDate(2027, 4, 1), QTime(0, 0)) << false;
}

void TestRenewals::paidCountsOnlyTheYear() {
    QFETCH(QDateTime, paidAt);
    QFETCH(bool, counted);
    Fixture f;
    f.setFees("A:2026=100");
    const qint64 member = f.addMember("Smith", "A:2020-01-01");
    f.pay(member, QDateTime(QDate(2026, 9, 1), QTime(0, 0)), 10);
    f.pay(member, paidAt, 25);
    Dataset rows(&f.c());
    f.open(rows, 2026, {4, 1});
    const double paid = counted ? 35 : 10;
    QCOMPARE(cellOf(rows, member, "Paid").toFloat(), paid);
    QCOMPARE(cellOf(rows, member, "Balance").toFloat(), 100 - paid);
    // The last payment is the latest ever, counted in the year or not.
    QCOMPARE(cellOf(rows, member, "LastPayment").toDateTime(),
             std::max(paidAt, QDateTime(QDate(2026, 9, 1), QTime(0, 0))));
    const Renewals::Totals t = Renewals::Sum(rows);
    QCOMPARE(t.owing, 100 - paid);
    QCOMPARE(t.membersOwing, 1);
}

void TestRenewals::paymentsAreAllOrNothing_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("stored");
    QTest::newRow("none: one entry, undone as one") << "none" << BatchMembers;
    QTest::newRow("a constraint half-way") << "constraint" << 0;
    QTest::newRow("killed before the commit") << "killed" << 0;
    QTest::newRow("killed after the commit") << "killed after commit" << BatchMembers;
}

void TestRenewals::paymentsAreAllOrNothing() {
    QFETCH(QString, failure);
    QFETCH(int, stored);
    Fixture f;
    {
        TransactionGuard t(f.c());
        for (int i = 0; i < BatchMembers; ++i)
            f.addMember(QStringLiteral("M%1").arg(i), "A:2020-01-01");
        t.commit();
    }
    const qint64 entriesBefore = f.reg.count("ChangeLog");
    const Renewals::PaymentOrder order{QDate(2026, 5, 1), std::nullopt, "R-###", 7, "Renewal"};
    if (failure == "none") {
        const Renewals::PaymentOutcome outcome =
            Renewals::RecordPayments(f.c(), debtors(f.c()), order);
        QCOMPARE(outcome.recorded, BatchMembers);
    } else if (failure == "constraint") {
        // No such member half-way through: the register refuses that row.
        QVERIFY_THROWS_EXCEPTION(
            DatabaseError,
            Renewals::RecordPayments(f.c(), debtors(f.c(), BatchMembers / 2), order));
    } else {
        f.c().close();
        QVERIFY(killAfter(f.reg.connectionString(), failure != "killed",
                          failure == "killed" ? "written" : "committed"));
        f.c().open();
    }
    QCOMPARE(f.reg.count("FeePayments"), qint64(stored));
    if (failure == "none") {
        QCOMPARE(f.reg.scalar("SELECT MAX(ReceiptRef) FROM FeePayments").toText(), "R-306");
        QCOMPARE(f.reg.count("ChangeLog"), entriesBefore + 1);
        const qint64 entry = f.reg.scalar("SELECT MAX(ChangeLogID) FROM ChangeLog").toInteger();
        QCOMPARE(f.reg
                     .scalar(QStringLiteral("SELECT Source FROM ChangeLog WHERE ChangeLogID = %1")
                                 .arg(entry))
                     .toText(),
                 "Record Payment");
        History::Undo(f.c(), entry);
        QCOMPARE(f.reg.count("FeePayments"), qint64(0));
    } else if (failure == "constraint") {
        QCOMPARE(f.reg.count("ChangeLog"), entriesBefore);
    }
}

void TestRenewals::lapseEndsOnlyLatestOpenPeriods_data() {
    QTest::addColumn<QString>("periods");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("ended");
    QTest::newRow("latest open period") << "A:2015-01-01"
                                        << "2026-03-31 Lapsed" << 1;
    QTest::newRow("latest already ended") << "A:2015-01-01:2020-05-05"
                                          << "2020-05-05 " << 0;
    QTest::newRow("an older open period stays open") << "A:2010-01-01;A:2015-01-01"
                                                     << "open;2026-03-31 Lapsed" << 1;
    QTest::newRow("renewed after the end date: untouched") << "A:2010-01-01;A:2026-05-01"
                                                           << "open;open" << 0;
}

void TestRenewals::lapseEndsOnlyLatestOpenPeriods() {
    QFETCH(QString, periods);
    QFETCH(QString, after);
    QFETCH(int, ended);
    Fixture f;
    const qint64 member = f.addMember("Smith", periods);
    const qint64 other = f.addMember("Jones", "A:2015-01-01");
    const Renewals::LapseOutcome outcome =
        Renewals::EndMemberships(f.c(), {member}, QDate(2026, 3, 31), "Lapsed");
    QCOMPARE(outcome.ended, ended);
    Query q(&f.c());
    q.setSQL("SELECT DateEnded, ReasonEnded, MemberID FROM DatesJoined ORDER BY MemberID, "
             "DateJoined");
    Result r;
    q.fetch(r);
    QStringList states;
    for (int row = 0; row < r.rows.rowCount(); ++row) {
        const Value end = r.rows.value(r.rows.cell(row, 0));
        const QString state = end.isNull() ? QStringLiteral("open")
                                           : end.toDateTime().date().toString(Qt::ISODate) + u' ' +
                                                 r.rows.value(r.rows.cell(row, 1)).toText();
        if (r.rows.value(r.rows.cell(row, 2)).toInteger() == member)
            states << state;
        else
            QCOMPARE(state, "open"); // a member not selected is never touched
    }
    QCOMPARE(states.join(u';'), after);
    Q_UNUSED(other);
}

// The window: the owing members selected at once, one payment each through
// the dialog, and the list, its totals, its e-mail list and its print after.
void TestRenewals::windowRecordsPaymentsForTheOwing() {
    Fixture f;
    Clock::setNowForTesting(QDateTime(QDate(2026, 6, 15), QTime(12, 0)));
    f.setFees("A:2026=40;B:2025=70");
    const qint64 paidUp = f.addMember("Adams", "A:2020-01-01");
    const qint64 bob = f.addMember("Brown", "A:2020-01-01", QStringLiteral("bob@example.org"));
    const qint64 cy = f.addMember("Cole", "B:2021-01-01", QStringLiteral("cy@example.org"));
    f.addMember("Dale", "A:2001-01-01:2020-01-01", QStringLiteral("past@example.org"));
    f.pay(paidUp, QDateTime(QDate(2026, 1, 5), QTime(0, 0)), 40);
    f.pay(cy, QDateTime(QDate(2026, 2, 5), QTime(0, 0)), 20);

    TfrmRenewals frm;
    frm.OpenRenewals(f.c());
    QCOMPARE(frm.windowTitle(), "Renewals 2026");
    QCOMPARE(frm.adoRenewals->recordCount(), 3); // the past member hidden
    QVERIFY2(frm.lblTotals->text().contains("Owing £90.00   Members owing 2"),
             qPrintable(frm.lblTotals->text()));
    // A year before any fee says where fees are set, rather than list zeros.
    QVERIFY(frm.lblNoFees->isHidden());
    frm.cboYear->setCurrentIndex(frm.cboYear->findData(2024));
    frm.Reload();
    QVERIFY(!frm.lblNoFees->isHidden());
    QVERIFY(frm.lblNoFees->text().startsWith("No fee is set for 2024"));
    frm.cboYear->setCurrentIndex(frm.cboYear->findData(2026));
    frm.Reload();
    QVERIFY(frm.lblNoFees->isHidden());
    QCOMPARE(frm.OwingEmailList(), "bob@example.org, cy@example.org, ");

    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);
    frm.chkOwingOnly->click();
    QCOMPARE(frm.adoRenewals->recordCount(), 2);
    frm.btnSelectOwingClick();
    QCOMPARE(frm.SelectedMembers().size(), size_t(2));
    boxes.queue(MessageResult::Ok);
    qvtest::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TfrmRecordPayment*>(modal);
        QVERIFY(dialog);
        dialog->edtReceiptPattern->setText("R-##");
        dialog->btnOK->click();
    });
    frm.btnRecordPaymentClick();
    QVERIFY(!watchdog.fired());
    QCOMPARE(boxes.shown().last().text, "2 payments were recorded.");
    QCOMPARE(frm.adoRenewals->recordCount(), 0);
    QVERIFY2(frm.lblTotals->text().contains("Owing £0.00"), qPrintable(frm.lblTotals->text()));
    // Cole's new payment, after the 20 he had paid.
    const QString cole =
        QStringLiteral(" FROM FeePayments WHERE MemberID = %1 AND ReceiptRef IS NOT NULL").arg(cy);
    QCOMPARE(f.reg.scalar("SELECT ReceiptRef" + cole).toText(), "R-02");
    QCOMPARE(f.reg.scalar("SELECT PaymentAmount" + cole).toFloat(), 50.0);
    Q_UNUSED(bob);

    // The print carries the totals at its foot.
    frm.chkOwingOnly->click();
    PrintDialogTestScope prints;
    PrintDialogTest::queueRecording();
    frm.btnPrintClick();
    const QStringList page = prints.last().page(1);
    QVERIFY2(page.filter("Members: 3").filter("Owing: £0.00").size() == 1,
             qPrintable(page.join(u'\n')));
}

// Letters... writes to the members owing, each letter with that member's
// own figures for the year. Faults: the renewal fields unknown to the
// letters, a paid-up member written to, two owing members at one address
// merged into one letter that shows only the first one's balance.
void TestRenewals::lettersRemindEachOwingMember() {
    Fixture f;
    Clock::setNowForTesting(QDateTime(QDate(2026, 6, 15), QTime(12, 0)));
    f.setFees("A:2025=30,2026=40");
    {
        TransactionGuard t(f.c());
        Renewals::SetYearStart(f.c(), {4, 1});
        LetterStore::SaveTemplate(f.c(), "Reminder",
                                  "<p>{FirstNames} {Surname} owes <b>{Balance}</b> of {FeeDue} "
                                  "for {MembershipYear}.</p>");
        t.commit();
    }
    for (const char* name : {"Adams", "Brown", "Cole"}) {
        const qint64 id = f.reg.addMember(name, "Pat", "Leeds", "12 High St");
        f.reg.addPeriod(id, QDate(2020, 1, 1), QDate(), f.levels['A']);
        if (name[0] == 'A')
            f.pay(id, QDateTime(QDate(2026, 4, 1), QTime(0, 0)), 40);
        else if (name[0] == 'C')
            f.pay(id, QDateTime(QDate(2026, 5, 2), QTime(0, 0)), 15);
    }

    TfrmRenewals frm;
    frm.OpenRenewals(f.c());
    test::TempFolder out;
    const QString pdf = out.filePath("reminders.pdf");
    MessageBoxTestScope boxes;
    PrintDialogTestScope prints;
    qvtest::ModalWatchdog watchdog(8000);
    qvtest::WhenModal([&](QWidget* modal) {
        auto* letters = qobject_cast<TfrmLetters*>(modal);
        QVERIFY(letters);
        QVERIFY2(letters->lblUnknownFields->isHidden(),
                 qPrintable(letters->lblUnknownFields->text()));
        boxes.queue(MessageResult::Ok); // where the file went
        PrintDialogTest::queuePdf(pdf);
        letters->btnPrint->click();
        letters->btnClose->click();
    });
    frm.btnLetters->click();
    QVERIFY(!watchdog.fired());

    QProcess process;
    process.start("pdftotext", {pdf, "-"});
    QVERIFY(process.waitForFinished(30000));
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(u'\f');
    pages.removeAll(QString());
    for (QString& page : pages)
        page = page.simplified();
    QCOMPARE(pages, (QStringList{"Pat Brown owes £40.00 of £40.00 for 2026/27.",
                                 "Pat Cole owes £25.00 of £40.00 for 2026/27."}));
}

void TestRenewals::levelsEditorKeepsFeesOnlyWithApply_data() {
    QTest::addColumn<bool>("apply");
    QTest::newRow("Apply") << true;
    QTest::newRow("Cancel") << false;
}

// Fees are set from the levels editor, in its visit: Cancel there takes them back.
void TestRenewals::levelsEditorKeepsFeesOnlyWithApply() {
    QFETCH(bool, apply);
    Fixture f;
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);
    TfrmEditMembershipLevels editor;
    qvtest::WhenModal([&](QWidget*) {
        QTreeWidgetItem* b = editor.lsvProfiles->findItems("B", Qt::MatchExactly).value(0);
        QVERIFY(b);
        editor.lsvProfiles->setCurrentItem(b);
        qvtest::WhenModal([](QWidget* modal) {
            auto* fees = qobject_cast<TfrmLevelFees*>(modal);
            QVERIFY(fees);
            fees->spnYear->setValue(2026);
            fees->edtFee->setText("35.50");
            fees->btnSet->click();
            QCOMPARE(fees->grdFees->rowCount(), 1);
            fees->btnClose->click();
        });
        editor.btnFees->click();
        (apply ? editor.btnApply : editor.btnCancel)->click();
    });
    {
        TransactionGuard t(f.c());
        if (editor.EditLevels(f.c(), "SELECT * FROM MembershipLevel"))
            t.commit();
    }
    QVERIFY(!watchdog.fired());
    QCOMPARE(Renewals::FeeFor(f.c(), f.levels['B'], 2027), apply ? 35.5 : 0.0);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(ChildVariable)) {
        QCoreApplication app(argc, argv);
        return runChild();
    }
    QApplication app(argc, argv);
    TestRenewals test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_renewals.moc"
