// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// The settings file: which database the register lives in. Nothing is kept in
// memory; every call reads or writes the file, so what the settings dialog saves
// is what the next reader anywhere sees.
//
// The file is named after the executable ("Quorvane.ini" for "Quorvane", so a
// renamed copy keeps settings of its own) and lies in the executable's folder.
// When that folder cannot be written and holds no settings file, or when the
// program is an installed copy (see InstalledDataFolder), it is the user's
// configuration folder instead, created by the first write. The default
// database ("Quorvane.mdb", an SQLite file) lies in the same folder, except
// for an installed copy (see DefaultDatabase).
//
// Writes throw qv::IniWriteError ("Unable to write to <settings file>").
namespace MemberSettings {

QString SettingsFileName();

bool GetUseAccessDatabase();
void SetUseAccessDatabase(bool value);

QString GetAccessDatabase();
// The database the settings name when they name none: beside the settings
// file, or, for an installed copy, "Quorvane/<program>.mdb" in the user's
// documents folder (not made here: New... in the settings dialog makes the
// register where the user chooses).
QString DefaultDatabase();
QString DefaultDatabaseFor(const QString& executableFolder);
void SetAccessDatabase(const QString& path);

// Which server a server register lives on, from the key ServerType: the text
// "PostgreSQL" (in any case) chooses PostgreSQL; anything else, and a settings
// file without the key, SQL Server, so older settings files read as before.
// The server and database names are the same two keys for both servers.
enum class ServerType { SQLServer, PostgreSQL };
ServerType GetServerType();
// Writes "SQLServer" or "PostgreSQL".
void SetServerType(ServerType type);

// The kind of register the settings choose: the file, or a database on one
// of the two servers.
enum class DatabaseKind { Access, SQLServer, PostgreSQL };
DatabaseKind GetDatabaseKind();

// How many years after a member's last period ended the member is due for
// erasure (key RetentionYears): 6 when the key is missing or not a whole
// number of at least 1.
int GetRetentionYears();
void SetRetentionYears(int years);

// Automatic backup of a register file when the program closes: on unless the
// key AutoBackup says 0; into AutoBackupFolder (empty: the default folder
// beside the register, see jobs/Backups); keeping the newest AutoBackupKeep
// (10 when missing or not a whole number of at least 1).
bool GetAutoBackup();
QString GetAutoBackupFolder();
int GetAutoBackupKeep();
// Writes the three backup settings in one replacement of the file.
void SetAutoBackup(bool on, const QString& folder, int keep);
// The failure the last automatic backup reported, so the same one is not
// reported at every close; empty after a backup that worked.
QString GetAutoBackupFailure();
void SetAutoBackupFailure(const QString& failure);

QString GetSQLServerName();
QString GetSQLDatabaseName();
// Writes the server name and the database name.
void SetSQLServer(const QString& serverName, const QString& databaseName);

// Writes all four settings, and the server type and retention years when
// given, in one replacement of the file, so a reader, or a program killed
// while saving, finds either the old settings or the new ones.
void SetDatabaseSettings(bool useAccess, const QString& accessDatabase, const QString& serverName,
                         const QString& databaseName,
                         std::optional<ServerType> serverType = std::nullopt,
                         std::optional<int> retentionYears = std::nullopt);

// True when a new file can be created in `folder` (a "chk.tmp" probe).
bool CanCreateFileIn(const QString& folder);
bool IsSettingsFileWritable();
// True for the server kinds; for the file kind, when the database file
// exists, is not read-only and its folder takes new files.
bool IsDatabaseWritable();

// Puts the settings file (and the default database) in `folder`; an empty
// string returns to the normal rule. Returns the folder set before, so a test
// can restore it.
QString SetSettingsFolder(const QString& folder);
// The folder the settings file is in (or will be created in).
QString SettingsFolder();

// The executable's file name without its extension: what the settings file,
// the default database and the help file are named after.
QString ProgramBaseName();
// Names the program `name` instead (tests); empty returns to the executable's
// name. Returns the name set before.
QString SetProgramBaseName(const QString& name);

// The folder of the settings of a program whose executable lies in
// `executableFolder` (SetSettingsFolder aside): that folder, or the user's
// configuration folder.
QString SettingsFolderFor(const QString& executableFolder);

// The data folder of an installed copy: <prefix>/share/quorvane when the
// executable lies in <prefix>/bin and that folder exists; empty for a copy run
// from its build folder or from a folder of its own. An installed copy keeps
// its settings in the user's configuration folder, never beside an executable
// that every user shares, even when it could write there (as root).
QString InstalledDataFolder(const QString& executableFolder);
QString InstalledDataFolder();

// A register named on the command line: for this run the database kind reads
// as the file kind and the database path as `path`, while the settings file
// is neither read for them nor changed. Writes still go to the settings file
// (the settings dialog's Save, which ends the override). Empty ends it.
void SetRegisterForRun(const QString& path);
QString RegisterForRun();

// Access files imported before, kept in "<program>-imports.ini" beside the
// settings file (not in it: the settings of a run given a register on the
// command line stay as they are). RememberImport notes the register made from
// `sourcePath` with the source's size and modification time; it throws
// qv::IniWriteError when the file cannot be written. ImportedRegisterFor
// answers that register while the source is as it was then and the register
// is still a file; otherwise empty, and the source is to be imported anew.
void RememberImport(const QString& sourcePath, const QString& registerPath);
QString ImportedRegisterFor(const QString& sourcePath);

// A stored flag as the settings have always read it: an integer, decimal or
// hexadecimal ("0x1F", "0X1F" or "$1F", optionally signed); 0 is false, any
// other integer true; anything else, an empty text included, gives
// `defaultValue`.
bool ParseFlag(const QString& text, bool defaultValue);

} // namespace MemberSettings
