// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalHelpers.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/MessageBox.h"
#include "search/FindFrm.h"
#include "search/FindLookupFrm.h"
#include "search/InputDateFrm.h"
#include "search/MemberListFrm.h"
#include "search/SearchCommands.h"
#include "search/SelectYearFrm.h"
#include "support/RegisterFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace qv;
using Command = void (*)(QWidget*, Connection&);

namespace {

// Plays the user's part for the modal windows a command opens, in order: each
// step acts on the next window and must close it. A window no step expects is
// rejected and recorded.
class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalScript(QList<Step> steps)
        : m_steps(std::move(steps)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start(10);
    }

    bool finished() const { return m_steps.isEmpty(); }
    QStringList unexpected;

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == m_last.data())
            return;
        m_last = modal;
        if (m_steps.isEmpty()) {
            unexpected << QString::fromLatin1(modal->metaObject()->className());
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            return;
        }
        m_steps.takeFirst()(modal);
    }

    QList<Step> m_steps;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

// What a member list window showed.
struct ListSeen {
    QString caption;
    QStringList surnames;
    QString count;
    bool pastChecked = false;
    bool pastEnabled = true;
    int referenceYear = 0;
    bool rounding = false;
};

ModalScript::Step readList(ListSeen& seen) {
    return [&seen](QWidget* window) {
        auto* list = qobject_cast<TfrmMemberList*>(window);
        if (!list) {
            seen.caption = QStringLiteral("<not a member list: %1>")
                               .arg(QString::fromLatin1(window->metaObject()->className()));
            qobject_cast<QDialog*>(window)->reject();
            return;
        }
        seen.caption = list->windowTitle();
        const Dataset& data = *list->adoMembers;
        const int column = data.fieldIndex(QStringLiteral("Surname"));
        for (int row = 0; row < data.recordCount(); ++row)
            seen.surnames << data.textAt(row, column);
        seen.count = list->lblRecordCount->text();
        seen.pastChecked = list->chkIncludePastMembers->isChecked();
        seen.pastEnabled = list->chkIncludePastMembers->isEnabled();
        seen.referenceYear = list->ReferenceYear();
        seen.rounding = list->FiveYearRounding();
        list->btnClose->click();
    };
}

ModalScript::Step typeAndFind(const QString& text, bool notMatching = false) {
    return [=](QWidget* window) {
        if (auto* check = window->findChild<QCheckBox*>(QStringLiteral("chkNotMatching")))
            check->setChecked(notMatching);
        window->findChild<QLineEdit*>(QStringLiteral("edtSearch"))->setText(text);
        window->findChild<QPushButton*>(QStringLiteral("btnFind"))->click();
    };
}

ModalScript::Step pick(const QString& item, bool historic = false, bool notMatching = false) {
    return [=](QWidget* window) {
        auto* lookup = qobject_cast<TfrmFindLookup*>(window);
        lookup->dblProfile->setCurrentIndex(lookup->dblProfile->findText(item));
        lookup->chkIncludeHistoric->setChecked(historic);
        lookup->chkNotMatching->setChecked(notMatching);
        lookup->btnFind->click();
    };
}

// Clicks into the date as a user does, types `text` over it and presses OK.
ModalScript::Step typeDate(const QString& text) {
    return [=](QWidget* window) {
        window->activateWindow(); // the click's focus, and so its selection
        QVERIFY(QTest::qWaitForWindowActive(window));
        QLineEdit* edit = window->findChild<DatePicker*>(QStringLiteral("dtpDate"))->lineEdit();
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() / 2, edit->height() / 2));
        QApplication::processEvents();
        QTest::keyClicks(edit, text);
        window->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    };
}

ModalScript::Step clickButton(const char* name) {
    return
        [name](QWidget* window) { window->findChild<QPushButton*>(QLatin1String(name))->click(); };
}

// Runs the command against its script and answers whether every step ran and
// no window came unasked.
bool play(Command command, QWidget* owner, Connection& connection, QList<ModalScript::Step> steps,
          QStringList* unexpected = nullptr) {
    qvtest::ModalWatchdog watchdog(4000);
    ModalScript script(std::move(steps));
    command(owner, connection);
    if (unexpected)
        *unexpected = script.unexpected;
    return script.finished() && script.unexpected.isEmpty() && !watchdog.fired();
}

} // namespace

class TestSearchCommands : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandsShowTheirLists_data();
    void commandsShowTheirLists();
    void cancelOrEmptyTextEndsSilently_data();
    void cancelOrEmptyTextEndsSilently();
    void lastFindTextCarriesWhenConfirmed();
    void dialogsOpenWithTheirPresets();
    void emptyLookupTableSearchesKeyZero();
    void findDialogTabsDownTheDialog();

private:
    std::unique_ptr<test::SettingsSandbox> m_settings;
    std::unique_ptr<test::Register> m_register;
    std::unique_ptr<QWidget> m_owner;
};

void TestSearchCommands::init() {
    test::pinRegional();
    Clock::setNowForTesting(QDateTime(QDate(2014, 6, 15), QTime(9, 0)));
    TfrmFind::ResetLastFind();
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = std::make_unique<test::Register>();
    m_owner = std::make_unique<QWidget>();
    m_owner->resize(600, 400);
    m_owner->show();

    test::Register& r = *m_register;
    const qint64 gold = r.addLevel(QStringLiteral("Gold"), 0x00D7FF, -1, true);
    const qint64 smith = r.addMember(QStringLiteral("Smith"), QStringLiteral("John"),
                                     QStringLiteral("Leeds"), QStringLiteral("1 High St"));
    const qint64 brown = r.addMember(QStringLiteral("Brown"), QStringLiteral("Anne"),
                                     QStringLiteral("York"), QStringLiteral("2 Smithy Lane"));
    const qint64 adams = r.addMember(QStringLiteral("Adams"), QStringLiteral("Carl"),
                                     QStringLiteral("Hull"), QStringLiteral("3 Low Rd"));
    const qint64 jones = r.addMember(QStringLiteral("Jones"), QStringLiteral("Dora"),
                                     QStringLiteral("Bath"), QStringLiteral("4 Park Rd"));
    r.addPeriod(smith, QDate(2009, 1, 1), QDate(), gold, QStringLiteral("M100"));
    r.addPeriod(brown, QDate(2012, 6, 1), QDate(), 1, QStringLiteral("M200"));
    r.addPeriod(adams, QDate(2000, 3, 1), QDate(2010, 6, 1), 1, QStringLiteral("X300"));
    r.addPeriod(jones, QDate(2004, 1, 1), QDate(), gold);

    const qint64 treasurer = r.insert(QStringLiteral("INSERT INTO Profiles (ProfileName) VALUES "
                                                     "('Treasurer')"));
    r.insert(QStringLiteral("INSERT INTO Profiles (ProfileName) VALUES ('Auditor')"));
    const QString holds = QStringLiteral("INSERT INTO MemberProfiles (ProfileID, MemberID, "
                                         "ProfileStart, ProfileEnd) VALUES (:P, :M, :S, :E)");
    r.insert(holds, {{"P", treasurer}, {"M", smith}, {"S", QDate(2011, 1, 1)}, {"E", Value()}});
    r.insert(holds,
             {{"P", treasurer}, {"M", brown}, {"S", QDate(2012, 7, 1)}, {"E", QDate(2013, 7, 1)}});

    const qint64 key = r.insert(QStringLiteral("INSERT INTO Assets (AssetName) VALUES ('Key')"));
    const QString issue = QStringLiteral("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued, "
                                         "AssetReference, DateReturned) VALUES (:M, :A, :I, :R, "
                                         ":D)");
    r.insert(issue,
             {{"M", smith}, {"A", key}, {"I", QDate(2010, 1, 1)}, {"R", "K-17"}, {"D", Value()}});
    r.insert(issue, {{"M", brown},
                     {"A", key},
                     {"I", QDate(2012, 7, 1)},
                     {"R", "K-20"},
                     {"D", QDate(2013, 1, 1)}});

    r.insert(QStringLiteral("INSERT INTO FeePayments (PaymentDate, MemberID, PaymentAmount) "
                            "VALUES (:D, :M, 25)"),
             {{"D", QDate(2014, 7, 1)}, {"M", smith}});
}

void TestSearchCommands::cleanup() {
    m_owner.reset();
    m_register.reset();
    m_settings.reset();
    Clock::resetNow();
    Regional::resetLocale();
}

namespace {

struct CommandCase {
    const char* name;
    Command command;
    ModalScript::Step dialog; // empty for the commands without one
    const char* caption;
    const char* surnames;
};

const ModalScript::Step noDialog;

// Ordinary lists hide Adams, whose period has ended.
const QList<CommandCase>& commandCases() {
    using namespace SearchCommands;
    static const QList<CommandCase> cases = {
        {"keyword", FindKeyword, typeAndFind("smith"), "Find - smith", "Brown,Smith"},
        {"keyword not matching", FindKeyword, typeAndFind("smith", true),
         "Find - smith - Not Matching", "Jones"},
        {"member list", ListAllMembers, noDialog, "Member List", "Brown,Jones,Smith"},
        {"profile", FindProfile, pick("Treasurer"), "Profiles - Treasurer", "Smith"},
        {"profile historic not matching", FindProfile, pick("Treasurer", true, true),
         "Profiles - Treasurer - Historic - Not Matching", "Jones"},
        {"long service", ListLongService, clickButton("btnOK"), "Long Service for year 2014",
         "Jones,Smith"},
        {"assets historic", FindAssets, pick("Key", true), "Assets - Key - Historic",
         "Brown,Smith"},
        {"assets not matching", FindAssets, pick("Key", false, true), "Assets - Key - Not Matching",
         "Brown,Jones"},
        {"asset reference", FindAssetReference, typeAndFind("K-1"), "Asset Reference - K-1",
         "Smith"},
        {"membership number", FindMembershipNo, typeAndFind("M"), "Membership No. - M",
         "Brown,Smith"},
        {"unpaid fees", FindUnpaidFees, clickButton("btnOK"), "Unpaid Fees - 15/06/2014",
         "Brown,Jones"},
        {"unpaid fees, short date typed", FindUnpaidFees, typeDate("1/7/2014"),
         "Unpaid Fees - 01/07/2014", "Brown,Jones"},
        {"unpaid fees, iso date typed", FindUnpaidFees, typeDate("2014-07-02"),
         "Unpaid Fees - 02/07/2014", "Brown,Jones,Smith"},
        {"past members", ListPastMembers, noDialog, "Past Members", "Adams"},
        {"membership level", FindMembershipLevel, pick("Gold"), "Member Category - Gold",
         "Jones,Smith"},
    };
    return cases;
}

} // namespace

void TestSearchCommands::commandsShowTheirLists_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < commandCases().size(); ++i)
        QTest::newRow(commandCases()[i].name) << i;
}

void TestSearchCommands::commandsShowTheirLists() {
    QFETCH(int, row);
    const CommandCase& c = commandCases()[row];
    MessageBoxTestScope boxes;
    ListSeen seen;
    QStringList unexpected;
    QList<ModalScript::Step> steps{readList(seen)};
    if (c.dialog)
        steps.prepend(c.dialog);
    QVERIFY2(play(c.command, m_owner.get(), m_register->connection(), steps, &unexpected),
             qPrintable(unexpected.join(u',')));
    QCOMPARE(seen.caption, QString::fromLatin1(c.caption));
    QStringList sorted = seen.surnames;
    sorted.sort();
    QCOMPARE(sorted.join(u','), QString::fromLatin1(c.surnames));
    QCOMPARE(seen.count, QStringLiteral("1 of %1 records").arg(seen.surnames.size()));
    const bool pastOnly = c.command == SearchCommands::ListPastMembers;
    QCOMPARE(seen.pastChecked, pastOnly);
    QCOMPARE(seen.pastEnabled, !pastOnly);
    const bool longService = c.command == SearchCommands::ListLongService;
    QCOMPARE(seen.referenceYear, longService ? 2014 : -1);
    QCOMPARE(seen.rounding, longService);
}

void TestSearchCommands::cancelOrEmptyTextEndsSilently_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    const QString cancel = QStringLiteral("btnCancel");
    QTest::newRow("find cancelled") << Command(SearchCommands::FindKeyword) << "smith" << cancel;
    QTest::newRow("find empty") << Command(SearchCommands::FindKeyword) << ""
                                << "btnFind";
    QTest::newRow("profile") << Command(SearchCommands::FindProfile) << "" << cancel;
    QTest::newRow("long service") << Command(SearchCommands::ListLongService) << "" << cancel;
    QTest::newRow("assets") << Command(SearchCommands::FindAssets) << "" << cancel;
    QTest::newRow("asset ref cancelled")
        << Command(SearchCommands::FindAssetReference) << "K-17" << cancel;
    QTest::newRow("asset ref empty") << Command(SearchCommands::FindAssetReference) << ""
                                     << "btnFind";
    QTest::newRow("membership no cancelled")
        << Command(SearchCommands::FindMembershipNo) << "M" << cancel;
    QTest::newRow("membership no empty") << Command(SearchCommands::FindMembershipNo) << ""
                                         << "btnFind";
    QTest::newRow("unpaid fees") << Command(SearchCommands::FindUnpaidFees) << "" << cancel;
    QTest::newRow("membership level")
        << Command(SearchCommands::FindMembershipLevel) << "" << cancel;
}

void TestSearchCommands::cancelOrEmptyTextEndsSilently() {
    QFETCH(Command, command);
    QFETCH(QString, text);
    QFETCH(QString, button);
    MessageBoxTestScope boxes;
    QStringList unexpected;
    const bool clean =
        play(command, m_owner.get(), m_register->connection(), {[&](QWidget* dialog) {
                 if (auto* edit = dialog->findChild<QLineEdit*>("edtSearch"))
                     edit->setText(text);
                 dialog->findChild<QPushButton*>(button)->click();
             }},
             &unexpected);
    // A member list window would have come unasked.
    QVERIFY2(clean, qPrintable(unexpected.join(u',')));
    QVERIFY(boxes.shown().isEmpty());
}

void TestSearchCommands::lastFindTextCarriesWhenConfirmed() {
    Connection& c = m_register->connection();
    QWidget* owner = m_owner.get();
    struct Offered {
        QString text;
        bool notMatching = false;
        bool hasCheckBox = false;
    };
    const auto offered = [](Offered& o, ModalScript::Step then) {
        return [&o, then](QWidget* dialog) {
            o.text = dialog->findChild<QLineEdit*>("edtSearch")->text();
            auto* check = dialog->findChild<QCheckBox*>("chkNotMatching");
            o.hasCheckBox = check != nullptr;
            o.notMatching = check && check->isChecked();
            then(dialog);
        };
    };
    ListSeen first, second;
    Offered a, b, d, e;
    QVERIFY(play(SearchCommands::FindKeyword, owner, c,
                 {offered(a, typeAndFind("smith", true)), readList(first)}));
    QCOMPARE(a.text, QString());
    QVERIFY(!a.notMatching);
    QCOMPARE(first.caption, QStringLiteral("Find - smith - Not Matching"));

    // Offered to the membership number search; what Cancel leaves is not kept.
    QVERIFY(play(SearchCommands::FindMembershipNo, owner, c, {offered(b, [](QWidget* dialog) {
                     dialog->findChild<QLineEdit*>("edtSearch")->setText("M2");
                     dialog->findChild<QCheckBox*>("chkNotMatching")->setChecked(false);
                     clickButton("btnCancel")(dialog);
                 })}));
    QCOMPARE(b.text, QStringLiteral("smith"));
    QVERIFY(b.notMatching);

    QVERIFY(play(SearchCommands::FindMembershipNo, owner, c,
                 {offered(d, typeAndFind("M2")), readList(second)}));
    QCOMPARE(d.text, QStringLiteral("smith"));
    QVERIFY(d.notMatching);
    QCOMPARE(second.caption, QStringLiteral("Membership No. - M2"));
    QCOMPARE(second.surnames, QStringList{QStringLiteral("Brown")});

    QVERIFY(play(SearchCommands::FindKeyword, owner, c, {offered(e, clickButton("btnCancel"))}));
    QCOMPARE(e.text, QStringLiteral("M2"));
    QVERIFY(!e.notMatching);

    // The asset reference dialog never offers it.
    Offered f;
    QVERIFY(
        play(SearchCommands::FindAssetReference, owner, c, {offered(f, clickButton("btnCancel"))}));
    QCOMPARE(f.text, QString());
    QVERIFY(!f.hasCheckBox);
}

void TestSearchCommands::dialogsOpenWithTheirPresets() {
    Connection& c = m_register->connection();
    QWidget* owner = m_owner.get();

    QStringList years;
    QString selectedYear, yearCaption;
    bool yearEditable = true;
    QVERIFY(play(SearchCommands::ListLongService, owner, c, {[&](QWidget* w) {
                     auto* dialog = qobject_cast<TfrmSelectYear*>(w);
                     for (int i = 0; i < dialog->cboYear->count(); ++i)
                         years << dialog->cboYear->itemText(i);
                     selectedYear = dialog->cboYear->currentText();
                     yearEditable = dialog->cboYear->isEditable();
                     yearCaption = dialog->windowTitle();
                     dialog->btnCancel->click();
                 }}));
    QCOMPARE(years.join(u' '),
             QStringLiteral("2009 2010 2011 2012 2013 2014 2015 2016 2017 2018 2019"));
    QCOMPARE(selectedYear, QStringLiteral("2014"));
    QVERIFY(!yearEditable);
    QCOMPARE(yearCaption, QStringLiteral("Long Service"));

    QDate offeredDate;
    QString dateShown;
    QVERIFY(play(SearchCommands::FindUnpaidFees, owner, c, {[&](QWidget* w) {
                     auto* dialog = qobject_cast<TfrmInputDate*>(w);
                     offeredDate = dialog->dtpDate->date();
                     dateShown = dialog->dtpDate->text();
                     dialog->btnCancel->click();
                 }}));
    QCOMPARE(offeredDate, QDate(2014, 6, 15));
    QCOMPARE(dateShown, Regional::formatLongDate(QDate(2014, 6, 15)));
    // A date that does not exist is refused; the dialog stays open on it.
    {
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Ok);
        bool stayed = false;
        QVERIFY(play(SearchCommands::FindUnpaidFees, owner, c, {[&](QWidget* w) {
                         typeDate("31/02/2014")(w);
                         stayed = w->isVisible();
                         qobject_cast<TfrmInputDate*>(w)->btnCancel->click();
                     }}));
        QVERIFY(stayed);
        QCOMPARE(boxes.shown().size(), 1);
        QVERIFY(boxes.shown().at(0).text.startsWith(
            "\"31/02/2014\" in Payment Notice/Due Date is not a date."));
    }

    struct Lookup {
        QString caption, prompt, items;
        bool checksEnabled = false;
        int selected = -2;
    };
    const auto readLookup = [](Lookup& l) {
        return [&l](QWidget* w) {
            auto* dialog = qobject_cast<TfrmFindLookup*>(w);
            l.caption = dialog->windowTitle();
            l.prompt = dialog->lblPrompt->text();
            QStringList items;
            for (int i = 0; i < dialog->dblProfile->count(); ++i)
                items << dialog->dblProfile->itemText(i);
            l.items = items.join(u',');
            l.selected = dialog->dblProfile->currentIndex();
            l.checksEnabled =
                dialog->chkIncludeHistoric->isEnabled() && dialog->chkNotMatching->isEnabled();
            dialog->btnCancel->click();
        };
    };
    Lookup profile, level;
    QVERIFY(play(SearchCommands::FindProfile, owner, c, {readLookup(profile)}));
    QCOMPARE(profile.caption, QStringLiteral("Find Profile"));
    QCOMPARE(profile.prompt, QStringLiteral("&Profile:"));
    QCOMPARE(profile.items, QStringLiteral("Auditor,Treasurer"));
    QCOMPARE(profile.selected, 0);
    QVERIFY(profile.checksEnabled);
    QVERIFY(play(SearchCommands::FindMembershipLevel, owner, c, {readLookup(level)}));
    QCOMPARE(level.caption, QStringLiteral("Membership Type"));
    QCOMPARE(level.prompt, QStringLiteral("Cate&gory:"));
    QCOMPARE(level.items, QStringLiteral("Gold,Member"));
    QVERIFY(!level.checksEnabled);
}

void TestSearchCommands::emptyLookupTableSearchesKeyZero() {
    m_register->connection().execute(QStringLiteral("DELETE FROM Assets"));
    int items = -1, selected = -2;
    ListSeen seen;
    QVERIFY(play(SearchCommands::FindAssets, m_owner.get(), m_register->connection(),
                 {[&](QWidget* w) {
                      auto* dialog = qobject_cast<TfrmFindLookup*>(w);
                      items = dialog->dblProfile->count();
                      selected = dialog->dblProfile->currentIndex();
                      dialog->btnFind->click();
                  },
                  readList(seen)}));
    QCOMPARE(items, 0);
    QCOMPARE(selected, -1);
    QCOMPARE(seen.caption, QStringLiteral("Assets - "));
    QCOMPARE(seen.count, QStringLiteral("No records found"));
}

void TestSearchCommands::findDialogTabsDownTheDialog() {
    TfrmFind dialog(m_owner.get());
    dialog.show();
    QStringList order;
    QWidget* w = dialog.edtSearch;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != dialog.edtSearch && order.size() < 10);
    QCOMPARE(order, QStringList({"edtSearch", "chkNotMatching", "btnFind", "btnCancel"}));
}

QTEST_MAIN(TestSearchCommands)
#include "tst_searchcommands.moc"
