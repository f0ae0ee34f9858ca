// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/MemberSettings.h"

#include "platform/os/FileSystem.h"
#include "platform/os/IniFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <optional>

namespace MemberSettings {
namespace {

const QString Section = QStringLiteral("Database");
const QString KeyUseAccess = QStringLiteral("UseAccessDatabase");
const QString KeyAccessDatabase = QStringLiteral("AccessDatabase");
const QString KeyServerName = QStringLiteral("SQLServerName");
const QString KeyDatabaseName = QStringLiteral("SQLDatabaseName");
const QString KeyServerType = QStringLiteral("ServerType");
const QString KeyRetentionYears = QStringLiteral("RetentionYears");
const QString PostgreSQLName = QStringLiteral("PostgreSQL");

QString& folderOverride() {
    static QString folder;
    return folder;
}

QString& nameOverride() {
    static QString name;
    return name;
}

QString fileName() {
    return ProgramBaseName() + QStringLiteral(".ini");
}

QString& runRegister() {
    static QString path;
    return path;
}

QString executableFolder() {
    const QString dir = QCoreApplication::applicationDirPath();
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

// Where the settings live and whether that folder may still have to be made.
struct Location {
    QString folder;
    bool createOnWrite = false;
};

Location location() {
    if (!folderOverride().isEmpty())
        return {folderOverride(), false};
    const QString exeFolder = executableFolder();
    const QString folder = SettingsFolderFor(exeFolder);
    return {folder, folder != exeFolder};
}

QString read(const QString& key, const QString& defaultValue) {
    return qv::IniFile::readString(SettingsFileName(), Section, key, defaultValue);
}

void write(const QList<std::pair<QString, QString>>& values) {
    const Location where = location();
    const QString file = QDir(where.folder).filePath(fileName());
    // A failing mkpath shows up as the write error below.
    if (where.createOnWrite && !QFileInfo::exists(where.folder))
        QDir().mkpath(where.folder);
    qv::IniFile::writeStrings(file, Section, values);
}

void write(const QString& key, const QString& value) {
    write({{key, value}});
}

QString flagText(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

int digitOf(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Integer conversion as StrToIntDef did it: optional sign, decimal or
// hexadecimal behind "$", "0x" or "0X", 32 bits (hexadecimal may use all 32
// bits as an unsigned pattern). Nothing else may follow the digits.
std::optional<qint64> parseInteger(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return std::nullopt;
    const qint64 limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
    qint64 value = 0;
    for (; i < n; ++i) {
        const int digit = digitOf(text[i], base);
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return negative ? -value : value;
}

} // namespace

QString SettingsFolder() {
    return location().folder;
}

QString SetSettingsFolder(const QString& folder) {
    QString before = folderOverride();
    folderOverride() = folder;
    return before;
}

QString SettingsFolderFor(const QString& executableFolder) {
    if (InstalledDataFolder(executableFolder).isEmpty() &&
        (QFileInfo::exists(QDir(executableFolder).filePath(fileName())) ||
         CanCreateFileIn(executableFolder)))
        return executableFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString InstalledDataFolder(const QString& executableFolder) {
    // The layout the install step makes (any prefix: /usr, /usr/local, /opt/x).
    const QDir bin(executableFolder);
    if (bin.dirName() != QLatin1String("bin"))
        return QString();
    const QString data = QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../share/quorvane")));
    return QFileInfo(data).isDir() ? data : QString();
}

QString InstalledDataFolder() {
    return InstalledDataFolder(executableFolder());
}

void SetRegisterForRun(const QString& path) {
    runRegister() = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

QString RegisterForRun() {
    return runRegister();
}

QString SettingsFileName() {
    return QDir(location().folder).filePath(fileName());
}

QString ProgramBaseName() {
    if (!nameOverride().isEmpty())
        return nameOverride();
    const QString exe = QCoreApplication::applicationFilePath();
    // The extension goes, as the original replaced it: "Quorvane" and
    // "Quorvane.exe" alike give "Quorvane".
    const QString name = QFileInfo(exe).completeBaseName();
    return name.isEmpty() ? QStringLiteral("Quorvane") : name;
}

QString SetProgramBaseName(const QString& name) {
    QString before = nameOverride();
    nameOverride() = name;
    return before;
}

bool ParseFlag(const QString& text, bool defaultValue) {
    const std::optional<qint64> value = parseInteger(text);
    return value ? *value != 0 : defaultValue;
}

bool GetUseAccessDatabase() {
    if (!runRegister().isEmpty())
        return true;
    return ParseFlag(read(KeyUseAccess, QString()), true);
}

void SetUseAccessDatabase(bool value) {
    write(KeyUseAccess, flagText(value));
}

int GetRetentionYears() {
    bool ok = false;
    const int years = read(KeyRetentionYears, QString()).trimmed().toInt(&ok);
    return ok && years >= 1 ? years : 6;
}

void SetRetentionYears(int years) {
    write(KeyRetentionYears, QString::number(years));
}

bool GetAutoBackup() {
    return ParseFlag(read(QStringLiteral("AutoBackup"), QString()), true);
}

QString GetAutoBackupFolder() {
    return read(QStringLiteral("AutoBackupFolder"), QString());
}

int GetAutoBackupKeep() {
    bool ok = false;
    const int keep = read(QStringLiteral("AutoBackupKeep"), QString()).trimmed().toInt(&ok);
    return ok && keep >= 1 ? keep : 10;
}

void SetAutoBackup(bool on, const QString& folder, int keep) {
    write({{QStringLiteral("AutoBackup"), flagText(on)},
           {QStringLiteral("AutoBackupFolder"), folder},
           {QStringLiteral("AutoBackupKeep"), QString::number(keep)}});
}

QString GetAutoBackupFailure() {
    return read(QStringLiteral("AutoBackupFailure"), QString());
}

void SetAutoBackupFailure(const QString& failure) {
    // One line in the file, whatever the message holds.
    QString line = failure;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    write(QStringLiteral("AutoBackupFailure"), line.simplified());
}

QString GetAccessDatabase() {
    if (!runRegister().isEmpty())
        return runRegister();
    return read(KeyAccessDatabase, DefaultDatabase());
}

QString DefaultDatabase() {
    if (!folderOverride().isEmpty())
        return QDir(folderOverride()).filePath(ProgramBaseName() + QStringLiteral(".mdb"));
    return DefaultDatabaseFor(executableFolder());
}

QString DefaultDatabaseFor(const QString& executableFolder) {
    const QString name = ProgramBaseName() + QStringLiteral(".mdb");
    // A register is the user's document, which backups of documents take
    // and which is found again by looking: not in a hidden folder.
    if (!InstalledDataFolder(executableFolder).isEmpty()) {
        const QString documents = qv::FileSystem::documentsFolder();
        if (!documents.isEmpty())
            return QDir(documents).filePath(QStringLiteral("Quorvane/") + name);
    }
    return QDir(SettingsFolderFor(executableFolder)).filePath(name);
}

void SetAccessDatabase(const QString& path) {
    write(KeyAccessDatabase, path);
}

ServerType GetServerType() {
    return read(KeyServerType, QString()).trimmed().compare(PostgreSQLName, Qt::CaseInsensitive) ==
                   0
               ? ServerType::PostgreSQL
               : ServerType::SQLServer;
}

QString serverTypeText(ServerType type) {
    return type == ServerType::PostgreSQL ? PostgreSQLName : QStringLiteral("SQLServer");
}

void SetServerType(ServerType type) {
    write(KeyServerType, serverTypeText(type));
}

DatabaseKind GetDatabaseKind() {
    if (GetUseAccessDatabase())
        return DatabaseKind::Access;
    return GetServerType() == ServerType::PostgreSQL ? DatabaseKind::PostgreSQL
                                                     : DatabaseKind::SQLServer;
}

QString GetSQLServerName() {
    return read(KeyServerName, QString());
}

QString GetSQLDatabaseName() {
    return read(KeyDatabaseName, QString());
}

void SetSQLServer(const QString& serverName, const QString& databaseName) {
    write({{KeyServerName, serverName}, {KeyDatabaseName, databaseName}});
}

void SetDatabaseSettings(bool useAccess, const QString& accessDatabase, const QString& serverName,
                         const QString& databaseName, std::optional<ServerType> serverType,
                         std::optional<int> retentionYears) {
    QList<std::pair<QString, QString>> values = {{KeyUseAccess, flagText(useAccess)},
                                                 {KeyAccessDatabase, accessDatabase},
                                                 {KeyServerName, serverName},
                                                 {KeyDatabaseName, databaseName}};
    if (serverType)
        values.append({KeyServerType, serverTypeText(*serverType)});
    if (retentionYears)
        values.append({KeyRetentionYears, QString::number(*retentionYears)});
    write(values);
}

namespace {

const QString ImportsSection = QStringLiteral("Imports");

QString importsFileName() {
    return QDir(location().folder).filePath(ProgramBaseName() + QStringLiteral("-imports.ini"));
}

// One key per source, whatever characters its path holds.
QString importKey(const QString& sourcePath) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QFileInfo(sourcePath).absoluteFilePath().toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex());
}

// Size, time and the two paths, percent-encoded so that no path can break
// the line.
QString importValue(const QFileInfo& source, const QString& registerPath) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(QString::number(source.size()),
             QString::number(source.lastModified().toMSecsSinceEpoch()),
             QString::fromLatin1(
                 QUrl::toPercentEncoding(QFileInfo(registerPath).absoluteFilePath())),
             QString::fromLatin1(QUrl::toPercentEncoding(source.absoluteFilePath())));
}

} // namespace

void RememberImport(const QString& sourcePath, const QString& registerPath) {
    const Location where = location();
    if (where.createOnWrite && !QFileInfo::exists(where.folder))
        QDir().mkpath(where.folder);
    qv::IniFile::writeStrings(
        importsFileName(), ImportsSection,
        {{importKey(sourcePath), importValue(QFileInfo(sourcePath), registerPath)}});
}

QString ImportedRegisterFor(const QString& sourcePath) {
    const QFileInfo source(sourcePath);
    if (!source.isFile())
        return QString();
    const QStringList parts =
        qv::IniFile::readString(importsFileName(), ImportsSection, importKey(sourcePath), QString())
            .split(u' ');
    if (parts.size() != 4)
        return QString();
    const QString registerPath = QUrl::fromPercentEncoding(parts.at(2).toLatin1());
    // The same source as it was when imported, and a register still there.
    if (importValue(source, registerPath) != parts.join(u' ') || !QFileInfo(registerPath).isFile())
        return QString();
    return registerPath;
}

bool CanCreateFileIn(const QString& folder) {
    return qv::FileSystem::canCreateFileIn(folder);
}

bool IsSettingsFileWritable() {
    const QString file = SettingsFileName();
    // Not there yet: the first write creates it.
    if (!QFileInfo::exists(file))
        return true;
    return CanCreateFileIn(QFileInfo(file).absolutePath()) && !qv::FileSystem::isReadOnlyFile(file);
}

bool IsDatabaseWritable() {
    if (!GetUseAccessDatabase())
        return true;
    const QString path = GetAccessDatabase();
    // The folder of a relative path is the current folder, not the root the
    // bare folder name "" would become once a delimiter is added.
    return !path.isEmpty() && CanCreateFileIn(QFileInfo(path).absolutePath()) &&
           !qv::FileSystem::isReadOnlyFile(path);
}

} // namespace MemberSettings
