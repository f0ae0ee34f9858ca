// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/SelectYearFrm.h"

#include "platform/os/Clock.h"
#include "platform/ui/DialogButtons.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSelectYear::TfrmSelectYear(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmSelectYear"));
    setWindowTitle(tr("Long Service"));

    lblYear = new QLabel(tr("Select &year:"), this);
    lblYear->setObjectName(QStringLiteral("lblYear"));
    cboYear = new QComboBox(this);
    cboYear->setObjectName(QStringLiteral("cboYear"));
    cboYear->setEditable(false);
    lblYear->setBuddy(cboYear);
    const DialogButtons buttons = CreateDialogButtons(this, tr("&OK"), QStringLiteral("btnOK"));
    btnOK = buttons.confirm;
    btnCancel = buttons.cancel;
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* row = new QHBoxLayout;
    row->addWidget(lblYear);
    row->addWidget(cboYear, 1);
    layout->addLayout(row);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);

    FixDialogSize(this, 227, 114);
}

void TfrmSelectYear::showEvent(QShowEvent* event) {
    const int year = qv::Clock::today().year();
    cboYear->clear();
    for (int y = year - 5; y <= year + 5; ++y)
        cboYear->addItem(QString::number(y).rightJustified(4, u'0'));
    cboYear->setCurrentIndex(5);
    cboYear->setFocus();
    QDialog::showEvent(event);
}

int TfrmSelectYear::SelectedYear() const {
    return cboYear->currentText().toInt();
}
