// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/os/Regional.h"
#include "support/RegisterFixture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace qv;
using qv::test::Register;

namespace {

QStringList column(Dataset& ds, const QString& name) {
    QStringList out;
    const int c = ds.fieldIndex(name);
    for (int r = 0; r < ds.recordCount(); ++r)
        out << (ds.isNullAt(r, c) ? QString("<null>") : ds.valueAt(r, c).toText());
    return out;
}

// Three members with periods: one with a null city, one past member.
struct Sample {
    Register reg;
    qint64 ann, bob, cat;
    Sample() {
        ann = reg.addMember("archer", "Ann", "York");
        bob = reg.addMember("Baker", "Bob", Value());
        cat = reg.addMember("Cole", "Cat", "Bath");
        reg.addPeriod(ann, QDate(2005, 6, 1));
        reg.addPeriod(bob, QDate(1999, 1, 1), QDate(2004, 12, 31));
        reg.addPeriod(cat, QDate(2012, 2, 29));
    }
};

const QString kList = "SELECT Members.MemberID, Surname, City, DateJoined, DateEnded FROM Members "
                      "INNER JOIN DatesJoined ON DatesJoined.MemberID = Members.MemberID ORDER BY "
                      "Members.MemberID";

} // namespace

class TestDataset : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        Regional::setLocaleForTesting(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }
    void navigationAndRecordNumbers();
    void emptyResult();
    void sortCyclesOnEveryColumnKind();
    void namesOrderAlikeInEngineAndSort();
    void pastMembersFilter();
    void typedReadsAndDisplayText();
    void joinedKeyCopiesAreNamedByTable();
    void insertReadsBackKeyAndDefaults();
    void editCancelAndDelete();
    void failedPostKeepsTheEdit();
    void requeryKeepsPosition();
    void masterDetailLink();
};

void TestDataset::navigationAndRecordNumbers() {
    Sample s;
    Dataset ds(&s.reg.connection());
    QSignalSpy opened(&ds, &Dataset::afterOpen);
    QSignalSpy scrolled(&ds, &Dataset::afterScroll);
    ds.setSQL(kList);
    ds.open();
    QCOMPARE(opened.count(), 1);
    QCOMPARE(scrolled.count(), 1);
    QCOMPARE(ds.recordCount(), 3);
    QCOMPARE(ds.recNo(), 1);
    QVERIFY(!ds.eof());
    ds.next();
    QCOMPARE(ds.recNo(), 2);
    ds.last();
    QCOMPARE(ds.recNo(), 3);
    QVERIFY(!ds.eof());
    ds.next();
    QVERIFY(ds.eof());
    QCOMPARE(ds.recNo(), 3);
    ds.prior();
    QCOMPARE(ds.recNo(), 2);
    ds.setRecNo(1);
    QCOMPARE(ds.field("Surname").asString(), QString("archer"));
    ds.setRecNo(99); // past the end: the last row
    QCOMPARE(ds.recNo(), 3);

    // A walk from first to eof visits every row once.
    QStringList walked;
    for (ds.first(); !ds.eof(); ds.next())
        walked << ds.field("surname").asString();
    QCOMPARE(walked, QStringList({"archer", "Baker", "Cole"}));

    // A new, unposted row has no record number and does not count.
    ds.setBaseTable("Members", "MemberID");
    ds.insert();
    QCOMPARE(ds.recNo(), 0);
    QCOMPARE(ds.recordCount(), 3);
    QVERIFY(ds.field("Surname").isNull());
    ds.cancel();
    QCOMPARE(ds.recNo(), 3);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.field("NoSuchColumn"));
}

void TestDataset::emptyResult() {
    Register reg;
    Dataset ds(&reg.connection());
    ds.setSQL(kList);
    ds.open();
    QVERIFY(ds.isEmpty());
    QVERIFY(ds.eof() && ds.bof());
    QCOMPARE(ds.recNo(), 0);
    QCOMPARE(ds.recordCount(), 0);
    ds.next();
    ds.first();
    QCOMPARE(ds.recNo(), 0);
    QCOMPARE(ds.fieldCount(), 5); // columns are known without rows
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.field("Surname").asString());
    ds.setSort("Surname DESC");
    QCOMPARE(ds.recordCount(), 0);
}

void TestDataset::sortCyclesOnEveryColumnKind() {
    Sample s;
    const qint64 dee = s.reg.addMember("Dale", "Dee", "aberdeen");
    s.reg.addPeriod(dee, QDate(2005, 6, 1), QDate(2006, 1, 1));
    Dataset ds(&s.reg.connection());
    ds.setSQL(kList);
    ds.open();
    ds.setRecNo(2); // Baker stays current through sorts
    QCOMPARE(ds.field("Surname").asString(), QString("Baker"));

    ds.setSort("Surname ASC");
    QCOMPARE(column(ds, "Surname"), QStringList({"archer", "Baker", "Cole", "Dale"}));
    QCOMPARE(ds.field("Surname").asString(), QString("Baker"));
    ds.setSort("Surname DESC");
    QCOMPARE(column(ds, "Surname"), QStringList({"Dale", "Cole", "Baker", "archer"}));
    ds.setSort("Surname ASC");
    QCOMPARE(column(ds, "Surname"), QStringList({"archer", "Baker", "Cole", "Dale"}));

    // Nulls first when ascending, last when descending; case does not split names.
    ds.setSort("City ASC");
    QCOMPARE(column(ds, "City"), QStringList({"<null>", "aberdeen", "Bath", "York"}));
    ds.setSort("City DESC");
    QCOMPARE(column(ds, "City"), QStringList({"York", "Bath", "aberdeen", "<null>"}));

    // Dates, with a tie kept in the earlier order.
    ds.setSort("DateJoined ASC");
    QCOMPARE(column(ds, "Surname"), QStringList({"Baker", "archer", "Dale", "Cole"}));
    ds.setSort("DateJoined DESC");
    QCOMPARE(column(ds, "Surname"), QStringList({"Cole", "archer", "Dale", "Baker"}));
    ds.setSort("DateEnded ASC");
    QCOMPARE(column(ds, "Surname").first(), QString("archer"));
    QCOMPARE(column(ds, "Surname").last(), QString("Dale"));

    // Integers numerically (10 after 9), not as text.
    for (int i = 0; i < 7; ++i)
        s.reg.addPeriod(s.reg.addMember("M", "x"), QDate(2000, 1, 1));
    ds.close();
    ds.open();
    QCOMPARE(ds.sort(), QString()); // a re-run stands in the query's order
    ds.setSort("MemberID DESC");
    QCOMPARE(column(ds, "MemberID").mid(0, 3), QStringList({"11", "10", "9"}));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.setSort("Nope ASC"));
}

void TestDataset::namesOrderAlikeInEngineAndSort() {
    Register reg;
    for (const char* name : {"Zoë", "zoe", "Élodie", "eve", "Øst", "Anne", "ÉLODIE"})
        reg.addMember("Smith", QString::fromUtf8(name));
    Dataset ds(&reg.connection());
    ds.setSQL("SELECT FirstNames FROM Members ORDER BY FirstNames, MemberID");
    ds.open();
    const QStringList expected = {"Anne", "Élodie", "ÉLODIE", "eve", "zoe", "Zoë", "Øst"};
    QCOMPARE(column(ds, "FirstNames"), expected);
    ds.setSort("FirstNames DESC");
    ds.setSort("FirstNames ASC");
    QCOMPARE(column(ds, "FirstNames"), expected);
    // Equality ignores case in every alphabet but not accents.
    QCOMPARE(reg.scalar("SELECT COUNT(*) FROM Members WHERE FirstNames = 'ZOË'").toInteger(), 1);
    QCOMPARE(reg.scalar("SELECT COUNT(*) FROM Members WHERE FirstNames = 'élodie'").toInteger(), 2);
}

void TestDataset::pastMembersFilter() {
    Sample s;
    Dataset ds(&s.reg.connection());
    ds.setSQL(kList);
    ds.setFilter("(DateEnded = null)");
    ds.setFiltered(true);
    ds.open();
    QCOMPARE(column(ds, "Surname"), QStringList({"archer", "Cole"}));
    QCOMPARE(ds.recordCount(), 2);
    ds.setFiltered(false);
    QCOMPARE(ds.recordCount(), 3);
    ds.setRecNo(2);
    QCOMPARE(ds.field("Surname").asString(), QString("Baker"));
    ds.setFiltered(true); // the current row is hidden: back to the first
    QCOMPARE(ds.recNo(), 1);
    ds.setSort("Surname DESC"); // sort and filter together
    QCOMPARE(column(ds, "Surname"), QStringList({"Cole", "archer"}));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.setFilter("Surname LIKE 'a%'"));
}

void TestDataset::typedReadsAndDisplayText() {
    Sample s;
    s.reg.insert("INSERT INTO FeePayments (PaymentDate, MemberID, PaymentAmount, ReceiptRef) "
                 "VALUES (:D, :M, 25.5, NULL)",
                 {{"D", QDateTime(QDate(2013, 4, 1), QTime(9, 30))}, {"M", s.ann}});
    Dataset ds(&s.reg.connection());
    ds.setSQL("SELECT FeePayments.*, MembershipLevel.IncludeLongService, DatesJoined.DateEnded "
              "FROM (FeePayments INNER JOIN DatesJoined ON DatesJoined.MemberID = "
              "FeePayments.MemberID) INNER JOIN MembershipLevel ON "
              "MembershipLevel.MembershipLevelID = DatesJoined.MembershipLevelID");
    ds.open();
    QCOMPARE(ds.field("PaymentAmount").asFloat(), 25.5);
    QCOMPARE(ds.field("PaymentAmount").asString(), QString("25.5"));
    QCOMPARE(ds.field("PaymentDate").asDateTime(), QDateTime(QDate(2013, 4, 1), QTime(9, 30)));
    QCOMPARE(ds.field("PaymentDate").asString(), QString("01/04/2013 09:30:00"));
    QCOMPARE(ds.field("IncludeLongService").asBoolean(), true);
    QCOMPARE(ds.field("IncludeLongService").asString(), QString("True"));
    QVERIFY(ds.field("ReceiptRef").isNull());
    QCOMPARE(ds.field("ReceiptRef").asString(), QString());
    QCOMPARE(ds.field("ReceiptRef").size(), 20);
    QCOMPARE(ds.field("DateEnded").asDateTime(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    QCOMPARE(ds.field("MemberID").asInteger(), s.ann);

    // A leading U+FEFF is a character of the value, not a byte-order mark.
    Dataset marked(&s.reg.connection());
    marked.setSQL("SELECT char(65279, 65279) || 'Zed' AS t");
    marked.open();
    QCOMPARE(marked.field("t").asString(), QStringView(u"\uFEFF\uFEFFZed").toString());
}

void TestDataset::joinedKeyCopiesAreNamedByTable() {
    Sample s;
    Dataset ds(&s.reg.connection());
    ds.setSQL(QStringList{"SELECT DatesJoined.*, MembershipLevel.*", "FROM DatesJoined INNER JOIN",
                          "MembershipLevel ON DatesJoined.MembershipLevelID = "
                          "MembershipLevel.MembershipLevelID",
                          "WHERE MemberID = :MemberID", "ORDER BY DateJoined"});
    ds.setParameter("MemberID", s.ann);
    ds.open();
    QVERIFY(ds.fieldIndex("DatesJoined.MembershipLevelID") >= 0);
    QVERIFY(ds.fieldIndex("MembershipLevel.MembershipLevelID") >= 0);
    QCOMPARE(ds.fieldIndex("MembershipLevelID"), -1);
    QCOMPARE(ds.field("DatesJoined.MembershipLevelID").asInteger(), 1);
    QCOMPARE(ds.field("MemberCategory").asString(), QString("Member"));
}

void TestDataset::insertReadsBackKeyAndDefaults() {
    Sample s;
    Dataset ds(&s.reg.connection());
    ds.setSQL(QStringList{"SELECT DatesJoined.*, MembershipLevel.*", "FROM DatesJoined INNER JOIN",
                          "MembershipLevel ON DatesJoined.MembershipLevelID = "
                          "MembershipLevel.MembershipLevelID",
                          "WHERE MemberID = :MemberID"});
    ds.setParameter("MemberID", s.cat);
    ds.setBaseTable("DatesJoined", "DatesJoinedID");
    ds.open();
    QSignalSpy posted(&ds, &Dataset::afterPost);
    ds.insert();
    ds.field("DatesJoined.MembershipLevelID").setValue(1);
    ds.field("MemberID").setValue(s.cat);
    ds.field("DateJoined").setValue(QDate(2020, 5, 1));
    ds.field("MembershipNo").setValue(QString("A-17"));
    QVERIFY(ds.isModified());
    ds.post();
    QCOMPARE(posted.count(), 1);
    QVERIFY(!ds.isModified());
    QCOMPARE(ds.recordCount(), 2);
    QCOMPARE(ds.recNo(), 2);
    const qint64 key = ds.field("DatesJoinedID").asInteger();
    QCOMPARE(key, s.reg.scalar("SELECT MAX(DatesJoinedID) FROM DatesJoined").toInteger());
    // The default of ReasonEnded is read back: empty text, not null.
    QVERIFY(!ds.field("ReasonEnded").isNull());
    QCOMPARE(ds.field("ReasonEnded").asString(), QString());
    QCOMPARE(s.reg
                 .scalar("SELECT MembershipNo FROM DatesJoined WHERE DatesJoinedID = " +
                         QString::number(key))
                 .toText(),
             QString("A-17"));
}

void TestDataset::editCancelAndDelete() {
    Sample s;
    Dataset ds(&s.reg.connection());
    ds.setSQL("SELECT * FROM Members ORDER BY MemberID");
    ds.setBaseTable("Members", "MemberID");
    ds.open();
    ds.setRecNo(2);
    ds.field("City").setValue(QString("Hull"));
    QCOMPARE(ds.state(), Dataset::State::Edit);
    QCOMPARE(ds.field("City").asString(), QString("Hull"));
    ds.cancel();
    QVERIFY(ds.field("City").isNull());
    QVERIFY(s.reg.scalar("SELECT City FROM Members WHERE MemberID = " + QString::number(s.bob))
                .isNull());

    ds.edit();
    ds.field("City").setValue(QString("Hull"));
    ds.next(); // moving away posts the change
    QCOMPARE(s.reg.scalar("SELECT City FROM Members WHERE MemberID = " + QString::number(s.bob))
                 .toText(),
             QString("Hull"));
    ds.prior();
    QCOMPARE(ds.field("City").asString(), QString("Hull"));

    s.reg.addPeriod(s.bob, QDate(2010, 1, 1));
    ds.deleteRecord(); // Bob, with his periods by cascade
    QCOMPARE(ds.recordCount(), 2);
    QCOMPARE(ds.recNo(), 2);
    QCOMPARE(ds.field("Surname").asString(), QString("Cole"));
    QCOMPARE(s.reg.count("Members"), 2);
    QCOMPARE(
        s.reg.scalar("SELECT COUNT(*) FROM DatesJoined WHERE MemberID = " + QString::number(s.bob))
            .toInteger(),
        0);
    ds.deleteRecord();
    QCOMPARE(ds.recNo(), 1); // the last row went: the new last row is current
}

void TestDataset::failedPostKeepsTheEdit() {
    Sample s;
    Dataset ds(&s.reg.connection());
    ds.setSQL("SELECT * FROM Members ORDER BY MemberID");
    ds.setBaseTable("Members", "MemberID");
    ds.open();
    ds.field("Surname").setValue(QString(21, 's'));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.post());
    QCOMPARE(ds.state(), Dataset::State::Edit);
    QCOMPARE(ds.field("Surname").asString(), QString(21, 's'));
    ds.field("Surname").setValue(QString("Short"));
    ds.post();
    QCOMPARE(ds.field("Surname").asString(), QString("Short"));
}

void TestDataset::requeryKeepsPosition() {
    Sample s;
    Dataset ds(&s.reg.connection());
    ds.setSQL(kList);
    ds.open();
    ds.setRecNo(3);
    s.reg.addPeriod(s.reg.addMember("Dale", "Dee"), QDate(2000, 1, 1));
    ds.requery();
    QCOMPARE(ds.recordCount(), 4);
    QCOMPARE(ds.recNo(), 3);
    ds.last(); // the last row is still there to return to
    ds.requery();
    QCOMPARE(ds.recNo(), 4);
    s.reg->execute("DELETE FROM Members WHERE Surname <> 'Cole'");
    ds.requery(); // no longer that long: the first row
    QCOMPARE(ds.recNo(), 1);
}

void TestDataset::masterDetailLink() {
    Sample s;
    s.reg.addPeriod(s.ann, QDate(2015, 1, 1));
    Dataset member(&s.reg.connection());
    member.setSQL("SELECT * FROM Members ORDER BY MemberID");
    member.setBaseTable("Members", "MemberID");
    Dataset periods(&s.reg.connection());
    periods.setSQL("SELECT * FROM DatesJoined WHERE MemberID = :MemberID ORDER BY DateJoined");
    periods.setBaseTable("DatesJoined", "DatesJoinedID");
    periods.setMaster(&member);
    member.open();
    periods.open();
    QCOMPARE(periods.recordCount(), 2); // Ann's
    QSignalSpy reopened(&periods, &Dataset::afterOpen);
    member.next();
    QCOMPARE(reopened.count(), 1);
    QCOMPARE(periods.recordCount(), 1); // Bob's
    QCOMPARE(periods.field("MemberID").asInteger(), s.bob);
    member.setSort("Surname ASC"); // same row stays current: no re-run
    QCOMPARE(reopened.count(), 1);

    // A new member row, not yet stored, has no detail rows.
    member.insert();
    QCOMPARE(periods.recordCount(), 0);
    member.field("Surname").setValue(QString("Dale"));
    member.field("FirstNames").setValue(QString("Dee"));
    member.post();
    const qint64 dee = member.field("MemberID").asInteger();
    QVERIFY(dee > s.cat);
    QCOMPARE(periods.query().parameter("MemberID").toInteger(), dee);

    // New detail rows inherit the master's key, which alone is no change:
    // left untouched, the row is dropped rather than stored.
    periods.insert();
    QCOMPARE(periods.field("MemberID").asInteger(), dee);
    QVERIFY(!periods.isModified());
    periods.field("MembershipLevelID").setValue(1);
    QVERIFY(periods.isModified());
    periods.field("DateJoined").setValue(QDate(2021, 3, 3));
    periods.post();
    QCOMPARE(
        s.reg.scalar("SELECT COUNT(*) FROM DatesJoined WHERE MemberID = " + QString::number(dee))
            .toInteger(),
        1);
}

QTEST_GUILESS_MAIN(TestDataset)
#include "tst_dataset.moc"
