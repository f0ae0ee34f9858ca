#include "ModalHelpers.h"
#include "app/MainFrm.h"
#include "db/DataModule.h"
#include "platform/ui/MessageBox.h"
#include "support/RegisterFixture.h"

#include <QDialog>
#include <QTest>
#include <QToolButton>

using namespace qv;

// The main window's search keys, menu items and buttons reach their commands:
// each opens its own dialog (or, without one, its list) first.
class TestSearchWiring : public QObject {
    Q_OBJECT

private slots:
    void keysOpenTheirSearches();
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

QTEST_MAIN(TestSearchWiring)
#include "tst_searchwiring.moc"
