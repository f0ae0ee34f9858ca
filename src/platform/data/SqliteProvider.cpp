// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/SqliteProvider.h"

#include "platform/data/ConnectionString.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/SqlText.h"
#include "platform/data/TextCollation.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringEncoder>
#include <QUrl>
#include <algorithm>
#include <sqlite3.h>
#include <utility>

namespace qv {

namespace {

QAtomicInt g_connectionCounter;

// Statement handle that is always finalized, so no statement is left open
// (an unfinished statement would block COMMIT and VACUUM).
class Stmt {
public:
    Stmt() = default;
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt** out() { return &m_stmt; }
    sqlite3_stmt* get() const { return m_stmt; }
    sqlite3_stmt* release() { return std::exchange(m_stmt, nullptr); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

FieldType typeFromDeclared(const char* declared, int& width) {
    width = 0;
    if (!declared)
        return FieldType::Unknown;
    const QString t = QString::fromUtf8(declared).trimmed().toLower();
    static const QRegularExpression sized(QStringLiteral("char\\s*\\(\\s*(\\d+)\\s*\\)"));
    if (t.contains(QLatin1String("char")) || t.contains(QLatin1String("text")) ||
        t.contains(QLatin1String("clob"))) {
        const auto m = sized.match(t);
        if (m.hasMatch())
            width = m.captured(1).toInt();
        return FieldType::Text;
    }
    if (t.contains(QLatin1String("date")) || t.contains(QLatin1String("time")))
        return FieldType::DateTime;
    if (t == QLatin1String("yesno") || t == QLatin1String("bit") ||
        t.startsWith(QLatin1String("bool")))
        return FieldType::Boolean;
    if (t.contains(QLatin1String("int")) || t == QLatin1String("counter") ||
        t == QLatin1String("autoincrement"))
        return FieldType::Integer;
    if (t.startsWith(QLatin1String("decimal")) || t.startsWith(QLatin1String("numeric")) ||
        t.contains(QLatin1String("money")) || t == QLatin1String("currency"))
        return FieldType::Currency;
    if (t.contains(QLatin1String("real")) || t.contains(QLatin1String("floa")) ||
        t.contains(QLatin1String("doub")))
        return FieldType::Float;
    return FieldType::Unknown;
}

QString sqlLiteral(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\'', QLatin1String("''"));
    return u'\'' + escaped + u'\'';
}

// The file path as an SQLite URI. mode=rw opens an existing file only: a
// missing register must not be replaced by a new empty one.
QByteArray fileUri(const QString& absolutePath) {
    QByteArray path = absolutePath.toUtf8();
    QByteArray encoded;
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#')
            encoded += '%' + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        else
            encoded += c;
    }
    // A path beginning "//" would read as an authority part.
    while (encoded.startsWith("//"))
        encoded.remove(0, 1);
    return "file:" + encoded + "?mode=rw";
}

void deletePattern(void* pattern) {
    delete static_cast<LikePattern*>(pattern);
}

// The connection's LIKE: ours folds case in every alphabet. The folded
// pattern is kept with the statement while its text stays the same.
void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const auto* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    if (!pattern || !text)
        return; // null in, null out
    char32_t escape = 0;
    if (argc == 3) {
        const auto* e = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
        if (!e)
            return;
        escape = firstFolded(e, size_t(sqlite3_value_bytes(argv[2])));
    }
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    auto* folded = argc == 2 ? static_cast<LikePattern*>(sqlite3_get_auxdata(context, 0)) : nullptr;
    if (!folded) {
        folded = new LikePattern(pattern, size_t(patternBytes), escape);
        if (argc == 2) {
            sqlite3_set_auxdata(context, 0, folded, deletePattern);
            // SQLite may have freed it at once when it cannot keep it.
            folded = static_cast<LikePattern*>(sqlite3_get_auxdata(context, 0));
        }
    }
    if (!folded) {
        const LikePattern once(pattern, size_t(patternBytes), escape);
        sqlite3_result_int(context, once.matches(text, size_t(sqlite3_value_bytes(argv[1]))));
        return;
    }
    sqlite3_result_int(context, folded->matches(text, size_t(sqlite3_value_bytes(argv[1]))));
    if (argc == 3)
        delete folded;
}

// A digest of every value of a result in order: two reads that give the same
// rows give the same digest, and a changed value changes it.
quint64 digestOf(const RowStore& rows) {
    size_t h = qHash(rows.columnCount());
    for (int row = 0; row < rows.rowCount(); ++row) {
        for (int column = 0; column < rows.columnCount(); ++column) {
            const Cell& cell = rows.cell(row, column);
            h = qHash((quint64(cell.type) << 32) | cell.length, h);
            if (cell.type == Cell::Integer)
                h = qHashBits(&cell.integer, sizeof cell.integer, h);
            else if (cell.type == Cell::Float)
                h = qHashBits(&cell.real, sizeof cell.real, h);
            else if (cell.type == Cell::Text)
                h = qHashBits(rows.text(cell), cell.length, h);
        }
    }
    return h;
}

int collateText(void*, int aLength, const void* a, int bLength, const void* b) {
    return compareText(static_cast<const char*>(a), size_t(aLength), static_cast<const char*>(b),
                       size_t(bLength));
}

} // namespace

QString quoteIdentifier(const QString& name) {
    QString escaped = name;
    escaped.replace(u'"', QLatin1String("\"\""));
    return u'"' + escaped + u'"';
}

SqliteProvider::SqliteProvider()
    : m_connectionName(
          QStringLiteral("qv-sqlite-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1))) {}

SqliteProvider::~SqliteProvider() {
    close();
}

QString SqliteProvider::errorMessage() const {
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
    if ((sqlite3_extended_errcode(m_db) & 0xFF) != SQLITE_BUSY)
        return message;
    return QStringLiteral("The register is in use by another program and stayed locked for %1 "
                          "seconds (%2)")
        .arg(m_busyTimeout / 1000.0)
        .arg(message);
}

// A transaction that has read cannot wait for another copy's unstored
// changes: that copy cannot store them while this one reads, so the engine
// refuses the write at once instead of waiting.
bool SqliteProvider::refusedAtOnce(qint64 elapsedMs) const {
    return (sqlite3_extended_errcode(m_db) & 0xFF) == SQLITE_BUSY &&
           !sqlite3_get_autocommit(m_db) && elapsedMs < m_busyTimeout / 2;
}

QString SqliteProvider::heldByAnotherWriter() const {
    return QStringLiteral("Another copy of Quorvane has changed the register and not yet stored "
                          "its changes, so this change was not made (%1). Neither copy can store "
                          "its changes while the other has a window open on the register: close "
                          "one of the two windows, then try again here.")
        .arg(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void SqliteProvider::fail() const {
    throw DatabaseError(errorMessage());
}

int SqliteProvider::maxPathBytes() {
    const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    return (vfs ? vfs->mxPathname : 512) - int(sizeof "-journal" - 1);
}

void SqliteProvider::checkPathLength(const QString& absolutePath) {
    const qsizetype bytes = absolutePath.toUtf8().size();
    if (bytes > maxPathBytes())
        throw DatabaseRefusal(
            QStringLiteral("The database path is too long: the file database "
                           "takes paths of at most %1 bytes, and \"%2\" has "
                           "%3 bytes. Choose a place with a shorter path.")
                .arg(QString::number(maxPathBytes()), absolutePath, QString::number(bytes)));
}

void SqliteProvider::open(const ConnectionString& cs) {
    close();
    const QString source = cs.dataSource();
    if (source.trimmed().isEmpty())
        throw DatabaseError(QStringLiteral("The connection string names no database file "
                                           "(Data Source is empty)."));
    const QFileInfo info(source);
    const QString path = info.absoluteFilePath();
    checkPathLength(path);
    const QString prefix = QStringLiteral("Could not open the database \"%1\": ").arg(path);
    if (info.isDir())
        throw DatabaseError(prefix + QString::fromUtf8(sqlite3_errstr(SQLITE_CANTOPEN)));
    // An empty file, a device or a FIFO would read as an empty database.
    if (info.exists() && (!info.isFile() || info.size() == 0))
        throw DatabaseError(prefix + QString::fromUtf8(sqlite3_errstr(SQLITE_NOTADB)));

    // Before the file is opened: a compaction in another copy replaces the
    // file, and a descriptor taken meanwhile would be left on the old one.
    if (m_lock.acquire(path, FileLock::Mode::Shared, m_busyTimeout) == FileLock::Outcome::Busy)
        throw DatabaseError(prefix + QStringLiteral("another copy of Quorvane is compacting it."));

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout));
        db.setDatabaseName(QString::fromUtf8(fileUri(path)));
        if (!db.open()) {
            const QString why = db.lastError().driverText().isEmpty()
                                    ? db.lastError().text()
                                    : db.lastError().databaseText();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            m_lock.release();
            throw DatabaseError(prefix + (why.isEmpty()
                                              ? QString::fromUtf8(sqlite3_errstr(SQLITE_CANTOPEN))
                                              : why));
        }
        const QVariant handle = db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            m_db = *static_cast<sqlite3* const*>(handle.constData());
    }
    if (!m_db) {
        close();
        throw DatabaseError(prefix + QStringLiteral("the SQLite driver gave no handle."));
    }
    m_path = path;
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, m_busyTimeout);
    try {
        // Reading the schema makes the engine look at the file's header, which
        // is where a file that is not a database is found out.
        exec("SELECT count(*) FROM sqlite_master");
        exec("PRAGMA foreign_keys = ON");
        // Text columns are declared NOCASE, whose built-in form folds ASCII
        // letters only; ours orders and compares names in every alphabet. No
        // index is built on a text column, so nothing stored depends on it.
        sqlite3_create_collation_v2(m_db, "NOCASE", SQLITE_UTF8, nullptr, collateText, nullptr);
        for (int args : {2, 3})
            sqlite3_create_function_v2(m_db, "like", args, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                       nullptr, likeFunction, nullptr, nullptr, nullptr);
        rebuildWidthGuards();
    } catch (const DatabaseError& e) {
        close();
        throw DatabaseError(prefix + e.message());
    }
}

void SqliteProvider::close() {
    // Before the handle goes: the engine does not close a connection that
    // still has statements.
    finalizeStatements();
    m_db = nullptr;
    m_skippedGuards.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    endTransaction();
    // Only once the engine has let go of the file.
    m_lock.release();
    m_path.clear();
}

QString SqliteProvider::lockFileFor(const QString& databasePath) {
    return RegisterLock::fileFor(databasePath);
}

void SqliteProvider::setBusyTimeout(int milliseconds) {
    m_busyTimeout = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

void SqliteProvider::exec(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

// An engine transaction would hold a shared lock from its first read to its
// end, and a window left open with nothing typed would keep every other copy
// from storing anything. So the engine's transaction waits for the first
// write; the rollback journal stays (a register may live in a network folder,
// where WAL does not work).
void SqliteProvider::begin() {
    m_reads.clear();
    m_transaction = Transaction::Unwritten;
}
// IMMEDIATE takes the write lock at once, waiting out another writer within
// the busy timeout; readers go on.
void SqliteProvider::beginExclusive() {
    exec("BEGIN IMMEDIATE");
    m_reads.clear();
    m_transaction = Transaction::Open;
}

void SqliteProvider::endTransaction() {
    m_transaction = Transaction::None;
    m_reads.clear();
}

void SqliteProvider::noteRead(const QString& sql, const std::vector<Value>& params,
                              const RowStore& rows) {
    const quint64 digest = digestOf(rows);
    for (const Read& read : m_reads)
        if (read.digest == digest && read.rows == rows.rowCount() && read.sql == sql &&
            read.params == params)
            return;
    // A statement read twice with different results keeps both: the window may
    // still show the first, and the write is refused unless both still hold.
    m_reads.push_back({sql, params, rows.rowCount(), digest});
}

// The plain BEGIN takes the shared lock at the first read of the check, so
// what is checked cannot change before the write; a write refused because
// another copy has unstored changes is refused at once, as it always was.
bool SqliteProvider::startWriting() {
    if (m_transaction != Transaction::Unwritten)
        return false;
    exec("BEGIN");
    m_transaction = Transaction::Open;
    try {
        for (const Read& read : m_reads) {
            Result now;
            fetch(read.sql, read.params, now);
            if (now.rows.rowCount() != read.rows || digestOf(now.rows) != read.digest)
                throw DatabaseError(changedSinceOpenedMessage());
        }
    } catch (...) {
        abandonWriting();
        throw;
    }
    return true;
}

void SqliteProvider::abandonWriting() {
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (sqlite3_get_autocommit(m_db))
        m_skippedGuards.clear(); // the rollback made them again
    // A rollback the engine refused leaves its transaction open: the next
    // write goes on in it rather than begin another.
    m_transaction = sqlite3_get_autocommit(m_db) ? Transaction::Unwritten : Transaction::Open;
}

void SqliteProvider::commit() {
    // Nothing was written: there is nothing to store and no lock to let go.
    if (m_transaction == Transaction::Unwritten) {
        endTransaction();
        return;
    }
    // Some failures (a full disk, an I/O error) make the engine roll back on
    // its own; committing then must not pass for success.
    if (sqlite3_get_autocommit(m_db)) {
        m_skippedGuards.clear();
        throw DatabaseError(QStringLiteral("The transaction was ended by an earlier error and "
                                           "its changes were rolled back."));
    }
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        endTransaction();
        // The guards dropped for the transaction are made again, outside it.
        // What is stored is stored: a guard that cannot be made again is not
        // reported as a failed commit.
        const QStringList guards = std::exchange(m_skippedGuards, {});
        try {
            for (const QString& guard : guards)
                execute(guard, {});
        } catch (const DatabaseError&) {
            qWarning("A width check of the register could not be made again.");
        }
        return;
    }
    // Another program still reading the register keeps a commit waiting; the
    // engine then leaves the transaction open for another try.
    // The engine keeps its claim on the register meanwhile, and other copies
    // cannot start reading it until this commit is tried again or given up.
    if ((sqlite3_extended_errcode(m_db) & 0xFF) == SQLITE_BUSY && !sqlite3_get_autocommit(m_db))
        throw DatabaseBusy(errorMessage() +
                           QStringLiteral(". Until these changes are stored or given up, other "
                                          "copies of Quorvane cannot open the register's lists "
                                          "and members."));
    fail();
}
void SqliteProvider::rollback() {
    endTransaction();
    // A failed statement may already have ended the transaction.
    if (!sqlite3_get_autocommit(m_db))
        exec("ROLLBACK");
    // Dropped inside the transaction, the guards are back with its rollback.
    m_skippedGuards.clear();
}

void SqliteProvider::skipInsertWidthCheck(const QString& table) {
    if (m_transaction == Transaction::None)
        throw DatabaseError(QStringLiteral("The width check is left out only inside a "
                                           "transaction."));
    // In the engine's transaction, so that a rollback brings the guard back.
    startWriting();
    Result guard;
    fetch(QStringLiteral("SELECT name, sql FROM temp.sqlite_master WHERE type = 'trigger' AND "
                         "name = ? COLLATE NOCASE"),
          {Value(QStringLiteral("qv_width_%1_insert").arg(table))}, guard);
    if (guard.rows.rowCount() == 0)
        return;
    // The engine keeps a temporary trigger's statement without its TEMP.
    const QString plain = QStringLiteral("CREATE TRIGGER ");
    const QString sql = guard.rows.textOf(guard.rows.cell(0, 1));
    if (!sql.startsWith(plain, Qt::CaseInsensitive))
        throw DatabaseError(QStringLiteral("The width check of %1 cannot be left out.").arg(table));
    execute(QStringLiteral("DROP TRIGGER temp.") +
                quoteIdentifier(guard.rows.textOf(guard.rows.cell(0, 0))),
            {});
    m_skippedGuards << QStringLiteral("CREATE TEMP TRIGGER ") + sql.mid(plain.size());
}

QString SqliteProvider::adapt(const QString& sql) const {
    return adaptJetToSqlite(sql);
}

namespace {

// Texts are written as UTF-8 one after another into `arena`, which the
// caller keeps until the statement has run and binds nothing else into
// meanwhile: the engine reads them there instead of copying each.
void bindAll(sqlite3* db, sqlite3_stmt* stmt, const std::vector<Value>& params,
             std::vector<char>& arena) {
    const int expected = sqlite3_bind_parameter_count(stmt);
    if (expected != int(params.size()))
        throw DatabaseError(QStringLiteral("The statement has %1 parameters but %2 values were "
                                           "given.")
                                .arg(expected)
                                .arg(params.size()));
    QStringEncoder utf8(QStringEncoder::Utf8);
    size_t need = 0;
    for (const Value& v : params)
        if (v.kind() == Value::Kind::Text)
            need += size_t(utf8.requiredSpace(v.toText().size()));
        else if (v.kind() == Value::Kind::DateTime)
            need += DateTimeStorageLength;
    // Never empty: a null pointer would bind an empty text as NULL.
    if (arena.size() < need + 1)
        arena.resize(need + 1);
    char* out = arena.data();
    for (int i = 0; i < expected; ++i) {
        const Value& v = params[size_t(i)];
        int rc = SQLITE_OK;
        switch (v.kind()) {
        case Value::Kind::Null:
            rc = sqlite3_bind_null(stmt, i + 1);
            break;
        case Value::Kind::Text: {
            char* start = out;
            utf8.resetState();
            out = utf8.appendToBuffer(out, v.toText());
            rc = sqlite3_bind_text64(stmt, i + 1, start, sqlite3_uint64(out - start), SQLITE_STATIC,
                                     SQLITE_UTF8);
            break;
        }
        case Value::Kind::Integer:
        case Value::Kind::Boolean:
            rc = sqlite3_bind_int64(stmt, i + 1, v.toInteger());
            break;
        case Value::Kind::Float:
            rc = sqlite3_bind_double(stmt, i + 1, v.toFloat());
            break;
        case Value::Kind::DateTime: {
            if (dateTimeToStorage(v.toDateTime(), out)) {
                rc = sqlite3_bind_text(stmt, i + 1, out, DateTimeStorageLength, SQLITE_STATIC);
                out += DateTimeStorageLength;
                break;
            }
            const QByteArray text = dateTimeToStorage(v.toDateTime()).toLatin1();
            rc = sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        }
        if (rc != SQLITE_OK)
            throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
    }
}

bool isTableDdl(const QString& sql) {
    static const QRegularExpression ddl(QStringLiteral("^\\s*(CREATE|ALTER|DROP)\\s+TABLE\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(sql).hasMatch();
}

// A statement that writes rows (rather than the schema or the transaction),
// worth keeping prepared.
bool isRowWrite(const QString& sql) {
    const QStringView text = QStringView(sql).trimmed();
    for (const char* word : {"INSERT", "UPDATE", "DELETE"})
        if (text.startsWith(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

qint64 SqliteProvider::execute(const QString& sql, const std::vector<Value>& params) {
    if (!m_db)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    const bool began = startWriting();
    bool stepped = false;
    try {
        return executeBatch(sql, params, stepped);
    } catch (...) {
        // The first write failed whole: nothing of the visit is written yet.
        if (began && !stepped)
            abandonWriting();
        throw;
    }
}

// Runs each statement of the text in turn; `stepped` tells whether one of
// them was carried out before a later one failed. A text of one statement, as
// nearly every write is (a dataset's update of a row, the change log's
// inserts), is prepared once and kept like a fetch's: with the width guards
// compiled into it, preparing a write costs more than running it.
qint64 SqliteProvider::executeBatch(const QString& sql, const std::vector<Value>& params,
                                    bool& stepped) {
    const auto found = m_statements.find(sql);
    if (found != m_statements.end()) {
        found->lastUse = ++m_fetches;
        sqlite3_stmt* stmt = found->stmt;
        bool ddl = false;
        return runStatement(stmt, &params, ddl, stepped, true);
    }
    const QByteArray utf8 = sql.toUtf8();
    const char* rest = utf8.constData();
    const char* end = rest + utf8.size();
    qint64 changed = 0;
    bool first = true;
    bool ddl = false;
    while (rest < end) {
        Stmt stmt;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(m_db, rest, int(end - rest), stmt.out(), &tail) != SQLITE_OK)
            fail();
        rest = tail;
        if (!stmt.get())
            continue; // white space or a comment
        if (!first && sqlite3_bind_parameter_count(stmt.get()) > 0)
            throw DatabaseError(QStringLiteral("Only the first statement of a batch may take "
                                               "parameters."));
        if (first && QByteArray(tail, int(end - tail)).trimmed().isEmpty() && isRowWrite(sql)) {
            sqlite3_stmt* kept = keepStatement(sql, stmt.release());
            return runStatement(kept, &params, ddl, stepped, true);
        }
        changed += runStatement(stmt.get(), first ? &params : nullptr, ddl, stepped, false);
        first = false;
    }
    if (ddl)
        rebuildWidthGuards();
    return changed;
}

// Binds `params` (when given) and steps one statement to its end; answers
// the rows it changed. A kept statement is left reset and unbound.
qint64 SqliteProvider::runStatement(sqlite3_stmt* stmt, const std::vector<Value>* params, bool& ddl,
                                    bool& stepped, bool kept) {
    const auto leave = [&] {
        if (kept) {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
        }
    };
    try {
        if (params)
            bindAll(m_db, stmt, *params, m_bindArena);
    } catch (...) {
        leave();
        throw;
    }
    if (!ddl && !kept && isTableDdl(QString::fromUtf8(sqlite3_sql(stmt)))) {
        // The guards name the table's columns; they would stop a change of them.
        ddl = true;
        dropWidthGuards();
    }
    QElapsedTimer clock;
    clock.start();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        const DatabaseError error(refusedAtOnce(clock.elapsed()) ? heldByAnotherWriter()
                                                                 : errorMessage());
        leave();
        if (ddl)
            rebuildWidthGuards();
        throw error;
    }
    const qint64 changed = sqlite3_changes64(m_db);
    stepped = true;
    leave();
    return changed;
}

namespace {

// The columns of a statement as the program knows them.
std::vector<ColumnInfo> describeColumns(sqlite3_stmt* s) {
    const int columns = sqlite3_column_count(s);
    std::vector<ColumnInfo> described(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        ColumnInfo& info = described[size_t(c)];
        info.name = QString::fromUtf8(sqlite3_column_name(s, c));
        info.baseTable = QString::fromUtf8(sqlite3_column_table_name(s, c));
        info.baseColumn = QString::fromUtf8(sqlite3_column_origin_name(s, c));
        info.type = typeFromDeclared(sqlite3_column_decltype(s, c), info.width);
    }
    nameRepeatedColumns(described);
    return described;
}

// Leaves a kept statement reset and its values unbound, however the fetch
// ends.
class ResetAfterUse {
public:
    explicit ResetAfterUse(sqlite3_stmt* stmt)
        : m_stmt(stmt) {}
    ~ResetAfterUse() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    ResetAfterUse(const ResetAfterUse&) = delete;
    ResetAfterUse& operator=(const ResetAfterUse&) = delete;

private:
    sqlite3_stmt* m_stmt;
};

constexpr int kKeptStatements = 64;

} // namespace

SqliteProvider::KeptStatement& SqliteProvider::keptStatement(const QString& sql) {
    const auto found = m_statements.find(sql);
    if (found != m_statements.end()) {
        found->lastUse = ++m_fetches;
        return *found;
    }
    const QByteArray utf8 = sql.toUtf8();
    Stmt stmt;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), stmt.out(), nullptr) !=
        SQLITE_OK)
        fail();
    if (!stmt.get())
        throw DatabaseError(QStringLiteral("The command text holds no statement."));
    keepStatement(sql, stmt.release());
    return m_statements[sql];
}

sqlite3_stmt* SqliteProvider::keepStatement(const QString& sql, sqlite3_stmt* prepared) {
    if (m_statements.size() >= kKeptStatements) {
        const auto oldest = std::min_element(
            m_statements.begin(), m_statements.end(),
            [](const KeptStatement& a, const KeptStatement& b) { return a.lastUse < b.lastUse; });
        sqlite3_finalize(oldest->stmt);
        m_statements.erase(oldest);
    }
    KeptStatement& kept = m_statements[sql];
    kept.stmt = prepared;
    kept.lastUse = ++m_fetches;
    return kept.stmt;
}

void SqliteProvider::forgetStatement(const QString& sql) {
    const auto found = m_statements.find(sql);
    if (found == m_statements.end())
        return;
    sqlite3_finalize(found->stmt);
    m_statements.erase(found);
}

void SqliteProvider::finalizeStatements() {
    for (const KeptStatement& kept : std::as_const(m_statements))
        sqlite3_finalize(kept.stmt);
    m_statements.clear();
}

void SqliteProvider::fetch(const QString& sql, const std::vector<Value>& params, Result& out) {
    if (!m_db)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    // A statement that writes as it returns rows is a write like any other.
    const bool began = m_transaction == Transaction::Unwritten &&
                       !sqlite3_stmt_readonly(keptStatement(sql).stmt) && startWriting();
    try {
        fetchRows(sql, params, out);
    } catch (...) {
        if (began)
            abandonWriting();
        throw;
    }
    if (m_transaction == Transaction::Unwritten)
        noteRead(sql, params, out.rows);
}

void SqliteProvider::fetchRows(const QString& sql, const std::vector<Value>& params, Result& out) {
    KeptStatement& kept = keptStatement(sql);
    sqlite3_stmt* s = kept.stmt;
    QString failure;
    {
        const ResetAfterUse reset(s);
        bindAll(m_db, s, params, m_bindArena);
        // The columns after the first step: a change of the schema since the
        // last fetch makes the engine prepare the statement again there, and
        // a "*" may then stand for other columns.
        int rc = sqlite3_step(s);
        const int prepares = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0);
        if (kept.prepares != prepares) {
            kept.columns = describeColumns(s);
            kept.prepares = prepares;
        }
        out.columns = kept.columns;
        const int columns = int(out.columns.size());
        out.rows.reset(columns);
        for (; rc == SQLITE_ROW; rc = sqlite3_step(s)) {
            const int row = out.rows.appendRow();
            for (int c = 0; c < columns; ++c) {
                Cell& cell = out.rows.cell(row, c);
                switch (sqlite3_column_type(s, c)) {
                case SQLITE_INTEGER:
                    out.rows.setInteger(cell, sqlite3_column_int64(s, c));
                    break;
                case SQLITE_FLOAT:
                    out.rows.setFloat(cell, sqlite3_column_double(s, c));
                    break;
                case SQLITE_TEXT: {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
                    out.rows.setText(cell, text, size_t(sqlite3_column_bytes(s, c)));
                    break;
                }
                case SQLITE_BLOB: {
                    const auto* data = static_cast<const char*>(sqlite3_column_blob(s, c));
                    out.rows.setText(cell, data, size_t(sqlite3_column_bytes(s, c)));
                    break;
                }
                default:
                    break;
                }
            }
        }
        if (rc == SQLITE_DONE)
            return;
        failure = errorMessage();
    }
    // Prepared afresh next time: a statement the engine could not prepare
    // again after a change of the schema is not kept.
    forgetStatement(sql);
    throw DatabaseError(failure);
}

qint64 SqliteProvider::insertRow(const QString& table, const QString& /*keyColumn*/,
                                 const QStringList& columns, const std::vector<Value>& values) {
    QString sql = QStringLiteral("INSERT INTO ") + quoteIdentifier(table);
    if (columns.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList quoted, marks;
        for (const QString& c : columns) {
            quoted << quoteIdentifier(c);
            marks << QStringLiteral("?");
        }
        sql += QStringLiteral(" (") + quoted.join(QStringLiteral(", ")) +
               QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + u')';
    }
    execute(sql, values);
    return sqlite3_last_insert_rowid(m_db);
}

QStringList SqliteProvider::tableColumns(const QString& table) {
    Result r;
    fetch(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {Value(table)}, r);
    QStringList names;
    for (int row = 0; row < r.rows.rowCount(); ++row)
        names << r.rows.textOf(r.rows.cell(row, 0));
    return names;
}

void SqliteProvider::dropWidthGuards() {
    Result existing;
    fetch(QStringLiteral("SELECT name FROM temp.sqlite_master WHERE type = 'trigger' AND name "
                         "LIKE 'qv_width_%'"),
          {}, existing);
    for (int row = 0; row < existing.rows.rowCount(); ++row)
        execute(QStringLiteral("DROP TRIGGER temp.") +
                    quoteIdentifier(existing.rows.textOf(existing.rows.cell(row, 0))),
                {});
}

void SqliteProvider::rebuildWidthGuards() {
    dropWidthGuards();
    Result tables;
    fetch(QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT "
                         "LIKE 'sqlite%'"),
          {}, tables);
    for (int t = 0; t < tables.rows.rowCount(); ++t) {
        const QString table = tables.rows.textOf(tables.rows.cell(t, 0));
        Result cols;
        fetch(QStringLiteral("SELECT name, type FROM pragma_table_info(?)"), {Value(table)}, cols);
        QStringList conditions, raises;
        for (int c = 0; c < cols.rows.rowCount(); ++c) {
            const QString column = cols.rows.textOf(cols.rows.cell(c, 0));
            int width = 0;
            const QByteArray declared = cols.rows.textOf(cols.rows.cell(c, 1)).toUtf8();
            if (typeFromDeclared(declared.constData(), width) != FieldType::Text || width <= 0)
                continue;
            const QString test =
                QStringLiteral("length(NEW.%1) > %2").arg(quoteIdentifier(column)).arg(width);
            conditions << test;
            raises << QStringLiteral("SELECT RAISE(ABORT, %1) WHERE %2;")
                          .arg(sqlLiteral(QStringLiteral("The text for %1.%2 is too long: the "
                                                         "column holds at most %3 characters")
                                              .arg(table, column)
                                              .arg(width)),
                               test);
        }
        if (conditions.isEmpty())
            continue;
        for (const char* event : {"INSERT", "UPDATE"}) {
            const QString name =
                QStringLiteral("qv_width_%1_%2").arg(table, QString::fromLatin1(event).toLower());
            execute(QStringLiteral("CREATE TEMP TRIGGER %1 BEFORE %2 ON %3 WHEN %4 BEGIN %5 END")
                        .arg(quoteIdentifier(name), QString::fromLatin1(event),
                             quoteIdentifier(table), conditions.join(QStringLiteral(" OR ")),
                             raises.join(u' ')),
                    {});
        }
    }
}

} // namespace qv
