// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>

namespace qv {
class Connection;
}

// Letter templates and the letterhead, kept in the register so every desk
// prints the same letters. Writes run in the caller's transaction.
namespace LetterStore {

// The templates' names, sorted.
QStringList TemplateNames(qv::Connection& connection);
std::optional<QString> TemplateBody(qv::Connection& connection, const QString& name);
// Stores the template under `name`, replacing one of that name.
void SaveTemplate(qv::Connection& connection, const QString& name, const QString& body);
void DeleteTemplate(qv::Connection& connection, const QString& name);

// The club's name, address and logo printed at the head of every letter.
struct Letterhead {
    QString name;
    QString address; // lines separated by line breaks
    QImage logo;     // null: none
};

Letterhead LoadLetterhead(qv::Connection& connection);
// The logo is stored as PNG in base64 text.
void SaveLetterhead(qv::Connection& connection, const Letterhead& letterhead);

// The template offered when the register has none yet.
QString SampleTemplate();

inline constexpr int TemplateNameLength = 50;

} // namespace LetterStore
