// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/AddDateFrm.h"

#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/TypedFields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmAddDate::TfrmAddDate(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmAddDate"));
    setWindowTitle(tr("Add Date"));

    adoMemberCategory = new qv::Dataset(nullptr, this);
    adoMemberCategory->setObjectName(QStringLiteral("adoMemberCategory"));

    lblMemberCategory =
        CreateLabel(this, QStringLiteral("lblMemberCategory"), tr("&Member Category:"));
    dblMemberCategory = new QComboBox(this);
    dblMemberCategory->setObjectName(QStringLiteral("dblMemberCategory"));
    dblMemberCategory->setMaxVisibleItems(16);
    lblJoinDate = CreateLabel(this, QStringLiteral("lblJoinDate"), tr("Date &Joined:"));
    dtpJoinDate = new qv::DatePicker(false, this);
    dtpJoinDate->setObjectName(QStringLiteral("dtpJoinDate"));
    lblEndDate = CreateLabel(this, QStringLiteral("lblEndDate"), tr("Date &Ended:"));
    dtpEndDate = new qv::DatePicker(true, this);
    dtpEndDate->setObjectName(QStringLiteral("dtpEndDate"));
    lblReasonEnded = CreateLabel(this, QStringLiteral("lblReasonEnded"), tr("&Reason Ended:"));
    edtReasonEnded = new QLineEdit(this);
    edtReasonEnded->setObjectName(QStringLiteral("edtReasonEnded"));
    lblMemberCategory->setBuddy(dblMemberCategory);
    lblJoinDate->setBuddy(dtpJoinDate);
    lblEndDate->setBuddy(dtpEndDate);
    lblReasonEnded->setBuddy(edtReasonEnded);

    const DialogButtons buttons = CreateDialogButtons(this, tr("&Add"), QStringLiteral("btnAdd"));
    btnAdd = buttons.confirm;
    btnCancel = buttons.cancel;
    // A plain button: Enter in a field does not close the dialog.
    btnAdd->setDefault(false);
    btnAdd->setAutoDefault(false);
    connect(btnAdd, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    m_form = new QFormLayout;
    m_form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_form->setVerticalSpacing(10);
    m_form->addRow(lblMemberCategory, dblMemberCategory);
    m_form->addRow(lblJoinDate, dtpJoinDate);
    m_form->addRow(lblEndDate, dtpEndDate);
    m_form->addRow(lblReasonEnded, edtReasonEnded);
    layout->addLayout(m_form);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);

    connect(dtpEndDate, &qv::DatePicker::changed, this, &TfrmAddDate::dtpEndDateChange);
    dtpEndDateChange();
    FixDialogSize(this, 327, 204);
}

void TfrmAddDate::KeepReasonEnabled() {
    disconnect(dtpEndDate, &qv::DatePicker::changed, this, &TfrmAddDate::dtpEndDateChange);
    edtReasonEnded->setEnabled(true);
    lblReasonEnded->setEnabled(true);
}

void TfrmAddDate::dtpEndDateChange() {
    const bool ticked = dtpEndDate->isChecked();
    edtReasonEnded->setEnabled(ticked);
    lblReasonEnded->setEnabled(ticked);
}

void TfrmAddDate::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TfrmAddDate::FormShow() {
    const QDate today = qv::Clock::today();
    dtpJoinDate->setDate(today);
    dtpEndDate->setDate(today);
    dtpEndDate->setChecked(false);
}

void TfrmAddDate::PresetDates(const QDateTime& first, const QDateTime& second) {
    dtpJoinDate->setDateTime(first);
    const bool set = second.isValid() && second != qv::zeroDateTime();
    dtpEndDate->setDateTime(set ? second : QDateTime(qv::Clock::today(), QTime(0, 0)));
    dtpEndDate->setChecked(set);
}

bool TfrmAddDate::ShowWithLookup(qv::Connection& connection, const QString& lookupSQL,
                                 const QString& listColumn, const QString& keyColumn) {
    adoMemberCategory->close();
    adoMemberCategory->setConnection(&connection);
    adoMemberCategory->setSQL(QStringList{lookupSQL});
    adoMemberCategory->open();
    if (adoMemberCategory->isEmpty()) {
        qv::ShowMessageBox(tr("There is no categories to list."), qv::MessageKind::Error,
                           qv::MessageButtons::Ok, qv::MessagePlacement::Centered, this);
        return false;
    }
    const int listIndex = adoMemberCategory->field(listColumn).index();
    const int keyIndex = adoMemberCategory->field(keyColumn).index();
    dblMemberCategory->clear();
    int selected = 0;
    for (int row = 0; row < adoMemberCategory->recordCount(); ++row) {
        const qint64 key = adoMemberCategory->valueAt(row, keyIndex).toInteger();
        dblMemberCategory->addItem(adoMemberCategory->textAt(row, listIndex), key);
        if (m_presetKey && *m_presetKey == key)
            selected = row;
    }
    adoMemberCategory->setRecNo(selected + 1);
    dblMemberCategory->setCurrentIndex(selected);
    dblMemberCategory->setFocus();
    return exec() == QDialog::Accepted;
}

qint64 TfrmAddDate::KeyValue() const {
    return dblMemberCategory->currentIndex() < 0 ? 0
                                                 : dblMemberCategory->currentData().toLongLong();
}

void TfrmAddDate::accept() {
    if (qv::CommitTypedFields(this))
        QDialog::accept();
}
