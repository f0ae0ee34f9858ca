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
};

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
    QVERIFY(!picker.dateEdit()->isEnabled());
    picker.setChecked(true);
    QCOMPARE(picker.dateTime(), stored);
    picker.dateEdit()->setDate(QDate(2001, 5, 7)); // as the user picks it
    QCOMPARE(picker.dateTime(), QDateTime(QDate(2001, 5, 7), QTime(0, 0)));
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
    QTest::keyClicks(&amount, "123456");
    QCOMPARE(amount.text(), QString("1234"));

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

QTEST_MAIN(TestMemberDialogs)
#include "tst_memberdialogs.moc"
