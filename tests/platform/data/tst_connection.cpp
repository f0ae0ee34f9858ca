// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "platform/data/ConnectionString.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/OdbcProvider.h"
#include "platform/data/Query.h"
#include "platform/data/SqliteProvider.h"
#include "platform/data/Transaction.h"
#include "support/RegisterFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QtTest>
#include <sys/stat.h>

using namespace qv;
using qv::test::Register;

namespace {

Value fetchOne(Connection& c, const QString& sql,
               const std::vector<std::pair<QString, Value>>& p = {}) {
    Query q(&c);
    q.setSQL(sql);
    for (const auto& [name, value] : p)
        q.setParameter(name, value);
    Result r;
    q.fetch(r);
    return r.rows.rowCount() ? r.rows.value(r.rows.cell(0, 0)) : Value();
}

QString openError(const QString& path) {
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    try {
        c.open();
    } catch (const DatabaseError& e) {
        return e.message();
    }
    return {};
}

// A file path of exactly `bytes` bytes under `folder`, its folders made.
QString PathOfLength(const QString& folder, int bytes) {
    QString path = folder;
    while (bytes - path.size() > 210) {
        path += u'/' + QString(200, u'd');
        QDir().mkpath(path);
    }
    return path + u'/' + QString(bytes - path.size() - 5, u'f') + ".mdb";
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void jetTextsRunOnTheFileProvider();
    void parametersRoundTripEveryType();
    void openRefusesWhatIsNotARegister();
    void readOnlyFileOpensForReading();
    void pathTooLongIsSaid();
    void rollbackRestoresCascadedRows();
    void guardRollsBackOnException();
    void secondWriterGetsLockedError();
    void exclusiveTransactionHoldsWritersOffAtOnce();
    void textLongerThanItsColumnIsRefused();
    void oneTransactionLevel();
    void keptStatementsFollowTheSchemaAndLetGo();
    void serverConnectionStrings();
    void serverOpenFailsQuickly();
};

void TestConnection::jetTextsRunOnTheFileProvider() {
    Register reg;
    const qint64 ann = reg.addMember("Archer", "Ann", "Leeds");
    reg.addPeriod(ann, QDate(2010, 3, 5));
    reg.insert("INSERT INTO FeePayments (PaymentDate, MemberID, PaymentAmount) VALUES "
               "(#2011-04-01 00.00.00#, :M, 12.5)",
               {{"M", ann}});

    // Date literal, now, TOP, brackets, parenthesised joins and true together.
    const QString sql =
        "SELECT TOP 1 Members.Surname FROM ((Members INNER JOIN DatesJoined ON "
        "DatesJoined.MemberID = Members.MemberID) INNER JOIN FeePayments ON "
        "FeePayments.MemberID = Members.MemberID) LEFT JOIN MembershipLevel ON "
        "DatesJoined.MembershipLevelID = MembershipLevel.MembershipLevelID WHERE "
        "(MembershipLevel.IncludeLongService = true) AND (DateEnded IS NULL OR DateEnded >= now) "
        "AND [PaymentDate] >= #2011-04-01 00.00.00# AND DateJoined <= now ORDER BY [PaymentDate]";
    QCOMPARE(fetchOne(reg.connection(), sql).toText(), QString("Archer"));
    QVERIFY(fetchOne(reg.connection(), "SELECT Surname FROM Members WHERE EXISTS (SELECT 1 FROM "
                                       "FeePayments WHERE PaymentDate >= #2011-04-02 00.00.00#)")
                .isNull());
}

void TestConnection::parametersRoundTripEveryType() {
    Register reg;
    reg->execute("CREATE TABLE T (ID AUTOINCREMENT PRIMARY KEY, S varchar(30), N integer, "
                 "F decimal(19,4), D date, B yesno)");
    const QDateTime when(QDate(2014, 2, 28), QTime(17, 45, 9));
    const qint64 id = reg.insert("INSERT INTO T (S, N, F, D, B) VALUES (:S, :N, :F, :D, :B)",
                                 {{"S", QString("Zoë O'Brien")},
                                  {"N", qint64(-2147483648LL)},
                                  {"F", 1234.5678},
                                  {"D", when},
                                  {"B", true}});
    Query q(&reg.connection());
    q.setSQL("SELECT * FROM T WHERE ID = :ID");
    q.setParameter("ID", id);
    Result r;
    q.fetch(r);
    QCOMPARE(r.rows.rowCount(), 1);
    QCOMPARE(r.rows.value(r.rows.cell(0, 1)).toText(), QString("Zoë O'Brien"));
    QCOMPARE(r.rows.value(r.rows.cell(0, 2)).toInteger(), qint64(-2147483648LL));
    QCOMPARE(r.rows.value(r.rows.cell(0, 3)).toFloat(), 1234.5678);
    QCOMPARE(r.rows.value(r.rows.cell(0, 4)).toDateTime(), when); // time of day kept
    QCOMPARE(r.rows.value(r.rows.cell(0, 5)).toBoolean(), true);
    QCOMPARE(r.columns[1].width, 30);
    QCOMPARE(r.columns[4].type, FieldType::DateTime);
    QCOMPARE(r.columns[5].type, FieldType::Boolean);

    // Null travels as null, an empty text as empty, and a placeholder used
    // several times takes one value.
    reg.insert("INSERT INTO T (S, N) VALUES (:S, :N)", {{"S", Value()}, {"N", 7}});
    QCOMPARE(fetchOne(reg.connection(), "SELECT COUNT(*) FROM T WHERE S IS NULL").toInteger(), 1);
    reg.insert("INSERT INTO T (S, N) VALUES (:S, :N)", {{"S", QString("")}, {"N", 8}});
    QCOMPARE(
        fetchOne(reg.connection(), "SELECT COUNT(*) FROM T WHERE S = '' AND N = 8").toInteger(), 1);
    // Texts and times of one statement each keep their own characters.
    Query joined(&reg.connection());
    joined.setSQL("SELECT :A || '/' || :B || '/' || :C || '/' || :D");
    joined.setParameter("A", QString("Zoë"));
    joined.setParameter("B", QString(""));
    joined.setParameter("C", when);
    joined.setParameter("D", QString("€"));
    Result jr;
    joined.fetch(jr);
    QCOMPARE(jr.rows.value(jr.rows.cell(0, 0)).toText(), QString("Zoë//2014-02-28 17:45:09/€"));
    Query four(&reg.connection());
    four.setSQL("SELECT COUNT(*) FROM T WHERE S LIKE :K OR S LIKE :K OR S LIKE :K OR S LIKE :K");
    QCOMPARE(four.parameterCount(), 4);
    four.setParameter("K", QString("%o'b%"));
    Result fr;
    four.fetch(fr);
    QCOMPARE(fr.rows.value(fr.rows.cell(0, 0)).toInteger(), 1); // LIKE ignores case, as Jet's
    QVERIFY_THROWS_EXCEPTION(DatabaseError, four.setParameter("Nope", 1));

    // LIKE ignores case in every alphabet, keeps "_" to one character, and
    // passes null through.
    const auto like = [&](const QString& text, const QString& pattern) {
        return fetchOne(reg.connection(), "SELECT :T LIKE :P", {{"T", text}, {"P", pattern}});
    };
    QCOMPARE(like("Émile Zoë", "%émile%").toInteger(), 1);
    QCOMPARE(like("ÉMILE", "_mile").toInteger(), 1);
    QCOMPARE(like("Emile", "_mile_").toInteger(), 0);
    // The ends of the alphabet fold too, in the pattern and in the text.
    QCOMPARE(like("lazy zebra", "%LAZY ZEBRA%").toInteger(), 1);
    QCOMPARE(like("ZANZIBAR AVENUE", "zanzibar avenue").toInteger(), 1);
    QCOMPARE(like("100%", "100!%").toInteger(), 0);
    QCOMPARE(fetchOne(reg.connection(), "SELECT '10%' LIKE '10!%' ESCAPE '!'").toInteger(), 1);
    QCOMPARE(like("abc", "a%%c").toInteger(), 1);
    QCOMPARE(like("", "%").toInteger(), 1);
    QVERIFY(fetchOne(reg.connection(), "SELECT NULL LIKE '%'").isNull());
}

void TestConnection::openRefusesWhatIsNotARegister() {
    qv::test::TempFolder dir;
    const QString missing = dir.filePath("missing.mdb");
    QVERIFY(!openError(missing).isEmpty());
    QVERIFY2(!QFile::exists(missing), "the open must not create a file");

    const QString empty = dir.filePath("empty.mdb");
    QFile(empty).open(QIODevice::WriteOnly);
    QVERIFY(openError(empty).contains("not a database"));
    QCOMPARE(QFileInfo(empty).size(), 0);

    const QString text = dir.filePath("notes.mdb");
    {
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("These are the minutes of the annual general meeting.\n").repeated(200));
    }
    const QByteArray before = [&] {
        QFile f(text);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const QString textError = openError(text);
    QVERIFY2(textError.contains("not a database"), qPrintable(textError));
    QVERIFY(textError.contains(text));
    QFile after(text);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);

    QVERIFY(!openError(dir.path()).isEmpty());
    QVERIFY(!openError(QString()).isEmpty());

    // A device, or a FIFO, read as an empty database and opened as one, and
    // its lock file was made beside it (in /dev).
    const QString device = dir.filePath("device.mdb");
    QVERIFY(QFile::link("/dev/null", device));
    const QString deviceError = openError(device);
    QVERIFY2(deviceError.contains("not a database"), qPrintable(deviceError));
    const QString fifo = dir.filePath("fifo.mdb");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(openError(fifo).contains("not a database"));
    QVERIFY(!QFileInfo::exists(dir.filePath(".fifo.mdb-lock")));
}

void TestConnection::pathTooLongIsSaid() {
    qv::test::TempFolder dir;
    Register reg;
    reg.addMember("Baker", "Bob");
    reg->close();
    const int limit = SqliteProvider::maxPathBytes();
    QCOMPARE(limit, 504); // the engine's 512 less "-journal"

    // At the limit a register opens and takes changes.
    const QString longest = PathOfLength(dir.path(), limit);
    QVERIFY(QFile::copy(reg.path(), longest));
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(longest));
    c.open();
    c.execute("DELETE FROM Members");
    c.close();

    // One byte more is refused, saying why, for an open and for a new register.
    const QString tooLong = PathOfLength(dir.path(), limit + 1);
    QVERIFY(QFile::copy(reg.path(), tooLong));
    const QString said = QString("The database path is too long: the file database takes paths "
                                 "of at most 504 bytes, and \"%1\" has 505 bytes. Choose a place "
                                 "with a shorter path.");
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(tooLong));
    QVERIFY_THROWS_EXCEPTION(DatabaseRefusal, c.open());
    QCOMPARE(openError(tooLong), said.arg(tooLong));
    QVERIFY(QFile::remove(tooLong));
    try {
        DBCreate::CreateAccessRegister(tooLong);
        QFAIL("a register was made at a path the engine cannot take");
    } catch (const DatabaseRefusal& e) {
        QCOMPARE(e.message(), said.arg(tooLong));
    }
    QVERIFY(!QFile::exists(tooLong));
}

void TestConnection::readOnlyFileOpensForReading() {
    Register reg;
    reg.addMember("Baker", "Bob");
    const QString path = reg.path();
    reg->close();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    c.open();
    QCOMPARE(fetchOne(c, "SELECT Surname FROM Members").toText(), QString("Baker"));
    if (::geteuid() != 0) // root writes through permission bits
        QVERIFY_THROWS_EXCEPTION(DatabaseError, c.execute("DELETE FROM Members"));
}

void TestConnection::rollbackRestoresCascadedRows() {
    Register reg;
    const qint64 m = reg.addMember("Cole", "Cat");
    reg.addPeriod(m, QDate(2001, 1, 1));
    reg.insert("INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (:M, 'note')", {{"M", m}});
    reg->beginTrans();
    reg->execute(QString("DELETE FROM Members WHERE MemberID = %1").arg(m));
    QCOMPARE(reg.count("DatesJoined"), 0);
    QCOMPARE(reg.count("MemberNotes"), 0);
    reg->rollbackTrans();
    QCOMPARE(reg.count("Members"), 1);
    QCOMPARE(reg.count("DatesJoined"), 1);
    QCOMPARE(reg.count("MemberNotes"), 1);
}

void TestConnection::guardRollsBackOnException() {
    Register reg;
    try {
        TransactionGuard guard(reg.connection());
        reg.addMember("Dale", "Dan");
        throw std::runtime_error("window failed");
    } catch (const std::runtime_error&) {
    }
    QVERIFY(!reg->inTransaction());
    QCOMPARE(reg.count("Members"), 0);
    // The connection is usable afterwards, and a committed guard keeps its work.
    {
        TransactionGuard guard(reg.connection());
        reg.addMember("Eve", "Ed");
        guard.commit();
    }
    QCOMPARE(reg.count("Members"), 1);
}

void TestConnection::secondWriterGetsLockedError() {
    Register reg;
    reg.addMember("First", "Fay");
    Connection second;
    second.setBusyTimeout(300);
    second.setConnectionString(reg.connectionString());
    second.open();

    reg->beginTrans();
    reg.addMember("Held", "Hal");
    QElapsedTimer timer;
    timer.start();
    QString message;
    try {
        second.execute("INSERT INTO Members (Surname, FirstNames) VALUES ('Other', 'Ola')");
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains("locked"), qPrintable(message));
    QVERIFY(timer.elapsed() >= 250); // it waited for the lock first
    reg->commitTrans();

    second.execute("INSERT INTO Members (Surname, FirstNames) VALUES ('Other', 'Ola')");
    QCOMPARE(reg.count("Members"), 3);
    QCOMPARE(fetchOne(second, "PRAGMA integrity_check").toText(), QString("ok"));
}

// An exclusive transaction holds other writers off from its start; a normal
// one holds nothing until it writes (the member window's tests show that).
void TestConnection::exclusiveTransactionHoldsWritersOffAtOnce() {
    Register reg;
    Connection second;
    second.setBusyTimeout(100);
    second.setConnectionString(reg.connectionString());
    second.open();
    const QString insert = "INSERT INTO Members (Surname, FirstNames) VALUES ('Ola', 'Ann')";
    reg->beginTrans(TransactionKind::Exclusive);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, second.execute(insert));
    reg->rollbackTrans();
    QCOMPARE(second.execute(insert), qint64(1));
}

void TestConnection::textLongerThanItsColumnIsRefused() {
    Register reg;
    const QString twenty(20, QChar(u'é'));
    const qint64 id = reg.addMember(twenty, "Al");
    QString message;
    try {
        reg.addMember(twenty + "x", "Al");
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains("Surname") && message.contains("20"), qPrintable(message));
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             reg.insert("UPDATE Members SET City = :C WHERE MemberID = :M",
                                        {{"C", QString(31, 'c')}, {"M", id}}));
    // The upgrade's added column is guarded as well.
    reg->execute("CREATE TABLE Old (ID AUTOINCREMENT PRIMARY KEY)");
    reg->execute("ALTER TABLE Old ADD Code varchar(3)");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg->execute("INSERT INTO Old (Code) VALUES ('abcd')"));
    QCOMPARE(reg.count("Members"), 1);
    // Left out only for a transaction, which would bring it back: never for good.
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg->provider().skipInsertWidthCheck("Members"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg.addMember(twenty + "x", "Al"));
}

void TestConnection::oneTransactionLevel() {
    Register reg;
    reg->beginTrans();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg->beginTrans());
    reg->rollbackTrans();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg->commitTrans());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg->setConnectionString("Data Source=x.mdb"));
}

// Statements are prepared once per text and kept between fetches.
void TestConnection::keptStatementsFollowTheSchemaAndLetGo() {
    Register reg;
    reg->execute("CREATE TABLE T (ID AUTOINCREMENT PRIMARY KEY, S varchar(10))");
    reg.insert("INSERT INTO T (S) VALUES ('one')");
    const auto columns = [&](Connection& c) {
        Query q(&c);
        q.setSQL("SELECT * FROM T");
        Result r;
        q.fetch(r);
        QStringList names;
        for (const ColumnInfo& info : r.columns)
            names << info.name + u':' + QString::number(info.width);
        return names.join(u' ') + u'=' + QString::number(r.rows.rowCount());
    };
    QCOMPARE(columns(reg.connection()), QString("ID:0 S:10=1"));

    // A "*" takes in a column added since, with its declared width.
    reg->execute("ALTER TABLE T ADD COLUMN N varchar(4)");
    QCOMPARE(columns(reg.connection()), QString("ID:0 S:10 N:4=1"));
    // A table gone is said; made again, its new columns are read.
    reg->execute("DROP TABLE T");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, columns(reg.connection()));
    reg->execute("CREATE TABLE T (K integer, L varchar(3))");
    QCOMPARE(columns(reg.connection()), QString("K:0 L:3=0"));

    // Kept statements block neither a commit nor a compaction.
    reg->beginTrans();
    reg.insert("INSERT INTO T (K) VALUES (1)");
    QCOMPARE(columns(reg.connection()), QString("K:0 L:3=1"));
    reg->commitTrans();
    reg->execute("VACUUM");
    // So do kept writes, also one that the engine refused.
    reg->execute("CREATE TABLE W (K integer, L varchar(3))");
    reg->beginTrans();
    Query write(&reg.connection());
    write.setSQL("INSERT INTO W (K, L) VALUES (:K, :L)");
    write.setParameter("K", 2);
    write.setParameter("L", "ok");
    write.execute();
    write.execute();
    write.setParameter("L", "too long");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, write.execute());
    reg->commitTrans();
    reg->execute("VACUUM");
    QCOMPARE(reg.count("W"), 2);

    // Writes are kept as well. One refused leaves its statement ready for
    // other values and holding nothing; the same text follows a table made
    // again, its narrower column guarded.
    const QString update = "UPDATE T SET L = :L WHERE K = 1";
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg.insert(update, {{"L", QString("long")}}));
    reg.insert(update, {{"L", QString("abc")}});
    reg->execute("VACUUM");
    QCOMPARE(reg.count("T WHERE L = 'abc'"), 1);
    reg->execute("DROP TABLE T");
    reg->execute("CREATE TABLE T (K integer, L varchar(2))");
    reg.insert("INSERT INTO T (K) VALUES (1)");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reg.insert(update, {{"L", QString("abc")}}));
    reg.insert(update, {{"L", QString("ab")}});
    QCOMPARE(columns(reg.connection()), QString("K:0 L:2=1"));

    // Each connection keeps its own: the same text on another register reads
    // that register.
    Register other(QStringLiteral("other.mdb"));
    other->execute("CREATE TABLE T (Z integer)");
    QCOMPARE(columns(other.connection()), QString("Z:0=0"));
    QCOMPARE(columns(reg.connection()), QString("K:0 L:2=1"));

    // Closing lets go of the file, kept statements and all.
    const auto descriptorsOn = [](const QString& path) {
        const QDir fds("/proc/self/fd");
        int count = 0;
        for (const QString& fd :
             fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            count += QFile::symLinkTarget(fds.filePath(fd)) == QFileInfo(path).canonicalFilePath();
        return count;
    };
    QVERIFY(descriptorsOn(reg.path()) > 0);
    reg->close();
    QCOMPARE(descriptorsOn(reg.path()), 0);
}

void TestConnection::serverConnectionStrings() {
    const auto odbc = [](const QString& server, const QString& db) {
        return OdbcProvider::odbcConnectionString(
            ConnectionString::parse(DBConnectionStrings::SQLServerConnectionString(server, db)));
    };
    const QString plain = odbc("dbhost", "Club");
    QVERIFY(plain.contains("SERVER=dbhost;PORT=1433;"));
    QVERIFY(plain.contains("DATABASE=Club;"));
    QVERIFY(plain.contains("Trusted_Connection=Yes;"));
    QVERIFY(plain.contains("libtdsodbc.so") || plain.contains("{FreeTDS}"));
    const QString instance = odbc("dbhost\\SQLEXPRESS", "Club Members");
    QVERIFY(instance.contains("SERVER=dbhost\\SQLEXPRESS;"));
    QVERIFY(!instance.contains("PORT="));
    QVERIFY(instance.contains("DATABASE=Club Members;"));
    QVERIFY(odbc("dbhost,14330", "x").contains("SERVER=dbhost;PORT=14330;"));
    QVERIFY(odbc("(local)", "x").contains("SERVER=127.0.0.1;"));
    // A value holding a separator is braced, so it cannot add keys of its own;
    // with integrated security no user name is passed on.
    QVERIFY(OdbcProvider::odbcConnectionString(
                ConnectionString::parse("Provider=SQLOLEDB.1;Data Source=h;Initial "
                                        "Catalog=\"a;UID=sa\";Integrated Security=SSPI"))
                .contains("DATABASE={a;UID=sa};"));
    QVERIFY(!odbc("h", "a;UID=sa").contains("UID="));
}

void TestConnection::serverOpenFailsQuickly() {
    // A port on which nothing listens: take one, then free it.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();

    Connection c;
    c.setLoginTimeout(3);
    c.setConnectionString(
        DBConnectionStrings::SQLServerConnectionString(QString("127.0.0.1,%1").arg(port), "Club"));
    QElapsedTimer timer;
    timer.start();
    QString message;
    try {
        c.open();
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    QVERIFY2(!message.isEmpty(), "the open must fail");
    QVERIFY2(message.contains("127.0.0.1"), qPrintable(message));
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!c.isOpen());
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
