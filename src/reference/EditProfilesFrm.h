// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/VisitDialog.h"

#include <QDialog>
#include <QString>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace qv {
class Connection;
class Dataset;
} // namespace qv

// Edits a lookup table of a generated key and one name column (profiles,
// asset kinds). Every change is written at once, inside the transaction the
// caller has open: the caller commits after Apply and rolls back otherwise.
class TfrmEditProfiles : public qv::VisitDialog {
    Q_OBJECT
public:
    explicit TfrmEditProfiles(QWidget* parent = nullptr);
    ~TfrmEditProfiles() override;

    // Opens `listSQL` on the connection, fills the list, sets the caption and
    // shows the window modally. True when it closed with Apply.
    bool EditList(qv::Connection& connection, const QString& listSQL, const QString& newItemCaption,
                  const QString& caption, const QString& keyColumn, const QString& nameColumn,
                  const QString& table);

    qv::Dataset* adoQuery;
    QTreeWidget* lsvProfiles;
    QWidget* pnlRight;
    QPushButton* btnAdd;
    QPushButton* btnDelete;
    QPushButton* btnRename;
    QWidget* pnlBottom;
    QPushButton* btnApply;
    QPushButton* btnCancel;

protected:
    // The columns of the list: the name as shown, the key hidden.
    enum { colName = 0, colKey = 1 };

    // Clears the list and adds one item per dataset row, in dataset order;
    // selects the first.
    void FillList();
    QTreeWidgetItem* SelectedItem() const;
    // The key the item stands for, from its hidden column.
    static int ItemKey(const QTreeWidgetItem* item);
    // Whether an item other than `except` has exactly this caption.
    bool ListHas(const QString& caption, const QTreeWidgetItem* except = nullptr) const;
    // The declared width of the name column.
    int NameLength() const;
    // Posts the row being inserted into the dataset; a refused row is
    // dropped before the error goes on.
    void PostNewRow();
    // Called for each item as the list is filled, with its dataset row.
    virtual void ItemAdded(QTreeWidgetItem* item, int row);

    virtual void btnAddClick();
    virtual void btnRenameClick();
    void btnDeleteClick();
    virtual void lsvProfilesSelectItem();
    void lsvProfilesDblClick();

    qv::Connection* m_connection = nullptr;
    QString m_newItemCaption;
    QString m_keyColumn;
    QString m_nameColumn;
    QString m_table;
};
