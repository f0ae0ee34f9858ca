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
void GuardAccessibleBus();

} // namespace qv
