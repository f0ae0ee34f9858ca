// SPDX-License-Identifier: GPL-3.0-or-later
#include "PgRegister.h"
#include "RegisterGenerator.h"
#include "db/MemberSQL.h"
#include "platform/data/Query.h"
#include "platform/data/TextCollation.h"
#include "search/QuickFind.h"
#include "support/PgFixture.h"
#include "support/RegisterFixture.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <map>
#include <set>

using namespace qv;

namespace {

// The quick find's rules written out as the plainest loop over the register's
// rows, to hold the index against.
std::vector<qint64> plainScan(Connection& connection, const QString& text, const QDate& today) {
    struct Member {
        qint64 id = 0;
        QString surname, firstNames;
        QStringList ordinary, compact;
        bool hasPeriod = false, current = false;
        QDateTime latest;
    };
    std::map<qint64, Member> members;
    Result result;
    Query query(&connection);
    query.setSQL(QStringLiteral("SELECT MemberID, Surname, FirstNames, Address, City, PostCode, "
                                "TelNo, MobileNo, EmailAddress FROM Members"));
    query.fetch(result);
    const auto at = [&result](int row, int column) {
        return result.rows.value(result.rows.cell(row, column));
    };
    for (int row = 0; row < result.rows.rowCount(); ++row) {
        Member& m = members[at(row, 0).toInteger()];
        m.id = at(row, 0).toInteger();
        m.surname = at(row, 1).toText();
        m.firstNames = at(row, 2).toText();
        for (int column : {1, 2, 3, 4, 8})
            m.ordinary << at(row, column).toText();
        for (int column : {5, 6, 7})
            m.compact << at(row, column).toText();
    }
    query.setSQL(QStringLiteral("SELECT MemberID, DateJoined, DateEnded, MembershipNo FROM "
                                "DatesJoined"));
    query.fetch(result);
    for (int row = 0; row < result.rows.rowCount(); ++row) {
        Member& m = members[at(row, 0).toInteger()];
        m.ordinary << at(row, 3).toText();
        const QDateTime joined = at(row, 1).toDateTime();
        const bool current = at(row, 2).isNull() || at(row, 2).toDateTime().date() >= today;
        if (!m.hasPeriod || joined > m.latest)
            m.current = current;
        else if (joined == m.latest)
            m.current = m.current || current;
        if (!m.hasPeriod || joined > m.latest)
            m.latest = joined;
        m.hasPeriod = true;
    }

    static const QRegularExpression space(QStringLiteral("\\s+"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    const QStringList words = text.split(space, Qt::SkipEmptyParts);
    std::vector<const Member*> found;
    for (const auto& [id, m] : members) {
        bool all = !words.isEmpty();
        for (const QString& word : words) {
            const std::string folded = QuickFindIndex::folded(word);
            const std::string compact = QuickFindIndex::compacted(folded);
            bool here = false;
            for (const QString& field : m.ordinary)
                here = here || QuickFindIndex::folded(field).find(folded) != std::string::npos;
            for (const QString& field : m.compact)
                here = here ||
                       (!compact.empty() &&
                        QuickFindIndex::compacted(QuickFindIndex::folded(field)).find(compact) !=
                            std::string::npos);
            all = all && here;
        }
        if (all)
            found.push_back(&m);
    }
    const auto group = [](const Member* m) { return !m->hasPeriod ? 2 : m->current ? 0 : 1; };
    const auto compare = [](const QString& a, const QString& b) {
        const QByteArray x = a.toUtf8(), y = b.toUtf8();
        return compareText(x.constData(), size_t(x.size()), y.constData(), size_t(y.size()));
    };
    std::sort(found.begin(), found.end(), [&](const Member* a, const Member* b) {
        if (group(a) != group(b))
            return group(a) < group(b);
        if (const int c = compare(a->surname, b->surname); c != 0)
            return c < 0;
        if (const int c = compare(a->firstNames, b->firstNames); c != 0)
            return c < 0;
        return a->id < b->id;
    });
    std::vector<qint64> ids;
    for (const Member* m : found)
        ids.push_back(m->id);
    return ids;
}

// Every field of some members, cut into words a user might type.
QStringList typedFromRegister(Connection& connection) {
    Result result;
    Query query(&connection);
    query.setSQL(QStringLiteral("SELECT Members.Surname, Members.City, Members.PostCode, "
                                "Members.TelNo, Members.EmailAddress, DatesJoined.MembershipNo "
                                "FROM Members INNER JOIN DatesJoined ON DatesJoined.MemberID = "
                                "Members.MemberID ORDER BY DatesJoined.DatesJoinedID"));
    query.fetch(result);
    QStringList texts;
    for (int row = 0; row < result.rows.rowCount(); row += 97) {
        const auto text = [&](int column) {
            return result.rows.value(result.rows.cell(row, column)).toText();
        };
        texts << text(0).left(3) + u' ' + text(1).left(4) << text(2).remove(u' ').toLower()
              << text(3).mid(2, 5) << text(4).section(u'@', 0, 0) << text(5);
    }
    return texts;
}

} // namespace

class TestQuickFind : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void foldsAsTyped_data();
    void foldsAsTyped();
    void matchesPlainScan_data();
    void matchesPlainScan();
    void secondConnectionShowsAtNextKeystroke();
    void fullListHoldsEveryMemberFound();

private:
    // Asks the searcher as the box does and waits for its answer.
    std::vector<qint64> quickFind(QuickFindSearcher& searcher, const QString& connectionString,
                                  const QString& text);

    std::unique_ptr<test::SettingsSandbox> m_settings;
    // The register of the Jet fixtures, with an e-mail holding "+", and a
    // generated one: as files, or copied to PostgreSQL registers.
    std::unique_ptr<test::Register> m_fixtureFile, m_generatedFile;
#ifdef QV_QUICKFIND_ON_POSTGRESQL
    std::unique_ptr<test::PgRegister> m_fixtureServer, m_generatedServer;
#endif
    Connection* m_fixture = nullptr;
    Connection* m_generated = nullptr;
    QString m_fixtureString, m_generatedString;
    QuickFindSearcher m_searcher;
};

void TestQuickFind::initTestCase() {
#ifdef QV_QUICKFIND_ON_POSTGRESQL
    QV_REQUIRE_PG_SERVER();
#endif
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_fixtureFile = std::make_unique<test::Register>(QStringLiteral("fixture.mdb"));
    m_fixtureFile->connection().close();
    QFile::remove(m_fixtureFile->path());
    QVERIFY(
        QFile::copy(QStringLiteral(QV_JET_DATA "/register-small.sqlite"), m_fixtureFile->path()));
    QFile(m_fixtureFile->path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_fixtureFile->connection().open();
    test::Register::MemberRow plus;
    plus.surname = QStringLiteral("Plus");
    plus.firstNames = QStringLiteral("Ann");
    plus.email = QStringLiteral("ann+club@example.org");
    plus.postCode = QStringLiteral("LS6 2QT");
    plus.telNo = QStringLiteral("(0113) 496-0999");
    const qint64 ann = m_fixtureFile->addMember(plus);
    m_fixtureFile->addPeriod(ann, QDate(2020, 1, 1), QDate(2021, 1, 1), 1, QStringLiteral("P+1"));
    // A period ending today is still current: Bella and Cara come before
    // Aaron, whose period ended yesterday.
    const QDate today = QDate::currentDate();
    const std::pair<const char*, QDate> edges[] = {
        {"Aaron", today.addDays(-1)}, {"Bella", today}, {"Cara", today.addDays(1)}};
    for (const auto& [first, ended] : edges)
        m_fixtureFile->addPeriod(m_fixtureFile->addMember(QStringLiteral("Edgeday"), first),
                                 today.addYears(-3), ended);

    m_generatedFile = std::make_unique<test::Register>(QStringLiteral("generated.mdb"));
    m_generatedFile->connection().close();
    QFile::remove(m_generatedFile->path());
    bench::GenerateRegister(m_generatedFile->path(), 1500, 23);
    m_generatedFile->connection().open();

#ifdef QV_QUICKFIND_ON_POSTGRESQL
    m_fixtureServer = std::make_unique<test::PgRegister>();
    bench::CopyRegister(m_fixtureFile->path(), m_fixtureServer->connection());
    m_generatedServer = std::make_unique<test::PgRegister>();
    bench::CopyRegister(m_generatedFile->path(), m_generatedServer->connection());
    m_fixture = &m_fixtureServer->connection();
    m_generated = &m_generatedServer->connection();
    m_fixtureString = m_fixtureServer->connectionString();
    m_generatedString = m_generatedServer->connectionString();
#else
    m_fixture = &m_fixtureFile->connection();
    m_generated = &m_generatedFile->connection();
    m_fixtureString = m_fixtureFile->connectionString();
    m_generatedString = m_generatedFile->connectionString();
#endif
}

std::vector<qint64> TestQuickFind::quickFind(QuickFindSearcher& searcher,
                                             const QString& connectionString, const QString& text) {
    QSignalSpy answered(&searcher, &QuickFindSearcher::answered);
    QSignalSpy failed(&searcher, &QuickFindSearcher::failed);
    searcher.search(connectionString, text);
    if (!answered.wait(20000)) {
        qWarning() << "no answer" << failed;
        return {-1};
    }
    const auto answer = answered.at(0).at(0).value<QuickFindAnswer>();
    // The rows shown are the first members found.
    for (size_t i = 0; i < answer.rows.size(); ++i)
        if (answer.rows[i].memberId != answer.memberIds[i])
            return {-2};
    if (answer.rows.size() != std::min<size_t>(answer.memberIds.size(), QuickFindBox::kShownRows))
        return {-3};
    return answer.memberIds;
}

// Faults caught: an accent kept ("muller" misses "Müller"), a letter of another
// script changed into a different one, decomposed text folding otherwise than
// composed text.
void TestQuickFind::foldsAsTyped_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("found");
    QTest::newRow("umlaut") << "Müller"
                            << "muller" << true;
    QTest::newRow("capital umlaut") << "ZÜRICH"
                                    << "zurich" << true;
    QTest::newRow("decomposed") << QString::fromUtf8("Zoe\xCC\x88") << "ZOË" << true;
    QTest::newRow("greek tonos") << "Παπαδόπουλος"
                                 << "παπαδοπ" << true;
    QTest::newRow("cedilla and ring") << "Ça Ångström"
                                      << "angstr" << true;
    QTest::newRow("kana voicing kept") << "がっこう"
                                       << "かっこう" << false;
    QTest::newRow("hangul syllable whole") << "한국"
                                           << "하" << false;
    QTest::newRow("cjk as is") << "山田太郎"
                               << "田太" << true;
    QTest::newRow("other letter") << "Muller"
                                  << "miller" << false;
}

void TestQuickFind::foldsAsTyped() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, found);
    QCOMPARE(QuickFindIndex::folded(stored).find(QuickFindIndex::folded(typed)) !=
                 std::string::npos,
             found);
}

// Faults caught: a word matched across two fields or two members, a field or
// a period's number left out, post codes and phones compared with their
// spaces, "%" or "_" taken as wildcards, the wrong order or standing, members
// without a period lost.
void TestQuickFind::matchesPlainScan_data() {
    QTest::addColumn<bool>("generated");
    QTest::addColumn<QString>("text");
    const char* fixtureTexts[] = {
        "smi leeds", "SMITH",   "muller",    "zurich",    "zoe ångström", "o'brien", "obrien",
        "ls14ap",    "ls1-4ap", "LS1",       "4ap leeds", "0113496",      "+44",     "ann+club",
        "%",         "_",       "under_sc",  "山田",      "東京",         "παπαδ",   "αθηνα",
        "née",       "ç",       "example",   "x",         "s-10",         "old-77",  "p+1",
        "(0113)",    "ls62qt",  "zz-nobody", "-4",        "edgeday"};
    for (const char* text : fixtureTexts)
        QTest::newRow(text) << false << QString::fromUtf8(text);
    for (const QString& text : typedFromRegister(m_generatedFile->connection()))
        QTest::newRow(qPrintable(QStringLiteral("generated: ") + text)) << true << text;
}

void TestQuickFind::matchesPlainScan() {
    QFETCH(bool, generated);
    QFETCH(QString, text);
    Connection& connection = generated ? *m_generated : *m_fixture;
    // Typed a key at a time: each answer builds on the one before.
    for (qsizetype typed = 1; typed <= text.size(); ++typed) {
        const QString prefix = text.left(typed);
        const std::vector<qint64> expected = plainScan(connection, prefix, QDate::currentDate());
        const std::vector<qint64> found =
            quickFind(m_searcher, generated ? m_generatedString : m_fixtureString, prefix);
        QVERIFY2(found == expected, qPrintable(prefix));
    }
}

// Fault caught: an index kept after another connection changed the register,
// so a new or renamed member is missed, or found under his old name.
void TestQuickFind::secondConnectionShowsAtNextKeystroke() {
    Connection& writer = *m_fixture;
    QuickFindSearcher searcher;
    QCOMPARE(quickFind(searcher, m_fixtureString, QStringLiteral("quillfeather")).size(),
             size_t(0));

    writer.execute(QStringLiteral("INSERT INTO Members (Surname, FirstNames) VALUES "
                                  "('Quillfeather', 'Iris')"));
    const std::vector<qint64> added =
        quickFind(searcher, m_fixtureString, QStringLiteral("quillfeather"));
    QCOMPARE(added.size(), size_t(1));

    writer.execute(QStringLiteral("UPDATE Members SET Surname = 'Inkwell' WHERE Surname = "
                                  "'Quillfeather'"));
    QCOMPARE(quickFind(searcher, m_fixtureString, QStringLiteral("quillf")).size(), size_t(0));
    QCOMPARE(quickFind(searcher, m_fixtureString, QStringLiteral("inkwell iris")), added);
    writer.execute(QStringLiteral("DELETE FROM Members WHERE Surname = 'Inkwell'"));
}

// Faults caught: members without a period dropped from the full list (an
// inner join), a list of keys the server refuses.
void TestQuickFind::fullListHoldsEveryMemberFound() {
    const std::vector<qint64> found = quickFind(m_searcher, m_fixtureString, QStringLiteral("e"));
    QVERIFY(found.size() > 40);
    Query query(m_fixture);
    query.setSQL(MemberSQL::QuickFindListSQL(found));
    Result result;
    query.fetch(result);
    std::set<qint64> listed;
    for (int row = 0; row < result.rows.rowCount(); ++row)
        listed.insert(result.rows.value(result.rows.cell(row, 0)).toInteger());
    QCOMPARE(listed, std::set<qint64>(found.begin(), found.end()));
}

QTEST_GUILESS_MAIN(TestQuickFind)
#include "tst_quickfind.moc"
