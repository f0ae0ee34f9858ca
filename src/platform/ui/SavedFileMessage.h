// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the user is told after the program wrote a file for them, or handed
// something to the desktop that the desktop could not take.

#include <QString>

class QWidget;

namespace qv {

inline const QString OpenFolderButtonText = QStringLiteral("Open Folder");

// An information box saying where a file went: `text` (one sentence, e.g.
// "The member list was exported.") and, on the next line, the file's full
// path. Besides OK it offers "Open Folder", which shows the folder holding the
// file in the desktop's file manager. A null caption means "Quorvane".
//
// While MessageBoxTest is enabled the box is an ordinary information box with
// OK alone, recorded and answered like every other box.
void ShowFileSaved(QWidget* parent, const QString& caption, const QString& text,
                   const QString& filePath);

// The text of that box: `text`, a line break, the full path.
QString FileSavedText(const QString& text, const QString& filePath);

// Shows the folder holding `filePath` in the desktop's file manager; when the
// desktop has none, says so and returns false.
bool OpenContainingFolder(QWidget* parent, const QString& filePath);

// Says that the desktop could not take something it was handed (no program for
// a link or a file): a warning box over the active window.
void ReportDesktopFailure(const QString& text);

} // namespace qv
