// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalHelpers.h"
#include "platform/data/DatabaseError.h"
#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"
#include "support/AppTestMain.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <stdexcept>

using namespace qv;

Q_DECLARE_METATYPE(std::function<void()>)

class TestApplication : public QObject {
    Q_OBJECT

private slots:
    void namedQuorvane();
    void fullStopRule_data();
    void fullStopRule();
    void exceptionFromClickedSlotIsReported_data();
    void exceptionFromClickedSlotIsReported();
    void errorWhileReportOpenIsLoggedNotStacked();
};

void TestApplication::namedQuorvane() {
    QVERIFY(qobject_cast<QuorvaneApplication*>(QCoreApplication::instance()));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Quorvane"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Quorvane"));
}

void TestApplication::fullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("report");
    const char* rows[][3] = {
        {"letter", "Disk full", "Disk full."},
        {"full stop", "Done.", "Done."},
        {"'?' sorts after '.'", "Why?", "Why?."},
        {"digit", "Error 42", "Error 42."},
        {"'!' sorts before '.'", "Stop!", "Stop!"},
        {"')' sorts before '.'", "Failed (see log)", "Failed (see log)"},
        {"trailing space", "Trailing ", "Trailing "},
        {"non-ASCII", "Größe", "Größe."},
        {"empty", "", ""},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
}

void TestApplication::fullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, report);
    QCOMPARE(ErrorReportText(message), report);
}

void TestApplication::exceptionFromClickedSlotIsReported_data() {
    QTest::addColumn<bool>("throughWindow");
    QTest::addColumn<std::function<void()>>("thrower");
    QTest::addColumn<QString>("report");
    // Straight to the widget, as QTest::mouseClick(QWidget*) delivers it.
    QTest::newRow("widget, DatabaseError") << false << std::function<void()>([] {
        throw DatabaseError(QStringLiteral("no such table: Members"));
    }) << QStringLiteral("no such table: Members.");
    // Through the window system, as a real click arrives.
    QTest::newRow("window, std::exception") << true << std::function<void()>([] {
        throw std::runtime_error("Größe unbekannt"); // what() is UTF-8
    }) << QStringLiteral("Größe unbekannt.");
    QTest::newRow("window, not an exception") << true << std::function<void()>([] { throw 42; })
                                              << QStringLiteral("An unexpected error occurred.");
}

void TestApplication::exceptionFromClickedSlotIsReported() {
    QFETCH(bool, throughWindow);
    QFETCH(std::function<void()>, thrower);
    QFETCH(QString, report);

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* failing = new QPushButton(QStringLiteral("Fail"), &window);
    auto* working = new QPushButton(QStringLiteral("Work"), &window);
    layout->addWidget(failing);
    layout->addWidget(working);
    int failingEntered = 0;
    int workingClicks = 0;
    connect(failing, &QPushButton::clicked, &window, [&] {
        ++failingEntered;
        thrower();
    });
    connect(working, &QPushButton::clicked, &window, [&] { ++workingClicks; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const auto click = [&](QPushButton* button) {
        if (throughWindow)
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                              button->mapTo(&window, button->rect().center()));
        else
            QTest::mouseClick(button, Qt::LeftButton);
    };

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    click(failing);
    QCOMPARE(failingEntered, 1);
    QCOMPARE(boxes.shown().size(), 1);
    const MessageRequest shown = boxes.shown().at(0);
    QCOMPARE(shown.text, report);
    QCOMPARE(shown.caption, QStringLiteral("Quorvane"));
    QCOMPARE(shown.kind, MessageKind::Error);
    QCOMPARE(shown.buttons, MessageButtons::Ok);

    // The program goes on: other widgets, timers, and the same button again.
    QVERIFY(!failing->isDown());
    click(working);
    QCOMPARE(workingClicks, 1);
    bool timerRan = false;
    QTimer::singleShot(0, &window, [&] { timerRan = true; });
    QTRY_VERIFY(timerRan);
    boxes.queue(MessageResult::Ok);
    click(failing);
    QCOMPARE(failingEntered, 2);
    QCOMPARE(boxes.shown().size(), 2);
    click(working);
    QCOMPARE(workingClicks, 2);
}

void TestApplication::errorWhileReportOpenIsLoggedNotStacked() {
    QPushButton button(QStringLiteral("Fail"));
    connect(&button, &QPushButton::clicked, &button, [] {
        // While the report of this error is open, a timer fails as well.
        QTimer::singleShot(20, qApp, [] { throw std::runtime_error("second failure"); });
        throw std::runtime_error("first failure");
    });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));

    qvtest::ModalWatchdog watchdog;
    QString reportText;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        reportText = box->text();
        QTimer::singleShot(200, box, [box] { box->button(QMessageBox::Ok)->click(); });
    });
    QTest::ignoreMessage(QtWarningMsg, "Error while an error report is open: second failure.");
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(!watchdog.fired());
    QCOMPARE(reportText, QStringLiteral("first failure."));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // The guard is released: the next error gets its box again.
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    ShowErrorReport(QStringLiteral("third failure"));
    QCOMPARE(boxes.shown().size(), 1);
}

QV_APP_TEST_MAIN(TestApplication)

#include "tst_application.moc"
