// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DialogButtons.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>

void ApplyDialogFont(QWidget* dialog) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    dialog->setFont(font);
}

void SetUpFindDialog(QDialog* dialog, const QString& objectName) {
    dialog->setObjectName(objectName);
    ApplyDialogFont(dialog);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
}

QLabel* CreateLabel(QWidget* parent, const QString& objectName, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(objectName);
    return label;
}

DialogButtons CreateDialogButtons(QDialog* dialog, const QString& confirmCaption,
                                  const QString& confirmName) {
    DialogButtons buttons{};
    buttons.confirm = new QPushButton(confirmCaption, dialog);
    buttons.confirm->setObjectName(confirmName);
    buttons.confirm->setDefault(true);
    buttons.cancel =
        new QPushButton(QCoreApplication::translate("DialogButtons", "&Cancel"), dialog);
    buttons.cancel->setObjectName(QStringLiteral("btnCancel"));
    buttons.cancel->setAutoDefault(false);
    QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}

void AddButtonRow(QVBoxLayout* layout, const DialogButtons& buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(buttons.confirm);
    row->addWidget(buttons.cancel);
    layout->addLayout(row);
}

void FixDialogSize(QDialog* dialog, int width, int height) {
    const QSize needed = dialog->layout()->totalSizeHint();
    dialog->setFixedSize(qMax(width, needed.width()), qMax(height, needed.height()));
}
