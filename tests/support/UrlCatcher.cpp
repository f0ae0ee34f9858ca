// SPDX-License-Identifier: GPL-3.0-or-later
#include "UrlCatcher.h"

#include <QDesktopServices>

namespace qv::test {

UrlCatcher::UrlCatcher(const QStringList& schemes)
    : m_schemes(schemes) {
    for (const QString& scheme : m_schemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlCatcher::~UrlCatcher() {
    for (const QString& scheme : m_schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

} // namespace qv::test
