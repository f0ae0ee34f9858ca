// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalHelpers.h"
#include "app/MainFrm.h"
#include "db/DataModule.h"
#include "platform/ui/MessageBox.h"
#include "search/QuickFind.h"
#include "support/RegisterFixture.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace qv;

// The main window's search keys, menu items and buttons reach their commands:
// each opens its own dialog (or, without one, its list) first.
class TestSearchWiring : public QObject {
    Q_OBJECT

private slots:
    void keysOpenTheirSearches();
    void quickFindByKeyboard();
};

void TestSearchWiring::keysOpenTheirSearches() {
    test::SettingsSandbox box;
    test::Register reg;
    box.writeSettings(QStringLiteral("[Database]\nUseAccessDatabase=1\nAccessDatabase=%1\n")
                          .arg(reg.path())
                          .toUtf8());
    MessageBoxTestScope boxes;
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));
    frm.activateWindow();

    const struct {
        Qt::Key key;
        const char* window;
        const char* caption;
    } searches[] = {
        {Qt::Key_F2, "TfrmFind", "Find"},
        {Qt::Key_F3, "TfrmMemberList", "Member List"},
        {Qt::Key_F4, "TfrmFindLookup", "Find Profile"},
        {Qt::Key_F5, "TfrmSelectYear", "Long Service"},
        {Qt::Key_F6, "TfrmFindLookup", "Find Assets"},
        {Qt::Key_F7, "TfrmInputBox", "Find Asset Ref."},
        {Qt::Key_F8, "TfrmFind", "Find Membership No."},
        {Qt::Key_F9, "TfrmInputDate", "Unpaid Fees"},
        {Qt::Key_F10, "TfrmMemberList", "Past Members"},
        {Qt::Key_F11, "TfrmFindLookup", "Membership Type"},
    };
    qvtest::ModalWatchdog watchdog(4000);
    for (const auto& search : searches) {
        QString window, caption;
        qvtest::WhenModal([&](QWidget* modal) {
            window = QString::fromLatin1(modal->metaObject()->className());
            caption = modal->windowTitle();
            qobject_cast<QDialog*>(modal)->reject();
        });
        frm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frm));
        QTest::keyClick(&frm, search.key);
        QCOMPARE(window, QString::fromLatin1(search.window));
        QCOMPARE(caption, QString::fromLatin1(search.caption));
    }

    // The four large buttons run the same commands.
    const char* buttons[] = {"btnFind", "btnMemberList", "btnProfiles", "btnLongService"};
    for (int i = 0; i < 4; ++i) {
        QString caption;
        qvtest::WhenModal([&](QWidget* modal) {
            caption = modal->windowTitle();
            qobject_cast<QDialog*>(modal)->reject();
        });
        frm.findChild<QToolButton*>(QLatin1String(buttons[i]))->click();
        QCOMPARE(caption, QString::fromLatin1(searches[i].caption));
    }
    QVERIFY(!watchdog.fired());
}

// Faults caught: the box out of reach of its keys, Down or Enter lost to the
// box, Enter opening another member than the one chosen or none, the full
// list missing members found, Esc not clearing.
void TestSearchWiring::quickFindByKeyboard() {
    test::SettingsSandbox box;
    test::Register reg;
    const qint64 john =
        reg.addMember(QStringLiteral("Smith"), QStringLiteral("John"), QStringLiteral("Leeds"));
    reg.addPeriod(john, QDate(2001, 1, 1));
    const qint64 ann = reg.addMember(QStringLiteral("Smithers"), QStringLiteral("Ann"));
    reg.addPeriod(ann, QDate(1990, 1, 1), QDate(1995, 1, 1));
    reg.addMember(QStringLiteral("Jones"), QStringLiteral("Jo"));
    box.writeSettings(QStringLiteral("[Database]\nUseAccessDatabase=1\nAccessDatabase=%1\n")
                          .arg(reg.path())
                          .toUtf8());
    MessageBoxTestScope boxes;
    Tdm dm;
    TfrmMain frm(dm);
    frm.OpenDatabase();
    frm.show();
    frm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frm));
    auto* find = frm.findChild<QuickFindBox*>();
    QVERIFY(find);
    QSignalSpy shown(find, &QuickFindBox::answerShown);

    auto* button = frm.findChild<QToolButton*>(QStringLiteral("btnFind"));
    button->setFocus();
    QVERIFY(!find->edtQuickFind->hasFocus());
    QTest::keyClick(&frm, Qt::Key_K, Qt::ControlModifier);
    QVERIFY(find->edtQuickFind->hasFocus());
    QTest::keyClicks(find->edtQuickFind, QStringLiteral("smi"));
    QTRY_VERIFY(!shown.isEmpty() && find->model().answer().text == "smi");
    QVERIFY(find->lsvQuickFind->isVisible());
    QCOMPARE(find->model().rowCount(), 2);
    // The past member comes after the current one, greyed.
    QVERIFY(find->model().data(find->model().index(1), Qt::ForegroundRole).isValid());

    qvtest::ModalWatchdog watchdog(4000);
    QTest::keyClick(find->edtQuickFind, Qt::Key_Down);
    QTest::keyClick(find->edtQuickFind, Qt::Key_Down);
    QString surname;
    qvtest::WhenModal([&](QWidget* modal) {
        if (auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("dbedtSurname")))
            surname = edit->text();
        qobject_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClick(find->edtQuickFind, Qt::Key_Return);
    QCOMPARE(surname, QStringLiteral("Smithers"));

    QString count;
    qvtest::WhenModal([&](QWidget* modal) {
        count = modal->findChild<QLabel*>(QStringLiteral("lblRecordCount"))->text();
        qobject_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClick(find->edtQuickFind, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(count, QStringLiteral("1 of 2 records"));

    QTest::keyClick(find->edtQuickFind, Qt::Key_Escape);
    QVERIFY(find->edtQuickFind->text().isEmpty());
    QVERIFY(!find->lsvQuickFind->isVisible());
    // Ctrl+F reaches the box too.
    frm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frm));
    button->setFocus();
    QVERIFY(!find->edtQuickFind->hasFocus());
    QTest::keyClick(&frm, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(find->edtQuickFind->hasFocus());
    QVERIFY(!watchdog.fired());
}

QTEST_MAIN(TestSearchWiring)
#include "tst_searchwiring.moc"
