// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/InputBoxFrm.h"

#include "platform/ui/DialogButtons.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmInputBox::TfrmInputBox(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmInputBox"));

    lblSearch = new QLabel(tr("Please enter the item you wish to search for:"), this);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    lblSearch->setBuddy(edtSearch);

    const DialogButtons buttons = CreateDialogButtons(this, tr("&Find"), QStringLiteral("btnFind"));
    btnFind = buttons.confirm;
    btnCancel = buttons.cancel;
    connect(btnFind, &QPushButton::clicked, this, [this] { btnFindClick(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    layout->addWidget(lblSearch);
    layout->addWidget(edtSearch);
    m_extra = new QVBoxLayout;
    m_extra->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_extra);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);

    fixSize(308, 106);
}

void TfrmInputBox::fixSize(int width, int height) {
    FixDialogSize(this, width, height);
}

int TfrmInputBox::ShowInputBox(const QString& caption, const QString& prompt,
                               const QString& buttonCaption, const QString& initialText,
                               int maxLength) {
    setWindowTitle(caption);
    lblSearch->setText(prompt);
    edtSearch->setMaxLength(maxLength > 0 ? maxLength : 32767);
    edtSearch->setText(initialText);
    btnFind->setText(buttonCaption);
    edtSearch->selectAll();
    edtSearch->setFocus();
    return exec();
}

void TfrmInputBox::btnFindClick() {
    accept();
}

QString AskText(QWidget* owner, const QString& caption, const QString& prompt,
                const QString& buttonCaption) {
    TfrmInputBox dialog(owner);
    if (dialog.ShowInputBox(caption, prompt, buttonCaption, QString(), 0) != QDialog::Accepted)
        return QString();
    return dialog.edtSearch->text();
}
