// A register on a real PostgreSQL server (CTest runs this under pg_virtualenv):
// its text comparisons against the file register's, its schema and upgrade,
// and the ten searches and the record statements against a file register
// holding the same rows.

#include "PgRegister.h"
#include "RegisterGenerator.h"
#include "db/DBConnectionStrings.h"
#include "db/DataModule.h"
#include "db/MemberSQL.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "platform/data/TextCollation.h"
#include "settings/MemberSettings.h"
#include "support/PgFixture.h"
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

private:
    std::unique_ptr<PgRegister> m_reg;
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
    // "x" first: reading text drops a leading U+FEFF as a byte-order mark.
    ds.setSQL("SELECT c, 'x' || qv_fold(chr(c)) AS folded, qv_sortkey(chr(c)) AS sortkey "
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
        if (ds.field("folded").asString() != u'x' + ::character(QChar::toCaseFolded(c))) {
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

QTEST_GUILESS_MAIN(TestPgRegister)
#include "tst_pgregister.moc"
