// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QShowEvent>
#include <QtDebug>
#include <algorithm>
#include <deque>

namespace qv {

namespace {

struct TestState {
    bool enabled = false;
    std::deque<MessageResult> answers;
    QList<MessageRequest> shown;
    QStringList problems;
    std::optional<QPoint> pointer;
};

TestState& testState() {
    static TestState state;
    return state;
}

QString resultName(MessageResult result) {
    switch (result) {
    case MessageResult::Ok:
        return QStringLiteral("Ok");
    case MessageResult::Cancel:
        return QStringLiteral("Cancel");
    case MessageResult::Yes:
        return QStringLiteral("Yes");
    case MessageResult::No:
        return QStringLiteral("No");
    }
    return QStringLiteral("?");
}

QMessageBox::StandardButton standardButton(MessageResult result) {
    switch (result) {
    case MessageResult::Ok:
        return QMessageBox::Ok;
    case MessageResult::Cancel:
        return QMessageBox::Cancel;
    case MessageResult::Yes:
        return QMessageBox::Yes;
    case MessageResult::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButtons standardButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoDefaultNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon icon(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QPoint pointerPosition() {
    const TestState& state = testState();
    if (state.enabled && state.pointer)
        return *state.pointer;
    return QCursor::pos();
}

QScreen* screenFor(const QPoint& pointer, QWidget* parent) {
    if (QScreen* screen = QGuiApplication::screenAt(pointer))
        return screen;
    if (parent)
        return parent->window()->screen();
    return QGuiApplication::primaryScreen();
}

QPoint boxPosition(MessagePlacement placement, QWidget* parent, const QSize& size,
                   const QPoint& pointer) {
    if (placement == MessagePlacement::NearPointer) {
        QScreen* screen = screenFor(pointer, parent);
        if (!screen)
            return QPoint(pointer.x() - 50, pointer.y());
        const int top = parent ? parent->window()->frameGeometry().top() + 25 : pointer.y();
        return NearPointerPosition(pointer, top, size, screen->availableGeometry());
    }
    QWidget* over = ShownOwnerWindow(parent);
    QScreen* screen = over ? over->screen() : screenFor(pointer, nullptr);
    if (!screen)
        return QPoint();
    const QRect area = screen->availableGeometry();
    return CenteredPosition(over ? over->frameGeometry() : area, size, area);
}

// Places itself once its final size is known: QMessageBox fixes its size in its
// own showEvent, which runs before the window is mapped, so moving there does
// not flicker.
class PlacedMessageBox : public QMessageBox {
public:
    PlacedMessageBox(QWidget* parent, MessagePlacement placement, const QPoint& pointer)
        : QMessageBox(parent)
        , m_placement(placement)
        , m_pointer(pointer) {}

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        move(boxPosition(m_placement, parentWidget(), size(), m_pointer));
    }

private:
    MessagePlacement m_placement;
    QPoint m_pointer;
};

MessageResult testAnswer(MessageRequest& request) {
    TestState& state = testState();
    const QString quoted = QStringLiteral("\"%1\"").arg(request.text);
    if (state.answers.empty()) {
        request.unexpected = true;
        request.problem =
            QStringLiteral("Unexpected message box (no answer queued): %1").arg(quoted);
    } else {
        const MessageResult queued = state.answers.front();
        state.answers.pop_front();
        if (HasButton(request.buttons, queued))
            return queued;
        request.unexpected = true;
        request.problem = QStringLiteral("Queued answer %1 is not a button of the message box %2")
                              .arg(resultName(queued), quoted);
    }
    qWarning().noquote() << request.problem;
    state.problems << request.problem;
    return SafeAnswer(request.buttons);
}

} // namespace

QString MessageDisplayText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) {
            shown += c;
            continue;
        }
        // A two-character break is either order of LF and CR, never LF LF.
        if (i + 1 < text.size()) {
            const QChar next = text.at(i + 1);
            if ((next == QLatin1Char('\n') || next == QLatin1Char('\r')) && next != c)
                ++i;
        }
        shown += QLatin1Char('\n');
    }
    return shown;
}

MessageResult SafeAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageResult::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoDefaultNo:
        return MessageResult::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        return MessageResult::Cancel;
    }
    return MessageResult::Cancel;
}

// The first button is the default, as on the platform these messages were
// written for, save where No is asked for.
MessageResult DefaultAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageResult::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageResult::Yes;
    case MessageButtons::YesNoDefaultNo:
        return MessageResult::No;
    }
    return MessageResult::Ok;
}

bool HasButton(MessageButtons buttons, MessageResult answer) {
    return standardButtons(buttons).testFlag(standardButton(answer));
}

QPoint NearPointerPosition(const QPoint& pointer, int top, const QSize& boxSize,
                           const QRect& screenArea) {
    const int x = std::max(screenArea.left(),
                           std::min(pointer.x() - 50, screenArea.right() + 1 - boxSize.width()));
    const int y =
        std::max(screenArea.top(), std::min(top, screenArea.bottom() + 1 - boxSize.height()));
    return QPoint(x, y);
}

QWidget* ShownOwnerWindow(QWidget* parent) {
    QWidget* window = parent ? parent->window() : nullptr;
    for (QWidget* w = window; w; w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        if (w->isVisible())
            return w;
    return nullptr;
}

QPoint CenteredPosition(const QRect& over, const QSize& boxSize, const QRect& screenArea) {
    const QPoint centre = over.center();
    const QPoint wanted(centre.x() - boxSize.width() / 2, centre.y() - boxSize.height() / 2);
    const int x =
        std::max(screenArea.left(), std::min(wanted.x(), screenArea.right() + 1 - boxSize.width()));
    const int y = std::max(screenArea.top(),
                           std::min(wanted.y(), screenArea.bottom() + 1 - boxSize.height()));
    return QPoint(x, y);
}

QPoint OwnerCentredPosition(const QRect& owner, const QSize& size, const QRect& screenArea) {
    const QPoint overOwner = CenteredPosition(owner, size, screenArea);
    const QPoint centre = owner.center();
    if (overOwner == QPoint(centre.x() - size.width() / 2, centre.y() - size.height() / 2))
        return overOwner;
    return CenteredPosition(screenArea, size, screenArea);
}

void PlaceOverOwner(QWidget* window) {
    QWidget* owner = ShownOwnerWindow(window->parentWidget());
    QScreen* screen = owner ? owner->screen() : window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(OwnerCentredPosition(owner ? owner->frameGeometry() : area,
                                      window->frameGeometry().size(), area));
}

std::unique_ptr<QMessageBox> CreateMessageBox(const MessageRequest& request, QWidget* parent) {
    auto box = std::make_unique<PlacedMessageBox>(parent, request.placement, pointerPosition());
    box->setWindowTitle(request.caption.isNull() ? DefaultMessageCaption : request.caption);
    box->setIcon(icon(request.kind));
    // Plain text always: messages quote names and values the user typed, which
    // must never be read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(MessageDisplayText(request.text));
    box->setStandardButtons(standardButtons(request.buttons));
    box->setDefaultButton(standardButton(DefaultAnswer(request.buttons)));
    box->setEscapeButton(standardButton(SafeAnswer(request.buttons)));
    return box;
}

MessageResult ShowMessageBox(const QString& text, MessageKind kind, MessageButtons buttons,
                             MessagePlacement placement, QWidget* parent, const QString& caption) {
    MessageRequest request;
    request.text = text;
    request.caption = caption.isNull() ? DefaultMessageCaption : caption;
    request.kind = kind;
    request.buttons = buttons;
    request.placement = placement;
    request.defaultAnswer = DefaultAnswer(buttons);
    request.parent = parent;

    TestState& state = testState();
    if (state.enabled) {
        // Build the real box only to learn its size; it is never shown. Without
        // a widget application (a non-GUI test) there is no size to learn.
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
            const auto box = CreateMessageBox(request, parent);
            box->ensurePolished();
            request.size = box->sizeHint();
            request.position = boxPosition(placement, parent, request.size, pointerPosition());
        }
        request.answer = testAnswer(request);
        state.shown << request;
        return request.answer;
    }

    auto box = CreateMessageBox(request, parent);
    const QPointer<QMessageBox> alive = box.get();
    box->exec();
    if (!alive) {
        // The parent was destroyed while the box was open and took the box with
        // it; the pointer we hold is gone.
        (void)box.release();
        return SafeAnswer(buttons);
    }
    QAbstractButton* clicked = box->clickedButton();
    const QMessageBox::StandardButton pressed =
        clicked ? box->standardButton(clicked) : QMessageBox::NoButton;
    for (MessageResult result :
         {MessageResult::Ok, MessageResult::Cancel, MessageResult::Yes, MessageResult::No}) {
        if (pressed == standardButton(result) && HasButton(buttons, result))
            return result;
    }
    return SafeAnswer(buttons);
}

void MessageBoxTest::enable() {
    clear();
    testState().enabled = true;
}

void MessageBoxTest::disable() {
    clear();
    testState().enabled = false;
}

bool MessageBoxTest::isEnabled() {
    return testState().enabled;
}

void MessageBoxTest::clear() {
    TestState& state = testState();
    state.answers.clear();
    state.shown.clear();
    state.problems.clear();
    state.pointer.reset();
}

void MessageBoxTest::queueAnswer(MessageResult answer) {
    testState().answers.push_back(answer);
}

int MessageBoxTest::pendingAnswers() {
    return static_cast<int>(testState().answers.size());
}

const QList<MessageRequest>& MessageBoxTest::shown() {
    return testState().shown;
}

int MessageBoxTest::unexpectedCount() {
    return static_cast<int>(testState().problems.size());
}

QStringList MessageBoxTest::problems() {
    return testState().problems;
}

void MessageBoxTest::setPointerPosition(const QPoint& position) {
    testState().pointer = position;
}

} // namespace qv
