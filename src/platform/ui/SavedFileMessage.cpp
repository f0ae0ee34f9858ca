// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/SavedFileMessage.h"

#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

namespace qv {

QString FileSavedText(const QString& text, const QString& filePath) {
    return text + QStringLiteral("\n\r") +
           QDir::toNativeSeparators(QFileInfo(filePath).absoluteFilePath());
}

void ShowFileSaved(QWidget* parent, const QString& caption, const QString& text,
                   const QString& filePath) {
    const QString shown = FileSavedText(text, filePath);
    if (MessageBoxTest::isEnabled()) {
        ShowMessageBox(shown, MessageKind::Information, MessageButtons::Ok,
                       MessagePlacement::Centered, parent, caption);
        return;
    }

    MessageRequest request;
    request.text = shown;
    request.caption = caption.isNull() ? DefaultMessageCaption : caption;
    request.kind = MessageKind::Information;
    request.buttons = MessageButtons::Ok;
    request.placement = MessagePlacement::Centered;
    request.parent = parent;
    auto box = CreateMessageBox(request, parent);
    QPushButton* openFolder = box->addButton(OpenFolderButtonText, QMessageBox::ActionRole);
    const QPointer<QMessageBox> alive = box.get();
    box->exec();
    if (!alive) {
        // Destroyed with its parent while open.
        (void)box.release();
        return;
    }
    const bool wantsFolder = box->clickedButton() == openFolder;
    box.reset();
    if (wantsFolder)
        OpenContainingFolder(parent, filePath);
}

bool OpenContainingFolder(QWidget* parent, const QString& filePath) {
    const QString folder = QFileInfo(filePath).absolutePath();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        return true;
    ShowMessageBox(QStringLiteral("The folder could not be shown: this desktop has no program "
                                  "set up to open folders.\n\r%1")
                       .arg(QDir::toNativeSeparators(folder)),
                   MessageKind::Warning, MessageButtons::Ok, MessagePlacement::Centered, parent);
    return false;
}

void ReportDesktopFailure(const QString& text) {
    ShowMessageBox(text, MessageKind::Warning, MessageButtons::Ok, MessagePlacement::Centered,
                   QApplication::activeWindow());
}

} // namespace qv
