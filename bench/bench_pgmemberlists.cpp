// SPDX-License-Identifier: GPL-3.0-or-later
// The member list queries on a PostgreSQL register: each opened through our
// layers (Dataset::open, all rows fetched into memory) and, in the same run,
// by psql running the same SQL on the same server, timed by psql's own
// \timing (the query sent, run and every row received; printing excluded).
// Prints the median times and their ratio.
//
// Needs a server: run it under pg_virtualenv, which makes a throw-away one,
//   pg_virtualenv ./build/bench/bench_pgmemberlists [--members 100000] [--runs 5] [--seed 1]
// or with PGHOST, PGPORT and a login of one's own. The generated register
// (bench/RegisterGenerator.h) is loaded into a new database, which is
// dropped at the end.

#include "BenchSupport.h"
#include "MemberListCases.h"
#include "PgRegister.h"
#include "RegisterGenerator.h"

#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/TableCreate.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/data/SqlText.h"
#include "settings/MemberSettings.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>

namespace {

using namespace qv::bench;

QString serverFromEnvironment() {
    const QString host = qEnvironmentVariable("PGHOST");
    const QString port = qEnvironmentVariable("PGPORT");
    return port.isEmpty() ? host : host + u':' + port;
}

// The statement as psql runs it: the search value written in as a literal
// where ours binds it as a parameter.
QString withLiteral(const QString& sql, const QString& value) {
    QString literal = value;
    literal.replace(u'\'', QLatin1String("''"));
    return qv::prepareParameters(sql).text.replace(u'?', u'\'' + literal + u'\'');
}

// Runs psql on the database with the script; answers its standard output.
QByteArray psql(const QString& database, const QString& script) {
    QProcess p;
    p.start(QStringLiteral("psql"),
            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
             QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), database});
    p.write(script.toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "psql failed: %s\n", p.readAllStandardError().constData());
        std::exit(2);
    }
    return p.readAllStandardOutput();
}

// psql's own times of `runs` runs of the statement, after one to warm up its
// new connection.
std::vector<double> psqlTimes(const QString& database, const QString& statement, int runs) {
    QString script = QStringLiteral("\\o /dev/null\n") + statement + QStringLiteral(";\n") +
                     QStringLiteral("\\timing on\n");
    for (int r = 0; r < runs; ++r)
        script += statement + QStringLiteral(";\n");
    static const QRegularExpression time(QStringLiteral("^Time: ([0-9.]+) ms"),
                                         QRegularExpression::MultilineOption);
    std::vector<double> times;
    auto it = time.globalMatch(QString::fromUtf8(psql(database, script)));
    while (it.hasNext())
        times.push_back(it.next().captured(1).toDouble());
    return times;
}

int psqlRows(const QString& database, const QString& statement) {
    return QString::fromUtf8(psql(database, QStringLiteral("\\pset tuples_only on\nSELECT "
                                                           "count(*) FROM (") +
                                                statement + QStringLiteral(") AS q;\n")))
        .trimmed()
        .toInt();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int members = 100000, runs = 5;
    quint64 seed = 1;
    bool plan = false;
    Options("[--members 100000] [--runs 5] [--seed 1] [--plan]   (under pg_virtualenv)")
        .number("--members", members)
        .number("--runs", runs, 1)
        .number("--seed", seed)
        .flag("--plan", plan)
        .parse(app.arguments());
    const QString server = serverFromEnvironment();
    if (server.isEmpty()) {
        std::fprintf(stderr, "No PostgreSQL server (PGHOST is not set): run this under "
                             "pg_virtualenv.\n");
        return 1;
    }
    // Settings of our own, choosing the PostgreSQL dialect.
    const OwnSettings settings;
    MemberSettings::SetDatabaseSettings(false, QString(), server, QString(),
                                        MemberSettings::ServerType::PostgreSQL);

    const QString database = QStringLiteral("qv_bench_%1").arg(QCoreApplication::applicationPid());
    const QString cs = DBConnectionStrings::PostgreSQLConnectionString(server, database);
    try {
        const QString file = Register(members, seed);
        DBCreate::CreatePostgreSQLDatabase(server, database);
        TableCreate::CreateTables(cs);
        qv::Connection connection;
        connection.setConnectionString(cs);
        connection.open();
        Clock::time_point start = Clock::now();
        CopyRegister(file, connection);
        std::printf("Loaded %d members into PostgreSQL (%s) in %.0f ms\n\n", members,
                    qPrintable(server), msSince(start));
        // The load leaves the server work of its own: autovacuum visits every
        // table it filled, and a checkpoint writes the loaded pages out. Left
        // to run mid-measurement, they slowed whichever side they fell on (the
        // membership number list ran at twice psql's time in some runs). Done
        // now, and each side's runs taken in turn, such work falls on both.
        connection.execute(QStringLiteral("VACUUM ANALYZE"));
        try {
            connection.execute(QStringLiteral("CHECKPOINT"));
        } catch (const qv::DatabaseError&) {
            // Only a superuser may; the checkpoint then comes when it comes.
        }
        std::printf("Median of %d runs; ours = Dataset::open, psql = psql's \\timing of the "
                    "same SQL.\n\n",
                    runs);
        std::printf("%8s  %-22s %8s %11s %11s %7s\n", "members", "query", "rows", "ours ms",
                    "psql ms", "ratio");

        for (const MemberListCase& c : memberListCases()) {
            const QString sql = c.sql(connection);
            int rows = 0;
            openMemberList(connection, sql, c.searchValue, rows); // warm the server's cache
            const QString statement = withLiteral(sql, c.searchValue);
            std::vector<double> ours, theirs;
            for (int r = 0; r < runs; ++r) {
                ours.push_back(openMemberList(connection, sql, c.searchValue, rows));
                for (const double ms : psqlTimes(database, statement, 1))
                    theirs.push_back(ms);
            }
            const int theirRows = psqlRows(database, statement);
            const double o = median(ours), p = theirs.empty() ? 0 : median(theirs);
            std::printf("%8d  %-22s %8d %11.2f %11.2f %7.2f%s\n", members, c.name, rows, o, p,
                        p > 0 ? o / p : 0.0, rows == theirRows ? "" : "  ROW COUNTS DIFFER");
            std::fflush(stdout);
            if (plan) {
                // The server's plan of our statement, its value bound, and of
                // psql's, the value written in.
                qv::Dataset explained(&connection);
                explained.setSQL(QStringLiteral("EXPLAIN ANALYZE ") + sql);
                if (explained.query().parameterCount() > 0)
                    explained.query().setAllParameters(qv::Value(c.searchValue));
                explained.open();
                std::printf("  ours:\n");
                for (; !explained.eof(); explained.next())
                    std::printf("    %s\n", qPrintable(explained.field(0).asString()));
                std::printf("  psql:\n%s\n", psql(database, QStringLiteral("EXPLAIN ANALYZE ") +
                                                                statement + QStringLiteral(";\n"))
                                                 .constData());
            }
        }
    } catch (const qv::DatabaseError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        DBCreate::DropPostgreSQLDatabase(server, database);
        return 2;
    }
    DBCreate::DropPostgreSQLDatabase(server, database);
    return 0;
}
