// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/EmailListFrm.h"

#include "pictures/Pictures.h"
#include "platform/os/FileSystem.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/SavedFileMessage.h"
#include "settings/AppInfo.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmEmailList::TfrmEmailList(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmEmailList"));
    setWindowTitle(tr("E-mail List"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    pnlTop = new QWidget(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(41);
    const auto makeButton = [this](const QString& name, const QString& caption,
                                   const char16_t* picture) {
        auto* button = new QPushButton(caption, pnlTop);
        button->setObjectName(name);
        button->setAutoDefault(false);
        button->setMinimumSize(80, 28);
        if (picture)
            button->setIcon(qv::Pictures::icon(picture));
        return button;
    };
    btnSave = makeButton(QStringLiteral("btnSave"), tr("&Save"), u"save");
    btnCopy = makeButton(QStringLiteral("btnCopy"), tr("C&opy"), u"copy");
    btnSendEmail = makeButton(QStringLiteral("btnSendEmail"), tr("S&end"), u"send-email");
    btnClose = makeButton(QStringLiteral("btnClose"), tr("&Close"), nullptr);
    auto* top = new QHBoxLayout(pnlTop);
    top->setContentsMargins(6, 0, 6, 0);
    top->setSpacing(6);
    top->addWidget(btnSave);
    top->addWidget(btnCopy);
    top->addWidget(btnSendEmail);
    top->addStretch(1);
    top->addWidget(btnClose);
    connect(btnSave, &QPushButton::clicked, this, &TfrmEmailList::btnSaveClick);
    connect(btnCopy, &QPushButton::clicked, this, &TfrmEmailList::btnCopyClick);
    connect(btnSendEmail, &QPushButton::clicked, this, &TfrmEmailList::btnSendEmailClick);
    // Esc rejects a dialog by itself, so Close is the cancel button already.
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    mmoEmailList = new QPlainTextEdit(this);
    mmoEmailList->setObjectName(QStringLiteral("mmoEmailList"));
    mmoEmailList->setReadOnly(true);
    mmoEmailList->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmoEmailList->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    mmoEmailList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont memoFont(QStringLiteral("Tahoma"));
    memoFont.setPixelSize(15);
    mmoEmailList->setFont(memoFont);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlTop);
    layout->addWidget(mmoEmailList, 1);
    setFixedSize(560, 320);
}

void TfrmEmailList::SetEmailList(const QString& list) {
    mmoEmailList->setPlainText(list);
}

void TfrmEmailList::ShowEmailList(const QString& list) {
    SetEmailList(list);
    exec();
}

QString TfrmEmailList::MemoText() const {
    const QString text = mmoEmailList->toPlainText();
    QString out;
    for (const QString& line : text.split(u'\n'))
        out += line + QStringLiteral("\r\n");
    return out;
}

void TfrmEmailList::btnSaveClick() {
    qv::FileDialogOptions options;
    options.caption = tr("Save E-mail List");
    options.initialFolder = AppInfo::GetDocumentsFolder();
    options.filter = QStringLiteral("Text File (*.txt)|*.txt");
    options.defaultSuffix = QStringLiteral("txt");
    options.confirmOverwrite = true;
    const std::optional<QString> file = qv::GetSaveFileName(options, this);
    if (!file)
        return;
    qv::FileSystem::ReplacingFile out(*file);
    out.write(MemoText().toUtf8());
    out.commit();
    qv::ShowFileSaved(this, QString(), tr("The e-mail list was saved."), *file);
}

void TfrmEmailList::btnCopyClick() {
    mmoEmailList->selectAll();
    QGuiApplication::clipboard()->setText(MemoText());
}

void TfrmEmailList::btnSendEmailClick() {
    AppInfo::OpenMailTo(MemoText());
}
