// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

// Shell services: hand a document or link to the program the desktop associates
// with it. When the desktop has no such program, the failure is said through
// the shell failure report and answered false; what a program that did start
// makes of it is its own business.
namespace AppInfo {

// How a failed hand-off is told to the user. The program sets one that shows a
// message box (this layer has no windows); until one is set a failure is only
// logged as a warning.
using ShellFailureReport = std::function<void(const QString& message)>;
void SetShellFailureReport(ShellFailureReport report);

// The help file beside the executable, named after it, or in the data folder of
// an installed copy. The original help format does not exist on Linux, so the
// help is an HTML file ("Quorvane.html").
QString ProductHelpFileName();
bool OpenProductHelp();

// Opens "mailto:" followed by `address` as it is: one address, or several
// separated by ", ", a trailing ", " included.
bool OpenMailTo(const QString& address);

// Opens a file with the program the desktop has for its kind.
bool OpenDocument(const QString& path);

// The user's documents folder, not created; empty when there is none.
QString GetDocumentsFolder();

} // namespace AppInfo
