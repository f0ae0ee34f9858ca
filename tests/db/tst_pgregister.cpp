// SPDX-License-Identifier: GPL-3.0-or-later
// A register on a real PostgreSQL server (CTest runs this under pg_virtualenv):
// its text comparisons against the file register's, its schema and upgrade,
// and the ten searches and the record statements against a file register
// holding the same rows.

#include "PgRegister.h"
#include "RegisterGenerator.h"
#include "db/ChangeLog.h"
#include "db/DBConnectionStrings.h"
#include "db/DataModule.h"
#include "db/MemberSQL.h"
#include "db/RegisterTables.h"
#include "db/TableCreate.h"
#include "history/History.h"
#include "import/SpreadsheetImport.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "platform/data/TextCollation.h"
#include "renewals/Renewals.h"
#include "reports/CSVExport.h"
#include "settings/MemberSettings.h"
#include "support/PgFixture.h"
#include "support/RegisterFixture.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <algorithm>
#include <map>

using namespace qv;
using qv::test::PgRegister;

namespace {

int compare(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    return compareText(x.constData(), size_t(x.size()), y.constData(), size_t(y.size()));
}

// Names and words where folding and ordering are easy to get wrong: case in
// several alphabets, letters with and without a base letter of their own,
// decomposed accents, context-dependent lower case, punctuation and prefixes.
const QStringList kTexts = {"Smith",
                            "smith",
                            "SMITH",
                            "Smithson",
                            "Smith-Jones",
                            "Smith Jones",
                            "Søndergaard",
                            "Sondergaard",
                            "Sz",
                            "Łukasiewicz",
                            "Lukas",
                            "Zoë",
                            "ZOË",
                            "Zoe",
                            "Zoey",
                            "Élodie",
                            "Elodie",
                            "elodie",
                            QString::fromUtf8("E\xCC\x81lodie"),
                            "ΣΑΣ",
                            "σας",
                            "Σας",
                            "Παπαδόπουλος",
                            "ΠΑΠΑΔΟΠΟΥΛΟΣ",
                            "İlker",
                            "ilker",
                            "Ilker",
                            "ılker",
                            "İSTANBUL",
                            "Straße",
                            "STRASSE",
                            "O'Brien",
                            "Obrien",
                            "O Brien",
                            "van der Berg",
                            "Van Der Berg",
                            "김민수",
                            "고은",
                            "가나",
                            "각",
                            "Ægir",
                            "aegir",
                            "Đorđević",
                            "Dorde",
                            "Mary-Jane",
                            "Mary Jane",
                            "Maryjane",
                            "",
                            "a",
                            "A",
                            "ab",
                            "a b",
                            "a-b",
                            "Ꭰ",
                            "ꭰ",
                            "ſ",
                            "s",
                            "ǅ",
                            "Ǆ",
                            "ǆ",
                            "Ω",
                            "Ω",
                            "Å",
                            "Å",
                            "x~",
                            "x{",
                            "x_",
                            "50% off",
                            "500",
                            "a\\b",
                            "ab",
                            "Ab\tc",
                            "Ёлка",
                            "ёлка",
                            "Елена",
                            "ЕЛЕНА",
                            "Їжак",
                            "Київ",
                            "Chloé",
                            "Chloe",
                            "François",
                            "Ffordd y Môr"};

const QStringList kPatterns = {
    "%",     "_",     "%s%",    "%S%",  "%ö%",         "%Ö%", "%σ%",
    "%Σ",    "%ΑΣ",   "i%",     "İ%",   "I%",          "ı%",  QString::fromUtf8("%e\xCC\x81%"),
    "%é%",   "50%",   "50\\%%", "a\\b", "a\\\\b",      "%_%", "__",
    "%berg", "%BERG", "Zo_",    "%ss%", "%ß%",         "ꭰ", "Ꭰ",
    "%ё%",   "%Ё%",   "%ЇЖ%",   "a_b",  "%mary%jane%", "%%",  ""};

} // namespace

class TestPgRegister : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void charactersFoldAndSortAsInAFile();
    void textsSortLikeAndEqualAsInAFile();
    void schemaAsOnTheFileKind();
    void upgradeOfAnOlderRegister();
    void searchesGiveWhatAFileRegisterGives();
    void recordStatements();
    void renewalFiguresAsOnAFile();
    void spreadsheetImportAsOnAFile();

private:
    std::unique_ptr<PgRegister> m_reg;
    test::SettingsSandbox m_settings;
};

void TestPgRegister::initTestCase() {
    QV_REQUIRE_PG_SERVER();
    try {
        m_reg = std::make_unique<PgRegister>();
    } catch (const DatabaseError& e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestPgRegister::cleanupTestCase() {
    m_reg.reset();
}

QString character(char32_t c) {
    return QStringView(QChar::fromUcs4(c)).toString();
}

// The file register takes a character whose decomposition begins beyond the
// first plane for a base letter of its own; the server decomposes it. A few
// dozen historic letters and symbols, none of them in names.
bool decomposesBeyondTheFirstPlane(char32_t c) {
    return QChar::decompositionTag(c) == QChar::Canonical &&
           QChar::isHighSurrogate(QChar::decomposition(c).at(0).unicode());
}

// Every character of the first two planes alone: folded as the file register
// folds it, and in the file register's order (equal keys exactly where the
// file register finds two characters equal). Left out: U+0001, the key's
// separator; U+FDD0, a noncharacter the folding uses internally; and the
// characters above.
void TestPgRegister::charactersFoldAndSortAsInAFile() {
    Dataset ds(&m_reg->connection());
    ds.setSQL("SELECT c, qv_fold(chr(c)) AS folded, qv_sortkey(chr(c)) AS sortkey "
              "FROM generate_series(2, 131071) c WHERE (c < 55296 OR c > 57343) AND c <> 64976 "
              "ORDER BY qv_sortkey(chr(c)) COLLATE \"C\", c");
    ds.open();
    QVERIFY(ds.recordCount() > 120000);
    QString previous, previousKey;
    int foldMismatches = 0, orderMismatches = 0;
    QStringList examples;
    for (; !ds.eof(); ds.next()) {
        const char32_t c = char32_t(ds.field("c").asInteger());
        if (decomposesBeyondTheFirstPlane(c))
            continue;
        const QString character = ::character(c);
        if (ds.field("folded").asString() != ::character(QChar::toCaseFolded(c))) {
            ++foldMismatches;
            if (examples.size() < 30)
                examples << QString("fold U+%1").arg(uint(c), 4, 16, QChar('0'));
        }
        const QString key = ds.field("sortkey").asString();
        if (!previous.isNull()) {
            const int order = compare(previous, character);
            if (order > 0 || (order == 0) != (key == previousKey)) {
                ++orderMismatches;
                if (examples.size() < 30)
                    examples << QString("order U+%1 after U+%2")
                                    .arg(uint(c), 4, 16, QChar('0'))
                                    .arg(uint(previous.toUcs4().value(0)), 4, 16, QChar('0'));
            }
        }
        previous = character;
        previousKey = key;
    }
    QVERIFY2(foldMismatches == 0 && orderMismatches == 0,
             qPrintable(QString("%1 fold and %2 order mismatches: %3")
                            .arg(foldMismatches)
                            .arg(orderMismatches)
                            .arg(examples.join(", "))));
}

// Whole texts: the server's order, LIKE and = against compareText and
// LikePattern.
void TestPgRegister::textsSortLikeAndEqualAsInAFile() {
    Connection& c = m_reg->connection();
    c.execute("CREATE TEMP TABLE texts (id integer, s text)");
    c.execute("CREATE TEMP TABLE patterns (id integer, p text)");
    for (int i = 0; i < kTexts.size(); ++i)
        m_reg->run("INSERT INTO texts VALUES (:I, :S)", {{"I", i}, {"S", kTexts[i]}});
    for (int i = 0; i < kPatterns.size(); ++i)
        m_reg->run("INSERT INTO patterns VALUES (:I, :P)", {{"I", i}, {"P", kPatterns[i]}});

    Dataset sorted(&c);
    sorted.setSQL("SELECT id, qv_sortkey(s) AS k FROM texts ORDER BY qv_sortkey(s) COLLATE \"C\"");
    sorted.open();
    QCOMPARE(sorted.recordCount(), int(kTexts.size()));
    QString previous, previousKey;
    for (bool first = true; !sorted.eof(); sorted.next(), first = false) {
        const QString text = kTexts[sorted.field("id").asInteger()];
        const QString key = sorted.field("k").asString();
        if (!first) {
            const int order = compare(previous, text);
            QVERIFY2(order < 0 || (order == 0 && key == previousKey),
                     qPrintable(previous + " / " + text));
        }
        previous = text;
        previousKey = key;
    }

    Dataset like(&c);
    like.setSQL("SELECT texts.id AS t, patterns.id AS p, "
                "qv_fold(s) LIKE qv_fold(p) ESCAPE '' AS matched FROM texts, patterns");
    like.open();
    QCOMPARE(like.recordCount(), int(kTexts.size() * kPatterns.size()));
    for (; !like.eof(); like.next()) {
        const QByteArray text = kTexts[like.field("t").asInteger()].toUtf8();
        const QByteArray pattern = kPatterns[like.field("p").asInteger()].toUtf8();
        const LikePattern expected(pattern.constData(), size_t(pattern.size()));
        QVERIFY2(like.field("matched").asBoolean() ==
                     expected.matches(text.constData(), size_t(text.size())),
                 qPrintable(QString::fromUtf8(text) + " LIKE " + QString::fromUtf8(pattern)));
    }

    Dataset equal(&c);
    equal.setSQL("SELECT a.id AS a, b.id AS b, qv_fold(a.s) = qv_fold(b.s) AS same "
                 "FROM texts a, texts b");
    for (equal.open(); !equal.eof(); equal.next()) {
        const QString a = kTexts[equal.field("a").asInteger()];
        const QString b = kTexts[equal.field("b").asInteger()];
        QVERIFY2(equal.field("same").asBoolean() == (compare(a, b) == 0),
                 qPrintable(a + " = " + b));
    }
}

namespace {

QStringList lowered(QStringList names) {
    for (QString& name : names)
        name = name.toLower();
    names.sort();
    return names;
}

QStringList column(PgRegister& reg, const QString& sql) {
    Dataset ds(&reg.connection());
    ds.setSQL(sql);
    QStringList values;
    for (ds.open(); !ds.eof(); ds.next())
        values << ds.field(0).asString();
    return values;
}

// The settings that choose the dialect of MemberSQL's texts.
void useFileKind(const test::SettingsSandbox& box) {
    box.writeSettings("[Database]\nUseAccessDatabase=1\n");
}
void usePostgreSQL(const test::SettingsSandbox& box) {
    box.writeSettings("[Database]\nUseAccessDatabase=0\nServerType=PostgreSQL\n");
}

} // namespace

void TestPgRegister::schemaAsOnTheFileKind() {
    QCOMPARE(column(*m_reg, "SELECT table_name FROM information_schema.tables WHERE "
                            "table_schema = current_schema() ORDER BY 1"),
             lowered(TableCreate::TableNames()));
    QCOMPARE(column(*m_reg, "SELECT indexname FROM pg_indexes WHERE schemaname = "
                            "current_schema() AND indexname NOT LIKE '%pkey' ORDER BY 1"),
             lowered(TableCreate::IndexNames()));
    QCOMPARE(column(*m_reg, "SELECT delete_rule || ' ' || count(*) FROM "
                            "information_schema.referential_constraints WHERE constraint_schema "
                            "= current_schema() GROUP BY delete_rule"),
             QStringList{"CASCADE 9"});
    QCOMPARE(
        column(*m_reg, "SELECT concat_ws(' ', column_name, data_type, "
                       "character_maximum_length, numeric_precision, numeric_scale, "
                       "is_identity, column_default) FROM information_schema.columns WHERE "
                       "table_name IN ('membershiplevel', 'feepayments') ORDER BY "
                       "table_name, ordinal_position"),
        QStringList({"feepaymentid integer 32 0 YES", "paymentdate timestamp without time zone NO",
                     "memberid integer 32 0 NO", "receiptref character varying 20 NO",
                     "paymentamount numeric 19 4 NO", "paymentnotes character varying 75 NO",
                     "membershiplevelid integer 32 0 YES", "membercategory character varying 20 NO",
                     "highlightcolour integer 32 0 NO", "fontcolour integer 32 0 NO",
                     "includelongservice boolean NO true"}));
    QCOMPARE(column(*m_reg, "SELECT concat_ws(' ', MemberCategory, HighlightColour, FontColour, "
                            "IncludeLongService) FROM MembershipLevel"),
             QStringList{"Member -1 -1 t"});
    // Text longer than its column is refused with the server's message.
    try {
        m_reg->run("INSERT INTO Assets (AssetName) VALUES (:N)", {{"N", QString(21, u'x')}});
        QFAIL("a 21-character asset name was stored");
    } catch (const DatabaseError& e) {
        QCOMPARE(e.message(), QString("value too long for type character varying(20)"));
    }
}

// A register whose periods lack MembershipNo and which lacks a text function
// is brought up to date once; a second opening changes nothing.
void TestPgRegister::upgradeOfAnOlderRegister() {
    PgRegister older;
    older.connection().execute("ALTER TABLE DatesJoined DROP COLUMN MembershipNo");
    older.connection().execute("DROP FUNCTION qv_sortkey(text)");
    for (const bool expected : {true, false}) {
        Tdm dm;
        dm.adoMembers().setConnectionString(older.connectionString());
        dm.adoMembers().open();
        QCOMPARE(dm.UpgradeDatabase(), expected);
    }
    QCOMPARE(older
                 .scalar("SELECT count(*) FROM DatesJoined WHERE MembershipNo IS NULL "
                         "AND qv_sortkey('A') = qv_sortkey('a')")
                 .toInteger(),
             0);

    // The change log came with the upgrade: a deleted member is logged with
    // the period the delete took along, and undoing it brings both back
    // under their own keys.
    const Value member = older.run("INSERT INTO Members (Surname, FirstNames) VALUES ('Ash', "
                                   "'Ann') RETURNING MemberID");
    older.run("INSERT INTO DatesJoined (MembershipLevelID, MemberID, DateJoined) VALUES (1, :M, "
              "'2001-02-03') RETURNING DatesJoinedID",
              {{"M", member}});
    const QString rows = "SELECT string_agg(concat_ws(',', m.MemberID, Surname, DatesJoinedID, "
                         "DateJoined), ';') FROM Members m JOIN DatesJoined d ON m.MemberID = "
                         "d.MemberID";
    const QString before = older.scalar(rows).toText();
    Tdm dm;
    dm.adoMembers().setConnectionString(older.connectionString());
    dm.adoMembers().open();
    MemberSQL::DeleteByKey(dm.adoMembers(), "Members", "MemberID", int(member.toInteger()));
    QCOMPARE(older.count("Members"), qint64(0));
    QCOMPARE(older
                 .scalar("SELECT string_agg(TableName || ' ' || Action, ',' ORDER BY ChangeSeq) "
                         "FROM (SELECT DISTINCT ChangeSeq, TableName, Action FROM ChangeLogRows) "
                         "r")
                 .toText(),
             QString("DatesJoined deleted,Members deleted"));
    History::Undo(dm.adoMembers(),
                  older.scalar("SELECT MAX(ChangeLogID) FROM ChangeLog").toInteger());
    QCOMPARE(older.scalar(rows).toText(), before);
}

// One generated register in both kinds: every search, with several search
// values, lists the same rows, and lists ordered by name are in the file
// register's order of names.
void TestPgRegister::searchesGiveWhatAFileRegisterGives() {
    test::TempFolder folder;
    const QString file = folder.filePath("generated.mdb");
    bench::GenerateRegister(file, 1500, 11);
    PgRegister server;
    bench::CopyRegister(file, server.connection());
    Connection fileConnection;
    fileConnection.setConnectionString(DBConnectionStrings::AccessConnectionString(file));
    fileConnection.open();

    using Builder = std::function<QString(Connection&)>;
    const QDateTime april(QDate(2024, 4, 1), QTime(17, 30));
    const struct {
        const char* name;
        Builder sql;
        QStringList values;
        bool byName;
    } cases[] = {
        {"AllMembers", [](Connection&) { return MemberSQL::AllMembersSQL(); }, {""}, true},
        {"PastMembers", [](Connection&) { return MemberSQL::PastMembersSQL(); }, {""}, true},
        {"MembershipLevel",
         [](Connection&) { return MemberSQL::MembershipLevelSQL(); },
         {"3", "6"},
         true},
        {"Asset", [](Connection&) { return MemberSQL::AssetSQL(false, false); }, {"1"}, true},
        {"Asset historic",
         [](Connection&) { return MemberSQL::AssetSQL(true, false); },
         {"2"},
         true},
        {"Asset not", [](Connection&) { return MemberSQL::AssetSQL(false, true); }, {"1"}, true},
        {"Asset historic not",
         [](Connection&) { return MemberSQL::AssetSQL(true, true); },
         {"3"},
         true},
        {"AssetReference",
         [](Connection&) { return MemberSQL::AssetReferenceSQL(); },
         {"%12%", "%c-000%", "_-0001_"},
         true},
        {"Profile", [](Connection&) { return MemberSQL::ProfileSQL(false, false); }, {"4"}, true},
        {"Profile historic",
         [](Connection&) { return MemberSQL::ProfileSQL(true, false); },
         {"2"},
         true},
        {"Profile not",
         [](Connection&) { return MemberSQL::ProfileSQL(false, true); },
         {"4"},
         true},
        {"Profile historic not",
         [](Connection&) { return MemberSQL::ProfileSQL(true, true); },
         {"1"},
         true},
        {"Keyword",
         [](Connection&) { return MemberSQL::KeywordSQL(false); },
         {"%son%", "%MÜLL%", "%o'b%", "%mill lane%", "%ÉGLISE%", "%ł%", "%ø%", "%_a%", "Smith"},
         true},
        {"Keyword not",
         [](Connection&) { return MemberSQL::KeywordSQL(true); },
         {"%son%", "%ö%"},
         true},
        {"MembershipNo",
         [](Connection&) { return MemberSQL::MembershipNoSQL(false); },
         {"%123%", "%a00%"},
         false},
        {"MembershipNo not",
         [](Connection&) { return MemberSQL::MembershipNoSQL(true); },
         {"%123%"},
         false},
        {"UnpaidFees",
         [april](Connection&) { return MemberSQL::UnpaidFeesSQL(april); },
         {""},
         true},
        {"LongService 2025",
         [](Connection& c) { return MemberSQL::LongServiceSQL(c, 2025); },
         {""},
         false},
        {"LongService 2010",
         [](Connection& c) { return MemberSQL::LongServiceSQL(c, 2010); },
         {""},
         false},
    };

    // Every column of every row, as the member list shows it.
    const auto rows = [](Connection& connection, const QString& sql, const QString& value,
                         QStringList& names, QList<std::pair<QString, QString>>* order) {
        Dataset ds(&connection);
        ds.setSQL(sql);
        ds.query().setAllParameters(Value(value));
        ds.open();
        names.clear();
        for (int c = 0; c < ds.fieldCount(); ++c)
            names << ds.column(c).name.toLower();
        QStringList all;
        for (int r = 0; r < ds.recordCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < ds.fieldCount(); ++c)
                cells << ds.textAt(r, c);
            all << cells.join(u'|');
            if (order)
                *order << std::pair{ds.textAt(r, ds.fieldIndex("Surname")),
                                    ds.textAt(r, ds.fieldIndex("FirstNames"))};
        }
        return all;
    };
    int listed = 0;
    for (const auto& c : cases) {
        for (const QString& value : c.values) {
            useFileKind(m_settings);
            QStringList fileNames, serverNames;
            QStringList expected =
                rows(fileConnection, c.sql(fileConnection), value, fileNames, nullptr);
            usePostgreSQL(m_settings);
            QList<std::pair<QString, QString>> order;
            QStringList got =
                rows(server.connection(), c.sql(server.connection()), value, serverNames, &order);
            const QString what = QString(c.name) + " " + value;
            QCOMPARE(serverNames, fileNames);
            if (c.byName) {
                for (qsizetype i = 1; i < order.size(); ++i) {
                    const int bySurname = compare(order[i - 1].first, order[i].first);
                    QVERIFY2(bySurname < 0 || (bySurname == 0 &&
                                               compare(order[i - 1].second, order[i].second) <= 0),
                             qPrintable(what + ": " + order[i].first));
                }
            }
            expected.sort();
            got.sort();
            QVERIFY2(got == expected, qPrintable(what));
            listed += int(got.size());
        }
    }
    QVERIFY(listed > 10000);

    // Every list exports its columns alone, on either kind: no key, colour or
    // flag column, though the server answers every name in lower case.
    const test::TempFolder out;
    const QByteArray columns = "\xEF\xBB\xBFSurname,FirstNames,Address,City,PostCode,TelNo,"
                               "MobileNo,EmailAddress,DateJoined,DateEnded,";
    for (const auto& c : cases) {
        const bool number = QByteArray(c.name).startsWith("MembershipNo");
        const QByteArray header = columns + (number ? "MembershipNo," : "") + "YearsService";
        for (const bool onServer : {false, true}) {
            onServer ? usePostgreSQL(m_settings) : useFileKind(m_settings);
            Connection& connection = onServer ? server.connection() : fileConnection;
            Dataset list(&connection);
            list.setSQL(c.sql(connection));
            list.query().setAllParameters(Value(c.values.first()));
            list.open();
            CSVExport(list, out.filePath("list.csv"), -1, false);
            const QByteArray got =
                test::readFileBytes(out.filePath("list.csv")).split('\r').first();
            QVERIFY2(got == header,
                     qPrintable(QString(c.name) + (onServer ? " server: " : " file: ") +
                                QString::fromUtf8(got)));
        }
    }
}

void TestPgRegister::recordStatements() {
    PgRegister reg;
    usePostgreSQL(m_settings);
    Connection& c = reg.connection();
    QCOMPARE(MemberSQL::MinDateJoined(c), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    const auto add = [&](const char* surname, const char* first) {
        return reg
            .run("INSERT INTO Members (Surname, FirstNames) VALUES (:S, :F) RETURNING "
                 "MemberID",
                 {{"S", QString(surname)}, {"F", QString(first)}})
            .toInteger();
    };
    const qint64 lee = add("Lee", "Ann"), zoe = add("Zoë", "Åsa");
    const qint64 level =
        reg.run("INSERT INTO MembershipLevel (MemberCategory, HighlightColour, FontColour) "
                "VALUES ('Senior', 255, -1) RETURNING MembershipLevelID")
            .toInteger();
    reg.run("INSERT INTO DatesJoined (MembershipLevelID, MemberID, DateJoined) VALUES "
            "(:L, :M, '1987-02-28'), (1, :M, '2003-07-09')",
            {{"L", level}, {"M", lee}});

    // Names compare without regard to case, in every alphabet, as on the file kind.
    QVERIFY(MemberSQL::MemberNameExists(c, int(zoe), "ann", "LEE"));
    QVERIFY(MemberSQL::MemberNameExists(c, int(lee), "ÅSA", "ZOË"));
    QVERIFY(!MemberSQL::MemberNameExists(c, int(lee), "Asa", "Zoe"));
    QVERIFY(!MemberSQL::MemberNameExists(c, int(lee), "Ann", "Lee"));
    QCOMPARE(MemberSQL::MinDateJoined(c), QDateTime(QDate(1987, 2, 28), QTime(0, 0)));
    QVERIFY(MemberSQL::MembershipLevelInUse(c, int(level)));

    const MemberSQL::MembershipLevelRecord changed{"Life Member", -1, 0x123456, false};
    MemberSQL::UpdateMembershipLevel(c, int(level), changed);
    QCOMPARE(MemberSQL::GetMembershipLevel(c, int(level)), changed);
    QCOMPARE(MemberSQL::GetMembershipLevel(c, 9999), MemberSQL::MembershipLevelRecord{});

    // The member's record: the joined level's key by table, lookups by name.
    for (const char* asset : {"key", "Zebra pass", "Apple card"})
        reg.run("WITH a AS (INSERT INTO Assets (AssetName) VALUES (:N) RETURNING AssetID) "
                "INSERT INTO MemberAssets (MemberID, AssetID, DateIssued) SELECT :M, AssetID, "
                "'2010-01-01' FROM a",
                {{"N", QString(asset)}, {"M", lee}});
    Dataset periods(&c), assets(&c);
    periods.setSQL(MemberSQL::MemberDatesJoinedSQL());
    periods.setParameter("MemberID", lee);
    periods.open();
    QCOMPARE(periods.recordCount(), 2);
    QCOMPARE(periods.field("DatesJoined.MembershipLevelID").asInteger(), level);
    QCOMPARE(periods.field("MembershipLevel.MembershipLevelID").asInteger(), level);
    QCOMPARE(periods.field("MemberCategory").asString(), QString("Life Member"));
    assets.setSQL(MemberSQL::MemberAssetsSQL());
    assets.setParameter("MemberID", lee);
    QStringList names;
    for (assets.open(); !assets.eof(); assets.next())
        names << assets.field("AssetName").asString();
    QCOMPARE(names, QStringList({"Apple card", "key", "Zebra pass"}));

    // Dates compare as dates: a payment on the day counts, the day before does not.
    reg.run("INSERT INTO FeePayments (PaymentDate, MemberID, PaymentAmount) VALUES "
            "('2012-03-31 23:59:59', :L, 10), ('2012-04-01', :Z, 12.5)",
            {{"L", lee}, {"Z", zoe}});
    Dataset unpaid(&c);
    unpaid.setSQL(MemberSQL::UnpaidFeesSQL(QDateTime(QDate(2012, 4, 1), QTime(16, 20))));
    unpaid.open();
    QCOMPARE(unpaid.recordCount(), 1);
    QCOMPARE(unpaid.field("MemberID").asInteger(), lee);
    Dataset paid(&c);
    paid.setSQL(MemberSQL::MemberFeePaymentsSQL());
    paid.setParameter("MemberID", zoe);
    paid.open();
    QCOMPARE(paid.field("PaymentAmount").type(), FieldType::Currency);
    QCOMPARE(paid.field("PaymentAmount").asFloat(), 12.5);

    // Exported under the register's own column names, keys and colours left
    // out, though the server answers every name in lower case.
    const test::TempFolder out;
    for (const auto& [sql, header] :
         {std::pair{MemberSQL::AllMembersSQL(), QByteArray("DateEnded,YearsService\r\n")},
          std::pair{MemberSQL::MembershipNoSQL(false),
                    QByteArray("DateEnded,MembershipNo,YearsService\r\n")}}) {
        Dataset list(&c);
        list.setSQL(sql);
        list.query().setAllParameters(Value(QStringLiteral("%")));
        list.open();
        CSVExport(list, out.filePath("list.csv"), -1, false);
        const QByteArray csv = test::readFileBytes(out.filePath("list.csv"));
        QVERIFY2(
            csv.startsWith("\xEF\xBB\xBFSurname,FirstNames,Address,City,PostCode,TelNo,MobileNo,"
                           "EmailAddress,DateJoined," +
                           header),
            csv.constData());
        for (const QByteArray& line : csv.trimmed().split('\n'))
            QCOMPARE(line.count(','), header.count(',') + 9);
    }

    // Deleting a level takes its periods with it.
    MemberSQL::DeleteByKey(c, "MembershipLevel", "MembershipLevelID", int(level));
    QCOMPARE(reg.count("DatesJoined"), 1);

    // A backslash in a search text is an ordinary character, as on the file
    // kind, not the server's escape: "\\%" is a backslash, then anything.
    const qint64 slash = add("Back\\slash", "Bo"), percent = add("Back%slash", "Bea");
    reg.run("INSERT INTO DatesJoined (MembershipLevelID, MemberID, DateJoined, MembershipNo) "
            "VALUES (1, :S, '2001-01-01', 'N\\7'), (1, :P, '2001-01-01', 'N%7')",
            {{"S", slash}, {"P", percent}});
    for (const auto& [sql, text] :
         {std::pair{MemberSQL::KeywordSQL(false), QString("back\\%")},
          std::pair{MemberSQL::MembershipNoSQL(false), QString("N\\%")},
          std::pair{MemberSQL::MembershipNoSQL(false), QString("n\\7")}}) {
        Dataset found(&c);
        found.setSQL(sql);
        found.query().setAllParameters(Value(text));
        found.open();
        QVERIFY2(found.recordCount() == 1 && found.field("MemberID").asInteger() == slash,
                 qPrintable(text + ": " + QString::number(found.recordCount())));
    }
}

// The renewals list of one generated register in both kinds, with the same
// fees and a year starting 1 April: the same fee, paid, balance and last
// payment for every member; then the same payments and lapses on both.
void TestPgRegister::renewalFiguresAsOnAFile() {
    test::TempFolder folder;
    const QString file = folder.filePath("renewals.mdb");
    bench::GenerateRegister(file, 800, 5);
    PgRegister server;
    bench::CopyRegister(file, server.connection());
    Connection fileConnection;
    fileConnection.setConnectionString(DBConnectionStrings::AccessConnectionString(file));
    fileConnection.open();
    const int year = bench::GeneratedHistoryEnd().year() - 1;
    const Renewals::YearStart april{4, 1};
    const auto figures = [&](Connection& c) {
        Dataset rows(&c);
        Renewals::OpenList(rows, c, {year, april, true, false});
        QStringList all;
        for (int row = 0; row < rows.recordCount(); ++row) {
            QStringList cells;
            for (const char* name : {"MemberID", "FeeDue", "Paid", "Balance"})
                cells << QString::number(rows.valueAt(row, rows.fieldIndex(name)).toFloat(), 'f',
                                         2);
            const Value last = rows.valueAt(row, rows.fieldIndex("LastPayment"));
            cells << (last.isNull() ? QString() : last.toDateTime().toString(Qt::ISODate));
            const Value ended = rows.valueAt(row, rows.fieldIndex("DateEnded"));
            cells << (ended.isNull() ? QString() : ended.toDateTime().toString(Qt::ISODate));
            all << cells.join(u'|');
        }
        all.sort();
        return all;
    };
    for (Connection* c : {&fileConnection, &server.connection()}) {
        RegisterTables::CreateMissing(*c);
        Result levels;
        c->provider().fetch("SELECT MembershipLevelID FROM MembershipLevel", {}, levels);
        for (int row = 0; row < levels.rows.rowCount(); ++row)
            for (int y = year - 3; y <= year; y += 3)
                Renewals::SetLevelFee(*c, levels.rows.value(levels.rows.cell(row, 0)).toInteger(),
                                      y, 12.5 * row + y % 7);
    }
    const QStringList onFile = figures(fileConnection);
    QVERIFY(onFile.size() > 700);
    QCOMPARE(figures(server.connection()), onFile);

    for (Connection* c : {&fileConnection, &server.connection()}) {
        Renewals::RecordPayments(*c, {{3, 10.0}, {5, 0.0}, {8, 22.25}},
                                 {QDate(year, 4, 1), std::nullopt, "R-#", 1, "Renewal"});
        Renewals::EndMemberships(*c, {3, 5, 8, 13}, QDate(year, 3, 31), "Lapsed");
    }
    const QStringList after = figures(fileConnection);
    QVERIFY(after != onFile);
    QCOMPARE(figures(server.connection()), after);
}

// The spreadsheet import writes members one by one on a server (their keys
// read back) and in batches on a file. Faults caught: a period or note put on
// the wrong member, a row of a batch lost, a duplicate of a row still waiting
// in a batch not seen, the server's rows not logged or not undone.
void TestPgRegister::spreadsheetImportAsOnAFile() {
    test::TempFolder folder;
    QByteArray csv = "Surname,First names,Post code,Joined,Type,Note\r\n";
    for (int i = 0; i < 150; ++i) {
        csv += QStringLiteral("Row%1,Ann%2,LS%3 1AA,%4/03/2019,%5,note %1\r\n")
                   .arg(i, 3, 10, QChar('0'))
                   .arg(i % 7)
                   .arg(i % 9)
                   .arg(1 + i % 28, 2, 10, QChar('0'))
                   .arg(i % 3 ? "Member" : "Junior")
                   .toUtf8();
        if (i == 70) // the same person again, while row 66 may still wait in a batch
            csv += "Row066,Ann3,LS3 1AA,01/04/2019,Member,again\r\n";
    }
    const QString path = folder.filePath("members.csv");
    test::writeFileBytes(path, csv);

    const auto importInto = [&](Connection& c) {
        ChangeLog::Recorder recorder;
        c.beginTrans();
        RegisterTables::CreateMissing(c);
        c.commitTrans();
        c.setChangeRecorder(&recorder);
        SpreadsheetImport::Preview preview;
        SpreadsheetImport::Plan plan;
        QString error;
        SpreadsheetImport::Result result;
        if (SpreadsheetImport::ReadPreview(path, preview, error) &&
            SpreadsheetImport::Check(c, path, preview.mapping, plan, error))
            result = SpreadsheetImport::Write(c, plan);
        else
            result.message = error;
        c.setChangeRecorder(nullptr);
        return result;
    };
    const auto rows = [](Connection& c) {
        Query q(&c);
        q.setSQL("SELECT m.Surname, m.FirstNames, m.PostCode, d.DateJoined, l.MemberCategory, "
                 "n.MemberNote FROM Members m JOIN DatesJoined d ON d.MemberID = m.MemberID JOIN "
                 "MembershipLevel l ON l.MembershipLevelID = d.MembershipLevelID LEFT JOIN "
                 "MemberNotes n ON n.MemberID = m.MemberID");
        Result r;
        q.fetch(r);
        QStringList all;
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            QStringList cells;
            for (int col = 0; col < r.rows.columnCount(); ++col)
                cells << r.rows.textOf(r.rows.cell(i, col));
            cells[3] = cells[3].left(10);
            all << cells.join(u'|');
        }
        all.sort();
        return all;
    };

    test::Register file;
    const SpreadsheetImport::Result onFile = importInto(file.connection());
    QCOMPARE(onFile.message, QString());
    PgRegister server;
    const SpreadsheetImport::Result onServer = importInto(server.connection());
    QCOMPARE(onServer.message, QString());
    QCOMPARE(onServer.added, qint64(150));
    QCOMPARE(onServer.skipped, qint64(1));
    const QStringList fileRows = rows(file.connection());
    QCOMPARE(fileRows.size(), 150);
    QVERIFY(fileRows.contains("Row066|Ann3|LS3 1AA|2019-03-11|Junior|note 066"));
    QCOMPARE(rows(server.connection()), fileRows);
    // One entry on each (ranges of keys on the file, each row on the server),
    // which undo takes back whole.
    const auto undone = [](auto& reg) {
        QCOMPARE(reg.scalar("SELECT COUNT(*) FROM ChangeLog").toInteger(), 1);
        // A member's history finds it, by name and by key, on either form.
        History::Filter filter;
        filter.member = "Row066";
        QCOMPARE(History::EntryCount(reg.connection(), filter), 1);
        filter.member.clear();
        filter.memberId = reg.scalar("SELECT MAX(MemberID) FROM Members").toInteger();
        QCOMPARE(History::Entries(reg.connection(), filter, 0, 5).size(), size_t(1));
        History::Undo(reg.connection(),
                      reg.scalar("SELECT MAX(ChangeLogID) FROM ChangeLog").toInteger());
        QCOMPARE(reg.count("Members"), 0);
        QCOMPARE(reg.count("DatesJoined"), 0);
        QCOMPARE(reg.count("MemberNotes"), 0);
    };
    undone(server);
    undone(file);
}

QTEST_GUILESS_MAIN(TestPgRegister)
#include "tst_pgregister.moc"
