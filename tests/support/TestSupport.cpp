// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestSupport.h"

#include "platform/os/Regional.h"
#include "settings/MemberSettings.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <stdexcept>
#include <unistd.h>

namespace qv::test {

TempFolder::TempFolder() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

SettingsSandbox::SettingsSandbox()
    : m_previous(MemberSettings::SetSettingsFolder(m_folder.path()))
    , m_previousName(MemberSettings::SetProgramBaseName(QStringLiteral("Quorvane"))) {}

SettingsSandbox::~SettingsSandbox() {
    MemberSettings::SetSettingsFolder(m_previous);
    MemberSettings::SetProgramBaseName(m_previousName);
}

QString SettingsSandbox::settingsFile() const {
    return m_folder.filePath(QStringLiteral("Quorvane.ini"));
}

void SettingsSandbox::writeSettings(const QByteArray& bytes) const {
    if (!writeFileBytes(settingsFile(), bytes))
        throw std::runtime_error("cannot write the sandbox settings file");
}

QByteArray SettingsSandbox::settingsBytes() const {
    return readFileBytes(settingsFile());
}

void pinRegional() {
    qv::Regional::setLocaleForTesting(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

QByteArray readFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFileBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

} // namespace qv::test
