// SPDX-License-Identifier: GPL-3.0-or-later
// The member list texts are shared with existing registers and other
// programs: every one is compared here with the whole text written out.

#include "settings/MemberSettings.h"
#include "db/MemberSQL.h"
#include "support/RegisterFixture.h"

#include <QtTest>
#include <functional>

using qv::test::Register;
using Builder = std::function<QString()>;
Q_DECLARE_METATYPE(Builder)

// The pieces every list shares, each written out in full.
#define COLUMNS                                                                                    \
    "SELECT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "              \
    "Members.City, Members.PostCode, Members.TelNo, Members.MobileNo, Members.EmailAddress, "      \
    "DatesJoined.DateJoined, DatesJoined.DateEnded, DatesJoined.DatesJoinedID, "                   \
    "MembershipLevel.HighlightColour, MembershipLevel.FontColour"
#define DISTINCT_COLUMNS                                                                           \
    "SELECT DISTINCT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "     \
    "Members.City, Members.PostCode, Members.TelNo, Members.MobileNo, Members.EmailAddress, "      \
    "DatesJoined.DateJoined, DatesJoined.DateEnded, DatesJoined.DatesJoinedID, "                   \
    "MembershipLevel.HighlightColour, MembershipLevel.FontColour"
#define FROM2                                                                                      \
    " FROM ((Members INNER JOIN (    SELECT MemberID, MAX(DateJoined) AS MaxDateJoined    FROM "   \
    "DatesJoined    GROUP BY MemberID ) AS sm ON sm.MemberID = Members.MemberID) INNER JOIN "      \
    "DatesJoined ON DatesJoined.MemberID = sm.MemberID AND DatesJoined.DateJoined = "              \
    "sm.MaxDateJoined) LEFT JOIN MembershipLevel ON DatesJoined.MembershipLevelID = "              \
    "MembershipLevel.MembershipLevelID"
#define FROM3                                                                                      \
    " FROM (((Members INNER JOIN (    SELECT MemberID, MAX(DateJoined) AS MaxDateJoined    FROM "  \
    "DatesJoined    GROUP BY MemberID ) AS sm ON sm.MemberID = Members.MemberID) INNER JOIN "      \
    "DatesJoined ON DatesJoined.MemberID = sm.MemberID AND DatesJoined.DateJoined = "              \
    "sm.MaxDateJoined) LEFT JOIN MembershipLevel ON DatesJoined.MembershipLevelID = "              \
    "MembershipLevel.MembershipLevelID)"
#define LEVEL ", MembershipLevel.MembershipLevelID"
#define ORDER " ORDER BY Surname, FirstNames"

class TestMemberSQL : public QObject {
    Q_OBJECT
private slots:
    void wholeTextOfAllMembers();
    void listTexts_data();
    void listTexts();
    void longServiceText_data();
    void longServiceText();
    void longServiceRanges();
};

void TestMemberSQL::wholeTextOfAllMembers() {
    qv::test::SettingsSandbox box;
    QCOMPARE(
        MemberSQL::AllMembersSQL(),
        QString("SELECT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "
                "Members.City, Members.PostCode, Members.TelNo, Members.MobileNo, "
                "Members.EmailAddress, DatesJoined.DateJoined, DatesJoined.DateEnded, "
                "DatesJoined.DatesJoinedID, MembershipLevel.HighlightColour, "
                "MembershipLevel.FontColour, MembershipLevel.MembershipLevelID FROM ((Members "
                "INNER JOIN (    SELECT MemberID, MAX(DateJoined) AS MaxDateJoined    FROM "
                "DatesJoined    GROUP BY MemberID ) AS sm ON sm.MemberID = Members.MemberID) "
                "INNER JOIN DatesJoined ON DatesJoined.MemberID = sm.MemberID AND "
                "DatesJoined.DateJoined = sm.MaxDateJoined) LEFT JOIN MembershipLevel ON "
                "DatesJoined.MembershipLevelID = MembershipLevel.MembershipLevelID ORDER BY "
                "Surname, FirstNames"));
}

void TestMemberSQL::listTexts_data() {
    QTest::addColumn<bool>("fileKind");
    QTest::addColumn<Builder>("build");
    QTest::addColumn<QString>("expected");
    const QDateTime afternoon(QDate(2012, 4, 1), QTime(15, 45, 10));
    for (const bool file : {true, false}) {
        const auto row = [file](const char* name) -> QTestData& {
            return QTest::newRow(qPrintable(QString(name) + (file ? " / file" : " / server")))
                   << file;
        };
        row("AllMembers") << Builder(MemberSQL::AllMembersSQL)
                          << QString(COLUMNS LEVEL FROM2 ORDER);
        row("PastMembers") << Builder(MemberSQL::PastMembersSQL)
                           << QString(COLUMNS FROM2 " WHERE DatesJoined.DateEnded IS NOT NULL" ORDER
                                                    " ");
        row("MembershipLevel")
            << Builder(MemberSQL::MembershipLevelSQL)
            << QString(COLUMNS LEVEL FROM2
                       " WHERE DatesJoined.MembershipLevelID = :MembershipLevelID" ORDER);
        row("Asset current") << Builder([] { return MemberSQL::AssetSQL(false, false); })
                             << QString(COLUMNS LEVEL FROM3
                                        " WHERE EXISTS (SELECT 1 FROM MemberAssets WHERE "
                                        "MemberAssets.MemberID = Members.MemberID AND "
                                        "MemberAssets.AssetID = :AssetID AND "
                                        "MemberAssets.DateReturned IS NULL )" ORDER);
        row("Asset historic") << Builder([] { return MemberSQL::AssetSQL(true, false); })
                              << QString(COLUMNS LEVEL FROM3
                                         " WHERE EXISTS (SELECT 1 FROM MemberAssets WHERE "
                                         "MemberAssets.MemberID = Members.MemberID AND "
                                         "MemberAssets.AssetID = :AssetID )" ORDER);
        row("Asset current, not") << Builder([] { return MemberSQL::AssetSQL(false, true); })
                                  << QString(COLUMNS LEVEL FROM3
                                             " WHERE NOT EXISTS (SELECT 1 FROM MemberAssets "
                                             "WHERE MemberAssets.MemberID = Members.MemberID AND "
                                             "MemberAssets.AssetID = :AssetID AND "
                                             "MemberAssets.DateReturned IS NULL )" ORDER);
        row("Asset historic, not")
            << Builder([] { return MemberSQL::AssetSQL(true, true); })
            << QString(COLUMNS LEVEL FROM3 " WHERE NOT EXISTS (SELECT 1 FROM MemberAssets "
                                           "WHERE MemberAssets.MemberID = Members.MemberID "
                                           "AND MemberAssets.AssetID = :AssetID )" ORDER);
        row("AssetReference") << Builder(MemberSQL::AssetReferenceSQL)
                              << QString(COLUMNS LEVEL
                                         ", MemberAssets.AssetID" FROM3
                                         " LEFT JOIN MemberAssets ON Members.MemberID = "
                                         "MemberAssets.MemberID WHERE "
                                         "MemberAssets.AssetReference LIKE :AssetReference" ORDER);
        row("Profile current") << Builder([] { return MemberSQL::ProfileSQL(false, false); })
                               << QString(DISTINCT_COLUMNS LEVEL FROM3
                                          " WHERE EXISTS (SELECT 1 FROM MemberProfiles WHERE "
                                          "MemberProfiles.MemberID = Members.MemberID AND "
                                          "MemberProfiles.ProfileID = :ProfileID AND "
                                          "MemberProfiles.ProfileEnd IS NULL )" ORDER);
        row("Profile historic") << Builder([] { return MemberSQL::ProfileSQL(true, false); })
                                << QString(DISTINCT_COLUMNS LEVEL FROM3
                                           " WHERE EXISTS (SELECT 1 FROM MemberProfiles WHERE "
                                           "MemberProfiles.MemberID = Members.MemberID AND "
                                           "MemberProfiles.ProfileID = :ProfileID )" ORDER);
        row("Profile current, not") << Builder([] { return MemberSQL::ProfileSQL(false, true); })
                                    << QString(DISTINCT_COLUMNS LEVEL FROM3
                                               " WHERE NOT EXISTS (SELECT 1 FROM MemberProfiles "
                                               "WHERE MemberProfiles.MemberID = "
                                               "Members.MemberID AND MemberProfiles.ProfileID = "
                                               ":ProfileID AND MemberProfiles.ProfileEnd IS NULL "
                                               ")" ORDER);
        row("Profile historic, not") << Builder([] { return MemberSQL::ProfileSQL(true, true); })
                                     << QString(DISTINCT_COLUMNS LEVEL FROM3
                                                " WHERE NOT EXISTS (SELECT 1 FROM "
                                                "MemberProfiles WHERE MemberProfiles.MemberID = "
                                                "Members.MemberID AND MemberProfiles.ProfileID = "
                                                ":ProfileID )" ORDER);
        row("Keyword") << Builder([] { return MemberSQL::KeywordSQL(false); })
                       << QString(COLUMNS LEVEL FROM3
                                  " WHERE (FirstNames LIKE :Keyword OR Surname LIKE :Keyword OR "
                                  "Address LIKE :Keyword OR City LIKE :Keyword)" ORDER);
        row("Keyword, not") << Builder([] { return MemberSQL::KeywordSQL(true); })
                            << QString(COLUMNS LEVEL FROM3
                                       " WHERE NOT (FirstNames LIKE :Keyword OR Surname LIKE "
                                       ":Keyword OR Address LIKE :Keyword OR City LIKE "
                                       ":Keyword)" ORDER);
        const char* numberColumns =
            "SELECT Members.MemberID, Members.Surname, Members.FirstNames, Members.Address, "
            "Members.City, Members.PostCode, Members.TelNo, Members.MobileNo, "
            "Members.EmailAddress, DatesJoined.DateJoined, DatesJoined.DateEnded, "
            "DatesJoined.DatesJoinedID, DatesJoined.MembershipNo, MembershipLevel.HighlightColour, "
            "MembershipLevel.FontColour, MembershipLevel.MembershipLevelID";
        row("MembershipNo") << Builder([] { return MemberSQL::MembershipNoSQL(false); })
                            << QString(numberColumns) + FROM2
                                   " WHERE EXISTS (SELECT 1 FROM DatesJoined WHERE "
                                   "DatesJoined.MemberID = Members.MemberID AND "
                                   "DatesJoined.MembershipNo LIKE :MembershipNo ) ";
        row("MembershipNo, not") << Builder([] { return MemberSQL::MembershipNoSQL(true); })
                                 << QString(numberColumns) + FROM2
                                        " WHERE NOT EXISTS (SELECT 1 FROM DatesJoined WHERE "
                                        "DatesJoined.MemberID = Members.MemberID AND "
                                        "DatesJoined.MembershipNo LIKE :MembershipNo ) ";
        row("UnpaidFees") << Builder([afternoon] { return MemberSQL::UnpaidFeesSQL(afternoon); })
                          << QString(COLUMNS FROM3
                                     " WHERE NOT EXISTS (SELECT * FROM FeePayments WHERE "
                                     "FeePayments.MemberID = sm.MemberID AND PaymentDate >= ") +
                                 (file ? "#2012-04-01 00.00.00#"
                                       : "CONVERT(DATETIME, '2012-04-01 00:00:00', 102)") +
                                 ")" ORDER " ";
    }
}

void TestMemberSQL::listTexts() {
    QFETCH(bool, fileKind);
    QFETCH(Builder, build);
    QFETCH(QString, expected);
    qv::test::SettingsSandbox box;
    MemberSettings::SetUseAccessDatabase(fileKind);
    QCOMPARE(build(), expected);
}

void TestMemberSQL::longServiceText_data() {
    QTest::addColumn<bool>("fileKind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("file") << true
                          << QString(COLUMNS
                                     ", MembershipLevel.IncludeLongService" LEVEL FROM2
                                     " WHERE (MembershipLevel.IncludeLongService = true) AND "
                                     "((DateEnded IS NULL) OR (DateEnded >= now)) AND "
                                     "((sm.MaxDateJoined >= #2007-01-01 00.00.00# AND "
                                     "sm.MaxDateJoined <= #2007-12-31 00.00.00#) OR "
                                     "(sm.MaxDateJoined >= #2002-01-01 00.00.00# AND "
                                     "sm.MaxDateJoined <= #2002-12-31 00.00.00#) ) ORDER BY "
                                     "sm.MaxDateJoined");
    QTest::newRow("server") << false
                            << QString(COLUMNS
                                       ", MembershipLevel.IncludeLongService" LEVEL FROM2
                                       " WHERE (MembershipLevel.IncludeLongService = 1) AND "
                                       "((DateEnded IS NULL) OR (DateEnded >= GetDate())) AND "
                                       "((sm.MaxDateJoined >= CONVERT(DATETIME, '2007-01-01 "
                                       "00:00:00', 102) AND sm.MaxDateJoined <= "
                                       "CONVERT(DATETIME, '2007-12-31 00:00:00', 102)) OR "
                                       "(sm.MaxDateJoined >= CONVERT(DATETIME, '2002-01-01 "
                                       "00:00:00', 102) AND sm.MaxDateJoined <= "
                                       "CONVERT(DATETIME, '2002-12-31 00:00:00', 102)) ) ORDER BY "
                                       "sm.MaxDateJoined");
}

void TestMemberSQL::longServiceText() {
    QFETCH(bool, fileKind);
    QFETCH(QString, expected);
    qv::test::SettingsSandbox box;
    Register reg;
    const qint64 m = reg.addMember("Ash", "Amy");
    reg.addPeriod(m, QDate(2001, 6, 15), QDate(2004, 1, 1));
    reg.addPeriod(m, QDate(2006, 3, 1));
    MemberSettings::SetUseAccessDatabase(fileKind);
    QCOMPARE(MemberSQL::LongServiceSQL(reg.connection(), 2012), expected);
}

// How far back the ranges reach: to the earliest DateJoined's year, never
// short of year - 5.
void TestMemberSQL::longServiceRanges() {
    qv::test::SettingsSandbox box;
    const auto ranges = [](const QString& sql) { return sql.count("(sm.MaxDateJoined >= #"); };
    {
        Register empty;
        const QString sql = MemberSQL::LongServiceSQL(empty.connection(), 2012);
        QCOMPARE(ranges(sql), 22);
        QVERIFY(sql.contains("(sm.MaxDateJoined >= #1902-01-01 00.00.00# AND sm.MaxDateJoined <= "
                             "#1902-12-31 00.00.00#) ) ORDER BY"));
    }
    Register reg;
    const qint64 m = reg.addMember("Ash", "Amy");
    const qint64 p = reg.addPeriod(m, QDate(2011, 12, 31));
    QCOMPARE(ranges(MemberSQL::LongServiceSQL(reg.connection(), 2012)), 1); // only 2007
    reg.insert("UPDATE DatesJoined SET DateJoined = #2002-12-31 00.00.00# WHERE DatesJoinedID = :P",
               {{"P", p}});
    QCOMPARE(ranges(MemberSQL::LongServiceSQL(reg.connection(), 2012)), 2); // 2002 = earliest
    reg.insert("UPDATE DatesJoined SET DateJoined = #2003-01-01 00.00.00# WHERE DatesJoinedID = :P",
               {{"P", p}});
    QCOMPARE(ranges(MemberSQL::LongServiceSQL(reg.connection(), 2012)), 1);
}

QTEST_GUILESS_MAIN(TestMemberSQL)
#include "tst_membersql.moc"
