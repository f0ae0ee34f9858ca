// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/MemberSQL.h"
#include "platform/data/ConnectionString.h"
#include "platform/data/PgProvider.h"
#include "settings/MemberSettings.h"
#include "support/TestSupport.h"

#include <QTest>

class TestConnectionStrings : public QObject {
    Q_OBJECT

private slots:
    void accessString();
    void serverString();
    void postgreSQLStringAndServerName();
    void dateLiterals_data();
    void dateLiterals();
    void postgreSQLDateLiteral();
    void kindIsReadAtEveryCall();
};

void TestConnectionStrings::accessString() {
    QCOMPARE(
        DBConnectionStrings::AccessConnectionString("/home/club secretary/My Members/Quorvane.mdb"),
        QString("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;"
                "Data Source=\"/home/club secretary/My Members/Quorvane.mdb\";"));
    QCOMPARE(
        DBConnectionStrings::AccessConnectionString(QString()),
        QString("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=\"\";"));
    // A double quote inside is doubled, and the path reads back as it was.
    const QString quoted = "/home/club/\"North\" branch;x=1.mdb";
    const QString text = DBConnectionStrings::AccessConnectionString(quoted);
    QCOMPARE(text, QString("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;"
                           "Data Source=\"/home/club/\"\"North\"\" branch;x=1.mdb\";"));
    QCOMPARE(qv::ConnectionString::parse(text).dataSource(), quoted);
}

void TestConnectionStrings::serverString() {
    QCOMPARE(DBConnectionStrings::SQLServerConnectionString("CLUBPC\\SQLEXPRESS", "Members"),
             QString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                     "Data Source=CLUBPC\\SQLEXPRESS;Initial Catalog=Members"));
    QCOMPARE(DBConnectionStrings::SQLServerConnectionString("db.example.org", "Club Register"),
             QString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                     "Data Source=db.example.org;Initial Catalog=Club Register"));
}

// The PostgreSQL string carries no login; a name that needs it is quoted and
// reads back as typed; the server name splits into host and port as libpq
// takes them.
void TestConnectionStrings::postgreSQLStringAndServerName() {
    const QString plain =
        DBConnectionStrings::PostgreSQLConnectionString("db.example.org:5433", "Club Register");
    QCOMPARE(plain, QString("Provider=PostgreSQL;Data Source=db.example.org:5433;"
                            "Initial Catalog=Club Register"));
    QCOMPARE(qv::ConnectionString::parse(plain).kind(), qv::ConnectionString::Kind::PostgreSQL);
    const QString odd = "Zoë's \"Club\"; x=1";
    const qv::ConnectionString parsed = qv::ConnectionString::parse(
        DBConnectionStrings::PostgreSQLConnectionString(" /run/pg ", odd));
    QCOMPARE(parsed.initialCatalog(), odd);
    QCOMPARE(parsed.dataSource(), QString(" /run/pg "));
    QCOMPARE(DBCreate::CreatePostgreSQLDatabaseStatement(odd),
             QString("CREATE DATABASE \"Zoë's \"\"Club\"\"; x=1\" TEMPLATE template0 ENCODING "
                     "'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'"));

    const struct {
        const char* server;
        const char* host;
        int port;
    } servers[] = {{"db.example.org", "db.example.org", -1},
                   {"localhost:5433", "localhost", 5433},
                   {"/run/postgresql", "/run/postgresql", -1},
                   {"/run/postgresql:5433", "/run/postgresql", 5433},
                   {"[::1]:5434", "::1", 5434},
                   {"::1", "::1", -1},
                   {" host : 99999 ", "host", -1},
                   {"", "", -1}};
    for (const auto& s : servers) {
        const qv::PgProvider::Address a = qv::PgProvider::parseServer(s.server);
        QCOMPARE(a.host, QString(s.host));
        QCOMPARE(a.port, s.port);
    }
}

void TestConnectionStrings::dateLiterals_data() {
    QTest::addColumn<bool>("access");
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("ymd");
    QTest::addColumn<QString>("expected");
    const QString dt = "2010-03-05 14:30";
    QTest::newRow("access") << true << dt << ""
                            << "#2010-03-05 00.00.00#";
    QTest::newRow("server") << false << dt << ""
                            << "CONVERT(DATETIME, '2010-03-05 00:00:00', 102)";
    QTest::newRow("late in the day") << true << "2010-03-05 23:59:59.999"
                                     << ""
                                     << "#2010-03-05 00.00.00#";
    QTest::newRow("server late in the day") << false << "1999-12-31 23:59:59.999"
                                            << ""
                                            << "CONVERT(DATETIME, '1999-12-31 00:00:00', 102)";
    QTest::newRow("invalid is the null date") << true << ""
                                              << ""
                                              << "#1899-12-30 00.00.00#";
    QTest::newRow("ymd") << true << ""
                         << "2010-3-5"
                         << "#2010-03-05 00.00.00#";
    QTest::newRow("ymd year 987, January 1st") << true << ""
                                               << "987-1-1"
                                               << "#0987-01-01 00.00.00#";
    QTest::newRow("ymd server year 987") << false << ""
                                         << "987-1-1"
                                         << "CONVERT(DATETIME, '0987-01-01 00:00:00', 102)";
    QTest::newRow("ymd wide year") << true << ""
                                   << "65535-12-31"
                                   << "#65535-12-31 00.00.00#";
}

// The third kind's literal: a timestamp, dates compared as dates.
void TestConnectionStrings::postgreSQLDateLiteral() {
    qv::test::SettingsSandbox box;
    box.writeSettings("[Database]\nUseAccessDatabase=0\nServerType=PostgreSQL\n");
    QCOMPARE(MemberSQL::DateLiteral(QDateTime(QDate(2010, 3, 5), QTime(23, 59, 59))),
             QString("TIMESTAMP '2010-03-05 00:00:00'"));
    QCOMPARE(MemberSQL::DateLiteralYMD(987, 1, 1), QString("TIMESTAMP '0987-01-01 00:00:00'"));
}

void TestConnectionStrings::dateLiterals() {
    QFETCH(bool, access);
    QFETCH(QString, dateTime);
    QFETCH(QString, ymd);
    QFETCH(QString, expected);
    qv::test::SettingsSandbox box;
    MemberSettings::SetUseAccessDatabase(access);
    if (ymd.isEmpty()) {
        const QDateTime value = QDateTime::fromString(dateTime, Qt::ISODateWithMs);
        QCOMPARE(value.isValid(), !dateTime.isEmpty());
        QCOMPARE(MemberSQL::DateLiteral(value), expected);
    } else {
        const QStringList p = ymd.split('-');
        QCOMPARE(MemberSQL::DateLiteralYMD(p[0].toUShort(), p[1].toUShort(), p[2].toUShort()),
                 expected);
    }
}

void TestConnectionStrings::kindIsReadAtEveryCall() {
    qv::test::SettingsSandbox box;
    QCOMPARE(MemberSQL::DateLiteralYMD(2024, 2, 29), QString("#2024-02-29 00.00.00#"));
    // Another writer (the settings dialog, another copy of the program) changes the file.
    box.writeSettings("[Database]\r\nUseAccessDatabase=0\r\n");
    QCOMPARE(MemberSQL::DateLiteralYMD(2024, 2, 29),
             QString("CONVERT(DATETIME, '2024-02-29 00:00:00', 102)"));
}

QTEST_GUILESS_MAIN(TestConnectionStrings)
#include "tst_connectionstrings.moc"
