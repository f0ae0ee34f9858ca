#include "search/InputDateFrm.h"

#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "search/InputBoxFrm.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmInputDate::TfrmInputDate(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmInputDate"));
    ApplyDialogFont(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowTitle(tr("Unpaid Fees"));

    lblDate = new QLabel(tr("&Payment Notice/Due Date:"), this);
    lblDate->setObjectName(QStringLiteral("lblDate"));
    dtpDate = new QDateEdit(this);
    dtpDate->setObjectName(QStringLiteral("dtpDate"));
    dtpDate->setCalendarPopup(true);
    dtpDate->setDisplayFormat(qv::Regional::longDateFormat());
    dtpDate->setLocale(qv::Regional::locale());
    dtpDate->calendarWidget()->setLocale(qv::Regional::locale());
    dtpDate->calendarWidget()->setGridVisible(false);
    dtpDate->calendarWidget()->setStyleSheet(
        QStringLiteral("#qt_calendar_navigationbar { background-color: navy; }"));
    lblDate->setBuddy(dtpDate);
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
    layout->addWidget(lblDate);
    layout->addWidget(dtpDate);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    const QSize needed = layout->totalSizeHint();
    setFixedSize(qMax(249, needed.width()), qMax(105, needed.height()));
}

void TfrmInputDate::showEvent(QShowEvent* event) {
    dtpDate->setDate(qv::Clock::today());
    dtpDate->setFocus();
    QDialog::showEvent(event);
}

QDate TfrmInputDate::SelectedDate() const {
    return dtpDate->date();
}
