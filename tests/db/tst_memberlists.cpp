// SPDX-License-Identifier: GPL-3.0-or-later
// The member list queries and the record statements on real registers.

#include "RegisterGenerator.h"
#include "db/DBConnectionStrings.h"
#include "db/MemberSQL.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/data/SqlText.h"
#include "support/RegisterFixture.h"

#include <QtTest>
#include <algorithm>
#include <map>
#include <sqlite3.h>

using namespace qv;
using qv::test::Register;

namespace {

// The member IDs a list shows, in its order, with every parameter set to the
// search value as the member list window does.
QList<qint64> listed(Register& reg, const QString& sql, const QString& searchValue = {},
                     const QString& column = "MemberID", QStringList* other = nullptr) {
    Dataset ds(&reg.connection());
    ds.setSQL(sql);
    ds.query().setAllParameters(Value(searchValue));
    ds.open();
    QList<qint64> ids;
    for (; !ds.eof(); ds.next()) {
        ids << ds.field(column).asInteger();
        if (other)
            *other << ds.field("MembershipNo").asString();
    }
    return ids;
}

QList<qint64> sorted(QList<qint64> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

qint64 addAsset(Register& reg, const QString& name) {
    return reg.insert("INSERT INTO Assets (AssetName) VALUES (:N)", {{"N", name}});
}
qint64 issue(Register& reg, qint64 member, qint64 asset, const QString& ref,
             const QDate& returned = {}) {
    return reg.insert("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued, AssetReference, "
                      "DateReturned) VALUES (:M, :A, #2010-01-01 00.00.00#, :R, :D)",
                      {{"M", member},
                       {"A", asset},
                       {"R", ref},
                       {"D", returned.isValid() ? Value(returned) : Value()}});
}
qint64 addProfile(Register& reg, const QString& name) {
    return reg.insert("INSERT INTO Profiles (ProfileName) VALUES (:N)", {{"N", name}});
}
qint64 hold(Register& reg, qint64 member, qint64 profile, const QDate& ended = {}) {
    return reg.insert(
        "INSERT INTO MemberProfiles (ProfileID, MemberID, ProfileStart, ProfileEnd) "
        "VALUES (:P, :M, #2010-01-01 00.00.00#, :E)",
        {{"P", profile}, {"M", member}, {"E", ended.isValid() ? Value(ended) : Value()}});
}
qint64 pay(Register& reg, qint64 member, const QDate& day) {
    return reg.insert("INSERT INTO FeePayments (PaymentDate, MemberID, PaymentAmount) VALUES (:D, "
                      ":M, 10)",
                      {{"D", day}, {"M", member}});
}

} // namespace

class TestMemberLists : public QObject {
    Q_OBJECT
private slots:
    void init() { m_box = std::make_unique<qv::test::SettingsSandbox>(); }
    void cleanup() { m_box.reset(); }

    void memberWithoutPeriodsIsInNoList();
    void twoLatestPeriodsOnOneDayListTwice();
    void assetSearches();
    void profileSearches();
    void keywordSearch();
    void unpaidFeesFromTheGivenDay();
    void pastMembersExcludeRejoined();
    void membershipLevelOfTheLatestPeriod();
    void membershipNumberOfAnyPeriod();
    void longServiceMatchesIndependentCount();
    void holdingSearchesSeekByMember();

    void levelInUseAndRecord();
    void memberNameExists();
    void minDateJoined();
    void deletesTouchOneRow();
    void genericStatements();

private:
    std::unique_ptr<qv::test::SettingsSandbox> m_box;
};

void TestMemberLists::memberWithoutPeriodsIsInNoList() {
    Register reg;
    const qint64 current = reg.addMember("Able", "Ann", "Ludlow", "1 High St");
    const qint64 former = reg.addMember("Cole", "Cat", "Ludlow", "3 High St");
    const qint64 without = reg.addMember("Baker", "Ben", "Ludlow", "2 High St");
    reg.addPeriod(current, QDate(2000, 1, 1), QDate(), 1, "N1");
    reg.addPeriod(former, QDate(2000, 1, 1), QDate(2001, 1, 1), 1, "N2");
    const qint64 a = addAsset(reg, "Key"), p = addProfile(reg, "Chair");
    for (const qint64 m : {current, former, without}) {
        issue(reg, m, a, "K-1");
        hold(reg, m, p);
    }
    const QString id = QString::number(a);
    const QList<std::pair<QString, QString>> lists = {
        {MemberSQL::AllMembersSQL(), {}},
        {MemberSQL::PastMembersSQL(), {}},
        {MemberSQL::MembershipLevelSQL(), "1"},
        {MemberSQL::AssetSQL(false, false), id},
        {MemberSQL::AssetSQL(true, true), "999"},
        {MemberSQL::AssetReferenceSQL(), "%K%"},
        {MemberSQL::ProfileSQL(true, false), QString::number(p)},
        {MemberSQL::ProfileSQL(false, true), "999"},
        {MemberSQL::KeywordSQL(false), "%Ludlow%"},
        {MemberSQL::KeywordSQL(true), "%nobody%"},
        {MemberSQL::MembershipNoSQL(true), "%zzz%"},
        {MemberSQL::UnpaidFeesSQL(QDateTime(QDate(2020, 1, 1), QTime())), {}},
        {MemberSQL::LongServiceSQL(reg.connection(), 2005), {}},
    };
    for (const auto& [sql, value] : lists) {
        const QList<qint64> ids = listed(reg, sql, value);
        QVERIFY2(!ids.isEmpty() && !ids.contains(without), qPrintable(sql));
    }
}

void TestMemberLists::twoLatestPeriodsOnOneDayListTwice() {
    Register reg;
    const qint64 m = reg.addMember("Able", "Ann", "Ludlow");
    const qint64 level = reg.addLevel("Senior");
    reg.addPeriod(m, QDate(1990, 1, 1), QDate(1995, 1, 1));
    const qint64 first = reg.addPeriod(m, QDate(2007, 5, 1), QDate(), 1, "A1");
    const qint64 second = reg.addPeriod(m, QDate(2007, 5, 1), QDate(), level, "A2");
    const qint64 a = addAsset(reg, "Key"), p = addProfile(reg, "Chair");
    issue(reg, m, a, "K-1");
    hold(reg, m, p);
    const QList<qint64> both = {first, second};
    const QList<std::pair<QString, QString>> lists = {
        {MemberSQL::AllMembersSQL(), {}},
        {MemberSQL::AssetSQL(false, false), QString::number(a)},
        {MemberSQL::AssetReferenceSQL(), "%K%"},
        {MemberSQL::ProfileSQL(false, false), QString::number(p)},
        {MemberSQL::KeywordSQL(false), "%ann%"},
        {MemberSQL::MembershipNoSQL(false), "%A%"},
        {MemberSQL::UnpaidFeesSQL(QDateTime(QDate(2020, 1, 1), QTime())), {}},
        {MemberSQL::LongServiceSQL(reg.connection(), 2012), {}},
    };
    for (const auto& [sql, value] : lists)
        QCOMPARE(sorted(listed(reg, sql, value, "DatesJoinedID")), both);
    QCOMPARE(listed(reg, MemberSQL::MembershipLevelSQL(), QString::number(level)),
             QList<qint64>({m}));
}

// Who holds an asset now, who ever held one, and the complements; a holder of
// two issues is one row, while the reference search lists each issue.
void TestMemberLists::assetSearches() {
    Register reg;
    const qint64 holder = reg.addMember("Able", "Ann"), returned = reg.addMember("Baker", "Ben"),
                 never = reg.addMember("Cole", "Cat");
    for (const qint64 m : {holder, returned, never})
        reg.addPeriod(m, QDate(2000, 1, 1));
    const qint64 key = addAsset(reg, "Key"), shirt = addAsset(reg, "Shirt");
    issue(reg, holder, key, "K-001");
    issue(reg, holder, key, "K-002");
    issue(reg, returned, key, "K-003", QDate(2011, 1, 1));
    issue(reg, never, shirt, "S-001");
    const QString k = QString::number(key);
    QCOMPARE(listed(reg, MemberSQL::AssetSQL(false, false), k), QList<qint64>({holder}));
    QCOMPARE(listed(reg, MemberSQL::AssetSQL(true, false), k), QList<qint64>({holder, returned}));
    QCOMPARE(listed(reg, MemberSQL::AssetSQL(false, true), k), QList<qint64>({returned, never}));
    QCOMPARE(listed(reg, MemberSQL::AssetSQL(true, true), k), QList<qint64>({never}));
    QCOMPARE(listed(reg, MemberSQL::AssetReferenceSQL(), "%k-00%"),
             QList<qint64>({holder, holder, returned}));
    QCOMPARE(listed(reg, MemberSQL::AssetReferenceSQL(), "%K-00%", "AssetID"),
             QList<qint64>({key, key, key}));
}

void TestMemberLists::profileSearches() {
    Register reg;
    const qint64 current = reg.addMember("Able", "Ann"), ended = reg.addMember("Baker", "Ben"),
                 never = reg.addMember("Cole", "Cat");
    for (const qint64 m : {current, ended, never})
        reg.addPeriod(m, QDate(2000, 1, 1));
    const qint64 chair = addProfile(reg, "Chair"), coach = addProfile(reg, "Coach");
    hold(reg, current, chair);
    hold(reg, current, chair, QDate(2005, 1, 1)); // held twice: still one row
    hold(reg, ended, chair, QDate(2012, 1, 1));
    hold(reg, never, coach);
    const QString c = QString::number(chair);
    QCOMPARE(listed(reg, MemberSQL::ProfileSQL(false, false), c), QList<qint64>({current}));
    QCOMPARE(listed(reg, MemberSQL::ProfileSQL(true, false), c), QList<qint64>({current, ended}));
    QCOMPARE(listed(reg, MemberSQL::ProfileSQL(false, true), c), QList<qint64>({ended, never}));
    QCOMPARE(listed(reg, MemberSQL::ProfileSQL(true, true), c), QList<qint64>({never}));
}

// Matching ignores case in every alphabet; the negated search leaves out a
// member whose address or city is null, as the engine evaluates NOT of null.
void TestMemberLists::keywordSearch() {
    Register reg;
    const qint64 muller = reg.addMember("MÜLLER", "Jörg", "Köln", "3 Grüner Weg");
    const qint64 jones = reg.addMember("Jones", "Ian", "Ludlow", "4 Mill Lane");
    const qint64 noAddress = reg.addMember("Brown", "Amy", "Ludlow");
    const qint64 noCity = reg.addMember("Green", "Tom", Value(), "5 Mill Lane");
    const qint64 byCity = reg.addMember("White", "Sue", "Müllheim", "6 Mill Lane");
    for (const qint64 m : {muller, jones, noAddress, noCity, byCity})
        reg.addPeriod(m, QDate(2000, 1, 1));
    QCOMPARE(listed(reg, MemberSQL::KeywordSQL(false), "%müll%"), QList<qint64>({muller, byCity}));
    QCOMPARE(listed(reg, MemberSQL::KeywordSQL(true), "%müll%"), QList<qint64>({jones}));
    QCOMPARE(listed(reg, MemberSQL::KeywordSQL(false), "%mill lane%"),
             QList<qint64>({noCity, jones, byCity}));
}

void TestMemberLists::unpaidFeesFromTheGivenDay() {
    Register reg;
    const qint64 march = reg.addMember("Able", "Ann"), april = reg.addMember("Baker", "Ben"),
                 never = reg.addMember("Cole", "Cat");
    for (const qint64 m : {march, april, never})
        reg.addPeriod(m, QDate(2000, 1, 1));
    pay(reg, march, QDate(2012, 3, 31));
    pay(reg, april, QDate(2011, 3, 1));
    pay(reg, april, QDate(2012, 4, 1));
    // The time of day of the given date does not move the boundary.
    const QDateTime firstApril(QDate(2012, 4, 1), QTime(16, 20));
    QCOMPARE(listed(reg, MemberSQL::UnpaidFeesSQL(firstApril)), QList<qint64>({march, never}));
}

void TestMemberLists::pastMembersExcludeRejoined() {
    Register reg;
    const qint64 left = reg.addMember("Able", "Ann"), rejoined = reg.addMember("Baker", "Ben"),
                 current = reg.addMember("Cole", "Cat");
    reg.addPeriod(left, QDate(2000, 1, 1), QDate(2005, 1, 1));
    reg.addPeriod(rejoined, QDate(2000, 1, 1), QDate(2005, 1, 1));
    reg.addPeriod(rejoined, QDate(2008, 1, 1));
    reg.addPeriod(current, QDate(2000, 1, 1));
    QCOMPARE(listed(reg, MemberSQL::PastMembersSQL()), QList<qint64>({left}));
}

void TestMemberLists::membershipLevelOfTheLatestPeriod() {
    Register reg;
    const qint64 senior = reg.addLevel("Senior");
    const qint64 was = reg.addMember("Able", "Ann"), is = reg.addMember("Baker", "Ben");
    reg.addPeriod(was, QDate(2000, 1, 1), QDate(2005, 1, 1), senior);
    reg.addPeriod(was, QDate(2006, 1, 1), QDate(), 1);
    reg.addPeriod(is, QDate(2006, 1, 1), QDate(), senior);
    QCOMPARE(listed(reg, MemberSQL::MembershipLevelSQL(), QString::number(senior)),
             QList<qint64>({is}));
}

void TestMemberLists::membershipNumberOfAnyPeriod() {
    Register reg;
    const qint64 m = reg.addMember("Able", "Ann"), other = reg.addMember("Baker", "Ben");
    reg.addPeriod(m, QDate(2000, 1, 1), QDate(2005, 1, 1), 1, "A100");
    reg.addPeriod(m, QDate(2008, 1, 1), QDate(), 1, "B200");
    reg.addPeriod(other, QDate(2000, 1, 1), QDate(), 1, "C300");
    QStringList numbers;
    QCOMPARE(listed(reg, MemberSQL::MembershipNoSQL(false), "%a10%", "MemberID", &numbers),
             QList<qint64>({m}));
    QCOMPARE(numbers, QStringList({"B200"}));
    QCOMPARE(listed(reg, MemberSQL::MembershipNoSQL(true), "%A10%"), QList<qint64>({other}));
}

// The long-service list against a count made here from the raw tables: the
// latest periods of current members at flagged levels that began in a
// calendar year 5, 10, 15 ... before the given year, oldest first.
void TestMemberLists::longServiceMatchesIndependentCount() {
    test::TempFolder folder;
    const QString path = folder.filePath("generated.mdb");
    bench::GenerateRegister(path, 3000, 7);
    Connection connection;
    connection.setConnectionString(DBConnectionStrings::AccessConnectionString(path));
    connection.open();

    std::map<qint64, bool> flagged;
    Dataset levels(&connection);
    levels.setSQL("SELECT MembershipLevelID, IncludeLongService FROM MembershipLevel");
    for (levels.open(); !levels.eof(); levels.next())
        flagged[levels.field("MembershipLevelID").asInteger()] =
            levels.field("IncludeLongService").asBoolean();
    struct Period {
        qint64 id, member, level;
        QDateTime joined, ended;
        bool open;
    };
    std::map<qint64, std::vector<Period>> byMember;
    Dataset periods(&connection);
    periods.setSQL("SELECT * FROM DatesJoined");
    for (periods.open(); !periods.eof(); periods.next())
        byMember[periods.field("MemberID").asInteger()].push_back(
            {periods.field("DatesJoinedID").asInteger(), periods.field("MemberID").asInteger(),
             periods.field("MembershipLevelID").asInteger(),
             periods.field("DateJoined").asDateTime(), periods.field("DateEnded").asDateTime(),
             periods.field("DateEnded").isNull()});
    const QDateTime now = QDateTime::currentDateTime();

    for (const int year : {2025, 2013, 1990}) {
        QList<qint64> expected;
        for (const auto& [member, list] : byMember) {
            QDateTime latest;
            for (const Period& p : list)
                latest = std::max(latest, p.joined);
            for (const Period& p : list) {
                const int back = year - p.joined.date().year();
                if (p.joined == latest && flagged[p.level] && (p.open || p.ended >= now) &&
                    back > 0 && back % 5 == 0)
                    expected << p.id;
            }
        }
        Dataset ds(&connection);
        ds.setSQL(MemberSQL::LongServiceSQL(connection, year));
        ds.open();
        QList<qint64> got;
        QDateTime previous;
        for (; !ds.eof(); ds.next()) {
            got << ds.field("DatesJoinedID").asInteger();
            const QDateTime joined = ds.field("DateJoined").asDateTime();
            QVERIFY(previous <= joined); // oldest first
            previous = joined;
            QVERIFY(ds.field("IncludeLongService").asBoolean());
        }
        QCOMPARE(sorted(got), sorted(expected));
        if (year == 2025)
            QVERIFY(got.size() > 100);
    }
}

// The "holds that kind" test runs once per member: it must seek by member, not
// walk every issue or holding of the kind.
void TestMemberLists::holdingSearchesSeekByMember() {
    Register reg;
    for (const auto& [sql, index] :
         {std::pair{MemberSQL::AssetSQL(false, true), QString("ixMemberAssetsMemberID")},
          std::pair{MemberSQL::ProfileSQL(false, false), QString("ixMemberProfilesMemberID")}}) {
        Dataset plan(&reg.connection());
        plan.setSQL("EXPLAIN QUERY PLAN " + prepareParameters(sql).text.replace('?', "'1'"));
        QString details;
        for (plan.open(); !plan.eof(); plan.next())
            details += plan.field("detail").asString() + "\n";
        QVERIFY2(details.contains(index + " (MemberID=? AND "), qPrintable(details));
    }
}

void TestMemberLists::levelInUseAndRecord() {
    Register reg;
    const qint64 past = reg.addLevel("Past only", 0x00FF00, 0x0000FF, false);
    const qint64 unused = reg.addLevel("Unused");
    const qint64 m = reg.addMember("Able", "Ann");
    reg.addPeriod(m, QDate(1990, 1, 1), QDate(1991, 1, 1), past);
    QVERIFY(MemberSQL::MembershipLevelInUse(reg.connection(), int(past)));
    QVERIFY(!MemberSQL::MembershipLevelInUse(reg.connection(), int(unused)));

    const MemberSQL::MembershipLevelRecord read =
        MemberSQL::GetMembershipLevel(reg.connection(), int(past));
    QCOMPARE(read, (MemberSQL::MembershipLevelRecord{"Past only", 0x00FF00, 0x0000FF, false}));
    QCOMPARE(MemberSQL::GetMembershipLevel(reg.connection(), 9999),
             (MemberSQL::MembershipLevelRecord{QString(), 0, 0, false}));

    const MemberSQL::MembershipLevelRecord changed{"Life Member ÿ", -1, 0x123456, true};
    MemberSQL::UpdateMembershipLevel(reg.connection(), int(unused), changed);
    QCOMPARE(MemberSQL::GetMembershipLevel(reg.connection(), int(unused)), changed);
    QCOMPARE(MemberSQL::GetMembershipLevel(reg.connection(), int(past)), read);

    // Another program may have stored a longer category than the column's width.
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(reg.path().toUtf8(), &raw), SQLITE_OK);
    sqlite3_exec(raw, "UPDATE MembershipLevel SET MemberCategory = 'Twenty-five characters!!'",
                 nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    QCOMPARE(MemberSQL::GetMembershipLevel(reg.connection(), int(past)).MemberCategory,
             QString("Twenty-five characte"));
}

void TestMemberLists::memberNameExists() {
    Register reg;
    const qint64 me = reg.addMember("Lee", "Ann");
    QVERIFY(!MemberSQL::MemberNameExists(reg.connection(), int(me), "Ann", "Lee"));
    const qint64 past = reg.addMember("LEE", "ann");
    reg.addPeriod(past, QDate(1990, 1, 1), QDate(1991, 1, 1));
    QVERIFY(MemberSQL::MemberNameExists(reg.connection(), int(me), "Ann", "Lee"));
    QVERIFY(MemberSQL::MemberNameExists(reg.connection(), int(past), "Ann", "Lee"));
    QVERIFY(!MemberSQL::MemberNameExists(reg.connection(), int(me), "Anne", "Lee"));
    QVERIFY(!MemberSQL::MemberNameExists(reg.connection(), int(me), "Ann", "O'Lee"));
}

void TestMemberLists::minDateJoined() {
    Register reg;
    QCOMPARE(MemberSQL::MinDateJoined(reg.connection()),
             QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    const qint64 m = reg.addMember("Able", "Ann");
    reg.addPeriod(m, QDate(2003, 7, 9));
    reg.addPeriod(m, QDate(1987, 2, 28), QDate(1990, 1, 1));
    QCOMPARE(MemberSQL::MinDateJoined(reg.connection()),
             QDateTime(QDate(1987, 2, 28), QTime(0, 0)));
}

void TestMemberLists::deletesTouchOneRow() {
    Register reg;
    const qint64 m = reg.addMember("Able", "Ann");
    const qint64 a = addAsset(reg, "Key"), p = addProfile(reg, "Chair");
    const auto twice = [&](const std::function<qint64()>& add) {
        const qint64 first = add();
        add();
        return int(first);
    };
    struct Case {
        const char* table;
        int key;
        void (*remove)(Connection&, int);
    };
    const Case cases[] = {
        {"DatesJoined", twice([&] { return reg.addPeriod(m, QDate(2000, 1, 1)); }),
         MemberSQL::DeleteDatesJoined},
        {"MemberAssets", twice([&] { return issue(reg, m, a, "K"); }),
         MemberSQL::DeleteMemberAsset},
        {"MemberProfiles", twice([&] { return hold(reg, m, p); }), MemberSQL::DeleteMemberProfile},
        {"FeePayments", twice([&] { return pay(reg, m, QDate(2012, 1, 1)); }),
         MemberSQL::DeleteFeePayment},
        {"FileAttachments", twice([&] {
             return reg.insert("INSERT INTO FileAttachments (MemberID, FilePath, FileDescription, "
                               "DateAdded) VALUES (:M, '/tmp/a.pdf', 'Form', "
                               "#2012-01-01 00.00.00#)",
                               {{"M", m}});
         }),
         MemberSQL::DeleteFileAttachment},
        {"MemberNotes", twice([&] {
             return reg.insert("INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (:M, 'x')",
                               {{"M", m}});
         }),
         MemberSQL::DeleteMemberNote},
    };
    for (const Case& c : cases) {
        c.remove(reg.connection(), c.key);
        QCOMPARE(reg.count(c.table), 1);
        c.remove(reg.connection(), c.key); // gone already: nothing happens
        QCOMPARE(reg.count(c.table), 1);
    }
    QCOMPARE(reg.count("Members"), 1);
}

void TestMemberLists::genericStatements() {
    Register reg;
    const qint64 chair = addProfile(reg, "Chair"), coach = addProfile(reg, "Coach");
    const qint64 level = reg.addLevel("Junior");
    const qint64 m = reg.addMember("Able", "Ann");
    reg.addPeriod(m, QDate(2000, 1, 1), QDate(2001, 1, 1), level);
    reg.addPeriod(m, QDate(2002, 1, 1), QDate(), 1);
    hold(reg, m, chair);

    MemberSQL::UpdateByKey(reg.connection(), "Profiles", "ProfileID", "ProfileName", int(coach),
                           "Trainer's aide");
    QCOMPARE(
        reg.scalar("SELECT ProfileName FROM Profiles WHERE ProfileID = " + QString::number(coach))
            .toText(),
        QString("Trainer's aide"));
    QCOMPARE(
        reg.scalar("SELECT ProfileName FROM Profiles WHERE ProfileID = " + QString::number(chair))
            .toText(),
        QString("Chair"));

    // Deleting a level takes its periods with it; the caller asks first.
    MemberSQL::DeleteByKey(reg.connection(), "MembershipLevel", "MembershipLevelID", int(level));
    QCOMPARE(reg.count("DatesJoined"), 1);
    MemberSQL::DeleteByKey(reg.connection(), "Profiles", "ProfileID", int(chair));
    QCOMPARE(reg.count("MemberProfiles"), 0);
    QVERIFY_THROWS_EXCEPTION(
        DatabaseError, MemberSQL::DeleteByKey(reg.connection(), "NoSuchTable", "NoSuchTableID", 1));
}

QTEST_GUILESS_MAIN(TestMemberLists)
#include "tst_memberlists.moc"
