#include "pictures/Pictures.h"

#include <QDir>
#include <QFileInfo>
#include <QtDebug>

namespace qv::Pictures {

namespace {
const QString Folder = QStringLiteral(":/pictures/");
const QString Suffix = QStringLiteral(".svg");
} // namespace

QIcon icon(QStringView name) {
    const QString path = Folder + name.toString() + Suffix;
    if (!QFileInfo::exists(path)) {
        qWarning("No picture named \"%s\" in the resource", qUtf8Printable(name.toString()));
        return QIcon();
    }
    return QIcon(path);
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
