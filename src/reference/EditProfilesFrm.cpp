// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference/EditProfilesFrm.h"

#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/InputBoxFrm.h"
#include "platform/ui/MessageBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString DeleteQuestion =
    QStringLiteral("Are you sure you want to delete this item?\n\r\n\rThis action can not be "
                   "undone.\n\r\n\rMembers will no longer be associated with this item");

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter must not close the window or repeat a command.
    button->setAutoDefault(false);
    button->setFixedWidth(75);
    return button;
}

} // namespace

TfrmEditProfiles::TfrmEditProfiles(QWidget* parent)
    : qv::VisitDialog(parent) {
    setObjectName(QStringLiteral("frmEditProfiles"));
    ApplyDialogFont(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

    adoQuery = new qv::Dataset(nullptr, this);
    adoQuery->setObjectName(QStringLiteral("adoQuery"));

    lsvProfiles = new QTreeWidget(this);
    lsvProfiles->setObjectName(QStringLiteral("lsvProfiles"));
    lsvProfiles->setColumnCount(2);
    lsvProfiles->setHeaderLabels({tr("Profile"), tr("ID")});
    lsvProfiles->setHeaderHidden(true);
    lsvProfiles->setColumnHidden(colKey, true);
    lsvProfiles->header()->setStretchLastSection(false);
    lsvProfiles->header()->setSectionResizeMode(colName, QHeaderView::Stretch);
    lsvProfiles->setRootIsDecorated(false);
    lsvProfiles->setUniformRowHeights(true);
    lsvProfiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lsvProfiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lsvProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lsvProfiles->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lsvProfiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    pnlRight = new QWidget(this);
    pnlRight->setObjectName(QStringLiteral("pnlRight"));
    btnAdd = MakeButton(pnlRight, QStringLiteral("btnAdd"), tr("&Add"));
    btnDelete = MakeButton(pnlRight, QStringLiteral("btnDelete"), tr("&Delete"));
    btnRename = MakeButton(pnlRight, QStringLiteral("btnRename"), tr("&Rename"));
    btnDelete->setEnabled(false);
    btnRename->setEnabled(false);
    auto* right = new QVBoxLayout(pnlRight);
    right->setContentsMargins(8, 0, 0, 0);
    right->addWidget(btnAdd);
    right->addWidget(btnDelete);
    right->addWidget(btnRename);
    right->addStretch(1);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    btnApply = MakeButton(pnlBottom, QStringLiteral("btnApply"), tr("A&pply"));
    btnCancel = MakeButton(pnlBottom, QStringLiteral("btnCancel"), tr("&Cancel"));
    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 8, 0, 0);
    bottom->addStretch(1);
    bottom->addWidget(btnApply);
    bottom->addWidget(btnCancel);

    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->addWidget(lsvProfiles, 1);
    middle->addWidget(pnlRight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(middle, 1);
    layout->addWidget(pnlBottom);
    setFixedSize(300, 320);

    connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(); });
    connect(btnDelete, &QPushButton::clicked, this, &TfrmEditProfiles::btnDeleteClick);
    connect(btnRename, &QPushButton::clicked, this, [this] { btnRenameClick(); });
    connect(btnApply, &QPushButton::clicked, this, &TfrmEditProfiles::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lsvProfiles, &QTreeWidget::itemSelectionChanged, this,
            [this] { lsvProfilesSelectItem(); });
    connect(lsvProfiles, &QTreeWidget::itemDoubleClicked, this,
            &TfrmEditProfiles::lsvProfilesDblClick);
}

TfrmEditProfiles::~TfrmEditProfiles() = default;

bool TfrmEditProfiles::EditList(qv::Connection& connection, const QString& listSQL,
                                const QString& newItemCaption, const QString& caption,
                                const QString& keyColumn, const QString& nameColumn,
                                const QString& table) {
    m_connection = &connection;
    m_newItemCaption = newItemCaption;
    m_keyColumn = keyColumn;
    m_nameColumn = nameColumn;
    m_table = table;
    adoQuery->close();
    adoQuery->setConnection(&connection);
    adoQuery->setSQL(listSQL);
    adoQuery->setBaseTable(table, keyColumn);
    adoQuery->open();
    FillList();
    setWindowTitle(caption);
    return exec() == QDialog::Accepted;
}

void TfrmEditProfiles::FillList() {
    // By name: a missing column is reported as the database's error.
    const int name = adoQuery->field(m_nameColumn).index();
    const int key = adoQuery->field(m_keyColumn).index();
    lsvProfiles->clear();
    for (int row = 0; row < adoQuery->recordCount(); ++row) {
        auto* item = new QTreeWidgetItem(lsvProfiles);
        item->setText(colName, adoQuery->textAt(row, name));
        item->setText(colKey, QString::number(adoQuery->valueAt(row, key).toInteger()));
        ItemAdded(item, row);
    }
    if (lsvProfiles->topLevelItemCount() > 0) {
        lsvProfiles->setCurrentItem(lsvProfiles->topLevelItem(0));
        lsvProfiles->topLevelItem(0)->setSelected(true);
    }
    lsvProfilesSelectItem();
}

void TfrmEditProfiles::ItemAdded(QTreeWidgetItem*, int) {}

QTreeWidgetItem* TfrmEditProfiles::SelectedItem() const {
    const QList<QTreeWidgetItem*> selected = lsvProfiles->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int TfrmEditProfiles::ItemKey(const QTreeWidgetItem* item) {
    return item->text(colKey).toInt();
}

bool TfrmEditProfiles::ListHas(const QString& caption, const QTreeWidgetItem* except) const {
    for (int i = 0; i < lsvProfiles->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lsvProfiles->topLevelItem(i);
        if (item != except && item->text(colName) == caption)
            return true;
    }
    return false;
}

int TfrmEditProfiles::NameLength() const {
    return adoQuery->field(m_nameColumn).size();
}

void TfrmEditProfiles::btnAddClick() {
    TfrmInputBox input(this);
    if (input.ShowInputBox(m_newItemCaption, m_newItemCaption + u':', tr("&Add"), QString(),
                           NameLength()) != QDialog::Accepted)
        return;
    const QString name = input.edtSearch->text().trimmed();
    if (name.isEmpty() || ListHas(name))
        return;
    adoQuery->insert();
    adoQuery->field(m_nameColumn).setValue(name);
    PostNewRow();
    FillList();
}

void TfrmEditProfiles::PostNewRow() {
    try {
        adoQuery->post();
    } catch (...) {
        // Left pending, the refused row would be written with the next one.
        adoQuery->cancel();
        throw;
    }
}

void TfrmEditProfiles::btnRenameClick() {
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    const int length = NameLength();
    TfrmInputBox input(this);
    if (input.ShowInputBox(tr("Rename"), tr("New name:"), tr("C&hange"), item->text(colName),
                           length) != QDialog::Accepted)
        return;
    QString name = input.edtSearch->text().trimmed();
    if (name == item->text(colName) || name.isEmpty() || ListHas(name, item))
        return;
    if (length > 0)
        name.truncate(length);
    MemberSQL::UpdateByKey(*m_connection, m_table, m_keyColumn, m_nameColumn, ItemKey(item), name);
    item->setText(colName, name);
    adoQuery->requery();
}

void TfrmEditProfiles::btnDeleteClick() {
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    if (qv::ShowMessageBox(DeleteQuestion, qv::MessageKind::Confirmation,
                           qv::MessageButtons::YesNoDefaultNo, qv::MessagePlacement::Centered,
                           this) != qv::MessageResult::Yes)
        return;
    // The cascading keys take every issue or holding of it along.
    MemberSQL::DeleteByKey(*m_connection, m_table, m_keyColumn, ItemKey(item));
    lsvProfiles->clearSelection();
    delete item;
    lsvProfiles->setCurrentItem(nullptr);
    lsvProfiles->clearSelection();
    adoQuery->requery();
    lsvProfilesSelectItem();
}

void TfrmEditProfiles::lsvProfilesSelectItem() {
    const bool selected = SelectedItem() != nullptr;
    btnDelete->setEnabled(selected);
    btnRename->setEnabled(selected);
}

void TfrmEditProfiles::lsvProfilesDblClick() {
    if (SelectedItem())
        btnRenameClick();
}
