// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemberFixture.h"
#include "ModalHelpers.h"
#include "app/MainFrm.h"
#include "db/DBConnectionStrings.h"
#include "db/DataModule.h"
#include "db/MemberSQL.h"
#include "members/AddDateJoinedFrm.h"
#include "members/AddMemberFrm.h"
#include "members/FeePaymentModifyFrm.h"
#include "members/FileModifyFrm.h"
#include "members/MemberFrm.h"
#include "members/ModifyDateFrm.h"
#include "members/ModifyMemberAssetFrm.h"
#include "members/ModifyMemberProfileFrm.h"
#include "platform/data/Dataset.h"
#include "platform/data/Transaction.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DBEdit.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/MessageBox.h"
#include "search/MemberListFrm.h"
#include "settings/MemberSettings.h"
#include "support/AppTestMain.h"
#include "support/UrlCatcher.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextStream>
#include <QToolButton>
#include <cstdio>
#include <sqlite3.h>
#include <memory>
#include <sys/stat.h>

using namespace qv;
using membertest::MemberFixture;
using membertest::OpenMember;
using membertest::RecordOf;
using membertest::WhenDialog;

namespace {

const QString NameAndAddress = "You must fill out the name and address details!";
const QString NoJoinDate = "There must be at least one join date!";
const QString NameFirst = "You must enter name details first!";

QStringList shownTexts(const MessageBoxTestScope& boxes) {
    QStringList texts;
    for (const MessageRequest& box : boxes.shown())
        texts << box.text;
    return texts;
}

// The first key opens the cell's editor, which takes the rest.
void typeNote(DatasetGrid* grid, const QString& text) {
    QTest::keyClicks(grid, text.left(1));
    QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
}

void addPayment(TfrmMember* frm) {
    WhenDialog<TfrmFeePaymentAdd>([](TfrmFeePaymentAdd* d) {
        d->edtReceiptRef->setText("R-2");
        d->mskPaymentAmount->setText("5");
        d->btnAdd->click();
    });
    QTest::mouseClick(frm->btnPaymentAdd, Qt::LeftButton);
}

const char* const CopyVariable = "QV_MEMBERFRM_COPY";

// The other copy: this program run again on the register the variable names.
// Each line it reads, "MEMBERID CITY", is one visit to that member through the
// member window: the city typed, then Update. It answers "stored", or the
// message that refused the change (line breaks as "\n"), and then closes
// the window.
int runOtherCopy() {
    test::SettingsSandbox settings;
    const QString path = qEnvironmentVariable(CopyVariable);
    MemberSettings::SetAccessDatabase(path);
    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();
    MessageBoxTest::enable();
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line)) {
        const QStringList words = line.split(u' ');
        MessageBoxTest::clear();
        MessageBoxTest::queueAnswer(MessageResult::Ok);
        OpenMember visit(connection, words.at(0).toLongLong());
        visit.frm.SetCommit([&visit] { visit.guard.commit(); });
        visit.frm.dbedtCity->setText(words.at(1));
        QTest::mouseClick(visit.frm.btnUpdate, Qt::LeftButton);
        QString answer = QStringLiteral("stored");
        if (visit.frm.result() != QDialog::Accepted) {
            answer = MessageBoxTest::shown().isEmpty() ? QStringLiteral("nothing said")
                                                       : MessageBoxTest::shown().last().text;
            MessageBoxTest::queueAnswer(MessageResult::Yes); // give up the refused change
            visit.frm.btnClose->click();
        }
        std::printf("%s\n", qPrintable(answer.replace(u'\n', QStringLiteral("\\n"))));
        std::fflush(stdout);
    }
    return 0;
}

// The parent's side of the other copy.
class OtherCopy {
public:
    explicit OtherCopy(const QString& path) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(CopyVariable, path);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(), {});
        m_process.waitForStarted(5000);
    }
    ~OtherCopy() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    // One visit there; what it answered.
    QString change(qint64 memberId, const QString& city) {
        m_process.write(QString("%1 %2\n").arg(memberId).arg(city).toUtf8());
        while (!m_process.canReadLine() && m_process.waitForReadyRead(15000)) {
        }
        return QString::fromUtf8(m_process.readLine()).trimmed().replace("\\n", "\n");
    }

private:
    QProcess m_process;
};

// The member window on Smith, or Add Member, shown and active.
std::unique_ptr<TfrmMember> shownWindow(MemberFixture& f, bool adding) {
    std::unique_ptr<TfrmMember> frm;
    if (adding) {
        auto* add = new TfrmAddMember;
        frm.reset(add);
        add->OpenForNewMember(f.connection());
    } else {
        frm = std::make_unique<TfrmMember>();
        frm->OpenForMember(f.connection(), int(f.smith));
    }
    frm->show();
    frm->activateWindow();
    return QTest::qWaitForWindowActive(frm.get()) ? std::move(frm) : nullptr;
}

void fillNameAndAddress(TfrmMember& frm) {
    frm.dbedtFirstName->setText("Dee");
    frm.dbedtSurname->setText("Dale");
    frm.dbedtAddress->setText("5 Low Rd");
    frm.dbedtCity->setText("Hull");
}

} // namespace

class TestMemberFrm : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Regional::resetLocale(); }
    void visitIsUndoneByCloseAndStoredByUpdate();
    void updateWaitsOutAnotherCopyReading();
    void anotherCopysUnstoredChangesRefuseAStep();
    void idleWindowHoldsNoOtherCopyUp();
    void updateChecksAndDeleteMember();
    void modifyDialogsOpenPresetAndWriteBackUnchanged();
    void readOnlyRegisterCanOnlyBeLookedAt();
    void tabsColoursFilesAndMail();
    void notesAndFailedActionsLeaveNothingPending();
    void addMember();
    void discardQuestion_data();
    void discardQuestion();
    void noteStartedByTyping_data();
    void noteStartedByTyping();
    void deleteAssetTakesTheChosenRow_data();
    void deleteAssetTakesTheChosenRow();
    void accessKeysAreUnique_data();
    void accessKeysAreUnique();
};

// One visit adds a period, changes a payment and deletes a note, through the
// member list: Close undoes all three and the list is not re-run; Update
// stores all three and the list comes back on the same row.
void TestMemberFrm::visitIsUndoneByCloseAndStoredByUpdate() {
    for (const bool update : {false, true}) {
        MemberFixture f;
        const QStringList before = RecordOf(f.connection(), f.smith);
        TfrmMemberList list;
        list.OpenMemberList(f.connection(), MemberSQL::AllMembersSQL(), QString(), -1, false, false,
                            "Member List");
        list.adoMembers->setRecNo(2); // Smith, after Jones
        QCOMPARE(list.adoMembers->field("Surname").asString(), QString("Smith"));
        QSignalSpy reruns(list.adoMembers, &Dataset::afterOpen);

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
            WhenDialog<TfrmFeePaymentModify>([](TfrmFeePaymentModify* d) {
                d->mskPaymentAmount->setText("20");
                d->btnAdd->click();
            });
            frm->btnPaymentModify->click();
            frm->mnuNotesDelete->trigger();
            QCOMPARE(frm->adoDatesJoined->recordCount(), 3);
            QCOMPARE(frm->adoNotes->recordCount(), 0);
            if (!update) {
                // The report shows the record as it stands on screen, the
                // surname being typed included, and moves no grid's row.
                frm->dbedtSurname->setText("Smythe");
                frm->adoDatesJoined->setRecNo(2);
                PrintDialogTestScope printing;
                PrintDialogTest::queueRecording();
                frm->btnPrint->click();
                QVERIFY(printing.last().page(1).join('\n').contains("Surname:       Smythe"));
                QCOMPARE(frm->adoDatesJoined->recNo(), 2);
            }
            (update ? frm->btnUpdate : frm->btnClose)->click();
        });
        list.dbgMembersDblClick();
        QVERIFY(!watchdog.fired());
        QVERIFY(!f.connection().inTransaction());

        const QStringList after = RecordOf(f.connection(), f.smith);
        if (!update) {
            QCOMPARE(after, before);
            QCOMPARE(reruns.count(), 0);
            continue;
        }
        QCOMPARE(after.filter("DatesJoined|").size(), 3);
        QCOMPARE(after.filter("|N-2|").size(), 1);
        QVERIFY(after.filter("FeePayments|").at(0).contains("|20|"));
        QVERIFY(after.filter("MemberNotes|").isEmpty());
        QCOMPARE(reruns.count(), 1);
        QCOMPARE(list.adoMembers->recNo(), 2);
    }
}

// Another program in the middle of reading the register (a long read keeps
// the engine's shared lock until it ends) keeps the commit waiting. Update
// then says so and keeps the window and the visit as they were, to be pressed
// again; Delete Member is undone.
void TestMemberFrm::updateWaitsOutAnotherCopyReading() {
    MemberFixture f;
    f.connection().setBusyTimeout(100);
    Connection other;
    other.setConnectionString(f.reg.connectionString());
    other.open();
    const auto otherReads = [&] {
        QCOMPARE(sqlite3_exec(other.sqliteHandle(), "BEGIN; SELECT COUNT(*) FROM Members", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
    };
    const auto otherEndsReading = [&] {
        sqlite3_exec(other.sqliteHandle(), "ROLLBACK", nullptr, nullptr, nullptr);
    };
    TfrmMemberList list;
    list.OpenMemberList(f.connection(), MemberSQL::AllMembersSQL(), QString(), -1, false, false,
                        "Member List");
    list.adoMembers->setRecNo(2); // Smith
    const QStringList before = RecordOf(f.connection(), f.smith);

    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);
    WhenDialog<TfrmMember>([&](TfrmMember* frm) {
        frm->dbedtCity->setText("York");
        frm->mnuNotesDelete->trigger();
        otherReads();
        frm->btnUpdate->click();
        QCOMPARE(boxes.shown().size(), 2); // the note's question, then the lock
        QVERIFY(boxes.shown().at(1).text.contains("stayed locked"));
        QVERIFY(boxes.shown().at(1).text.contains("Nothing is lost"));
        QVERIFY(boxes.shown().at(1).text.contains("other copies of Quorvane cannot open"));
        QVERIFY(frm->isVisible());
        QCOMPARE(frm->dbedtCity->text(), QString("York"));
        otherEndsReading();
        frm->btnUpdate->click();
    });
    boxes.queue(MessageResult::Yes); // delete the note
    boxes.queue(MessageResult::Ok);
    list.dbgMembersDblClick();
    QVERIFY(!watchdog.fired());
    QVERIFY(!f.connection().inTransaction());
    const QStringList after = RecordOf(other, f.smith);
    QVERIFY(after.filter("Members|").at(0).contains("|York|"));
    QVERIFY(after.filter("MemberNotes|").isEmpty());
    QVERIFY(after != before);

    // Delete Member held up the same way leaves the member as stored.
    boxes.queue(MessageResult::Yes); // delete the member
    boxes.queue(MessageResult::Ok);
    WhenDialog<TfrmMember>([&](TfrmMember* frm) {
        otherReads();
        frm->mnuPopupDeleteMember->trigger();
        QVERIFY(boxes.shown().last().text.contains("The member was not deleted."));
        otherEndsReading();
    });
    list.dbgMembersDblClick();
    QVERIFY(!watchdog.fired());
    QVERIFY(!f.connection().inTransaction());
    QCOMPARE(RecordOf(other, f.smith), after);
}

// Another copy has changed the register in its own open window. A step here
// is refused at once and says what to do; nothing of it is left pending and
// what was typed stays, so that once the other window is closed the same
// steps store what this window shows. A member the other copy deleted is not
// opened from a list that still shows him.
void TestMemberFrm::anotherCopysUnstoredChangesRefuseAStep() {
    MemberFixture f;
    Connection other;
    other.setConnectionString(f.reg.connectionString());
    other.open();
    other.beginTrans();
    other.execute(QString("UPDATE Members SET TelNo = '1' WHERE MemberID = %1").arg(f.jones));
    TfrmMemberList list;
    list.OpenMemberList(f.connection(), MemberSQL::AllMembersSQL(), QString(), -1, false, false,
                        "Member List");
    list.adoMembers->setRecNo(2); // Smith

    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);
    WhenDialog<TfrmMember>([&](TfrmMember* frm) {
        addPayment(frm);
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY2(boxes.shown().last().text.startsWith(
                     "Another copy of Quorvane has changed the register and not yet stored its "
                     "changes, so this change was not made (database is locked). Neither copy"),
                 qPrintable(boxes.shown().last().text));
        QCOMPARE(frm->adoFeePayments->state(), Dataset::State::Browse);
        QCOMPARE(frm->adoFeePayments->recordCount(), 1);
        frm->dbedtCity->setText("York");
        QTest::mouseClick(frm->btnUpdate, Qt::LeftButton);
        QCOMPARE(boxes.shown().size(), 2);
        QVERIFY(boxes.shown().last().text.startsWith("Another copy of Quorvane"));
        QVERIFY(frm->isVisible());
        QCOMPARE(frm->dbedtCity->text(), QString("York"));
        other.rollbackTrans();
        addPayment(frm);
        QCOMPARE(frm->adoFeePayments->recordCount(), 2);
        QTest::mouseClick(frm->btnUpdate, Qt::LeftButton);
    });
    boxes.queue(MessageResult::Ok);
    boxes.queue(MessageResult::Ok);
    list.dbgMembersDblClick();
    QCOMPARE(boxes.shown().size(), 2);
    QVERIFY(!f.connection().inTransaction());
    const QStringList record = RecordOf(other, f.smith);
    QVERIFY(record.at(0).contains("|York|"));
    QCOMPARE(record.filter("|R-2|").size(), 1);

    list.adoMembers->setRecNo(1); // Jones, whom the other copy now deletes
    QCOMPARE(list.adoMembers->field("MemberID").asInteger(), f.jones);
    other.execute(QString("DELETE FROM Members WHERE MemberID = %1").arg(f.jones));
    boxes.queue(MessageResult::Ok);
    list.dbgMembersDblClick();
    QVERIFY(!watchdog.fired());
    QCOMPARE(boxes.shown().size(), 3);
    QVERIFY(boxes.shown().last().text.startsWith("This member is no longer in the register"));
    QVERIFY(!f.connection().inTransaction());

    // A new member's row that leaving the names could not store is stored by
    // the next add, not refused for want of names that are there.
    other.beginTrans();
    other.execute(QString("UPDATE Members SET TelNo = '2' WHERE MemberID = %1").arg(f.smith));
    TfrmAddMember add;
    TransactionGuard guard(f.connection());
    add.OpenForNewMember(f.connection());
    add.show();
    add.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&add));
    add.dbedtFirstName->setText("Dee");
    add.dbedtSurname->setText("Dale");
    add.dbedtAddress->setText("5 Low Rd");
    add.dbedtCity->setFocus();
    QTest::keyClicks(add.dbedtCity, "Hull");
    boxes.queue(MessageResult::Ok);
    QTest::mouseClick(add.btnAddDate, Qt::LeftButton); // the focus leaves the group
    QCOMPARE(boxes.shown().size(), 4);
    QCOMPARE(add.adoMember->recNo(), 0);
    other.rollbackTrans();
    WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) { d->btnAdd->click(); });
    QTest::mouseClick(add.btnAddDate, Qt::LeftButton);
    QCOMPARE(add.adoDatesJoined->recordCount(), 1);
    QCOMPARE(boxes.shown().size(), 4);
    QVERIFY(!watchdog.fired());
}

// Two copies of the program, each in its own process, on one register file.
// A window open here with nothing changed yet holds the other copy up in
// nothing: it stores a change to another member, and a third program adds
// one. Once this window has written, the other copy's change is refused at
// once and this Update stores. A change the other copy stores to this
// window's member while it idles refuses this window's first write, so the
// stale values on screen never overwrite it.
void TestMemberFrm::idleWindowHoldsNoOtherCopyUp() {
    MemberFixture f;
    OtherCopy other(f.reg.path());
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(30000);
    {
        OpenMember here(f.connection(), f.smith);
        here.frm.SetCommit([&here] { here.guard.commit(); });
        QCOMPARE(other.change(f.jones, "Ripon"), QString("stored"));
        Connection third;
        third.setConnectionString(f.reg.connectionString());
        third.open();
        third.execute("INSERT INTO Members (Surname, FirstNames, Address, City) VALUES ('Wren', "
                      "'Jo', '3 Low Rd', 'Selby')");

        here.frm.dbedtCity->setText("York");
        addPayment(&here.frm);
        QCOMPARE(here.frm.adoFeePayments->recordCount(), 2);
        const QString refused = other.change(f.jones, "Thirsk");
        QVERIFY2(refused.startsWith("Another copy of Quorvane has changed the register and not "
                                    "yet stored its changes"),
                 qPrintable(refused));
        QTest::mouseClick(here.frm.btnUpdate, Qt::LeftButton);
        QCOMPARE(here.frm.result(), int(QDialog::Accepted));
    }
    QCOMPARE(shownTexts(boxes), QStringList());
    const QStringList smith = RecordOf(f.connection(), f.smith);
    QVERIFY(smith.at(0).contains("|York|"));
    QCOMPARE(smith.filter("|R-2|").size(), 1);
    QVERIFY(RecordOf(f.connection(), f.jones).at(0).contains("|Ripon|"));
    QCOMPARE(f.reg.count("Members"), 3);

    {
        OpenMember here(f.connection(), f.smith);
        QCOMPARE(other.change(f.smith, "Wetherby"), QString("stored"));
        boxes.queue(MessageResult::Ok);
        here.frm.dbedtCity->setText("Leeds");
        QTest::mouseClick(here.frm.btnUpdate, Qt::LeftButton);
        QCOMPARE(shownTexts(boxes), QStringList{changedSinceOpenedMessage()});
        QVERIFY(here.frm.isVisible());
        QCOMPARE(here.frm.dbedtCity->text(), QString("Leeds"));
        boxes.queue(MessageResult::Yes); // discard the refused change
        here.frm.btnClose->click();
    }
    QVERIFY(!watchdog.fired());
    QVERIFY(RecordOf(f.connection(), f.smith).at(0).contains("|Wetherby|"));
}

void TestMemberFrm::updateChecksAndDeleteMember() {
    MemberFixture f;
    {
        OpenMember open(f.connection(), f.smith);
        TfrmMember& frm = open.frm;
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Ok);
        boxes.queue(MessageResult::Ok);
        // An empty city stops Update and writes nothing; spaces count as filled.
        frm.dbedtCity->setText("");
        frm.btnUpdate->click();
        frm.dbedtCity->setText("   ");
        frm.dbedtSurname->setText("");
        frm.btnUpdate->click();
        QCOMPARE(shownTexts(boxes), QStringList({NameAndAddress, NameAndAddress}));
        QVERIFY(frm.isVisible());
        QCOMPARE(
            f.reg.scalar("SELECT City FROM Members WHERE MemberID = " + QString::number(f.smith))
                .toText(),
            QString("Leeds"));

        // Without a period the member cannot be saved.
        frm.dbedtSurname->setText("Smythe");
        boxes.queue(MessageResult::Yes);
        boxes.queue(MessageResult::Yes);
        boxes.queue(MessageResult::Ok);
        frm.mnuDatesJoinedDelete->trigger();
        frm.mnuDatesJoinedDelete->trigger();
        QVERIFY(!frm.mnuDatesJoinedDelete->isEnabled());
        QVERIFY(!frm.btnModifyDate->isEnabled());
        frm.btnUpdate->click();
        QCOMPARE(boxes.shown().last().text, NoJoinDate);
        QCOMPARE(boxes.shown().last().kind, MessageKind::Error);
        QVERIFY(frm.result() != QDialog::Accepted);
        // Close: the rollback brings both periods back.
    }
    QCOMPARE(RecordOf(f.connection(), f.smith).filter("DatesJoined|").size(), 2);

    // Delete Member: the cascades take every kind of sub-record; the file stays.
    OpenMember open(f.connection(), f.smith);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    // What was typed goes with the row, even what could not be stored.
    open.frm.dbedtSurname->setText("");
    open.frm.dbedtSurname->updateRecord();
    open.frm.mnuPopupDeleteMember->trigger();
    QCOMPARE(open.frm.result(), int(QDialog::Accepted));
    QCOMPARE(boxes.shown().at(0).kind, MessageKind::Warning);
    QCOMPARE(boxes.shown().at(0).defaultAnswer, MessageResult::No); // Enter keeps the member
    QCOMPARE(boxes.shown().at(0).text,
             QString("Are you sure you want to delete this member? This action can not be "
                     "undone.\n\r\n\rIf a member has left, you may prefer to update the dates "
                     "they were members rather than deleting their details.\n\r\n\rContinue "
                     "deleting this member?"));
    open.guard.commit();
    QVERIFY(RecordOf(f.connection(), f.smith).isEmpty());
    QVERIFY(QFile::exists(f.file));
    QCOMPARE(RecordOf(f.connection(), f.jones).size(), 2);
}

// Each modify dialog opens with the stored values, and Amend or Change
// without touching anything writes the same values back; an unticked end
// date stores null and an empty reason.
void TestMemberFrm::modifyDialogsOpenPresetAndWriteBackUnchanged() {
    MemberFixture f;
    // A period of an older register, stored without a number: it stays null;
    // and joined in a year long before any the picker offers today. A later
    // payment of more than can be typed keeps every digit.
    f.connection().execute(QStringLiteral("UPDATE DatesJoined SET MembershipNo = NULL, DateJoined "
                                          "= '0101-03-04 00:00:00' WHERE DatesJoinedID = %1")
                               .arg(f.endedPeriod));
    f.reg.insert("INSERT INTO FeePayments (PaymentDate, MemberID, ReceiptRef, PaymentAmount, "
                 "PaymentNotes) VALUES (:D, :M, 'R-2', 12345.6789, 'Imported')",
                 {{"D", QDate(2021, 1, 2)}, {"M", f.smith}});
    OpenMember open(f.connection(), f.smith);
    TfrmMember& frm = open.frm;
    QStringList expected = RecordOf(f.connection(), f.smith);
    qvtest::ModalWatchdog watchdog(8000);

    frm.adoDatesJoined->setRecNo(2); // joined 2001 at 10:30, not ended, reason null
    WhenDialog<TfrmModifyDateJoined>([&](TfrmModifyDateJoined* d) {
        QCOMPARE(d->windowTitle(), QString("Amend Date"));
        QCOMPARE(d->dblMemberCategory->currentText(), QString("Plain"));
        QCOMPARE(d->edtMembershipNo->text(), QString("N-1"));
        QCOMPARE(d->dtpJoinDate->dateTime(), QDateTime(QDate(2001, 5, 6), QTime(10, 30)));
        QVERIFY(!d->dtpEndDate->isChecked());
        QVERIFY(!d->edtReasonEnded->isEnabled());
        d->btnAdd->click();
    });
    frm.btnModifyDate->click();
    for (QString& row : expected)
        if (row.contains("|N-1|"))
            row.chop(1); // the null reason is now empty text
    QCOMPARE(RecordOf(f.connection(), f.smith), expected);

    WhenDialog<TfrmModifyDateJoined>([&](TfrmModifyDateJoined* d) {
        QCOMPARE(d->dblMemberCategory->currentText(), QString("Gold"));
        QCOMPARE(d->dtpJoinDate->date(), QDate(101, 3, 4));
        QCOMPARE(d->edtMembershipNo->text(), QString());
        QVERIFY(d->dtpEndDate->isChecked());
        QCOMPARE(d->dtpEndDate->date(), QDate(1995, 2, 3));
        QVERIFY(d->edtReasonEnded->isEnabled());
        QCOMPARE(d->edtReasonEnded->text(), QString("Moved"));
        d->btnAdd->click();
    });
    frm.adoDatesJoined->first();
    frm.dbgDatesJoinedDblClick();

    WhenDialog<TfrmModifyMemberAsset>([&](TfrmModifyMemberAsset* d) {
        QCOMPARE(d->dblMemberCategory->currentText(), QString("Locker key"));
        QCOMPARE(d->edtReasonEnded->text(), QString("L-7"));
        QCOMPARE(d->dtpEndDate->date(), QDate(2012, 1, 1));
        d->btnAdd->click();
    });
    frm.btnAssetsModify->click();
    WhenDialog<TfrmModifyMemberProfile>([&](TfrmModifyMemberProfile* d) {
        QCOMPARE(d->dblMemberCategory->currentText(), QString("Treasurer"));
        QVERIFY(!d->dtpEndDate->isChecked());
        d->btnAdd->click();
    });
    frm.btnProfilesModify->click();
    WhenDialog<TfrmFeePaymentModify>([&](TfrmFeePaymentModify* d) {
        QCOMPARE(d->mskPaymentAmount->text(), QString("12.50"));
        QCOMPARE(d->lblPaymentAmount->text(), QString("&Payment Amount (£):"));
        QCOMPARE(d->dtpPaymentDate->date(), QDate(2020, 1, 2));
        d->btnAdd->click();
    });
    frm.btnPaymentModify->click();
    frm.adoFeePayments->setRecNo(2);
    WhenDialog<TfrmFeePaymentModify>([&](TfrmFeePaymentModify* d) {
        QCOMPARE(d->mskPaymentAmount->text(), QString("12345.6789"));
        d->btnAdd->click();
    });
    frm.btnPaymentModify->click();
    WhenDialog<TfrmFileModify>([&](TfrmFileModify* d) {
        QCOMPARE(d->dtpDateAdded->date(), QDate(2019, 3, 4));
        QCOMPARE(d->edtFile->text(), f.file);
        d->btnOK->click();
    });
    frm.btnFilesAmend->click();
    QVERIFY(!watchdog.fired());
    QCOMPARE(RecordOf(f.connection(), f.smith), expected);
    QVERIFY(RecordOf(f.connection(), f.smith).filter("FeePayments|").at(0).contains("|12.5|"));
}

void TestMemberFrm::readOnlyRegisterCanOnlyBeLookedAt() {
    MemberFixture f;
    QVERIFY(::chmod(QFile::encodeName(f.reg.path()).constData(), 0444) == 0);
    TfrmMember frm;
    frm.OpenForMember(f.connection(), int(f.smith));
    frm.show();
    for (QPushButton* b :
         {frm.btnUpdate, frm.btnAddDate, frm.btnAssetsAdd, frm.btnProfilesAdd, frm.btnPaymentAdd,
          frm.btnFilesAdd, frm.btnModifyDate, frm.btnAssetsModify, frm.btnProfilesModify,
          frm.btnPaymentModify, frm.btnFilesAmend})
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    for (QAction* a :
         {frm.mnuPopupDeleteMember, frm.mnuDatesJoinedDelete, frm.mnuAssetsDelete,
          frm.mnuProfilesDelete, frm.mnuFeePaymentsDelete, frm.mnuFilesDelete, frm.mnuNotesDelete})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    for (DBEdit* e : frm.findChildren<DBEdit*>())
        QVERIFY2(e->isReadOnly(), qPrintable(e->objectName()));
    QCOMPARE(frm.findChildren<DBEdit*>().size(), 8);
    QVERIFY(!frm.dbgNotes->isEditable());
    QVERIFY(frm.btnSendEmail->isEnabled());
    {
        PrintDialogTestScope printing;
        PrintDialogTest::queueRecording();
        QTest::mouseClick(frm.btnPrint, Qt::LeftButton);
        QVERIFY(printing.last().page(1).join('\n').contains("Surname:       Smith"));
    }

    // The grids' double-clicks open nothing, not even the file.
    test::UrlCatcher desktop({"file"});
    for (DatasetGrid* grid :
         {frm.dbgDatesJoined, frm.dbgAssets, frm.dbgFeePayments, frm.dbgFiles}) {
        const QRect cell = grid->visualRect(grid->model()->index(0, 0));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    QVERIFY(desktop.urls.isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
    QTest::mouseClick(frm.btnClose, Qt::LeftButton);
    QVERIFY(!frm.isVisible());
    QCOMPARE(frm.result(), int(QDialog::Rejected));
}

void TestMemberFrm::tabsColoursFilesAndMail() {
    MemberFixture f;
    OpenMember open(f.connection(), f.smith);
    TfrmMember& frm = open.frm;
    QCOMPARE(frm.pgcDetails->currentIndex(), 0);
    QCOMPARE(frm.pgcDetails->count(), 7); // six record tabs and the history

    // A level's highlight stays on the selected row; -1 keeps the grid's own.
    const auto pixel = [](DatasetGrid* grid, int row) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 1));
        return grid->viewport()->grab().toImage().pixelColor(cell.right() - 3, cell.center().y());
    };
    QCOMPARE(frm.adoDatesJoined->recNo(), 1); // the Gold period
    QCOMPARE(pixel(frm.dbgDatesJoined, 0), QColor(0xFF, 0xD7, 0x00));
    QCOMPARE(pixel(frm.dbgDatesJoined, 1), frm.dbgDatesJoined->palette().color(QPalette::Base));
    // A payment shows as money; a returned asset is grey while not selected.
    QAbstractItemModel* payments = frm.dbgFeePayments->model();
    QCOMPARE(payments->index(0, 2).data().toString(), QString(" £12.50"));
    QVERIFY(!frm.dbgAssets->model()->index(0, 0).data(Qt::BackgroundRole).isValid());
    frm.adoAssets->close();
    f.reg.insert("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued) VALUES (:M, :A, :D)",
                 {{"M", f.smith}, {"A", f.card}, {"D", QDate(2021, 1, 1)}});
    frm.adoAssets->open(); // the library card sorts first and is current
    QVERIFY(frm.dbgAssets->model()->index(1, 0).data(Qt::BackgroundRole).isValid());
    QVERIFY(!frm.dbgAssets->model()->index(0, 0).data(Qt::BackgroundRole).isValid());

    // An existing file opens with the desktop's program; a missing one is
    // maroon and does nothing.
    test::UrlCatcher desktop({"file", "mailto"});
    frm.dbgFilesDblClick();
    QCOMPARE(desktop.urls, QList<QUrl>({QUrl::fromLocalFile(f.file)}));
    QVERIFY(!frm.dbgFiles->model()->index(0, 0).data(Qt::ForegroundRole).isValid());
    QFile::remove(f.file);
    QCOMPARE(frm.dbgFiles->model()->index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(128, 0, 0));
    frm.dbgFilesDblClick();
    QCOMPARE(desktop.urls.size(), 1);

    // Send E-mail takes the address as typed; a member stored without one
    // never gets the button.
    frm.dbedtEmail->setText("j.smith@example.org");
    frm.btnSendEmail->click();
    QCOMPARE(desktop.urls.last(), QUrl("mailto:j.smith@example.org"));
    TfrmMember jones;
    jones.OpenForMember(f.connection(), int(f.jones));
    QVERIFY(!jones.btnSendEmail->isEnabled());
    jones.dbedtEmail->setText("anne@example.org");
    jones.dbedtEmail->updateRecord();
    QVERIFY(!jones.btnSendEmail->isEnabled());
}

// A note typed and left is stored at once; one still being typed when Update
// is pressed is stored too. A payment the database refuses, or an amount that
// is no number, leaves no half-filled row behind.
void TestMemberFrm::notesAndFailedActionsLeaveNothingPending() {
    MemberFixture f;
    OpenMember open(f.connection(), f.smith);
    TfrmMember& frm = open.frm;
    frm.pgcDetails->setCurrentWidget(frm.tabNotes);
    frm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frm));
    DatasetGrid* grid = frm.dbgNotes;
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down); // past the last row: a new one
    QCOMPARE(grid->model()->rowCount(), 2);
    typeNote(grid, "Paid in cash");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up); // leaving the row stores it
    QCOMPARE(f.reg.count("MemberNotes"), 2);
    QVERIFY(frm.mnuNotesDelete->isEnabled());
    // An untouched new row is never stored as an empty note, and Delete Note
    // on it gives it up rather than deleting the note above it.
    MessageBoxTestScope boxes;
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down); // a new row
    QTest::keyClick(grid, Qt::Key_Down); // stays the last
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(frm.adoNotes->state(), Dataset::State::Insert);
    frm.mnuNotesDeleteClick();
    QCOMPARE(f.reg.count("MemberNotes"), 2);
    QCOMPARE(grid->model()->rowCount(), 2);
    QTest::keyClick(grid, Qt::Key_Down);
    typeNote(grid, "Still typing");

    f.connection().execute("CREATE TEMP TRIGGER refuse BEFORE INSERT ON FeePayments WHEN "
                           "NEW.ReceiptRef = 'X' BEGIN SELECT RAISE(ABORT, 'Refused'); END");
    qvtest::ModalWatchdog watchdog(8000);
    for (const char* receipt : {"X", "Y"}) {
        WhenDialog<TfrmFeePaymentAdd>([receipt](TfrmFeePaymentAdd* d) {
            d->edtReceiptRef->setText(receipt);
            d->mskPaymentAmount->setText(QString(receipt) == "X" ? "5" : ".");
            d->btnAdd->click();
            if (d->isVisible()) // no amount: refused in the dialog itself
                d->reject();
        });
        boxes.queue(MessageResult::Ok);
        QTest::mouseClick(frm.btnPaymentAdd, Qt::LeftButton);
        QCOMPARE(frm.adoFeePayments->state(), Dataset::State::Browse);
        QCOMPARE(frm.adoFeePayments->recordCount(), 1);
    }
    QCOMPARE(shownTexts(boxes),
             QStringList({"Refused.", "Payment Amount (£) has no amount.\nType the amount in "
                                      "digits with up to two decimals after the point, as 12.50, "
                                      "up to 9999999.99."}));
    WhenDialog<TfrmFeePaymentAdd>([](TfrmFeePaymentAdd* d) {
        QCOMPARE(d->mskPaymentAmount->text(), QString("0.00"));
        d->btnAdd->click();
    });
    frm.btnPaymentAddClick();
    QCOMPARE(frm.adoFeePayments->recordCount(), 2);
    QVERIFY(!watchdog.fired());

    QTest::mouseClick(frm.btnUpdate, Qt::LeftButton);
    QCOMPARE(frm.result(), int(QDialog::Accepted));
    open.guard.commit();
    const QStringList notes = RecordOf(f.connection(), f.smith).filter("MemberNotes|");
    QCOMPARE(notes.size(), 3);
    QVERIFY2(notes.last().endsWith("|Still typing"), qPrintable(notes.join('\n')));
    QCOMPARE(f.reg.scalar("SELECT MIN(PaymentAmount) FROM FeePayments").toFloat(), 0.0);
}

void TestMemberFrm::addMember() {
    MemberFixture f;
    const qint64 members = f.reg.count("Members"), periods = f.reg.count("DatesJoined");
    {
        // Through the main window: Cancel leaves no trace of what was added.
        MessageBoxTestScope boxes;
        Tdm dm;
        TfrmMain main(dm);
        main.OpenDatabase();
        qvtest::ModalWatchdog watchdog(8000);
        WhenDialog<TfrmAddMember>([&](TfrmAddMember* frm) {
            QCOMPARE(frm->windowTitle(), QString("Add Member"));
            QCOMPARE(frm->btnUpdate->text(), QString("&Add"));
            QCOMPARE(frm->btnClose->text(), QString("&Cancel"));
            QVERIFY(!frm->btnPrint->isEnabled() && !frm->btnSendEmail->isEnabled());
            QVERIFY(!frm->mnuPopupDeleteMember);
            frm->dbedtFirstName->setText("Dee");
            frm->dbedtSurname->setText("Dale");
            frm->dbedtAddress->setText("5 Low Rd");
            frm->dbedtCity->setText("Hull");
            frm->grpNameAddressExit();
            QVERIFY(frm->adoMember->recNo() >= 1);
            WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) { d->btnAdd->click(); });
            frm->btnAddDate->click();
            QCOMPARE(frm->adoDatesJoined->recordCount(), 1);
            boxes.queue(MessageResult::Yes); // discard the changes
            frm->btnClose->click();
        });
        main.findChild<QAction*>("mnuDataAddMember")->trigger();
        QVERIFY(!watchdog.fired());
        QVERIFY(!dm.adoMembers().inTransaction());
    }
    QCOMPARE(f.reg.count("Members"), members);
    QCOMPARE(f.reg.count("DatesJoined"), periods);

    TfrmAddMember frm;
    TransactionGuard guard(f.connection());
    frm.OpenForNewMember(f.connection());
    frm.show();
    frm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frm));
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);

    // Nothing can be added before the four fields are filled and left, not
    // even a note, which would belong to no member.
    QVERIFY(!frm.dbgNotes->isEditable());
    frm.dbedtFirstName->setText("John");
    frm.dbedtSurname->setText("Smith");
    frm.dbedtAddress->setText("9 New St");
    boxes.queue(MessageResult::Ok);
    frm.btnAddDateClick();
    QCOMPARE(boxes.shown().last().text, NameFirst + "\n\r\n\rStill empty: City.");
    QCOMPARE(QApplication::focusWidget(), frm.dbedtFirstName);
    QCOMPARE(frm.adoDatesJoined->recordCount(), 0);

    // Leaving the group by the Add Date button stores the row first.
    QTest::keyClicks(frm.dbedtCity, "Leeds");
    WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) { d->btnAdd->click(); });
    QTest::mouseClick(frm.btnAddDate, Qt::LeftButton);
    const qint64 id = frm.adoMember->field("MemberID").asInteger();
    QVERIFY(id > f.jones);
    QCOMPARE(frm.adoDatesJoined->recordCount(), 1);
    QCOMPARE(frm.adoDatesJoined->field("MemberID").asInteger(), id);
    QVERIFY(frm.dbgNotes->isEditable());

    // The same names as a stored member: No keeps the window open, silently.
    frm.dbedtTelNo->setText("0113 496 0000");
    boxes.queue(MessageResult::No);
    const int shown = boxes.shown().size();
    frm.btnUpdate->click();
    QCOMPARE(boxes.shown().size(), shown + 1);
    QCOMPARE(boxes.shown().last().kind, MessageKind::Warning);
    QVERIFY(boxes.shown().last().text.startsWith("A member with that name already exists.\n\r"
                                                 "\n\rIf this individual"));
    QVERIFY(frm.isVisible());
    // Another name: the stored new row is not its own duplicate.
    frm.dbedtFirstName->setText("Joan");
    frm.btnUpdate->click();
    QCOMPARE(boxes.shown().size(), shown + 1);
    QCOMPARE(frm.result(), int(QDialog::Accepted));
    guard.commit();
    QVERIFY(!watchdog.fired());
    const QStringList record = RecordOf(f.connection(), id);
    QCOMPARE(record.size(), 2);
    QVERIFY(record.at(0).contains("|Joan|9 New St|Leeds|~|0113 496 0000|"));
}

// What a close would throw away: written rows, typing not yet written.
enum class Change { None, TypedName, NoteBeingTyped, PeriodAdded, RowStored };
enum class CloseBy { Esc, CloseButton, FrameClose };
Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(CloseBy)

void TestMemberFrm::discardQuestion_data() {
    QTest::addColumn<bool>("adding");
    QTest::addColumn<Change>("change");
    QTest::addColumn<CloseBy>("closeBy");
    QTest::newRow("member unchanged") << false << Change::None << CloseBy::Esc;
    QTest::newRow("member, surname typed") << false << Change::TypedName << CloseBy::Esc;
    QTest::newRow("member, note being typed")
        << false << Change::NoteBeingTyped << CloseBy::CloseButton;
    QTest::newRow("member, period added") << false << Change::PeriodAdded << CloseBy::FrameClose;
    QTest::newRow("add member unchanged") << true << Change::None << CloseBy::FrameClose;
    QTest::newRow("add member, name typed") << true << Change::TypedName << CloseBy::Esc;
    QTest::newRow("add member, row stored") << true << Change::RowStored << CloseBy::CloseButton;
}

// Closing a visit that holds changes asks; No keeps the window and all it
// shows, Yes closes for the rollback. An unchanged visit closes silently.
void TestMemberFrm::discardQuestion() {
    QFETCH(bool, adding);
    QFETCH(Change, change);
    QFETCH(CloseBy, closeBy);
    MemberFixture f;
    const QStringList before = RecordOf(f.connection(), f.smith);
    const qint64 members = f.reg.count("Members");
    TransactionGuard guard(f.connection());
    const std::unique_ptr<TfrmMember> window = shownWindow(f, adding);
    QVERIFY(window);
    TfrmMember& frm = *window;
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);

    switch (change) {
    case Change::None:
        frm.dbedtCity->setFocus(); // looking is no change
        break;
    case Change::TypedName:
        QTest::keyClicks(frm.dbedtFirstName, "Ann");
        break;
    case Change::NoteBeingTyped:
        frm.pgcDetails->setCurrentWidget(frm.tabNotes);
        frm.dbgNotes->setFocus();
        QTest::keyClick(frm.dbgNotes, Qt::Key_Insert);
        typeNote(frm.dbgNotes, "Half a note");
        break;
    case Change::PeriodAdded:
        WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) { d->btnAdd->click(); });
        frm.btnAddDate->click();
        break;
    case Change::RowStored:
        fillNameAndAddress(frm);
        static_cast<TfrmAddMember&>(frm).grpNameAddressExit();
        QVERIFY(frm.adoMember->recNo() >= 1);
        break;
    }
    const auto onScreen = [&] {
        QStringList shown;
        for (const DBEdit* e : frm.findChildren<DBEdit*>())
            shown << e->text();
        for (const DatasetGrid* grid : frm.findChildren<DatasetGrid*>())
            shown << QString::number(grid->model()->rowCount());
        if (QWidget* focus = QApplication::focusWidget())
            if (auto* line = qobject_cast<QLineEdit*>(focus))
                shown << line->text();
        return shown;
    };
    const QStringList shown = onScreen();
    const auto close = [&] {
        switch (closeBy) {
        case CloseBy::Esc:
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            break;
        case CloseBy::CloseButton:
            frm.btnClose->click();
            break;
        case CloseBy::FrameClose:
            frm.close();
            break;
        }
    };

    if (change != Change::None) {
        boxes.queue(MessageResult::No);
        close();
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().at(0).text, QString("Discard the changes to this member?"));
        QCOMPARE(boxes.shown().at(0).defaultAnswer, MessageResult::No);
        QVERIFY(frm.isVisible());
        QCOMPARE(onScreen(), shown);
        boxes.queue(MessageResult::Yes);
    }
    close();
    QCOMPARE(boxes.shown().size(), change == Change::None ? 0 : 2);
    QVERIFY(!frm.isVisible());
    QCOMPARE(frm.result(), int(QDialog::Rejected));
    QVERIFY(!watchdog.fired());
    guard.rollback();
    QCOMPARE(RecordOf(f.connection(), f.smith), before);
    QCOMPARE(f.reg.count("Members"), members);
}

void TestMemberFrm::noteStartedByTyping_data() {
    QTest::addColumn<bool>("adding");
    QTest::newRow("new member, empty grid") << true;
    QTest::newRow("member, Insert on the first note") << false;
}

// Typing into an empty notes grid, or Insert on any row, starts a note that
// Update (Add) stores with the member.
void TestMemberFrm::noteStartedByTyping() {
    QFETCH(bool, adding);
    MemberFixture f;
    TransactionGuard guard(f.connection());
    const std::unique_ptr<TfrmMember> window = shownWindow(f, adding);
    QVERIFY(window);
    TfrmMember& frm = *window;
    MessageBoxTestScope boxes;
    qvtest::ModalWatchdog watchdog(8000);
    if (adding) {
        fillNameAndAddress(frm);
        WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) { d->btnAdd->click(); });
        frm.btnAddDateClick();
        frm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frm));
    }
    const qint64 id = frm.adoMember->field("MemberID").asInteger();
    frm.pgcDetails->setCurrentWidget(frm.tabNotes);
    frm.dbgNotes->setFocus();
    QCOMPARE(frm.dbgNotes->model()->rowCount(), adding ? 0 : 1);
    if (!adding)
        QTest::keyClick(frm.dbgNotes, Qt::Key_Insert);
    typeNote(frm.dbgNotes, "Met at the fair");
    frm.btnUpdate->click();
    QCOMPARE(frm.result(), int(QDialog::Accepted));
    QVERIFY(!watchdog.fired());
    guard.commit();
    const QStringList notes = RecordOf(f.connection(), id).filter("MemberNotes|");
    QCOMPARE(notes.size(), adding ? 1 : 2);
    QVERIFY2(notes.last().endsWith("|Met at the fair"), qPrintable(notes.join('\n')));
}

void TestMemberFrm::deleteAssetTakesTheChosenRow_data() {
    QTest::addColumn<int>("row");
    QTest::newRow("first row") << 1;
    QTest::newRow("second row") << 2;
}

// The issued asset chosen goes by its own key, and nothing else: not the
// first row, not a row whose own key equals the chosen one's asset kind.
void TestMemberFrm::deleteAssetTakesTheChosenRow() {
    QFETCH(int, row);
    MemberFixture f;
    // Jones holds a card too, stored before Smith's; Smith's card sorts
    // first ("Library card"), so his rows' keys and kinds cross over.
    const qint64 jonesCard =
        f.reg.insert("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued) VALUES (:M, :A, :D)",
                     {{"M", f.jones}, {"A", f.card}, {"D", QDate(2020, 1, 1)}});
    f.reg.insert("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued) VALUES (:M, :A, :D)",
                 {{"M", f.smith}, {"A", f.card}, {"D", QDate(2021, 1, 1)}});
    const auto keys = [&] {
        return f.reg
            .scalar("SELECT group_concat(MemberAssetID) FROM (SELECT MemberAssetID FROM "
                    "MemberAssets ORDER BY 1)")
            .toText()
            .split(',');
    };
    OpenMember open(f.connection(), f.smith);
    TfrmMember& frm = open.frm;
    QCOMPARE(frm.adoAssets->recordCount(), 2);
    frm.adoAssets->setRecNo(row);
    const QString chosen = frm.adoAssets->field("MemberAssetID").asString();
    // The chosen row's asset kind is the key of another member's row.
    if (row == 1)
        QCOMPARE(frm.adoAssets
                     ->field(TfrmMember::LookupKeyColumn(*frm.adoAssets, "MemberAssets", "AssetID"))
                     .asInteger(),
                 f.card);
    QStringList expected = keys();
    QVERIFY(expected.removeOne(chosen));
    QVERIFY(expected.contains(QString::number(jonesCard)));

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    frm.mnuAssetsDelete->trigger();
    QCOMPARE(boxes.shown().at(0).text,
             QString("Are you sure you want to delete this member asset?"));
    QCOMPARE(boxes.shown().at(0).defaultAnswer, MessageResult::No);
    QCOMPARE(keys(), expected);
    QCOMPARE(frm.adoAssets->recordCount(), 1);
}

void TestMemberFrm::accessKeysAreUnique_data() {
    QTest::addColumn<bool>("adding");
    QTest::newRow("member window") << false;
    QTest::newRow("add member") << true;
}

// Every label, tab and working button of the window has an access key of
// its own, so each is reached with Alt and its letter.
void TestMemberFrm::accessKeysAreUnique() {
    QFETCH(bool, adding);
    MemberFixture f;
    TransactionGuard guard(f.connection());
    const std::unique_ptr<TfrmMember> window = shownWindow(f, adding);
    QVERIFY(window);
    TfrmMember& frm = *window;

    // Each caption's key letter ('?' when it has none); disabled buttons
    // take no key (Qt passes them over), the tabs' own buttons have none.
    QStringList captions, keys;
    for (const QLabel* label : frm.findChildren<QLabel*>())
        if (label->buddy())
            captions << label->text();
    for (int tab = 0; tab < frm.pgcDetails->count(); ++tab)
        captions << frm.pgcDetails->tabText(tab);
    for (const QPushButton* button : frm.findChildren<QPushButton*>())
        if (button->isEnabled() && button->text().contains('&'))
            captions << button->text();
    for (const QString& caption : captions)
        keys << QString(caption).remove("&&").section('&', 1).left(1).toLower();
    QVERIFY2(!keys.contains(QString()), qPrintable(captions.join(", ")));
    QVERIFY2(QSet<QString>(keys.begin(), keys.end()).size() == keys.size(),
             qPrintable(captions.join(", ")));
    QCOMPARE(keys.size(), 8 + 7 + (adding ? 2 : 4)); // labels, tabs, buttons

    // Alt and the button's letter presses it.
    MessageBoxTestScope boxes;
    if (!adding) {
        QSignalSpy updates(frm.btnUpdate, &QPushButton::clicked);
        QTest::keyClick(&frm, Qt::Key_U, Qt::AltModifier);
        QTRY_COMPARE(updates.count(), 1); // a shortcut presses it animated
    }
}


// As QV_APP_TEST_MAIN, and the other copy when this program is run as one.
extern "C" const char* __lsan_default_options() {
    return "detect_leaks=0";
}
int main(int argc, char** argv) {
    QuorvaneApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(CopyVariable))
        return runOtherCopy();
    TestMemberFrm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_memberfrm.moc"
