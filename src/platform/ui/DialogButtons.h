// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QDialog;
class QLabel;
class QPushButton;
class QString;
class QVBoxLayout;
class QWidget;

// What the program's small modal dialogs (the find dialogs, the record
// dialogs) share: their frame, the pair of buttons at their foot, and how they
// are sized.

// The look the small dialogs share.
void ApplyDialogFont(QWidget* dialog);

// Names the dialog, gives it the shared font and a fixed-size frame whose
// title bar has a close button only.
void SetUpFindDialog(QDialog* dialog, const QString& objectName);

// A label named and captioned as given (an ampersand marks its access key;
// give it a buddy for the key to reach a control).
QLabel* CreateLabel(QWidget* parent, const QString& objectName, const QString& caption);

struct DialogButtons {
    QPushButton* confirm;
    QPushButton* cancel;
};

// The confirming button, named and captioned as given and the default one, and
// "&Cancel" (btnCancel), which rejects the dialog. Connecting the confirming
// button is left to the dialog: some accept at once, some check first.
DialogButtons CreateDialogButtons(QDialog* dialog, const QString& confirmCaption,
                                  const QString& confirmName);

// Adds the buttons to the foot of `layout` as a row, on the right.
void AddButtonRow(QVBoxLayout* layout, const DialogButtons& buttons);

// Fixes the dialog at its design's client size, or at what its layout needs
// when the system's font is wider.
void FixDialogSize(QDialog* dialog, int width, int height);
