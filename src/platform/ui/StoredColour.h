// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QtGlobal>

namespace qv {

// A colour as the register stores it (the membership levels' highlight and
// font colours): red in the low byte, then green and blue; the high byte is
// ignored. A negative value stands for "none of its own", which the caller
// tests before asking for the colour.
inline QColor storedColour(qint64 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace qv
