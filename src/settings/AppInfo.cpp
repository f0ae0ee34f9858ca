#include "settings/AppInfo.h"

#include "platform/os/FileSystem.h"
#include "settings/MemberSettings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace AppInfo {

QString ProductHelpFileName() {
    const QString name = MemberSettings::ProgramBaseName() + QStringLiteral(".html");
    // An installed copy keeps it with the rest of its data.
    const QString data = MemberSettings::InstalledDataFolder();
    return QDir(data.isEmpty() ? QCoreApplication::applicationDirPath() : data).filePath(name);
}

void OpenProductHelp() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(ProductHelpFileName()));
}

void OpenMailTo(const QString& address) {
    // Parsed leniently as one URL text, the way the shell took it: spaces stay
    // spaces (sent as %20), an already encoded "%20" is not encoded twice, and
    // "?subject=" still starts the header part. A "#" is part of an address
    // (mail programs have no use for a fragment): left bare it would cut the
    // list there, and every address after it would be lost.
    QString text = address;
    text.replace(u'#', QStringLiteral("%23"));
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + text, QUrl::TolerantMode));
}

QString GetDocumentsFolder() {
    return qv::FileSystem::documentsFolder();
}

} // namespace AppInfo
