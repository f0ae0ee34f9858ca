// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line jobs, run as the real program: what they write equals what
// the member list window writes; wrong arguments, damage, a killed backup and
// a full disk end as they should. The thinning rule over a year of backups.

#include "RegisterGenerator.h"
#include "db/DBConnectionStrings.h"
#include "db/MemberSQL.h"
#include "jobs/Backups.h"
#include "jobs/Jobs.h"
#include "platform/data/Connection.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "search/MemberListFrm.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace qv;

namespace {

struct Run {
    int exitCode = -1;
    QString err;
};

Run runProgram(const QStringList& args, const QString& program = QStringLiteral(QV_PROGRAM),
               bool smallFiles = false) {
    QProcess child;
    if (smallFiles) {
        // A disk that fills up after 16 KB: writing past it fails with EFBIG,
        // for root as for anyone.
        child.setChildProcessModifier([] {
            const rlimit limit{16 * 1024, 16 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        });
    }
    child.start(program, args);
    child.waitForFinished(60000);
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
            QString::fromLocal8Bit(child.readAllStandardError())};
}

QByteArray hashOf(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// The PDF's text without the one line that names the moment it was printed.
QString pdfTextWithoutDate(const QString& path) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, u"-"_qs});
    pdftotext.waitForFinished();
    QStringList lines = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\n');
    const qsizetype dated = lines.removeIf(
        [](const QString& line) { return line.trimmed().startsWith(u"Date printed:"); });
    return dated == 1 ? lines.join(u'\n') : QStringLiteral("no single date line");
}

// A search as the window opens it, and as the command line names it.
struct ListCase {
    const char* name;
    const char* args; // split at blanks
    QString value;
    QString caption;
    int year;        // long service: the reference year, else -1
    const char* how; // "past only", "include past" or ""
    std::function<QString(Connection&)> sql;
};

QList<ListCase> listCases() {
    const auto fixed = [](const QString& sql) { return [sql](Connection&) { return sql; }; };
    using namespace MemberSQL;
    // clang-format off
    return {
        {"all", "all", {}, "Member List", -1, "", fixed(AllMembersSQL())},
        {"all and past", "all --past-members", {}, "Member List", -1, "include past", fixed(AllMembersSQL())},
        {"keyword not matching", "keyword --value an --not-matching", "%an%", "Find - an - Not Matching", -1, "", fixed(KeywordSQL(true))},
        {"profile historic", "profile --value=chair --historic", "1", "Profiles - Chair - Historic", -1, "", fixed(ProfileSQL(true, false))},
        {"long service", "long-service --value 2020", {}, "Long Service for year 2020", 2020, "", [](Connection& c) { return LongServiceSQL(c, 2020); }},
        {"assets", "assets --value Locker_key", "1", "Assets - Locker key", -1, "", fixed(AssetSQL(false, false))},
        {"asset reference", "asset-ref --value 1", "%1%", "Asset Reference - 1", -1, "", fixed(AssetReferenceSQL())},
        {"membership no", "membership-no --value 0", "%0%", "Membership No. - 0", -1, "", fixed(MembershipNoSQL(false))},
        {"unpaid", "unpaid --value 2024-01-01", {}, {}, -1, "", fixed(UnpaidFeesSQL(QDateTime(QDate(2024, 1, 1), QTime(0, 0))))},
        {"past", "past", {}, "Past Members", -1, "past only", fixed(PastMembersSQL())},
        {"level", "level --value Junior", "2", "Member Category - Junior", -1, "", fixed(MembershipLevelSQL())},
    };
    // clang-format on
}

// The words of a case's arguments; "_" stands for a blank inside one.
QStringList argsOf(const char* args) {
    QStringList words = QString::fromLatin1(args).split(u' ');
    for (QString& word : words)
        word.replace(u'_', u' ');
    return words;
}

} // namespace

class TestJobs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void exportEqualsWindow_data();
    void exportEqualsWindow();
    void printEqualsWindow_data();
    void printEqualsWindow();
    void wrongArguments_data();
    void wrongArguments();
    void registerFromSettings();
    void checkFindsProblems_data();
    void checkFindsProblems();
    void failuresSayWhy_data();
    void failuresSayWhy();
    void killedBackupLosesNothing();
    void thinningOverAYear_data();
    void thinningOverAYear();
    void completion_data();
    void completion();

private:
    // The window over the case's list, as its search command leaves it.
    void openWindow(TfrmMemberList& window, const ListCase& c);

    std::unique_ptr<test::SettingsSandbox> m_settings;
    test::TempFolder m_folder;
    QString m_register;
    std::unique_ptr<Connection> m_connection;
};

void TestJobs::initTestCase() {
    m_settings = std::make_unique<test::SettingsSandbox>();
    m_register = m_folder.filePath(u"club.mdb"_qs);
    bench::GenerateRegister(m_register, 400, 5);
    m_connection = std::make_unique<Connection>();
    m_connection->setConnectionString(DBConnectionStrings::AccessConnectionString(m_register));
    m_connection->open();
}

void TestJobs::cleanupTestCase() {
    m_connection.reset();
    m_settings.reset();
}

void TestJobs::openWindow(TfrmMemberList& window, const ListCase& c) {
    window.OpenMemberList(*m_connection, c.sql(*m_connection), c.value, c.year, c.year > 0,
                          qstrcmp(c.how, "past only") == 0, c.caption);
    if (qstrcmp(c.how, "include past") == 0) {
        window.chkIncludePastMembers->setChecked(true);
        window.chkIncludePastMembersClick();
    }
}

void TestJobs::exportEqualsWindow_data() {
    QTest::addColumn<int>("index");
    const QList<ListCase> cases = listCases();
    for (int i = 0; i < cases.size(); ++i)
        QTest::newRow(cases[i].name) << i;
}

// Catches a job that runs another query, binds another value, filters past
// members otherwise, counts years otherwise or writes other bytes.
void TestJobs::exportEqualsWindow() {
    QFETCH(int, index);
    const ListCase c = listCases()[index];
    const QString window = m_folder.filePath(u"window.csv"_qs);
    const QString job = m_folder.filePath(u"job.csv"_qs);
    {
        TfrmMemberList list;
        openWindow(list, c);
        FileDialogTestScope files;
        MessageBoxTestScope boxes;
        files.queue(window);
        boxes.queue(MessageResult::Ok);
        list.btnExportCSVClick();
    }
    const Run run = runProgram(QStringList{u"--export"_qs} + argsOf(c.args) +
                               QStringList{job, u"--register"_qs, m_register});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QByteArray expected = test::readFileBytes(window);
    QVERIFY2(expected.count('\n') > 1, "the list is empty: the case proves little");
    QCOMPARE(test::readFileBytes(job), expected);
}

void TestJobs::printEqualsWindow_data() {
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("index");
    QTest::newRow("member list of long service") << u"member-list"_qs << 4;
    QTest::newRow("phone list of a keyword") << u"phone-list"_qs << 2;
    QTest::newRow("years service of past members") << u"years-service"_qs << 9;
}

// Catches a printed list with other rows, columns, caption or page shape.
void TestJobs::printEqualsWindow() {
    QFETCH(QString, report);
    QFETCH(int, index);
    const ListCase c = listCases()[index];
    const QString window = m_folder.filePath(u"window.pdf"_qs);
    const QString job = m_folder.filePath(u"job.pdf"_qs);
    {
        TfrmMemberList list;
        openWindow(list, c);
        PrintDialogTestScope print;
        MessageBoxTestScope boxes;
        PrintDialogTest::queuePdf(window);
        boxes.queue(MessageResult::Ok);
        if (report == u"member-list")
            list.btnPrintClick();
        else if (report == u"phone-list")
            list.btnPhoneListClick();
        else
            list.mnuPopupPrintLongServiceClick();
    }
    const Run run = runProgram(QStringList{u"--print"_qs, report} + argsOf(c.args) +
                               QStringList{job, u"--register"_qs, m_register});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString expected = pdfTextWithoutDate(window);
    QVERIFY2(expected.count(u'\n') > 10, qPrintable(expected));
    QCOMPARE(pdfTextWithoutDate(job), expected);
}

void TestJobs::wrongArguments_data() {
    QTest::addColumn<QString>("args"); // split at blanks
    QTest::addColumn<QString>("says");
    // clang-format off
    QTest::newRow("unknown search") << "--export nobody x.csv" << "unknown search nobody";
    QTest::newRow("missing value") << "--export keyword x.csv" << "needs --value";
    QTest::newRow("value not taken") << "--export all --value=x x.csv" << "takes no --value";
    QTest::newRow("flag not taken") << "--export past --historic x.csv" << "--historic does not go with the search past";
    QTest::newRow("bad date") << "--export unpaid --value 1/2/24 x.csv" << "yyyy-mm-dd";
    QTest::newRow("unknown report") << "--print labels all x.pdf" << "unknown report labels";
    QTest::newRow("no file") << "--export all" << "needs more";
    QTest::newRow("keep not a number") << "--backup --keep ten" << "--keep needs";
    QTest::newRow("option of another job") << "--check --keep 3" << "--keep does not go with";
    QTest::newRow("register without file") << "--compact --register" << "--register needs a value";
    // clang-format on
}

// Catches wrong arguments that run a job anyway, or end without the usage.
void TestJobs::wrongArguments() {
    QFETCH(QString, args);
    QFETCH(QString, says);
    const Run run = runProgram(args.split(u' '));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(says) && run.err.contains(u"Usage:") &&
                 run.err.contains(u"--export SEARCH"),
             qPrintable(run.err));
}

// Catches a job that ignores the register the settings name.
void TestJobs::registerFromSettings() {
    test::TempFolder install;
    const QString program = install.filePath(u"Quorvane"_qs);
    QVERIFY(QFile::copy(QStringLiteral(QV_PROGRAM), program));
    QVERIFY(test::writeFileBytes(
        install.filePath(u"Quorvane.ini"_qs),
        "[Database]\r\nUseAccessDatabase=1\r\nAccessDatabase=" + m_register.toUtf8() + "\r\n"));
    const QString csv = install.filePath(u"all.csv"_qs);
    const Run run = runProgram({u"--export"_qs, u"all"_qs, csv}, program);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains(csv), qPrintable(run.err));
    QVERIFY(test::readFileBytes(csv).count('\n') > 100);
}

void TestJobs::checkFindsProblems_data() {
    QTest::addColumn<QString>("damage"); // SQL on a copy, or "page" for a torn page
    QTest::addColumn<QString>("says");   // empty: no problem
    QTest::newRow("sound") << QString() << QString();
    QTest::newRow("period ends before it starts")
        << u"UPDATE DatesJoined SET DateEnded = '1900-01-01 00:00:00' WHERE DatesJoinedID = 3"_qs
        << u"ends on 1900-01-01, before it starts"_qs;
    QTest::newRow("payment of no member")
        << u"INSERT INTO FeePayments (MemberID, PaymentDate, PaymentAmount) "
           "VALUES (999999, '2020-01-01 00:00:00', 1)"_qs
        << u"of FeePayments refers to a row of Members that is not there"_qs;
    QTest::newRow("torn page") << u"page"_qs << u"Damaged:"_qs;
}

// Catches a check that passes a damaged register, or fails a sound one.
void TestJobs::checkFindsProblems() {
    QFETCH(QString, damage);
    QFETCH(QString, says);
    test::TempFolder folder;
    const QString copy = folder.filePath(u"copy.mdb"_qs);
    QVERIFY(QFile::copy(m_register, copy));
    if (damage == u"page") {
        // The page of DatesJoined's rows, its header and cells overwritten.
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(4096 * 4);
        file.write(QByteArray("\x0d\x00\x00\x00\x05\xff\xff", 7) + QByteArray(57, '\xee'));
    } else if (!damage.isEmpty()) {
        Connection raw;
        raw.setConnectionString(DBConnectionStrings::AccessConnectionString(copy));
        raw.open();
        raw.execute(u"PRAGMA foreign_keys = OFF"_qs);
        raw.execute(damage);
    }
    const Run run = runProgram({u"--check"_qs, u"--register"_qs, copy});
    QCOMPARE(run.exitCode, says.isEmpty() ? 0 : 1);
    QVERIFY2(run.err.contains(says.isEmpty() ? u"No problems found"_qs : says),
             qPrintable(run.err));
}

void TestJobs::failuresSayWhy_data() {
    QTest::addColumn<QString>(
        "pattern"); // %F: a regular file, %R: the register, %T: an empty folder
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<QString>("says");
    // clang-format off
    QTest::newRow("backup into a file's folder") << "--backup %F/sub --register %R" << false << "could not be made";
    QTest::newRow("backup on a full disk") << "--backup %T --register %R" << true << "There is not enough room on the disk";
    QTest::newRow("export on a full disk") << "--export all %T/all.csv --register %R" << true << "all.csv";
    QTest::newRow("export into a file's folder") << "--export all %F/all.csv --register %R" << false << "all.csv";
    QTest::newRow("compact while another copy has it open") << "--compact --register %R" << false << "open";
    QTest::newRow("an Access file") << "--export all %T/all.csv --register " QV_JET_DATA "/register-small.mdb" << false << "import it first";
    QTest::newRow("missing register") << "--check --register %T/no.mdb" << false << "could not be found";
    // clang-format on
}

// Catches a failure reported as success, or without a reason; and a failed
// job that changes the register or leaves a file behind.
void TestJobs::failuresSayWhy() {
    QFETCH(QString, pattern);
    QFETCH(bool, fullDisk);
    QFETCH(QString, says);
    test::TempFolder folder;
    const QString file = folder.filePath(u"plain"_qs);
    QVERIFY(test::writeFileBytes(file, "not a folder"));
    const QString target = folder.filePath(u"out"_qs);
    QVERIFY(QDir().mkpath(target));
    QStringList args = pattern.split(u' ');
    for (QString& arg : args)
        arg.replace(u"%F"_qs, file).replace(u"%R"_qs, m_register).replace(u"%T"_qs, target);
    const QByteArray before = hashOf(m_register);
    // m_connection holds the register open, as another running copy does.
    const Run run = runProgram(args, QStringLiteral(QV_PROGRAM), fullDisk);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(says), qPrintable(run.err));
    QCOMPARE(hashOf(m_register), before);
    QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Catches a backup that, killed half-way, leaves a file that looks like a
// backup, harms an earlier one or the register.
void TestJobs::killedBackupLosesNothing() {
    test::TempFolder folder;
    const QString big = folder.filePath(u"big.mdb"_qs);
    bench::GenerateRegister(big, 60000, 3);
    const QString backups = folder.filePath(u"Backups"_qs);
    QCOMPARE(runProgram({u"--backup"_qs, backups, u"--register"_qs, big}).exitCode, 0);
    const QList<Backups::Backup> earlier = Backups::ListBackups(backups, big);
    QCOMPARE(earlier.size(), 1);
    const QByteArray earlierHash = hashOf(earlier[0].path);
    const QByteArray registerHash = hashOf(big);

    bool killed = false;
    for (int attempt = 0; attempt < 5 && !killed; ++attempt) {
        QTest::qWait(1100); // a new second, a new name
        QProcess child;
        child.start(QStringLiteral(QV_PROGRAM), {u"--backup"_qs, backups, u"--register"_qs, big});
        QVERIFY(child.waitForStarted());
        // Killed once the copy is being written.
        while (child.state() == QProcess::Running) {
            const QFileInfoList temps =
                QDir(backups).entryInfoList({u".qvtmp*"_qs}, QDir::Files | QDir::Hidden);
            if (!temps.isEmpty() && temps[0].size() > 0) {
                ::kill(pid_t(child.processId()), SIGKILL);
                killed = true;
                break;
            }
        }
        child.waitForFinished();
        if (!killed) // it finished first: take that one away and try again
            for (const Backups::Backup& b : Backups::ListBackups(backups, big))
                if (b.path != earlier[0].path)
                    QFile::remove(b.path);
    }
    QVERIFY2(killed, "every backup finished before it could be killed");
    QCOMPARE(Backups::ListBackups(backups, big).size(), 1);
    QCOMPARE(hashOf(earlier[0].path), earlierHash);
    QCOMPARE(hashOf(big), registerHash);
    // The next backup works and clears what the killed one left.
    QCOMPARE(runProgram({u"--backup"_qs, backups, u"--register"_qs, big}).exitCode, 0);
    QCOMPARE(QDir(backups).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestJobs::thinningOverAYear_data() {
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("days");   // daily backups up to the pinned day
    QTest::addColumn<int>("kept");   // how many stay
    QTest::addColumn<int>("months"); // distinct months among the older ones kept
    QTest::newRow("ten of a year") << 10 << 365 << 10 + 12 << 12;
    // The month a year back has only its earliest day, which is past.
    QTest::newRow("two years, older than a year go") << 10 << 730 << 10 + 11 << 11;
    QTest::newRow("fewer than kept") << 10 << 7 << 7 << 0;
    QTest::newRow("keep one") << 1 << 365 << 1 + 13 << 13;
}

// Catches thinning that removes one of the newest, keeps more than one a
// month or another than its earliest, or keeps what is older than a year.
void TestJobs::thinningOverAYear() {
    QFETCH(int, keep);
    QFETCH(int, days);
    QFETCH(int, kept);
    QFETCH(int, months);
    const QDateTime start(QDate(2025, 1, 10), QTime(22, 15));
    QList<QDateTime> folder;
    QDateTime now;
    for (int day = 0; day < days; ++day) {
        now = start.addDays(day);
        folder.append(now);
        const QList<QDateTime> remove = Backups::ToRemove(folder, now, keep);
        // The newest are never removed, and what was kept once as a month's
        // backup is never taken away while it is less than a year old.
        QVERIFY(!remove.contains(now));
        for (const QDateTime& when : remove)
            QVERIFY(when <= now.addYears(-1) || folder.indexOf(when) < folder.size() - keep);
        for (const QDateTime& when : remove)
            folder.removeOne(when);
    }
    QCOMPARE(folder.size(), kept);
    std::sort(folder.begin(), folder.end(), std::greater<>());
    QSet<int> seen;
    for (qsizetype i = keep; i < folder.size(); ++i) {
        QVERIFY(folder[i] > now.addYears(-1));
        QVERIFY2(!seen.contains(folder[i].date().year() * 12 + folder[i].date().month()),
                 "two backups kept for one month");
        seen.insert(folder[i].date().year() * 12 + folder[i].date().month());
        // The month's earliest: the first of the month, or the first day.
        QVERIFY(folder[i].date().day() == 1 || folder[i].date() == start.date());
    }
    QCOMPARE(int(seen.size()), months);
}

void TestJobs::completion_data() {
    QTest::addColumn<QStringList>("words"); // the last one is being typed
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("searches") << QStringList{u"--export"_qs, QString()} << Jobs::SearchNames();
    QTest::newRow("reports") << QStringList{u"--print"_qs, QString()} << Jobs::ReportNames();
    QTest::newRow("searches after a report")
        << QStringList{u"--print"_qs, u"--register"_qs, u"x.mdb"_qs, u"phone-list"_qs, QString()}
        << Jobs::SearchNames();
    QTest::newRow("jobs") << QStringList{u"--c"_qs} << QStringList{u"--check"_qs, u"--compact"_qs};
    QTest::newRow("options of a search")
        << QStringList{u"--export"_qs, u"all"_qs, u"--p"_qs} << QStringList{u"--past-members"_qs};
    // Files are completed in a folder holding club.mdb, members.csv,
    // map.json, notes.txt and the folder old; a wrong filter offers others.
    const QString csv = u"members.csv"_qs, old = u"old"_qs;
    QTest::newRow("member import")
        << QStringList{u"--import-"_qs} << QStringList{u"--import-members"_qs};
    QTest::newRow("members' file")
        << QStringList{u"--import-members"_qs, QString()} << QStringList{csv, old};
    QTest::newRow("member import's options")
        << QStringList{u"--import-members"_qs, csv, u"--"_qs}
        << QStringList{u"--register"_qs, u"--mapping"_qs, u"--refused"_qs};
    QTest::newRow("its mapping") << QStringList{u"--import-members"_qs, csv, u"--mapping"_qs,
                                                QString()}
                                 << QStringList{u"map.json"_qs, old};
    QTest::newRow("its refused rows")
        << QStringList{u"--import-members"_qs, csv, u"--refused"_qs, QString()}
        << QStringList{csv, old};
    QTest::newRow("members' file after the mapping")
        << QStringList{u"--import-members"_qs, u"--mapping"_qs, u"map.json"_qs, QString()}
        << QStringList{csv, old};
}

// Catches a completion that offers other names than the program takes.
void TestJobs::completion() {
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);
    QStringList quoted{u"quorvane"_qs};
    for (const QString& word : words)
        quoted << u'\'' + word + u'\'';
    const QString script =
        QStringLiteral("source /usr/share/bash-completion/bash_completion\n"
                       "source '%1'\n"
                       "COMP_WORDS=(%2); COMP_CWORD=%3; COMP_LINE=\"${COMP_WORDS[*]}\"; "
                       "COMP_POINT=${#COMP_LINE}\n"
                       "_quorvane quorvane \"${COMP_WORDS[COMP_CWORD]}\" "
                       "\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
                       "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
            .arg(QStringLiteral(QV_COMPLETION), quoted.join(u' '))
            .arg(words.size());
    test::TempFolder folder;
    for (const char* name : {"club.mdb", "members.csv", "map.json", "notes.txt"})
        QVERIFY(QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
    QVERIFY(QDir(folder.path()).mkdir(u"old"_qs));
    QProcess bash;
    bash.setWorkingDirectory(folder.path());
    bash.start(u"bash"_qs, {u"-c"_qs, script});
    QVERIFY(bash.waitForFinished());
    QStringList got =
        QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    got.sort();
    offered.sort();
    QVERIFY2(got == offered, qPrintable(got.join(u" "_qs) + u" / "_qs +
                                        QString::fromUtf8(bash.readAllStandardError())));
}

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
