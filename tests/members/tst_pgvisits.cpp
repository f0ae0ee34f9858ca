// SPDX-License-Identifier: GPL-3.0-or-later
// Member visits on a real PostgreSQL server (CTest runs this under
// pg_virtualenv), through the real member window: Update and Close, Delete
// Member with its cascades, two users on one member at once, and a program
// killed in the middle of a visit.

#include "KilledVisit.h"
#include "MemberFixture.h"
#include "db/MemberSQL.h"
#include "members/AddDateJoinedFrm.h"
#include "members/FeePaymentModifyFrm.h"
#include "platform/data/Dataset.h"
#include "platform/os/Regional.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/Application.h"
#include "platform/ui/DBEdit.h"
#include "platform/ui/MessageBox.h"
#include "search/MemberListFrm.h"
#include "support/PgFixture.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

using namespace qv;
using membertest::OpenMember;
using membertest::RecordOf;
using membertest::WhenDialog;
using qv::test::PgRegister;

namespace {

const QString ChangedMeanwhile =
    "Another user has changed or deleted the same record since you opened it, so your change "
    "was not saved. Close the window without saving and open the record again to see the other "
    "change.";

// A register on the server with two members, Smith with a record of every
// kind, and the settings naming it.
struct PgMemberFixture {
    test::SettingsSandbox settings;
    PgRegister reg;
    qint64 smith = 0, jones = 0, payment = 0;

    PgMemberFixture() {
        test::pinRegional();
        settings.writeSettings(QStringLiteral("[Database]\nUseAccessDatabase=0\nServerType="
                                              "PostgreSQL\nSQLServerName=%1\nSQLDatabaseName=%2\n")
                                   .arg(test::pgServer(), reg.name())
                                   .toUtf8());
        const qint64 gold =
            key("INSERT INTO MembershipLevel (MemberCategory, HighlightColour, FontColour) "
                "VALUES ('Gold', 55295, 8388608) RETURNING MembershipLevelID");
        const qint64 locker =
            key("INSERT INTO Assets (AssetName) VALUES ('Locker key') RETURNING AssetID");
        const qint64 treasurer =
            key("INSERT INTO Profiles (ProfileName) VALUES ('Treasurer') RETURNING ProfileID");
        smith = key("INSERT INTO Members (Surname, FirstNames, Address, City) VALUES ('Smith', "
                    "'John', '1 High St', 'Leeds') RETURNING MemberID");
        jones = key("INSERT INTO Members (Surname, FirstNames, Address, City) VALUES ('Jones', "
                    "'Anne', '2 Mill Lane', 'York') RETURNING MemberID");
        const std::vector<std::pair<QString, Value>> ids = {
            {"S", smith}, {"J", jones}, {"G", gold}, {"A", locker}, {"T", treasurer}};
        reg.run("INSERT INTO DatesJoined (MembershipLevelID, MemberID, DateJoined, DateEnded, "
                "ReasonEnded, MembershipNo) VALUES (:G, :S, '1990-01-01', '1995-02-03', 'Moved', "
                "'M-0'), (1, :S, '2001-05-06', NULL, '', 'N-1'), (1, :J, '2005-01-01', NULL, "
                "'', NULL)",
                ids);
        payment = reg.run("INSERT INTO FeePayments (PaymentDate, MemberID, ReceiptRef, "
                          "PaymentAmount) VALUES ('2020-01-02', :S, 'R-1', 12.5) RETURNING "
                          "FeePaymentID",
                          ids)
                      .toInteger();
        reg.run("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued, AssetReference) VALUES "
                "(:S, :A, '2010-01-01', 'L-7')",
                ids);
        reg.run("INSERT INTO MemberProfiles (ProfileID, MemberID, ProfileStart) VALUES (:T, :S, "
                "'2015-01-01')",
                ids);
        reg.run("INSERT INTO FileAttachments (MemberID, FilePath, FileDescription, DateAdded) "
                "VALUES (:S, '/tmp/minutes.txt', 'Minutes', '2019-03-04')",
                ids);
        reg.run("INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (:S, 'Keys')", ids);
    }
    qint64 key(const char* sql) { return reg.run(sql).toInteger(); }
    Connection& connection() { return reg.connection(); }
};

// A second user: a connection of his own to the same register.
std::unique_ptr<Connection> secondUser(PgRegister& reg, int lockWaitMs) {
    auto c = std::make_unique<Connection>();
    c->setConnectionString(reg.connectionString());
    c->setBusyTimeout(lockWaitMs);
    c->open();
    return c;
}

// A click as the user makes it, so an error goes to the error report.
void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void changePayment(TfrmMember& frm, const QString& amount) {
    WhenDialog<TfrmFeePaymentModify>([amount](TfrmFeePaymentModify* d) {
        d->mskPaymentAmount->setText(amount);
        d->btnAdd->click();
    });
    click(frm.btnPaymentModify);
}

const char* const ChildVariable = "QV_PGVISIT_CHILD";

// The child: one visit to the member on the server register the variable
// names, through the window, as the member list runs it.
int runChild(int argc, char** argv) {
    QuorvaneApplication app(argc, argv);
    test::SettingsSandbox settings;
    settings.writeSettings("[Database]\nUseAccessDatabase=0\nServerType=PostgreSQL\n");
    Connection connection;
    connection.setConnectionString(qEnvironmentVariable(ChildVariable));
    connection.open();
    return membertest::VisitAndWait(connection, qEnvironmentVariableIntValue("QV_PGVISIT_MEMBER"));
}

int runVisit(const QString& connectionString, qint64 memberId, int killAfter, int delayUs) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildVariable, connectionString);
    env.insert("QV_PGVISIT_MEMBER", QString::number(memberId));
    return membertest::RunKilledVisit(env, killAfter, delayUs);
}

} // namespace

class TestPgVisits : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QV_REQUIRE_PG_SERVER(); }
    void cleanup() { Regional::resetLocale(); }
    void updateStoresAndCloseUndoesAVisit();
    void deleteMemberTakesEverySubRecord();
    void secondUserNeverOverwritesTheFirst();
    void lostConnectionIsMadeAgainBetweenVisits();
    void killedVisitLeavesTheMemberWhole();
};

// Through the member list, as the user works: one visit adds a period,
// changes a payment and deletes a note; Close undoes all three, Update
// stores all three.
void TestPgVisits::updateStoresAndCloseUndoesAVisit() {
    PgMemberFixture f;
    const QStringList before = RecordOf(f.connection(), f.smith);
    for (const bool update : {false, true}) {
        TfrmMemberList list;
        list.OpenMemberList(f.connection(), MemberSQL::AllMembersSQL(), QString(), -1, false, false,
                            "Member List");
        list.adoMembers->setRecNo(2); // Smith, after Jones
        QCOMPARE(list.adoMembers->field("Surname").asString(), QString("Smith"));
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Yes); // delete the note
        if (!update)
            boxes.queue(MessageResult::Yes); // discard the changes
        qvtest::ModalWatchdog watchdog(8000);
        WhenDialog<TfrmMember>([&](TfrmMember* frm) {
            WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) {
                d->edtMembershipNo->setText("N-2");
                d->btnAdd->click();
            });
            frm->btnAddDate->click();
            changePayment(*frm, "20");
            frm->mnuNotesDelete->trigger();
            QCOMPARE(frm->adoDatesJoined->recordCount(), 3);
            (update ? frm->btnUpdate : frm->btnClose)->click();
        });
        list.dbgMembersDblClick();
        QVERIFY(!watchdog.fired());
        QCOMPARE(boxes.shown().size(), update ? 1 : 2);
        QVERIFY(!f.connection().inTransaction());
        const QStringList after = RecordOf(f.connection(), f.smith);
        if (!update) {
            QCOMPARE(after, before);
            continue;
        }
        QCOMPARE(after.filter("DatesJoined|").size(), 3);
        QCOMPARE(after.filter("|N-2|").size(), 1);
        QVERIFY(after.filter("FeePayments|").at(0).contains("|20|"));
        QVERIFY(after.filter("MemberNotes|").isEmpty());
    }
}

void TestPgVisits::deleteMemberTakesEverySubRecord() {
    PgMemberFixture f;
    QCOMPARE(RecordOf(f.connection(), f.smith).size(), 8);
    OpenMember open(f.connection(), f.smith);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    open.frm.mnuPopupDeleteMember->trigger();
    QCOMPARE(open.frm.result(), int(QDialog::Accepted));
    open.guard.commit();
    QVERIFY(RecordOf(f.connection(), f.smith).isEmpty());
    QCOMPARE(RecordOf(f.connection(), f.jones).size(), 2);
}

// Two users have the same member open. A change the first committed after
// the second opened him is never overwritten: the second's Update is refused
// with a clear message. A change the first has not yet committed holds the
// second up to his wait, then he is told so; either way the second's Close
// leaves the first's change.
void TestPgVisits::secondUserNeverOverwritesTheFirst() {
    PgMemberFixture f;
    const auto second = secondUser(f.reg, 800);
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);
    {
        OpenMember first(f.connection(), f.smith);
        OpenMember other(*second, f.smith);
        first.frm.dbedtSurname->setText("Smythe");
        first.frm.btnUpdate->click();
        first.guard.commit();

        boxes.queue(MessageResult::Ok);
        other.frm.dbedtSurname->setText("Smithers");
        click(other.frm.btnUpdate);
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().at(0).text, ChangedMeanwhile);
        QVERIFY(other.frm.isVisible());
        boxes.queue(MessageResult::Yes); // discard the surname typed
        other.frm.btnClose->click();
    }
    QCOMPARE(
        f.reg.scalar("SELECT Surname FROM Members WHERE MemberID = " + QString::number(f.smith))
            .toText(),
        QString("Smythe"));

    {
        OpenMember first(f.connection(), f.smith);
        OpenMember other(*second, f.smith);
        changePayment(first.frm, "20"); // stored, not yet committed
        boxes.queue(MessageResult::Ok);
        QElapsedTimer waited;
        waited.start();
        changePayment(other.frm, "30");
        QVERIFY(waited.elapsed() >= 700);
        QVERIFY2(boxes.shown().last().text.startsWith(
                     "Another user is changing the same record and had not finished after 0.8 "
                     "seconds, so your change was not saved."),
                 qPrintable(boxes.shown().last().text));
        first.frm.btnUpdate->click();
        first.guard.commit();
        other.frm.btnClose->click();
    }
    const QString amount =
        "SELECT PaymentAmount FROM FeePayments WHERE FeePaymentID = " + QString::number(f.payment);
    QCOMPARE(f.reg.scalar(amount).toFloat(), 20.0);

    // Only the refused step is undone: once the first closes without saving,
    // the second tries it again and Update stores his whole visit.
    {
        OpenMember first(f.connection(), f.smith);
        OpenMember other(*second, f.smith);
        other.frm.SetCommit([&] { other.guard.commit(); });
        changePayment(first.frm, "40");
        boxes.queue(MessageResult::Ok);
        other.frm.dbedtCity->setText("Hull");
        changePayment(other.frm, "30");
        boxes.queue(MessageResult::Yes); // discard the payment changed
        first.frm.btnClose->click();
        first.guard.rollback();
        changePayment(other.frm, "30");
        click(other.frm.btnUpdate);
        QCOMPARE(other.frm.result(), int(QDialog::Accepted));
    }
    QVERIFY(!watchdog.fired());
    QCOMPARE(boxes.shown().size(), 5);
    QCOMPARE(f.reg.scalar(amount).toFloat(), 30.0);
    QVERIFY(RecordOf(f.connection(), f.smith).at(0).contains("|Hull|"));
}

// The server drops the connection (a restart does the same). Between visits
// the program connects again by itself; a visit the drop cut short stores
// nothing, says so, and the next one works.
void TestPgVisits::lostConnectionIsMadeAgainBetweenVisits() {
    PgMemberFixture f;
    const auto admin = secondUser(f.reg, 1000);
    const auto dropUser = [&] {
        QCOMPARE(admin->execute("SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity "
                                "WHERE pid <> pg_backend_pid() AND datname = current_database()"),
                 qint64(1));
    };
    const qint64 before = f.reg.count("DatesJoined");
    dropUser();
    QCOMPARE(f.reg.count("DatesJoined"), before); // a read while idle

    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);
    for (const bool cutShort : {true, false}) {
        OpenMember open(f.connection(), f.smith);
        open.frm.SetCommit([&] { open.guard.commit(); });
        WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) { d->btnAdd->click(); });
        open.frm.btnAddDate->click();
        if (cutShort) {
            dropUser();
            boxes.queue(MessageResult::Ok);
        }
        click(open.frm.btnUpdate);
        QCOMPARE(open.frm.result(), int(cutShort ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(f.reg.count("DatesJoined"), before + (cutShort ? 0 : 1));
        dropUser(); // while idle: the next visit begins on a new connection
    }
    QVERIFY(!watchdog.fired());
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY2(boxes.shown().at(0).text.contains("was lost") &&
                 boxes.shown().at(0).text.contains("were not stored"),
             qPrintable(boxes.shown().at(0).text));
}

// The child is killed (SIGKILL) at each step of a visit plus up to 30 ms at
// random: the server rolls back what it had not committed, so the member is
// wholly as before or wholly as committed, never half-written.
void TestPgVisits::killedVisitLeavesTheMemberWhole() {
    PgMemberFixture f;
    const QString cs = f.reg.connectionString();
    const QStringList before = RecordOf(f.connection(), f.smith);
    const auto restore = [&] {
        // The member as he was, whatever the last visit left.
        TransactionGuard t(f.connection());
        f.connection().execute("DELETE FROM DatesJoined WHERE MembershipNo = 'K-1'");
        f.connection().execute("UPDATE FeePayments SET PaymentAmount = 12.5");
        f.connection().execute(
            "UPDATE Members SET Surname = 'Smith', City = 'Leeds' WHERE Surname = 'Smythe'");
        f.connection().execute("INSERT INTO MemberNotes (MemberID, MemberNote) SELECT MemberID, "
                               "'Keys' FROM Members WHERE Surname = 'Smith' AND NOT EXISTS "
                               "(SELECT 1 FROM MemberNotes)");
        t.commit();
    };

    QCOMPARE(runVisit(cs, f.smith, 3, 0), 3);
    const QStringList committed = RecordOf(f.connection(), f.smith);
    QVERIFY(committed.first().contains("|Smythe|John|"));
    QVERIFY(committed.filter("MemberNotes|").isEmpty());

    QRandomGenerator random(QRandomGenerator::global()->generate());
    int asBefore = 0, asCommitted = 0;
    for (int trial = 0; trial < 12; ++trial) {
        restore();
        const QStringList start = RecordOf(f.connection(), f.smith);
        QCOMPARE(start.size(), before.size());
        const int step = trial % 4;
        const int delayUs = int(random.bounded(30000));
        const int reached = runVisit(cs, f.smith, step, delayUs);
        const QString where = QString("trial %1, step %2 + %3 us, reached %4")
                                  .arg(trial)
                                  .arg(step)
                                  .arg(delayUs)
                                  .arg(reached);
        QVERIFY2(reached >= step, qPrintable(where));
        QStringList now = RecordOf(f.connection(), f.smith);
        // The keys of rows written again differ from trial to trial.
        const auto shape = [](const QStringList& rows) {
            QStringList s;
            for (const QString& row : rows)
                s << row.section(u'|', 0, 0) + u'|' + row.section(u'|', 2);
            return s;
        };
        QVERIFY2(shape(now) == shape(start) || shape(now) == shape(committed), qPrintable(where));
        if (reached < 2)
            QVERIFY2(shape(now) == shape(start), qPrintable(where));
        if (reached == 3)
            QVERIFY2(shape(now) == shape(committed), qPrintable(where));
        (shape(now) == shape(start) ? asBefore : asCommitted) += 1;
    }
    QVERIFY(asBefore > 0 && asCommitted > 0);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(ChildVariable))
        return runChild(argc, argv);
    QuorvaneApplication app(argc, argv);
    TestPgVisits test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pgvisits.moc"
