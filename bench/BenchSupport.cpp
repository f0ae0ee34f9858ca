#include "BenchSupport.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace qv::bench {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

qint64 procStatusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

bool resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

double runBare(sqlite3* db, const QByteArray& text, int parameters, const QByteArray& value,
               int& rows, quint64& checksum) {
    const Clock::time_point start = Clock::now();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "prepare failed: %s\n", sqlite3_errmsg(db));
        std::exit(2);
    }
    for (int p = 1; p <= parameters; ++p)
        sqlite3_bind_text(stmt, p, value.constData(), int(value.size()), SQLITE_STATIC);
    const int columns = sqlite3_column_count(stmt);
    rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                checksum += quint64(sqlite3_column_int64(stmt, c));
                break;
            case SQLITE_FLOAT:
                checksum += quint64(sqlite3_column_double(stmt, c));
                break;
            case SQLITE_TEXT:
                checksum += *sqlite3_column_text(stmt, c) + quint64(sqlite3_column_bytes(stmt, c));
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(stmt);
    return msSince(start);
}

BareEngine::BareEngine(const QString& path) {
    const QByteArray name = path.toUtf8();
    if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s: %s\n", name.constData(), sqlite3_errmsg(m_db));
        std::exit(1);
    }
}

BareEngine::~BareEngine() {
    sqlite3_close(m_db);
}

} // namespace qv::bench
