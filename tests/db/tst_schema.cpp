// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/DataModule.h"
#include "db/RegisterSettings.h"
#include "db/RegisterTables.h"
#include "db/TableCreate.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/data/Transaction.h"
#include "support/RegisterFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QtTest>

#include <sys/stat.h>

using namespace qv;
using qv::test::Register;

namespace {

const QString kServer = "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                        "Info=False;Data Source=HOST\\SQLEXPRESS;Initial Catalog=Club";

// The server statements, written out in full.
const QStringList kServerStatements = {
    "CREATE TABLE MembershipLevel\n(\nMembershipLevelID integer PRIMARY KEY IDENTITY,\n"
    "MemberCategory varchar(20) NOT NULL,\nHighlightColour integer,\nFontColour integer,\n"
    "IncludeLongService bit DEFAULT 1\n)",
    "INSERT INTO MembershipLevel\n(MemberCategory, HighlightColour, FontColour,\n"
    "IncludeLongService)\nVALUES ('Member',-1,-1,1)",
    "CREATE TABLE Members\n(\nMemberID integer PRIMARY KEY IDENTITY,\nSurname varchar(20) NOT "
    "NULL,\nFirstNames varchar(30) NOT NULL,\nAddress varchar(70),\nCity varchar(30),\n"
    "PostCode varchar(8),\nTelNo varchar(15),\nMobileNo varchar(15),\nEmailAddress "
    "varchar(70)\n)",
    "CREATE TABLE DatesJoined\n(\nDatesJoinedID integer PRIMARY KEY IDENTITY,\n"
    "MembershipLevelID int NOT NULL,\nMembershipNo varchar(10),\nMemberID int NOT NULL,\n"
    "DateJoined datetime NOT NULL,\nDateEnded datetime,\nReasonEnded varchar(50) DEFAULT '',\n"
    "CONSTRAINT fkMembershipLevelID FOREIGN KEY(MembershipLevelID) REFERENCES "
    "MembershipLevel(MembershipLevelID) ON DELETE CASCADE,\nCONSTRAINT fkDatesJoinedMemberID "
    "FOREIGN KEY(MemberID) REFERENCES Members(MemberID) ON DELETE CASCADE\n)",
    "CREATE TABLE Assets\n(\nAssetID integer PRIMARY KEY IDENTITY,\nAssetName varchar(20) NOT "
    "NULL\n)",
    "CREATE TABLE MemberAssets\n(\nMemberAssetID integer PRIMARY KEY IDENTITY,\nMemberID int NOT "
    "NULL,\nAssetID int NOT NULL,\nDateIssued datetime NOT NULL,\nAssetReference varchar(20),\n"
    "DateReturned datetime,\nCONSTRAINT fkMemberAssetsMemberID FOREIGN KEY(MemberID) REFERENCES "
    "Members(MemberID) ON DELETE CASCADE,\nCONSTRAINT fkAssetID FOREIGN KEY(AssetID) REFERENCES "
    "Assets(AssetID) ON DELETE CASCADE\n)",
    "CREATE TABLE Profiles\n(\nProfileID integer PRIMARY KEY IDENTITY,\nProfileName varchar(30) "
    "NOT NULL\n)",
    "CREATE TABLE MemberProfiles\n(\nMemberProfileID integer PRIMARY KEY IDENTITY,\nProfileID int "
    "NOT NULL,\nMemberID int NOT NULL,\nProfileStart datetime NOT NULL,\nProfileEnd datetime,\n"
    "CONSTRAINT fkMemberProfilesMemberID FOREIGN KEY(MemberID) REFERENCES Members(MemberID) ON "
    "DELETE CASCADE,\nCONSTRAINT fkProfileID FOREIGN KEY(ProfileID) REFERENCES "
    "Profiles(ProfileID) ON DELETE CASCADE\n)",
    "CREATE TABLE FeePayments\n(\nFeePaymentID integer PRIMARY KEY IDENTITY,\nPaymentDate "
    "datetime NOT NULL,\nMemberID int NOT NULL,\nReceiptRef varchar(20),\nPaymentAmount "
    "decimal(19,4) NOT NULL,\nPaymentNotes varchar(75),\nCONSTRAINT fkFeePaymentsMemberID FOREIGN "
    "KEY(MemberID) REFERENCES Members(MemberID) ON DELETE CASCADE\n)",
    "CREATE TABLE MemberNotes\n(\nMemberNotesID integer PRIMARY KEY IDENTITY,\nMemberID int NOT "
    "NULL,\nMemberNote varchar(250),\nCONSTRAINT fkMemberNotesMemberID FOREIGN KEY(MemberID) "
    "REFERENCES Members(MemberID) ON DELETE CASCADE\n)",
    "CREATE TABLE FileAttachments\n(\nFileAttachmentID integer PRIMARY KEY IDENTITY,\nMemberID "
    "int NOT NULL,\nFilePath varchar(255) NOT NULL,\nFileDescription varchar(50) NOT NULL,\n"
    "DateAdded datetime NOT NULL,\nCONSTRAINT fkFileAttachmentsMemberID FOREIGN KEY(MemberID) "
    "REFERENCES Members(MemberID) ON DELETE CASCADE\n)",
};

QStringList declaredTypes(Register& reg, const QString& table) {
    Dataset ds(&reg.connection());
    ds.setSQL("SELECT name, type FROM pragma_table_info('" + table + "')");
    ds.open();
    QStringList out;
    for (; !ds.eof(); ds.next())
        out << (ds.field("name").asString() + " " + ds.field("type").asString()).toLower();
    return out;
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void serverStatementsAreExact();
    void fileKindWords();
    void newRegisterHasTablesAndDefaultLevel();
    void defaultsOfInsertedRows();
    void cascadesRemoveChildren();
    void upgradeAddsMembershipNoOnce();
    void upgradeOfEmptyCurrentTableChangesNothing();
    void programTablesAreAddedAndTheirWritesLogged();
    void createAccessDatabaseRefusesExistingFile();
    void newRegisterIsWholeOrNothing();
    void fillingIsPartOfTheCreation();
    void incompleteRegisterIsRefused();
    void createDatabaseStatementQuotesTheName();
    void createOnServerReportsFailure();
};

void TestSchema::serverStatementsAreExact() {
    QStringList joined;
    for (const QStringList& lines : TableCreate::TableStatements(kServer))
        joined << lines.join('\n');
    QCOMPARE(joined.size(), 11);
    for (int i = 0; i < 11; ++i)
        QCOMPARE(joined[i], kServerStatements[i]);
}

void TestSchema::fileKindWords() {
    const QString file = DBConnectionStrings::AccessConnectionString("/data/club.mdb");
    const auto words = TableCreate::ColumnTypes(file);
    QCOMPARE(words.key, QString("AUTOINCREMENT PRIMARY KEY"));
    QCOMPARE(words.yesNo, QString("yesno"));
    QCOMPARE(words.yesNoDefault, QString("true"));
    QCOMPARE(words.date, QString("date"));
    const QStringList statements = [&] {
        QStringList out;
        for (const QStringList& lines : TableCreate::TableStatements(file))
            out << lines.join('\n');
        return out;
    }();
    QCOMPARE(statements[1], QString("INSERT INTO MembershipLevel\n(MemberCategory, "
                                    "HighlightColour, FontColour,\nIncludeLongService)\nVALUES "
                                    "('Member',-1,-1,true)"));
    QVERIFY(statements[0].endsWith("IncludeLongService yesno DEFAULT true\n)"));
    // The provider decides the words: a file not named .mdb still gets the file
    // kind's, and a server database named like a file gets the server's.
    QCOMPARE(
        TableCreate::ColumnTypes(DBConnectionStrings::AccessConnectionString("/d/club.db")).key,
        QString("AUTOINCREMENT PRIMARY KEY"));
    QCOMPARE(
        TableCreate::ColumnTypes(DBConnectionStrings::SQLServerConnectionString("host", "club.mdb"))
            .key,
        QString("integer PRIMARY KEY IDENTITY"));
    QCOMPARE(TableCreate::ColumnTypes("Data Source=x.mdb").yesNo, QString("yesno"));
    QCOMPARE(TableCreate::ColumnTypes("Data Source=x").yesNo, QString("bit"));
}

void TestSchema::newRegisterHasTablesAndDefaultLevel() {
    Register reg;
    Dataset tables(&reg.connection());
    tables.setSQL("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                  "'sqlite%' ORDER BY name");
    tables.open();
    QStringList names;
    for (; !tables.eof(); tables.next())
        names << tables.field("name").asString();
    QCOMPARE(names, QStringList({"Assets", "DatesJoined", "FeePayments", "FileAttachments",
                                 "MemberAssets", "MemberNotes", "MemberProfiles", "Members",
                                 "MembershipLevel", "Profiles"}));

    Dataset level(&reg.connection());
    level.setSQL("SELECT * FROM MembershipLevel");
    level.open();
    QCOMPARE(level.recordCount(), 1);
    QCOMPARE(level.field("MemberCategory").asString(), QString("Member"));
    QCOMPARE(level.field("HighlightColour").asInteger(), -1);
    QCOMPARE(level.field("FontColour").asInteger(), -1);
    QCOMPARE(level.field("IncludeLongService").asBoolean(), true);
    QCOMPARE(level.field("MembershipLevelID").asInteger(), 1);

    QCOMPARE(declaredTypes(reg, "FeePayments"),
             QStringList({"feepaymentid integer", "paymentdate date", "memberid int",
                          "receiptref varchar(20)", "paymentamount decimal(19,4)",
                          "paymentnotes varchar(75)"}));
    QCOMPARE(declaredTypes(reg, "MembershipLevel").last(), QString("includelongservice yesno"));

    // Every parent pointer is indexed, and the latest-period join uses its index.
    QCOMPARE(reg.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name LIKE "
                        "'ix%'")
                 .toInteger(),
             9);
    Dataset plan(&reg.connection());
    plan.setSQL("EXPLAIN QUERY PLAN SELECT MemberID, MAX(DateJoined) FROM DatesJoined GROUP BY "
                "MemberID");
    plan.open();
    QVERIFY2(plan.field("detail").asString().contains("ixDatesJoinedMemberID"),
             qPrintable(plan.field("detail").asString()));
}

void TestSchema::defaultsOfInsertedRows() {
    Register reg;
    const qint64 m = reg.addMember("Ash", "Amy");
    reg.insert("INSERT INTO DatesJoined (MembershipLevelID, MemberID, DateJoined) VALUES (1, :M, "
               "#2010-01-01 00.00.00#)",
               {{"M", m}});
    const Value reason = reg.scalar("SELECT ReasonEnded FROM DatesJoined");
    QVERIFY(!reason.isNull());
    QCOMPARE(reason.toText(), QString());
    reg->execute("INSERT INTO MembershipLevel (MemberCategory) VALUES ('Junior')");
    QCOMPARE(reg.scalar("SELECT IncludeLongService FROM MembershipLevel WHERE MemberCategory = "
                        "'Junior'")
                 .toInteger(),
             1);
    // Text compares without regard to case, as the Jet engine's does.
    QCOMPARE(reg.scalar("SELECT COUNT(*) FROM Members WHERE Surname = 'ASH'").toInteger(), 1);
    // A missing parent is refused.
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             reg->execute("INSERT INTO MemberNotes (MemberID) VALUES (999)"));
}

void TestSchema::cascadesRemoveChildren() {
    Register reg;
    const qint64 m = reg.addMember("Bell", "Ben");
    const qint64 other = reg.addMember("Bond", "Bea");
    const qint64 junior = reg.addLevel("Junior");
    reg.addPeriod(m, QDate(2000, 1, 1));
    reg.addPeriod(other, QDate(2000, 1, 1), QDate(), junior);
    const qint64 asset = reg.insert("INSERT INTO Assets (AssetName) VALUES ('Key')");
    const qint64 profile = reg.insert("INSERT INTO Profiles (ProfileName) VALUES ('Treasurer')");
    for (qint64 who : {m, other}) {
        reg.insert("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued) VALUES (:M, :A, "
                   "#2001-01-01 00.00.00#)",
                   {{"M", who}, {"A", asset}});
        reg.insert("INSERT INTO MemberProfiles (MemberID, ProfileID, ProfileStart) VALUES (:M, "
                   ":P, #2001-01-01 00.00.00#)",
                   {{"M", who}, {"P", profile}});
        reg.insert("INSERT INTO FeePayments (MemberID, PaymentDate, PaymentAmount) VALUES (:M, "
                   "#2001-01-01 00.00.00#, 10)",
                   {{"M", who}});
        reg.insert("INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (:M, 'n')", {{"M", who}});
        reg.insert("INSERT INTO FileAttachments (MemberID, FilePath, FileDescription, DateAdded) "
                   "VALUES (:M, '/f', 'f', #2001-01-01 00.00.00#)",
                   {{"M", who}});
    }
    reg->execute(QString("DELETE FROM Members WHERE MemberID = %1").arg(m));
    for (const char* table : {"DatesJoined", "MemberAssets", "MemberProfiles", "FeePayments",
                              "MemberNotes", "FileAttachments"})
        QCOMPARE(reg.count(table), 1); // only the other member's row is left

    reg->execute(QString("DELETE FROM MembershipLevel WHERE MembershipLevelID = %1").arg(junior));
    QCOMPARE(reg.count("DatesJoined"), 0);
    reg->execute("DELETE FROM Assets");
    QCOMPARE(reg.count("MemberAssets"), 0);
    reg->execute("DELETE FROM Profiles");
    QCOMPARE(reg.count("MemberProfiles"), 0);
    QCOMPARE(reg.count("Members"), 1);
}

void TestSchema::upgradeAddsMembershipNoOnce() {
    // A register of the previous version: DatesJoined without MembershipNo.
    Register old;
    const qint64 m = old.addMember("Old", "Olive");
    old.addPeriod(m, QDate(1990, 5, 5));
    old->execute("ALTER TABLE DatesJoined DROP COLUMN MembershipNo");
    const QString path = old.path();
    old->close();

    Tdm dm;
    dm.adoMembers().setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    dm.adoMembers().open();
    QVERIFY(dm.UpgradeDatabase());
    QVERIFY(!dm.UpgradeDatabase());
    Dataset ds(&dm.adoMembers());
    ds.setSQL("SELECT * FROM DatesJoined");
    ds.setBaseTable("DatesJoined", "DatesJoinedID");
    ds.open();
    QVERIFY(ds.field("MembershipNo").isNull());
    QCOMPARE(ds.field("MembershipNo").size(), 10);
    ds.field("MembershipNo").setValue(QString("12345678901"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.post()); // the new column keeps its width
    ds.cancel();
    dm.adoMembers().close();

    // The next start finds nothing to do.
    Tdm next;
    next.adoMembers().setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    next.adoMembers().open();
    QVERIFY(!next.UpgradeDatabase());
}

void TestSchema::upgradeOfEmptyCurrentTableChangesNothing() {
    Register reg;
    Tdm dm;
    dm.adoMembers().setConnectionString(reg.connectionString());
    dm.adoMembers().open();
    QVERIFY(!dm.UpgradeDatabase());
    // A database without the table reports the engine's error and stays open.
    reg->execute("DROP TABLE DatesJoined");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, dm.UpgradeDatabase());
    QVERIFY(dm.adoMembers().isOpen());
}

// A register made before one of the program's table sets existed gains it on
// the next start (not only when the change log is missing), and a setting
// written there is logged with the column spelt as the table has it.
void TestSchema::programTablesAreAddedAndTheirWritesLogged() {
    Register reg;
    {
        Tdm first;
        first.adoMembers().setConnectionString(reg.connectionString());
        first.adoMembers().open();
        first.UpgradeDatabase();
    }
    reg->execute("DROP TABLE RegisterSettings");
    QVERIFY(!RegisterTables::HasTable(reg.connection(), "RegisterSettings"));

    Tdm dm;
    dm.adoMembers().setConnectionString(reg.connectionString());
    dm.adoMembers().open();
    dm.UpgradeDatabase();
    QVERIFY(RegisterTables::HasAll(dm.adoMembers()));
    Connection& c = dm.adoMembers();
    c.setChangeRecorder(&dm.changeRecorder());
    QCOMPARE(RegisterSettings::Value(c, "YearStart", "01-01"), QString("01-01"));
    for (const QString& value : {QString("04-01"), QString("09-01"), QString("09-01")}) {
        TransactionGuard t(c, TransactionKind::Normal, "Settings");
        RegisterSettings::SetValue(c, "YearStart", value);
        t.commit();
    }
    QCOMPARE(RegisterSettings::Value(c, "YearStart").value_or("none"), QString("09-01"));
    // Two entries: the unchanged third write logs nothing.
    QCOMPARE(reg.scalar("SELECT count(*) FROM ChangeLogRows WHERE TableName = "
                        "'RegisterSettings' AND ColumnName = 'SettingValue'")
                 .toInteger(),
             2);
    QCOMPARE(reg.scalar("SELECT NewValue FROM ChangeLogRows WHERE ColumnName = 'SettingValue' "
                        "ORDER BY ChangeLogRowID DESC LIMIT 1")
                 .toText(),
             QString("09-01"));
    {
        TransactionGuard t(c, TransactionKind::Normal, "Settings");
        RegisterSettings::Remove(c, "YearStart");
        t.commit();
    }
    QVERIFY(!RegisterSettings::Value(c, "YearStart"));
    c.setChangeRecorder(nullptr);
}

void TestSchema::createAccessDatabaseRefusesExistingFile() {
    qv::test::TempFolder dir;
    const QString path = dir.filePath("DrelvinMembers.mdb");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    const QString message = DBCreate::CreateAccessDatabase(path);
    QVERIFY(!message.isEmpty());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious"));

    QVERIFY(!DBCreate::CreateAccessDatabase(dir.filePath("no/such/folder/x.mdb")).isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("no")));

    // A new file opens as an empty register until the tables come.
    const QString fresh = dir.filePath("fresh file.mdb");
    QCOMPARE(DBCreate::CreateAccessDatabase(fresh), QString());
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(fresh));
    c.open();
    c.close();
    TableCreate::CreateTables(DBConnectionStrings::AccessConnectionString(fresh));
    c.open();
    Query q(&c);
    q.setSQL("SELECT COUNT(*) FROM MembershipLevel");
    Result r;
    q.fetch(r);
    QCOMPARE(r.rows.value(r.rows.cell(0, 0)).toInteger(), 1);
    // Creating the tables a second time stops at the first statement.
    c.close();
    QVERIFY_THROWS_EXCEPTION(
        DatabaseError,
        TableCreate::CreateTables(DBConnectionStrings::AccessConnectionString(fresh)));
}

void TestSchema::newRegisterIsWholeOrNothing() {
    qv::test::TempFolder dir;
    // A double quote in the name, which the connection string must carry.
    const QString path = dir.filePath("Club \"North\".mdb");
    const mode_t mask = ::umask(022);
    DBCreate::CreateAccessRegister(path);
    ::umask(mask);
    struct stat info {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0644)); // a new file's mode, not a temporary's
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    c.open();
    DBCreate::CheckRegister(c);
    Query q(&c);
    q.setSQL("SELECT (SELECT COUNT(*) FROM MembershipLevel), (SELECT COUNT(*) FROM sqlite_master "
             "WHERE type = 'table'), (SELECT COUNT(*) FROM sqlite_master WHERE type = 'index')");
    Result r;
    q.fetch(r);
    QCOMPARE(r.rows.value(r.rows.cell(0, 0)).toInteger(), 1);
    QCOMPARE(r.rows.value(r.rows.cell(0, 1)).toInteger(), 11); // with sqlite_sequence
    QCOMPARE(r.rows.value(r.rows.cell(0, 2)).toInteger(), 9);
    c.close();

    // Never over an existing file; a folder that is not there leaves nothing.
    const QByteArray before = qv::test::readFileBytes(path);
    try {
        DBCreate::CreateAccessRegister(path);
        QFAIL("an existing register was replaced");
    } catch (const DatabaseError& e) {
        QCOMPARE(e.message(), "Database already exists: " + path);
    }
    QCOMPARE(qv::test::readFileBytes(path), before);
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             DBCreate::CreateAccessRegister(dir.filePath("none/x.mdb")));
    // Nothing else was left in the folder: no temporary file, no journal.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Club \"North\".mdb"});

    // The tables of an existing database come in one transaction: a clash at
    // the fifth statement leaves none of the four before it.
    const QString clash = dir.filePath("clash.mdb");
    QCOMPARE(DBCreate::CreateAccessDatabase(clash), QString());
    const QString clashString = DBConnectionStrings::AccessConnectionString(clash);
    c.setConnectionString(clashString);
    c.open();
    c.execute("CREATE TABLE Assets (Other int)");
    c.close();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, TableCreate::CreateTables(clashString));
    c.open();
    q.setSQL("SELECT group_concat(name) FROM sqlite_master");
    q.fetch(r);
    QCOMPARE(r.rows.value(r.rows.cell(0, 0)).toText(), QString("Assets"));
}

void TestSchema::fillingIsPartOfTheCreation() {
    qv::test::TempFolder dir;
    const auto entries = [&] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const QString path = dir.filePath("filled.mdb");
    // The filler meets the whole schema inside the transaction that made it;
    // what it changes is in the register that appears.
    DBCreate::CreateAccessRegister(path, [&](Connection& c) {
        QVERIFY(c.inTransaction());
        QVERIFY(!QFileInfo::exists(path));
        c.execute("DELETE FROM MembershipLevel");
        c.execute("INSERT INTO MembershipLevel (MembershipLevelID, MemberCategory) VALUES (7, "
                  "'Life')");
    });
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    c.open();
    DBCreate::CheckRegister(c);
    Query q(&c);
    q.setSQL("SELECT group_concat(MembershipLevelID || MemberCategory) FROM MembershipLevel");
    Result r;
    q.fetch(r);
    QCOMPARE(r.rows.value(r.rows.cell(0, 0)).toText(), QString("7Life"));
    c.close();

    // Whatever the filler throws stops the creation, reaches the caller as it
    // was thrown, and leaves no file: neither the register nor its temporary.
    struct Stop {};
    const QString stopped = dir.filePath("stopped.mdb");
    bool filled = false;
    try {
        DBCreate::CreateAccessRegister(stopped, [&](Connection& c) {
            c.execute("INSERT INTO Members (Surname, FirstNames) VALUES ('A', 'B')");
            filled = true;
            throw Stop{};
        });
        QFAIL("the creation went on after its filler stopped");
    } catch (const Stop&) {
    }
    QVERIFY(filled);
    QCOMPARE(entries(), QStringList{"filled.mdb"});
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             DBCreate::CreateAccessRegister(stopped, [](Connection& c) {
                                 c.execute("INSERT INTO NoSuchTable VALUES (1)");
                             }));
    QCOMPARE(entries(), QStringList{"filled.mdb"});
}

void TestSchema::incompleteRegisterIsRefused() {
    qv::test::TempFolder dir;
    // What the one-statement-at-a-time creation left when it was killed: ours,
    // with three tables and none of the indexes.
    const QString path = dir.filePath("half.mdb");
    QCOMPARE(DBCreate::CreateAccessDatabase(path), QString());
    Connection c;
    c.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    c.open();
    const QList<QStringList> statements = TableCreate::TableStatements(c.connectionString());
    for (int i = 0; i < 4; ++i)
        c.execute(statements[i].join('\n'));
    const QByteArray before = qv::test::readFileBytes(path);
    try {
        DBCreate::CheckRegister(c);
        QFAIL("an incomplete register was taken");
    } catch (const DatabaseRefusal& e) {
        QCOMPARE(e.message(),
                 "The database file \"" + path +
                     "\" is an incomplete register: it lacks the tables Assets, MemberAssets, "
                     "Profiles, MemberProfiles, FeePayments, MemberNotes and FileAttachments, and "
                     "the indexes ixDatesJoinedMemberID, ixDatesJoinedMembershipLevelID, "
                     "ixMemberAssetsMemberID, ixMemberAssetsAssetID, ixMemberProfilesMemberID, "
                     "ixMemberProfilesProfileID, ixFeePaymentsMemberID, ixMemberNotesMemberID and "
                     "ixFileAttachmentsMemberID. Its creation did not finish; create a new "
                     "database or choose another file.");
    }
    c.close();
    QCOMPARE(qv::test::readFileBytes(path), before); // looked at, not changed

    // One index short is as incomplete; a file that is not ours is not judged.
    Register reg;
    reg->execute("DROP INDEX ixFeePaymentsMemberID");
    try {
        DBCreate::CheckRegister(reg.connection());
        QFAIL("a register without an index was taken");
    } catch (const DatabaseRefusal& e) {
        QVERIFY2(e.message().contains("lacks the index ixFeePaymentsMemberID."),
                 qPrintable(e.message()));
    }
    reg->execute("PRAGMA application_id = 0");
    DBCreate::CheckRegister(reg.connection());
}

void TestSchema::createDatabaseStatementQuotesTheName() {
    QCOMPARE(DBCreate::CreateDatabaseStatement("ClubMembers"),
             QString("CREATE DATABASE [ClubMembers]"));
    QCOMPARE(DBCreate::CreateDatabaseStatement("x; DROP DATABASE y"),
             QString("CREATE DATABASE [x; DROP DATABASE y]"));
    QCOMPARE(DBCreate::CreateDatabaseStatement("a]; DROP DATABASE y; --"),
             QString("CREATE DATABASE [a]]; DROP DATABASE y; --]"));
}

void TestSchema::createOnServerReportsFailure() {
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QElapsedTimer timer;
    timer.start();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, DBCreate::CreateSQLServerDatabase(
                                                QString("127.0.0.1,%1").arg(port), "Club"));
    QVERIFY(timer.elapsed() < 20000);
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
