#include "db/DBCreate.h"

#include "platform/data/Connection.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace DBCreate {

namespace {

// Marks the file as one of ours in the engine's header ("QVRN"); writing it
// also makes the file a complete, non-empty database.
constexpr const char* kApplicationId = "PRAGMA application_id = 1364627022";

QString initialise(const QString& path) {
    sqlite3* db = nullptr;
    const QByteArray name = path.toUtf8();
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QString error;
    if (rc == SQLITE_OK) {
        char* message = nullptr;
        rc = sqlite3_exec(db, kApplicationId, nullptr, nullptr, &message);
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

} // namespace DBCreate
