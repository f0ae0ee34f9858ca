// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemberFixture.h"
#include "ModalHelpers.h"
#include "members/AddDateJoinedFrm.h"
#include "members/AddMemberAssetFrm.h"
#include "members/FeePaymentAddFrm.h"
#include "members/FileAddFrm.h"
#include "members/MemberFrm.h"
#include "platform/data/Dataset.h"
#include "platform/data/Transaction.h"
#include "platform/os/Regional.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "settings/AppInfo.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace qv;
using membertest::MemberFixture;
using membertest::OpenMember;

// The record dialogs on their own: what they offer, what they refuse, and
// the amount field on systems with either decimal separator.
class TestMemberDialogs : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Regional::resetLocale(); }
    void lookupListsAndTheEndDateTick();
    void emptyLookupOrEscapeAddsNothing();
    void pickerKeepsAStoredTimeUntilADateIsPicked();
    void amountShowsTwoDecimalsAndReadsItsOwnPoint();
    void fileBrowseAndChecks();
    void typedDateIsStoredOrRefused_data();
    void typedDateIsStoredOrRefused();
    void typedAmountIsStoredOrRefused_data();
    void typedAmountIsStoredOrRefused();
};

namespace {

// Opens the dialog of `button` in Smith's record, lets `act` type into it and
// press its OK; when OK refused, `act` has checked why and the dialog is
// cancelled. Returns whether the dialog closed by OK.
bool DriveRecordDialog(TfrmMember& frm, const QString& button,
                       const std::function<void(QDialog*)>& act) {
    bool accepted = false;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* dialog = static_cast<QDialog*>(modal);
        // Focus events, and so the selection on entry, need the active window.
        dialog->activateWindow();
        if (QTest::qWaitForWindowActive(dialog))
            act(dialog);
        accepted = !dialog->isVisible() && dialog->result() == QDialog::Accepted;
        if (dialog->isVisible())
            dialog->reject();
    });
    frm.findChild<QPushButton*>(button)->click();
    return accepted;
}

QPushButton* ConfirmButton(QDialog* dialog) {
    auto* add = dialog->findChild<QPushButton*>("btnAdd");
    return add ? add : dialog->findChild<QPushButton*>("btnOK");
}

} // namespace

void TestMemberDialogs::lookupListsAndTheEndDateTick() {
    MemberFixture f;
    TfrmAddDateJoined period;
    QStringList offered;
    bool reasonAtFirst = true;
    qvtest::WhenModal([&](QWidget*) {
        for (int i = 0; i < period.dblMemberCategory->count(); ++i)
            offered << period.dblMemberCategory->itemText(i);
        reasonAtFirst = period.edtReasonEnded->isEnabled();
        period.reject();
    });
    QVERIFY(!period.ShowWithLookup(f.connection(),
                                   "SELECT * FROM MembershipLevel ORDER BY MemberCategory",
                                   "MemberCategory", "MembershipLevelID"));
    QCOMPARE(offered, QStringList({"Gold", "Member", "Plain"}));
    QCOMPARE(period.KeyValue(), f.gold);
    QVERIFY(!reasonAtFirst);
    QVERIFY(!period.dtpEndDate->isChecked());
    // Ticking the end date enables the reason; unticking keeps its text.
    period.dtpEndDate->setChecked(true);
    QVERIFY(period.edtReasonEnded->isEnabled() && period.lblReasonEnded->isEnabled());
    period.edtReasonEnded->setText("Moved");
    period.dtpEndDate->setChecked(false);
    QVERIFY(!period.edtReasonEnded->isEnabled() && !period.lblReasonEnded->isEnabled());
    QCOMPARE(period.edtReasonEnded->text(), QString("Moved"));

    // An asset's reference can be typed whether it was returned or not.
    TfrmAddMemberAsset asset;
    QCOMPARE(asset.lblReasonEnded->text(), QString("Re&ference/No:"));
    QVERIFY(asset.edtReasonEnded->isEnabled());
    asset.dtpEndDate->setChecked(true);
    asset.dtpEndDate->setChecked(false);
    QVERIFY(asset.edtReasonEnded->isEnabled());
}

void TestMemberDialogs::emptyLookupOrEscapeAddsNothing() {
    MemberFixture f;
    f.connection().execute("DELETE FROM Profiles");
    TfrmMember frm;
    TransactionGuard guard(f.connection());
    frm.OpenForMember(f.connection(), int(f.smith));
    frm.show();
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog(5000);
    frm.btnProfilesAddClick();
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().at(0).text, QString("There is no categories to list."));
    QCOMPARE(boxes.shown().at(0).kind, MessageKind::Error);
    QCOMPARE(frm.adoProfiles->recordCount(), 0);

    // Esc in a dialog is Cancel: nothing is written.
    const int periods = frm.adoDatesJoined->recordCount();
    qvtest::WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    frm.btnAddDateClick();
    QVERIFY(!watchdog.fired());
    QCOMPARE(frm.adoDatesJoined->recordCount(), periods);
    QCOMPARE(f.reg.count("DatesJoined"), 3);
}

void TestMemberDialogs::pickerKeepsAStoredTimeUntilADateIsPicked() {
    DatePicker picker(true);
    const QDateTime stored(QDate(2001, 5, 6), QTime(10, 30));
    picker.setDateTime(stored);
    QCOMPARE(picker.dateTime(), stored);
    // The tick box says whether there is a date; it does not touch the value.
    picker.setChecked(false);
    QVERIFY(!picker.lineEdit()->isEnabled());
    picker.setChecked(true);
    QCOMPARE(picker.dateTime(), stored);
    picker.lineEdit()->selectAll();
    QTest::keyClicks(picker.lineEdit(), "2001-05-07"); // as the user types it
    QVERIFY(picker.commitTyped());
    QCOMPARE(picker.dateTime(), QDateTime(QDate(2001, 5, 7), QTime(0, 0)));
    QCOMPARE(picker.text(), QString("Monday, 7 May 2001"));
}

void TestMemberDialogs::amountShowsTwoDecimalsAndReadsItsOwnPoint() {
    test::pinRegional();
    AmountEdit amount;
    const struct {
        const char* typed;
        const char* shown;
    } cases[] = {{"", "0.00"},   {"12", "12.00"}, {"12.5", "12.50"},
                 {".5", "0.50"}, {"7.", "7.00"},  {".", "."}};
    for (const auto& c : cases) {
        amount.setText(c.typed);
        amount.normalise();
        QCOMPARE(amount.text(), QString(c.shown));
    }
    QVERIFY_THROWS_EXCEPTION(AmountError, amount.amount());
    amount.setAmount(12);
    QCOMPARE(amount.text(), QString("12"));
    amount.setAmount(12.5);
    QCOMPARE(amount.text(), QString("12.5"));
    // A stored amount beyond what can be typed is shown whole, not cut.
    amount.setAmount(12345.67);
    QCOMPARE(amount.text(), QString("12345.67"));
    QCOMPARE(amount.amount(), 12345.67);
    amount.setAmount(0.125);
    QCOMPARE(amount.text(), QString("0.125"));
    amount.clear();
    QTest::keyClicks(&amount, "123456"); // no digit is dropped on the way
    QCOMPARE(amount.text(), QString("123456"));

    // Where the separator is a comma, the comma typed is the field's point,
    // and 12.50 is still twelve and a half.
    Regional::setLocaleForTesting(QLocale(QLocale::German, QLocale::Germany));
    TfrmFeePaymentAdd payment;
    QCOMPARE(payment.lblPaymentAmount->text(), QString("&Payment Amount (€):"));
    payment.mskPaymentAmount->clear();
    QTest::keyClicks(payment.mskPaymentAmount, "12,5");
    payment.mskPaymentAmountExit();
    QCOMPARE(payment.mskPaymentAmount->text(), QString("12.50"));
    QCOMPARE(payment.mskPaymentAmount->amount(), 12.5);
}

void TestMemberDialogs::fileBrowseAndChecks() {
    test::SettingsSandbox settings;
    test::TempFolder folder;
    const QString path = folder.filePath("Minutes 2019.pdf");
    QVERIFY(test::writeFileBytes(path, "%PDF"));
    TfrmFileAdd dialog;
    dialog.edtDescription->setText("typed before");
    FileDialogTestScope files;
    files.queueCancel();
    dialog.btnBrowseClick();
    QVERIFY(dialog.edtFile->text().isEmpty());
    files.queue(path);
    dialog.btnBrowseClick();
    QCOMPARE(dialog.edtFile->text(), path);
    QCOMPARE(dialog.edtDescription->text(), QString("Minutes 2019.pdf"));
    const FileDialogRequest& request = files.requests().last();
    QCOMPARE(request.caption, QString("Add File Link"));
    QCOMPARE(request.initialFolder, AppInfo::GetDocumentsFolder());
    QCOMPARE(request.filter, QString("All Files (*.*)|*.*"));

    // A path longer than the field is refused whole rather than cut into the
    // name of another file.
    {
        MessageBoxTestScope refused;
        refused.queue(MessageResult::Ok);
        files.queue("/" + QString(300, 'd') + "/long.pdf");
        dialog.btnBrowseClick();
        QCOMPARE(refused.shown().size(), 1);
        QVERIFY(refused.shown().at(0).text.startsWith("The path of this file is longer than 255"));
        QCOMPARE(dialog.edtFile->text(), path);
        QCOMPARE(dialog.edtDescription->text(), QString("Minutes 2019.pdf"));
    }

    // A description of spaces is no description; the texts go on untrimmed.
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    dialog.edtDescription->setText("   ");
    dialog.btnOKClick();
    QCOMPARE(boxes.shown().at(0).text, QString("You must enter a filename and description!"));
    QVERIFY(dialog.result() != QDialog::Accepted);
    dialog.edtDescription->setText(" Minutes ");
    dialog.btnOKClick();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.edtDescription->text(), QString(" Minutes "));
}

// Every date field of the record dialogs takes a date typed in one go, in
// the short form or as ISO, and the register gets exactly that date; one
// that does not exist is refused in the dialog, naming the field, with the
// text left as typed and the focus back in it. The whole long date fits.
void TestMemberDialogs::typedDateIsStoredOrRefused_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("column"); // "Table.Column"; empty when refused
    QTest::addColumn<QString>("stored"); // or the field named in the message
    const char* const rows[][6] = {
        {"period joined, short", "btnAddDate", "dtpJoinDate", "12/03/2015",
         "DatesJoined.DateJoined", "2015-03-12"},
        {"period ended, iso", "btnAddDate", "dtpEndDate", "2016-04-30", "DatesJoined.DateEnded",
         "2016-04-30"},
        {"payment, iso", "btnPaymentAdd", "dtpPaymentDate", "2015-03-12", "FeePayments.PaymentDate",
         "2015-03-12"},
        {"asset issued, two-digit year", "btnAssetsAdd", "dtpJoinDate", "1/2/99",
         "MemberAssets.DateIssued", "1999-02-01"},
        {"asset returned, short", "btnAssetsAdd", "dtpEndDate", "28/02/2016",
         "MemberAssets.DateReturned", "2016-02-28"},
        {"profile start, iso", "btnProfilesAdd", "dtpJoinDate", "2014-11-05",
         "MemberProfiles.ProfileStart", "2014-11-05"},
        {"file added, short", "btnFilesAdd", "dtpDateAdded", "05/11/2014",
         "FileAttachments.DateAdded", "2014-11-05"},
        {"31 February refused", "btnAddDate", "dtpJoinDate", "31/02/2015", "", "Date Joined"},
        {"words refused", "btnPaymentAdd", "dtpPaymentDate", "hello", "", "Payment Date"},
        {"ended 30 February refused", "btnAddDate", "dtpEndDate", "2015-02-30", "", "Date Ended"},
    };
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]) << QString(r[4])
                            << (*r[4] ? QString(r[5]) + " 00:00:00" : QString(r[5]));
}

void TestMemberDialogs::typedDateIsStoredOrRefused() {
    QFETCH(QString, button);
    QFETCH(QString, picker);
    QFETCH(QString, typed);
    QFETCH(QString, column);
    QFETCH(QString, stored);
    MemberFixture f;
    OpenMember open(f.connection(), f.smith);
    MessageBoxTestScope boxes;
    if (column.isEmpty())
        boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog(8000);
    QString shownAfter;
    bool focusBack = false, fits = false;
    const bool accepted = DriveRecordDialog(open.frm, button, [&](QDialog* dialog) {
        auto* field = dialog->findChild<DatePicker*>(picker);
        QLineEdit* edit = field->lineEdit();
        const QFontMetrics metrics(edit->font());
        fits = metrics.horizontalAdvance("Wednesday, 30 September 2026") <
               edit->contentsRect().width() - 4;
        field->setChecked(true);
        if (auto* file = dialog->findChild<QLineEdit*>("edtFile")) {
            file->setText(f.file);
            dialog->findChild<QLineEdit*>("edtDescription")->setText("Minutes");
        }
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() / 2, edit->height() / 2));
        QApplication::processEvents(); // the click's selection of the whole date
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Tab);
        ConfirmButton(dialog)->click();
        shownAfter = edit->text();
        focusBack = QApplication::focusWidget() == edit;
    });
    QVERIFY(!watchdog.fired());
    QVERIFY(fits);
    if (column.isEmpty()) {
        QVERIFY(!accepted);
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY2(boxes.shown().at(0).text.startsWith("\"" + typed + "\" in " + stored +
                                                     " is not a date.\n"),
                 qPrintable(boxes.shown().at(0).text));
        QVERIFY(boxes.shown().at(0).text.contains("dd/mm/yyyy (25/03/2015) or as yyyy-mm-dd"));
        QCOMPARE(shownAfter, typed);
        QVERIFY(focusBack);
        return;
    }
    QVERIFY(accepted);
    QVERIFY2(boxes.shown().isEmpty(), qPrintable(boxes.shown().value(0).text));
    const QStringList where = column.split('.');
    const QString key = where[0] == "DatesJoined" ? "DatesJoinedID" : where[0].chopped(1) + "ID";
    QCOMPARE(
        f.reg
            .scalar(
                QString("SELECT %2 FROM %1 ORDER BY %3 DESC LIMIT 1").arg(where[0], where[1], key))
            .toText(),
        stored);
}

// What is typed into the payment amount is what the register gets, wherever
// the click left the cursor in the "0.00" shown; what is no amount the field
// takes is refused with a message and stays as typed.
void TestMemberDialogs::typedAmountIsStoredOrRefused_data() {
    QTest::addColumn<QString>("entry"); // "left", "right": a click there; "tab"
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // empty when refused
    QTest::addColumn<QString>("refusal");
    const QString notAmount = "\"%1\" in Payment Amount (£) is not an amount.";
    const char* const rows[][5] = {
        {"12.5, click at the left", "left", "12.5", "12.5", ""},
        {"12.5, click at the right", "right", "12.5", "12.5", ""},
        {"12.5, tab", "tab", "12.5", "12.5", ""},
        {"12500.00", "right", "12500.00", "12500", ""},
        {"99999.99", "left", "99999.99", "99999.99", ""},
        {"the most", "left", "9999999.99", "9999999.99", ""},
        {"too large", "left", "10000000", "",
         "\"10000000\" in Payment Amount (£) is more than the 9999999.99 it takes."},
        {"three decimals", "right", "12.505", "", "-"},
        {"letters", "left", "12a", "", "-"},
        {"negative", "left", "-5", "", "-"},
        {"grouping comma", "left", "12,500", "", "-"},
    };
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3])
                            << (QString(r[4]) == "-" ? notAmount.arg(r[2]) : QString(r[4]));
}

void TestMemberDialogs::typedAmountIsStoredOrRefused() {
    QFETCH(QString, entry);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, refusal);
    MemberFixture f;
    OpenMember open(f.connection(), f.smith);
    MessageBoxTestScope boxes;
    if (stored.isEmpty())
        boxes.queue(MessageResult::Ok);
    qvtest::ModalWatchdog watchdog(8000);
    QString shownBefore, shownAfter;
    bool focusBack = false;
    const bool accepted = DriveRecordDialog(open.frm, "btnPaymentAdd", [&](QDialog* dialog) {
        auto* payment = static_cast<TfrmFeePaymentAdd*>(dialog);
        AmountEdit* amount = payment->mskPaymentAmount;
        shownBefore = amount->text();
        if (entry == "tab") {
            payment->edtReceiptRef->setFocus();
            QTest::keyClick(payment->edtReceiptRef, Qt::Key_Tab);
        } else {
            const int x = entry == "left" ? 3 : amount->width() - 3;
            QTest::mouseClick(amount, Qt::LeftButton, {}, QPoint(x, amount->height() / 2));
            QApplication::processEvents();
        }
        QTest::keyClicks(amount, typed);
        payment->btnAdd->click();
        shownAfter = amount->text();
        focusBack = QApplication::focusWidget() == amount;
    });
    QVERIFY(!watchdog.fired());
    QCOMPARE(shownBefore, QString("0.00"));
    if (stored.isEmpty()) {
        QVERIFY(!accepted);
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY2(boxes.shown().at(0).text.startsWith(refusal + "\nType the amount in digits"),
                 qPrintable(boxes.shown().at(0).text));
        QCOMPARE(shownAfter, typed);
        QVERIFY(focusBack);
        QCOMPARE(f.reg.count("FeePayments"), 1);
        return;
    }
    QVERIFY(accepted);
    QVERIFY2(boxes.shown().isEmpty(), qPrintable(boxes.shown().value(0).text));
    QCOMPARE(f.reg
                 .scalar("SELECT PaymentAmount FROM FeePayments ORDER BY FeePaymentID DESC "
                         "LIMIT 1")
                 .toFloat(),
             stored.toDouble());
}

QTEST_MAIN(TestMemberDialogs)
#include "tst_memberdialogs.moc"
