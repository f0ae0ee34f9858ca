// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/ModifyDateFrm.h"

#include <QLineEdit>
#include <QPushButton>

TfrmModifyDateJoined::TfrmModifyDateJoined(QWidget* parent)
    : TfrmAddDateJoined(parent) {
    setObjectName(QStringLiteral("frmModifyDateJoined"));
    setWindowTitle(tr("Amend Date"));
    btnAdd->setText(tr("&Amend"));
}

bool TfrmModifyDateJoined::ShowForPeriod(qv::Connection& connection, const QString& lookupSQL,
                                         const QString& reasonEnded, const QString& membershipNo,
                                         const QDateTime& dateEnded, const QDateTime& dateJoined,
                                         qint64 levelKey) {
    SetKeyValue(levelKey);
    PresetDates(dateJoined, dateEnded);
    edtMembershipNo->setText(membershipNo);
    edtReasonEnded->setText(reasonEnded);
    dtpEndDateChange();
    return ShowWithLookup(connection, lookupSQL, QStringLiteral("MemberCategory"),
                          QStringLiteral("MembershipLevelID"));
}
