// SPDX-License-Identifier: GPL-3.0-or-later
#include "JetTestData.h"
#include "app/AppTestSupport.h"
#include "app/ImportFrm.h"
#include "app/MainFrm.h"
#include "app/SettingsFrm.h"
#include "db/DataModule.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalHelpers.h"
#include "settings/MemberSettings.h"
#include "support/AppTestMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace qv;
using namespace jettest;
using qv::test::SettingsSandbox;
using qv::test::TempFolder;

namespace {

void click(QWidget* window, const char* name) {
    QTest::mouseClick(window->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

} // namespace

class TestImportUi : public QObject {
    Q_OBJECT

private slots:
    void startUpOfferImportsAndOpensTheNewRegister();
    void startUpOfferDeclinedLeadsToTheSettings();
    void registerOnTheCommandLineImportedForThisRun();
    void accessFileImportedBeforeOffersItsRegister();
    void progressWindowCancels();
    void settingsImportButton();
    void commandLine();
    void damagedColumnOnlyWithTheLossAccepted();
};

void TestImportUi::startUpOfferImportsAndOpensTheNewRegister() {
    SettingsSandbox box;
    const QString jet = CopyFixture("register-small.mdb", box.folder(), "Club.mdb");
    const QByteArray before = Digest(jet);
    apptest::WriteSettings(box, true, jet);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    boxes.queue(MessageResult::Ok);
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();

    const QString fresh = box.filePath("Club (imported).mdb");
    QCOMPARE(boxes.shown().size(), 2);
    const MessageRequest question = boxes.shown().at(0);
    QCOMPARE(question.kind, MessageKind::Confirmation);
    QCOMPARE(question.buttons, MessageButtons::YesNo);
    QCOMPARE(question.placement, MessagePlacement::NearPointer);
    QVERIFY(question.text.contains('"' + jet + '"') && question.text.contains('"' + fresh + '"'));
    QVERIFY(question.text.contains("and use that from now on?"));
    QCOMPARE(boxes.shown().at(1).kind, MessageKind::Information);
    QVERIFY(boxes.shown().at(1).text.contains("Members: 54 read, 54 written"));

    QVERIFY(dm.adoMembers().isOpen());
    QCOMPARE(MemberSettings::GetAccessDatabase(), fresh);
    QCOMPARE(apptest::Scalar(dm.adoMembers(), "SELECT COUNT(*) FROM Members"), 54);
    QCOMPARE(Digest(jet), before);
}

void TestImportUi::startUpOfferDeclinedLeadsToTheSettings() {
    SettingsSandbox box;
    const QString jet = CopyFixture("register-small.mdb", box.folder(), "Club.mdb");
    apptest::WriteSettings(box, true, jet);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::No);
    qvtest::ModalWatchdog watchdog;
    QString shownPath;
    qvtest::WhenModal([&](QWidget* modal) {
        if (auto* settings = qobject_cast<TfrmSettings*>(modal)) {
            shownPath = settings->findChild<QLineEdit*>("edtDBFile")->text();
            click(settings, "btnCancel");
        }
    });
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    QVERIFY(frm.isTerminating());
    QVERIFY(!watchdog.fired());
    QCOMPARE(shownPath, jet);
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY(!QFileInfo::exists(box.filePath("Club (imported).mdb")));
}

void TestImportUi::registerOnTheCommandLineImportedForThisRun() {
    SettingsSandbox box;
    const QString jet = CopyFixture("register-small.mdb", box.folder(), "Club.mdb");
    apptest::WriteSettings(box, false, box.filePath("Saved.mdb"), "server", "Members");
    const QByteArray settings = box.settingsBytes();
    MemberSettings::SetRegisterForRun(jet);
    const struct Reset {
        ~Reset() { MemberSettings::SetRegisterForRun(QString()); }
    } reset;
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    boxes.queue(MessageResult::Ok);
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();

    // The new register is this run's; the saved settings stay as they were,
    // and the question promised no more.
    const QString fresh = box.filePath("Club (imported).mdb");
    const QString question = boxes.shown().at(0).text;
    QVERIFY2(question.contains("and open that for this run?") &&
                 question.contains("so are the saved settings") &&
                 !question.contains("from now on"),
             qPrintable(question));
    QVERIFY(dm.adoMembers().isOpen());
    QCOMPARE(MemberSettings::RegisterForRun(), fresh);
    QCOMPARE(apptest::Scalar(dm.adoMembers(), "SELECT COUNT(*) FROM Members"), 54);
    QCOMPARE(box.settingsBytes(), settings);
}

void TestImportUi::accessFileImportedBeforeOffersItsRegister() {
    // A file manager hands the same Access file over twice.
    SettingsSandbox box;
    const QString jet = CopyFixture("register-small.mdb", box.folder(), "Club.mdb");
    const struct Reset {
        ~Reset() { MemberSettings::SetRegisterForRun(QString()); }
    } reset;
    const QString fresh = box.filePath("Club (imported).mdb");
    MessageBoxTestScope boxes;
    for (int run = 1; run <= 2; ++run) {
        MemberSettings::SetRegisterForRun(jet);
        boxes.queue(MessageResult::Yes);
        if (run == 1)
            boxes.queue(MessageResult::Ok);
        Tdm dm;
        TfrmMain frm(dm);
        frm.OpenDatabase();
        QVERIFY(dm.adoMembers().isOpen());
        QCOMPARE(MemberSettings::RegisterForRun(), fresh);
    }
    // The second time: the register made the first time, not a second import.
    const QString question = boxes.shown().last().text;
    QVERIFY2(question.contains("It was imported into \"" + fresh + "\" before"),
             qPrintable(question));
    QCOMPARE(boxes.shown().size(), 3);
    QVERIFY(!QFileInfo::exists(box.filePath("Club (imported 2).mdb")));

    // Once the Access file has changed, it is to be imported anew.
    QFile changed(jet);
    QVERIFY(changed.open(QIODevice::ReadWrite));
    QVERIFY(changed.setFileTime(QDateTime::currentDateTime().addDays(1),
                                QFileDevice::FileModificationTime));
    changed.close();
    QCOMPARE(MemberSettings::ImportedRegisterFor(jet), QString());
}

void TestImportUi::progressWindowCancels() {
    TempFolder folder;
    const QString jet = CopyFixture("register-small.mdb", folder.path());
    TfrmImport frm(jet, folder.filePath("new.mdb"));
    QString shown;
    connect(&frm, &TfrmImport::progressed, [&](const QString& table, qint64, qint64) {
        if (table != "DatesJoined" || !shown.isEmpty())
            return;
        shown = frm.findChild<QLabel*>("lblImportTable")->text();
        QVERIFY(frm.isVisible() && QApplication::activeModalWidget() == &frm);
        click(&frm, "btnCancel");
    });
    const JetImport::Result result = frm.Execute();
    QCOMPARE(shown, QString("Copying DatesJoined... (60 of 278 rows)"));
    QCOMPARE(result.outcome, JetImport::Outcome::Cancelled);
    QVERIFY(!frm.isVisible());
    QCOMPARE(Entries(folder.path()), QStringList("register-small.mdb"));
}

void TestImportUi::settingsImportButton() {
    SettingsSandbox box;
    const QString jet = CopyFixture("register-small.mdb", box.folder(), "Club.mdb");
    const QString cut = box.filePath("Cut.mdb");
    QVERIFY(qv::test::writeFileBytes(cut, qv::test::readFileBytes(jet).left(100000)));
    const QString text = box.filePath("notes.txt");
    QVERIFY(qv::test::writeFileBytes(text, "not a register"));
    const QString fresh = box.filePath("Fresh.mdb");
    MessageBoxTestScope boxes;
    FileDialogTestScope files;
    TfrmSettings settings;
    settings.show();
    QVERIFY(QTest::qWaitForWindowExposed(&settings));
    auto* edtDBFile = settings.findChild<QLineEdit*>("edtDBFile");
    const QString stored = edtDBFile->text();

    files.queue(text);
    boxes.queue(MessageResult::Ok);
    click(&settings, "btnAccessImport");
    QCOMPARE(boxes.shown().at(0).text, QString("That file is not an Access database file."));

    files.queue(cut);
    files.queue(fresh);
    boxes.queue(MessageResult::Ok);
    click(&settings, "btnAccessImport");
    QCOMPARE(boxes.shown().at(1).kind, MessageKind::Error);
    QVERIFY(boxes.shown().at(1).text.endsWith("\n\r\n\rNo new register was made."));
    QVERIFY(!QFileInfo::exists(fresh));
    QCOMPARE(edtDBFile->text(), stored);

    files.queue(jet);
    files.queue(fresh);
    boxes.queue(MessageResult::Ok);
    click(&settings, "btnAccessImport");
    QCOMPARE(files.requests().last().fileName, box.filePath("Club (imported).mdb"));
    QVERIFY(boxes.shown().at(2).text.contains("In all: 278 read, 278 written"));
    QCOMPARE(edtDBFile->text(), fresh);
    QVERIFY(QFileInfo::exists(fresh));
    // As with New, the settings change only when saved.
    QCOMPARE(MemberSettings::GetAccessDatabase(), stored);
}

void TestImportUi::commandLine() {
    TempFolder folder;
    const QString jet = CopyFixture("register-small.mdb", folder.path());
    const QString target = folder.filePath("new.mdb");
    const auto run = [](const QStringList& args, QByteArray& out, QByteArray& err) {
        QProcess program;
        program.start(QStringLiteral(QV_PROGRAM), args);
        if (!program.waitForFinished(30000))
            return -1;
        out = program.readAllStandardOutput();
        err = program.readAllStandardError();
        return program.exitCode();
    };
    QByteArray out, err;
    QCOMPARE(run({"--import", jet, target}, out, err), 0);
    QVERIFY(out.contains("In all: 278 read, 278 written"));
    QVERIFY(out.contains("Every value was carried exactly."));
    QVERIFY(QFileInfo::exists(target));

    QCOMPARE(run({"--import", jet, target}, out, err), 1);
    QVERIFY(err.contains("There is already a file at") &&
            err.contains("No new register was made."));
    QCOMPARE(run({"--import", target, folder.filePath("other.mdb")}, out, err), 1);
    QVERIFY(err.contains("is not an Access database file."));
    QCOMPARE(run({"--import", jet}, out, err), 2);
    QVERIFY(err.contains("Usage:"));
    // A damaged column name: refused, with no way to accept the loss here.
    const QString damaged = folder.filePath("damaged.mdb");
    QVERIFY(qv::test::writeFileBytes(
        damaged, WithColumnRenamed(qv::test::readFileBytes(jet), "EmailAddress", "EmailAddresr")));
    QCOMPARE(run({"--import", damaged, folder.filePath("other.mdb")}, out, err), 1);
    QVERIFY(err.contains("Members.EmailAddress is missing"));
    QCOMPARE(Entries(folder.path()), QStringList({"damaged.mdb", "new.mdb", "register-small.mdb"}));
}

void TestImportUi::damagedColumnOnlyWithTheLossAccepted() {
    TempFolder folder;
    const QString damaged = folder.filePath("damaged.mdb");
    QVERIFY(qv::test::writeFileBytes(
        damaged, WithColumnRenamed(qv::test::readFileBytes(DataFile("register-small.mdb")),
                                   "EmailAddress", "EmailAddresr")));
    const QString target = folder.filePath("new.mdb");
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::No);
    QVERIFY(!ImportJetRegister(nullptr, damaged, target));
    QCOMPARE(Entries(folder.path()), QStringList("damaged.mdb"));
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().at(0).buttons, MessageButtons::YesNo);
    QVERIFY(boxes.shown().at(0).text.endsWith("Import anyway, without the values of these "
                                              "columns?"));

    boxes.queue(MessageResult::Yes);
    boxes.queue(MessageResult::Ok); // the summary
    QVERIFY(ImportJetRegister(nullptr, damaged, target));
    QCOMPARE(boxes.shown().size(), 3);
    // Told as a loss, never as a column the old file predates.
    const QString summary = boxes.shown().at(2).text;
    QVERIFY(summary.contains("Members.EmailAddress: a column the file lacks") &&
            !summary.contains("made before this column existed"));
    QVERIFY(QFileInfo::exists(target));
}

QV_APP_TEST_MAIN(TestImportUi)
#include "tst_importui.moc"
