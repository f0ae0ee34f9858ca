// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictures/Pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QtDebug>

namespace qv::Pictures {

namespace {
const QString Folder = QStringLiteral(":/pictures/");
const QString Suffix = QStringLiteral(".svg");

// One icon per picture: its SVG is read once, and the pixmaps drawn from it
// stay with it, so the windows after the first show their pictures without
// reading or drawing the SVG again. Emptied when the application ends, while
// the icon engine that drew them is still there to free them.
QHash<QString, QIcon>& Cache() {
    static QHash<QString, QIcon> cache;
    return cache;
}

void EmptyCache() {
    Cache().clear();
}
} // namespace

QIcon icon(QStringView name) {
    QHash<QString, QIcon>& cache = Cache();
    const QString key = name.toString();
    if (const auto found = cache.constFind(key); found != cache.cend())
        return found.value();
    const QString path = Folder + key + Suffix;
    if (!QFileInfo::exists(path)) {
        qWarning("No picture named \"%s\" in the resource", qUtf8Printable(key));
        return QIcon();
    }
    if (cache.isEmpty())
        qAddPostRoutine(EmptyCache);
    return cache.insert(key, QIcon(path)).value();
}

QStringList names() {
    QStringList result;
    const QStringList files =
        QDir(Folder).entryList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        result << file.chopped(Suffix.size());
    return result;
}

} // namespace qv::Pictures
