// SPDX-License-Identifier: GPL-3.0-or-later
#include "../members/MemberFixture.h"
#include "db/ChangeLog.h"
#include "db/MemberSQL.h"
#include "db/RegisterSettings.h"
#include "db/RegisterTables.h"
#include "db/TableCreate.h"
#include "history/History.h"
#include "history/HistoryView.h"
#include "members/AddDateJoinedFrm.h"
#include "members/FeePaymentModifyFrm.h"
#include "members/MemberFrm.h"
#include "platform/data/Dataset.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DBEdit.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "search/MemberListFrm.h"
#include "settings/MemberSettings.h"
#include "support/AppTestMain.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using namespace qv;
using membertest::MemberFixture;
using membertest::WhenDialog;

namespace {

QString cellText(const Result& r, int row, int column) {
    const Cell& cell = r.rows.cell(row, column);
    if (cell.type == Cell::Null)
        return QStringLiteral("~");
    char type = ChangeLog::Text;
    return ChangeLog::ToText(r.rows.value(cell), type);
}

QStringList rowsOf(Connection& c, const QString& sql, const std::vector<Value>& params = {}) {
    Query q(&c);
    q.setSQL(sql);
    for (size_t i = 0; i < params.size(); ++i)
        q.setParameterAt(int(i), params[i]); // one per ":Name" placeholder, in order
    Result r;
    q.fetch(r);
    QStringList rows;
    for (int row = 0; row < r.rows.rowCount(); ++row) {
        QStringList values;
        for (int col = 0; col < r.rows.columnCount(); ++col)
            values << cellText(r, row, col);
        rows << values.join(u'|');
    }
    return rows;
}

// Every row of the ten register tables and of the fees that hang on their
// levels, in key order.
QStringList dumpRegister(Connection& c) {
    QStringList all;
    for (const QString& table : TableCreate::TableNames() + QStringList{"LevelFees"})
        for (const QString& row : rowsOf(c, QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                                                .arg(table, ChangeLog::KeyColumn(table))))
            all << table + u'|' + row;
    return all;
}

qint64 lastEntry(Connection& c) {
    const QStringList last = rowsOf(c, "SELECT MAX(ChangeLogID) FROM ChangeLog");
    return last.first() == "~" ? 0 : last.first().toLongLong();
}

// A fixture whose connection logs its changes, as the program's does.
struct LoggedFixture : MemberFixture {
    ChangeLog::Recorder recorder;
    LoggedFixture() {
        RegisterTables::CreateMissing(connection());
        connection().setChangeRecorder(&recorder);
    }
    ~LoggedFixture() { connection().setChangeRecorder(nullptr); }
};

void changeMember(Connection& c, qint64 member, const QString& column, const Value& value) {
    Dataset ds(&c);
    ds.setSQL(MemberSQL::MemberRowSQL());
    ds.setParameter("MemberID", member);
    ds.setBaseTable("Members", "MemberID");
    ds.open();
    ds.field(column).setValue(value);
    ds.post();
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void visitLogsOneEntryWithItsValues_data();
    void visitLogsOneEntryWithItsValues();
    void undoRestoresTheRegister_data();
    void undoRestoresTheRegister();
    void undoRefusesToOverwriteLaterWork_data();
    void undoRefusesToOverwriteLaterWork();
    void restoredKeyNeedsIdentityInsertOnSqlServerOnly_data();
    void restoredKeyNeedsIdentityInsertOnSqlServerOnly();
    void historyWindowPagesFiltersAndUndoes();
    void memberHistoryTabUndoesWithinTheVisit();
    void exportHoldsTheMemberAndNoOneElse();
    void eraseLeavesNoTraceAndKeepsPayments();
    void pastMembersDueAreListedAndErasedTogether();
};

// A visit changing the member's city, adding a period, changing a payment and
// deleting a note is one entry holding exactly those values; Close leaves
// none.
void TestHistory::visitLogsOneEntryWithItsValues_data() {
    QTest::addColumn<bool>("update");
    QTest::newRow("close") << false;
    QTest::newRow("update") << true;
}

void TestHistory::visitLogsOneEntryWithItsValues() {
    QFETCH(bool, update);
    LoggedFixture f;
    TfrmMemberList list;
    list.OpenMemberList(f.connection(), MemberSQL::AllMembersSQL(), QString(), -1, false, false,
                        "Member List");
    list.adoMembers->setRecNo(2); // Smith, after Jones
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes); // delete the note
    if (!update)
        boxes.queue(MessageResult::Yes); // discard the changes
    qvtest::ModalWatchdog watchdog(8000);
    WhenDialog<TfrmMember>([&](TfrmMember* frm) {
        frm->dbedtCity->setText("York");
        WhenDialog<TfrmAddDateJoined>([](TfrmAddDateJoined* d) {
            d->edtMembershipNo->setText("N-2");
            d->btnAdd->click();
        });
        frm->btnAddDate->click();
        WhenDialog<TfrmFeePaymentModify>([](TfrmFeePaymentModify* d) {
            d->mskPaymentAmount->setText("20");
            d->btnAdd->click();
        });
        frm->btnPaymentModify->click();
        frm->mnuNotesDelete->trigger();
        (update ? frm->btnUpdate : frm->btnClose)->click();
    });
    list.dbgMembersDblClick();
    QVERIFY(!watchdog.fired());

    const QStringList entries =
        rowsOf(f.connection(), "SELECT ChangeLogID, EntryKind FROM ChangeLog");
    if (!update) {
        QCOMPARE(entries, QStringList());
        QCOMPARE(rowsOf(f.connection(), "SELECT COUNT(*) FROM ChangeLogRows"), QStringList("0"));
        return;
    }
    QCOMPARE(entries.size(), 1);
    QVERIFY(entries.first().endsWith("|change"));

    QStringList expected{
        "Members|changed|City|Leeds|York",
        "FeePayments|changed|PaymentAmount|12.5|20",
        QString("MemberNotes|deleted|MemberID|%1|~").arg(f.smith),
        "MemberNotes|deleted|MemberNote|Keys|~",
    };
    // The added period: each of its stored values, as stored.
    Query period(&f.connection());
    period.setSQL("SELECT * FROM DatesJoined WHERE MembershipNo = 'N-2'");
    Result added;
    period.fetch(added);
    QCOMPARE(added.rows.rowCount(), 1);
    for (int c = 0; c < added.rows.columnCount(); ++c)
        if (added.columns[size_t(c)].name != "DatesJoinedID" &&
            added.rows.cell(0, c).type != Cell::Null)
            expected << "DatesJoined|added|" + added.columns[size_t(c)].name + "|~|" +
                            cellText(added, 0, c);
    QStringList logged = rowsOf(f.connection(), "SELECT TableName, Action, ColumnName, OldValue, "
                                                "NewValue FROM ChangeLogRows");
    logged.sort();
    expected.sort();
    QCOMPARE(logged, expected);
}

// Undo brings every row of the register back as it was.
void TestHistory::undoRestoresTheRegister_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("changed phone") << "phone";
    QTest::newRow("added period") << "period";
    QTest::newRow("deleted member") << "delete";
    // Longer than a log row's value columns.
    QTest::newRow("long setting") << "setting";
    // Its fees and periods go with it through the foreign keys.
    QTest::newRow("level with fees deleted") << "level";
}

void TestHistory::undoRestoresTheRegister() {
    QFETCH(QString, change);
    LoggedFixture f;
    Connection& c = f.connection();
    const QString setting(400, u'a');
    RegisterSettings::SetValue(c, "Letterhead", setting);
    for (const int year : {2025, 2026})
        f.reg.insert("INSERT INTO LevelFees (MembershipLevelID, MembershipYear, Fee) VALUES (:L, "
                     ":Y, 30)",
                     {{"L", f.gold}, {"Y", year}});
    const QStringList before = dumpRegister(c);
    {
        TransactionGuard visit(c);
        if (change == "phone") {
            changeMember(c, f.smith, "TelNo", QString("0113 496 0000"));
        } else if (change == "period") {
            Dataset periods(&c);
            periods.setSQL("SELECT * FROM DatesJoined");
            periods.setBaseTable("DatesJoined", "DatesJoinedID");
            periods.open();
            periods.insert();
            periods.field("MemberID").setValue(f.jones);
            periods.field("MembershipLevelID").setValue(f.gold);
            periods.field("DateJoined").setValue(QDate(2024, 4, 1));
            periods.post();
        } else if (change == "setting") {
            RegisterSettings::SetValue(c, "Letterhead", QString(300, u'b'));
        } else if (change == "level") {
            MemberSQL::DeleteByKey(c, "MembershipLevel", "MembershipLevelID", int(f.gold));
        } else {
            Dataset member(&c);
            member.setSQL(MemberSQL::MemberRowSQL());
            member.setParameter("MemberID", f.smith);
            member.setBaseTable("Members", "MemberID");
            member.open();
            member.deleteRecord();
        }
        visit.commit();
    }
    QVERIFY(dumpRegister(c) != before || RegisterSettings::Value(c, "Letterhead") != setting);
    const qint64 entry = lastEntry(c);

    History::Undo(c, entry);
    QCOMPARE(dumpRegister(c), before);
    QCOMPARE(RegisterSettings::Value(c, "Letterhead"), setting);
    // The undo is an entry of its own, naming the one it undid.
    QCOMPARE(rowsOf(c, "SELECT EntryKind, UndoOf FROM ChangeLog WHERE ChangeLogID = :Id",
                    {Value(lastEntry(c))}),
             QStringList("undo|" + QString::number(entry)));
    // Undoing the undo redoes the change.
    History::Undo(c, lastEntry(c));
    QVERIFY(dumpRegister(c) != before || RegisterSettings::Value(c, "Letterhead") != setting);
}

// A later change of the same value, or a deleted member's key given to a new
// member, stops the undo; nothing is changed.
void TestHistory::undoRefusesToOverwriteLaterWork_data() {
    QTest::addColumn<QString>("later");
    QTest::addColumn<QString>("reason");
    QTest::newRow("phone changed again") << "phone"
                                         << "TelNo of Member";
    QTest::newRow("key reused") << "key"
                                << "in use again";
    QTest::newRow("payment added to a new member") << "child"
                                                   << "was added to Member";
}

void TestHistory::undoRefusesToOverwriteLaterWork() {
    QFETCH(QString, later);
    QFETCH(QString, reason);
    LoggedFixture f;
    Connection& c = f.connection();
    qint64 entry = 0;
    if (later == "phone") {
        changeMember(c, f.smith, "TelNo", QString("111"));
        entry = lastEntry(c);
        changeMember(c, f.smith, "TelNo", QString("222"));
    } else if (later == "key") {
        MemberSQL::DeleteByKey(c, "Members", "MemberID", int(f.jones));
        entry = lastEntry(c);
        f.reg.insert("INSERT INTO Members (MemberID, Surname, FirstNames) VALUES (:K, 'New', "
                     "'Nora')",
                     {{"K", f.jones}});
    } else {
        const qint64 member = f.reg.addMember("Added", "Alan");
        entry = lastEntry(c);
        f.reg.insert("INSERT INTO FeePayments (PaymentDate, MemberID, PaymentAmount) VALUES "
                     "('2024-01-01', :M, 5)",
                     {{"M", member}});
    }
    QVERIFY(entry > 0);
    const QStringList before = dumpRegister(c);
    const QStringList log = rowsOf(c, "SELECT * FROM ChangeLogRows");
    try {
        History::Undo(c, entry);
        QFAIL("the undo overwrote later work");
    } catch (const History::UndoRefused& e) {
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
    QCOMPARE(dumpRegister(c), before);
    QCOMPARE(rowsOf(c, "SELECT * FROM ChangeLogRows"), log);
    QVERIFY(!c.inTransaction());
}

// SQL Server refuses an explicit key into an identity column unless told;
// the same words would be a syntax error on the other kinds. The table is
// named as the register spells it, whatever the log's spelling.
void TestHistory::restoredKeyNeedsIdentityInsertOnSqlServerOnly_data() {
    QTest::addColumn<ConnectionString::Kind>("kind");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("file") << ConnectionString::Kind::File << QString() << QString();
    QTest::newRow("PostgreSQL") << ConnectionString::Kind::PostgreSQL << QString() << QString();
    QTest::newRow("SQL Server") << ConnectionString::Kind::Server
                                << "SET IDENTITY_INSERT MemberAssets ON"
                                << "SET IDENTITY_INSERT MemberAssets OFF";
}

void TestHistory::restoredKeyNeedsIdentityInsertOnSqlServerOnly() {
    QFETCH(ConnectionString::Kind, kind);
    QFETCH(QString, before);
    QFETCH(QString, after);
    const History::KeyedInsertFrame frame = History::KeyedInsert(kind, "memberassets");
    QCOMPARE(frame.before, before);
    QCOMPARE(frame.after, after);
}

// The whole register's history reads a page at a time, filters by user and
// member, and undoes the selected entry from its Undo button.
void TestHistory::historyWindowPagesFiltersAndUndoes() {
    LoggedFixture f;
    Connection& c = f.connection();
    for (int i = 0; i < 450; ++i)
        changeMember(c, f.jones, "TelNo", QString::number(i));
    changeMember(c, f.smith, "City", QString("Hull"));

    TfrmChangeHistory window(c);
    // The whole log is counted only once the first page is painted.
    auto* count = window.findChild<QLabel*>("lblCount");
    QCoreApplication::processEvents();
    QVERIFY(count->text().isEmpty());
    window.show();
    QTRY_COMPARE(count->text(), QString("451 entries"));
    HistoryModel* model = window.view()->model();
    QCOMPARE(model->total(), qint64(451));
    QCOMPARE(model->rowCount(), HistoryModel::PageSize);
    QVERIFY(model->canFetchMore(QModelIndex()));
    model->fetchMore(QModelIndex());
    QCOMPARE(model->rowCount(), 2 * HistoryModel::PageSize);
    // Newest first: Smith's move to Hull.
    QCOMPARE(model->data(model->index(0, 3)).toString(),
             "Member " + QString::number(f.smith) + " changed: City Leeds → Hull;");

    window.findChild<QLineEdit*>("edtMember")->setText("smith");
    window.btnFilterClick();
    QCOMPARE(model->total(), qint64(1));
    window.findChild<QLineEdit*>("edtUser")->setText("nobody");
    window.btnFilterClick();
    QCOMPARE(model->total(), qint64(0));
    window.findChild<QLineEdit*>("edtUser")->clear();
    window.btnFilterClick();

    QTableView* grid = window.view()->grid();
    grid->selectRow(0);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    window.findChild<QPushButton*>("btnUndo")->click();
    QCOMPARE(rowsOf(c, "SELECT City FROM Members WHERE MemberID = :Id", {Value(f.smith)}),
             QStringList("Leeds"));
    // The list shows the undo at its head; undoing Jones's first change is
    // refused, with the reason shown.
    QCOMPARE(model->total(), qint64(2));
    QVERIFY(model->data(model->index(0, 2)).toString().contains("(undo)"));
    window.findChild<QLineEdit*>("edtMember")->setText("jones");
    window.btnFilterClick();
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    grid->selectRow(model->rowCount() - 1);
    boxes.queue(MessageResult::Yes);
    boxes.queue(MessageResult::Ok);
    window.findChild<QPushButton*>("btnUndo")->click();
    QCOMPARE(boxes.shown().size(), 3);
    QVERIFY2(boxes.shown().last().text.contains("TelNo of Member " + QString::number(f.jones) +
                                                " was changed later"),
             qPrintable(boxes.shown().last().text));
}

// The member window's History tab lists the member's entries only; its Undo
// runs inside the visit, the window shows the member anew, and the undo is
// stored with the visit.
void TestHistory::memberHistoryTabUndoesWithinTheVisit() {
    LoggedFixture f;
    Connection& c = f.connection();
    changeMember(c, f.smith, "TelNo", QString("0113 496 0000"));
    changeMember(c, f.jones, "TelNo", QString("0190 444 5555"));
    {
        membertest::OpenMember open(c, f.smith);
        THistoryView* tab = open.frm.tabHistory;
        QCOMPARE(tab->model()->rowCount(), 1);
        QCOMPARE(open.frm.dbedtTelNo->text(), QString("0113 496 0000"));
        tab->grid()->selectRow(0);
        MessageBoxTestScope boxes;
        boxes.queue(MessageResult::Yes);
        tab->findChild<QPushButton*>("btnUndo")->click();
        QCOMPARE(open.frm.dbedtTelNo->text(), QString());
        QCOMPARE(tab->model()->rowCount(), 2);
        open.guard.commit();
    }
    QCOMPARE(rowsOf(c, "SELECT TelNo FROM Members WHERE MemberID = :Id", {Value(f.smith)}),
             QStringList("~"));
    QCOMPARE(rowsOf(c, "SELECT EntryKind FROM ChangeLog ORDER BY ChangeLogID"),
             QStringList({"change", "change", "undo"}));
}

// Export Member Data writes every row of the member, and their history, to
// the PDF and the JSON file; nothing of another member gets in.
void TestHistory::exportHoldsTheMemberAndNoOneElse() {
    LoggedFixture f;
    Connection& c = f.connection();
    changeMember(c, f.smith, "TelNo", QString("0113 496 0000"));
    changeMember(c, f.jones, "TelNo", QString("0190 444 5555"));
    const QString pdf = f.settings.filePath("smith.pdf");

    membertest::OpenMember open(c, f.smith);
    FileDialogTestScope files;
    files.queue(pdf);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Ok);
    open.frm.mnuPopupExportData->trigger();
    QVERIFY(boxes.shown().first().text.contains("smith.json"));

    const QByteArray json = test::readFileBytes(f.settings.filePath("smith.json"));
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QStringList record = membertest::RecordOf(c, f.smith);
    const QStringList sections{"member",   "periods", "assets", "profiles",
                               "payments", "files",   "notes"};
    const QStringList tables{"Members|",     "DatesJoined|",     "MemberAssets|", "MemberProfiles|",
                             "FeePayments|", "FileAttachments|", "MemberNotes|"};
    for (qsizetype i = 0; i < sections.size(); ++i)
        QCOMPARE(root.value(sections[i]).toArray().size(), record.filter(tables[i]).size());
    // Every stored value of every row is there.
    for (const QString& row : record)
        for (const QString& value : row.split('|').mid(1))
            if (value != "~")
                QVERIFY2(json.contains(value.toUtf8()), qPrintable(value));
    QCOMPARE(root.value("history").toArray().size(), 1);
    QVERIFY(root.value("history").toArray().at(0).toObject().value("Changes").toString().contains(
        "TelNo (empty) → 0113 496 0000"));

    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    QVERIFY(text.waitForFinished(20000));
    const QByteArray printed = text.readAllStandardOutput();
    QVERIFY(printed.contains("john@example.org") && printed.contains("Keys"));
    for (const char* other : {"Jones", "Anne", "York", "Mill Lane", "0190 444"}) {
        QVERIFY2(!json.contains(other), other);
        QVERIFY2(!printed.contains(other), other);
    }
}

// Erase Member, asked twice, leaves none of the erased values anywhere in the
// register file once compacted, the log included, and keeps the payments.
void TestHistory::eraseLeavesNoTraceAndKeepsPayments() {
    LoggedFixture f;
    Connection& c = f.connection();
    changeMember(c, f.smith, "TelNo", QString("0113 496 0000"));
    changeMember(c, f.smith, "MobileNo", QString("07700 900123"));
    MemberSQL::DeleteMemberNote(c, int(f.note)); // the note lives on in the log only
    const QString kept = "SELECT (SELECT SUM(PaymentAmount) FROM FeePayments WHERE MemberID = "
                         ":M), (SELECT COUNT(*) FROM DatesJoined WHERE MemberID = :M)";
    const QStringList totals = rowsOf(c, kept, {Value(f.smith), Value(f.smith)});

    TfrmMemberList list;
    list.OpenMemberList(c, MemberSQL::AllMembersSQL(), QString(), -1, false, false, "Member List");
    list.adoMembers->setRecNo(2); // Smith
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    boxes.queue(MessageResult::Yes);
    qvtest::ModalWatchdog watchdog(8000);
    WhenDialog<TfrmMember>([](TfrmMember* frm) { frm->mnuPopupErase->trigger(); });
    list.dbgMembersDblClick();
    QVERIFY(!watchdog.fired());
    QCOMPARE(boxes.shown().size(), 2);
    QVERIFY(boxes.shown().first().text.contains(History::ErasureKeeps()));

    QCOMPARE(
        rowsOf(c, "SELECT Surname, FirstNames FROM Members WHERE MemberID = :M", {Value(f.smith)}),
        QStringList("Erased|Member " + QString::number(f.smith)));
    QCOMPARE(rowsOf(c, kept, {Value(f.smith), Value(f.smith)}), totals);
    QCOMPARE(rowsOf(c, "SELECT COUNT(*) FROM ChangeLog WHERE EntryKind = 'erasure'"),
             QStringList("1"));
    // Undoing an earlier change of an erased value would bring it back.
    QVERIFY_THROWS_EXCEPTION(History::UndoRefused, History::Undo(c, 1));

    c.execute("VACUUM");
    c.close();
    const QByteArray bytes = test::readFileBytes(f.reg.path());
    for (const char* erased : {"Smith", "John", "1 High St", "Leeds", "john@example.org",
                               "0113 496", "07700 900", "Keys", "minutes.txt"})
        QVERIFY2(!bytes.contains(erased), erased);
    QVERIFY(bytes.contains("Jones")); // the other member is there to find
}

// Members whose last period ended more than the set number of years ago are
// listed (a member with a later or open period is not), and Erase All erases
// them in one step.
void TestHistory::pastMembersDueAreListedAndErasedTogether() {
    LoggedFixture f;
    Connection& c = f.connection();
    QCOMPARE(MemberSettings::GetRetentionYears(), 6);
    const QDate today = Clock::today();
    const qint64 old = f.reg.addMember("Old", "Olga");
    f.reg.addPeriod(old, QDate(1980, 1, 1), today.addYears(-10));
    f.reg.addPeriod(old, QDate(1990, 1, 1), today.addYears(-6).addDays(-1));
    const qint64 older = f.reg.addMember("Older", "Otto");
    f.reg.addPeriod(older, QDate(1970, 1, 1), today.addYears(-20));
    const qint64 recent = f.reg.addMember("Recent", "Rita");
    f.reg.addPeriod(recent, QDate(1990, 1, 1), today.addYears(-10));
    f.reg.addPeriod(recent, QDate(1999, 1, 1), today.addYears(-6));

    TfrmPastMembersDue window(c, MemberSettings::GetRetentionYears());
    QTableWidget* grid = window.grid();
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(0, 0)->text() + grid->item(1, 0)->text(), QString("OldOlder"));

    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes);
    boxes.queue(MessageResult::Ok);
    window.btnEraseAllClick();
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(rowsOf(c,
                    "SELECT Surname FROM Members WHERE MemberID IN (:A, :B, :C) ORDER BY "
                    "MemberID",
                    {Value(old), Value(older), Value(recent)}),
             QStringList({"Erased", "Erased", "Recent"}));
    QCOMPARE(rowsOf(c, "SELECT COUNT(*) FROM ChangeLog WHERE EntryKind = 'erasure'"),
             QStringList("1"));
}

QV_APP_TEST_MAIN(TestHistory)
#include "tst_history.moc"
