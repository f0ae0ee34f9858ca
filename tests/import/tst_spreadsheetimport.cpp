// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SpreadsheetImportFrm.h"
#include "db/ChangeLog.h"
#include "db/DBConnectionStrings.h"
#include "db/RegisterTables.h"
#include "history/History.h"
#include "import/SpreadsheetImport.h"
#include "platform/data/Query.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalHelpers.h"
#include "support/AppTestMain.h"
#include "support/RegisterFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace qv;
using namespace SpreadsheetImport;
using ImportResult = SpreadsheetImport::Result;
using Rows = qv::Result;
using qv::test::TempFolder;

namespace {

// A register as the program has it: its own tables made, every write logged.
struct LoggedRegister : test::Register {
    ChangeLog::Recorder recorder;
    LoggedRegister() {
        RegisterTables::CreateMissing(connection());
        connection().setChangeRecorder(&recorder);
    }
    ~LoggedRegister() { connection().setChangeRecorder(nullptr); }
};

QString writeFile(const TempFolder& folder, const QString& name, const QByteArray& bytes) {
    const QString path = folder.filePath(name);
    test::writeFileBytes(path, bytes);
    return path;
}

// Reads, checks and writes as the window does; `adjust` changes the mapping
// or the plan's choices before the write.
ImportResult import(Connection& c, const QString& path, Plan& plan,
                    const std::function<void(Plan&)>& adjust = {},
                    const ProgressCallback& progress = {}) {
    Preview preview;
    QString error;
    if (!ReadPreview(path, preview, error) || !Check(c, path, preview.mapping, plan, error)) {
        ImportResult failed;
        failed.message = error;
        return failed;
    }
    if (adjust)
        adjust(plan);
    return Write(c, plan, progress);
}

// Every member with the period and note the import gave them, by surname.
QStringList members(Connection& c) {
    Query q(&c);
    q.setSQL("SELECT m.Surname, m.FirstNames, m.Address, m.City, m.PostCode, m.TelNo, "
             "m.EmailAddress, d.DateJoined, l.MemberCategory, n.MemberNote FROM Members m "
             "LEFT JOIN DatesJoined d ON d.MemberID = m.MemberID LEFT JOIN MembershipLevel l ON "
             "l.MembershipLevelID = d.MembershipLevelID LEFT JOIN MemberNotes n ON n.MemberID = "
             "m.MemberID ORDER BY m.Surname, m.FirstNames");
    Rows r;
    q.fetch(r);
    QStringList rows;
    for (int i = 0; i < r.rows.rowCount(); ++i) {
        QStringList fields;
        for (int col = 0; col < r.rows.columnCount(); ++col)
            fields << r.rows.textOf(r.rows.cell(i, col));
        fields[7] = fields[7].left(10);
        rows << fields.join(u'|');
    }
    // As a person sorts them, whatever the engine's collation.
    rows.sort(Qt::CaseInsensitive);
    return rows;
}

// Every row of every table, so "as before" means exactly as before.
QString dump(Connection& c) {
    Query tables(&c);
    tables.setSQL("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    Rows names;
    tables.fetch(names);
    QString text;
    for (int t = 0; t < names.rows.rowCount(); ++t) {
        const QString table = names.rows.textOf(names.rows.cell(t, 0));
        Query q(&c);
        q.setSQL("SELECT * FROM " + table + " ORDER BY rowid");
        Rows r;
        q.fetch(r);
        text += table + '\n';
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            for (int col = 0; col < r.rows.columnCount(); ++col)
                text += r.rows.value(r.rows.cell(i, col)).toText() + u'\x1f';
            text += '\n';
        }
    }
    return text;
}

// The import leaves out the engine's check of text widths while it writes
// (it checks each value itself): the check must be back when it ends.
bool widthCheckIsBack(Connection& c) {
    try {
        Query q(&c);
        q.setSQL("INSERT INTO Members (Surname, FirstNames) VALUES (:Surname, 'A')");
        q.setParameter("Surname", QString(21, u'x'));
        q.execute();
    } catch (const DatabaseError& e) {
        return e.message().contains("too long");
    }
    return false;
}

QByteArray cp1252(const QString& text) {
    // Latin-1 but for the euro sign, which Windows-1252 puts at 0x80.
    QByteArray bytes = text.toLatin1();
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'€')
            bytes[i] = '\x80';
    return bytes;
}

} // namespace

class TestSpreadsheetImport : public QObject {
    Q_OBJECT

private slots:
    void filesImportToTheExpectedRows_data();
    void filesImportToTheExpectedRows();
    void columnsAreGuessed_data();
    void columnsAreGuessed();
    void duplicatesFollowTheChoice_data();
    void duplicatesFollowTheChoice();
    void problemRowsAreRefusedWithTheirReason_data();
    void problemRowsAreRefusedWithTheirReason();
    void everyRowOfEveryBatchIsWrittenAndLogged_data();
    void everyRowOfEveryBatchIsWrittenAndLogged();
    void failureOrCancelLeavesTheRegisterAsItWas_data();
    void failureOrCancelLeavesTheRegisterAsItWas();
    void windowChecksImportsAndKeepsTheColumns();
    void commandLine();
    void readerKeepsFieldsWholeAcrossBlocks();
};

// Faults caught: an encoding taken wrongly (garbled accents, a byte-order
// mark in the first surname), the wrong separator, a quoted line break
// splitting a row, day and month swapped, a full name split wrongly, a
// member without a period (in no list), an import that cannot be undone as
// one entry.
void TestSpreadsheetImport::filesImportToTheExpectedRows_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QStringList>("expected");
    const QString today = QDate::currentDate().toString(Qt::ISODate);

    QTest::newRow("UTF-8 with BOM, comma")
        << QByteArray("\xEF\xBB\xBF"
                      "Surname,First name,Address,Town,Postcode,Email,Joined,Membership type\r\n"
                      "M\xC3\xBCller,J\xC3\xBCrgen,\"1 High St, Leeds\",Leeds,LS1 4AP,"
                      "jm@example.org,04/03/2021,member\r\n"
                      ",,,,,,,\r\n"
                      "Smith,Ann,,York,YO1 7HH,,2019-12-31 00:00:00,Junior\r\n")
        << "UTF-8 with byte-order mark"
        << "comma"
        << QStringList{"Müller|Jürgen|1 High St, Leeds|Leeds|LS1 4AP||jm@example.org|2021-03-04|"
                       "Member|",
                       "Smith|Ann||York|YO1 7HH|||2019-12-31|Junior|"};
    QTest::newRow("Windows-1252, semicolon")
        << cp1252("Name;Vorname;Straße;PLZ;Ort;E-Mail;Eintritt;Mitgliedsart;Bemerkung\r\n"
                  "Weiß;Zoë;Hauptstraße 5;80331;München;zw@example.de;01.02.2020;Förderer;"
                  "Beitrag 20,50 €\r\n"
                  "Dupont;Renée;;75001;Paris;;15.11.99;;\r\n")
        << "Windows-1252 (Latin-1)"
        << "semicolon"
        << QStringList{"Dupont|Renée||Paris|75001|||1999-11-15|Member|",
                       "Weiß|Zoë|Hauptstraße 5|München|80331||zw@example.de|2020-02-01|Förderer|"
                       "Beitrag 20,50 €"};
    QTest::newRow("tab, full names")
        << QByteArray("Naam\tWoonplaats\tPostcode\tTelefoon\tLid sinds\r\n"
                      "Jan van der Berg\tUtrecht\t3511 AB\t030 123 4567\t2018-05-01\n"
                      "Vries, Anna de\tDelft\t2611 AA\t\t2020-01-15\n")
        << "UTF-8"
        << "tab"
        << QStringList{"van der Berg|Jan||Utrecht|3511 AB|030 123 4567||2018-05-01|Member|",
                       "Vries|Anna de||Delft|2611 AA|||2020-01-15|Member|"};
    QTest::newRow("quoted line breaks")
        << QByteArray("Nom,Pr\xC3\xA9nom,Adresse,Ville,Code postal,Remarques\r\n"
                      "Lef\xC3\xA8vre,Chlo\xC3\xA9,\"12 rue de la Paix\r\nB\xC3\xA2timent B\","
                      "Lyon,69001,\"Aime le \"\"jazz\"\"\r\net le v\xC3\xA9lo\"\r\n"
                      "Martin,Luc,,Nice,06000,\r\n")
        << "UTF-8"
        << "comma"
        << QStringList{"Lefèvre|Chloé|12 rue de la Paix, Bâtiment B|Lyon|69001|||" + today +
                           "|Member|Aime le \"jazz\"\net le vélo",
                       "Martin|Luc||Nice|06000|||" + today + "|Member|"};
}

void TestSpreadsheetImport::filesImportToTheExpectedRows() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(QString, delimiter);
    QFETCH(QStringList, expected);
    TempFolder folder;
    LoggedRegister reg;
    const QString path = writeFile(folder, "members.csv", bytes);
    Plan plan;
    const ImportResult result = import(reg.connection(), path, plan);
    QCOMPARE(result.message, QString());
    QCOMPARE(result.outcome, Outcome::Imported);
    QCOMPARE(Spreadsheet::EncodingName(plan.mapping.format.encoding), encoding);
    QCOMPARE(Spreadsheet::DelimiterName(plan.mapping.format.delimiter), delimiter);
    QCOMPARE(members(reg.connection()), expected);
    QCOMPARE(result.added, qint64(expected.size()));
    QVERIFY(widthCheckIsBack(reg.connection()));
    // One entry of the change history, named after the command.
    QCOMPARE(reg.scalar("SELECT COUNT(*) FROM ChangeLog").toInteger(), 1);
    QCOMPARE(reg.scalar("SELECT Source FROM ChangeLog").toText(), EntryLabel());
    // Undone there, it leaves no member and no new membership type.
    History::Undo(reg.connection(), reg.scalar("SELECT ChangeLogID FROM ChangeLog").toInteger());
    QCOMPARE(reg.count("Members"), 0);
    QCOMPARE(reg.count("DatesJoined"), 0);
    QCOMPARE(reg.count("MembershipLevel"), 1);
}

// Faults caught: a header not recognised for its accents or punctuation
// ("Prénom", "E-Mail-Adresse"), "Name" beside "Vorname" taken as a full name,
// a date column's form misread from its values.
// Faults caught: a run of characters, a doubled quote, a CR LF pair or a
// two-byte character cut where the reader's 64 KiB block ends; lines
// miscounted after a line break inside quotes.
void TestSpreadsheetImport::readerKeepsFieldsWholeAcrossBlocks() {
    const QByteArray tricky = "\"a \"\"b\"\"\r\nc \xC3\xA9\",d\r\n";
    const QStringList expected = {QString::fromUtf8("a \"b\"\nc é"), "d"};
    TempFolder folder;
    for (int shift = 0; shift <= tricky.size(); ++shift) {
        // The first record ends where the block's end falls `shift` bytes
        // into the second.
        const QString path =
            writeFile(folder, QString("shift%1.csv").arg(shift),
                      QByteArray((1 << 16) - shift - 2, 'x') + "\r\n" + tricky.repeated(3));
        Spreadsheet::Reader reader(path, {Spreadsheet::Encoding::Utf8, u','});
        QVERIFY(reader.open());
        QStringList fields;
        QVERIFY(reader.next(fields));
        QCOMPARE(fields.size(), 1);
        for (int record = 0; record < 3; ++record) {
            QVERIFY(reader.next(fields));
            QVERIFY2(fields == expected,
                     qPrintable(QString("shift %1: %2").arg(shift).arg(fields.join(u'|'))));
            QCOMPARE(reader.line(), 2 + 2 * record);
        }
        QVERIFY(!reader.next(fields));
        QCOMPARE(reader.error(), QString());
    }
}

void TestSpreadsheetImport::columnsAreGuessed_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fields");
    QTest::newRow("German")
        << QByteArray(
               "Name;Vorname;Stra\xC3\x9F"
               "e;PLZ;Ort;Telefon;Handy;E-Mail-Adresse;Mitgliedsnummer;Eintrittsdatum;Austritt;"
               "Austrittsgrund;Bemerkung\n"
               "A;B;C;1;D;2;3;a@b;4;31.12.2020;;;\n")
        << "Surname FirstNames Address PostCode City TelNo MobileNo "
           "EmailAddress MembershipNo DateJoined:day-first DateEnded:day-first "
           "ReasonEnded MemberNote";
    QTest::newRow("French") << QByteArray("Nom,Pr\xC3\xA9nom,Adresse,Code "
                                          "postal,Ville,T\xC3\xA9l\xC3\xA9phone,Portable,Courriel,"
                                          "Date d'adh\xC3\xA9sion,Cat\xC3\xA9gorie\n"
                                          "A,B,C,1,D,2,3,a@b,2020-12-31,E\n")
                            << "Surname FirstNames Address PostCode City TelNo MobileNo "
                               "EmailAddress DateJoined:ISO MembershipLevel";
    QTest::newRow("Spanish")
        << QByteArray(
               "Apellidos;Nombre;Direcci\xC3\xB3n;C\xC3\xB3"
               "digo postal;Ciudad;M\xC3\xB3vil;Correo electr\xC3\xB3nico;Fecha de alta;Tipo\n"
               "A;B;C;1;D;3;a@b;01/02/2020;E\n")
        << "Surname FirstNames Address PostCode City MobileNo EmailAddress "
           "DateJoined:day-first MembershipLevel";
    QTest::newRow("English, full name, month first")
        << QByteArray("Name,Town,Zip,E-mail,Member since,Notes,Shoe size\n"
                      "Ann Lee,Boston,02108,a@b,12/31/2020,x,7\n")
        << "FullName City PostCode EmailAddress DateJoined:month-first MemberNote ignore";
}

void TestSpreadsheetImport::columnsAreGuessed() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fields);
    TempFolder folder;
    Preview preview;
    QString error;
    QVERIFY2(ReadPreview(writeFile(folder, "x.csv", bytes), preview, error), qPrintable(error));
    QVERIFY(preview.mapping.header);
    QStringList guessed;
    for (const Column& c : preview.mapping.columns)
        guessed << FieldKey(c.field) +
                       (IsDateField(c.field) ? ':' + DateFormKey(c.dateForm) : QString());
    QCOMPARE(guessed.join(' '), fields);
}

// Faults caught: a duplicate missed when the post code is written
// differently or only the e-mail matches, a choice not followed, filling
// overwriting a value the member has, a person listed twice in the file
// added twice, a second import of the same file adding everyone again.
void TestSpreadsheetImport::duplicatesFollowTheChoice_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("membersAfter");
    QTest::addColumn<QString>("smithPhone");
    QTest::addColumn<QString>("jonesFirstNames");
    QTest::addColumn<int>("membersAfterSecond");
    QTest::newRow("skip") << int(DuplicateChoice::Skip) << 3 << ""
                          << "Mary" << 3;
    QTest::newRow("add anyway") << int(DuplicateChoice::AddAnyway) << 6 << ""
                                << "Mary" << 10;
    QTest::newRow("fill empty fields") << int(DuplicateChoice::FillEmpty) << 3 << "0113 496 0000"
                                       << "Mary" << 3;
}

void TestSpreadsheetImport::duplicatesFollowTheChoice() {
    QFETCH(int, choice);
    QFETCH(int, membersAfter);
    QFETCH(QString, smithPhone);
    QFETCH(QString, jonesFirstNames);
    QFETCH(int, membersAfterSecond);
    TempFolder folder;
    LoggedRegister reg;
    reg.addPeriod(reg.addMember({"Smith", "John", {}, {}, "LS1 4AP", {}, {}, {}}),
                  QDate(2010, 1, 1));
    reg.addPeriod(reg.addMember({"Jones", "Mary", {}, {}, {}, {}, {}, "mary@example.org"}),
                  QDate(2011, 1, 1));
    const QString path = writeFile(folder, "club.csv",
                                   "Surname,First names,Post code,Phone,Email\n"
                                   "Smith,John,ls1  4ap,0113 496 0000,\n"
                                   "Jones,M.,,07700 900123,MARY@example.org\n"
                                   "Brown,Tom,LS2 7AB,,tom@example.org\n"
                                   "Brown,Tom,LS2 7AB,0113 000,\n");
    const auto choose = [choice](Plan& plan) { plan.mapping.duplicates = DuplicateChoice(choice); };
    Plan plan;
    ImportResult result = import(reg.connection(), path, plan, choose);
    QCOMPARE(result.outcome, Outcome::Imported);
    QCOMPARE(int(plan.duplicates.size()), 3);
    QCOMPARE(plan.duplicates[0].why, QString("same name and post code"));
    QCOMPARE(plan.duplicates[1].why, QString("same e-mail"));
    QCOMPARE(plan.duplicates[2].match, QString("line 4 of this file"));
    QCOMPARE(reg.count("Members"), membersAfter);
    QCOMPARE(
        reg.scalar("SELECT TelNo FROM Members WHERE Surname = 'Smith' ORDER BY MemberID").toText(),
        smithPhone);
    QCOMPARE(reg.scalar("SELECT FirstNames FROM Members WHERE Surname = 'Jones' ORDER BY MemberID")
                 .toText(),
             jonesFirstNames);

    // The same file again: with skip or fill every row is a member already.
    result = import(reg.connection(), path, plan, choose);
    QCOMPARE(result.outcome, Outcome::Imported);
    QCOMPARE(reg.count("Members"), membersAfterSecond);
}

// Faults caught: a row without a surname or with an impossible date written
// anyway, a too-long text stored (or failing the whole import) instead of
// refused or cut, a new membership type made against the choice, a refused
// row missing from the file to mend.
void TestSpreadsheetImport::problemRowsAreRefusedWithTheirReason_data() {
    QTest::addColumn<bool>("cut");
    QTest::addColumn<bool>("createLevels");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("refusedReasons");
    QTest::newRow("refuse") << false << false << QStringList{"Evans"}
                            << QStringList{
                                   "line 2: no surname",
                                   "line 3: Surname longer than 20 characters",
                                   "line 4: Date joined \"31/02/2020\" is no day-first date",
                                   "line 5: the membership type \"Platinum\" is new"};
    QTest::newRow("cut and create")
        << true << true << QStringList{"Bartholomew-Fitzwill", "Dunn", "Evans"}
        << QStringList{"line 2: no surname",
                       "line 4: Date joined \"31/02/2020\" is no day-first date"};
}

void TestSpreadsheetImport::problemRowsAreRefusedWithTheirReason() {
    QFETCH(bool, cut);
    QFETCH(bool, createLevels);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, refusedReasons);
    TempFolder folder;
    LoggedRegister reg;
    const QString path = writeFile(folder, "club.csv",
                                   "Surname,First names,Joined,Type\n"
                                   ",Ann,,\n"
                                   "Bartholomew-Fitzwilliam-Smythe,Ann,,\n"
                                   "Carter,Bob,31/02/2020,\n"
                                   "Dunn,Cy,01/01/2020,Platinum\n"
                                   "Evans,Di,01/01/2020,Member\n");
    Plan plan;
    const ImportResult result = import(reg.connection(), path, plan, [&](Plan& p) {
        p.mapping.cutLongText = cut;
        p.mapping.createLevels = createLevels;
    });
    QCOMPARE(result.outcome, Outcome::Imported);
    QCOMPARE(result.refused, qint64(refusedReasons.size()));
    QStringList surnames;
    for (const QString& row : members(reg.connection()))
        surnames << row.section('|', 0, 0);
    QCOMPARE(surnames, stored);
    QCOMPARE(reg.count("MembershipLevel"), createLevels ? 2 : 1);

    // The refused rows, as they were, with the reason last: ready to mend.
    const QString refused = folder.filePath("refused.csv");
    SaveRefused(plan, refused);
    Spreadsheet::Reader reader(refused, {Spreadsheet::Encoding::Utf8Bom, u','});
    QVERIFY(reader.open());
    QStringList fields, reasons;
    QVERIFY(reader.next(fields));
    QCOMPARE(fields, QStringList({"Surname", "First names", "Joined", "Type", "Reason"}));
    while (reader.next(fields))
        reasons << fields.last();
    QCOMPARE(reasons, refusedReasons);
}

// Rows are written in batches. Faults caught: the rows after the last full
// batch lost, a period or note given to the member of another row when the
// keys of a batch are reckoned, a row of a many-row insert missing from the
// change log (and so left behind by undo), a duplicate of a row still
// waiting in the batch added instead of filling it.
void TestSpreadsheetImport::everyRowOfEveryBatchIsWrittenAndLogged_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("duplicateAt"); // a row repeating row 0, filling it; -1 none
    QTest::newRow("one short of a batch") << 63 << -1;
    QTest::newRow("one batch") << 64 << -1;
    QTest::newRow("one past a batch") << 65 << -1;
    QTest::newRow("batch and odd rest, a duplicate inside") << 100 << 40;
}

void TestSpreadsheetImport::everyRowOfEveryBatchIsWrittenAndLogged() {
    QFETCH(int, rows);
    QFETCH(int, duplicateAt);
    TempFolder folder;
    LoggedRegister reg;
    // Keys that do not start at 1.
    reg.addPeriod(reg.addMember("Kept", "Already"), QDate(2001, 1, 1));
    QByteArray bytes = "Surname,First names,Phone,Membership number,Notes\n";
    int notes = 0;
    for (int i = 0; i < rows; ++i) {
        const QByteArray n = QByteArray::number(i);
        if (i == duplicateAt)
            bytes += "Row0,A,0113 496 0000,,\n";
        const bool note = i % 3 == 0;
        notes += note ? 1 : 0;
        bytes += "Row" + n + ",A,,N" + n + ',' + (note ? "note " + n : QByteArray()) + '\n';
    }
    const QString path = writeFile(folder, "batch.csv", bytes);
    Plan plan;
    const ImportResult result = import(reg.connection(), path, plan, [](Plan& p) {
        p.mapping.duplicates = DuplicateChoice::FillEmpty;
    });
    QCOMPARE(result.message, QString());
    QCOMPARE(result.added, qint64(rows));
    QCOMPARE(result.filled, qint64(duplicateAt >= 0 ? 1 : 0));
    QCOMPARE(reg.count("Members"), rows + 1);
    // Each member's own period and note, by the number in his surname.
    QCOMPARE(reg.scalar("SELECT COUNT(*) FROM Members m JOIN DatesJoined d ON d.MemberID = "
                        "m.MemberID WHERE d.MembershipNo = 'N' || substr(m.Surname, 4)")
                 .toInteger(),
             rows);
    QCOMPARE(reg.scalar("SELECT COUNT(*) FROM Members m JOIN MemberNotes x ON x.MemberID = "
                        "m.MemberID WHERE x.MemberNote = 'note ' || substr(m.Surname, 4)")
                 .toInteger(),
             notes);
    QCOMPARE(reg.count("MemberNotes"), notes);
    QCOMPARE(reg.scalar("SELECT TelNo FROM Members WHERE Surname = 'Row0'").toText(),
             duplicateAt >= 0 ? QString("0113 496 0000") : QString());
    const qint64 entry =
        reg.scalar(
               QString("SELECT ChangeLogID FROM ChangeLog WHERE Source = '%1'").arg(EntryLabel()))
            .toInteger();
    // The rows added are logged as ranges of keys that hold exactly them.
    for (const auto& [table, expected] :
         {std::pair{"Members", rows}, {"DatesJoined", rows}, {"MemberNotes", notes}}) {
        const QString covered = QString("FROM ChangeLogRows r WHERE r.ChangeLogID = %1 AND "
                                        "r.TableName = '%2' AND r.ValueType = 'R'")
                                    .arg(entry)
                                    .arg(table);
        QCOMPARE(reg.scalar(QString("SELECT COUNT(*) FROM %1 WHERE EXISTS (SELECT 1 %2 AND %1.%3 "
                                    "BETWEEN r.RowKey AND CAST(r.NewValue AS INTEGER))")
                                .arg(table, covered, ChangeLog::KeyColumn(table)))
                     .toInteger(),
                 expected);
        QCOMPARE(reg.scalar("SELECT COALESCE(SUM(CAST(r.NewValue AS INTEGER) - r.RowKey + 1), 0) " +
                            covered)
                     .toInteger(),
                 expected);
    }
    // An imported member's history holds the import, by his key and by his name.
    const qint64 last = reg.scalar("SELECT MAX(MemberID) FROM Members").toInteger();
    History::Filter byKey;
    byKey.memberId = last;
    const std::vector<History::Entry> found = History::Entries(reg.connection(), byKey, 0, 10);
    QCOMPARE(found.size(), size_t(1));
    QCOMPARE(found[0].id, entry);
    QVERIFY2(
        found[0].what.contains(
            QString("Member %1 to %2 added: %3 rows;").arg(last - rows + 1).arg(last).arg(rows)),
        qPrintable(found[0].what));
    History::Filter byName;
    byName.member = QString("Row%1").arg(rows - 1);
    QCOMPARE(History::EntryCount(reg.connection(), byName), 1);
    byName.member = "Kept"; // added before the import: its key is outside the range
    for (const History::Entry& e : History::Entries(reg.connection(), byName, 0, 10))
        QVERIFY(e.id != entry);
    // A later change of one of them stops the undo until it is undone itself.
    Query edit(&reg.connection());
    edit.setSQL("UPDATE Members SET City = 'Later' WHERE MemberID = :MemberID");
    edit.setParameter("MemberID", last - 1);
    edit.execute();
    const qint64 later = reg.scalar("SELECT MAX(ChangeLogID) FROM ChangeLog").toInteger();
    try {
        History::Undo(reg.connection(), entry);
        QFAIL("undone over a later change");
    } catch (const History::UndoRefused& e) {
        QVERIFY2(e.message().contains(QString("City of Member %1 was changed later").arg(last - 1)),
                 qPrintable(e.message()));
    }
    QCOMPARE(reg.count("Members"), rows + 1);
    History::Undo(reg.connection(), later);
    // So does a payment added later to one of them: the undo would take it too.
    reg.insert("INSERT INTO FeePayments (MemberID, PaymentDate, PaymentAmount) VALUES "
               "(:MemberID, :PaymentDate, 10)",
               {{"MemberID", last}, {"PaymentDate", QDate(2024, 1, 1)}});
    QVERIFY_THROWS_EXCEPTION(History::UndoRefused, History::Undo(reg.connection(), entry));
    QCOMPARE(reg.count("FeePayments"), 1);
    History::Undo(reg.connection(),
                  reg.scalar("SELECT MAX(ChangeLogID) FROM ChangeLog").toInteger());
    QCOMPARE(reg.count("FeePayments"), 0);
    // So does one of them deleted in the middle of the range, until the
    // delete is undone and the member is back as imported.
    const qint64 gone = last - 2;
    // Its note or else its period is named: the undo looks at the last range first.
    const QString named =
        QString("%1 was deleted later")
            .arg(reg.scalar(QString("SELECT COALESCE((SELECT 'Note ' || MemberNotesID FROM "
                                    "MemberNotes WHERE MemberID = %1), (SELECT 'Period ' || "
                                    "DatesJoinedID FROM DatesJoined WHERE MemberID = %1))")
                                .arg(gone))
                     .toText());
    Query remove(&reg.connection());
    remove.setSQL("DELETE FROM Members WHERE MemberID = :MemberID");
    remove.setParameter("MemberID", gone);
    remove.execute();
    try {
        History::Undo(reg.connection(), entry);
        QFAIL("undone over a later delete");
    } catch (const History::UndoRefused& e) {
        QVERIFY2(e.message().contains(named), qPrintable(e.message()));
    }
    History::Undo(reg.connection(),
                  reg.scalar("SELECT MAX(ChangeLogID) FROM ChangeLog").toInteger());
    QCOMPARE(reg.count("Members"), rows + 1);
    History::Undo(reg.connection(), entry);
    QCOMPARE(reg.count("Members"), 1);
    QCOMPARE(reg.count("DatesJoined"), 1);
    QCOMPARE(reg.count("MemberNotes"), 0);
}

// Faults caught: rows of a cancelled or failed import left in the register
// (or in its change log), the mapping saved for an import that did not
// happen, a file changed after its check written against the old check, the
// engine's width check left out after the import ends.
void TestSpreadsheetImport::failureOrCancelLeavesTheRegisterAsItWas_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");
    QTest::newRow("cancel half-way") << "cancel" << int(Outcome::Cancelled) << "";
    QTest::newRow("engine refuses row 400")
        << "trigger" << int(Outcome::Failed) << "refused by another program";
    QTest::newRow("file changed after the check")
        << "change" << int(Outcome::Failed) << "has changed since it was checked";
}

void TestSpreadsheetImport::failureOrCancelLeavesTheRegisterAsItWas() {
    QFETCH(QString, how);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    TempFolder folder;
    LoggedRegister reg;
    reg.addPeriod(reg.addMember("Kept", "Already"), QDate(2001, 1, 1));
    QByteArray bytes = "Surname,First names,City,Type\n";
    for (int i = 0; i < 600; ++i)
        bytes += "Row" + QByteArray::number(i) + ",A,Leeds," + (i % 2 ? "Junior" : "Member") + '\n';
    const QString path = writeFile(folder, "big.csv", bytes);
    if (how == "trigger")
        reg->execute("CREATE TRIGGER stop BEFORE INSERT ON Members WHEN NEW.Surname = 'Row400' "
                     "BEGIN SELECT RAISE(ABORT, 'refused by another program'); END");
    const QString before = dump(reg.connection());

    Plan plan;
    bool cancelledHalfWay = false;
    const ImportResult result = import(
        reg.connection(), path, plan,
        [&](Plan&) {
            if (how == "change")
                test::writeFileBytes(path, bytes + "Late,Row,York,Member\n");
        },
        [&](qint64 done, qint64 total) {
            cancelledHalfWay = how == "cancel" && done >= total / 2;
            return !cancelledHalfWay;
        });
    QCOMPARE(int(result.outcome), outcome);
    QVERIFY2(result.message.contains(message), qPrintable(result.message));
    QCOMPARE(cancelledHalfWay, how == "cancel");
    QCOMPARE(dump(reg.connection()), before);
    QVERIFY(!reg->inTransaction());
    QVERIFY(widthCheckIsBack(reg.connection()));
}

// The window's flow: the guess shown, a column chosen by hand, the check
// with a duplicate filled and a row refused, the import, the refused rows
// saved; the next file with the same columns gets the same mapping back.
void TestSpreadsheetImport::windowChecksImportsAndKeepsTheColumns() {
    TempFolder folder;
    LoggedRegister reg;
    reg.addPeriod(reg.addMember({"Smith", "John", {}, {}, "LS1 4AP", {}, {}, {}}),
                  QDate(2010, 1, 1));
    const QByteArray header = "Surname;First names;Post code;Info;Phone;Joined\n";
    const QString path = writeFile(folder, "club.csv",
                                   header + "Smith;John;LS1 4AP;chess;0113 496 0000;01/02/2020\n"
                                            "Brown;Tom;LS2 7AB;;;03/04/2021\n"
                                            ";Nobody;;;;\n");
    const QString refused = folder.filePath("mend.csv");
    FileDialogTestScope dialogs;
    dialogs.queue(path);
    dialogs.queue(refused);
    MessageBoxTestScope boxes;
    boxes.queue(MessageResult::Yes); // save the refused rows
    boxes.queue(MessageResult::Ok);  // where they went
    qvtest::ModalWatchdog watchdog(10000);
    QString encoding, infoGuess;
    int duplicates = -1;
    qvtest::WhenModal([&](QWidget* modal) {
        auto* frm = qobject_cast<TfrmSpreadsheetImport*>(modal);
        if (!frm)
            return;
        encoding = frm->lblEncoding->text();
        auto* info = frm->findChild<QComboBox*>("cboField3");
        infoGuess = info->currentText();
        info->setCurrentIndex(int(Field::MemberNote));
        emit info->activated(int(Field::MemberNote));
        frm->btnCheck->click();
        duplicates = frm->grdDuplicates->rowCount();
        frm->cboAllDuplicates->setCurrentIndex(int(DuplicateChoice::FillEmpty));
        emit frm->cboAllDuplicates->activated(int(DuplicateChoice::FillEmpty));
        frm->btnImport->click();
    });
    QVERIFY(ImportMembersFromSpreadsheet(nullptr, reg.connection()));
    QCOMPARE(encoding, QString("Read as UTF-8."));
    QCOMPARE(infoGuess, FieldCaption(Field::Ignore));
    QCOMPARE(duplicates, 1);
    QCOMPARE(members(reg.connection()),
             QStringList({"Brown|Tom|||LS2 7AB|||2021-04-03|Member|",
                          "Smith|John|||LS1 4AP|0113 496 0000||2010-01-01|Member|"}));
    QCOMPARE(boxes.shown().size(), 2);
    QVERIFY2(boxes.shown()[0].text.contains("Members added: 1.") &&
                 boxes.shown()[0].text.contains("filled: 1.") &&
                 boxes.shown()[0].text.contains("Rows refused: 1."),
             qPrintable(boxes.shown()[0].text));
    QVERIFY(test::readFileBytes(refused).contains(",Nobody,"));

    // Another file with the same columns: the hand-made choice comes back.
    TfrmSpreadsheetImport again(reg.connection());
    QVERIFY(again.LoadFile(writeFile(folder, "more.csv", header + "Green;Al;;golf;;\n")));
    QVERIFY(!again.lblSavedMapping->isHidden());
    QCOMPARE(again.findChild<QComboBox*>("cboField3")->currentText(),
             FieldCaption(Field::MemberNote));
}

// Faults caught: the command needing a display, a JSON or saved mapping not
// found, a failure answered with exit code 0, wrong arguments not refused.
void TestSpreadsheetImport::commandLine() {
    TempFolder folder;
    QString registerPath;
    {
        LoggedRegister reg;
        registerPath = folder.filePath("club.mdb");
        QVERIFY(QFile::copy(reg.path(), registerPath));
    }
    const QString csv =
        writeFile(folder, "club.csv", "Nachname;Vorname;Ort\nWeber;Eva;Bonn\n;Nobody;\n");
    const QString json = writeFile(folder, "mapping.json",
                                   R"({"name": "Vereinsliste", "columns": [
                                        {"header": "Nachname", "field": "Surname"},
                                        {"header": "Vorname", "field": "FirstNames"},
                                        {"column": 3, "field": "City"}]})");
    const QString more = writeFile(folder, "more.csv", "Nachname;Vorname;Ort\nKlein;Jo;Köln\n");
    struct Case {
        QStringList args;
        int exitCode;
        qint64 members;
        const char* says;
    };
    const QList<Case> cases = {
        {{"--import-members", csv, "--register", registerPath, "--mapping", json},
         0,
         1,
         "Line 3 refused: no surname"},
        {{"--import-members", more, "--register", registerPath, "--mapping", "Vereinsliste"},
         0,
         2,
         "Members added: 1."},
        {{"--import-members", more, "--register", registerPath, "--mapping", "Nosuch"},
         1,
         2,
         "no mapping saved under that name"},
        {{"--import-members", more, "--register", registerPath}, 2, 2, "Usage:"},
    };
    for (const Case& c : cases) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QV_PROGRAM), c.args);
        QVERIFY(program.waitForFinished(30000));
        const QString output =
            QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
        QVERIFY2(output.contains(c.says), qPrintable(output));
        QCOMPARE(program.exitCode(), c.exitCode);
        Connection check;
        check.setConnectionString(DBConnectionStrings::AccessConnectionString(registerPath));
        check.open();
        Query q(&check);
        q.setSQL("SELECT COUNT(*) FROM Members");
        Rows r;
        q.fetch(r);
        QCOMPARE(r.rows.value(r.rows.cell(0, 0)).toInteger(), c.members);
    }
}

QV_APP_TEST_MAIN(TestSpreadsheetImport)
#include "tst_spreadsheetimport.moc"
