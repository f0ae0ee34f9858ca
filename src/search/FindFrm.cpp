// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/FindFrm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct LastFind {
    QString text;
    bool notMatching = false;
};

LastFind& lastFind() {
    static LastFind value;
    return value;
}

} // namespace

TfrmFind::TfrmFind(QWidget* parent)
    : TfrmInputBox(parent) {
    setObjectName(QStringLiteral("frmFind"));
    chkNotMatching = new QCheckBox(tr("&Not Matching"), this);
    chkNotMatching->setObjectName(QStringLiteral("chkNotMatching"));
    extraArea()->addWidget(chkNotMatching);
    // Created after the buttons, the box would come last; Tab goes down the
    // dialog: the edit box, the box, then Find and Cancel.
    setTabOrder(edtSearch, chkNotMatching);
    setTabOrder(chkNotMatching, btnFind);
    setTabOrder(btnFind, btnCancel);
    fixSize(308, 124);
}

QString TfrmFind::LastFindText() {
    return lastFind().text;
}

bool TfrmFind::LastNotMatching() {
    return lastFind().notMatching;
}

void TfrmFind::ResetLastFind() {
    lastFind() = LastFind();
}

// The remembered search replaces whatever text the caller gave.
void TfrmFind::showEvent(QShowEvent* event) {
    edtSearch->setText(lastFind().text);
    chkNotMatching->setChecked(lastFind().notMatching);
    edtSearch->selectAll();
    TfrmInputBox::showEvent(event);
}

void TfrmFind::btnFindClick() {
    lastFind() = {edtSearch->text(), chkNotMatching->isChecked()};
    TfrmInputBox::btnFindClick();
}
