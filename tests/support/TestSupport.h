// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Helpers shared by all tests.
namespace qv::test {

// A fresh folder removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Points MemberSettings (settings file and default database) at a fresh temp
// folder for its lifetime, with the program named "Quorvane" whatever the test
// executable is called, then restores what was set before.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    SettingsSandbox(const SettingsSandbox&) = delete;
    SettingsSandbox& operator=(const SettingsSandbox&) = delete;

    QString folder() const { return m_folder.path(); }
    QString filePath(const QString& name) const { return m_folder.filePath(name); }
    // The path of the settings file inside the sandbox (it need not exist).
    QString settingsFile() const;
    // Replaces the settings file with exactly these bytes.
    void writeSettings(const QByteArray& bytes) const;
    // The settings file's bytes; empty when it does not exist.
    QByteArray settingsBytes() const;

private:
    TempFolder m_folder;
    QString m_previous;
    QString m_previousName;
};

// Pins the regional formats to English (United Kingdom); Regional::resetLocale()
// undoes it.
void pinRegional();

QByteArray readFileBytes(const QString& path);
// Creates or replaces the file; false when it cannot.
bool writeFileBytes(const QString& path, const QByteArray& bytes);

// Root passes every permission check of the kernel; tests that depend on
// permission bits stopping a write must know.
bool runningAsRoot();

} // namespace qv::test
