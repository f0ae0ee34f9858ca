// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegisterGenerator.h"

#include "db/DBConnectionStrings.h"
#include "db/DBCreate.h"
#include "db/TableCreate.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Value.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <random>
#include <sqlite3.h>

namespace qv::bench {
namespace {

// Bumped whenever the generated content changes, so cached files of an older
// shape are not measured as if they were new ones.
constexpr int kGeneratorVersion = 1;

// std::mt19937_64's sequence is fixed by the language standard; the
// distributions are not, so ranges are taken by hand.
class Rng {
public:
    explicit Rng(quint64 seed)
        : m_engine(seed) {}
    int below(int n) { return n <= 1 ? 0 : int(m_engine() % quint64(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    bool permille(int p) { return below(1000) < p; }
    template <typename T, size_t N> const T& pick(const T (&items)[N]) { return items[below(N)]; }

private:
    std::mt19937_64 m_engine;
};

// A prepared INSERT that is bound, stepped and reset once per row.
class Insert {
public:
    Insert(sqlite3* db, const char* sql)
        : m_db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            fail();
    }
    ~Insert() { sqlite3_finalize(m_stmt); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    Insert& text(const QString& value) {
        const QByteArray utf8 = value.toUtf8();
        check(sqlite3_bind_text(m_stmt, ++m_column, utf8.constData(), int(utf8.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Insert& text(const char* value) {
        check(sqlite3_bind_text(m_stmt, ++m_column, value, -1, SQLITE_TRANSIENT));
        return *this;
    }
    Insert& date(const QDate& value) {
        if (!value.isValid())
            return null();
        // UTC only spares a time-zone lookup per value; the text is the same.
        return text(dateTimeToStorage(QDateTime(value, QTime(0, 0), Qt::UTC)));
    }
    Insert& integer(qint64 value) {
        check(sqlite3_bind_int64(m_stmt, ++m_column, value));
        return *this;
    }
    Insert& real(double value) {
        check(sqlite3_bind_double(m_stmt, ++m_column, value));
        return *this;
    }
    Insert& null() {
        check(sqlite3_bind_null(m_stmt, ++m_column));
        return *this;
    }
    Insert& textOrNull(const QString& value) { return value.isNull() ? null() : text(value); }

    // Stores the row and answers its key.
    qint64 run() {
        if (sqlite3_step(m_stmt) != SQLITE_DONE)
            fail();
        sqlite3_reset(m_stmt);
        m_column = 0;
        return sqlite3_last_insert_rowid(m_db);
    }

private:
    void check(int rc) {
        if (rc != SQLITE_OK)
            fail();
    }
    [[noreturn]] void fail() { throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db))); }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    int m_column = 0;
};

// Names as a club's register holds them: accents, apostrophes, hyphens and
// letters beyond Latin-1, all within the columns' widths.
const char* const kSurnames[] = {
    "Smith",        "Jones",     "Williams",    "Brown",          "Taylor",    "O'Brien",
    "D'Arcy",       "O'Neill",   "Müller",      "Nuñez",          "Ångström",  "Brontë",
    "Søndergaard",  "Đorđević",  "Łukasiewicz", "Ó Súilleabháin", "Lefèvre",   "García",
    "van der Berg", "MacDonald", "Fitzgerald",  "Wilson",         "Evans",     "Thomas",
    "Johnson",      "Roberts",   "Walker",      "Wright",         "Robinson",  "Thompson",
    "White",        "Hughes",    "Edwards",     "Green",          "Hall",      "Wood",
    "Harris",       "Lewis",     "Martin",      "Jackson",        "Clarke",    "Clark",
    "Turner",       "Hill",      "Scott",       "Cooper",         "Morris",    "Ward",
    "Moore",        "King",      "Watson",      "Baker",          "Harrison",  "Morgan",
    "Patel",        "Young",     "Allen",       "Mitchell",       "James",     "Anderson",
    "Phillips",     "Lee",       "Bell",        "Parker",         "Davis",     "Čapek",
    "Dvořák",       "Şahin",     "Kowalczyk",   "Mac an tSaoir",  "Hernández", "Jørgensen"};

const char* const kFirstNames[] = {
    "John",    "Mary",   "David",    "Sarah",   "Michael",  "Emma",   "James",  "Zoë",
    "Chloé",   "José",   "Seán",     "Siobhán", "François", "Björn",  "Renée",  "Mary-Jane",
    "Peter",   "Susan",  "Robert",   "Helen",   "Paul",     "Claire", "Andrew", "Anne",
    "Richard", "Karen",  "Mark",     "Julie",   "Thomas",   "Lucy",   "Chris",  "Ruth",
    "Stephen", "Jane",   "Ian",      "Alison",  "Neil",     "Fiona",  "Gareth", "Nicola",
    "Dafydd",  "Eleri",  "Oisín",    "Aoife",   "Łucja",    "Jiří",   "Ines",   "Noël",
    "Ægir",    "Élodie", "Kateřina", "Bogdan",  "Amélie",   "Gráinne"};

const char* const kStreets[] = {
    "High Street",     "Church Lane",       "Station Road",    "Mill Lane",   "The Green",
    "King's Road",     "St Mary's Close",   "Rue de l'Église", "Grüner Weg",  "Victoria Avenue",
    "Orchard Way",     "Queen's Parade",    "Bishop's Walk",   "Meadow View", "Park Crescent",
    "Chemin des Prés", "Avenue Émile Zola", "Ffordd y Môr",    "Tŷ Newydd",   "London Road"};

const char* const kCities[] = {
    "Shrewsbury",  "Ludlow",    "Bishop's Castle", "Church Stretton", "Llandrindod Wells",
    "Aberystwyth", "Caerdydd",  "Hereford",        "Bridgnorth",      "Much Wenlock",
    "Montréal",    "Köln",      "Zürich",          "Kraków",          "Dún Laoghaire",
    "Newtown",     "Welshpool", "Oswestry",        "Knighton",        "Presteigne"};

const char* const kReasons[] = {
    "Moved away", "Resigned", "Lapsed", "Deceased", "Transferred to another club", "Did not renew"};

const char* const kNotes[] = {"Prefers contact by e-mail.",
                              "Helped at the summer fête; happy to do so again.",
                              "Paid by standing order until 2019, then cash.",
                              "Don't phone before 10 o'clock.",
                              "Key holder for the clubhouse; see the committee's minutes.",
                              "Wheelchair user — needs the ground-floor room.",
                              "Renée's daughter joined as a junior member.",
                              "Former treasurer; knows where the old ledgers are."};

struct Level {
    const char* category;
    int highlight;
    int font;
    bool longService;
};

// The first is the "Member" row that every new register starts with.
const Level kLevels[] = {{"Member", -1, -1, true},
                         {"Junior", 0xCCFFCC, -1, false},
                         {"Senior", -1, 0x800000, true},
                         {"Life Member", 0xC0E0FF, -1, true},
                         {"Honorary", 0xFFC0C0, 0x000080, false},
                         {"Family", -1, -1, true},
                         {"Associate", 0xE0E0E0, 0x404040, false}};
// How often each level is given, in per cent.
const int kLevelWeights[] = {45, 12, 15, 6, 3, 12, 7};

const char* const kAssets[] = {"Locker key", "Car park pass", "Clubhouse key",
                               "Team shirt", "Boat permit",   "Library card"};
const char* const kProfiles[] = {"Chair",       "Secretary",      "Treasurer",         "Coach",
                                 "Volunteer",   "First aider",    "Newsletter editor", "Groundsman",
                                 "Bar steward", "Welfare officer"};

int pickLevel(Rng& rng) {
    int roll = rng.below(100);
    for (int i = 0; i < int(std::size(kLevelWeights)); ++i) {
        if (roll < kLevelWeights[i])
            return i;
        roll -= kLevelWeights[i];
    }
    return 0;
}

// ASCII letters only, for e-mail addresses: accents dropped, others removed.
QString mailPart(const QString& name) {
    QString out;
    for (const QChar c : name.normalized(QString::NormalizationForm_D))
        if (c.unicode() < 128 && c.isLetter())
            out += c.toLower();
    return out.isEmpty() ? QStringLiteral("member") : out;
}

QDate randomDay(Rng& rng, const QDate& from, const QDate& to) {
    const qint64 span = from.daysTo(to);
    return span <= 0 ? from : from.addDays(rng.below(int(span) + 1));
}

} // namespace

QDate GeneratedHistoryEnd() {
    return QDate(2024, 12, 31);
}

RegisterCounts GenerateRegister(const QString& path, int members, quint64 seed) {
    RegisterCounts counts;
    DBCreate::CreateAccessRegister(path, [&](Connection& connection) {
        sqlite3* db = connection.sqliteHandle();

        Insert level(db, "INSERT INTO MembershipLevel (MemberCategory, HighlightColour, "
                         "FontColour, IncludeLongService) VALUES (?, ?, ?, ?)");
        Insert asset(db, "INSERT INTO Assets (AssetName) VALUES (?)");
        Insert profile(db, "INSERT INTO Profiles (ProfileName) VALUES (?)");
        Insert member(db, "INSERT INTO Members (Surname, FirstNames, Address, City, PostCode, "
                          "TelNo, MobileNo, EmailAddress) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        Insert period(db, "INSERT INTO DatesJoined (MembershipLevelID, MembershipNo, MemberID, "
                          "DateJoined, DateEnded, ReasonEnded) VALUES (?, ?, ?, ?, ?, ?)");
        Insert payment(db, "INSERT INTO FeePayments (PaymentDate, MemberID, ReceiptRef, "
                           "PaymentAmount, PaymentNotes) VALUES (?, ?, ?, ?, ?)");
        Insert issue(db, "INSERT INTO MemberAssets (MemberID, AssetID, DateIssued, "
                         "AssetReference, DateReturned) VALUES (?, ?, ?, ?, ?)");
        Insert holding(db, "INSERT INTO MemberProfiles (ProfileID, MemberID, ProfileStart, "
                           "ProfileEnd) VALUES (?, ?, ?, ?)");
        Insert note(db, "INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (?, ?)");
        Insert file(db, "INSERT INTO FileAttachments (MemberID, FilePath, FileDescription, "
                        "DateAdded) VALUES (?, ?, ?, ?)");

        // Level 1 ("Member") comes with the register.
        qint64 levelIds[std::size(kLevels)] = {1};
        for (size_t i = 1; i < std::size(kLevels); ++i)
            levelIds[i] = level.text(kLevels[i].category)
                              .integer(kLevels[i].highlight)
                              .integer(kLevels[i].font)
                              .integer(kLevels[i].longService)
                              .run();
        counts.levels = qint64(std::size(kLevels));
        qint64 assetIds[std::size(kAssets)];
        for (size_t i = 0; i < std::size(kAssets); ++i)
            assetIds[i] = asset.text(kAssets[i]).run();
        qint64 profileIds[std::size(kProfiles)];
        for (size_t i = 0; i < std::size(kProfiles); ++i)
            profileIds[i] = profile.text(kProfiles[i]).run();

        Rng rng(seed);
        const QDate historyEnd = GeneratedHistoryEnd();
        const QDate historyStart = historyEnd.addYears(-40).addDays(1);
        int membershipNo = 0;
        int reference = 0;
        int receipt = 0;

        for (int m = 0; m < members; ++m) {
            const QString surname = QString::fromUtf8(rng.pick(kSurnames));
            QString first = QString::fromUtf8(rng.pick(kFirstNames));
            if (rng.percent(15))
                first += u' ' + QString::fromUtf8(rng.pick(kFirstNames));
            // One draw per statement: the order in which a function's
            // arguments are evaluated is the compiler's choice.
            QString address;
            if (!rng.percent(5)) {
                const int house = rng.between(1, 240);
                address = QString::number(house) + u' ' + QString::fromUtf8(rng.pick(kStreets));
            }
            const QString city = rng.percent(4) ? QString() : QString::fromUtf8(rng.pick(kCities));
            QString postCode;
            if (!rng.percent(10)) {
                const int district = rng.between(1, 25);
                const int sector = rng.between(1, 9);
                const char unit1 = char('A' + rng.below(26));
                const char unit2 = char('A' + rng.below(26));
                postCode = QString::asprintf("SY%d %d%c%c", district, sector, unit1, unit2);
            }
            const QString tel = rng.percent(35)
                                    ? QString()
                                    : QString::asprintf("01632 %06d", rng.between(0, 999999));
            const QString mobile = rng.percent(40)
                                       ? QString()
                                       : QString::asprintf("07700 %06d", rng.between(0, 999999));
            const QString email =
                rng.percent(40) ? QString()
                                : mailPart(first.section(u' ', 0, 0)) + u'.' + mailPart(surname) +
                                      QString::number(m % 97) + QStringLiteral("@example.org");
            const qint64 memberId = member.text(surname)
                                        .text(first)
                                        .textOrNull(address)
                                        .textOrNull(city)
                                        .textOrNull(postCode)
                                        .textOrNull(tel)
                                        .textOrNull(mobile)
                                        .textOrNull(email)
                                        .run();
            ++counts.members;

            // A member stored without a period (an add abandoned half way)
            // appears in no list but still costs the queries a look.
            if (rng.permille(3))
                continue;

            // One to four periods, one after the other; an open last period
            // after an ended one is a rejoin.
            const int roll = rng.below(100);
            const int periods = roll < 55 ? 1 : roll < 80 ? 2 : roll < 93 ? 3 : 4;
            QDate start = randomDay(rng, historyStart, historyEnd.addYears(-periods * 2));
            QDate firstJoined = start;
            QDate lastStart, lastEnd;
            int lastLevel = 0;
            for (int p = 0; p < periods && start <= historyEnd; ++p) {
                const int levelIndex = pickLevel(rng);
                QDate end;
                const bool last = p + 1 == periods;
                if (!last) {
                    end = start.addDays(rng.between(200, 12 * 365));
                    if (end >= historyEnd)
                        end = QDate();
                } else if (rng.percent(30)) {
                    // A few have given notice of an end still to come.
                    end = rng.percent(3) ? randomDay(rng, QDate(2035, 1, 1), QDate(2040, 12, 31))
                                         : randomDay(rng, start.addDays(30), historyEnd);
                }
                const QString number =
                    rng.percent(80)
                        ? QString::asprintf("%c%06d", 'A' + rng.below(4), ++membershipNo)
                        : QString();
                period.integer(levelIds[levelIndex])
                    .textOrNull(number)
                    .integer(memberId)
                    .date(start)
                    .date(end)
                    .text(end.isValid() ? rng.pick(kReasons) : "")
                    .run();
                ++counts.periods;
                lastStart = start;
                lastEnd = end;
                lastLevel = levelIndex;
                if (!end.isValid())
                    break;
                start = end.addDays(rng.between(1, 5 * 365));
            }
            // Entered twice with another level: two latest periods on one day.
            if (rng.permille(2)) {
                period.integer(levelIds[(lastLevel + 1) % std::size(kLevels)])
                    .null()
                    .integer(memberId)
                    .date(lastStart)
                    .date(lastEnd)
                    .text("")
                    .run();
                ++counts.periods;
            }

            const QDate paidFrom = std::max(firstJoined, historyEnd.addYears(-8));
            const int payments = paidFrom > historyEnd ? 0 : rng.below(7);
            for (int k = 0; k < payments; ++k) {
                payment.date(randomDay(rng, paidFrom, historyEnd))
                    .integer(memberId)
                    .textOrNull(rng.percent(70) ? QString::asprintf("R%07d", ++receipt) : QString())
                    .real(rng.pick({10.0, 12.5, 25.0, 40.0, 55.5, 100.0}))
                    .textOrNull(rng.percent(20) ? QStringLiteral("Paid at the AGM") : QString())
                    .run();
                ++counts.payments;
            }

            const int issues = rng.percent(60) ? 0 : rng.between(1, 3);
            for (int k = 0; k < issues; ++k) {
                const int kind = rng.below(int(std::size(kAssets)));
                const QDate issued = randomDay(rng, firstJoined, historyEnd);
                issue.integer(memberId)
                    .integer(assetIds[kind])
                    .date(issued)
                    .textOrNull(rng.percent(90)
                                    ? QString::asprintf("%c-%05d", "LCKTBR"[kind], ++reference)
                                    : QString())
                    .date(rng.percent(40) ? randomDay(rng, issued, historyEnd) : QDate())
                    .run();
                ++counts.assetIssues;
            }

            const int holdings = rng.percent(70) ? 0 : rng.between(1, 2);
            for (int k = 0; k < holdings; ++k) {
                const QDate from = randomDay(rng, firstJoined, historyEnd);
                holding.integer(profileIds[rng.below(int(std::size(kProfiles)))])
                    .integer(memberId)
                    .date(from)
                    .date(rng.percent(50) ? randomDay(rng, from, historyEnd) : QDate())
                    .run();
                ++counts.profileHoldings;
            }

            const int notes = rng.percent(75) ? 0 : rng.between(1, 2);
            for (int k = 0; k < notes; ++k) {
                note.integer(memberId).text(rng.pick(kNotes)).run();
                ++counts.notes;
            }

            if (rng.percent(15)) {
                file.integer(memberId)
                    .text(QStringLiteral("/home/club/Documents/Members/application-%1.pdf")
                              .arg(memberId))
                    .text("Application form")
                    .date(firstJoined)
                    .run();
                ++counts.files;
            }
        }
    });
    return counts;
}

QString RegisterCacheFolder() {
    const QString fromEnvironment = qEnvironmentVariable("QV_BENCH_CACHE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/quorvane-bench");
}

QString CachedRegister(int members, quint64 seed, qint64* generatedMs) {
    const QString folder = RegisterCacheFolder();
    if (!QDir().mkpath(folder))
        throw DatabaseError(QStringLiteral("Cannot create the folder %1").arg(folder));
    // The name carries the schema's fingerprint too: a register made before
    // an index changed would measure the old schema.
    QByteArray schema;
    for (const QStringList& lines : TableCreate::TableStatements(
             DBConnectionStrings::AccessConnectionString(QStringLiteral("register.mdb"))))
        schema += lines.join(u'\n').toUtf8();
    schema += TableCreate::IndexStatements().join(u'\n').toUtf8();
    const QString fingerprint = QString::fromLatin1(
        QCryptographicHash::hash(schema, QCryptographicHash::Sha1).toHex().left(8));
    const QString path = QStringLiteral("%1/register-v%2-%3-%4-s%5.mdb")
                             .arg(folder)
                             .arg(kGeneratorVersion)
                             .arg(fingerprint)
                             .arg(members)
                             .arg(seed);
    if (generatedMs)
        *generatedMs = 0;
    if (QFile::exists(path))
        return path;
    // Generated as New makes a register, so an interrupted run never leaves a
    // half register that a later run would measure.
    QElapsedTimer timer;
    timer.start();
    GenerateRegister(path, members, seed);
    if (generatedMs)
        *generatedMs = timer.elapsed();
    return path;
}

} // namespace qv::bench
