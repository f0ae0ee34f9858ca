// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/FileAddFrm.h"

#include "platform/os/Clock.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/TypedFields.h"
#include "settings/AppInfo.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFileAdd::TfrmFileAdd(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmFileAdd"));
    setWindowTitle(tr("Add File Link"));

    lblDateAdded = CreateLabel(this, QStringLiteral("lblDateAdded"), tr("&Date Added:"));
    dtpDateAdded = new qv::DatePicker(false, this);
    dtpDateAdded->setObjectName(QStringLiteral("dtpDateAdded"));
    lblFile = CreateLabel(this, QStringLiteral("lblFile"), tr("&File:"));
    edtFile = new QLineEdit(this);
    edtFile->setObjectName(QStringLiteral("edtFile"));
    edtFile->setMaxLength(255);
    btnBrowse = new QPushButton(tr("&Browse..."), this);
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setAutoDefault(false);
    lblDescription = CreateLabel(this, QStringLiteral("lblDescription"), tr("D&escription:"));
    edtDescription = new QLineEdit(this);
    edtDescription->setObjectName(QStringLiteral("edtDescription"));
    edtDescription->setMaxLength(50);
    lblDateAdded->setBuddy(dtpDateAdded);
    lblFile->setBuddy(edtFile);
    lblDescription->setBuddy(edtDescription);

    const DialogButtons buttons = CreateDialogButtons(this, tr("&Add"), QStringLiteral("btnOK"));
    btnOK = buttons.confirm;
    btnCancel = buttons.cancel;
    connect(btnOK, &QPushButton::clicked, this, &TfrmFileAdd::btnOKClick);
    connect(btnBrowse, &QPushButton::clicked, this, &TfrmFileAdd::btnBrowseClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(10);
    grid->addWidget(lblDateAdded, 0, 0);
    grid->addWidget(dtpDateAdded, 0, 1, 1, 2);
    grid->addWidget(lblFile, 1, 0);
    grid->addWidget(edtFile, 1, 1);
    grid->addWidget(btnBrowse, 1, 2);
    grid->addWidget(lblDescription, 2, 0);
    grid->addWidget(edtDescription, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);
    setTabOrder(dtpDateAdded, edtFile);
    setTabOrder(edtFile, btnBrowse);
    setTabOrder(btnBrowse, edtDescription);
    setTabOrder(edtDescription, btnOK);
    setTabOrder(btnOK, btnCancel);

    m_browseFolder = AppInfo::GetDocumentsFolder();
    FixDialogSize(this, 338, 185);
}

void TfrmFileAdd::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TfrmFileAdd::FormShow() {
    dtpDateAdded->setDate(qv::Clock::today());
}

void TfrmFileAdd::btnBrowseClick() {
    qv::FileDialogOptions options;
    options.caption = tr("Add File Link");
    options.initialFolder = m_browseFolder;
    options.filter = QStringLiteral("All Files (*.*)|*.*");
    options.defaultSuffix = QStringLiteral("*.*");
    const std::optional<QString> chosen = qv::GetOpenFileName(options, this);
    if (!chosen)
        return;
    // Cut to the field's width the path would name another file.
    if (chosen->size() > edtFile->maxLength()) {
        qv::ShowMessageBox(tr("The path of this file is longer than %1 characters and cannot be "
                              "stored. Move the file to a shorter path and browse again.")
                               .arg(edtFile->maxLength()),
                           qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    }
    edtFile->setText(*chosen);
    edtDescription->setText(QFileInfo(*chosen).fileName());
}

void TfrmFileAdd::btnOKClick() {
    if (edtFile->text().trimmed().isEmpty() || edtDescription->text().trimmed().isEmpty()) {
        qv::ShowMessageBox(tr("You must enter a filename and description!"), qv::MessageKind::Error,
                           qv::MessageButtons::Ok, qv::MessagePlacement::Centered, this);
        return;
    }
    accept();
}

void TfrmFileAdd::accept() {
    if (qv::CommitTypedFields(this))
        QDialog::accept();
}
