// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference/EditMembershipLevelsEditFrm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

TfrmEditMembershipLevelsEdit::TfrmEditMembershipLevelsEdit(QWidget* parent)
    : TfrmEditMembershipLevelsAdd(parent)
    , btnEdit(btnAdd) {
    setObjectName(QStringLiteral("frmEditMembershipLevelsEdit"));
    setWindowTitle(tr("Edit Membership Category"));
    btnEdit->setObjectName(QStringLiteral("btnEdit"));
    btnEdit->setText(tr("&Edit"));
}

int TfrmEditMembershipLevelsEdit::ShowEdit(const QString& category, qint32 highlightColour,
                                           bool includeLongService, qint32 fontColour) {
    edtCategory->setText(category);
    colHighlightColour->setValue(highlightColour);
    chkIncludeLongService->setChecked(includeLongService);
    colFontColour->setValue(fontColour);
    return exec();
}
