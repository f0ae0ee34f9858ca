// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every message box of the program goes through ShowMessageBox, so that its
// look, its placement and its line breaks are the same everywhere, and so that
// tests can answer boxes without a window or a nested event loop.

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

class QMessageBox;
class QRect;

// Declared here rather than included: the library does not link the test
// library, and only the inline destructors of the test scopes below call these,
// which are compiled in test executables alone.
namespace QTest {
void qFail(const char* message, const char* file, int line);
bool currentTestFailed();
} // namespace QTest

namespace qv {

enum class MessageKind { Error, Information, Warning, Confirmation };
// The first button is the default (Enter presses it), except in
// YesNoDefaultNo: Yes and No with No the default, for every question whose Yes
// destroys data, so that Enter pressed out of habit keeps it.
enum class MessageButtons { Ok, YesNo, OkCancel, YesNoCancel, YesNoDefaultNo };
enum class MessageResult { Ok, Cancel, Yes, No };

// NearPointer: top-left at the pointer's x minus 50 and the parent window's top
// plus 25 (the pointer's y without a parent), kept on the pointer's screen.
// Centered: centred on the parent's window, or on the screen without a parent.
enum class MessagePlacement { NearPointer, Centered };

inline const QString DefaultMessageCaption = QStringLiteral("Quorvane");

// Shows a modal message box and returns the button pressed. `text` is the text
// as the program stores it: "\n\r", "\r\n", "\n" and a lone "\r" each become one
// line break; it is always shown as plain text. A null caption means "Quorvane".
// Closing the box without a button (Esc, the window's close button) answers the
// safe button: No for YesNo, Cancel for OkCancel and YesNoCancel, Ok for Ok.
MessageResult ShowMessageBox(const QString& text, MessageKind kind,
                             MessageButtons buttons = MessageButtons::Ok,
                             MessagePlacement placement = MessagePlacement::Centered,
                             QWidget* parent = nullptr, const QString& caption = QString());

// --- Building blocks, public so tests can check what the real path builds ---

// The text as shown: each stored line break becomes a single '\n'.
QString MessageDisplayText(const QString& text);

// The answer given when a box is closed without a button or cannot be answered.
MessageResult SafeAnswer(MessageButtons buttons);

// The button Enter presses in a box with `buttons`.
MessageResult DefaultAnswer(MessageButtons buttons);

// Whether `answer` is one of the buttons of a box with `buttons`.
bool HasButton(MessageButtons buttons, MessageResult answer);

// Top-left of a box placed near the pointer: (pointer x - 50, top), moved
// inside `screenArea` as far as the box's size allows.
QPoint NearPointerPosition(const QPoint& pointer, int top, const QSize& boxSize,
                           const QRect& screenArea);

// The window a box or dialog of `parent` stands over: the parent's own window,
// or, while that is not on the screen (a dialog refusing to open), the
// nearest window on the screen it belongs to; null when there is none.
QWidget* ShownOwnerWindow(QWidget* parent);

// Top-left of a box centred over `over`, moved inside `screenArea`.
QPoint CenteredPosition(const QRect& over, const QSize& boxSize, const QRect& screenArea);

// Top-left of a window of `size` opened over `owner`: centred on it when it
// fits there on the screen, else centred on the screen. The main window is a
// small bar in the screen's corner, and a large window centred on it would be
// pushed into that corner.
QPoint OwnerCentredPosition(const QRect& owner, const QSize& size, const QRect& screenArea);

// Moves a window that is about to open to OwnerCentredPosition over the
// window its parent belongs to (the screen's centre without one).
void PlaceOverOwner(QWidget* window);

// One box as it was asked for, and (in test mode) how it was answered.
struct MessageRequest {
    QString text; // exactly as passed
    QString caption;
    MessageKind kind = MessageKind::Information;
    MessageButtons buttons = MessageButtons::Ok;
    MessagePlacement placement = MessagePlacement::Centered;
    MessageResult defaultAnswer = MessageResult::Ok; // the button Enter presses
    QPointer<QWidget> parent;
    QPoint position; // top-left the box has (or would have had)
    QSize size;      // the size the position was computed with
    MessageResult answer = MessageResult::Ok;
    bool unexpected = false; // no usable queued answer: the safe button was given
    QString problem;         // why it was unexpected
};

// The real box the non-test path shows for `request` (not yet placed or shown).
std::unique_ptr<QMessageBox> CreateMessageBox(const MessageRequest& request, QWidget* parent);

// Test mode. While enabled no window opens: each box takes the next queued
// answer and is recorded. A box that finds the queue empty, or an answer that
// is not one of its buttons, is recorded as unexpected, gets the safe button
// (never Yes) and prints a warning; tests assert on unexpectedCount()/problems(),
// or use MessageBoxTestScope, which does so on leaving the scope.
class MessageBoxTest {
public:
    static void enable();  // also clears
    static void disable(); // also clears
    static bool isEnabled();
    static void clear(); // answers, records, problems, pointer override

    static void queueAnswer(MessageResult answer);
    static int pendingAnswers();

    static const QList<MessageRequest>& shown();
    static int unexpectedCount();
    static QStringList problems();

    // Pointer position used for NearPointer boxes in test mode (default: the
    // real pointer position).
    static void setPointerPosition(const QPoint& position);
};

// Enables test mode for its lifetime. On destruction it fails the running test
// (QTest::qFail) when answers are left queued or boxes went unexpected, unless
// the test has already failed. Use it as a local inside a test function; do not
// nest two of them.
class MessageBoxTestScope {
public:
    MessageBoxTestScope() { MessageBoxTest::enable(); }
    ~MessageBoxTestScope() {
        const QStringList trouble = problems();
        MessageBoxTest::disable();
        if (!trouble.isEmpty() && !QTest::currentTestFailed())
            QTest::qFail(qPrintable(trouble.join(QLatin1Char('\n'))), __FILE__, __LINE__);
    }
    MessageBoxTestScope(const MessageBoxTestScope&) = delete;
    MessageBoxTestScope& operator=(const MessageBoxTestScope&) = delete;

    void queue(MessageResult answer) { MessageBoxTest::queueAnswer(answer); }
    const QList<MessageRequest>& shown() const { return MessageBoxTest::shown(); }
    int pending() const { return MessageBoxTest::pendingAnswers(); }

    // Everything the destructor would complain about: unexpected boxes and
    // answers never used.
    QStringList problems() const {
        QStringList all = MessageBoxTest::problems();
        if (MessageBoxTest::pendingAnswers() > 0)
            all << QStringLiteral("%1 queued message box answer(s) never used")
                       .arg(MessageBoxTest::pendingAnswers());
        return all;
    }
    bool isClean() const { return problems().isEmpty(); }
};

} // namespace qv
