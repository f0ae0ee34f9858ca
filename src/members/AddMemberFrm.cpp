// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/AddMemberFrm.h"

#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/ui/DBEdit.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

TfrmAddMember::TfrmAddMember(QWidget* parent)
    : TfrmMember(parent) {
    setObjectName(QStringLiteral("frmAddMember"));
    setWindowTitle(tr("Add Member"));
    btnUpdate->setText(tr("&Add"));
    btnClose->setText(tr("&Cancel"));
    btnPrint->setEnabled(false);
    m_newMember = true;
    // Surname keeps its U here, where no Update button wants it; the A the
    // member window gives it belongs to Add.
    for (QLabel* label : findChildren<QLabel*>())
        if (label->buddy() == dbedtSurname)
            label->setText(tr("S&urname:"));
    // No Delete Member: there is nothing stored to delete.
    delete mnuPopup;
    mnuPopup = nullptr;
    mnuPopupDeleteMember = nullptr;
    connect(qApp, &QApplication::focusChanged, this, &TfrmAddMember::focusMoved);
}

TfrmAddMember::~TfrmAddMember() {
    disconnect(qApp, &QApplication::focusChanged, this, &TfrmAddMember::focusMoved);
}

void TfrmAddMember::OpenForNewMember(qv::Connection& connection) {
    // The member row's query is keyed: no member has the key 0, so it opens
    // empty, ready for the one row appended, without reading the register.
    BindConnection(connection, 0);
    FormShow();
}

void TfrmAddMember::ShowForNewMember(qv::Connection& connection) {
    OpenForNewMember(connection);
    exec();
}

void TfrmAddMember::FormShow() {
    adoMember->open();
    btnSendEmail->setEnabled(false);
    adoMember->insert();
    OpenTabs();
}

// Only a move to another control of this window counts: the program losing
// the focus to another window leaves the row as it is.
void TfrmAddMember::focusMoved(QWidget* from, QWidget* to) {
    if (from && to && to->window() == this && grpNameAddress->isAncestorOf(from) &&
        !grpNameAddress->isAncestorOf(to))
        grpNameAddressExit();
}

void TfrmAddMember::grpNameAddressExit() {
    if (!adoMember->isActive())
        return;
    UpdateMemberRow();
    for (const qv::DBEdit* e : {dbedtFirstName, dbedtSurname, dbedtAddress, dbedtCity})
        if (e->text().isEmpty())
            return;
    adoMember->post();
    adoMember->edit();
}

// A row that leaving the group could not store (another copy held the
// register) is stored here, rather than the add refused for want of names
// that are there.
bool TfrmAddMember::MemberRowStored() {
    if (adoMember->recNo() < 1)
        grpNameAddressExit();
    return TfrmMember::MemberRowStored();
}

void TfrmAddMember::btnUpdateClick() {
    UpdateMemberRow();
    const int memberId =
        adoMember->recNo() >= 1 ? int(adoMember->field(QStringLiteral("MemberID")).asInteger()) : 0;
    if (MemberSQL::MemberNameExists(*m_connection, memberId,
                                    adoMember->field(QStringLiteral("FirstNames")).asString(),
                                    adoMember->field(QStringLiteral("Surname")).asString())) {
        const QString paragraph = QStringLiteral("\n\r\n\r");
        const QString question =
            tr("A member with that name already exists.") + paragraph +
            tr("If this individual has previously been a member you can update their details "
               "rather than adding them as a new member.") +
            paragraph + tr("Do you wish to continue adding this new member?");
        if (qv::ShowMessageBox(question, qv::MessageKind::Warning, qv::MessageButtons::YesNo,
                               qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
            return;
    }
    if (!CheckUpdate())
        return;
    // The phones, e-mail and post code typed after the row was first stored.
    adoMember->post();
    accept();
}
