// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QString>

namespace qv {

// The text of the default error report: the message, with a full stop added
// when its last character sorts after '.' in character code order ("Disk full"
// and "Why?" get one; "Done.", "Stop!" and "(see log)" do not; "" stays empty).
QString ErrorReportText(const QString& message);

// The default error report: a modal error box captioned "Quorvane" with
// ErrorReportText(message). While one report is open, further reports are
// written to the log instead of stacking boxes (an error repeated by every
// repaint would otherwise open boxes without end).
void ShowErrorReport(const QString& message);

// The message of the exception being handled; call only inside a catch block.
// DatabaseError gives its message, other std::exceptions their UTF-8 what(),
// anything else a fixed text.
QString CurrentExceptionMessage();

// The application object. Its notify() is where every exception that escapes
// an event handler ends: the default error report is shown, the event counts
// as not handled, and the program goes on.
class QuorvaneApplication : public QApplication {
    Q_OBJECT

public:
    QuorvaneApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace qv
