// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/MemberFrm.h"

// The member details window working on a new member. The row is stored as
// soon as the focus leaves the name and address group with first names,
// surname, address and city filled; from then on the tabs take sub-records
// as for a stored member. Add asks about a duplicate name, checks as Update
// does and stores the row's last changes. All of it runs in the caller's
// transaction, so Cancel leaves no trace.
class TfrmAddMember : public TfrmMember {
    Q_OBJECT
public:
    explicit TfrmAddMember(QWidget* parent = nullptr);
    ~TfrmAddMember() override;

    // Opens the datasets on the connection with a new, unstored member row
    // and shows the window modally; result() is OK when a member was added.
    void ShowForNewMember(qv::Connection& connection);
    // Everything ShowForNewMember does before the modal showing.
    void OpenForNewMember(qv::Connection& connection);

public slots:
    void btnUpdateClick() override;
    // Stores the row when the four name and address fields are filled.
    void grpNameAddressExit();

protected:
    void FormShow() override;
    bool MemberRowStored() override;

private:
    void focusMoved(QWidget* from, QWidget* to);
};
