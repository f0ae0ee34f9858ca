// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/ChangeLog.h"
#include "platform/data/Connection.h"

#include <QObject>

// The data module: owner of the one connection to the register, which every
// window receives from its caller.
class Tdm : public QObject {
    Q_OBJECT
public:
    explicit Tdm(QObject* parent = nullptr);
    ~Tdm() override;

    qv::Connection& adoMembers() { return m_adoMembers; }

    // Closes the connection, then opens it on `connectionString` when that
    // names a register: a file that is no register (a folder, a FIFO, an
    // empty or foreign file, a database without the member tables) is
    // refused with DatabaseRefusal saying what it is, before or right after
    // it is opened. Errors reach the caller with the connection closed.
    void OpenRegister(const QString& connectionString);

    // Brings a register made by the previous version up to date: adds
    // DatesJoined.MembershipNo when it is missing. Answers whether it changed
    // the database. Runs in an exclusive transaction of its own, so two copies
    // upgrading at once add the column once; on PostgreSQL it also adds the
    // register's text functions when they are missing.
    // Errors reach the caller; the connection stays open.
    bool UpgradeDatabase();
    // Adds the program's own tables (the change log, register settings...) to
    // a register that lacks some, under the same exclusive transaction, so two
    // copies opening it at once add them once. A register that cannot be
    // written opens without them (nothing can be changed in it anyway).
    // Answers whether it added any.
    bool UpgradeRegisterTables();

    // The recorder of every change made through adoMembers().
    ChangeLog::Recorder& changeRecorder() { return m_recorder; }

private:
    qv::Connection m_adoMembers;
    ChangeLog::Recorder m_recorder;
};
