// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <optional>

// The program's idea of "now". Everything that counts from today (years of
// service, the year list, the default payment date) asks here, so a test can
// pin one moment instead of depending on the day it runs.
namespace qv::Clock {

namespace detail {
inline std::optional<QDateTime>& pinned() {
    static std::optional<QDateTime> value;
    return value;
}
} // namespace detail

inline QDateTime now() {
    return detail::pinned().value_or(QDateTime::currentDateTime());
}
inline QDate today() {
    return now().date();
}

inline void setNowForTesting(const QDateTime& when) {
    detail::pinned() = when;
}
inline void resetNow() {
    detail::pinned().reset();
}

} // namespace qv::Clock
