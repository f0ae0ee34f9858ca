// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <stdexcept>

namespace qv {

// Raised by every failing open, execute, fetch or post. It carries the engine's
// own message so the user sees what the database said; what() is UTF-8.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message) {}

    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A refusal of our own rather than an engine's failure (an incomplete register,
// a path the engine cannot take): its message is written for the user and says
// what is wrong, so callers show it as it stands instead of a general failure.
class DatabaseRefusal : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// A commit that waited in vain for another program to let go of the register.
// Nothing was undone: the transaction is still open and the commit can be
// tried again once the other program has finished.
class DatabaseBusy : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// What a write is refused with when another user committed a change to the
// rows it rests on after this window read them: storing it would overwrite
// their work with the stale values on screen. Every kind of register says the
// same.
inline QString changedSinceOpenedMessage() {
    return QStringLiteral("Another user has changed or deleted the same record since you "
                          "opened it, so your change was not saved. Close the window without "
                          "saving and open the record again to see the other change.");
}

} // namespace qv
