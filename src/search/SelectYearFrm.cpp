#include "search/SelectYearFrm.h"

#include "platform/os/Clock.h"
#include "search/InputBoxFrm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSelectYear::TfrmSelectYear(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelectYear"));
    ApplyDialogFont(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowTitle(tr("Long Service"));

    lblYear = new QLabel(tr("Select &year:"), this);
    lblYear->setObjectName(QStringLiteral("lblYear"));
    cboYear = new QComboBox(this);
    cboYear->setObjectName(QStringLiteral("cboYear"));
    cboYear->setEditable(false);
    lblYear->setBuddy(cboYear);
    btnOK = new QPushButton(tr("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(tr("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* row = new QHBoxLayout;
    row->addWidget(lblYear);
    row->addWidget(cboYear, 1);
    layout->addLayout(row);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    const QSize needed = layout->totalSizeHint();
    setFixedSize(qMax(227, needed.width()), qMax(114, needed.height()));
}

void TfrmSelectYear::showEvent(QShowEvent* event) {
    const int year = qv::Clock::today().year();
    cboYear->clear();
    for (int y = year - 5; y <= year + 5; ++y)
        cboYear->addItem(QString::number(y).rightJustified(4, u'0'));
    cboYear->setCurrentIndex(5);
    cboYear->setFocus();
    QDialog::showEvent(event);
}

int TfrmSelectYear::SelectedYear() const {
    return cboYear->currentText().toInt();
}
