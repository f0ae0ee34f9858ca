// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalHelpers.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SavedFileMessage.h"
#include "support/UrlCatcher.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace qv;

Q_DECLARE_METATYPE(qv::MessageButtons)
Q_DECLARE_METATYPE(qv::MessageResult)

namespace {

const QString OpenFailure =
    QStringLiteral("There was a problem opening the database.\n\r\n\r- Check the server/database "
                   "exists and is available.\n\r- Ensure you have the appropriate permissions "
                   "to access the server and database.");

QRect screenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void displayText_data();
    void displayText();
    void realBoxShowsStoredText();
    void defaultButton_data();
    void defaultButton();
    void answersTakenInOrderAndRecorded();
    void emptyQueueAnswersSafeButtonAndIsFlagged();
    void answerThatIsNoButtonIsFlagged();
    void scopeFailsOnLeftoverAnswers();
    void nearPointerPositionStaysOnScreen_data();
    void nearPointerPositionStaysOnScreen();
    void ownerCentredPosition_data();
    void ownerCentredPosition();
    void recordedPlacement();
    void realBoxPlacedAndAnswered();
    void realBoxSurvivesParentDestroyedWhileOpen();
    void savedFileBoxOpensTheFolder();
    void folderTheDesktopCannotOpenIsReported();
};

void TestMessageBox::displayText_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    const char* rows[][3] = {
        {"LF CR paragraph", "a\n\r\n\rb", "a\n\nb"},
        {"CR LF paragraph", "a\r\n\r\nb", "a\n\nb"},
        {"LF", "a\nb", "a\nb"},
        {"LF LF is two breaks", "a\n\nb", "a\n\nb"},
        {"lone CR", "a\rb", "a\nb"},
        {"mixed", "a\n\r\nb\r\n\rc", "a\n\nb\n\nc"},
        {"trailing", "a\n\r", "a\n"},
        {"empty", "", ""},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
}

void TestMessageBox::displayText() {
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(MessageDisplayText(stored), shown);
}

void TestMessageBox::realBoxShowsStoredText() {
    MessageRequest request;
    request.text = OpenFailure;
    request.kind = MessageKind::Error;
    const auto box = CreateMessageBox(request, nullptr);
    QCOMPARE(box->text(), QStringLiteral("There was a problem opening the database.\n\n- Check the "
                                         "server/database exists and is available.\n- Ensure you "
                                         "have the appropriate permissions to access the server "
                                         "and database."));
    QCOMPARE(box->windowTitle(), QStringLiteral("Quorvane"));

    // A member's name typed with angle brackets must not turn into markup.
    request.text = QStringLiteral("Delete <b>Smith & Sons</b>?");
    const auto named = CreateMessageBox(request, nullptr);
    QCOMPARE(named->textFormat(), Qt::PlainText);
    QCOMPARE(named->text(), request.text);
}

void TestMessageBox::defaultButton_data() {
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<MessageResult>("answer");
    QTest::addColumn<QMessageBox::StandardButton>("button");
    QTest::newRow("Ok") << MessageButtons::Ok << MessageResult::Ok << QMessageBox::Ok;
    QTest::newRow("YesNo") << MessageButtons::YesNo << MessageResult::Yes << QMessageBox::Yes;
    QTest::newRow("OkCancel") << MessageButtons::OkCancel << MessageResult::Ok << QMessageBox::Ok;
    QTest::newRow("YesNoCancel") << MessageButtons::YesNoCancel << MessageResult::Yes
                                 << QMessageBox::Yes;
    QTest::newRow("YesNoDefaultNo")
        << MessageButtons::YesNoDefaultNo << MessageResult::No << QMessageBox::No;
}

// The button Enter presses is the one the record says, on the real box too:
// a question whose Yes destroys data has No.
void TestMessageBox::defaultButton() {
    QFETCH(MessageButtons, buttons);
    QFETCH(MessageResult, answer);
    QFETCH(QMessageBox::StandardButton, button);
    MessageRequest request;
    request.text = QStringLiteral("Delete?");
    request.buttons = buttons;
    const auto box = CreateMessageBox(request, nullptr);
    QVERIFY(box->defaultButton());
    QCOMPARE(box->standardButton(box->defaultButton()), button);

    MessageBoxTestScope boxes;
    boxes.queue(answer);
    QCOMPARE(ShowMessageBox(request.text, MessageKind::Warning, buttons), answer);
    QCOMPARE(boxes.shown().at(0).defaultAnswer, answer);
}

void TestMessageBox::answersTakenInOrderAndRecorded() {
    QWidget parent;
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::No);
    boxes.queue(MessageResult::Ok);
    boxes.queue(MessageResult::Cancel);

    QCOMPARE(ShowMessageBox(QStringLiteral("Are you sure you want to exit?"),
                            MessageKind::Confirmation, MessageButtons::YesNo,
                            MessagePlacement::NearPointer, &parent),
             MessageResult::No);
    QCOMPARE(ShowMessageBox(OpenFailure, MessageKind::Error), MessageResult::Ok);
    QCOMPARE(ShowMessageBox(QStringLiteral("Save?"), MessageKind::Warning, MessageButtons::OkCancel,
                            MessagePlacement::Centered, nullptr, QStringLiteral("Members")),
             MessageResult::Cancel);

    QCOMPARE(boxes.pending(), 0);
    const QList<MessageRequest>& shown = boxes.shown();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0].text, QStringLiteral("Are you sure you want to exit?"));
    QCOMPARE(shown[0].kind, MessageKind::Confirmation);
    QCOMPARE(shown[0].buttons, MessageButtons::YesNo);
    QCOMPARE(shown[0].placement, MessagePlacement::NearPointer);
    QCOMPARE(shown[0].parent.data(), &parent);
    QCOMPARE(shown[0].caption, QStringLiteral("Quorvane"));
    QCOMPARE(shown[1].text, OpenFailure); // raw, line breaks as stored
    QCOMPARE(shown[1].placement, MessagePlacement::Centered);
    QCOMPARE(shown[2].caption, QStringLiteral("Members"));
    QVERIFY(boxes.isClean());
}

void TestMessageBox::emptyQueueAnswersSafeButtonAndIsFlagged() {
    const std::pair<MessageButtons, MessageResult> cases[] = {
        {MessageButtons::Ok, MessageResult::Ok},
        {MessageButtons::YesNo, MessageResult::No},
        {MessageButtons::OkCancel, MessageResult::Cancel},
        {MessageButtons::YesNoCancel, MessageResult::Cancel},
        {MessageButtons::YesNoDefaultNo, MessageResult::No},
    };
    MessageBoxTest::enable();
    for (const auto& [buttons, safe] : cases) {
        QTest::ignoreMessage(QtWarningMsg,
                             "Unexpected message box (no answer queued): \"Delete?\"");
        QCOMPARE(ShowMessageBox(QStringLiteral("Delete?"), MessageKind::Confirmation, buttons),
                 safe);
    }
    QCOMPARE(MessageBoxTest::unexpectedCount(), 5);
    QCOMPARE(MessageBoxTest::shown().size(), 5);
    QVERIFY(MessageBoxTest::shown().at(1).unexpected);
    QVERIFY(MessageBoxTest::problems().at(0).contains(QStringLiteral("Delete?")));
    MessageBoxTest::disable();
    QVERIFY(!MessageBoxTest::isEnabled());
    QCOMPARE(MessageBoxTest::unexpectedCount(), 0);
}

void TestMessageBox::answerThatIsNoButtonIsFlagged() {
    MessageBoxTest::enable();
    MessageBoxTest::queueAnswer(MessageResult::Yes);
    MessageBoxTest::queueAnswer(MessageResult::Ok);
    QTest::ignoreMessage(
        QtWarningMsg, "Queued answer Yes is not a button of the message box \"Backup created!\"");
    QCOMPARE(ShowMessageBox(QStringLiteral("Backup created!"), MessageKind::Information),
             MessageResult::Ok);
    // The wrong answer is used up; the next box gets the next one.
    QCOMPARE(ShowMessageBox(QStringLiteral("Done"), MessageKind::Information), MessageResult::Ok);
    QCOMPARE(MessageBoxTest::unexpectedCount(), 1);
    QVERIFY(MessageBoxTest::shown().at(0).unexpected);
    QVERIFY(!MessageBoxTest::shown().at(1).unexpected);
    MessageBoxTest::disable();
}

void TestMessageBox::scopeFailsOnLeftoverAnswers() {
    {
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Yes);
        QCOMPARE(boxes.problems().size(), 1);
        QVERIFY(!boxes.isClean());
        QEXPECT_FAIL("", "the scope reports the answer that was never used", Continue);
    }
    QVERIFY(!MessageBoxTest::isEnabled());
    QCOMPARE(MessageBoxTest::pendingAnswers(), 0);
}

void TestMessageBox::nearPointerPositionStaysOnScreen_data() {
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<int>("top");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("expected");
    const QRect first(0, 0, 1920, 1080);
    const QRect second(1920, 0, 1280, 1024); // right of the first
    QTest::newRow("free") << QPoint(400, 300) << 25 << first << QPoint(350, 25);
    QTest::newRow("left edge") << QPoint(10, 300) << 25 << first << QPoint(0, 25);
    QTest::newRow("right edge") << QPoint(1900, 300) << 25 << first << QPoint(1620, 25);
    QTest::newRow("bottom edge") << QPoint(400, 1070) << 1050 << first << QPoint(350, 960);
    QTest::newRow("second screen right edge")
        << QPoint(3190, 500) << 25 << second << QPoint(2900, 25);
    QTest::newRow("box larger than screen")
        << QPoint(400, 300) << 25 << QRect(0, 0, 200, 100) << QPoint(0, 0);
}

void TestMessageBox::nearPointerPositionStaysOnScreen() {
    QFETCH(QPoint, pointer);
    QFETCH(int, top);
    QFETCH(QRect, screen);
    QFETCH(QPoint, expected);
    const QSize box(300, 120);
    const QPoint position = NearPointerPosition(pointer, top, box, screen);
    QCOMPARE(position, expected);
    if (box.width() <= screen.width() && box.height() <= screen.height())
        QVERIFY(screen.contains(QRect(position, box)));
}

// A window larger than the small main window in the screen's corner opens in
// the screen's centre, not pushed into that corner; one that fits over its
// owner opens centred on it.
void TestMessageBox::ownerCentredPosition_data() {
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("fits over its owner")
        << QRect(200, 100, 800, 600) << QSize(400, 300) << QPoint(399, 249);
    QTest::newRow("owner a bar in the corner")
        << QRect(0, 0, 547, 160) << QSize(685, 513) << QPoint(297, 143);
    QTest::newRow("owner at the right edge")
        << QRect(1000, 300, 280, 200) << QSize(400, 300) << QPoint(439, 249);
}

void TestMessageBox::ownerCentredPosition() {
    QFETCH(QRect, owner);
    QFETCH(QSize, size);
    QFETCH(QPoint, expected);
    QCOMPARE(OwnerCentredPosition(owner, size, QRect(0, 0, 1280, 800)), expected);
}

void TestMessageBox::recordedPlacement() {
    const QRect area = screenArea();
    QWidget parent;
    parent.setGeometry(area.left() + 100, area.top() + 80, 543, 116);
    MessageBoxTestScope boxes;
    for (int i = 0; i < 3; ++i)
        boxes.queue(MessageResult::Ok);

    MessageBoxTest::setPointerPosition(area.topLeft() + QPoint(300, 90));
    ShowMessageBox(QStringLiteral("Backup created!"), MessageKind::Information, MessageButtons::Ok,
                   MessagePlacement::NearPointer, &parent);
    const MessageRequest near = boxes.shown().at(0);
    QVERIFY(!near.size.isEmpty());
    QCOMPARE(near.position, QPoint(area.left() + 250, parent.frameGeometry().top() + 25));

    // Pointer in the bottom-right corner: the whole box stays on the screen.
    MessageBoxTest::setPointerPosition(area.bottomRight());
    ShowMessageBox(OpenFailure, MessageKind::Error, MessageButtons::Ok,
                   MessagePlacement::NearPointer, nullptr);
    const MessageRequest corner = boxes.shown().at(1);
    QVERIFY2(area.contains(QRect(corner.position, corner.size)),
             qPrintable(QStringLiteral("box at %1,%2 size %3x%4")
                            .arg(corner.position.x())
                            .arg(corner.position.y())
                            .arg(corner.size.width())
                            .arg(corner.size.height())));

    ShowMessageBox(QStringLiteral("Centred"), MessageKind::Information);
    const MessageRequest centred = boxes.shown().at(2);
    const QPoint offCentre = QRect(centred.position, centred.size).center() - area.center();
    QVERIFY(offCentre.manhattanLength() <= 2);

    // A dialog that refuses to open was never shown: its box stands over
    // the window it belongs to, not over the corner the dialog would take.
    QWidget owner;
    owner.setGeometry(area.left() + 300, area.top() + 200, 600, 400);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QDialog refusing(&owner);
    boxes.queue(MessageResult::Ok);
    ShowMessageBox(QStringLiteral("Nothing to list."), MessageKind::Error, MessageButtons::Ok,
                   MessagePlacement::Centered, &refusing);
    const MessageRequest owned = boxes.shown().at(3);
    const QPoint offOwner =
        QRect(owned.position, owned.size).center() - owner.frameGeometry().center();
    QVERIFY(offOwner.manhattanLength() <= 2);
}

void TestMessageBox::realBoxPlacedAndAnswered() {
    const QRect area = screenArea();
    QWidget parent;
    parent.setGeometry(area.left() + 100, area.top() + 80, 543, 116);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    const QPoint pointer = area.topLeft() + QPoint(400, 100);
    QCursor::setPos(pointer);
    QCoreApplication::processEvents();
    if (QCursor::pos() != pointer)
        QSKIP("this platform does not move the pointer");

    qvtest::ModalWatchdog watchdog;
    QString text;
    QPoint position;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return; // the watchdog closes it
        text = box->text();
        position = box->pos();
        box->button(QMessageBox::No)->click();
    });
    const MessageResult answer =
        ShowMessageBox(QStringLiteral("Are you sure you want to exit?"), MessageKind::Confirmation,
                       MessageButtons::YesNo, MessagePlacement::NearPointer, &parent);
    QVERIFY(!watchdog.fired());
    QCOMPARE(answer, MessageResult::No);
    QCOMPARE(text, QStringLiteral("Are you sure you want to exit?"));
    QCOMPARE(position, QPoint(pointer.x() - 50, parent.frameGeometry().top() + 25));

    // Closing the box without a button gives the safe answer, never Yes.
    qvtest::WhenModal([](QWidget* modal) { modal->close(); });
    QCOMPARE(ShowMessageBox(QStringLiteral("Delete?"), MessageKind::Confirmation,
                            MessageButtons::YesNo, MessagePlacement::Centered, &parent),
             MessageResult::No);
    QVERIFY(!watchdog.fired());
}

void TestMessageBox::realBoxSurvivesParentDestroyedWhileOpen() {
    auto* parent = new QWidget;
    parent->show();
    qvtest::ModalWatchdog watchdog;
    qvtest::WhenModal([parent](QWidget*) { delete parent; });
    QCOMPARE(ShowMessageBox(QStringLiteral("Continue?"), MessageKind::Confirmation,
                            MessageButtons::YesNoCancel, MessagePlacement::Centered, parent),
             MessageResult::Cancel);
    QVERIFY(!watchdog.fired());
}

void TestMessageBox::savedFileBoxOpensTheFolder() {
    // Given relative, the path is shown in full; Open Folder hands the folder
    // holding the file to the desktop, not the file itself.
    const QString relative = QStringLiteral("exports/members.csv");
    const QString full = QDir::current().absoluteFilePath(relative);
    qv::test::UrlCatcher desktop({QStringLiteral("file")});
    qvtest::ModalWatchdog watchdog;
    QString text;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        text = box->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == OpenFolderButtonText)
                button->click();
        }
    });
    ShowFileSaved(nullptr, QString(), QStringLiteral("The list was exported."), relative);
    QVERIFY(!watchdog.fired());
    QCOMPARE(text, "The list was exported.\n" + QDir::toNativeSeparators(full));
    QCOMPARE(desktop.urls, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(full).absolutePath())});
}

void TestMessageBox::folderTheDesktopCannotOpenIsReported() {
    // A handler without the named slot makes the desktop answer "no program",
    // as a desktop without a file manager does.
    QObject nobody;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &nobody, "noSuchSlot");
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    const bool opened = OpenContainingFolder(nullptr, QStringLiteral("/srv/club/members.csv"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(!opened);
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown()[0].kind, MessageKind::Warning);
    QVERIFY(boxes.shown()[0].text.endsWith(QStringLiteral("\n\r/srv/club")));
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
