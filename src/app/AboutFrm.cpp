// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AboutFrm.h"

#include "pictures/Pictures.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QFont boldPixels(QFont font, int pixels) {
    font.setBold(true);
    font.setPixelSize(pixels);
    return font;
}

} // namespace

// The maker's web, Facebook and Twitter links are left out: there are no such
// addresses to open, so the box is lower than it would be with them.
TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setFixedSize(41, 41);
    imgIcon->setPixmap(qv::Pictures::icon(u"application").pixmap(41, 41));

    lblTitle = new QLabel(QStringLiteral("Quorvane"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setFont(boldPixels(font(), 24));

    lblVersion = new QLabel(QStringLiteral("Version 1.0"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setFont(boldPixels(font(), 13));

    lblNotice = new QLabel(QStringLiteral("A membership register for clubs, by Drelvin."), this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));

    // Whoever got a copy may pass it on and change it: the box says under
    // which terms, as the GPL asks of an interactive program.
    lblLicence = new QLabel(
        QStringLiteral("Quorvane is free software: you may share and change it under the GNU "
                       "General Public License, version 3 or later (GPL-3.0-or-later). It "
                       "comes with no warranty."),
        this);
    lblLicence->setObjectName(QStringLiteral("lblLicence"));
    lblLicence->setWordWrap(true);

    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    // Enter and Esc both close the box.
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(18);
    texts->addWidget(lblNotice);
    texts->addSpacing(8);
    texts->addWidget(lblLicence);
    texts->addStretch();

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(imgIcon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 12, 12);
    layout->addLayout(top, 1);
    layout->addWidget(rule);
    layout->addLayout(buttons);

    // The width the box has always had; the height without the three links.
    setFixedWidth(367);
    // The licence wraps, so the height is the one it needs at that width.
    setFixedHeight(layout->totalHeightForWidth(width()) + 24);
}
