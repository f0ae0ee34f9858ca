// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AppInfo.h"

#include "platform/os/FileSystem.h"
#include "settings/MemberSettings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QtDebug>

namespace AppInfo {
namespace {

ShellFailureReport& failureReport() {
    static ShellFailureReport report;
    return report;
}

// Hands `url` to the desktop; false, after saying `failure`, when it has no
// program for it.
bool handOver(const QUrl& url, const QString& failure) {
    if (QDesktopServices::openUrl(url))
        return true;
    if (const ShellFailureReport& report = failureReport())
        report(failure);
    else
        qWarning().noquote() << failure;
    return false;
}

} // namespace

void SetShellFailureReport(ShellFailureReport report) {
    failureReport() = std::move(report);
}

QString ProductHelpFileName() {
    const QString name = MemberSettings::ProgramBaseName() + QStringLiteral(".html");
    // An installed copy keeps it with the rest of its data.
    const QString data = MemberSettings::InstalledDataFolder();
    return QDir(data.isEmpty() ? QCoreApplication::applicationDirPath() : data).filePath(name);
}

bool OpenProductHelp() {
    const QString file = ProductHelpFileName();
    return handOver(QUrl::fromLocalFile(file),
                    QStringLiteral("The help could not be shown: this desktop has no program set "
                                   "up to open web pages.\n\r%1")
                        .arg(QDir::toNativeSeparators(file)));
}

bool OpenMailTo(const QString& address) {
    // Parsed leniently as one URL text, the way the shell took it: spaces stay
    // spaces (sent as %20), an already encoded "%20" is not encoded twice, and
    // "?subject=" still starts the header part. A "#" is part of an address
    // (mail programs have no use for a fragment): left bare it would cut the
    // list there, and every address after it would be lost.
    QString text = address;
    text.replace(u'#', QStringLiteral("%23"));
    return handOver(QUrl(QStringLiteral("mailto:") + text, QUrl::TolerantMode),
                    QStringLiteral("The e-mail could not be started: this desktop has no e-mail "
                                   "program set up."));
}

bool OpenDocument(const QString& path) {
    return handOver(QUrl::fromLocalFile(path),
                    QStringLiteral("The file could not be opened: this desktop has no program set "
                                   "up for it.\n\r%1")
                        .arg(QDir::toNativeSeparators(path)));
}

QString GetDocumentsFolder() {
    return qv::FileSystem::documentsFolder();
}

} // namespace AppInfo
