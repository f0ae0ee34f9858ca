// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchSupport.h"

#include "RegisterGenerator.h"

#include "db/DBConnectionStrings.h"
#include "platform/data/Connection.h"
#include "platform/data/SqlText.h"
#include "settings/MemberSettings.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace qv::bench {

Options& Options::number(const char* name, int& value, int atLeast) {
    m_options.push_back({QString::fromLatin1(name), 1, [&value, atLeast](const QStringList& v) {
                             value = std::max(atLeast, v[0].toInt());
                         }});
    return *this;
}

Options& Options::number(const char* name, quint64& value) {
    m_options.push_back({QString::fromLatin1(name), 1,
                         [&value](const QStringList& v) { value = v[0].toULongLong(); }});
    return *this;
}

Options& Options::numbers(const char* name, std::vector<int>& values) {
    m_options.push_back({QString::fromLatin1(name), 1, [&values](const QStringList& v) {
                             values.clear();
                             for (const QString& n : v[0].split(u','))
                                 values.push_back(n.toInt());
                         }});
    return *this;
}

Options& Options::texts(const char* name, int count, QStringList& values) {
    m_options.push_back(
        {QString::fromLatin1(name), count, [&values](const QStringList& v) { values = v; }});
    return *this;
}

Options& Options::flag(const char* name, bool& value) {
    m_options.push_back(
        {QString::fromLatin1(name), 0, [&value](const QStringList&) { value = true; }});
    return *this;
}

Options& Options::argument(QString& value) {
    m_argument = &value;
    return *this;
}

void Options::parse(const QStringList& arguments) const {
    const auto usage = [&] {
        std::fprintf(stderr, "usage: %s %s\n", qPrintable(arguments.value(0)), m_usage);
        std::exit(1);
    };
    bool argumentGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const auto option = std::find_if(m_options.begin(), m_options.end(),
                                         [&](const Option& o) { return o.name == arguments[i]; });
        if (option != m_options.end() && i + option->count < arguments.size()) {
            option->set(arguments.mid(i + 1, option->count));
            i += option->count;
        } else if (option == m_options.end() && m_argument && !argumentGiven &&
                   !arguments[i].startsWith(u'-')) {
            *m_argument = arguments[i];
            argumentGiven = true;
        } else {
            usage();
        }
    }
    if (m_argument && !argumentGiven)
        usage();
}

OwnSettings::OwnSettings() {
    MemberSettings::SetSettingsFolder(m_folder.path());
}

QString Register(int members, quint64 seed) {
    qint64 generatedMs = 0;
    const QString path = CachedRegister(members, seed, &generatedMs);
    if (generatedMs > 0)
        std::printf("(generated %d members in %lld ms)\n", members, generatedMs);
    return path;
}

std::unique_ptr<qv::Connection> OpenRegister(const QString& path) {
    auto connection = std::make_unique<qv::Connection>();
    connection->setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection->open();
    return connection;
}

QByteArray BareSql(const QString& sql) {
    return qv::prepareParameters(qv::adaptJetToSqlite(sql)).text.toUtf8();
}

void PaintNow(QWidget* widget, const PaintCounter& counter, int before) {
    QApplication::processEvents();
    if (counter.paints == before)
        widget->repaint();
}

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

namespace {

double runBareBound(sqlite3* db, const QByteArray& text, int parameters,
                    const std::function<void(sqlite3_stmt*, int)>& bind, int& rows,
                    quint64& checksum) {
    const Clock::time_point start = Clock::now();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "prepare failed: %s\n", sqlite3_errmsg(db));
        std::exit(2);
    }
    for (int p = 1; p <= parameters; ++p)
        bind(stmt, p);
    rows = readRows(stmt, checksum);
    sqlite3_finalize(stmt);
    return msSince(start);
}

} // namespace

int readRows(sqlite3_stmt* stmt, quint64& checksum) {
    const int columns = sqlite3_column_count(stmt);
    int rows = 0;
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
    return rows;
}

double runBare(sqlite3* db, const QByteArray& text, int parameters, const QByteArray& value,
               int& rows, quint64& checksum) {
    return runBareBound(
        db, text, parameters,
        [&value](sqlite3_stmt* stmt, int p) {
            sqlite3_bind_text(stmt, p, value.constData(), int(value.size()), SQLITE_STATIC);
        },
        rows, checksum);
}

double runBare(sqlite3* db, const QByteArray& text, int parameters, qint64 value, int& rows,
               quint64& checksum) {
    return runBareBound(
        db, text, parameters,
        [value](sqlite3_stmt* stmt, int p) { sqlite3_bind_int64(stmt, p, value); }, rows, checksum);
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
