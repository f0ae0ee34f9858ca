#include "search/InputBoxFrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

void ApplyDialogFont(QWidget* dialog) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    dialog->setFont(font);
}

TfrmInputBox::TfrmInputBox(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmInputBox"));
    ApplyDialogFont(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

    lblSearch = new QLabel(tr("Please enter the item you wish to search for:"), this);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    lblSearch->setBuddy(edtSearch);

    btnFind = new QPushButton(tr("&Find"), this);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnFind->setDefault(true);
    btnCancel = new QPushButton(tr("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnFind, &QPushButton::clicked, this, [this] { btnFindClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    layout->addWidget(lblSearch);
    layout->addWidget(edtSearch);
    m_extra = new QVBoxLayout;
    m_extra->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_extra);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnFind);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    fixSize(308, 106);
}

void TfrmInputBox::fixSize(int width, int height) {
    const QSize needed = layout()->totalSizeHint();
    setFixedSize(qMax(width, needed.width()), qMax(height, needed.height()));
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
