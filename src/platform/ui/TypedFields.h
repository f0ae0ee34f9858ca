// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QLineEdit;
class QWidget;

namespace qv {

// The caption of the label that names `field` (its buddy), without the
// access-key mark and the closing colon: "Date &Joined:" gives "Date Joined".
// `fallback` when no label names it.
QString FieldCaption(const QWidget* field, const QString& fallback);

// Entering the field (a click, Tab, an access key) or clicking into it selects
// its whole text while it shows a value rather than a text being typed, so
// what is typed replaces the value instead of joining it wherever the click
// left the cursor.
void SelectWholeOnEntry(QLineEdit* edit);

// Reads every typed date and amount of `window` in turn; the first that is no
// date or amount is refused with a message and gets the focus. A dialog's OK
// calls this before it closes, so what the caller reads is what was typed.
bool CommitTypedFields(QWidget* window);

} // namespace qv
