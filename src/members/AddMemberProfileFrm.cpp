// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/AddMemberProfileFrm.h"

#include "platform/ui/DialogButtons.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

TfrmAddMemberProfile::TfrmAddMemberProfile(QWidget* parent)
    : TfrmAddDate(parent) {
    setObjectName(QStringLiteral("frmAddMemberProfile"));
    setWindowTitle(tr("Add Member Profile"));
    lblMemberCategory->setText(tr("&Profile:"));
    lblJoinDate->setText(tr("Date S&tarted:"));
    m_form->setRowVisible(edtReasonEnded, false);
    FixDialogSize(this, 327, 164);
}
