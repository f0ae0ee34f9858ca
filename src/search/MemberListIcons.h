#pragma once

#include <QIcon>

// The pictures of the member list window's buttons and pop-up menu, painted
// in code so they need no icon theme and stay sharp at every size.
namespace MemberListIcons {

enum class Picture {
    Print,
    PhoneList,
    ExportCSV,
    EmailList,
    SendEmail,
    EmailAll,
    Copy,
    CopyAddress
};

QIcon icon(Picture picture);

} // namespace MemberListIcons
