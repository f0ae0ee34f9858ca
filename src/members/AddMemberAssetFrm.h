// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/AddDateFrm.h"

// Records an asset issued to a member: the kind, the date issued, a
// reference and, when ticked, the date returned. The reference can be typed
// whether the return date is ticked or not.
class TfrmAddMemberAsset : public TfrmAddDate {
    Q_OBJECT
public:
    explicit TfrmAddMemberAsset(QWidget* parent = nullptr);
};
