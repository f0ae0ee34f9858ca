// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/Jobs.h"

#include "db/DBConnectionStrings.h"
#include "db/DBManagement.h"
#include "db/DataModule.h"
#include "db/MemberSQL.h"
#include "db/SearchLists.h"
#include "import/JetReader.h"
#include "jobs/Backups.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "reports/CSVExport.h"
#include "reports/PrintLongServiceReport.h"
#include "reports/PrintMemberList.h"
#include "reports/PrintPhoneList.h"
#include "reports/PrintShared.h"
#include "settings/MemberSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace Jobs {
namespace {

// ---- The arguments ---------------------------------------------------------

struct Arguments {
    QString job;            // "--backup", ...
    QStringList positional; // in order
    QString registerPath;   // --register
    std::optional<QString> value;
    std::optional<int> keep;
    bool pastMembers = false;
    bool notMatching = false;
    bool historic = false;
};

// Wrong arguments: the text says what is wrong; the caller adds the usage.
struct WrongArguments {
    QString what;
};

// A job that could not be done: the text is for the user.
struct Failure {
    QString what;
};

struct JobForm {
    const char* option;
    int minPositional;
    int maxPositional;
    bool searchOptions; // --value, --past-members, --not-matching, --historic
    bool keepOption;
};

// One row per job; a new job is one more row and one more case in RunJob.
const JobForm JobForms[] = {
    {"--backup", 0, 1, false, true},   {"--check", 0, 0, false, false},
    {"--compact", 0, 0, false, false}, {"--export", 2, 2, true, false},
    {"--print", 3, 3, true, false},
};

const JobForm* formOf(const QString& option) {
    for (const JobForm& form : JobForms)
        if (option == QLatin1String(form.option))
            return &form;
    return nullptr;
}

Arguments readArguments(int argc, char** argv) {
    Arguments args;
    args.job = QString::fromLocal8Bit(argv[1]);
    const JobForm& form = *formOf(args.job);
    bool optionsEnd = false;
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (optionsEnd || !arg.startsWith(QLatin1String("--"))) {
            args.positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        QString option = arg.section(u'=', 0, 0);
        const bool inlineValue = arg.contains(u'=');
        const auto takeValue = [&]() -> QString {
            if (inlineValue)
                return arg.section(u'=', 1);
            if (++i >= argc)
                throw WrongArguments{QStringLiteral("%1 needs a value").arg(option)};
            return QString::fromLocal8Bit(argv[i]);
        };
        const auto flag = [&](bool& target) {
            if (inlineValue)
                throw WrongArguments{QStringLiteral("%1 takes no value").arg(option)};
            target = true;
        };
        if (option == QLatin1String("--register")) {
            args.registerPath = takeValue();
            if (args.registerPath.isEmpty())
                throw WrongArguments{QStringLiteral("--register needs a register file")};
        } else if (option == QLatin1String("--keep") && form.keepOption) {
            bool ok = false;
            const int keep = takeValue().toInt(&ok);
            if (!ok || keep < 1)
                throw WrongArguments{QStringLiteral("--keep needs a whole number of at least 1")};
            args.keep = keep;
        } else if (option == QLatin1String("--value") && form.searchOptions) {
            args.value = takeValue();
        } else if (option == QLatin1String("--past-members") && form.searchOptions) {
            flag(args.pastMembers);
        } else if (option == QLatin1String("--not-matching") && form.searchOptions) {
            flag(args.notMatching);
        } else if (option == QLatin1String("--historic") && form.searchOptions) {
            flag(args.historic);
        } else {
            throw WrongArguments{QStringLiteral("%1 does not go with %2").arg(option, args.job)};
        }
    }
    if (args.positional.size() < form.minPositional)
        throw WrongArguments{QStringLiteral("%1 needs more arguments").arg(args.job)};
    if (args.positional.size() > form.maxPositional)
        throw WrongArguments{
            QStringLiteral("too many arguments for %1: %2").arg(args.job, args.positional.last())};
    return args;
}

void say(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// The message texts the window shows use LF CR between paragraphs.
QString oneLine(QString text) {
    return text.replace(QStringLiteral("\n\r\n\r"), QStringLiteral("\n")).remove(u'\r');
}

// ---- The register ----------------------------------------------------------

// The register the job works on: --register, else the one the settings name.
// The dialect of the SQL follows the kind, as in the window.
struct Register {
    bool file = true;
    QString path; // of a register file
    QString name; // as messages name it
    QString connectionString;
};

Register registerOf(const Arguments& args) {
    if (!args.registerPath.isEmpty())
        MemberSettings::SetRegisterForRun(QFileInfo(args.registerPath).absoluteFilePath());
    Register reg;
    switch (MemberSettings::GetDatabaseKind()) {
    case MemberSettings::DatabaseKind::Access:
        reg.path = MemberSettings::GetAccessDatabase();
        reg.name = reg.path;
        reg.connectionString = DBConnectionStrings::AccessConnectionString(reg.path);
        if (!QFileInfo::exists(reg.path))
            throw Failure{QStringLiteral("The register \"%1\" could not be found.").arg(reg.path)};
        if (JetReader::IsJetFile(reg.path))
            throw Failure{QStringLiteral("\"%1\" is an Access file, not a register; import it "
                                         "first: quorvane --import \"%1\" NEW.mdb")
                              .arg(reg.path)};
        return reg;
    case MemberSettings::DatabaseKind::PostgreSQL:
        reg.connectionString = DBConnectionStrings::PostgreSQLConnectionString(
            MemberSettings::GetSQLServerName(), MemberSettings::GetSQLDatabaseName());
        break;
    case MemberSettings::DatabaseKind::SQLServer:
        reg.connectionString = DBConnectionStrings::SQLServerConnectionString(
            MemberSettings::GetSQLServerName(), MemberSettings::GetSQLDatabaseName());
        break;
    }
    reg.file = false;
    reg.name = QStringLiteral("%1 on %2")
                   .arg(MemberSettings::GetSQLDatabaseName(), MemberSettings::GetSQLServerName());
    return reg;
}

void requireFile(const Register& reg, const QString& what) {
    if (!reg.file)
        throw Failure{QStringLiteral("%1 is for register files; the register %2 is on a server, "
                                     "which looks after its own.")
                          .arg(what, reg.name)};
}

// ---- The ten searches ------------------------------------------------------

struct Search {
    const char* name;
    SearchLists::Kind kind;
    enum Value { None, Text, Lookup, Year, Date } value;
    bool notMatching; // takes --not-matching
    bool historic;    // takes --historic
};

using SearchKind = SearchLists::Kind;
const Search Searches[] = {
    {"keyword", SearchKind::Keyword, Search::Text, true, false},
    {"all", SearchKind::All, Search::None, false, false},
    {"profile", SearchKind::Profile, Search::Lookup, true, true},
    {"long-service", SearchKind::LongService, Search::Year, false, false},
    {"assets", SearchKind::Assets, Search::Lookup, true, true},
    {"asset-ref", SearchKind::AssetReference, Search::Text, false, false},
    {"membership-no", SearchKind::MembershipNo, Search::Text, true, false},
    {"unpaid", SearchKind::UnpaidFees, Search::Date, false, false},
    {"past", SearchKind::PastMembers, Search::None, false, false},
    {"level", SearchKind::MembershipLevel, Search::Lookup, false, false},
};

// The key and the stored name of the row of a reference list whose name is
// `typed`: the exact name, else the only one equal but for case.
std::pair<QString, QString> lookUp(qv::Connection& connection, const QString& listSQL,
                                   const QString& nameColumn, const QString& keyColumn,
                                   const QString& typed, const QString& kind) {
    qv::Dataset list(&connection);
    list.setSQL(listSQL);
    list.open();
    const int name = PrintShared::ColumnOf(list, nameColumn);
    const int key = PrintShared::ColumnOf(list, keyColumn);
    int found = -1, folded = -1, foldedCount = 0;
    for (int row = 0; row < list.recordCount(); ++row) {
        const QString text = list.textAt(row, name);
        if (text == typed) {
            found = row;
            break;
        }
        if (text.compare(typed, Qt::CaseInsensitive) == 0) {
            folded = row;
            ++foldedCount;
        }
    }
    if (found < 0 && foldedCount == 1)
        found = folded;
    if (found < 0)
        throw Failure{QStringLiteral("The register has no %1 named \"%2\".").arg(kind, typed)};
    return {list.textAt(found, key), list.textAt(found, name)};
}

const Search& searchNamed(const QString& name) {
    for (const Search& search : Searches)
        if (name == QLatin1String(search.name))
            return search;
    throw WrongArguments{QStringLiteral("unknown search %1 (one of %2)")
                             .arg(name, SearchNames().join(QStringLiteral(", ")))};
}

// Checks the search's options before the register is opened.
const Search& checkSearch(const Arguments& args, const QString& name) {
    const Search& search = searchNamed(name);
    if (args.notMatching && !search.notMatching)
        throw WrongArguments{
            QStringLiteral("--not-matching does not go with the search %1").arg(name)};
    if (args.historic && !search.historic)
        throw WrongArguments{QStringLiteral("--historic does not go with the search %1").arg(name)};
    if (search.value == Search::None && args.value)
        throw WrongArguments{QStringLiteral("the search %1 takes no --value").arg(name)};
    if ((search.value == Search::Text || search.value == Search::Lookup ||
         search.value == Search::Date) &&
        (!args.value || args.value->isEmpty()))
        throw WrongArguments{QStringLiteral("the search %1 needs --value").arg(name)};
    if (search.value == Search::Year && args.value) {
        bool ok = false;
        args.value->toInt(&ok);
        if (!ok)
            throw WrongArguments{QStringLiteral("--value of long-service is a year")};
    }
    if (search.value == Search::Date && !QDate::fromString(*args.value, Qt::ISODate).isValid())
        throw WrongArguments{QStringLiteral("--value of unpaid is a date, yyyy-mm-dd")};
    return search;
}

// The list a search shows, as the search command of the main window makes it.
SearchLists::List listOf(qv::Connection& connection, const Search& search, const Arguments& args) {
    using SearchLists::Kind;
    const Kind kind = search.kind;
    SearchLists::Answer answer;
    answer.text = args.value.value_or(QString());
    answer.notMatching = args.notMatching;
    answer.historic = args.historic;
    switch (kind) {
    case Kind::Profile:
        std::tie(answer.key, answer.text) =
            lookUp(connection, MemberSQL::ProfileListSQL(), QStringLiteral("ProfileName"),
                   QStringLiteral("ProfileID"), answer.text, QStringLiteral("profile"));
        break;
    case Kind::Assets:
        std::tie(answer.key, answer.text) =
            lookUp(connection, MemberSQL::AssetListSQL(), QStringLiteral("AssetName"),
                   QStringLiteral("AssetID"), answer.text, QStringLiteral("asset"));
        break;
    case Kind::MembershipLevel:
        std::tie(answer.key, answer.text) = lookUp(
            connection, MemberSQL::MembershipLevelListSQL(), QStringLiteral("MemberCategory"),
            QStringLiteral("MembershipLevelID"), answer.text, QStringLiteral("membership level"));
        break;
    case Kind::LongService:
        // The year list of the window proposes the current year.
        answer.year = args.value ? answer.text.toInt() : qv::Clock::today().year();
        break;
    case Kind::UnpaidFees:
        answer.date = QDate::fromString(answer.text, Qt::ISODate);
        break;
    default:
        break;
    }
    return SearchLists::ListFor(kind, connection, answer);
}

// Opens the rows as the member list window holds them: past members hidden
// unless asked for (a past-members list shows them all), every placeholder
// set to the one search value, the query's own order.
void openList(qv::Dataset& rows, qv::Connection& connection, const SearchLists::List& list,
              bool pastMembers) {
    rows.setConnection(&connection);
    rows.setFilter(QStringLiteral("(DateEnded = null)"));
    rows.setFiltered(!(pastMembers || list.pastMembersOnly));
    rows.setSQL(list.sql);
    rows.query().setAllParameters(qv::Value(list.searchValue));
    rows.open();
}

void openRegister(Tdm& dm, const Register& reg, bool upgrade) {
    dm.OpenRegister(reg.connectionString);
    // The window brings an older register up to date when it opens it; the
    // searches rely on it.
    if (upgrade)
        dm.UpgradeDatabase();
}

// ---- The jobs --------------------------------------------------------------

int backupJob(const Arguments& args) {
    const Register reg = registerOf(args);
    requireFile(reg, QStringLiteral("Backup"));
    QString folder = args.positional.value(0);
    if (folder.isEmpty())
        folder = MemberSettings::GetAutoBackupFolder();
    if (folder.isEmpty())
        folder = Backups::DefaultFolder(reg.path);
    const int keep = args.keep.value_or(MemberSettings::GetAutoBackupKeep());
    const Backups::Outcome outcome = Backups::BackUp(reg.path, folder, keep, qv::Clock::now());
    if (!outcome.path.isEmpty())
        say(QStringLiteral("Backup created: %1").arg(outcome.path));
    for (const QString& removed : outcome.removed)
        say(QStringLiteral("Older backup removed: %1").arg(removed));
    if (!outcome.ok())
        throw Failure{outcome.path.isEmpty()
                          ? QStringLiteral("No backup was made. %1").arg(outcome.failure)
                          : outcome.failure};
    return 0;
}

// The engine's own checks of a register file, through a read-only connection
// of their own: the file's structure, then rows whose parent row is missing.
QStringList fileProblems(const QString& path) {
    QStringList problems;
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        problems << QStringLiteral("The register could not be opened (%1).")
                        .arg(QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close(db);
        return problems;
    }
    sqlite3_busy_timeout(db, 5000);
    const auto rows = [&](const char* sql, const std::function<void(sqlite3_stmt*)>& each) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        if (rc == SQLITE_OK)
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
                each(stmt);
        if (rc != SQLITE_DONE)
            problems << QStringLiteral("The register could not be read (%1).")
                            .arg(QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    };
    const auto text = [](sqlite3_stmt* stmt, int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)));
    };
    const bool read = rows("PRAGMA integrity_check", [&](sqlite3_stmt* stmt) {
        // One row may hold several lines under a heading of its own.
        for (const QString& line : text(stmt, 0).split(u'\n', Qt::SkipEmptyParts))
            if (line != u"ok" && !line.startsWith(QLatin1String("*** ")))
                problems << QStringLiteral("Damaged: %1").arg(line);
    });
    if (read)
        rows("PRAGMA foreign_key_check", [&](sqlite3_stmt* stmt) {
            problems << QStringLiteral("Row %1 of %2 refers to a row of %3 that is not there.")
                            .arg(text(stmt, 1), text(stmt, 0), text(stmt, 2));
        });
    sqlite3_close(db);
    return problems;
}

// The register's own rules that the schema cannot hold: nothing ends before
// it starts.
QStringList registerProblems(qv::Connection& connection) {
    struct Rule {
        const char* sql;
        const char* message; // %1 member, %2 start, %3 end
    };
    static const Rule rules[] = {
        {"SELECT MemberID, DateJoined, DateEnded FROM DatesJoined WHERE DateEnded < DateJoined "
         "ORDER BY MemberID, DateJoined",
         "Member %1 has a membership period that ends on %3, before it starts on %2."},
        {"SELECT MemberID, DateIssued, DateReturned FROM MemberAssets "
         "WHERE DateReturned < DateIssued ORDER BY MemberID, DateIssued",
         "Member %1 has an asset returned on %3, before it was issued on %2."},
        {"SELECT MemberID, ProfileStart, ProfileEnd FROM MemberProfiles "
         "WHERE ProfileEnd < ProfileStart ORDER BY MemberID, ProfileStart",
         "Member %1 has a profile that ends on %3, before it starts on %2."},
    };
    const auto day = [](const qv::Value& value) {
        return value.toDateTime().date().toString(Qt::ISODate);
    };
    QStringList problems;
    for (const Rule& rule : rules) {
        qv::Dataset rows(&connection);
        rows.setSQL(QString::fromLatin1(rule.sql));
        rows.open();
        for (int row = 0; row < rows.recordCount(); ++row)
            problems << QString::fromLatin1(rule.message)
                            .arg(rows.textAt(row, 0), day(rows.valueAt(row, 1)),
                                 day(rows.valueAt(row, 2)));
    }
    return problems;
}

int checkJob(const Arguments& args) {
    const Register reg = registerOf(args);
    QStringList problems;
    if (reg.file)
        problems = fileProblems(reg.path);
    try {
        Tdm dm;
        // Only read: a check changes nothing, not even an upgrade.
        openRegister(dm, reg, false);
        problems << registerProblems(dm.adoMembers());
    } catch (const qv::DatabaseError& e) {
        problems << oneLine(e.message());
    }
    for (const QString& problem : problems)
        say(problem);
    if (!problems.isEmpty())
        throw Failure{QStringLiteral("%1 problem(s) found in the register %2.")
                          .arg(problems.size())
                          .arg(reg.name)};
    say(QStringLiteral("No problems found in the register %1.").arg(reg.name));
    return 0;
}

int compactJob(const Arguments& args) {
    const Register reg = registerOf(args);
    requireFile(reg, QStringLiteral("Compaction"));
    Tdm dm;
    openRegister(dm, reg, true);
    const DBManagement::CompactionResult result = DBManagement::CompactDatabase(dm.adoMembers());
    say(oneLine(DBManagement::CompactionReport(result)) + u' ' + result.kept);
    return 0;
}

int exportJob(const Arguments& args) {
    const Search& search = checkSearch(args, args.positional[0]);
    const QString file = QFileInfo(args.positional[1]).absoluteFilePath();
    const Register reg = registerOf(args);
    Tdm dm;
    openRegister(dm, reg, true);
    const SearchLists::List list = listOf(dm.adoMembers(), search, args);
    qv::Dataset rows;
    openList(rows, dm.adoMembers(), list, args.pastMembers);
    CSVExport(rows, file, list.referenceYear, list.fiveYearRounding);
    say(QStringLiteral("%1: %2 member(s) exported to %3")
            .arg(list.caption)
            .arg(rows.recordCount())
            .arg(file));
    return 0;
}

int printJob(const Arguments& args) {
    const QString report = args.positional[0];
    if (!ReportNames().contains(report))
        throw WrongArguments{QStringLiteral("unknown report %1 (one of %2)")
                                 .arg(report, ReportNames().join(QStringLiteral(", ")))};
    const Search& search = checkSearch(args, args.positional[1]);
    const QString file = QFileInfo(args.positional[2]).absoluteFilePath();
    const Register reg = registerOf(args);
    Tdm dm;
    openRegister(dm, reg, true);
    const SearchLists::List list = listOf(dm.adoMembers(), search, args);
    qv::Dataset rows;
    openList(rows, dm.adoMembers(), list, args.pastMembers);
    const PrintShared::ListReport columns =
        report == u"phone-list" ? PhoneListReport(rows)
        : report == u"member-list"
            ? MemberListReport(rows, list.caption, list.fiveYearRounding, list.referenceYear)
            : LongServiceReport(rows, list.caption, list.fiveYearRounding, list.referenceYear);
    // As the print dialog's "Print to File (PDF)" does with the page it
    // proposes: landscape.
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(columns.documentTitle);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    qv::PaintOnPrinter(printer, [&](qv::PrintCanvas& canvas) {
        PrintShared::PrintListReport(canvas, rows, columns);
    });
    say(QStringLiteral("%1: %2 member(s) printed to %3")
            .arg(list.caption)
            .arg(rows.recordCount())
            .arg(file));
    return 0;
}

} // namespace

bool IsJobOption(const QString& option) {
    return formOf(option) != nullptr;
}

QStringList SearchNames() {
    QStringList names;
    for (const Search& search : Searches)
        names << QLatin1String(search.name);
    return names;
}

QStringList ReportNames() {
    return {QStringLiteral("member-list"), QStringLiteral("phone-list"),
            QStringLiteral("years-service")};
}

QString UsageLines(const QString& name) {
    const QString options = QStringLiteral("[--register FILE]");
    const QString search =
        QStringLiteral("SEARCH [--value V] [--past-members] [--not-matching] [--historic]");
    return QStringLiteral("       %1 --backup [FOLDER] [--keep N] %2\n"
                          "       %1 --check %2\n"
                          "       %1 --compact %2\n"
                          "       %1 --export %3 FILE.csv %2\n"
                          "       %1 --print REPORT %3 FILE.pdf %2\n")
        .arg(name, options, search);
}

QString HelpText() {
    return QStringLiteral(
               "Jobs without a window (messages on standard error; exit 0 done, 1 failed,\n"
               "2 wrong arguments). The register is the one the settings name, or FILE:\n"
               "  --backup [FOLDER]     back the register file up into FOLDER (the automatic\n"
               "                        backups' folder when none is given), then keep the\n"
               "                        newest N (--keep, default the settings' 10) and,\n"
               "                        of the older ones, the first of each month for a year\n"
               "  --check               check the register: the file's structure and links,\n"
               "                        and that no period, asset or profile ends before it\n"
               "                        starts; each problem on its own line, exit 1 if any\n"
               "  --compact             compact and repair the register file, as Settings >\n"
               "                        Compact & Repair does; refused while another copy\n"
               "                        of the program has it open\n"
               "  --export SEARCH FILE.csv\n"
               "                        write the list of a search as the window's Export\n"
               "                        CSV does\n"
               "  --print REPORT SEARCH FILE.pdf\n"
               "                        print a list of a search to a PDF file; REPORT is\n"
               "                        %1\n"
               "  SEARCH is one of %2;\n"
               "  --value gives its text, profile, asset or level name, year (long-service)\n"
               "  or date yyyy-mm-dd (unpaid); --past-members lists past members too;\n"
               "  --not-matching and --historic as the find dialogs' boxes.\n"
               "  Server registers: --check, --export and --print.\n")
        .arg(ReportNames().join(QStringLiteral(", ")),
             // Two lines: the ten names do not fit one.
             SearchNames().mid(0, 6).join(QStringLiteral(", ")) + QStringLiteral(",\n  ") +
                 SearchNames().mid(6).join(QStringLiteral(", ")));
}

int RunJob(int argc, char** argv, const QString& name) {
    Arguments args;
    try {
        args = readArguments(argc, argv);
        if (args.job == u"--export")
            checkSearch(args, args.positional[0]);
        else if (args.job == u"--print")
            checkSearch(args, args.positional[1]);
    } catch (const WrongArguments& wrong) {
        std::fprintf(stderr, "%s: %s\nUsage:\n%s", qPrintable(name), qPrintable(wrong.what),
                     UsageLines(name).toLocal8Bit().constData());
        return 2;
    }
    // A printed list needs fonts, which come with a GUI application; the
    // offscreen platform gives them without a display.
    std::unique_ptr<QCoreApplication> app;
    if (args.job == u"--print") {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    try {
        if (args.job == u"--backup")
            return backupJob(args);
        if (args.job == u"--check")
            return checkJob(args);
        if (args.job == u"--compact")
            return compactJob(args);
        if (args.job == u"--export")
            return exportJob(args);
        return printJob(args);
    } catch (const WrongArguments& wrong) {
        std::fprintf(stderr, "%s: %s\nUsage:\n%s", qPrintable(name), qPrintable(wrong.what),
                     UsageLines(name).toLocal8Bit().constData());
        return 2;
    } catch (const Failure& failure) {
        say(failure.what);
    } catch (const qv::DatabaseError& e) {
        say(oneLine(e.message()));
    } catch (const qv::FileSystem::FileWriteError& e) {
        say(e.message());
    } catch (const std::exception& e) {
        say(QString::fromLocal8Bit(e.what()));
    }
    return 1;
}

} // namespace Jobs
