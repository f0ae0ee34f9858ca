// SPDX-License-Identifier: GPL-3.0-or-later
// The lookup list editors driven as a user drives them, on a real register,
// and the main window's commands for them, for backup and for compaction.

#include "ModalHelpers.h"
#include "app/MainFrm.h"
#include "db/DataModule.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/InputBoxFrm.h"
#include "reference/EditMembershipLevelsEditFrm.h"
#include "reference/EditMembershipLevelsFrm.h"
#include "support/AppTestMain.h"
#include "support/RegisterFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <optional>
#include <sqlite3.h>

using namespace qv;
using qv::test::Register;

namespace {

QStringList Captions(const QTreeWidget* list) {
    QStringList captions;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        captions << list->topLevelItem(i)->text(0);
    return captions;
}

QTreeWidgetItem* Select(TfrmEditProfiles* frm, const QString& caption) {
    QTreeWidgetItem* item = frm->lsvProfiles->findItems(caption, Qt::MatchExactly).value(0);
    frm->lsvProfiles->setCurrentItem(item);
    return item;
}

// Answers the next modal dialog of type D with `act`; anything else is closed.
template <typename D> void Answer(std::function<void(D*)> act) {
    qvtest::WhenModal([act](QWidget* modal) {
        if (auto* dialog = qobject_cast<D*>(modal))
            act(dialog);
        else
            qobject_cast<QDialog*>(modal)->reject();
    });
}

// The input box: the text confirmed, or with none a name typed and Cancel.
// `seen` receives the caption, prompt, button and initial text, and the limit.
void AnswerInput(std::optional<QString> text, QString* seen = nullptr) {
    Answer<TfrmInputBox>([text, seen](TfrmInputBox* box) {
        if (seen)
            *seen =
                QStringList({box->windowTitle(), box->lblSearch->text(), box->btnFind->text(),
                             box->edtSearch->text(), QString::number(box->edtSearch->maxLength())})
                    .join('|');
        box->edtSearch->setText(text.value_or("Typed"));
        (text ? box->btnFind : box->btnCancel)->click();
    });
}

// The main window on the register, as the program starts.
struct MainWindow {
    qv::test::SettingsSandbox box;
    Tdm dm;
    std::unique_ptr<TfrmMain> frm;
    explicit MainWindow(Register& reg) {
        reg->close();
        box.writeSettings(QString("[Database]\nUseAccessDatabase=1\nAccessDatabase=%1\n")
                              .arg(reg.path())
                              .toUtf8());
        frm = std::make_unique<TfrmMain>(dm);
        frm->OpenDatabase();
    }
    void trigger(const char* action) { frm->findChild<QAction*>(action)->trigger(); }
    qint64 count(const char* table) {
        Query q(&dm.adoMembers());
        q.setSQL(QString("SELECT COUNT(*) FROM ") + table);
        Result r;
        q.fetch(r);
        return r.rows.value(r.rows.cell(0, 0)).toInteger();
    }
};

} // namespace

class TestEditors : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Clock::resetNow(); }
    void nameListAddAndRename();
    void refusedAddIsNotWrittenLater();
    void deletingAnAssetKindCascadesUntilApply();
    void levelsEditor();
    void backupAndCompactCommands();
};

void TestEditors::nameListAddAndRename() {
    Register reg;
    reg.insert("INSERT INTO Assets (AssetName) VALUES ('keys'), ('Locker')");
    TransactionGuard transaction(reg.connection());
    qvtest::ModalWatchdog watchdog;
    QString add, rename;
    QStringList afterAdd, afterRefusals, afterRename;
    bool firstSelected = false;
    TfrmEditProfiles frm;
    qvtest::WhenModal([&](QWidget*) {
        AnswerInput("Keys", &add); // another case is another name
        frm.btnAdd->click();
        afterAdd = Captions(frm.lsvProfiles);
        firstSelected = frm.lsvProfiles->topLevelItem(0)->isSelected();
        for (auto refused : {std::optional<QString>(" Keys "), std::optional<QString>("  "),
                             std::optional<QString>()}) {
            AnswerInput(refused);
            frm.btnAdd->click();
        }
        Select(&frm, "Locker");
        for (auto refused : {std::optional<QString>("Locker"), std::optional<QString>(""),
                             std::optional<QString>("keys"), std::optional<QString>()}) {
            AnswerInput(refused);
            frm.btnRename->click();
        }
        afterRefusals = Captions(frm.lsvProfiles);
        AnswerInput(" Lockers ", &rename);
        frm.btnRename->click();
        afterRename = Captions(frm.lsvProfiles);
        frm.btnApply->click();
    });
    QVERIFY(frm.EditList(reg.connection(), "SELECT * FROM Assets ORDER BY AssetName", "New Asset",
                         "Edit Assets", "AssetID", "AssetName", "Assets"));
    QVERIFY(!watchdog.fired());
    // The limit is the column's width: a longer name cannot be typed.
    QCOMPARE(add, QString("New Asset|New Asset:|&Add||20"));
    QCOMPARE(rename, QString("Rename|New name:|C&hange|Locker|20"));
    QCOMPARE(afterAdd, QStringList({"keys", "Locker", "Keys"}));
    QVERIFY(firstSelected);
    QCOMPARE(afterRefusals, afterAdd);
    QCOMPARE(afterRename, QStringList({"keys", "Lockers", "Keys"})); // in its place
    QCOMPARE(reg.scalar("SELECT group_concat(AssetName) FROM Assets").toText(),
             QString("keys,Lockers,Keys"));
}

void TestEditors::refusedAddIsNotWrittenLater() {
    Register reg;
    reg.connection().execute("CREATE TRIGGER refuse BEFORE INSERT ON Assets WHEN "
                             "NEW.AssetName = 'Bad' BEGIN SELECT RAISE(ABORT, 'Bad is refused'); "
                             "END");
    TransactionGuard transaction(reg.connection());
    qvtest::ModalWatchdog watchdog;
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    QStringList after;
    TfrmEditProfiles frm;
    qvtest::WhenModal([&](QWidget*) {
        AnswerInput("Bad");
        QTest::mouseClick(frm.btnAdd, Qt::LeftButton); // the refusal goes to the error report
        AnswerInput("Good");
        frm.btnAdd->click();
        after = Captions(frm.lsvProfiles);
        frm.btnApply->click();
    });
    QVERIFY(frm.EditList(reg.connection(), "SELECT * FROM Assets ORDER BY AssetName", "New Asset",
                         "Edit Assets", "AssetID", "AssetName", "Assets"));
    QVERIFY(!watchdog.fired());
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY(boxes.shown()[0].text.contains("Bad is refused"));
    QCOMPARE(after, QStringList({"Good"}));
    QCOMPARE(reg.scalar("SELECT group_concat(AssetName) FROM Assets").toText(), QString("Good"));
}

void TestEditors::deletingAnAssetKindCascadesUntilApply() {
    Register reg;
    reg.insert("INSERT INTO Assets (AssetName) VALUES ('Keys'), ('Locker')");
    for (const char* surname : {"Ames", "Baird"})
        reg.insert("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued) VALUES (:M, 1, :D)",
                   {{"M", reg.addMember(surname, "A")}, {"D", QDate(2009, 1, 1)}});
    MainWindow main(reg);

    for (const bool apply : {false, true}) {
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Yes);
        qvtest::ModalWatchdog watchdog;
        QStringList seen;
        Answer<TfrmEditProfiles>([&](TfrmEditProfiles* frm) {
            Select(frm, "Keys");
            frm->btnDelete->click();
            seen << frm->windowTitle() << Captions(frm->lsvProfiles)
                 << QString::number(frm->btnDelete->isEnabled() + frm->btnRename->isEnabled())
                 << QString::number(main.count("MemberAssets"));
            (apply ? frm->btnApply : frm->btnCancel)->click();
        });
        main.trigger("mnuDataEditAssets");
        QVERIFY(!watchdog.fired());
        // Gone with its issues while the window is open; nothing selected after.
        QCOMPARE(seen, QStringList({"Edit Assets", "Locker", "0", "0"}));
        QCOMPARE(boxes.shown().at(0).text,
                 QString("Are you sure you want to delete this item?\n\r\n\rThis action can not "
                         "be undone.\n\r\n\rMembers will no longer be associated with this item"));
        QCOMPARE(boxes.shown().at(0).defaultAnswer, MessageResult::No); // Enter keeps it
        QVERIFY(!main.dm.adoMembers().inTransaction());
        QCOMPARE(main.count("Assets"), apply ? 1 : 2);
        QCOMPARE(main.count("MemberAssets"), apply ? 0 : 2);
    }
}

void TestEditors::levelsEditor() {
    Register reg;
    const qint64 life = reg.addLevel("Life", 0x00FFFF, 0x000080);
    reg.addLevel("Spare", 0xF0CAA6, -1);
    // Life only by a past member's ended period; Member by a current one.
    reg.addPeriod(reg.addMember("Ames", "A"), QDate(1990, 1, 1), QDate(2000, 1, 1), life);
    reg.addPeriod(reg.addMember("Baird", "B"), QDate(2005, 1, 1));
    // Longer than its column: written by another program, past our guards.
    sqlite3* raw = nullptr;
    sqlite3_open(reg.path().toUtf8().constData(), &raw);
    QCOMPARE(sqlite3_exec(raw,
                          "INSERT INTO MembershipLevel (MemberCategory, HighlightColour, "
                          "FontColour, IncludeLongService) VALUES ('Twenty-five characters..', "
                          "-1, -1, 0)",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(raw);

    TransactionGuard transaction(reg.connection());
    qvtest::ModalWatchdog watchdog;
    QStringList deletable, finalCaptions, editSeen;
    QList<QBrush> brushes;
    TfrmEditMembershipLevels frm;
    qvtest::WhenModal([&](QWidget*) {
        for (const QString& level : Captions(frm.lsvProfiles))
            if (Select(&frm, level) && frm.btnDelete->isEnabled())
                deletable << level;
        for (const char* level : {"Life", "Member", "Spare"})
            brushes << Select(&frm, level)->background(0) << Select(&frm, level)->foreground(0);

        // Added without colours and trimmed; the same text (blanks around it
        // too), a blank one and a cancelled dialog add nothing.
        for (const char* typed : {"Junior", " Cadet ", "Spare ", "Spare", "   ", ""}) {
            Answer<TfrmEditMembershipLevelsAdd>([typed](TfrmEditMembershipLevelsAdd* d) {
                d->edtCategory->setText(typed);
                (*typed ? d->btnAdd : d->btnCancel)->click();
            });
            frm.btnAdd->click();
        }
        brushes << Select(&frm, "Junior")->background(0);
        // The default level (-1, none of the twenty) edited without touching
        // anything, then the over-long one, cut to its column.
        for (const char* level : {"Member", "Twenty-five characters.."}) {
            Select(&frm, level);
            Answer<TfrmEditMembershipLevelsEdit>([&](TfrmEditMembershipLevelsEdit* d) {
                editSeen << d->windowTitle() + '|' + d->btnEdit->text() + '|' +
                                d->edtCategory->text() + '|' +
                                QString::number(d->colHighlightColour->currentIndex() +
                                                d->colFontColour->currentIndex());
                d->btnEdit->click();
            });
            frm.btnRename->click();
        }
        finalCaptions = Captions(frm.lsvProfiles);
        frm.btnApply->click();
    });
    QVERIFY(
        frm.EditLevels(reg.connection(), "SELECT * FROM MembershipLevel ORDER BY MemberCategory"));
    QVERIFY(!watchdog.fired());
    QCOMPARE(frm.windowTitle() + '|' + frm.btnRename->text(),
             QString("Edit Membership Types|&Edit"));
    QCOMPARE(deletable, QStringList({"Spare", "Twenty-five characters.."}));
    // Life in its colours; Member in the list's; Spare's highlight without a
    // font colour; Junior, added without colours, in the list's.
    QCOMPARE(brushes.at(0).color(), QColor(255, 255, 0));
    QCOMPARE(brushes.at(1).color(), QColor(128, 0, 0));
    for (int i : {2, 3, 5, 6})
        QCOMPARE(brushes.at(i).style(), Qt::NoBrush);
    QCOMPARE(editSeen, QStringList({"Edit Membership Category|&Edit|Member|-2",
                                    "Edit Membership Category|&Edit|Twenty-five characte|-2"}));
    QCOMPARE(finalCaptions,
             QStringList({"Life", "Member", "Spare", "Twenty-five characte", "Junior", "Cadet"}));
    // No colour chosen is stored as -16777216.
    QCOMPARE(reg.scalar("SELECT group_concat(MemberCategory || ':' || HighlightColour || ':' || "
                        "FontColour || ':' || IncludeLongService, ',') FROM MembershipLevel")
                 .toText(),
             QString("Member:-16777216:-16777216:1,Life:65535:128:1,Spare:15780518:-1:1,"
                     "Twenty-five characte:-16777216:-16777216:0,"
                     "Junior:-16777216:-16777216:1,Cadet:-16777216:-16777216:1"));

    // With two levels no period has, one may go; the one left, unused too,
    // cannot be deleted.
    reg.connection().execute("DELETE FROM DatesJoined");
    reg.connection().execute("DELETE FROM MembershipLevel WHERE MembershipLevelID > 1 AND "
                             "MemberCategory <> 'Spare'");
    bool spareDeletable = false, lastDeletable = true;
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    qvtest::WhenModal([&](QWidget*) {
        spareDeletable = Select(&frm, "Spare") && frm.btnDelete->isEnabled();
        frm.btnDelete->click();
        lastDeletable = Select(&frm, "Member") && frm.btnDelete->isEnabled();
        frm.btnApply->click();
    });
    QVERIFY(frm.EditLevels(reg.connection(), "SELECT * FROM MembershipLevel"));
    QVERIFY(spareDeletable);
    QVERIFY(!lastDeletable);
    QCOMPARE(reg.scalar("SELECT group_concat(MemberCategory) FROM MembershipLevel").toText(),
             QString("Member"));
}

void TestEditors::backupAndCompactCommands() {
    Register reg;
    MainWindow main(reg);
    main.frm->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.frm.get()));
    qv::test::TempFolder target;
    Clock::setNowForTesting(QDateTime(QDate(2010, 3, 5), QTime(14, 25, 30)));
    FileDialogTestScope dialogs;
    MessageBoxTestScope boxes;
    // Twice within one second, then cancelled (which shows nothing).
    for (int i = 0; i < 2; ++i) {
        dialogs.queue(target.path());
        boxes.queue(MessageResult::Ok);
        main.trigger("mnuDataBackup");
    }
    dialogs.queueCancel();
    main.trigger("mnuDataBackup");
    const FileDialogRequest& browser = dialogs.requests().at(0);
    QVERIFY(browser.kind == FileDialogKind::Folder && !browser.allowNewFolder);
    QCOMPARE(browser.caption, QString("Select folder to store backup"));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"quorvane_2010_03_05_142530.mdb"});

    boxes.queue(MessageResult::Ok);
    main.trigger("mnuSettingsCompactRepair");
    QVERIFY(QFile::exists(QFileInfo(reg.path()).path() +
                          "/QuorvaneBackups/register2010_03_05_142530.mdb"));
    // Refused while another copy has the register open: the error report
    // instead of the success message, and the register open again.
    reg->open();
    boxes.queue(MessageResult::Ok);
    main.frm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main.frm.get()));
    QTest::keyClick(main.frm.get(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(main.dm.adoMembers().isOpen());

    QStringList shown;
    for (const MessageRequest& box : boxes.shown())
        shown << QString::number(int(box.kind)) + ' ' + box.text;
    const QString copy = target.filePath("quorvane_2010_03_05_142530.mdb");
    QCOMPARE(shown, QStringList({"1 Backup created!\n\r" + copy,
                                 "0 There was a problem creating the backup.\n\r\n\rA file "
                                 "named \"" +
                                     copy + "\" is already there.",
                                 "1 Compact and repair complete!\n\r\n\rThe database as it was "
                                 "is kept as:\n\r" +
                                     QFileInfo(reg.path()).path() +
                                     "/QuorvaneBackups/register2010_03_05_142530.mdb",
                                 "0 The database is open in another copy of Quorvane. Close it "
                                 "there and compact again. Nothing has been changed."}));
    QCOMPARE(boxes.shown().at(1).placement, MessagePlacement::NearPointer);
    main.frm->hide();
}

QV_APP_TEST_MAIN(TestEditors)
#include "tst_editors.moc"
