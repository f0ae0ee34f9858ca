#include "search/FindLookupFrm.h"

#include "search/InputBoxFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFindLookup::TfrmFindLookup(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmFindLookup"));
    ApplyDialogFont(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

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

    btnFind = new QPushButton(tr("&Find"), this);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnFind->setDefault(true);
    btnCancel = new QPushButton(tr("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnFind, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

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
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnFind);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    const QSize needed = layout->totalSizeHint();
    setFixedSize(qMax(309, needed.width()), qMax(135, needed.height()));
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
