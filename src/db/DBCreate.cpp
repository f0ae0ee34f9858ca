// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/DBCreate.h"

#include "db/DBConnectionStrings.h"
#include "db/TableCreate.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"
#include "platform/data/SqliteProvider.h"
#include "platform/data/Transaction.h"
#include "platform/os/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DBCreate {

namespace {

// Marks the file as one of ours in the engine's header; writing it also makes
// the file a complete, non-empty database. A journal in memory leaves no
// second file behind when the program is killed.
QString initialise(const QString& path) {
    sqlite3* db = nullptr;
    const QByteArray name = path.toUtf8();
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QString error;
    if (rc == SQLITE_OK) {
        char* message = nullptr;
        const QByteArray statements = "PRAGMA journal_mode = MEMORY; PRAGMA application_id = " +
                                      QByteArray::number(ApplicationId);
        rc = sqlite3_exec(db, statements.constData(), nullptr, nullptr, &message);
        if (rc != SQLITE_OK)
            error = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
    } else {
        error = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    }
    sqlite3_close(db);
    return error;
}

} // namespace

QString CreateAccessDatabase(const QString& path) {
    if (path.trimmed().isEmpty())
        return QStringLiteral("No file name was given for the new database.");
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL: an existing file, even one appearing at this moment, is never
    // taken over.
    const int fd = ::open(native.constData(), O_CREAT | O_EXCL | O_RDWR, 0666);
    if (fd < 0) {
        const int err = errno;
        if (err == EEXIST)
            return QStringLiteral("Database already exists: %1").arg(path);
        return QStringLiteral("Could not create %1: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(err)));
    }
    ::close(fd);
    const QString error = initialise(path);
    if (!error.isEmpty()) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        return QStringLiteral("Could not create %1: %2").arg(path, error);
    }
    return {};
}

namespace {

QString CouldNotCreate(const QString& path, const QString& why) {
    return QStringLiteral("Could not create %1: %2").arg(path, why);
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// "A, B and C".
QString ListOf(const QStringList& names) {
    if (names.size() < 2)
        return names.join(QString());
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           names.last();
}

} // namespace

void CreateAccessRegister(const QString& path, const RegisterFiller& fill) {
    if (path.trimmed().isEmpty())
        throw qv::DatabaseError(QStringLiteral("No file name was given for the new database."));
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    qv::SqliteProvider::checkPathLength(info.absoluteFilePath());
    if (info.exists() || info.isSymLink())
        throw qv::DatabaseError(QStringLiteral("Database already exists: %1").arg(path));
    if (!QFileInfo(folder).isDir())
        throw qv::DatabaseError(CouldNotCreate(path, SystemError(ENOENT)));

    qv::FileSystem::TemporaryFile temp = qv::FileSystem::createTemporaryIn(folder);
    if (temp.fd < 0)
        throw qv::DatabaseError(CouldNotCreate(path, SystemError(errno)));
    try {
        // A name shorter than the temporary one's may fit where that does not.
        if (temp.path.toUtf8().size() > qv::SqliteProvider::maxPathBytes())
            throw qv::DatabaseRefusal(
                QStringLiteral("The database path is too long: the folder \"%1\" leaves no room "
                               "for the temporary file a new register is built in. Choose a "
                               "place with a shorter path.")
                    .arg(folder));
        if (const QString error = initialise(temp.path); !error.isEmpty())
            throw qv::DatabaseError(CouldNotCreate(path, error));
        {
            qv::Connection connection;
            connection.setConnectionString(DBConnectionStrings::AccessConnectionString(temp.path));
            connection.open();
            connection.execute(QStringLiteral("PRAGMA journal_mode = MEMORY"));
            qv::TransactionGuard transaction(connection);
            TableCreate::CreateTables(connection);
            if (fill)
                fill(connection);
            transaction.commit();
        }
        // The temporary file is private; the register gets the mode of any new file.
        if (!qv::FileSystem::placeTemporary(temp, info.absoluteFilePath(),
                                            qv::FileSystem::newFileMode(),
                                            qv::FileSystem::Placing::NoReplace)) {
            const int error = errno;
            throw qv::DatabaseError(error == EEXIST
                                        ? QStringLiteral("Database already exists: %1").arg(path)
                                        : CouldNotCreate(path, SystemError(error)));
        }
    } catch (...) {
        qv::FileSystem::discardTemporary(temp);
        throw;
    }
}

void CheckRegisterFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return;
    const auto refuse = [&path](const QString& what) {
        throw qv::DatabaseRefusal(QStringLiteral("\"%1\" %2").arg(path, what));
    };
    if (S_ISDIR(info.st_mode))
        refuse(QStringLiteral("is a folder, not a database file. Choose the register file in it."));
    if (S_ISFIFO(info.st_mode))
        refuse(QStringLiteral("is a named pipe (FIFO), not a database file."));
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        refuse(QStringLiteral("is a device, not a database file."));
    if (!S_ISREG(info.st_mode))
        refuse(QStringLiteral("is not a regular file, so it cannot be a database file."));
    if (info.st_size == 0)
        refuse(QStringLiteral("is empty: it is not a Quorvane register."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("cannot be read (%1).").arg(file.errorString()));
    static const QByteArray Header("SQLite format 3", 16); // with its closing zero byte
    if (file.read(Header.size()) != Header)
        refuse(QStringLiteral("is not a Quorvane register: it is not a database file."));
}

void CheckRegister(qv::Connection& connection) {
    if (connection.kind() != qv::ConnectionString::Kind::File)
        return;
    qv::Query query(&connection);
    query.setSQL(QStringLiteral("PRAGMA application_id"));
    qv::Result result;
    query.fetch(result);
    const bool marked = result.rows.rowCount() == 1 &&
                        result.rows.value(result.rows.cell(0, 0)).toInteger() == ApplicationId;

    query.setSQL(QStringLiteral("SELECT type, name FROM sqlite_master WHERE type IN ('table', "
                                "'index')"));
    query.fetch(result);
    QStringList present;
    for (int row = 0; row < result.rows.rowCount(); ++row)
        present << result.rows.textOf(result.rows.cell(row, 0)) + u':' +
                       result.rows.textOf(result.rows.cell(row, 1)).toLower();
    QStringList tables, indexes;
    for (const QString& name : TableCreate::TableNames())
        if (!present.contains(QStringLiteral("table:") + name.toLower()))
            tables << name;
    // A register of an older version may have been made without our indexes.
    if (marked)
        for (const QString& name : TableCreate::IndexNames())
            if (!present.contains(QStringLiteral("index:") + name.toLower()))
                indexes << name;
    if (tables.isEmpty() && indexes.isEmpty())
        return;

    const QString file = qv::ConnectionString::parse(connection.connectionString()).dataSource();
    if (!marked && (tables.contains(QStringLiteral("Members")) ||
                    tables.contains(QStringLiteral("DatesJoined"))))
        throw qv::DatabaseRefusal(
            QStringLiteral("The database file \"%1\" is not a Quorvane register: it holds no "
                           "member tables. Choose the register file, or create a new database.")
                .arg(file));
    QStringList missing;
    if (!tables.isEmpty())
        missing << (tables.size() == 1 ? QStringLiteral("the table ")
                                       : QStringLiteral("the tables ")) +
                       ListOf(tables);
    if (!indexes.isEmpty())
        missing << (indexes.size() == 1 ? QStringLiteral("the index ")
                                        : QStringLiteral("the indexes ")) +
                       ListOf(indexes);
    throw qv::DatabaseRefusal(
        marked ? QStringLiteral("The database file \"%1\" is an incomplete register: it lacks %2. "
                                "Its creation did not finish; create a new database or choose "
                                "another file.")
                     .arg(file, missing.join(QStringLiteral(", and ")))
               : QStringLiteral("The database file \"%1\" is not a complete Quorvane register: "
                                "it lacks %2. Choose the register file, or create a new "
                                "database.")
                     .arg(file, missing.join(QStringLiteral(", and "))));
}

QString CreateDatabaseStatement(const QString& databaseName) {
    QString quoted = databaseName;
    quoted.replace(u']', QLatin1String("]]"));
    return QStringLiteral("CREATE DATABASE [") + quoted + u']';
}

void CreateSQLServerDatabase(const QString& serverName, const QString& databaseName) {
    qv::Connection connection;
    connection.setConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                       "Data Source=") +
        serverName);
    connection.open();
    connection.execute(CreateDatabaseStatement(databaseName));
}

namespace {

QString quotedName(const QString& name) {
    QString doubled = name;
    doubled.replace(u'"', QLatin1String("\"\""));
    return u'"' + doubled + u'"';
}

// Runs one statement on the server's maintenance database.
void onMaintenanceDatabase(const QString& serverName, const QString& statement) {
    QString firstFailure;
    for (const char* maintenance : {"postgres", "template1"}) {
        qv::Connection connection;
        connection.setConnectionString(DBConnectionStrings::PostgreSQLConnectionString(
            serverName, QString::fromLatin1(maintenance)));
        try {
            connection.open();
        } catch (const qv::DatabaseError& e) {
            // A server without the usual maintenance database still has template1.
            if (!e.message().contains(QLatin1String("does not exist")))
                throw;
            if (firstFailure.isEmpty())
                firstFailure = e.message();
            continue;
        }
        connection.execute(statement);
        return;
    }
    throw qv::DatabaseError(firstFailure);
}

} // namespace

QString CreatePostgreSQLDatabaseStatement(const QString& databaseName) {
    return QStringLiteral("CREATE DATABASE ") + quotedName(databaseName) +
           QStringLiteral(" TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'");
}

QString PostgreSQLDatabaseNameProblem(const QString& databaseName) {
    if (databaseName.isEmpty())
        return QStringLiteral("You must enter a database name.");
    const qsizetype bytes = databaseName.toUtf8().size();
    if (bytes > PostgreSQLNameBytes)
        return QStringLiteral("The database name \"%1\" is too long: PostgreSQL keeps at most %2 "
                              "bytes of a name, and this one has %3 (a letter outside plain "
                              "English takes two or more). Choose a shorter name.")
            .arg(databaseName, QString::number(PostgreSQLNameBytes), QString::number(bytes));
    return QString();
}

void CreatePostgreSQLDatabase(const QString& serverName, const QString& databaseName) {
    if (const QString problem = PostgreSQLDatabaseNameProblem(databaseName); !problem.isEmpty())
        throw qv::DatabaseRefusal(problem);
    onMaintenanceDatabase(serverName, CreatePostgreSQLDatabaseStatement(databaseName));
}

void DropPostgreSQLDatabase(const QString& serverName, const QString& databaseName) {
    try {
        onMaintenanceDatabase(serverName, QStringLiteral("DROP DATABASE IF EXISTS ") +
                                              quotedName(databaseName));
    } catch (const qv::DatabaseError&) {
        // Left for the user to remove; the error that led here is the one to report.
    }
}

} // namespace DBCreate
