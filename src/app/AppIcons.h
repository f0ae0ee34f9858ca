#pragma once

#include <QIcon>

// The program's pictures: one family of pictograms painted in code, so every
// size is sharp, nothing depends on an icon theme being installed, and the
// buttons and menus look alike on every desktop. Disabled icons are greyed.
namespace AppIcons {

enum class Picture {
    Application,
    Find,
    MemberList,
    Profiles,
    LongService,
    AddMember,
    Exit,
    Assets,
    AssetRef,
    MembershipNo,
    UnpaidFees,
    PastMembers,
    MembershipType,
    EditProfiles,
    EditAssets,
    EditMembershipTypes,
    Backup,
    Settings,
    CompactRepair,
    Help,
    About,
};

QIcon icon(Picture picture);

} // namespace AppIcons
