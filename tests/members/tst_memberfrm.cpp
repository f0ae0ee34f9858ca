#include "MemberFixture.h"
#include "ModalHelpers.h"
#include "app/MainFrm.h"
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
#include "support/AppTestMain.h"
#include "support/UrlCatcher.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
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

} // namespace

class TestMemberFrm : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Regional::resetLocale(); }
    void visitIsUndoneByCloseAndStoredByUpdate();
    void updateWaitsOutAnotherCopyReading();
    void anotherCopysUnstoredChangesRefuseAStep();
    void updateChecksAndDeleteMember();
    void modifyDialogsOpenPresetAndWriteBackUnchanged();
    void readOnlyRegisterCanOnlyBeLookedAt();
    void tabsColoursFilesAndMail();
    void notesAndFailedActionsLeaveNothingPending();
    void addMember();
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

// A second copy of the program reading the register (its own member window
// open) keeps the commit waiting. Update then says so and keeps the window
// and the visit as they were, to be pressed again; Delete Member is undone.
void TestMemberFrm::updateWaitsOutAnotherCopyReading() {
    MemberFixture f;
    f.connection().setBusyTimeout(100);
    Connection other;
    other.setConnectionString(f.reg.connectionString());
    other.open();
    const auto otherReads = [&] {
        other.beginTrans();
        Query q(&other);
        q.setSQL("SELECT COUNT(*) FROM Members");
        Result rows;
        q.fetch(rows);
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
        other.rollbackTrans();
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
        other.rollbackTrans();
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
    const auto addPayment = [](TfrmMember* frm) {
        WhenDialog<TfrmFeePaymentAdd>([](TfrmFeePaymentAdd* d) {
            d->edtReceiptRef->setText("R-2");
            d->mskPaymentAmount->setText("5");
            d->btnAdd->click();
        });
        QTest::mouseClick(frm->btnPaymentAdd, Qt::LeftButton);
    };
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
    QCOMPARE(frm.pgcDetails->count(), 6);

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
        });
        boxes.queue(MessageResult::Ok);
        QTest::mouseClick(frm.btnPaymentAdd, Qt::LeftButton);
        QCOMPARE(frm.adoFeePayments->state(), Dataset::State::Browse);
        QCOMPARE(frm.adoFeePayments->recordCount(), 1);
    }
    QCOMPARE(shownTexts(boxes), QStringList({"Refused.", "'.' is not a valid amount."}));
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
        WhenDialog<TfrmAddMember>([](TfrmAddMember* frm) {
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
    QCOMPARE(boxes.shown().last().text, NameFirst);
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

QV_APP_TEST_MAIN(TestMemberFrm)

#include "tst_memberfrm.moc"
