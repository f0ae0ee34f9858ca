// SPDX-License-Identifier: GPL-3.0-or-later
#include "JetTestData.h"
#include "db/DBConnectionStrings.h"
#include "db/MemberSQL.h"
#include "import/JetImport.h"
#include "import/JetReader.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace jettest;
using qv::test::TempFolder;

namespace {

const QStringList RegisterTables = {
    "MembershipLevel", "Members",        "DatesJoined", "Assets",      "MemberAssets",
    "Profiles",        "MemberProfiles", "FeePayments", "MemberNotes", "FileAttachments"};

// Every row of a query as the engine stores it: storage class and exact value.
QStringList Dump(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), -1, &s, nullptr) != SQLITE_OK)
        qWarning("%s: %s", qPrintable(sql), sqlite3_errmsg(db));
    QStringList rows;
    while (s && sqlite3_step(s) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
            switch (sqlite3_column_type(s, c)) {
            case SQLITE_INTEGER:
                row << QStringLiteral("i:%1").arg(sqlite3_column_int64(s, c));
                break;
            case SQLITE_FLOAT:
                row << QStringLiteral("f:%1").arg(sqlite3_column_double(s, c), 0, 'g', 17);
                break;
            case SQLITE_TEXT:
                row << QStringLiteral("t:") + QString::fromUtf8(reinterpret_cast<const char*>(
                                                                    sqlite3_column_text(s, c)),
                                                                sqlite3_column_bytes(s, c));
                break;
            default:
                row << QStringLiteral("null");
            }
        }
        rows << row.join(u'|');
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

QStringList Columns(const QString& path, const QString& table) {
    QStringList names;
    for (const QString& row :
         Dump(path, QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table)))
        names << row.mid(2);
    return names;
}

// A query through the program's own data layer, every value as text with its kind.
QStringList Rows(qv::Connection& connection, const QStringList& sql, const QString& name,
                 const qv::Value& value) {
    qv::Query query(&connection);
    query.setSQL(sql);
    if (!name.isEmpty())
        query.setParameter(name, value);
    qv::Result result;
    query.fetch(result);
    QStringList rows;
    for (int r = 0; r < result.rows.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < result.rows.columnCount(); ++c) {
            const qv::Value v = result.rows.value(result.rows.cell(r, c));
            row << (v.isNull() ? QStringLiteral("null") : v.toText());
        }
        rows << row.join(u'|');
    }
    return rows;
}

} // namespace

class TestJetImport : public QObject {
    Q_OBJECT

private slots:
    void importsEveryValueExactly_data();
    void importsEveryValueExactly();
    void importedRegisterSearchesAndShowsMembersAlike();
    void registerBeforeUpgradeEndsUpgraded();
    void refusals_data();
    void refusals();
    void cancelLeavesNoFile();
    void killedImportIsClearedByTheNext();
    void textAndDateDecoding();
};

void TestJetImport::importsEveryValueExactly_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray jet = qv::test::readFileBytes(DataFile("register-small.mdb"));
    QTest::newRow("as written") << jet;
    // The library's own parser of property lists loops for ever on such a
    // list; rows need no property.
    QTest::newRow("damaged property lists") << WithPropertiesDamaged(jet);
}

void TestJetImport::importsEveryValueExactly() {
    QFETCH(QByteArray, bytes);
    TempFolder folder;
    const QString jet = folder.filePath("register-small.mdb");
    QVERIFY(qv::test::writeFileBytes(jet, bytes));
    const QByteArray before = Digest(jet);
    const QString target = folder.filePath("Club.mdb");
    qint64 lastDone = -1;
    const JetImport::Result result =
        JetImport::ImportRegister(jet, target, [&](const JetImport::Progress& p) {
            lastDone = p.done;
            return true;
        });
    QCOMPARE(result.message, QString());
    QCOMPARE(result.outcome, JetImport::Outcome::Imported);
    QCOMPARE(Digest(jet), before);
    QCOMPARE(Entries(folder.path()), QStringList({"Club.mdb", "register-small.mdb"}));

    // Table for table, row for row, column for column, with the storage class:
    // null apart from empty text, dates to the second, amounts, yes/no, and
    // every character, the one outside the BMP too.
    const QString expected = DataFile("register-small.sqlite");
    QCOMPARE(result.summary.tables.size(), size_t(RegisterTables.size()));
    for (size_t i = 0; i < result.summary.tables.size(); ++i) {
        const QString table = RegisterTables.at(int(i));
        const QStringList columns = Columns(expected, table);
        QCOMPARE(Columns(target, table), columns);
        const QString sql =
            QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, columns.first());
        const QStringList rows = Dump(expected, sql);
        QCOMPARE(Dump(target, sql), rows);
        QCOMPARE(result.summary.tables[i].table, table);
        QCOMPARE(result.summary.tables[i].read, qint64(rows.size()));
        QCOMPARE(result.summary.tables[i].written, qint64(rows.size()));
    }
    QVERIFY(result.summary.notCarried.empty());
    QCOMPARE(lastDone, result.summary.rowsRead());
    QVERIFY(result.summary.text().contains("In all: 278 read, 278 written"));

    // Each generated key goes on after the largest key carried.
    const QString sequences =
        "SELECT name, seq FROM sqlite_sequence WHERE name NOT LIKE 'ChangeLog%' ORDER BY name";
    QCOMPARE(Dump(target, sequences), Dump(expected, sequences));
    // The register's history starts with the import, one entry of no rows.
    QCOMPARE(Dump(target, "SELECT EntryKind, Source, (SELECT COUNT(*) FROM ChangeLogRows) FROM "
                          "ChangeLog"),
             QStringList("t:import|t:Import from register-small.mdb|i:0"));
    // The schema is our own, indexes included.
    QCOMPARE(Dump(target, "SELECT count(*) FROM sqlite_master WHERE name = "
                          "'ixDatesJoinedMemberID'"),
             QStringList("i:1"));
}

void TestJetImport::importedRegisterSearchesAndShowsMembersAlike() {
    qv::test::SettingsSandbox box;
    TempFolder folder;
    const QString target = folder.filePath("Club.mdb");
    QCOMPARE(
        JetImport::ImportRegister(CopyFixture("register-small.mdb", folder.path()), target).outcome,
        JetImport::Outcome::Imported);
    const QString reference = CopyFixture("register-small.sqlite", folder.path());

    qv::Connection imported, expected;
    imported.setConnectionString(DBConnectionStrings::AccessConnectionString(target));
    expected.setConnectionString(DBConnectionStrings::AccessConnectionString(reference));
    imported.open();
    expected.open();

    // The negated keyword search leaves out members whose address or city is
    // null, but not those where it is empty text.
    for (const bool notMatching : {false, true}) {
        for (const QString keyword : {"%a%", "%zz%", "%Ça%"}) {
            const QStringList sql{MemberSQL::KeywordSQL(notMatching)};
            const QStringList rows = Rows(expected, sql, "Keyword", keyword);
            QVERIFY(!rows.isEmpty() || (!notMatching && keyword == "%zz%"));
            QCOMPARE(Rows(imported, sql, "Keyword", keyword), rows);
        }
    }
    // Every member's record, each of its seven parts.
    const QList<QStringList> record = {
        MemberSQL::MemberRowSQL(),         MemberSQL::MemberDatesJoinedSQL(),
        MemberSQL::MemberAssetsSQL(),      MemberSQL::MemberProfilesSQL(),
        MemberSQL::MemberFeePaymentsSQL(), MemberSQL::MemberFilesSQL(),
        MemberSQL::MemberNotesSQL()};
    for (const QString& member : Rows(expected, {"SELECT MemberID FROM Members"}, {}, {}))
        for (const QStringList& sql : record)
            QCOMPARE(Rows(imported, sql, "MemberID", member.toInt()),
                     Rows(expected, sql, "MemberID", member.toInt()));

    // A new member takes the key after the largest one carried.
    imported.execute("INSERT INTO Members (Surname, FirstNames) VALUES ('New', 'Nina')");
    QCOMPARE(Rows(imported, {"SELECT max(MemberID) FROM Members"}, {}, {}), QStringList("56"));
}

void TestJetImport::registerBeforeUpgradeEndsUpgraded() {
    TempFolder folder;
    const QString target = folder.filePath("Club.mdb");
    const JetImport::Result result = JetImport::ImportRegister(
        CopyFixture("register-small-before-upgrade.mdb", folder.path()), target);
    QCOMPARE(result.outcome, JetImport::Outcome::Imported);
    const QString expected = DataFile("register-small.sqlite");
    QCOMPARE(Columns(target, "DatesJoined"), Columns(expected, "DatesJoined"));
    const QString sql = "SELECT DatesJoinedID, MembershipLevelID, MemberID, DateJoined, "
                        "DateEnded, ReasonEnded, MembershipNo IS NULL FROM DatesJoined ORDER BY 1";
    QStringList rows = Dump(expected, sql);
    for (QString& row : rows)
        row.replace(QRegularExpression("i:0$"), "i:1");
    QCOMPARE(Dump(target, sql), rows);
    QVERIFY(result.summary.notCarried.empty());
    QCOMPARE(result.summary.notes.size(), 1);
    QVERIFY(result.summary.notes.first().startsWith("DatesJoined.MembershipNo:"));
}

void TestJetImport::refusals_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QByteArray jet = qv::test::readFileBytes(DataFile("register-small.mdb"));
    QTest::newRow("text file") << QByteArray("Surname,FirstNames\r\nSmith,John\r\n")
                               << "is not an Access database file.";
    QTest::newRow("register file") << qv::test::readFileBytes(DataFile("register-small.sqlite"))
                                   << "is not an Access database file.";
    QTest::newRow("cut mid-page") << jet.left(200000) << "is cut short";
    // Whole pages, but the last table's rows are gone: only the count tells.
    QTest::newRow("cut at a page") << jet.left(jet.size() - 4096)
                                   << "FileAttachments in \"%1\" holds 9 rows by its own count, "
                                      "but 0 could be read";
    QTest::newRow("no register tables")
        << WithTablesRenamed(jet, RegisterTables) << "has none of the register's tables.";
    QTest::newRow("one table missing")
        << WithTablesRenamed(jet, {"FileAttachments"}) << "the table FileAttachments is missing.";
    // The library walks a missing map of pages and crashes.
    // The library's row cracker reads before the page.
    QTest::newRow("row of no length") << WithEmptyRowSlot(jet, "FirstNames")
                                      << "The table Members of \"%1\" cannot be read (row 23";
    QTest::newRow("map of pages lost") << WithPageMapLost(jet, "MemberCategory")
                                       << "The table MembershipLevel of \"%1\" cannot be read";
    // One flipped bit in a column's name: the real column must not be taken
    // for one the old file predates.
    QTest::newRow("column name damaged")
        << WithColumnRenamed(jet, "EmailAddress", "EmailAddresr")
        << "differ from the register's: Members.EmailAddress is missing; "
           "Members.EmailAddresr is a column the register does not know.";
    QTest::newRow("required column missing")
        << WithColumnRenamed(jet, "FileDescription", "FileDescriptiom")
        << "has no column FileDescription, which every row of the register needs.";
    QTest::newRow("target exists") << jet << "There is already a file at";
    QTest::newRow("source missing") << QByteArray() << "\"%1\" could not be found.";
    QTest::newRow("source a folder") << QByteArray() << "\"%1\" is a folder, not an Access";
    // Opening a FIFO for reading would wait for a writer for ever.
    QTest::newRow("fifo") << QByteArray() << "is not an Access database file.";
}

void TestJetImport::refusals() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    TempFolder folder;
    const QString source = folder.filePath("old.mdb");
    const bool fifo = QByteArray(QTest::currentDataTag()) == "fifo";
    const QByteArray tag = QTest::currentDataTag();
    if (fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
    else if (tag == "source a folder")
        QVERIFY(QDir().mkdir(source));
    else if (tag != "source missing")
        QVERIFY(qv::test::writeFileBytes(source, bytes));
    const QString target = folder.filePath("new.mdb");
    const bool targetExists = QByteArray(QTest::currentDataTag()) == "target exists";
    if (targetExists)
        QVERIFY(qv::test::writeFileBytes(target, "someone's file"));
    const QStringList entries = Entries(folder.path());

    bool copied = false; // no table's copy began
    const JetImport::Result result =
        JetImport::ImportRegister(source, target, [&](const JetImport::Progress& p) {
            return copied |= !p.table.isEmpty(), true;
        });
    QCOMPARE(result.outcome, JetImport::Outcome::Failed);
    if (tag.startsWith("column") || tag.startsWith("required"))
        QVERIFY(!copied);
    QCOMPARE(result.columnLoss.isEmpty(), tag != "column name damaged");
    if (message.contains("%1"))
        message = message.arg(source);
    QVERIFY2(result.message.contains(message), qPrintable(result.message));
    QCOMPARE(Entries(folder.path()), entries);
    if (!fifo && !tag.startsWith("source "))
        QCOMPARE(qv::test::readFileBytes(source), bytes);
    if (targetExists)
        QCOMPARE(qv::test::readFileBytes(target), QByteArray("someone's file"));
}

void TestJetImport::cancelLeavesNoFile() {
    TempFolder folder;
    const QString jet = CopyFixture("register-small.mdb", folder.path());
    const QByteArray before = Digest(jet);
    // Before the register is made, and inside a table with 256 rows written.
    const struct {
        const char* table;
        qint64 done;
    } stops[] = {{"", 0}, {"MemberNotes", 256}};
    for (const auto& stop : stops) {
        bool stopped = false;
        const JetImport::Result result =
            JetImport::ImportRegister(jet, folder.filePath("new.mdb"), [&](const auto& p) {
                stopped = p.table == QLatin1String(stop.table) && p.done == stop.done;
                return !stopped;
            });
        QVERIFY(stopped);
        QCOMPARE(result.outcome, JetImport::Outcome::Cancelled);
        QCOMPARE(Entries(folder.path()), QStringList("register-small.mdb"));
        QCOMPARE(Digest(jet), before);
    }
}

void TestJetImport::killedImportIsClearedByTheNext() {
    TempFolder folder;
    const QString jet = CopyFixture("register-small.mdb", folder.path());
    const QString target = folder.filePath("Club.mdb");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--import-then-die", jet, target});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    // No register: only what it was being built in.
    QStringList left = Entries(folder.path());
    QVERIFY(left.removeOne("register-small.mdb"));
    QVERIFY(!left.isEmpty());
    // (The lock file beside it is hidden too: a dot before the file's name.)
    for (const QString& name : left)
        QVERIFY2(name.startsWith(".qvtmp-") || name.startsWith("..qvtmp-"), qPrintable(name));

    // The next import in that folder removes it, as the next New would.
    QCOMPARE(JetImport::ImportRegister(jet, target).outcome, JetImport::Outcome::Imported);
    QCOMPARE(Entries(folder.path()), QStringList({"Club.mdb", "register-small.mdb"}));
}

void TestJetImport::textAndDateDecoding() {
    // The text and the count of characters that could not be carried.
    const auto text = [](const QByteArray& bytes) {
        std::string out;
        const int broken = JetReader::AppendJet4Text(
            reinterpret_cast<const uchar*>(bytes.constData()), int(bytes.size()), out);
        return QStringLiteral("%1 %2").arg(QString::fromStdString(out)).arg(broken);
    };
    // Compressed: one byte a character; a zero byte switches to two and back.
    QCOMPARE(text(QByteArray("\xFF\xFE"
                             "ab\0\xA9\x03\0c",
                             9)),
             QString("abΩc 0"));
    QCOMPARE(text(QByteArray("\x3C\xD8\x89\xDF!\0", 6)), QString("🎉! 0"));
    QCOMPARE(text(QByteArray("\x3C\xD8"
                             "a\0",
                             4)),
             QString("\uFFFDa 1"));

    const auto date = [](double days) {
        return QString::fromLatin1(JetReader::DateFromDays(days).text);
    };
    QCOMPARE(date(0), QString("1899-12-30 00:00:00"));
    // Before day zero the fraction still counts forward from midnight.
    QCOMPARE(date(-1.25), QString("1899-12-29 06:00:00"));
    QCOMPARE(date(36525 + 86399.0 / 86400), QString("1999-12-31 23:59:59"));
    QCOMPARE(date(36525.9999999999), QString("2000-01-01 00:00:00"));
    QVERIFY(JetReader::DateFromDays(36525 + 1.0 / 86400).wholeSecond);
    QVERIFY(!JetReader::DateFromDays(36525.0000001).wholeSecond);
    QVERIFY(!JetReader::DateFromDays(3e6).valid);
}

// The child of the kill test: killed as the system kills a program, in the
// middle of copying the rows, inside the import's transaction.
int ImportThenDie(const QString& jet, const QString& target) {
    JetImport::ImportRegister(jet, target, [](const JetImport::Progress& p) {
        if (p.table == QLatin1String("MemberNotes") && p.done >= 256)
            ::raise(SIGKILL);
        return true;
    });
    return 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--import-then-die") == 0)
        return ImportThenDie(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestJetImport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_jetimport.moc"
