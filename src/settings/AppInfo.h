#pragma once

#include <QString>

// Shell services: hand a document or link to the program the desktop associates
// with it. Whether that program exists or succeeds is not examined; the desktop
// shows its own message if anything.
namespace AppInfo {

// The help file beside the executable, named after it, or in the data folder of
// an installed copy. The original help format does not exist on Linux, so the
// help is an HTML file ("Quorvane.html").
QString ProductHelpFileName();
void OpenProductHelp();

// Opens "mailto:" followed by `address` as it is: one address, or several
// separated by ", ", a trailing ", " included.
void OpenMailTo(const QString& address);

// The user's documents folder, not created; empty when there is none.
QString GetDocumentsFolder();

} // namespace AppInfo
