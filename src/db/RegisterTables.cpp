// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/RegisterTables.h"

#include "db/ChangeLog.h"
#include "db/RegisterSettings.h"
#include "db/TableCreate.h"
#include "platform/data/Connection.h"

#include <QRegularExpression>

namespace RegisterTables {

namespace {

// Each membership level's annual fee by membership year (renewals).
QStringList levelFeeStatements(const QString& connectionString) {
    const TableCreate::ColumnTypeWords t = TableCreate::ColumnTypes(connectionString);
    return {
        QStringLiteral("CREATE TABLE LevelFees (LevelFeeID ") + t.key +
            QStringLiteral(", MembershipLevelID int NOT NULL, MembershipYear ") + t.integer +
            QStringLiteral(" NOT NULL, Fee ") + t.money +
            QStringLiteral(" NOT NULL, CONSTRAINT fkLevelFeesMembershipLevelID FOREIGN "
                           "KEY(MembershipLevelID) REFERENCES MembershipLevel(MembershipLevelID) "
                           "ON DELETE CASCADE)"),
        QStringLiteral("CREATE UNIQUE INDEX ixLevelFeesLevelYear ON LevelFees (MembershipLevelID, "
                       "MembershipYear)"),
    };
}

} // namespace

const std::vector<TableSet>& Sets() {
    static const std::vector<TableSet> sets = {
        {QStringLiteral("ChangeLogRows"), &ChangeLog::TableStatements, {}},
        {QStringLiteral("ChangeLogValues"), &ChangeLog::ValueTableStatements, {}},
        {QStringLiteral("RegisterSettings"),
         &RegisterSettings::TableStatements,
         {{QStringLiteral("RegisterSettings"), QStringLiteral("RegisterSettingID"), QString()}}},
        {QStringLiteral("LevelFees"),
         &levelFeeStatements,
         {{QStringLiteral("LevelFees"), QStringLiteral("LevelFeeID"), QString()}},
         {{QStringLiteral("MembershipLevel"), QStringLiteral("LevelFees"),
           QStringLiteral("MembershipLevelID")}}},
        // Letter templates by name, the body as Qt rich text.
        {QStringLiteral("LetterTemplates"),
         [](const QString& cs) {
             const TableCreate::ColumnTypeWords t = TableCreate::ColumnTypes(cs);
             return QStringList{
                 QStringLiteral("CREATE TABLE LetterTemplates (LetterTemplateID ") + t.key +
                     QStringLiteral(", TemplateName varchar(50) NOT NULL, Body ") + t.longText +
                     u')',
                 QStringLiteral("CREATE UNIQUE INDEX ixLetterTemplatesName ON LetterTemplates "
                                "(TemplateName)"),
             };
         },
         {{QStringLiteral("LetterTemplates"), QStringLiteral("LetterTemplateID"), QString()}}},
        // The column mappings of the spreadsheet import, found again by the
        // file's column names (HeaderSignature) or by name. The log does not
        // follow them: a mapping is a convenience of the import, not the
        // register's data, and undoing an import keeps it for the next try.
        {QStringLiteral("ImportMappings"),
         [](const QString& connectionString) {
             const TableCreate::ColumnTypeWords t = TableCreate::ColumnTypes(connectionString);
             return QStringList{
                 QStringLiteral("CREATE TABLE ImportMappings (ImportMappingID ") + t.key +
                     QStringLiteral(", HeaderSignature varchar(40) NOT NULL, MappingName "
                                    "varchar(50) NOT NULL, Mapping ") +
                     t.longText + u')',
                 QStringLiteral("CREATE INDEX ixImportMappingsSignature ON ImportMappings "
                                "(HeaderSignature)")};
         },
         {}},
    };
    return sets;
}

bool HasTable(qv::Connection& connection, const QString& name) {
    QString probe;
    switch (connection.kind()) {
    case qv::ConnectionString::Kind::File:
        probe = QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                               "lower(name) = lower(?)");
        break;
    case qv::ConnectionString::Kind::PostgreSQL:
        probe = QStringLiteral("SELECT count(*) FROM pg_catalog.pg_tables WHERE tablename = "
                               "lower(?) AND schemaname = current_schema()");
        break;
    case qv::ConnectionString::Kind::Server:
        probe = QStringLiteral("SELECT count(*) FROM sys.tables WHERE name = ?");
        break;
    }
    qv::Result result;
    connection.provider().fetch(probe, {qv::Value(name)}, result);
    return result.rows.rowCount() > 0 && result.rows.value(result.rows.cell(0, 0)).toInteger() > 0;
}

bool HasAll(qv::Connection& connection) {
    for (const TableSet& set : Sets())
        if (!HasTable(connection, set.probe))
            return false;
    return true;
}

bool CreateMissing(qv::Connection& connection) {
    bool made = false;
    for (const TableSet& set : Sets()) {
        if (HasTable(connection, set.probe))
            continue;
        for (const QString& statement : set.statements(connection.connectionString()))
            connection.execute(statement);
        made = true;
    }
    return made;
}

const std::vector<FollowedTable>& Followed() {
    static const std::vector<FollowedTable> followed = [] {
        std::vector<FollowedTable> all;
        for (const TableSet& set : Sets())
            all.insert(all.end(), set.followed.begin(), set.followed.end());
        return all;
    }();
    return followed;
}

const std::vector<Cascade>& Cascades() {
    static const std::vector<Cascade> cascades = [] {
        std::vector<Cascade> all;
        for (const TableSet& set : Sets())
            all.insert(all.end(), set.cascades.begin(), set.cascades.end());
        return all;
    }();
    return cascades;
}

QStringList ColumnNames() {
    // "CREATE TABLE T (A type, B type, CONSTRAINT ...)": the first word of each
    // part inside the outer parentheses.
    static const QStringList names = [] {
        QStringList all;
        static const QRegularExpression create(
            QStringLiteral(R"(^\s*CREATE\s+TABLE\s+\w+\s*\((.*)\)\s*$)"),
            QRegularExpression::CaseInsensitiveOption |
                QRegularExpression::DotMatchesEverythingOption);
        for (const TableSet& set : Sets()) {
            for (const QString& statement : set.statements(QStringLiteral("x.mdb"))) {
                const QRegularExpressionMatch m = create.match(statement);
                if (!m.hasMatch())
                    continue;
                int depth = 0;
                QString part;
                const QString body = m.captured(1) + u',';
                for (const QChar c : body) {
                    if (c == u'(')
                        ++depth;
                    else if (c == u')')
                        --depth;
                    if (c == u',' && depth == 0) {
                        const QString word = part.trimmed().section(u' ', 0, 0);
                        if (!word.isEmpty() &&
                            word.compare(QLatin1String("CONSTRAINT"), Qt::CaseInsensitive) != 0)
                            all << word;
                        part.clear();
                    } else {
                        part += c;
                    }
                }
            }
        }
        return all;
    }();
    return names;
}

} // namespace RegisterTables
