// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/AddMemberAssetFrm.h"

#include <QLabel>

TfrmAddMemberAsset::TfrmAddMemberAsset(QWidget* parent)
    : TfrmAddDate(parent) {
    setObjectName(QStringLiteral("frmAddMemberAsset"));
    setWindowTitle(tr("Add Member Asset"));
    lblMemberCategory->setText(tr("Asset &Name:"));
    lblJoinDate->setText(tr("Date &Issued:"));
    lblEndDate->setText(tr("Date &Returned:"));
    lblReasonEnded->setText(tr("Re&ference/No:"));
    KeepReasonEnabled();
}
