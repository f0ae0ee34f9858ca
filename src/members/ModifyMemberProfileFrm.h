// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/AddMemberProfileFrm.h"

// Changes a stored profile holding: the profile dialog preset with its values.
class TfrmModifyMemberProfile : public TfrmAddMemberProfile {
    Q_OBJECT
public:
    explicit TfrmModifyMemberProfile(QWidget* parent = nullptr);

    bool ShowForProfile(qv::Connection& connection, const QString& lookupSQL,
                        const QDateTime& profileEnd, const QDateTime& profileStart,
                        qint64 profileKey);

protected:
    void FormShow() override {}
};
