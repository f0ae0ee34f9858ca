// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace qv::test {

// Stands in for the desktop while it lives: every URL of the given schemes that
// the program asks the desktop to open is recorded instead of opened.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QStringList& schemes);
    ~UrlCatcher() override;

    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }

private:
    QStringList m_schemes;
};

} // namespace qv::test
