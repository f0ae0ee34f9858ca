// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference/EditMembershipLevelsFrm.h"

#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/ui/StoredColour.h"
#include "reference/EditMembershipLevelsAddFrm.h"
#include "reference/EditMembershipLevelsEditFrm.h"
#include "renewals/LevelFeesFrm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int CategoryLength = 20;

// Rows separated by a line, so that a row in a pale colour stands apart.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid).lighter(120));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

TfrmEditMembershipLevels::TfrmEditMembershipLevels(QWidget* parent)
    : TfrmEditProfiles(parent) {
    setObjectName(QStringLiteral("frmEditMembershipLevels"));
    btnRename->setText(tr("&Edit"));
    lsvProfiles->setItemDelegate(new GridLineDelegate(lsvProfiles));
    // Each level's annual fee by membership year, for the renewals.
    btnFees = new QPushButton(tr("&Fees..."), pnlRight);
    btnFees->setObjectName(QStringLiteral("btnFees"));
    btnFees->setAutoDefault(false);
    btnFees->setFixedWidth(btnRename->width());
    btnFees->setEnabled(false);
    if (auto* right = qobject_cast<QVBoxLayout*>(pnlRight->layout()))
        right->insertWidget(right->indexOf(btnRename) + 1, btnFees);
    connect(btnFees, &QPushButton::clicked, this, &TfrmEditMembershipLevels::btnFeesClick);
}

void TfrmEditMembershipLevels::btnFeesClick() {
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    TfrmLevelFees fees(*m_connection, ItemKey(item), item->text(colName), this);
    fees.exec();
}

bool TfrmEditMembershipLevels::EditLevels(qv::Connection& connection, const QString& listSQL) {
    return EditList(connection, listSQL, QString(), tr("Edit Membership Types"),
                    QStringLiteral("MembershipLevelID"), QStringLiteral("MemberCategory"),
                    QStringLiteral("MembershipLevel"));
}

void TfrmEditMembershipLevels::ColourItem(QTreeWidgetItem* item, qint32 highlightColour,
                                          qint32 fontColour) {
    if (highlightColour < 0) {
        item->setBackground(colName, QBrush());
        item->setForeground(colName, QBrush());
        return;
    }
    item->setBackground(colName, qv::storedColour(highlightColour));
    item->setForeground(colName, fontColour < 0 ? QBrush() : QBrush(qv::storedColour(fontColour)));
}

void TfrmEditMembershipLevels::ItemAdded(QTreeWidgetItem* item, int) {
    const MemberSQL::MembershipLevelRecord level =
        MemberSQL::GetMembershipLevel(*m_connection, ItemKey(item));
    ColourItem(item, level.HighlightColour, level.FontColour);
}

void TfrmEditMembershipLevels::btnAddClick() {
    TfrmEditMembershipLevelsAdd dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Trimmed, as the other lists' names are: "Member " beside "Member" would
    // be two levels no one can tell apart.
    const QString category = dialog.edtCategory->text().trimmed();
    if (category.isEmpty() || ListHas(category))
        return;
    adoQuery->insert();
    adoQuery->field(QStringLiteral("MemberCategory")).setValue(category);
    adoQuery->field(QStringLiteral("HighlightColour")).setValue(dialog.colHighlightColour->value());
    adoQuery->field(QStringLiteral("FontColour")).setValue(dialog.colFontColour->value());
    adoQuery->field(QStringLiteral("IncludeLongService"))
        .setValue(dialog.chkIncludeLongService->isChecked());
    PostNewRow();
    FillList();
}

void TfrmEditMembershipLevels::btnRenameClick() {
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    const int key = ItemKey(item);
    MemberSQL::MembershipLevelRecord level = MemberSQL::GetMembershipLevel(*m_connection, key);
    TfrmEditMembershipLevelsEdit dialog(this);
    if (dialog.ShowEdit(level.MemberCategory, level.HighlightColour, level.IncludeLongService,
                        level.FontColour) != QDialog::Accepted)
        return;
    const QString category = dialog.edtCategory->text().trimmed();
    if (category.isEmpty() || ListHas(category, item))
        return;
    level.MemberCategory = category.left(CategoryLength);
    level.HighlightColour = dialog.colHighlightColour->value();
    level.FontColour = dialog.colFontColour->value();
    level.IncludeLongService = dialog.chkIncludeLongService->isChecked();
    MemberSQL::UpdateMembershipLevel(*m_connection, key, level);
    item->setText(colName, level.MemberCategory);
    ColourItem(item, level.HighlightColour, level.FontColour);
    adoQuery->requery();
}

void TfrmEditMembershipLevels::lsvProfilesSelectItem() {
    TfrmEditProfiles::lsvProfilesSelectItem();
    btnFees->setEnabled(SelectedItem() != nullptr);
    // Deleting a level would take every period of it along: only a level no
    // period has, and never the last one, may go.
    if (const QTreeWidgetItem* item = SelectedItem())
        btnDelete->setEnabled(lsvProfiles->topLevelItemCount() > 1 &&
                              !MemberSQL::MembershipLevelInUse(*m_connection, ItemKey(item)));
}
