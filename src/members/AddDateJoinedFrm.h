// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/AddDateFrm.h"

// Adds a membership period: the level, a membership number, the date joined
// and, when ticked, the date ended with its reason.
class TfrmAddDateJoined : public TfrmAddDate {
    Q_OBJECT
public:
    explicit TfrmAddDateJoined(QWidget* parent = nullptr);

    QLabel* lblMembershipNo;
    QLineEdit* edtMembershipNo;
};
