// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/ConnectionString.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/SqlText.h"

#include <QtTest>

using namespace qv;

class TestSqlText : public QObject {
    Q_OBJECT
private slots:
    void placeholdersOutsideLiteralsOnly_data();
    void placeholdersOutsideLiteralsOnly();
    void jetAdaptation_data();
    void jetAdaptation();
    void badDateLiteralIsRefused();
    void connectionStrings();
    void badConnectionStrings_data();
    void badConnectionStrings();
};

void TestSqlText::placeholdersOutsideLiteralsOnly_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("text");
    QTest::newRow("keyword four times")
        << "WHERE (FirstNames LIKE :Keyword OR Surname LIKE :Keyword OR Address LIKE :Keyword OR "
           "City LIKE :Keyword)"
        << QStringList{"Keyword", "Keyword", "Keyword", "Keyword"}
        << "WHERE (FirstNames LIKE ? OR Surname LIKE ? OR Address LIKE ? OR City LIKE ?)";
    QTest::newRow("T-SQL literal has no parameters")
        << "WHERE PaymentDate >= CONVERT(DATETIME, '2010-03-05 00:00:00', 102)" << QStringList{}
        << "WHERE PaymentDate >= CONVERT(DATETIME, '2010-03-05 00:00:00', 102)";
    QTest::newRow("quoted, bracketed and commented colons")
        << "SELECT \"a:b\", [c:d], ':e' -- :f\n, x /* :g */ FROM t WHERE k = :Key"
        << QStringList{"Key"}
        << "SELECT \"a:b\", [c:d], ':e' -- :f\n, x /* :g */ FROM t WHERE k = ?";
    QTest::newRow("escaped quote inside literal")
        << "WHERE a = 'it''s :not' AND b = :Yes" << QStringList{"Yes"}
        << "WHERE a = 'it''s :not' AND b = ?";
    QTest::newRow("order of appearance")
        << "UPDATE T SET C = :NewValue WHERE K = :KeyValue" << QStringList{"NewValue", "KeyValue"}
        << "UPDATE T SET C = ? WHERE K = ?";
    QTest::newRow("unterminated literal swallows the rest")
        << "WHERE a = 'open :p" << QStringList{} << "WHERE a = 'open :p";
}

void TestSqlText::placeholdersOutsideLiteralsOnly() {
    QFETCH(QString, sql);
    QFETCH(QStringList, names);
    QFETCH(QString, text);
    const PreparedText p = prepareParameters(sql);
    QCOMPARE(p.parameters, names);
    QCOMPARE(p.text, text);
}

void TestSqlText::jetAdaptation_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sqlite");
    const QString now = "datetime('now','localtime')";
    QTest::newRow("date literal") << "WHERE d >= #2010-03-05 00.00.00#"
                                  << "WHERE d >= '2010-03-05 00:00:00'";
    QTest::newRow("american date literal") << "WHERE d = #3/5/2010#"
                                           << "WHERE d = '2010-03-05 00:00:00'";
    QTest::newRow("date literal inside a string stays") << "SELECT '#2010-03-05 00.00.00#'"
                                                        << "SELECT '#2010-03-05 00.00.00#'";
    QTest::newRow("now") << "OR (DateEnded >= now)) "
                         << "OR (DateEnded >= " + now + ")) ";
    QTest::newRow("now()") << "WHERE x < Now()"
                           << "WHERE x < " + now;
    QTest::newRow("now as a qualified column or string stays") << "SELECT t.now, 'now' FROM t"
                                                               << "SELECT t.now, 'now' FROM t";
    QTest::newRow("top") << "SELECT TOP 1 * FROM DatesJoined"
                         << "SELECT * FROM DatesJoined LIMIT 1";
    QTest::newRow("top distinct with order") << "SELECT DISTINCT TOP 5 a FROM t ORDER BY a"
                                             << "SELECT DISTINCT a FROM t ORDER BY a LIMIT 5";
    QTest::newRow("top in a sub-query")
        << "SELECT * FROM t WHERE a = (SELECT TOP 1 b FROM u ORDER BY b) AND c = 1"
        << "SELECT * FROM t WHERE a = (SELECT b FROM u ORDER BY b LIMIT 1) AND c = 1";
    QTest::newRow("top before a semicolon") << "SELECT TOP 2 a FROM t;"
                                            << "SELECT a FROM t LIMIT 2;";
    QTest::newRow("top before a closing comment") << "SELECT TOP 2 a FROM t -- the first two\n"
                                                  << "SELECT a FROM t LIMIT 2 -- the first two\n";
    QTest::newRow("top in a bracketed SELECT of a union")
        << "SELECT * FROM (SELECT TOP 1 a FROM t) UNION SELECT b FROM u"
        << "SELECT * FROM (SELECT a FROM t LIMIT 1) UNION SELECT b FROM u";
    QTest::newRow("autoincrement")
        << "CREATE TABLE Assets\n(\nAssetID AUTOINCREMENT PRIMARY KEY,\nAssetName varchar(20) NOT "
           "NULL\n)"
        << "CREATE TABLE Assets\n(\nAssetID INTEGER PRIMARY KEY AUTOINCREMENT,\nAssetName "
           "varchar(20) COLLATE NOCASE NOT NULL\n)";
    QTest::newRow("alter table add") << "ALTER TABLE DatesJoined ADD MembershipNo varchar(10)"
                                     << "ALTER TABLE DatesJoined ADD MembershipNo varchar(10) "
                                        "COLLATE NOCASE";
    QTest::newRow("varchar outside DDL stays") << "SELECT CAST(a AS varchar(10)) FROM t"
                                               << "SELECT CAST(a AS varchar(10)) FROM t";
    QTest::newRow("true, brackets and joins pass")
        << "SELECT * FROM ((a INNER JOIN b ON a.x = b.x) LEFT JOIN c ON c.y = b.y) WHERE "
           "(c.f = true) ORDER BY [PaymentDate]"
        << "SELECT * FROM ((a INNER JOIN b ON a.x = b.x) LEFT JOIN c ON c.y = b.y) WHERE "
           "(c.f = true) ORDER BY [PaymentDate]";
}

void TestSqlText::jetAdaptation() {
    QFETCH(QString, jet);
    QFETCH(QString, sqlite);
    QCOMPARE(adaptJetToSqlite(jet), sqlite);
}

void TestSqlText::badDateLiteralIsRefused() {
    QVERIFY_THROWS_EXCEPTION(DatabaseError, adaptJetToSqlite("WHERE d = #2010-02-30 00.00.00#"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, adaptJetToSqlite("WHERE d = #2010-01-01 25.00.00#"));
    // A LIMIT would cut the whole union where TOP cut one SELECT of it.
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             adaptJetToSqlite("SELECT TOP 5 a FROM t UNION SELECT b FROM u"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             adaptJetToSqlite("SELECT a FROM t UNION ALL SELECT TOP 5 b FROM u"));
}

void TestSqlText::connectionStrings() {
    const ConnectionString file = ConnectionString::parse(
        "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=\"/home/a "
        "b/club; \"\"x\"\".mdb\";");
    QCOMPARE(file.kind(), ConnectionString::Kind::File);
    QCOMPARE(file.dataSource(), QString("/home/a b/club; \"x\".mdb"));
    QCOMPARE(file.value("persist security info"), QString("False"));

    const ConnectionString server = ConnectionString::parse(
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data "
        "Source=HOST\\SQLEXPRESS;Initial Catalog=Club");
    QCOMPARE(server.kind(), ConnectionString::Kind::Server);
    QCOMPARE(server.dataSource(), QString("HOST\\SQLEXPRESS"));
    QCOMPARE(server.initialCatalog(), QString("Club"));
    QVERIFY(server.integratedSecurity());

    // The last of a repeated key counts; a missing provider is the file provider.
    const ConnectionString repeated =
        ConnectionString::parse("Data Source=a.mdb; data source = 'b;c.mdb' ;;");
    QCOMPARE(repeated.dataSource(), QString("b;c.mdb"));
    QCOMPARE(repeated.kind(), ConnectionString::Kind::File);
    QVERIFY(ConnectionString::parse("").dataSource().isEmpty());
}

void TestSqlText::badConnectionStrings_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("unterminated quote") << "Data Source=\"/tmp/x.mdb;";
    QTest::newRow("text after quotes") << "Data Source=\"/tmp/x\".mdb;";
    QTest::newRow("key without value") << "Provider;Data Source=x";
    QTest::newRow("value without key") << "=x;";
}

void TestSqlText::badConnectionStrings() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ConnectionString::parse(text));
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             ConnectionString::parse("Provider=Nonsense.1;Data Source=x").kind());
}

QTEST_GUILESS_MAIN(TestSqlText)
#include "tst_sqltext.moc"
