// SPDX-License-Identifier: GPL-3.0-or-later
#include "PgRegister.h"

#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/PgProvider.h"
#include "platform/data/Transaction.h"

#include <libpq-fe.h>
#include <sqlite3.h>

namespace qv::bench {
namespace {

// Parents before the tables that point to them, each with its key.
struct Table {
    const char* name;
    const char* key;
};
const Table kTables[] = {
    {"MembershipLevel", "MembershipLevelID"}, {"Members", "MemberID"},
    {"DatesJoined", "DatesJoinedID"},         {"Assets", "AssetID"},
    {"MemberAssets", "MemberAssetID"},        {"Profiles", "ProfileID"},
    {"MemberProfiles", "MemberProfileID"},    {"FeePayments", "FeePaymentID"},
    {"MemberNotes", "MemberNotesID"},         {"FileAttachments", "FileAttachmentID"}};

[[noreturn]] void failPg(PGconn* conn, PGresult* r = nullptr) {
    const QString message = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(conn));
    PQclear(r);
    throw DatabaseError(message.trimmed());
}

// One value in COPY's text format.
void appendCopyValue(QByteArray& line, sqlite3_stmt* stmt, int column) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL) {
        line += "\\N";
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    const int length = sqlite3_column_bytes(stmt, column);
    for (int i = 0; i < length; ++i) {
        switch (text[i]) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += text[i];
        }
    }
}

void copyTable(sqlite3* source, PGconn* conn, const char* table) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray select = QByteArray("SELECT * FROM ") + table;
    if (sqlite3_prepare_v2(source, select.constData(), -1, &stmt, nullptr) != SQLITE_OK)
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(source)));
    QByteArrayList names;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c)
        names << sqlite3_column_name(stmt, c);
    const QByteArray copy = QByteArray("COPY ") + table + " (" + names.join(", ") + ") FROM STDIN";
    PGresult* r = PQexec(conn, copy.constData());
    if (PQresultStatus(r) != PGRES_COPY_IN) {
        sqlite3_finalize(stmt);
        failPg(conn, r);
    }
    PQclear(r);
    QByteArray chunk;
    bool sent = true;
    while (sent && sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < names.size(); ++c) {
            if (c)
                chunk += '\t';
            appendCopyValue(chunk, stmt, c);
        }
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
            sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
            chunk.clear();
        }
    }
    sqlite3_finalize(stmt);
    if (sent && !chunk.isEmpty())
        sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
    if (PQputCopyEnd(conn, sent ? nullptr : "the copy was interrupted") != 1)
        failPg(conn);
    r = PQgetResult(conn);
    if (PQresultStatus(r) != PGRES_COMMAND_OK)
        failPg(conn, r);
    PQclear(r);
    while ((r = PQgetResult(conn)))
        PQclear(r);
}

} // namespace

void CopyRegister(const QString& filePath, Connection& target) {
    auto* pg = dynamic_cast<PgProvider*>(&target.provider());
    if (!pg)
        throw DatabaseError(QStringLiteral("The target of the copy is not a PostgreSQL register."));
    sqlite3* source = nullptr;
    if (sqlite3_open_v2(filePath.toUtf8().constData(), &source, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(source));
        sqlite3_close(source);
        throw DatabaseError(message);
    }
    try {
        TransactionGuard transaction(target);
        target.execute(QStringLiteral("DELETE FROM MembershipLevel"));
        for (const Table& table : kTables) {
            copyTable(source, pg->handle(), table.name);
            target.execute(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                                          "coalesce(max(%2), 0) + 1, false) FROM %1")
                               .arg(QString::fromLatin1(table.name).toLower(),
                                    QString::fromLatin1(table.key).toLower()));
        }
        transaction.commit();
    } catch (...) {
        sqlite3_close(source);
        throw;
    }
    sqlite3_close(source);
    target.execute(QStringLiteral("ANALYZE"));
}

} // namespace qv::bench
