// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/AddDateJoinedFrm.h"

#include "platform/ui/DatePicker.h"
#include "platform/ui/DialogButtons.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmAddDateJoined::TfrmAddDateJoined(QWidget* parent)
    : TfrmAddDate(parent) {
    setObjectName(QStringLiteral("frmAddDateJoined"));
    lblMembershipNo = new QLabel(tr("Membership &No:"), this);
    lblMembershipNo->setObjectName(QStringLiteral("lblMembershipNo"));
    edtMembershipNo = new QLineEdit(this);
    edtMembershipNo->setObjectName(QStringLiteral("edtMembershipNo"));
    lblMembershipNo->setBuddy(edtMembershipNo);
    m_form->insertRow(1, lblMembershipNo, edtMembershipNo);
    setTabOrder(dblMemberCategory, edtMembershipNo);
    setTabOrder(edtMembershipNo, dtpJoinDate);
    setTabOrder(dtpJoinDate, dtpEndDate);
    setTabOrder(dtpEndDate, edtReasonEnded);
    setTabOrder(edtReasonEnded, btnAdd);
    setTabOrder(btnAdd, btnCancel);
    FixDialogSize(this, 327, 243);
}
