// SPDX-License-Identifier: GPL-3.0-or-later
#include "renewals/LevelFeesFrm.h"

#include "platform/os/Clock.h"
#include "platform/ui/AmountEdit.h"
#include "renewals/Renewals.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

TfrmLevelFees::TfrmLevelFees(qv::Connection& connection, qint64 levelId, const QString& category,
                             QWidget* parent)
    : QDialog(parent)
    , m_connection(connection)
    , m_levelId(levelId) {
    setObjectName(QStringLiteral("frmLevelFees"));
    setWindowTitle(tr("Fees: %1").arg(category));
    grdFees = new QTableWidget(0, 2, this);
    grdFees->setObjectName(QStringLiteral("grdFees"));
    grdFees->setHorizontalHeaderLabels({tr("Year from"), tr("Annual fee")});
    grdFees->verticalHeader()->hide();
    grdFees->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFees->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdFees->setSelectionMode(QAbstractItemView::SingleSelection);
    grdFees->horizontalHeader()->setStretchLastSection(true);
    spnYear = new QSpinBox(this);
    spnYear->setObjectName(QStringLiteral("spnYear"));
    spnYear->setRange(1900, 2999);
    spnYear->setValue(qv::Clock::today().year());
    edtFee = new qv::AmountEdit(this);
    edtFee->setObjectName(QStringLiteral("edtFee"));
    btnSet = new QPushButton(tr("&Set"), this);
    btnSet->setObjectName(QStringLiteral("btnSet"));
    btnRemove = new QPushButton(tr("&Remove"), this);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* b : {btnSet, btnRemove, btnClose})
        b->setAutoDefault(false);

    auto* hint = new QLabel(tr("A year without its own fee pays the latest earlier one."), this);
    hint->setWordWrap(true);
    auto* entry = new QHBoxLayout;
    auto* lblYear = new QLabel(tr("&Year:"), this);
    lblYear->setBuddy(spnYear);
    auto* lblFee = new QLabel(tr("&Fee:"), this);
    lblFee->setBuddy(edtFee);
    entry->addWidget(lblYear);
    entry->addWidget(spnYear);
    entry->addWidget(lblFee);
    entry->addWidget(edtFee);
    entry->addWidget(btnSet);
    auto* foot = new QHBoxLayout;
    foot->addWidget(btnRemove);
    foot->addStretch(1);
    foot->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(grdFees, 1);
    layout->addLayout(entry);
    layout->addLayout(foot);
    resize(360, 320);

    connect(btnSet, &QPushButton::clicked, this, &TfrmLevelFees::btnSetClick);
    connect(btnRemove, &QPushButton::clicked, this, &TfrmLevelFees::btnRemoveClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    // Choosing a row puts it into the fields, ready to change.
    connect(grdFees, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row < 0)
            return;
        spnYear->setValue(grdFees->item(row, 0)->data(Qt::UserRole).toInt());
        edtFee->setAmount(grdFees->item(row, 1)->data(Qt::UserRole).toDouble());
    });
    FillFees();
}

void TfrmLevelFees::FillFees() {
    const std::vector<Renewals::LevelFee> fees = Renewals::LevelFees(m_connection, m_levelId);
    grdFees->setRowCount(int(fees.size()));
    for (int row = 0; row < int(fees.size()); ++row) {
        auto* year = new QTableWidgetItem(QString::number(fees[size_t(row)].year));
        year->setData(Qt::UserRole, fees[size_t(row)].year);
        auto* fee = new QTableWidgetItem(Renewals::MoneyText(fees[size_t(row)].fee));
        fee->setData(Qt::UserRole, fees[size_t(row)].fee);
        fee->setData(Qt::UserRole + 1, fees[size_t(row)].id);
        fee->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grdFees->setItem(row, 0, year);
        grdFees->setItem(row, 1, fee);
    }
    btnRemove->setEnabled(!fees.empty());
}

void TfrmLevelFees::btnSetClick() {
    if (!edtFee->commitTyped())
        return;
    const int year = spnYear->value();
    Renewals::SetLevelFee(m_connection, m_levelId, year, edtFee->amount());
    FillFees();
    for (int row = 0; row < grdFees->rowCount(); ++row)
        if (grdFees->item(row, 0)->data(Qt::UserRole).toInt() == year)
            grdFees->setCurrentCell(row, 0);
}

void TfrmLevelFees::btnRemoveClick() {
    const int row = grdFees->currentRow();
    if (row < 0)
        return;
    Renewals::RemoveLevelFee(m_connection,
                             grdFees->item(row, 1)->data(Qt::UserRole + 1).toLongLong());
    FillFees();
}
