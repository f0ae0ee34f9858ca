// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/MemberSQL.h"

#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "settings/MemberSettings.h"

namespace MemberSQL {
namespace {

// The SQL of the configured kind: the file kind's (Jet) and SQL Server's
// differ only in date literals and two words of the long-service query; the
// PostgreSQL texts also fold case for LIKE and =, order names by the
// register's sort key and write their own literals.
enum class Dialect { Jet, SqlServer, PostgreSQL };

Dialect currentDialect() {
    switch (MemberSettings::GetDatabaseKind()) {
    case MemberSettings::DatabaseKind::Access:
        return Dialect::Jet;
    case MemberSettings::DatabaseKind::SQLServer:
        return Dialect::SqlServer;
    case MemberSettings::DatabaseKind::PostgreSQL:
        break;
    }
    return Dialect::PostgreSQL;
}

// Takes plain ints so a QDate year outside 0..65535 is not wrapped on the way.
QString dateLiteral(Dialect dialect, int year, int month, int day) {
    const QString colons = QString::asprintf("%.*d-%.*d-%.*d %.*d:%.*d:%.*d", 4, year, 2, month, 2,
                                             day, 2, 0, 2, 0, 2, 0);
    switch (dialect) {
    case Dialect::Jet:
        return QString::asprintf("#%.*d-%.*d-%.*d %.*d.%.*d.%.*d#", 4, year, 2, month, 2, day, 2, 0,
                                 2, 0, 2, 0);
    case Dialect::SqlServer:
        return QStringLiteral("CONVERT(DATETIME, '") + colons + QStringLiteral("', 102)");
    case Dialect::PostgreSQL:
        break;
    }
    return QStringLiteral("TIMESTAMP '") + colons + u'\'';
}

// The literal of a date-time's calendar day; an invalid one gives the null
// date-time's day, 30 December 1899.
QString dateLiteral(Dialect dialect, const QDateTime& value) {
    const QDate date = value.isValid() ? value.date() : QDate(1899, 12, 30);
    return dateLiteral(dialect, date.year(), date.month(), date.day());
}

// "ORDER BY" a list of name columns, ordered as the file register orders names.
QString orderByNames(Dialect dialect, const QStringList& columns) {
    if (dialect != Dialect::PostgreSQL)
        return QStringLiteral("ORDER BY ") + columns.join(QStringLiteral(", "));
    QStringList keys;
    for (const QString& column : columns)
        keys << QStringLiteral("qv_sortkey(") + column + QStringLiteral(") COLLATE \"C\"");
    return QStringLiteral("ORDER BY ") + keys.join(QStringLiteral(", "));
}

// "column LIKE :parameter", without regard to case in every alphabet; "%" and
// "_" are the only wildcards and nothing escapes (the server's LIKE would
// take a backslash as its escape).
QString like(Dialect dialect, const QString& column, const QString& parameter) {
    if (dialect != Dialect::PostgreSQL)
        return column + QStringLiteral(" LIKE :") + parameter;
    return QStringLiteral("qv_fold(") + column + QStringLiteral(") LIKE qv_fold(:") + parameter +
           QStringLiteral(") ESCAPE ''");
}

// The member list row.
const QString kColumns = QStringLiteral(
    "SELECT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "
    "Members.City, Members.PostCode, Members.TelNo, Members.MobileNo, Members.EmailAddress, "
    "DatesJoined.DateJoined, DatesJoined.DateEnded, DatesJoined.DatesJoinedID, "
    "MembershipLevel.HighlightColour, MembershipLevel.FontColour");

// The same row with the latest period's number after DatesJoinedID.
const QString kColumnsWithNumber = QStringLiteral(
    "SELECT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "
    "Members.City, Members.PostCode, Members.TelNo, Members.MobileNo, Members.EmailAddress, "
    "DatesJoined.DateJoined, DatesJoined.DateEnded, DatesJoined.DatesJoinedID, "
    "DatesJoined.MembershipNo, MembershipLevel.HighlightColour, MembershipLevel.FontColour");

// The derived table sm holds each member's latest DateJoined; joining back on
// member and date finds the latest period in one pass over DatesJoined. The
// spacing inside the brackets is part of the shared text.
const QString kLatestPeriodJoin = QStringLiteral(
    "Members INNER JOIN (    SELECT MemberID, MAX(DateJoined) AS MaxDateJoined    FROM "
    "DatesJoined    GROUP BY MemberID ) AS sm ON sm.MemberID = Members.MemberID) INNER JOIN "
    "DatesJoined ON DatesJoined.MemberID = sm.MemberID AND DatesJoined.DateJoined = "
    "sm.MaxDateJoined) LEFT JOIN MembershipLevel ON DatesJoined.MembershipLevelID = "
    "MembershipLevel.MembershipLevelID");

QString twoBracketFrom() {
    return QStringLiteral(" FROM ((") + kLatestPeriodJoin;
}

// One more bracket round the whole join, so that a further join or a WHERE
// can follow it.
QString threeBracketFrom() {
    return QStringLiteral(" FROM (((") + kLatestPeriodJoin + u')';
}

const QString kLevelId = QStringLiteral(", MembershipLevel.MembershipLevelID");
const QString kAssetId = QStringLiteral(", MemberAssets.AssetID");
const QString kIncludeLongService = QStringLiteral(", MembershipLevel.IncludeLongService");

QString orderBySurname(Dialect dialect) {
    return orderByNames(dialect, {QStringLiteral("Surname"), QStringLiteral("FirstNames")});
}

QString whereExists(bool notMatching) {
    return notMatching ? QStringLiteral("WHERE NOT ") : QStringLiteral("WHERE ");
}

// Opens the statement and answers whether it gave at least one row.
bool anyRow(qv::Query& query) {
    qv::Result result;
    query.fetch(result);
    return result.rows.rowCount() > 0;
}

void deleteOne(qv::Connection& connection, const QString& table, const QString& key, int id) {
    qv::Query q(&connection);
    q.setSQL(QStringList{QStringLiteral("DELETE FROM ") + table,
                         QStringLiteral("WHERE ") + key + QStringLiteral(" = :") + key});
    q.setParameter(key, id);
    q.execute();
}

} // namespace

QString DateLiteral(const QDateTime& value) {
    return dateLiteral(currentDialect(), value);
}

QString DateLiteralYMD(quint16 year, quint16 month, quint16 day) {
    return dateLiteral(currentDialect(), year, month, day);
}

// ---- Member list queries --------------------------------------------------

QString AllMembersSQL() {
    return kColumns + kLevelId + twoBracketFrom() + u' ' + orderBySurname(currentDialect());
}

QString QuickFindRowsSQL() {
    return QStringLiteral(
        "SELECT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "
        "Members.City, Members.PostCode, Members.TelNo, Members.MobileNo, Members.EmailAddress, "
        "DatesJoined.DatesJoinedID, DatesJoined.DateJoined, DatesJoined.DateEnded, "
        "DatesJoined.MembershipNo FROM Members LEFT JOIN DatesJoined ON DatesJoined.MemberID = "
        "Members.MemberID");
}

QString QuickFindListSQL(const std::vector<qint64>& memberIds) {
    // The latest-period join with outer joins, so that a member without any
    // period is listed too.
    QString latest = kLatestPeriodJoin;
    latest.replace(QLatin1String("INNER JOIN"), QLatin1String("LEFT JOIN"));
    QString keys;
    keys.reserve(qsizetype(memberIds.size()) * 8);
    for (const qint64 id : memberIds) {
        if (!keys.isEmpty())
            keys += u',';
        keys += QString::number(id);
    }
    const QString where = keys.isEmpty() ? QStringLiteral(" WHERE 1 = 0 ")
                                         : QStringLiteral(" WHERE Members.MemberID IN (") + keys +
                                               QStringLiteral(") ");
    return kColumns + kLevelId + QStringLiteral(" FROM ((") + latest + where +
           orderBySurname(currentDialect());
}

QString PastMembersSQL() {
    return kColumns + twoBracketFrom() +
           QStringLiteral(" WHERE DatesJoined.DateEnded IS NOT NULL ") +
           orderBySurname(currentDialect()) + u' ';
}

QString MembershipLevelSQL() {
    return kColumns + kLevelId + twoBracketFrom() +
           QStringLiteral(" WHERE DatesJoined.MembershipLevelID = :MembershipLevelID ") +
           orderBySurname(currentDialect());
}

QString AssetSQL(bool includeHistoric, bool notMatching) {
    QString sql = kColumns + kLevelId + threeBracketFrom() + u' ' + whereExists(notMatching) +
                  QStringLiteral("EXISTS (SELECT 1 FROM MemberAssets WHERE MemberAssets.MemberID "
                                 "= Members.MemberID AND MemberAssets.AssetID = :AssetID ");
    if (!includeHistoric)
        sql += QStringLiteral("AND MemberAssets.DateReturned IS NULL ");
    return sql + QStringLiteral(") ") + orderBySurname(currentDialect());
}

QString AssetReferenceSQL() {
    const Dialect dialect = currentDialect();
    return kColumns + kLevelId + kAssetId + threeBracketFrom() +
           QStringLiteral(" LEFT JOIN MemberAssets ON Members.MemberID = MemberAssets.MemberID "
                          "WHERE ") +
           like(dialect, QStringLiteral("MemberAssets.AssetReference"),
                QStringLiteral("AssetReference")) +
           u' ' + orderBySurname(dialect);
}

QString ProfileSQL(bool includeHistoric, bool notMatching) {
    const Dialect dialect = currentDialect();
    // DISTINCT is part of the shared text; the period columns still keep two
    // periods that start on the same day apart. It never removes a row (each
    // row is a different period), and PostgreSQL would refuse it beside an
    // ORDER BY on the names' sort keys, so its text goes without.
    QString sql = (dialect == Dialect::PostgreSQL ? QStringLiteral("SELECT ")
                                                  : QStringLiteral("SELECT DISTINCT ")) +
                  kColumns.mid(7) + kLevelId + threeBracketFrom() + u' ' +
                  whereExists(notMatching) +
                  QStringLiteral("EXISTS (SELECT 1 FROM MemberProfiles WHERE "
                                 "MemberProfiles.MemberID = Members.MemberID AND "
                                 "MemberProfiles.ProfileID = :ProfileID ");
    if (!includeHistoric)
        sql += QStringLiteral("AND MemberProfiles.ProfileEnd IS NULL ");
    return sql + QStringLiteral(") ") + orderBySurname(dialect);
}

QString KeywordSQL(bool notMatching) {
    const Dialect dialect = currentDialect();
    const QString keyword = QStringLiteral("Keyword");
    return kColumns + kLevelId + threeBracketFrom() + u' ' + whereExists(notMatching) + u'(' +
           like(dialect, QStringLiteral("FirstNames"), keyword) + QStringLiteral(" OR ") +
           like(dialect, QStringLiteral("Surname"), keyword) + QStringLiteral(" OR ") +
           like(dialect, QStringLiteral("Address"), keyword) + QStringLiteral(" OR ") +
           like(dialect, QStringLiteral("City"), keyword) + QStringLiteral(") ") +
           orderBySurname(dialect);
}

QString MembershipNoSQL(bool notMatching) {
    return kColumnsWithNumber + kLevelId + twoBracketFrom() + u' ' + whereExists(notMatching) +
           QStringLiteral("EXISTS (SELECT 1 FROM DatesJoined WHERE DatesJoined.MemberID = "
                          "Members.MemberID AND ") +
           like(currentDialect(), QStringLiteral("DatesJoined.MembershipNo"),
                QStringLiteral("MembershipNo")) +
           QStringLiteral(" ) ");
}

QString UnpaidFeesSQL(const QDateTime& date) {
    const Dialect dialect = currentDialect();
    return kColumns + threeBracketFrom() +
           QStringLiteral(" WHERE NOT EXISTS (SELECT * FROM FeePayments WHERE "
                          "FeePayments.MemberID = sm.MemberID AND PaymentDate >= ") +
           dateLiteral(dialect, date) + QStringLiteral(") ") + orderBySurname(dialect) + u' ';
}

QString MemberListColumnName(const QString& name) {
    // Every column any member list query selects, as its text spells it.
    static const QStringList spelled = [] {
        QStringList names;
        const QString columns = kColumnsWithNumber.mid(int(qstrlen("SELECT "))) +
                                kIncludeLongService + kLevelId + kAssetId;
        for (const QString& column : columns.split(u','))
            names << column.section(u'.', -1).trimmed();
        return names;
    }();
    for (const QString& column : spelled)
        if (column.compare(name, Qt::CaseInsensitive) == 0)
            return column;
    return name;
}

QString LongServiceSQL(qv::Connection& connection, int year) {
    // One reading of the kind for the whole text, so the words and the date
    // literals can never be of two dialects.
    const Dialect dialect = currentDialect();
    const QString yes =
        dialect == Dialect::SqlServer ? QStringLiteral("1") : QStringLiteral("true");
    const QString now = dialect == Dialect::Jet         ? QStringLiteral("now")
                        : dialect == Dialect::SqlServer ? QStringLiteral("GetDate()")
                                                        : QStringLiteral("LOCALTIMESTAMP");

    QString sql = kColumns + kIncludeLongService + kLevelId + twoBracketFrom() + u' ';
    sql +=
        QStringLiteral("WHERE (MembershipLevel.IncludeLongService = ") + yes + QStringLiteral(") ");
    sql +=
        QStringLiteral("AND ((DateEnded IS NULL) OR (DateEnded >= ") + now + QStringLiteral(")) ");
    sql += QStringLiteral("AND (");

    const int earliest = MinDateJoined(connection).date().year();
    // The range for year - 5 is always there; further ones reach back to the
    // earliest period.
    for (int x = year - 5, k = 1; k == 1 || x >= earliest; x -= 5, ++k) {
        if (k > 1)
            sql += QStringLiteral("OR ");
        sql += QStringLiteral("(sm.MaxDateJoined >= ") + dateLiteral(dialect, x, 1, 1) +
               QStringLiteral(" AND sm.MaxDateJoined <= ") + dateLiteral(dialect, x, 12, 31) +
               QStringLiteral(") ");
    }
    return sql + QStringLiteral(") ORDER BY sm.MaxDateJoined");
}

// ---- Record maintenance -----------------------------------------------------

bool MembershipLevelInUse(qv::Connection& connection, int membershipLevelId) {
    qv::Query q(&connection);
    q.setSQL(QStringList{QStringLiteral("SELECT MembershipLevelID"),
                         QStringLiteral("FROM DatesJoined"),
                         QStringLiteral("WHERE MembershipLevelID = :MembershipLevelID")});
    q.setParameter(QStringLiteral("MembershipLevelID"), membershipLevelId);
    return anyRow(q);
}

QDateTime MinDateJoined(qv::Connection& connection) {
    qv::Query q(&connection);
    q.setSQL(QStringList{QStringLiteral("SELECT MIN(DateJoined) AS MinDateJoined"),
                         QStringLiteral("FROM DatesJoined")});
    qv::Result result;
    q.fetch(result);
    if (result.rows.rowCount() == 0 || result.rows.columnCount() == 0)
        return qv::zeroDateTime();
    // Null (no periods) reads as day zero, as every date field does.
    return result.rows.value(result.rows.cell(0, 0)).toDateTime();
}

bool MemberNameExists(qv::Connection& connection, int memberId, const QString& firstNames,
                      const QString& surname) {
    qv::Query q(&connection);
    if (currentDialect() == Dialect::PostgreSQL)
        // The other engines compare the names without regard to case.
        q.setSQL(QStringList{QStringLiteral("SELECT FirstNames, Surname FROM Members"),
                             QStringLiteral("WHERE qv_fold(FirstNames) = qv_fold(:FirstNames)"),
                             QStringLiteral("AND qv_fold(Surname) = qv_fold(:Surname)"),
                             QStringLiteral("AND MemberID <> :MemberID")});
    else
        q.setSQL(QStringList{QStringLiteral("SELECT FirstNames, Surname FROM Members"),
                             QStringLiteral("WHERE FirstNames = :FirstNames"),
                             QStringLiteral("AND Surname = :Surname"),
                             QStringLiteral("AND MemberID <> :MemberID")});
    q.setParameter(QStringLiteral("FirstNames"), firstNames);
    q.setParameter(QStringLiteral("Surname"), surname);
    q.setParameter(QStringLiteral("MemberID"), memberId);
    return anyRow(q);
}

MembershipLevelRecord GetMembershipLevel(qv::Connection& connection, int membershipLevelId) {
    qv::Dataset ds(&connection);
    ds.setSQL(QStringList{QStringLiteral("SELECT * FROM MembershipLevel"),
                          QStringLiteral("WHERE MembershipLevelID = :MembershipLevelID")});
    ds.setParameter(QStringLiteral("MembershipLevelID"), membershipLevelId);
    ds.open();
    MembershipLevelRecord level;
    if (ds.isEmpty())
        return level;
    level.MemberCategory = ds.field(QStringLiteral("MemberCategory")).asString().left(20);
    level.HighlightColour = qint32(ds.field(QStringLiteral("HighlightColour")).asInteger());
    level.FontColour = qint32(ds.field(QStringLiteral("FontColour")).asInteger());
    level.IncludeLongService = ds.field(QStringLiteral("IncludeLongService")).asBoolean();
    return level;
}

void DeleteDatesJoined(qv::Connection& connection, int datesJoinedId) {
    deleteOne(connection, QStringLiteral("DatesJoined"), QStringLiteral("DatesJoinedID"),
              datesJoinedId);
}

void DeleteMemberAsset(qv::Connection& connection, int memberAssetId) {
    deleteOne(connection, QStringLiteral("MemberAssets"), QStringLiteral("MemberAssetID"),
              memberAssetId);
}

void DeleteMemberProfile(qv::Connection& connection, int memberProfileId) {
    deleteOne(connection, QStringLiteral("MemberProfiles"), QStringLiteral("MemberProfileID"),
              memberProfileId);
}

void DeleteFeePayment(qv::Connection& connection, int feePaymentId) {
    deleteOne(connection, QStringLiteral("FeePayments"), QStringLiteral("FeePaymentID"),
              feePaymentId);
}

void DeleteFileAttachment(qv::Connection& connection, int fileAttachmentId) {
    deleteOne(connection, QStringLiteral("FileAttachments"), QStringLiteral("FileAttachmentID"),
              fileAttachmentId);
}

void DeleteMemberNote(qv::Connection& connection, int memberNotesId) {
    deleteOne(connection, QStringLiteral("MemberNotes"), QStringLiteral("MemberNotesID"),
              memberNotesId);
}

void DeleteByKey(qv::Connection& connection, const QString& table, const QString& keyColumn,
                 int keyValue) {
    qv::Query q(&connection);
    q.setSQL(QStringList{QStringLiteral("DELETE FROM ") + table,
                         QStringLiteral("WHERE ") + keyColumn + QStringLiteral(" = :KeyValue")});
    q.setParameter(QStringLiteral("KeyValue"), keyValue);
    q.execute();
}

void UpdateByKey(qv::Connection& connection, const QString& table, const QString& keyColumn,
                 const QString& column, int keyValue, const QString& newValue) {
    qv::Query q(&connection);
    q.setSQL(QStringList{QStringLiteral("UPDATE ") + table,
                         QStringLiteral("SET ") + column + QStringLiteral(" = :NewValue"),
                         QStringLiteral("WHERE ") + keyColumn + QStringLiteral(" = :KeyValue")});
    q.setParameter(QStringLiteral("NewValue"), newValue);
    q.setParameter(QStringLiteral("KeyValue"), keyValue);
    q.execute();
}

QStringList MemberRowSQL() {
    return {QStringLiteral("SELECT * FROM Members WHERE MemberID = :MemberID")};
}

QStringList MemberDatesJoinedSQL() {
    return {QStringLiteral("SELECT DatesJoined.*, MembershipLevel.*"),
            QStringLiteral("FROM DatesJoined INNER JOIN"),
            QStringLiteral("MembershipLevel ON DatesJoined.MembershipLevelID = "
                           "MembershipLevel.MembershipLevelID"),
            QStringLiteral("WHERE MemberID = :MemberID"), QStringLiteral("ORDER BY DateJoined")};
}

QStringList MemberAssetsSQL() {
    return {QStringLiteral("SELECT MemberAssets.*, Assets.*"),
            QStringLiteral("FROM MemberAssets INNER JOIN"),
            QStringLiteral("Assets ON MemberAssets.AssetID = Assets.AssetID"),
            QStringLiteral("WHERE MemberID = :MemberID"),
            orderByNames(currentDialect(), {QStringLiteral("AssetName")})};
}

QStringList MemberProfilesSQL() {
    return {QStringLiteral("SELECT MemberProfiles.*, Profiles.*"),
            QStringLiteral("FROM MemberProfiles INNER JOIN"),
            QStringLiteral("Profiles ON MemberProfiles.ProfileID = Profiles.ProfileID"),
            QStringLiteral("WHERE MemberID = :MemberID"),
            orderByNames(currentDialect(), {QStringLiteral("ProfileName")})};
}

QStringList MemberFeePaymentsSQL() {
    // PostgreSQL knows no bracketed names.
    return {QStringLiteral("SELECT * FROM FeePayments"),
            QStringLiteral("WHERE MemberID = :MemberID"),
            currentDialect() == Dialect::PostgreSQL ? QStringLiteral("ORDER BY PaymentDate")
                                                    : QStringLiteral("ORDER BY [PaymentDate]")};
}

QStringList MemberFilesSQL() {
    const Dialect dialect = currentDialect();
    return {QStringLiteral("SELECT * FROM FileAttachments"),
            QStringLiteral("WHERE MemberID = :MemberID"),
            dialect == Dialect::PostgreSQL
                ? orderByNames(dialect, {QStringLiteral("FileDescription")})
                : QStringLiteral("ORDER BY [FileDescription]")};
}

QStringList MemberNotesSQL() {
    return {QStringLiteral("SELECT * FROM MemberNotes"),
            QStringLiteral("WHERE MemberID = :MemberID")};
}

QString ProfileListSQL() {
    return QStringLiteral("SELECT * FROM Profiles ") +
           orderByNames(currentDialect(), {QStringLiteral("ProfileName")});
}

QString AssetListSQL() {
    return QStringLiteral("SELECT * FROM Assets ") +
           orderByNames(currentDialect(), {QStringLiteral("AssetName")});
}

QString MembershipLevelListSQL() {
    return QStringLiteral("SELECT * FROM MembershipLevel ") +
           orderByNames(currentDialect(), {QStringLiteral("MemberCategory")});
}

void UpdateMembershipLevel(qv::Connection& connection, int membershipLevelId,
                           const MembershipLevelRecord& level) {
    qv::Query q(&connection);
    q.setSQL(QStringList{QStringLiteral("UPDATE MembershipLevel"),
                         QStringLiteral("SET MemberCategory = :MemberCategory,"),
                         QStringLiteral("HighlightColour = :HighlightColour,"),
                         QStringLiteral("FontColour = :FontColour,"),
                         QStringLiteral("IncludeLongService = :IncludeLongService"),
                         QStringLiteral("WHERE MembershipLevelID = :KeyValue")});
    q.setParameter(QStringLiteral("MemberCategory"), level.MemberCategory);
    q.setParameter(QStringLiteral("HighlightColour"), int(level.HighlightColour));
    q.setParameter(QStringLiteral("FontColour"), int(level.FontColour));
    q.setParameter(QStringLiteral("IncludeLongService"), level.IncludeLongService);
    q.setParameter(QStringLiteral("KeyValue"), membershipLevelId);
    q.execute();
}

} // namespace MemberSQL
