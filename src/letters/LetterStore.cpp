// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters/LetterStore.h"

#include "db/RegisterSettings.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"

#include <QBuffer>

namespace LetterStore {
namespace {

const QString NameSetting = QStringLiteral("LetterheadName");
const QString AddressSetting = QStringLiteral("LetterheadAddress");
const QString LogoSetting = QStringLiteral("LetterheadLogo");

std::optional<qint64> templateKey(qv::Connection& connection, const QString& name) {
    qv::Query q(&connection);
    q.setSQL(
        QStringLiteral("SELECT LetterTemplateID FROM LetterTemplates WHERE TemplateName = :Name"));
    q.setParameter(QStringLiteral("Name"), name);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        return std::nullopt;
    return r.rows.value(r.rows.cell(0, 0)).toInteger();
}

void storeOrRemove(qv::Connection& connection, const QString& setting, const QString& value) {
    if (value.isEmpty())
        RegisterSettings::Remove(connection, setting);
    else
        RegisterSettings::SetValue(connection, setting, value);
}

} // namespace

QStringList TemplateNames(qv::Connection& connection) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT TemplateName FROM LetterTemplates"));
    qv::Result r;
    q.fetch(r);
    QStringList names;
    for (int row = 0; row < r.rows.rowCount(); ++row)
        names << r.rows.value(r.rows.cell(row, 0)).toText();
    names.sort(Qt::CaseInsensitive);
    return names;
}

std::optional<QString> TemplateBody(qv::Connection& connection, const QString& name) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT Body FROM LetterTemplates WHERE TemplateName = :Name"));
    q.setParameter(QStringLiteral("Name"), name);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        return std::nullopt;
    const qv::Value body = r.rows.value(r.rows.cell(0, 0));
    return body.isNull() ? QString() : body.toText();
}

void SaveTemplate(qv::Connection& connection, const QString& name, const QString& body) {
    qv::Query q(&connection);
    if (const std::optional<qint64> key = templateKey(connection, name)) {
        q.setSQL(QStringLiteral(
            "UPDATE LetterTemplates SET Body = :Body WHERE LetterTemplateID = :Key"));
        q.setParameter(QStringLiteral("Key"), *key);
    } else {
        q.setSQL(QStringLiteral(
            "INSERT INTO LetterTemplates (TemplateName, Body) VALUES (:Name, :Body)"));
        q.setParameter(QStringLiteral("Name"), name);
    }
    q.setParameter(QStringLiteral("Body"), body);
    q.execute();
}

void DeleteTemplate(qv::Connection& connection, const QString& name) {
    if (const std::optional<qint64> key = templateKey(connection, name)) {
        qv::Query q(&connection);
        q.setSQL(QStringLiteral("DELETE FROM LetterTemplates WHERE LetterTemplateID = :Key"));
        q.setParameter(QStringLiteral("Key"), *key);
        q.execute();
    }
}

Letterhead LoadLetterhead(qv::Connection& connection) {
    Letterhead head;
    head.name = RegisterSettings::Value(connection, NameSetting, QString());
    head.address = RegisterSettings::Value(connection, AddressSetting, QString());
    const QString logo = RegisterSettings::Value(connection, LogoSetting, QString());
    if (!logo.isEmpty())
        head.logo.loadFromData(QByteArray::fromBase64(logo.toLatin1()), "PNG");
    return head;
}

void SaveLetterhead(qv::Connection& connection, const Letterhead& letterhead) {
    storeOrRemove(connection, NameSetting, letterhead.name.trimmed());
    storeOrRemove(connection, AddressSetting, letterhead.address.trimmed());
    QString logo;
    if (!letterhead.logo.isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        letterhead.logo.save(&buffer, "PNG");
        logo = QString::fromLatin1(png.toBase64());
    }
    storeOrRemove(connection, LogoSetting, logo);
}

QString SampleTemplate() {
    return QStringLiteral(
        "<p>{Addressee}<br>{Address}<br>{City}<br>{PostCode}</p>"
        "<p>{Today}</p>"
        "<p>Dear {FirstNames},</p>"
        "<p>Thank you for your {YearsService} years with the club. Your membership number is "
        "{MembershipNo}, your membership level {Level}.</p>"
        "<p>Yours sincerely,</p><p>The Secretary</p>");
}

} // namespace LetterStore
