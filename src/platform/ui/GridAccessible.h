// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qv {

// Gives every DatasetGrid its own accessible table (for screen readers) in
// place of Qt's generic one: its cells, titles and row indicators are never
// null, asking for a cell that does not exist answers a vacant cell that says
// so, and a cell that takes the focus makes its row the current record.
// Installing it twice does nothing.
void InstallGridAccessibility();

} // namespace qv
