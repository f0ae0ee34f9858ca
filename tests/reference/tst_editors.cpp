// The lookup list editors driven as a user drives them, on a real register,
// and the main window's five commands that this folder's windows and the
// backup and compaction serve.

#include "ModalHelpers.h"
#include "app/MainFrm.h"
#include "db/DataModule.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "reference/EditMembershipLevelsEditFrm.h"
#include "reference/EditMembershipLevelsFrm.h"
#include "search/InputBoxFrm.h"
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

const QDateTime Moment(QDate(2010, 3, 5), QTime(14, 25, 30));

QStringList Captions(const QTreeWidget* list) {
    QStringList captions;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        captions << list->topLevelItem(i)->text(0);
    return captions;
}

QStringList Names(Register& reg, const QString& sql) {
    QStringList names;
    Query query(&reg.connection());
    query.setSQL(sql);
    Result result;
    query.fetch(result);
    for (int row = 0; row < result.rows.rowCount(); ++row)
        names << result.rows.textOf(result.rows.cell(row, 0));
    return names;
}

void Select(TfrmEditProfiles* frm, const QString& caption) {
    const auto found = frm->lsvProfiles->findItems(caption, Qt::MatchExactly);
    if (found.isEmpty())
        qWarning("no item %s", qPrintable(caption));
    else
        frm->lsvProfiles->setCurrentItem(found.first());
}

// What the input box was asked to show.
struct InputSeen {
    QString caption, prompt, button, initial;
    int maxLength = -1;
};

// Answers the next input box: the text, confirmed; or, with no text, a name
// typed and then Cancel.
void AnswerInput(std::optional<QString> text, InputSeen* seen = nullptr) {
    qvtest::WhenModal([text, seen](QWidget* modal) {
        auto* box = qobject_cast<TfrmInputBox*>(modal);
        if (!box) {
            qobject_cast<QDialog*>(modal)->reject();
            return;
        }
        if (seen)
            *seen = {box->windowTitle(), box->lblSearch->text(), box->btnFind->text(),
                     box->edtSearch->text(), box->edtSearch->maxLength()};
        box->edtSearch->setText(text.value_or(QStringLiteral("Typed")));
        (text ? box->btnFind : box->btnCancel)->click();
    });
}

// Answers the next level dialog through `fill`, which ends it.
template <typename Dialog> void AnswerLevel(std::function<void(Dialog*)> fill) {
    qvtest::WhenModal([fill](QWidget* modal) {
        if (auto* dialog = qobject_cast<Dialog*>(modal))
            fill(dialog);
        else
            qobject_cast<QDialog*>(modal)->reject();
    });
}

qint64 AddAsset(Register& reg, const QString& name) {
    return reg.insert("INSERT INTO Assets (AssetName) VALUES (:N)", {{"N", name}});
}

void Issue(Register& reg, qint64 member, qint64 asset) {
    reg.insert("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued) VALUES (:M, :A, :D)",
               {{"M", member}, {"A", asset}, {"D", QDate(2009, 1, 1)}});
}

// The main window on the register, the way the program starts.
struct MainWindow {
    qv::test::SettingsSandbox box;
    Tdm dm;
    std::unique_ptr<TfrmMain> frm;
    explicit MainWindow(Register& reg) {
        reg->close();
        box.writeSettings(QStringLiteral("[Database]\nUseAccessDatabase=1\nAccessDatabase=%1\n")
                              .arg(reg.path())
                              .toUtf8());
        frm = std::make_unique<TfrmMain>(dm);
        frm->OpenDatabase();
    }
    void trigger(const char* action) { frm->findChild<QAction*>(QLatin1String(action))->trigger(); }
};

} // namespace

class TestEditors : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Clock::resetNow(); }
    void nameListAddAndRename();
    void deletingAnAssetKindCascadesUntilApply();
    void levelsEditor();
    void onlyLevelCannotBeDeleted();
    void backupCommand();
    void compactCommand();
};

void TestEditors::nameListAddAndRename() {
    Register reg;
    AddAsset(reg, "keys");
    AddAsset(reg, "Locker");
    TransactionGuard transaction(reg.connection());
    qvtest::ModalWatchdog watchdog;
    InputSeen add, rename;
    QStringList afterAdd, afterRefusals, afterRename;
    bool selectedAfterAdd = false, renameEnabled = false;
    int lockerRow = -1;

    TfrmEditProfiles frm;
    qvtest::WhenModal([&](QWidget*) {
        renameEnabled = frm.btnRename->isEnabled() && frm.btnDelete->isEnabled();
        AnswerInput("Keys", &add); // another case: allowed
        frm.btnAdd->click();
        afterAdd = Captions(frm.lsvProfiles);
        selectedAfterAdd = frm.lsvProfiles->topLevelItem(0)->isSelected();
        for (const auto& refused : {std::optional<QString>(" Keys "), std::optional<QString>("  "),
                                    std::optional<QString>()}) {
            AnswerInput(refused);
            frm.btnAdd->click();
        }
        Select(&frm, "Locker");
        lockerRow = frm.lsvProfiles->currentIndex().row();
        for (const auto& refused : {std::optional<QString>("Locker"), std::optional<QString>(""),
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
    QCOMPARE(frm.windowTitle(), QString("Edit Assets"));
    QVERIFY(renameEnabled);

    QCOMPARE(add.caption, QString("New Asset"));
    QCOMPARE(add.prompt, QString("New Asset:"));
    QCOMPARE(add.button, QString("&Add"));
    QCOMPARE(add.maxLength, 20); // the column's width: a longer name cannot be typed
    QCOMPARE(afterAdd, QStringList({"keys", "Locker", "Keys"}));
    QVERIFY(selectedAfterAdd);
    QCOMPARE(afterRefusals, afterAdd);

    QCOMPARE(rename.caption, QString("Rename"));
    QCOMPARE(rename.prompt, QString("New name:"));
    QCOMPARE(rename.button, QString("C&hange"));
    QCOMPARE(rename.initial, QString("Locker"));
    // Renamed in place: the item keeps its row.
    QCOMPARE(afterRename, QStringList({"keys", "Lockers", "Keys"}));
    QCOMPARE(lockerRow, 1);
    QCOMPARE(Names(reg, "SELECT AssetName FROM Assets ORDER BY AssetID"),
             QStringList({"keys", "Lockers", "Keys"}));
}

void TestEditors::deletingAnAssetKindCascadesUntilApply() {
    Register reg;
    const qint64 keys = AddAsset(reg, "Keys");
    AddAsset(reg, "Locker");
    for (const char* surname : {"Ames", "Baird"})
        Issue(reg, reg.addMember(surname, "A"), keys);
    MainWindow main(reg);
    Connection& connection = main.dm.adoMembers();
    const auto count = [&](const char* table) {
        Query q(&connection);
        q.setSQL(QString("SELECT COUNT(*) FROM ") + table);
        Result r;
        q.fetch(r);
        return r.rows.value(r.rows.cell(0, 0)).toInteger();
    };

    for (const char* close : {"btnCancel", "btnApply"}) {
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Yes);
        qvtest::ModalWatchdog watchdog;
        QString caption;
        QStringList left;
        bool buttonsOff = false;
        qint64 issuesMeanwhile = -1;
        qvtest::WhenModal([&](QWidget* modal) {
            auto* frm = qobject_cast<TfrmEditProfiles*>(modal);
            caption = frm->windowTitle();
            Select(frm, "Keys");
            frm->btnDelete->click();
            left = Captions(frm->lsvProfiles);
            buttonsOff = !frm->btnDelete->isEnabled() && !frm->btnRename->isEnabled();
            issuesMeanwhile = count("MemberAssets");
            frm->findChild<QPushButton*>(QLatin1String(close))->click();
        });
        main.trigger("mnuDataEditAssets");
        QVERIFY(!watchdog.fired());
        QCOMPARE(caption, QString("Edit Assets"));
        QCOMPARE(left, QStringList{"Locker"});
        QVERIFY(buttonsOff);
        QCOMPARE(issuesMeanwhile, 0);
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().at(0).text,
                 QString("Are you sure you want to delete this item?\n\r\n\rThis action can not "
                         "be undone.\n\r\n\rMembers will no longer be associated with this item"));
        QCOMPARE(boxes.shown().at(0).kind, MessageKind::Confirmation);
        QCOMPARE(boxes.shown().at(0).buttons, MessageButtons::YesNo);
        QVERIFY(!connection.inTransaction());
        const bool applied = QString(close) == "btnApply";
        QCOMPARE(count("Assets"), applied ? 1 : 2);
        QCOMPARE(count("MemberAssets"), applied ? 0 : 2);
    }

    // The profiles command: its own caption and the wider column.
    qvtest::ModalWatchdog watchdog;
    InputSeen seen;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* frm = qobject_cast<TfrmEditProfiles*>(modal);
        AnswerInput("Treasurer", &seen);
        frm->btnAdd->click();
        frm->btnApply->click();
    });
    main.trigger("mnuDataEditProfiles");
    QCOMPARE(seen.caption, QString("New Profile"));
    QCOMPARE(seen.maxLength, 30);
    QCOMPARE(count("Profiles"), 1);
}

void TestEditors::levelsEditor() {
    Register reg;
    const qint64 life = reg.addLevel("Life", 0x00FFFF, 0x000080);
    reg.addLevel("Spare", 0xF0CAA6, -1);
    // Life only by a past member's ended period; Member by a current one.
    reg.addPeriod(reg.addMember("Ames", "A"), QDate(1990, 1, 1), QDate(2000, 1, 1), life);
    reg.addPeriod(reg.addMember("Baird", "B"), QDate(2005, 1, 1));
    // Longer than the column: written by another program, past our guards.
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(reg.path().toUtf8().constData(), &raw), SQLITE_OK);
    QCOMPARE(sqlite3_exec(raw,
                          "INSERT INTO MembershipLevel (MemberCategory, HighlightColour, "
                          "FontColour, IncludeLongService) VALUES ('Twenty-five characters..', "
                          "-1, -1, 0)",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(raw);

    TransactionGuard transaction(reg.connection());
    qvtest::ModalWatchdog watchdog;
    QStringList captions, finalCaptions;
    std::map<QString, bool> deletable;
    QBrush lifeBack, lifeFore, memberBack, juniorBack, spareFore;
    QString editCaption, editButton, editShown;
    int editChoosers = 0;

    TfrmEditMembershipLevels frm;
    qvtest::WhenModal([&](QWidget*) {
        captions = Captions(frm.lsvProfiles);
        for (const QString& level : captions) {
            Select(&frm, level);
            deletable[level] = frm.btnDelete->isEnabled();
        }
        const auto item = [&](const char* caption) {
            return frm.lsvProfiles->findItems(caption, Qt::MatchExactly).value(0);
        };
        lifeBack = item("Life")->background(0);
        lifeFore = item("Life")->foreground(0);
        memberBack = item("Member")->background(0);
        spareFore = item("Spare")->foreground(0);

        // Added without colours; a trailing space makes a new category; the
        // same text and a blank one are refused; a cancelled dialog adds none.
        for (const char* typed :
             std::initializer_list<const char*>{"Junior", "Spare ", "Spare", "   ", nullptr}) {
            AnswerLevel<TfrmEditMembershipLevelsAdd>([typed](TfrmEditMembershipLevelsAdd* d) {
                if (!typed)
                    d->edtCategory->setText("Cancelled"), d->btnCancel->click();
                else
                    d->edtCategory->setText(typed), d->btnAdd->click();
            });
            frm.btnAdd->click();
        }
        juniorBack = item("Junior")->background(0);

        // The default level edited without touching anything.
        Select(&frm, "Member");
        AnswerLevel<TfrmEditMembershipLevelsEdit>([&](TfrmEditMembershipLevelsEdit* d) {
            editCaption = d->windowTitle();
            editButton = d->btnEdit->text();
            editChoosers = d->colHighlightColour->currentIndex() + d->colFontColour->currentIndex();
            d->btnEdit->click();
        });
        frm.btnRename->click();
        // The over-long one is cut to the column.
        Select(&frm, "Twenty-five characters..");
        AnswerLevel<TfrmEditMembershipLevelsEdit>([&](TfrmEditMembershipLevelsEdit* d) {
            editShown = d->edtCategory->text();
            d->btnEdit->click();
        });
        frm.btnRename->click();
        finalCaptions = Captions(frm.lsvProfiles);
        frm.btnApply->click();
    });
    QVERIFY(
        frm.EditLevels(reg.connection(), "SELECT * FROM MembershipLevel ORDER BY MemberCategory"));
    QVERIFY(!watchdog.fired());
    QCOMPARE(frm.windowTitle(), QString("Edit Membership Types"));
    QCOMPARE(frm.btnRename->text(), QString("&Edit"));

    QCOMPARE(captions, QStringList({"Life", "Member", "Spare", "Twenty-five characters.."}));
    QCOMPARE(deletable, (std::map<QString, bool>{{"Life", false},
                                                 {"Member", false},
                                                 {"Spare", true},
                                                 {"Twenty-five characters..", true}}));
    QCOMPARE(lifeBack.color(), QColor(255, 255, 0));
    QCOMPARE(lifeFore.color(), QColor(128, 0, 0));
    QCOMPARE(memberBack.style(), Qt::NoBrush);
    QCOMPARE(juniorBack.style(), Qt::NoBrush);
    QCOMPARE(spareFore.style(), Qt::NoBrush); // a highlight with no font colour

    QCOMPARE(editCaption, QString("Edit Membership Category"));
    QCOMPARE(editButton, QString("&Edit"));
    QCOMPARE(editChoosers, -2); // -1 is none of the twenty: nothing selected
    QCOMPARE(editShown, QString("Twenty-five characte"));
    QCOMPARE(finalCaptions,
             QStringList({"Life", "Member", "Spare", "Twenty-five characte", "Junior", "Spare "}));

    const auto level = [&](const char* category) {
        Query q(&reg.connection());
        q.setSQL("SELECT HighlightColour, FontColour, IncludeLongService FROM MembershipLevel "
                 "WHERE MemberCategory = :C");
        q.setParameter("C", QString(category));
        Result r;
        q.fetch(r);
        QStringList values;
        for (int c = 0; r.rows.rowCount() == 1 && c < 3; ++c)
            values << r.rows.value(r.rows.cell(0, c)).toText();
        return values.join(' ');
    };
    QCOMPARE(level("Junior"), QString("-16777216 -16777216 1"));
    QCOMPARE(level("Spare "), QString("-16777216 -16777216 1"));
    QCOMPARE(level("Member"), QString("-16777216 -16777216 1"));
    QCOMPARE(level("Twenty-five characte"), QString("-16777216 -16777216 0"));
    QCOMPARE(reg.count("MembershipLevel"), 6);
}

void TestEditors::onlyLevelCannotBeDeleted() {
    Register reg; // the default level, used by nobody
    TransactionGuard transaction(reg.connection());
    qvtest::ModalWatchdog watchdog;
    bool deleteEnabled = true, editEnabled = false;
    TfrmEditMembershipLevels frm;
    qvtest::WhenModal([&](QWidget*) {
        deleteEnabled = frm.btnDelete->isEnabled();
        editEnabled = frm.btnRename->isEnabled();
        frm.btnCancel->click();
    });
    QVERIFY(
        !frm.EditLevels(reg.connection(), "SELECT * FROM MembershipLevel ORDER BY MemberCategory"));
    QVERIFY(!deleteEnabled);
    QVERIFY(editEnabled);
}

void TestEditors::backupCommand() {
    Register reg;
    MainWindow main(reg);
    qv::test::TempFolder target;
    Clock::setNowForTesting(Moment);
    FileDialogTestScope dialogs;
    MessageBoxTestScope boxes;
    for (int i = 0; i < 2; ++i) {
        dialogs.queue(target.path());
        boxes.queue(MessageResult::Ok);
        main.trigger("mnuDataBackup");
    }
    dialogs.queueCancel();
    main.trigger("mnuDataBackup");

    QCOMPARE(dialogs.requests().size(), 3);
    QCOMPARE(dialogs.requests().at(0).kind, FileDialogKind::Folder);
    QCOMPARE(dialogs.requests().at(0).caption, QString("Select folder to store backup"));
    QVERIFY(!dialogs.requests().at(0).allowNewFolder);
    // The second within the same second; the cancelled one shows nothing.
    QCOMPARE(boxes.shown().size(), 2);
    QCOMPARE(boxes.shown().at(0).text, QString("Backup created!"));
    QCOMPARE(boxes.shown().at(0).kind, MessageKind::Information);
    QCOMPARE(boxes.shown().at(0).placement, MessagePlacement::NearPointer);
    QCOMPARE(boxes.shown().at(1).text,
             QString("There was a problem creating the backup.\n\r\n\rThis might be due to "
                     "another backup with the same name existing."));
    QCOMPARE(boxes.shown().at(1).kind, MessageKind::Error);
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"quorvane_2010_03_05_142530.mdb"});
}

void TestEditors::compactCommand() {
    Register reg;
    MainWindow main(reg);
    main.frm->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.frm.get()));
    Clock::setNowForTesting(Moment);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    main.trigger("mnuSettingsCompactRepair");
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().at(0).text, QString("Compact and repair complete!"));
    QCOMPARE(boxes.shown().at(0).kind, MessageKind::Information);
    QVERIFY(QFile::exists(QFileInfo(reg.path()).path() + "/QuorvaneBackups/register"
                                                         "2010_03_05_142530.mdb"));

    // Refused while another copy has the register open: the error report, not
    // the success message, and the program goes on with the register open.
    reg->open();
    boxes.queue(MessageResult::Ok);
    main.frm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main.frm.get()));
    QTest::keyClick(main.frm.get(), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(boxes.shown().size(), 2);
    QCOMPARE(boxes.shown().at(1).kind, MessageKind::Error);
    QVERIFY2(
        boxes.shown().at(1).text.startsWith("The database is open in another copy of Quorvane"),
        qPrintable(boxes.shown().at(1).text));
    QVERIFY(main.dm.adoMembers().isOpen());
    main.frm->hide();
}

QV_APP_TEST_MAIN(TestEditors)
#include "tst_editors.moc"
