// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/Application.h"

#include "platform/data/DatabaseError.h"
#include "platform/ui/AccessibleBus.h"
#include "platform/ui/MessageBox.h"

#include <QtDebug>
#include <exception>

namespace qv {

namespace {

bool reportOpen = false;

} // namespace

QString ErrorReportText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorReport(const QString& message) {
    const QString text = ErrorReportText(message);
    if (reportOpen) {
        qWarning().noquote() << "Error while an error report is open:" << text;
        return;
    }
    reportOpen = true;
    // Over the window the user is working in, so the box cannot fall behind it.
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    try {
        ShowMessageBox(text, MessageKind::Error, MessageButtons::Ok, MessagePlacement::Centered,
                       parent, DefaultMessageCaption);
    } catch (...) {
        reportOpen = false;
        throw;
    }
    reportOpen = false;
}

QString CurrentExceptionMessage() {
    try {
        throw;
    } catch (const DatabaseError& error) {
        return error.message();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred");
    }
}

QuorvaneApplication::QuorvaneApplication(int& argc, char** argv)
    : QApplication(argc, argv) {
    // Only the name: a display name would be appended by the window system to
    // every window title ("Find — Quorvane"), and the captions are our own.
    setApplicationName(QStringLiteral("Quorvane"));
    GuardAccessibleBus();
}

// Every handler runs beneath a call of notify(): input, paint, timer and show
// events, and queued signal deliveries (QMetaCallEvent). A slot connected
// directly to a widget's signal, such as a button's clicked(), is an ordinary
// nested call made from inside that widget's event handler (mouseReleaseEvent
// emits clicked), so its exception unwinds through the handler into the
// innermost notify() and is caught here. Events sent from inside a handler get
// their own notify() and are caught at their own level, as each window message
// was on the original platform: the outer handler carries on. Not covered: code
// that runs outside an event (before exec()) and other threads.
bool QuorvaneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowErrorReport(CurrentExceptionMessage());
    }
    return false;
}

} // namespace qv
