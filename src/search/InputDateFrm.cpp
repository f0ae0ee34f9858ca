// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/InputDateFrm.h"

#include "platform/os/Clock.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/TypedFields.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmInputDate::TfrmInputDate(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmInputDate"));
    setWindowTitle(tr("Unpaid Fees"));

    lblDate = new QLabel(tr("&Payment Notice/Due Date:"), this);
    lblDate->setObjectName(QStringLiteral("lblDate"));
    dtpDate = new qv::DatePicker(false, this);
    dtpDate->setObjectName(QStringLiteral("dtpDate"));
    lblDate->setBuddy(dtpDate);
    const DialogButtons buttons = CreateDialogButtons(this, tr("&OK"), QStringLiteral("btnOK"));
    btnOK = buttons.confirm;
    btnCancel = buttons.cancel;
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(lblDate);
    layout->addWidget(dtpDate);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);

    FixDialogSize(this, 249, 105);
}

void TfrmInputDate::showEvent(QShowEvent* event) {
    dtpDate->setDate(qv::Clock::today());
    dtpDate->setFocus();
    QDialog::showEvent(event);
}

QDate TfrmInputDate::SelectedDate() const {
    return dtpDate->date();
}

void TfrmInputDate::accept() {
    if (qv::CommitTypedFields(this))
        QDialog::accept();
}
