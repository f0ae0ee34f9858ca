// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/FindLookupFrm.h"

#include "platform/ui/DialogButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFindLookup::TfrmFindLookup(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmFindLookup"));

    adoProfiles = new qv::Dataset(nullptr, this);
    adoProfiles->setObjectName(QStringLiteral("adoProfiles"));

    lblPrompt = new QLabel(this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    dblProfile = new QComboBox(this);
    dblProfile->setObjectName(QStringLiteral("dblProfile"));
    dblProfile->setEditable(false);
    dblProfile->setMaxVisibleItems(16);
    lblPrompt->setBuddy(dblProfile);
    chkIncludeHistoric = new QCheckBox(tr("Include &Historic"), this);
    chkIncludeHistoric->setObjectName(QStringLiteral("chkIncludeHistoric"));
    chkNotMatching = new QCheckBox(tr("&Not Matching"), this);
    chkNotMatching->setObjectName(QStringLiteral("chkNotMatching"));

    const DialogButtons buttons = CreateDialogButtons(this, tr("&Find"), QStringLiteral("btnFind"));
    btnFind = buttons.confirm;
    btnCancel = buttons.cancel;
    connect(btnFind, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    layout->addWidget(lblPrompt);
    layout->addWidget(dblProfile);
    auto* checks = new QHBoxLayout;
    checks->addWidget(chkIncludeHistoric);
    checks->addWidget(chkNotMatching);
    checks->addStretch(1);
    layout->addLayout(checks);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);

    FixDialogSize(this, 309, 135);
}

int TfrmFindLookup::ShowLookupFind(qv::Connection& connection, const QString& caption,
                                   const QString& prompt, const QString& listSQL,
                                   const QString& listColumn, const QString& keyColumn,
                                   bool enableChecks) {
    chkIncludeHistoric->setEnabled(enableChecks);
    chkNotMatching->setEnabled(enableChecks);

    adoProfiles->close();
    adoProfiles->setConnection(&connection);
    adoProfiles->setSQL(listSQL);
    adoProfiles->open();
    // By name: a missing column is reported as the database's error.
    const int listIndex = adoProfiles->field(listColumn).index();
    const int keyIndex = adoProfiles->field(keyColumn).index();
    dblProfile->clear();
    for (int row = 0; row < adoProfiles->recordCount(); ++row)
        dblProfile->addItem(adoProfiles->textAt(row, listIndex),
                            adoProfiles->valueAt(row, keyIndex).toInteger());
    dblProfile->setCurrentIndex(dblProfile->count() > 0 ? 0 : -1);

    setWindowTitle(caption);
    lblPrompt->setText(prompt);
    dblProfile->setFocus();
    return exec();
}

qint64 TfrmFindLookup::KeyValue() const {
    return dblProfile->currentIndex() < 0 ? 0 : dblProfile->currentData().toLongLong();
}

QString TfrmFindLookup::Text() const {
    return dblProfile->currentText();
}
