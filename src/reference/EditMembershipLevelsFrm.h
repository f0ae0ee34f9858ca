// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reference/EditProfilesFrm.h"

// The name list editor for membership levels: adding and editing go through
// a dialog with the colours and the long-service flag, each item is shown in
// its level's colours, and a level can be deleted only while no period, of
// any member, current or past, has it and it is not the last one.
class TfrmEditMembershipLevels : public TfrmEditProfiles {
    Q_OBJECT
public:
    explicit TfrmEditMembershipLevels(QWidget* parent = nullptr);

    // EditList over MembershipLevel. True when the window closed with Apply.
    bool EditLevels(qv::Connection& connection, const QString& listSQL);

    QPushButton* btnFees; // the selected level's fees by year

public slots:
    void btnFeesClick();

protected:
    void ItemAdded(QTreeWidgetItem* item, int row) override;
    void btnAddClick() override;
    void btnRenameClick() override;
    void lsvProfilesSelectItem() override;

private:
    // A level with a highlight colour is drawn in it, and then in its font
    // colour too; without one, in the list's own colours.
    static void ColourItem(QTreeWidgetItem* item, qint32 highlightColour, qint32 fontColour);
};
