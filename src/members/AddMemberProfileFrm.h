// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/AddDateFrm.h"

// Records a profile a member holds: the profile, the date started and, when
// ticked, the date it ended.
class TfrmAddMemberProfile : public TfrmAddDate {
    Q_OBJECT
public:
    explicit TfrmAddMemberProfile(QWidget* parent = nullptr);
};
