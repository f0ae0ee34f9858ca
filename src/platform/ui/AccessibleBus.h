// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qv {

// Screen readers reach the program through Qt's bridge to the accessibility
// bus (AT-SPI). Qt 6.4's bridge reads the arguments of a call without
// counting them and uses table cells without checking them, so a call it does
// not expect ("GetAll", which busctl sends after Introspect; a method without
// its arguments; a cell off the table) ends the program. Once the bridge is
// up, a guard goes in front of it that answers such calls with an error and
// passes every other call on unchanged. Call once the application exists;
// calling again does nothing.
//
// Left to Qt: GetAll is refused, not answered (the bridge has none); the
// checks follow Qt 6.4's handlers, so methods a later bridge adds are passed
// on unchecked; what Qt's own widgets do with text offsets is theirs.
void GuardAccessibleBus();

} // namespace qv
