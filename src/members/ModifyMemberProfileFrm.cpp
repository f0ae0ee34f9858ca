// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/ModifyMemberProfileFrm.h"

#include <QPushButton>

TfrmModifyMemberProfile::TfrmModifyMemberProfile(QWidget* parent)
    : TfrmAddMemberProfile(parent) {
    setObjectName(QStringLiteral("frmModifyMemberProfile"));
    setWindowTitle(tr("Modify Member Profile"));
    btnAdd->setText(tr("&Amend"));
}

bool TfrmModifyMemberProfile::ShowForProfile(qv::Connection& connection, const QString& lookupSQL,
                                             const QDateTime& profileEnd,
                                             const QDateTime& profileStart, qint64 profileKey) {
    SetKeyValue(profileKey);
    PresetDates(profileStart, profileEnd);
    return ShowWithLookup(connection, lookupSQL, QStringLiteral("ProfileName"),
                          QStringLiteral("ProfileID"));
}
