// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/FileModifyFrm.h"

#include "platform/ui/DatePicker.h"

#include <QLineEdit>
#include <QPushButton>

TfrmFileModify::TfrmFileModify(QWidget* parent)
    : TfrmFileAdd(parent) {
    setObjectName(QStringLiteral("frmFileModify"));
    setWindowTitle(tr("Modify File Link"));
    btnOK->setText(tr("C&hange"));
}

int TfrmFileModify::ShowForFile(const QString& filePath, const QString& fileDescription,
                                const QDateTime& dateAdded) {
    dtpDateAdded->setDateTime(dateAdded);
    edtFile->setText(filePath);
    edtDescription->setText(fileDescription);
    return exec();
}
