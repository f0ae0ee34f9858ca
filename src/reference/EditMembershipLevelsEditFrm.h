// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reference/EditMembershipLevelsAddFrm.h"

// The add dialog showing a level to change; its confirming button is "&Edit".
class TfrmEditMembershipLevelsEdit : public TfrmEditMembershipLevelsAdd {
    Q_OBJECT
public:
    explicit TfrmEditMembershipLevelsEdit(QWidget* parent = nullptr);

    // Puts the level into the controls and shows the dialog modally; answers
    // QDialog::Accepted or QDialog::Rejected.
    int ShowEdit(const QString& category, qint32 highlightColour, bool includeLongService,
                 qint32 fontColour);

    QPushButton* btnEdit; // the confirming button
};
