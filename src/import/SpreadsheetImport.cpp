// SPDX-License-Identifier: GPL-3.0-or-later
#include "import/SpreadsheetImport.h"

#include "db/ChangeLog.h"
#include "platform/data/ChangeRecorder.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Regional.h"
#include "reports/CSVExport.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <array>
#include <sqlite3.h>
#include <stdexcept>

namespace SpreadsheetImport {

namespace {

struct FieldInfo {
    const char* key;
    const char* caption;
    int width;          // of its column in the register; 0 for none
    const char* column; // in Members, for filling empty fields; null elsewhere
};

// In the order of the Field enumeration.
constexpr std::array<FieldInfo, FieldCount> Fields = {{
    {"ignore", "(ignore)", 0, nullptr},
    {"Surname", "Surname", 20, "Surname"},
    {"FirstNames", "First names", 30, "FirstNames"},
    {"FullName", "Full name (split)", 0, nullptr},
    {"Address", "Address", 70, "Address"},
    {"City", "City", 30, "City"},
    {"PostCode", "Post code", 8, "PostCode"},
    {"TelNo", "Phone", 15, "TelNo"},
    {"MobileNo", "Mobile", 15, "MobileNo"},
    {"EmailAddress", "E-mail", 70, "EmailAddress"},
    {"MembershipNo", "Membership number", 10, nullptr},
    {"DateJoined", "Date joined", 0, nullptr},
    {"MembershipLevel", "Membership type", 20, nullptr},
    {"DateEnded", "Date ended", 0, nullptr},
    {"ReasonEnded", "Reason ended", 50, nullptr},
    {"MemberNote", "Note", 250, nullptr},
}};

const FieldInfo& info(Field field) {
    return Fields[size_t(field)];
}

// A header folded to what the guess compares: lower case, no accents, letters
// and digits only ("E-Mail-Adresse" gives "emailadresse").
QString foldHeader(const QString& header) {
    const QString decomposed = header.normalized(QString::NormalizationForm_KD).toCaseFolded();
    QString folded;
    for (const QChar c : decomposed)
        if (c.isLetterOrNumber())
            folded += c;
    return folded.replace(QStringLiteral("ß"), QStringLiteral("ss"));
}

// Folded for comparing people: case and runs of spaces do not count.
QString foldName(const QString& text) {
    return text.simplified().toCaseFolded();
}

// A membership type as written in a file, folded: a column holds a few
// types over and over, each folded once while the cache holds it.
const QString& foldedLevel(const QString& text) {
    static thread_local QHash<QString, QString> cache;
    if (const auto found = cache.constFind(text); found != cache.constEnd())
        return *found;
    if (cache.size() >= 1024)
        cache.clear();
    return *cache.insert(text, foldName(text));
}

// Whether simplified() would leave the text as it is: trimmed, its spaces
// single plain ones. Most values are, and simplified() copies every one.
bool isSimplified(const QString& text) {
    bool space = true; // so that a leading space counts as a run
    for (const QChar c : text) {
        if (!c.isSpace()) {
            space = false;
            continue;
        }
        if (space || c != u' ')
            return false;
        space = true;
    }
    return !space || text.isEmpty();
}

// A 64-bit digest of texts as foldName reads them, made without building the
// folded texts: case folded a character at a time, runs of spaces as one
// space (for a post code, none: "LS1 4AP" is "ls14ap").
class FoldedDigest {
public:
    FoldedDigest& add(QStringView text, bool spaces = true) {
        bool space = false, started = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t c = text[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i], text[i + 1]);
                ++i;
            }
            if (QChar::isSpace(c)) {
                space = true;
                continue;
            }
            if (space && started && spaces)
                mix(u' ');
            space = false;
            started = true;
            // Most names are ASCII, folded here without a call per letter.
            mix(c < 0x80 ? (c >= u'A' && c <= u'Z' ? c + 32 : c) : QChar::toCaseFolded(c));
        }
        mix(0x1f); // between texts
        return *this;
    }
    quint64 value() const { return m_hash; }

private:
    void mix(char32_t c) {
        m_hash ^= c;
        m_hash *= 0x100000001b3ULL; // FNV-1a
    }
    quint64 m_hash = 0xcbf29ce484222325ULL;
};

bool isBlank(const QString& text) {
    for (const QChar c : text)
        if (!c.isSpace())
            return false;
    return true;
}

qsizetype codePoints(const QString& text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!text[i].isLowSurrogate())
            ++n;
    return n;
}

// The first `width` characters, never half a character.
QString cutTo(const QString& text, int width) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLowSurrogate())
            continue;
        if (n++ == width)
            return text.left(i).trimmed();
    }
    return text;
}

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

QString number(qint64 n) {
    return QLocale().toString(n);
}

QString plural(qint64 n, const char* one, const char* many) {
    return number(n) + u' ' + QString::fromLatin1(n == 1 ? one : many);
}

// One data record read against the mapping.
struct Row {
    std::array<QString, FieldCount> text;
    QDate joined, ended;
    std::vector<std::pair<Problem, QString>> problems;

    bool hard() const {
        for (const auto& [kind, what] : problems)
            if (kind == Problem::Hard)
                return true;
        return false;
    }
    QString name() const {
        const QString& first = text[size_t(Field::FirstNames)];
        const QString& surname = text[size_t(Field::Surname)];
        return first.isEmpty() ? surname : surname + QStringLiteral(", ") + first;
    }
    // Folded digests for finding the same person: by name and post code, by
    // e-mail (none for a row without one).
    quint64 nameKey() const {
        return FoldedDigest()
            .add(text[size_t(Field::Surname)])
            .add(text[size_t(Field::FirstNames)])
            .add(text[size_t(Field::PostCode)], false)
            .value();
    }
    std::optional<quint64> emailKey() const {
        const QString& email = text[size_t(Field::EmailAddress)];
        if (isBlank(email))
            return std::nullopt;
        return FoldedDigest().add(email).value();
    }
};

using Levels = QHash<QString, qint64>; // folded name -> key

Levels readLevels(qv::Connection& connection, QString* first = nullptr) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT MembershipLevelID, MemberCategory FROM MembershipLevel "
                            "ORDER BY MembershipLevelID"));
    qv::Result r;
    q.fetch(r);
    Levels levels;
    for (int i = 0; i < r.rows.rowCount(); ++i) {
        const QString name = r.rows.textOf(r.rows.cell(i, 1));
        if (i == 0 && first)
            *first = name;
        if (!levels.contains(foldName(name)))
            levels.insert(foldName(name), r.rows.value(r.rows.cell(i, 0)).toInteger());
    }
    return levels;
}

// Dates repeat down a column (the day the club's year starts, a founding
// day), and reading one takes a few pattern matches: each distinct text is
// read once while the cache holds it.
QDate readDateOnce(const QString& text, DateForm form, const QDate& today) {
    struct Cache {
        QDate today;
        std::array<QHash<QString, QDate>, 3> byForm;
    };
    static thread_local Cache cache;
    if (cache.today != today) {
        cache.today = today;
        for (auto& dates : cache.byForm)
            dates.clear();
    }
    QHash<QString, QDate>& dates = cache.byForm[size_t(form)];
    if (const auto found = dates.constFind(text); found != dates.constEnd())
        return *found;
    if (dates.size() >= 4096)
        dates.clear();
    return *dates.insert(text, ReadDate(text, form, today));
}

Row readRow(const QStringList& fields, const Mapping& mapping, const Levels& levels,
            const QDate& today) {
    Row row;
    const auto add = [&row](Field field, const QString& value) {
        QString& text = row.text[size_t(field)];
        text = text.isEmpty() ? value : text + QStringLiteral(", ") + value;
    };
    const qsizetype n = std::min<qsizetype>(fields.size(), qsizetype(mapping.columns.size()));
    for (qsizetype i = 0; i < n; ++i) {
        const Column& column = mapping.columns[size_t(i)];
        if (column.field == Field::Ignore)
            continue;
        const QString& field = fields[i];
        // trimmed() is a call even when there is nothing to trim.
        QString value = field.isEmpty() || (!field.front().isSpace() && !field.back().isSpace())
                            ? field
                            : field.trimmed();
        if (value.isEmpty())
            continue;
        if (IsDateField(column.field)) {
            const QDate date = readDateOnce(value, column.dateForm, today);
            if (!date.isValid()) {
                row.problems.emplace_back(Problem::Hard,
                                          QStringLiteral("%1 %2 is no %3 date")
                                              .arg(FieldCaption(column.field), quoted(value),
                                                   DateFormKey(column.dateForm)));
                continue;
            }
            (column.field == Field::DateJoined ? row.joined : row.ended) = date;
            continue;
        }
        // A line break inside a quoted value belongs in a note only; the
        // other fields are one line each.
        if (column.field != Field::MemberNote && !isSimplified(value))
            value =
                value.contains(u'\n')
                    ? value.split(u'\n', Qt::SkipEmptyParts).join(QStringLiteral(", ")).simplified()
                    : value.simplified();
        if (column.field == Field::FullName) {
            QString first, surname;
            SplitFullName(value, first, surname);
            if (row.text[size_t(Field::Surname)].isEmpty())
                row.text[size_t(Field::Surname)] = surname;
            if (row.text[size_t(Field::FirstNames)].isEmpty())
                row.text[size_t(Field::FirstNames)] = first;
            continue;
        }
        add(column.field, value);
    }
    if (row.text[size_t(Field::Surname)].isEmpty())
        row.problems.emplace_back(Problem::Hard, QStringLiteral("no surname"));
    if (row.ended.isValid() && !row.joined.isValid())
        row.problems.emplace_back(Problem::Hard,
                                  QStringLiteral("a date ended without a date joined"));
    else if (row.ended.isValid() && row.ended < row.joined)
        row.problems.emplace_back(Problem::Hard,
                                  QStringLiteral("the date ended is before the date joined"));
    for (int f = 0; f < FieldCount; ++f) {
        const int width = Fields[size_t(f)].width;
        QString& text = row.text[size_t(f)];
        if (width == 0 || text.size() <= width || codePoints(text) <= width)
            continue;
        row.problems.emplace_back(Problem::TooLong,
                                  QStringLiteral("%1 longer than %2 characters")
                                      .arg(FieldCaption(Field(f)), number(width)));
        if (mapping.cutLongText)
            text = cutTo(text, width);
    }
    const QString& level = row.text[size_t(Field::MembershipLevel)];
    if (!level.isEmpty() && !levels.contains(foldedLevel(level)))
        row.problems.emplace_back(
            Problem::UnknownLevel,
            QStringLiteral("the membership type %1 is new").arg(quoted(level)));
    return row;
}

bool openReader(Spreadsheet::Reader& reader, const Mapping& mapping, QString& error) {
    if (!reader.open()) {
        error = reader.error();
        return false;
    }
    QStringList skipped;
    if (mapping.header)
        reader.next(skipped);
    return true;
}

// The file's size and time, so a write notices a file changed since its check.
QString fileStamp(const QString& path) {
    const QFileInfo file(path);
    return QString::number(file.size()) + u'@' +
           QString::number(file.lastModified().toMSecsSinceEpoch());
}

} // namespace

// ---- Fields, dates, names -----------------------------------------------------

QString FieldKey(Field field) {
    return QString::fromLatin1(info(field).key);
}

std::optional<Field> FieldFromKey(const QString& key) {
    for (int f = 0; f < FieldCount; ++f)
        if (key.compare(QLatin1String(Fields[size_t(f)].key), Qt::CaseInsensitive) == 0)
            return Field(f);
    return std::nullopt;
}

QString FieldCaption(Field field) {
    return QString::fromLatin1(info(field).caption);
}

bool IsDateField(Field field) {
    return field == Field::DateJoined || field == Field::DateEnded;
}

Field GuessField(const QString& header) {
    // Column names as spreadsheets of clubs have them, folded as foldHeader
    // folds (no accents, spaces or punctuation).
    static const QHash<QString, Field> names = [] {
        QHash<QString, Field> all;
        const auto put = [&all](Field field, std::initializer_list<const char*> words) {
            for (const char* w : words)
                all.insert(QString::fromLatin1(w), field);
        };
        put(Field::Surname,
            {"surname", "lastname", "familyname", "nachname", "familienname", "nomdefamille",
             "achternaam", "familienaam", "apellido", "apellidos", "nom"});
        put(Field::FirstNames,
            {"firstname", "firstnames", "forename", "forenames", "givenname", "givennames",
             "christianname", "vorname", "vornamen", "prenom", "prenoms", "voornaam", "voornamen",
             "roepnaam", "nombre", "nombres"});
        put(Field::FullName, {"name", "fullname", "membername", "member", "naam", "volledigenaam",
                              "nomcomplet", "nombrecompleto", "vollername", "mitglied"});
        put(Field::Address,
            {"address", "street", "streetaddress", "address1", "address2", "addressline1",
             "addressline2", "adresse", "strasse", "anschrift", "strasseundhausnummer", "adres",
             "straat", "direccion", "domicilio", "calle", "rue"});
        put(Field::City,
            {"city", "town", "ort", "stadt", "wohnort", "ville", "localite", "commune", "plaats",
             "woonplaats", "stad", "ciudad", "localidad", "poblacion", "municipio"});
        put(Field::PostCode, {"postcode", "postalcode", "zip", "zipcode", "postleitzahl", "plz",
                              "codepostal", "cp", "codigopostal"});
        put(Field::TelNo, {"phone", "telephone", "tel", "telno", "phoneno", "phonenumber",
                           "homephone", "landline", "telefon", "telefonnummer", "telefoon",
                           "telefoonnummer", "telefono", "telefonofijo"});
        put(Field::MobileNo,
            {"mobile", "mobileno", "mobilephone", "mobilenumber", "cell", "cellphone", "handy",
             "mobil", "mobiltelefon", "handynummer", "portable", "telephoneportable", "mobiel",
             "gsm", "movil", "celular", "telefonomovil"});
        put(Field::EmailAddress,
            {"email", "emailaddress", "mail", "emailadresse", "mailadresse", "courriel",
             "adresseemail", "adressemail", "emailadres", "correo", "correoelectronico"});
        put(Field::MembershipNo,
            {"membershipno", "membershipnumber", "membernumber", "memberno", "mitgliedsnummer",
             "mitgliedsnr", "mitgliednr", "numerodemembre", "numeroadherent", "nadherent",
             "lidnummer", "lidnr", "numerodesocio", "nsocio"});
        put(Field::DateJoined,
            {"datejoined",    "joined",           "joindate",      "joiningdate",
             "membersince",   "startdate",        "since",         "eintrittsdatum",
             "eintritt",      "mitgliedseit",     "datedadhesion", "dateadhesion",
             "adhesion",      "datedinscription", "lidsinds",      "datuminschrijving",
             "ingeschreven",  "fechadealta",      "alta",          "fechaingreso",
             "fechadeingreso"});
        put(Field::MembershipLevel,
            {"level",          "membershiplevel", "membershiptype", "membertype",   "type",
             "category",       "membercategory",  "class",          "grade",        "mitgliedsart",
             "mitgliedschaft", "kategorie",       "beitragsart",    "categorie",    "typedadhesion",
             "typeadhesion",   "soort",           "soortlid",       "lidmaatschap", "categoria",
             "tipo",           "tipodesocio"});
        put(Field::DateEnded, {"dateended", "ended", "enddate", "left", "dateleft", "leavingdate",
                               "austritt", "austrittsdatum", "datedefin", "datederadiation",
                               "depart", "einddatum", "uitgeschreven", "fechadebaja", "baja"});
        put(Field::ReasonEnded,
            {"reasonended", "reason", "reasonleft", "leavingreason", "austrittsgrund", "grund",
             "motif", "motifdedepart", "reden", "redenuitschrijving", "motivo", "motivobaja"});
        put(Field::MemberNote,
            {"note",         "notes",       "comment",       "comments",   "remark",
             "remarks",      "bemerkung",   "bemerkungen",   "notiz",      "notizen",
             "anmerkung",    "anmerkungen", "remarque",      "remarques",  "commentaire",
             "commentaires", "opmerking",   "opmerkingen",   "notitie",    "notities",
             "nota",         "notas",       "observaciones", "comentario", "comentarios"});
        return all;
    }();
    return names.value(foldHeader(header), Field::Ignore);
}

QString DateFormKey(DateForm form) {
    switch (form) {
    case DateForm::DayFirst:
        return QStringLiteral("day-first");
    case DateForm::MonthFirst:
        return QStringLiteral("month-first");
    case DateForm::Iso:
        break;
    }
    return QStringLiteral("ISO");
}

std::optional<DateForm> DateFormFromKey(const QString& key) {
    for (const DateForm form : {DateForm::DayFirst, DateForm::MonthFirst, DateForm::Iso})
        if (key.compare(DateFormKey(form), Qt::CaseInsensitive) == 0)
            return form;
    return std::nullopt;
}

QString DateFormCaption(DateForm form) {
    switch (form) {
    case DateForm::DayFirst:
        return QStringLiteral("day-first (31/12/2024)");
    case DateForm::MonthFirst:
        return QStringLiteral("month-first (12/31/2024)");
    case DateForm::Iso:
        break;
    }
    return QStringLiteral("ISO (2024-12-31)");
}

namespace {

// The date part of a value: spreadsheets add a time of day to dates
// ("2019-04-01 00:00:00", "01/04/2019 00:00").
QString datePart(const QString& text) {
    static const QRegularExpression time(
        QStringLiteral("[ T]\\d{1,2}:\\d{2}(:\\d{2}(\\.\\d+)?)?$"));
    QString date = text.trimmed();
    const QRegularExpressionMatch m = time.match(date);
    if (m.hasMatch())
        date.truncate(m.capturedStart());
    return date.trimmed();
}

} // namespace

DateForm DetectDateForm(const QStringList& values) {
    static const QRegularExpression iso(QStringLiteral("^\\d{4}[-/.]\\d{1,2}[-/.]\\d{1,2}$"));
    static const QRegularExpression numeric(
        QStringLiteral("^(\\d{1,2})[-/. ]{1,2}(\\d{1,2})[-/. ]{1,2}\\d{1,4}\\.?$"));
    bool allIso = true, any = false, dayFirst = false, monthFirst = false;
    for (const QString& value : values) {
        const QString date = datePart(value);
        if (date.isEmpty())
            continue;
        any = true;
        if (iso.match(date).hasMatch())
            continue;
        allIso = false;
        const QRegularExpressionMatch m = numeric.match(date);
        if (!m.hasMatch())
            continue;
        if (m.captured(1).toInt() > 12)
            dayFirst = true;
        else if (m.captured(2).toInt() > 12)
            monthFirst = true;
    }
    if (any && allIso)
        return DateForm::Iso;
    // Only a day above 12 in second place says month-first; 03/04/2020 is
    // read as most of Europe writes it.
    return monthFirst && !dayFirst ? DateForm::MonthFirst : DateForm::DayFirst;
}

QDate ReadDate(const QString& text, DateForm form, const QDate& today) {
    const QString date = datePart(text);
    // A date with a four-digit year first is year, month, day in any form.
    static const QRegularExpression yearFirst(QStringLiteral("^\\d{4}[-/.]"));
    if (yearFirst.match(date).hasMatch())
        return qv::Regional::readNumericDate(date, u"ymd", today);
    switch (form) {
    case DateForm::DayFirst:
        return qv::Regional::readNumericDate(date, u"dmy", today);
    case DateForm::MonthFirst:
        return qv::Regional::readNumericDate(date, u"mdy", today);
    case DateForm::Iso:
        break;
    }
    return QDate();
}

void SplitFullName(const QString& fullName, QString& firstNames, QString& surname) {
    const QString name = fullName.simplified();
    // "Smith, John" as registers and mail programs list people.
    if (const qsizetype comma = name.indexOf(u','); comma >= 0) {
        surname = name.left(comma).trimmed();
        firstNames = name.mid(comma + 1).trimmed();
        return;
    }
    const QStringList words = name.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2) {
        surname = name;
        firstNames.clear();
        return;
    }
    // The surname is the last word with the small words that belong to it
    // ("van der Berg", "de la Cruz", "von Weber").
    static const QSet<QString> particles = {
        QStringLiteral("van"), QStringLiteral("von"), QStringLiteral("der"), QStringLiteral("den"),
        QStringLiteral("de"),  QStringLiteral("du"),  QStringLiteral("la"),  QStringLiteral("le"),
        QStringLiteral("da"),  QStringLiteral("di"),  QStringLiteral("del"), QStringLiteral("ter"),
        QStringLiteral("ten"), QStringLiteral("zu"),  QStringLiteral("dos"), QStringLiteral("das"),
        QStringLiteral("'t"),  QStringLiteral("op")};
    qsizetype start = words.size() - 1;
    while (start > 1 && particles.contains(words[start - 1]))
        --start;
    surname = words.mid(start).join(u' ');
    firstNames = words.mid(0, start).join(u' ');
}

QString DuplicateChoiceKey(DuplicateChoice choice) {
    switch (choice) {
    case DuplicateChoice::Skip:
        return QStringLiteral("skip");
    case DuplicateChoice::AddAnyway:
        return QStringLiteral("add");
    case DuplicateChoice::FillEmpty:
        break;
    }
    return QStringLiteral("fill");
}

std::optional<DuplicateChoice> DuplicateChoiceFromKey(const QString& key) {
    for (const DuplicateChoice c :
         {DuplicateChoice::Skip, DuplicateChoice::AddAnyway, DuplicateChoice::FillEmpty})
        if (key.compare(DuplicateChoiceKey(c), Qt::CaseInsensitive) == 0)
            return c;
    return std::nullopt;
}

QString DuplicateChoiceCaption(DuplicateChoice choice) {
    switch (choice) {
    case DuplicateChoice::Skip:
        return QStringLiteral("Skip");
    case DuplicateChoice::AddAnyway:
        return QStringLiteral("Add anyway");
    case DuplicateChoice::FillEmpty:
        break;
    }
    return QStringLiteral("Fill the member's empty fields");
}

// ---- Mappings -------------------------------------------------------------------

QString Mapping::toJson() const {
    QJsonObject root;
    root[QStringLiteral("name")] = name;
    root[QStringLiteral("encoding")] = format.encoding == Spreadsheet::Encoding::Windows1252
                                           ? QStringLiteral("windows-1252")
                                           : QStringLiteral("utf-8");
    root[QStringLiteral("delimiter")] = QString(format.delimiter);
    root[QStringLiteral("header")] = header;
    QJsonArray list;
    for (size_t i = 0; i < columns.size(); ++i) {
        QJsonObject column;
        column[QStringLiteral("column")] = int(i + 1);
        if (header && qsizetype(i) < headers.size())
            column[QStringLiteral("header")] = headers[qsizetype(i)];
        column[QStringLiteral("field")] = FieldKey(columns[i].field);
        if (IsDateField(columns[i].field))
            column[QStringLiteral("dateForm")] = DateFormKey(columns[i].dateForm);
        list.append(column);
    }
    root[QStringLiteral("columns")] = list;
    root[QStringLiteral("createLevels")] = createLevels;
    root[QStringLiteral("cutLongText")] = cutLongText;
    root[QStringLiteral("duplicates")] = DuplicateChoiceKey(duplicates);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

std::optional<JsonMapping> ParseMapping(const QString& json, QString& error) {
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        error = parse.error != QJsonParseError::NoError
                    ? QStringLiteral("The mapping is no JSON: %1 (at character %2).")
                          .arg(parse.errorString())
                          .arg(parse.offset)
                    : QStringLiteral("The mapping is no JSON object.");
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    JsonMapping mapping;
    mapping.name = root.value(QStringLiteral("name")).toString();
    if (const QString e = root.value(QStringLiteral("encoding")).toString(); !e.isEmpty()) {
        if (e.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0)
            mapping.encoding = Spreadsheet::Encoding::Utf8;
        else if (e.compare(QLatin1String("windows-1252"), Qt::CaseInsensitive) == 0 ||
                 e.compare(QLatin1String("latin-1"), Qt::CaseInsensitive) == 0)
            mapping.encoding = Spreadsheet::Encoding::Windows1252;
        else if (e.compare(QLatin1String("auto"), Qt::CaseInsensitive) != 0) {
            error = QStringLiteral("Unknown encoding %1 in the mapping (utf-8, windows-1252 or "
                                   "auto).")
                        .arg(quoted(e));
            return std::nullopt;
        }
    }
    if (const QString d = root.value(QStringLiteral("delimiter")).toString(); !d.isEmpty()) {
        const QString word = d.toLower();
        const QChar c = word == u"tab"         ? QChar(u'\t')
                        : word == u"semicolon" ? QChar(u';')
                        : word == u"comma"     ? QChar(u',')
                        : d.size() == 1        ? d[0]
                                               : QChar();
        if (c != u'\t' && c != u';' && c != u',') {
            error = QStringLiteral("Unknown delimiter %1 in the mapping (comma, semicolon or tab).")
                        .arg(quoted(d));
            return std::nullopt;
        }
        mapping.delimiter = c;
    }
    if (root.contains(QStringLiteral("header")))
        mapping.header = root.value(QStringLiteral("header")).toBool();
    for (const QJsonValue& value : root.value(QStringLiteral("columns")).toArray()) {
        const QJsonObject column = value.toObject();
        JsonMapping::Entry entry;
        entry.header = column.value(QStringLiteral("header")).toString();
        entry.position = column.value(QStringLiteral("column")).toInt();
        const QString fieldKey = column.value(QStringLiteral("field")).toString();
        const std::optional<Field> field = FieldFromKey(fieldKey);
        if (!field) {
            error = QStringLiteral("Unknown field %1 in the mapping.").arg(quoted(fieldKey));
            return std::nullopt;
        }
        entry.column.field = *field;
        if (const QString form = column.value(QStringLiteral("dateForm")).toString();
            !form.isEmpty()) {
            const std::optional<DateForm> f = DateFormFromKey(form);
            if (!f) {
                error = QStringLiteral("Unknown date form %1 in the mapping (day-first, "
                                       "month-first or ISO).")
                            .arg(quoted(form));
                return std::nullopt;
            }
            entry.column.dateForm = *f;
        }
        if (entry.header.isEmpty() && entry.position < 1) {
            error = QStringLiteral("A column of the mapping has neither a header nor a column "
                                   "number.");
            return std::nullopt;
        }
        mapping.entries.push_back(entry);
    }
    if (mapping.entries.empty()) {
        error = QStringLiteral("The mapping names no columns.");
        return std::nullopt;
    }
    mapping.createLevels = root.value(QStringLiteral("createLevels")).toBool(true);
    mapping.cutLongText = root.value(QStringLiteral("cutLongText")).toBool(false);
    if (const QString d = root.value(QStringLiteral("duplicates")).toString(); !d.isEmpty()) {
        const std::optional<DuplicateChoice> c = DuplicateChoiceFromKey(d);
        if (!c) {
            error = QStringLiteral("Unknown duplicate choice %1 in the mapping (skip, add or "
                                   "fill).")
                        .arg(quoted(d));
            return std::nullopt;
        }
        mapping.duplicates = *c;
    }
    return mapping;
}

QString HeaderSignature(const QStringList& headers, bool header) {
    QString text = QString::number(headers.size());
    if (header)
        for (const QString& h : headers)
            text += u'\x1f' + foldHeader(h);
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex());
}

// ---- Preview ----------------------------------------------------------------------

namespace {

bool readFirst(const QString& path, Preview& preview, QString& error) {
    Spreadsheet::Reader reader(path, preview.mapping.format);
    if (!reader.open()) {
        error = reader.error();
        return false;
    }
    std::vector<QStringList> records;
    QStringList fields;
    while (int(records.size()) < PreviewRows + 1 && reader.next(fields))
        records.push_back(fields);
    if (!reader.error().isEmpty()) {
        error = reader.error();
        return false;
    }
    preview.columnCount = 0;
    for (const QStringList& r : records)
        preview.columnCount = std::max(preview.columnCount, int(r.size()));
    QStringList headers;
    if (preview.mapping.header && !records.empty()) {
        headers = records.front();
        records.erase(records.begin());
    } else if (int(records.size()) > PreviewRows) {
        records.pop_back();
    }
    for (int i = 0; i < preview.columnCount; ++i)
        if (i >= headers.size() || headers[i].trimmed().isEmpty()) {
            while (headers.size() <= i)
                headers << QString();
            headers[i] = QStringLiteral("Column %1").arg(i + 1);
        } else {
            headers[i] = headers[i].simplified();
        }
    preview.mapping.headers = headers;
    preview.rows = std::move(records);
    return true;
}

// Whether the first record names the columns: one of its values is a known
// column name, or none of them holds a digit or an "@" while the second
// record's values do.
bool looksLikeHeader(const QStringList& first, const QStringList& second) {
    for (const QString& value : first)
        if (GuessField(value) != Field::Ignore)
            return true;
    const auto data = [](const QString& value) {
        for (const QChar c : value)
            if (c.isDigit() || c == u'@')
                return true;
        return false;
    };
    for (const QString& value : first)
        if (data(value))
            return false;
    for (const QString& value : second)
        if (data(value))
            return true;
    return false;
}

} // namespace

bool ReadPreview(const QString& path, Preview& preview, QString& error) {
    preview = Preview();
    if (!Spreadsheet::DetectFormat(path, preview.mapping.format, error))
        return false;
    preview.mapping.header = false;
    if (!readFirst(path, preview, error))
        return false;
    if (!preview.rows.empty()) {
        const QStringList second = preview.rows.size() > 1 ? preview.rows[1] : QStringList();
        preview.mapping.header = looksLikeHeader(preview.rows.front(), second);
        if (preview.mapping.header && !readFirst(path, preview, error))
            return false;
    }
    preview.mapping.name = QFileInfo(path).completeBaseName();
    GuessColumns(preview);
    return true;
}

bool RereadPreview(const QString& path, Preview& preview, QString& error) {
    const std::vector<Column> before = preview.mapping.columns;
    const QStringList headersBefore = preview.mapping.headers;
    if (!readFirst(path, preview, error))
        return false;
    GuessColumns(preview);
    // The user's own choices stay while the columns are the same ones.
    if (preview.mapping.headers == headersBefore)
        for (size_t i = 0; i < before.size() && i < preview.mapping.columns.size(); ++i)
            preview.mapping.columns[i] = before[i];
    return true;
}

void GuessColumns(Preview& preview) {
    Mapping& m = preview.mapping;
    m.columns.assign(size_t(preview.columnCount), Column());
    bool firstNames = false;
    for (int i = 0; i < preview.columnCount; ++i) {
        if (m.header)
            m.columns[size_t(i)].field = GuessField(m.headers[i]);
        firstNames = firstNames || m.columns[size_t(i)].field == Field::FirstNames;
    }
    for (int i = 0; i < preview.columnCount; ++i) {
        Column& column = m.columns[size_t(i)];
        // "Name" beside "Vorname", "naam" beside "voornaam": the surname.
        if (column.field == Field::FullName && firstNames)
            column.field = Field::Surname;
        // One column per field, but for the address lines and notes.
        if (column.field != Field::Address && column.field != Field::MemberNote)
            for (int j = 0; j < i; ++j)
                if (m.columns[size_t(j)].field == column.field)
                    column.field = Field::Ignore;
        QStringList values;
        for (const QStringList& row : preview.rows)
            if (i < row.size())
                values << row[i];
        column.dateForm = DetectDateForm(values);
    }
}

void Apply(const JsonMapping& saved, Preview& preview) {
    Mapping& m = preview.mapping;
    m.name = saved.name.isEmpty() ? m.name : saved.name;
    m.createLevels = saved.createLevels;
    m.cutLongText = saved.cutLongText;
    m.duplicates = saved.duplicates;
    m.columns.assign(size_t(preview.columnCount), Column());
    for (int i = 0; i < preview.columnCount; ++i) {
        const JsonMapping::Entry* found = nullptr;
        if (m.header)
            for (const JsonMapping::Entry& e : saved.entries)
                if (!e.header.isEmpty() && foldHeader(e.header) == foldHeader(m.headers[i])) {
                    found = &e;
                    break;
                }
        if (!found)
            for (const JsonMapping::Entry& e : saved.entries)
                if (e.position == i + 1 && (e.header.isEmpty() || !m.header)) {
                    found = &e;
                    break;
                }
        if (found)
            m.columns[size_t(i)] = found->column;
    }
}

// ---- Saved mappings -----------------------------------------------------------------

namespace {

std::optional<QString> savedMapping(qv::Connection& connection, const QString& column,
                                    const QString& value) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT Mapping FROM ImportMappings WHERE ") + column +
             QStringLiteral(" = :Value ORDER BY ImportMappingID DESC"));
    q.setParameter(QStringLiteral("Value"), value);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        return std::nullopt;
    return r.rows.value(r.rows.cell(0, 0)).toText();
}

} // namespace

std::optional<QString> SavedMappingFor(qv::Connection& connection, const QString& signature) {
    return savedMapping(connection, QStringLiteral("HeaderSignature"), signature);
}

std::optional<QString> SavedMappingNamed(qv::Connection& connection, const QString& name) {
    return savedMapping(connection, QStringLiteral("MappingName"), name);
}

void SaveMapping(qv::Connection& connection, const Mapping& mapping) {
    const QString name = cutTo(mapping.name.simplified(), 50);
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("DELETE FROM ImportMappings WHERE MappingName = :Name"));
    q.setParameter(QStringLiteral("Name"), name);
    q.execute();
    Mapping stored = mapping;
    stored.name = name;
    q.setSQL(QStringLiteral("INSERT INTO ImportMappings (HeaderSignature, MappingName, Mapping) "
                            "VALUES (:Signature, :Name, :Mapping)"));
    q.setParameter(QStringLiteral("Signature"), HeaderSignature(mapping.headers, mapping.header));
    q.setParameter(QStringLiteral("Name"), name);
    q.setParameter(QStringLiteral("Mapping"), stored.toJson());
    q.execute();
}

// ---- Plan ---------------------------------------------------------------------------

bool Plan::written(const Refusal& refusal) const {
    for (const auto& [kind, what] : refusal.problems) {
        if (kind == Problem::Hard)
            return false;
        if (kind == Problem::TooLong && !mapping.cutLongText)
            return false;
        if (kind == Problem::UnknownLevel && !mapping.createLevels)
            return false;
    }
    return true;
}

DuplicateChoice Plan::choiceOf(const Duplicate& duplicate) const {
    return duplicate.choice.value_or(mapping.duplicates);
}

qint64 Plan::refused() const {
    qint64 n = mapping.createLevels ? 0 : qint64(newLevelRows.size());
    for (const Refusal& r : problems)
        n += written(r) ? 0 : 1;
    return n;
}

qint64 Plan::tooLong() const {
    qint64 n = 0;
    for (const Refusal& r : problems)
        for (const auto& [kind, what] : r.problems)
            if (kind == Problem::TooLong) {
                ++n;
                break;
            }
    return n;
}

bool Plan::rowWritten(qint64 row) const {
    // Both lists are in the order of the rows.
    if (!mapping.createLevels &&
        std::binary_search(newLevelRows.begin(), newLevelRows.end(), std::make_pair(row, qint64(0)),
                           [](const auto& a, const auto& b) { return a.first < b.first; }))
        return false;
    const auto found = std::lower_bound(problems.begin(), problems.end(), row,
                                        [](const Refusal& r, qint64 n) { return r.row < n; });
    return found == problems.end() || found->row != row || written(*found);
}

qint64 Plan::toFill() const {
    qint64 n = 0;
    for (const Duplicate& d : duplicates)
        n += choiceOf(d) == DuplicateChoice::FillEmpty && rowWritten(d.row) ? 1 : 0;
    return n;
}

qint64 Plan::toSkip() const {
    qint64 n = 0;
    for (const Duplicate& d : duplicates)
        n += choiceOf(d) == DuplicateChoice::Skip && rowWritten(d.row) ? 1 : 0;
    return n;
}

qint64 Plan::toAdd() const {
    return rows - refused() - toFill() - toSkip();
}

QString Plan::text() const {
    QStringList lines;
    lines << QStringLiteral("%1 read from %2 (%3, %4-separated).")
                 .arg(plural(rows, "row", "rows"), fileName,
                      Spreadsheet::EncodingName(mapping.format.encoding),
                      Spreadsheet::DelimiterName(mapping.format.delimiter));
    lines << QStringLiteral("To add: %1.").arg(plural(toAdd(), "new member", "new members"));
    qint64 addAnyway = 0;
    for (const Duplicate& d : duplicates)
        addAnyway += choiceOf(d) == DuplicateChoice::AddAnyway && rowWritten(d.row) ? 1 : 0;
    if (!duplicates.empty())
        lines << QStringLiteral("Like members already there: %1 (to skip %2, to add anyway %3, "
                                "to fill empty fields %4).")
                     .arg(number(qint64(duplicates.size())), number(toSkip()), number(addAnyway),
                          number(toFill()));
    if (!unknownLevels.isEmpty())
        lines << (mapping.createLevels
                      ? QStringLiteral("New membership types to create: %1.")
                      : QStringLiteral("Membership types not in the register (their rows are "
                                       "refused): %1."))
                     .arg(unknownLevels.join(QStringLiteral(", ")));
    if (const qint64 cut = tooLong(); cut > 0)
        lines << (mapping.cutLongText
                      ? QStringLiteral("%1 with text longer than its column: cut to fit.")
                      : QStringLiteral("%1 with text longer than its column: refused."))
                     .arg(plural(cut, "row", "rows"));
    if (withoutDateJoined > 0)
        lines << QStringLiteral("%1 without a date joined: the membership starts today.")
                     .arg(plural(withoutDateJoined, "row", "rows"));
    lines << QStringLiteral("Refused: %1.").arg(plural(refused(), "row", "rows"));
    return lines.join(u'\n');
}

// ---- Check ----------------------------------------------------------------------------

namespace {

// Members and rows by their folded name and post code, and by their folded
// e-mail, to the member's key or to -(row + 1) for a row of the file being
// imported. Only a 64-bit digest of each is held, so a file of many rows
// costs a few dozen bytes a row; two different people share one by chance
// about once in 10^9 imports of 100 000 rows.
struct MemberIndex {
    QHash<quint64, qint64> byName;
    QHash<quint64, qint64> byEmail;

    void read(qv::Connection& connection) {
        qv::Query q(&connection);
        q.setSQL(QStringLiteral("SELECT MemberID, Surname, FirstNames, PostCode, EmailAddress "
                                "FROM Members"));
        qv::Result r;
        q.fetch(r);
        Row row;
        for (int i = 0; i < r.rows.rowCount(); ++i) {
            row.text[size_t(Field::Surname)] = r.rows.textOf(r.rows.cell(i, 1));
            row.text[size_t(Field::FirstNames)] = r.rows.textOf(r.rows.cell(i, 2));
            row.text[size_t(Field::PostCode)] = r.rows.textOf(r.rows.cell(i, 3));
            row.text[size_t(Field::EmailAddress)] = r.rows.textOf(r.rows.cell(i, 4));
            add(row, r.rows.value(r.rows.cell(i, 0)).toInteger());
        }
    }
    void add(const Row& row, qint64 id) {
        // The first holder of a key stays: later rows match the member there.
        const auto keep = [id](QHash<quint64, qint64>& keys, quint64 key) {
            if (!keys.contains(key))
                keys.insert(key, id);
        };
        keep(byName, row.nameKey());
        if (const std::optional<quint64> email = row.emailKey())
            keep(byEmail, *email);
    }
    // The member or row the row matches, and why; 0 for none.
    qint64 match(const Row& row, QString& why) const {
        if (const qint64 id = byName.value(row.nameKey()); id != 0) {
            why = row.text[size_t(Field::PostCode)].isEmpty()
                      ? QStringLiteral("same name")
                      : QStringLiteral("same name and post code");
            return id;
        }
        if (const std::optional<quint64> email = row.emailKey())
            if (const qint64 id = byEmail.value(*email); id != 0) {
                why = QStringLiteral("same e-mail");
                return id;
            }
        return 0;
    }
};

// A member as the check shows him: "Smith, John (LS1 4AP)".
QString memberShown(qv::Connection& connection, qint64 memberId) {
    qv::Query q(&connection);
    q.setSQL(QStringLiteral("SELECT Surname, FirstNames, PostCode FROM Members WHERE MemberID = "
                            ":MemberID"));
    q.setParameter(QStringLiteral("MemberID"), memberId);
    qv::Result r;
    q.fetch(r);
    if (r.rows.rowCount() == 0)
        return QString();
    Row row;
    row.text[size_t(Field::Surname)] = r.rows.textOf(r.rows.cell(0, 0));
    row.text[size_t(Field::FirstNames)] = r.rows.textOf(r.rows.cell(0, 1));
    const QString post = r.rows.textOf(r.rows.cell(0, 2));
    return post.isEmpty() ? row.name() : QStringLiteral("%1 (%2)").arg(row.name(), post);
}

} // namespace

bool Check(qv::Connection& connection, const QString& path, const Mapping& mapping, Plan& plan,
           QString& error, const ProgressCallback& progress) {
    plan = Plan();
    plan.path = path;
    plan.mapping = mapping;
    plan.fileName = QFileInfo(path).fileName();
    // Noted for the write, which refuses a file changed since.
    plan.stamp = fileStamp(path);
    error.clear();
    try {
        const Levels levels = readLevels(connection, &plan.defaultLevel);
        MemberIndex index;
        index.read(connection);
        Spreadsheet::Reader reader(path, mapping.format);
        if (!openReader(reader, mapping, error))
            return false;
        const QDate today = QDate::currentDate();
        QSet<QString> unknown;
        std::vector<qint64> lines; // of each row, so a duplicate can name its earlier row's
        QStringList fields;
        for (qint64 number = 0; reader.next(fields); ++number) {
            if (progress && number % 256 == 0 && !progress(reader.bytesRead(), reader.size()))
                return false;
            ++plan.rows;
            lines.push_back(reader.line());
            const Row row = readRow(fields, mapping, levels, today);
            bool levelOnly = !row.problems.empty();
            for (const auto& [kind, what] : row.problems)
                levelOnly = levelOnly && kind == Problem::UnknownLevel;
            if (levelOnly)
                plan.newLevelRows.emplace_back(number, reader.line());
            else if (!row.problems.empty())
                plan.problems.push_back({number, reader.line(), row.problems});
            if (row.hard())
                continue;
            if (!row.joined.isValid())
                ++plan.withoutDateJoined;
            const QString& level = row.text[size_t(Field::MembershipLevel)];
            if (const QString& folded = foldedLevel(level);
                !level.isEmpty() && !levels.contains(folded) && !unknown.contains(folded)) {
                unknown.insert(folded);
                plan.unknownLevels << level;
            }
            QString why;
            if (const qint64 id = index.match(row, why); id != 0) {
                Duplicate d;
                d.row = number;
                d.line = reader.line();
                d.name = row.name();
                d.why = why;
                if (id > 0) {
                    d.memberId = id;
                    d.match = memberShown(connection, id);
                } else {
                    d.earlierRow = -id - 1;
                    d.match =
                        QStringLiteral("line %1 of this file").arg(lines[size_t(d.earlierRow)]);
                }
                plan.duplicates.push_back(d);
            } else {
                index.add(row, -(number + 1));
            }
        }
        if (!reader.error().isEmpty()) {
            error = reader.error();
            return false;
        }
        return true;
    } catch (const qv::DatabaseError& e) {
        error = e.message();
        return false;
    }
}

// ---- Write ----------------------------------------------------------------------------

QString EntryLabel() {
    return QStringLiteral("Import Members from Spreadsheet");
}

QString Result::text() const {
    QStringList lines;
    lines << QStringLiteral("Members added: %1.").arg(number(added));
    if (filled > 0)
        lines << QStringLiteral("Members whose empty fields were filled: %1.").arg(number(filled));
    if (skipped > 0)
        lines << QStringLiteral("Rows skipped as members already there: %1.").arg(number(skipped));
    if (levelsMade > 0)
        lines << QStringLiteral("Membership types created: %1.").arg(number(levelsMade));
    if (cut > 0)
        lines << QStringLiteral("Rows with text cut to fit: %1.").arg(number(cut));
    lines << QStringLiteral("Rows refused: %1.").arg(number(refused));
    return lines.join(u'\n');
}

namespace {

const QStringList& memberColumns() {
    static const QStringList columns = {QStringLiteral("Surname"),  QStringLiteral("FirstNames"),
                                        QStringLiteral("Address"),  QStringLiteral("City"),
                                        QStringLiteral("PostCode"), QStringLiteral("TelNo"),
                                        QStringLiteral("MobileNo"), QStringLiteral("EmailAddress")};
    return columns;
}

constexpr std::array<Field, 8> MemberFields = {Field::Surname,  Field::FirstNames,  Field::Address,
                                               Field::City,     Field::PostCode,    Field::TelNo,
                                               Field::MobileNo, Field::EmailAddress};

qv::Value textOrNull(const QString& text) {
    return text.isEmpty() ? qv::Value() : qv::Value(text);
}

// Rows are written a batch at a time: one statement adds the members of a
// batch, one their periods, one their notes, so that a large file costs a
// few statements per batch (each text kept prepared) and the change log
// reads back each batch's new rows in one query, not one per row.
constexpr int BatchRows = 64;

// The statement that adds `rows` rows of these columns to a table.
const QString& insertText(const QString& table, const QStringList& columns, int rows) {
    static thread_local QHash<QString, QString> texts;
    const QString name = table + u'(' + columns.join(u',') + u')' + QString::number(rows);
    QString& sql = texts[name];
    if (sql.isEmpty()) {
        const QString marks =
            u'(' + QStringList(columns.size(), QStringLiteral("?")).join(u',') + u')';
        sql = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") +
              columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES ") +
              QStringList(rows, marks).join(QStringLiteral(", "));
    }
    return sql;
}

// Runs the insert of `values` (whole rows of `columns`) in chunks of a power
// of two up to a batch, so that a handful of statement texts serve every size.
// Calls `inserted(rows)` after each chunk. Unrecorded, the statements pass the
// change log by: the caller logs what they added.
void insertRows(qv::Connection& connection, const QString& table, const QStringList& columns,
                const std::vector<qv::Value>& values, bool recorded,
                const std::function<void(size_t)>& inserted = {}) {
    const size_t width = size_t(columns.size());
    const size_t total = values.size() / width;
    for (size_t done = 0; done < total;) {
        size_t chunk = 1;
        while (chunk * 2 <= total - done && chunk * 2 <= size_t(BatchRows))
            chunk *= 2;
        const QString& sql = insertText(table, columns, int(chunk));
        // A full batch is one chunk, run without a copy of its values.
        std::vector<qv::Value> part;
        if (chunk != total)
            part.assign(values.begin() + qsizetype(done * width),
                        values.begin() + qsizetype((done + chunk) * width));
        const std::vector<qv::Value>& run = chunk == total ? values : part;
        if (recorded)
            qv::executeRecorded(connection, sql, run);
        else
            connection.provider().execute(sql, run);
        if (inserted)
            inserted(chunk);
        done += chunk;
    }
}

const QStringList& periodColumns() {
    static const QStringList columns = {
        QStringLiteral("MembershipLevelID"), QStringLiteral("MembershipNo"),
        QStringLiteral("MemberID"),          QStringLiteral("DateJoined"),
        QStringLiteral("DateEnded"),         QStringLiteral("ReasonEnded")};
    return columns;
}

const QStringList& noteColumns() {
    static const QStringList columns = {QStringLiteral("MemberID"), QStringLiteral("MemberNote")};
    return columns;
}

class Writer {
public:
    Writer(qv::Connection& connection, const Plan& plan)
        : m_connection(connection)
        , m_plan(plan) {}

    Result run(const ProgressCallback& progress);

private:
    // A member waiting in the batch, with his period and note.
    struct Pending {
        qint64 row = 0;
        std::array<qv::Value, 8> member;
        std::array<qv::Value, 6> period; // MemberID filled in once the member is stored
        QString note;
    };
    void addMember(qint64 number, const Row& row);
    // Writes the waiting members, their periods and notes.
    void flush();
    // Adds rows to a table; answers their keys when asked. On a file the
    // keys of one statement follow one another (the transaction holds the
    // write lock), so the change log is given ranges of keys rather than
    // every value of every row: the register keeps the values.
    void insert(const QString& table, const QStringList& columns,
                const std::vector<qv::Value>& values, std::vector<qint64>* keys);
    // Logs the ranges of keys the import added.
    void logRanges();
    // A day as a value: a local date-time, costly to make, and a file
    // repeats its days.
    const qv::Value& day(const QDate& date);
    bool fill(qint64 memberId, const Row& row);

    qv::Connection& m_connection;
    const Plan& m_plan;
    Levels m_levels;
    qint64 m_defaultLevel = 0;
    QDate m_today = QDate::currentDate();
    std::vector<Pending> m_pending;
    QSet<qint64> m_targets;              // rows a later row matches
    QHash<qint64, qint64> m_memberOfRow; // their members, once stored
    struct KeyRange {
        QString table;
        qint64 first = 0, last = 0;
    };
    std::vector<KeyRange> m_ranges;  // in the order first written
    QHash<qint64, qv::Value> m_days; // by Julian day
};

const qv::Value& Writer::day(const QDate& date) {
    if (const auto found = m_days.constFind(date.toJulianDay()); found != m_days.constEnd())
        return *found;
    if (m_days.size() >= 4096)
        m_days.clear();
    return *m_days.insert(date.toJulianDay(), qv::Value(date));
}

void Writer::addMember(qint64 number, const Row& row) {
    Pending p;
    p.row = number;
    for (size_t i = 0; i < MemberFields.size(); ++i) {
        const Field f = MemberFields[i];
        p.member[i] = f == Field::FirstNames ? qv::Value(row.text[size_t(f)])
                                             : textOrNull(row.text[size_t(f)]);
    }
    const QString& level = row.text[size_t(Field::MembershipLevel)];
    const qint64 levelId = level.isEmpty() ? m_defaultLevel : m_levels.value(foldedLevel(level));
    if (levelId == 0)
        throw qv::DatabaseError(
            QStringLiteral("The membership type %1 is not in the register.").arg(quoted(level)));
    // Every member gets a period: a member without one is in no list.
    p.period = {qv::Value(levelId),
                textOrNull(row.text[size_t(Field::MembershipNo)]),
                qv::Value(),
                day(row.joined.isValid() ? row.joined : m_today),
                row.ended.isValid() ? day(row.ended) : qv::Value(),
                qv::Value(row.text[size_t(Field::ReasonEnded)])};
    p.note = row.text[size_t(Field::MemberNote)];
    m_pending.push_back(std::move(p));
    if (int(m_pending.size()) >= BatchRows)
        flush();
}

void Writer::insert(const QString& table, const QStringList& columns,
                    const std::vector<qv::Value>& values, std::vector<qint64>* keys) {
    sqlite3* file = m_connection.sqliteHandle();
    if (!file) {
        if (!keys) {
            insertRows(m_connection, table, columns, values, true);
            return;
        }
        // A server gives no promise of keys that follow one another: each
        // row's key is read back, and each row logged as the program's other
        // writes are.
        const size_t width = size_t(columns.size());
        for (size_t i = 0; i < values.size(); i += width)
            keys->push_back(
                qv::insertRecorded(m_connection, table, ChangeLog::KeyColumn(table), columns,
                                   std::vector<qv::Value>(values.begin() + qsizetype(i),
                                                          values.begin() + qsizetype(i + width))));
        return;
    }
    const bool logged = dynamic_cast<ChangeLog::Recorder*>(m_connection.changeRecorder());
    insertRows(m_connection, table, columns, values, !logged, [&](size_t rows) {
        const qint64 last = sqlite3_last_insert_rowid(file);
        const qint64 first = last - qint64(rows) + 1;
        if (keys)
            for (qint64 k = first; k <= last; ++k)
                keys->push_back(k);
        if (!logged)
            return;
        for (KeyRange& range : m_ranges)
            if (range.table == table && range.last + 1 == first) {
                range.last = last;
                return;
            }
        m_ranges.push_back({table, first, last});
    });
}

void Writer::logRanges() {
    if (auto* recorder = dynamic_cast<ChangeLog::Recorder*>(m_connection.changeRecorder()))
        for (const KeyRange& range : m_ranges)
            recorder->rowsAdded(m_connection, range.table, range.first, range.last);
}

void Writer::flush() {
    if (m_pending.empty())
        return;
    std::vector<qint64> keys;
    keys.reserve(m_pending.size());
    std::vector<qv::Value> values;
    values.reserve(m_pending.size() * MemberFields.size());
    for (Pending& p : m_pending)
        values.insert(values.end(), std::make_move_iterator(p.member.begin()),
                      std::make_move_iterator(p.member.end()));
    insert(QStringLiteral("Members"), memberColumns(), values, &keys);
    std::vector<qv::Value> periods, notes;
    periods.reserve(m_pending.size() * periodColumns().size());
    for (size_t i = 0; i < m_pending.size(); ++i) {
        Pending& p = m_pending[i];
        p.period[2] = qv::Value(keys[i]);
        periods.insert(periods.end(), std::make_move_iterator(p.period.begin()),
                       std::make_move_iterator(p.period.end()));
        if (!p.note.isEmpty()) {
            notes.emplace_back(keys[i]);
            notes.emplace_back(std::move(p.note));
        }
        if (m_targets.contains(p.row))
            m_memberOfRow.insert(p.row, keys[i]);
    }
    m_pending.clear();
    insert(QStringLiteral("DatesJoined"), periodColumns(), periods, nullptr);
    insert(QStringLiteral("MemberNotes"), noteColumns(), notes, nullptr);
}

bool Writer::fill(qint64 memberId, const Row& row) {
    bool changed = false;
    qv::Query q(&m_connection);
    for (const Field f : MemberFields) {
        const QString& value = row.text[size_t(f)];
        if (value.isEmpty() || f == Field::Surname)
            continue;
        const QString column = QString::fromLatin1(info(f).column);
        q.setSQL(QStringLiteral("UPDATE Members SET ") + column +
                 QStringLiteral(" = :Value WHERE "
                                "MemberID = :ID AND (") +
                 column + QStringLiteral(" IS NULL OR ") + column + QStringLiteral(" = '')"));
        q.setParameter(QStringLiteral("Value"), value);
        q.setParameter(QStringLiteral("ID"), memberId);
        changed = q.execute() > 0 || changed;
    }
    return changed;
}

Result Writer::run(const ProgressCallback& progress) {
    Result result;
    if (fileStamp(m_plan.path) != m_plan.stamp) {
        result.message = QStringLiteral("The file %1 has changed since it was checked; check it "
                                        "again.")
                             .arg(quoted(m_plan.fileName));
        return result;
    }
    qv::TransactionGuard transaction(m_connection, qv::TransactionKind::Normal, EntryLabel());
    // Every value was checked against its column's width as its row was read.
    for (const QString& table :
         {QStringLiteral("Members"), QStringLiteral("DatesJoined"), QStringLiteral("MemberNotes")})
        m_connection.provider().skipInsertWidthCheck(table);
    SaveMapping(m_connection, m_plan.mapping);
    QString defaultName;
    m_levels = readLevels(m_connection, &defaultName);
    m_defaultLevel = m_levels.value(foldName(defaultName));
    if (m_plan.mapping.createLevels)
        for (const QString& level : m_plan.unknownLevels) {
            if (m_levels.contains(foldName(level)))
                continue;
            // Shown as other new types are: normal colours, in long service.
            const QString name = cutTo(level, 20);
            const qint64 id = qv::insertRecorded(
                m_connection, QStringLiteral("MembershipLevel"),
                QStringLiteral("MembershipLevelID"),
                {QStringLiteral("MemberCategory"), QStringLiteral("HighlightColour"),
                 QStringLiteral("FontColour"), QStringLiteral("IncludeLongService")},
                {qv::Value(name), qv::Value(-1), qv::Value(-1), qv::Value(true)});
            m_levels.insert(foldName(level), id);
            m_levels.insert(foldName(name), id);
            ++result.levelsMade;
        }

    QHash<qint64, const Duplicate*> duplicates;
    for (const Duplicate& d : m_plan.duplicates) {
        duplicates.insert(d.row, &d);
        if (d.earlierRow >= 0)
            m_targets.insert(d.earlierRow);
    }

    Spreadsheet::Reader reader(m_plan.path, m_plan.mapping.format);
    if (!openReader(reader, m_plan.mapping, result.message))
        return result;
    QStringList fields;
    qint64 number = 0;
    for (; reader.next(fields); ++number) {
        if (progress && number % 200 == 0 && !progress(number, m_plan.rows)) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        if (!m_plan.rowWritten(number)) {
            ++result.refused;
            continue;
        }
        const Row row = readRow(fields, m_plan.mapping, m_levels, m_today);
        if (row.hard()) {
            result.message = QStringLiteral("Row %1 of the file reads differently than when it "
                                            "was checked; check the file again.")
                                 .arg(number + 1);
            return result;
        }
        for (const auto& [kind, what] : row.problems)
            if (kind == Problem::TooLong) {
                ++result.cut;
                break;
            }
        if (const Duplicate* d = duplicates.value(number)) {
            // The row it matches may still wait in the batch.
            if (d->earlierRow >= 0)
                flush();
            const qint64 target = d->memberId ? d->memberId : m_memberOfRow.value(d->earlierRow);
            switch (m_plan.choiceOf(*d)) {
            case DuplicateChoice::Skip:
                ++result.skipped;
                m_memberOfRow.insert(number, target);
                continue;
            case DuplicateChoice::FillEmpty:
                if (target != 0) {
                    result.filled += fill(target, row) ? 1 : 0;
                    m_memberOfRow.insert(number, target);
                    continue;
                }
                break; // the row it matches was not written: added instead
            case DuplicateChoice::AddAnyway:
                break;
            }
        }
        addMember(number, row);
        ++result.added;
    }
    flush();
    if (!reader.error().isEmpty()) {
        result.message = reader.error();
        return result;
    }
    if (number != m_plan.rows) {
        result.message = QStringLiteral("The file %1 has changed since it was checked; check it "
                                        "again.")
                             .arg(quoted(m_plan.fileName));
        return result;
    }
    if (progress && !progress(number, m_plan.rows)) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    logRanges();
    transaction.commit();
    result.outcome = Outcome::Imported;
    return result;
}

} // namespace

Result Write(qv::Connection& connection, const Plan& plan, const ProgressCallback& progress) {
    try {
        Writer writer(connection, plan);
        return writer.run(progress);
    } catch (const qv::DatabaseError& e) {
        Result result;
        result.message = e.message();
        return result;
    } catch (const std::exception& e) {
        Result result;
        result.message = QString::fromUtf8(e.what());
        return result;
    }
}

void SaveRefused(const Plan& plan, const QString& fileName) {
    if (fileStamp(plan.path) != plan.stamp)
        throw std::runtime_error(QStringLiteral("The file %1 has changed since it was checked; "
                                                "check it again.")
                                     .arg(quoted(plan.fileName))
                                     .toStdString());
    Spreadsheet::Reader reader(plan.path, plan.mapping.format);
    QString error;
    if (!openReader(reader, plan.mapping, error))
        throw std::runtime_error(error.toStdString());
    qv::FileSystem::ReplacingFile file(fileName);
    QString line;
    for (const QString& header : plan.mapping.headers)
        line += CSVField(header) + u',';
    line += QStringLiteral("Reason\r\n");
    // The byte-order mark tells spreadsheet programs the text is UTF-8.
    file.write(QByteArrayLiteral("\xEF\xBB\xBF") + line.toUtf8());
    auto problem = plan.problems.begin();
    auto newLevel = plan.newLevelRows.begin();
    const QDate today = QDate::currentDate();
    QStringList fields;
    for (qint64 number = 0; reader.next(fields); ++number) {
        QStringList reasons;
        while (problem != plan.problems.end() && problem->row < number)
            ++problem;
        while (newLevel != plan.newLevelRows.end() && newLevel->first < number)
            ++newLevel;
        if (problem != plan.problems.end() && problem->row == number && !plan.written(*problem)) {
            for (const auto& [kind, what] : problem->problems)
                if (kind == Problem::Hard ||
                    (kind == Problem::TooLong && !plan.mapping.cutLongText) ||
                    (kind == Problem::UnknownLevel && !plan.mapping.createLevels))
                    reasons << what;
        } else if (!plan.mapping.createLevels && newLevel != plan.newLevelRows.end() &&
                   newLevel->first == number) {
            // Read against no types at all, the row names its new one.
            for (const auto& [kind, what] : readRow(fields, plan.mapping, Levels(), today).problems)
                if (kind == Problem::UnknownLevel)
                    reasons << what;
        }
        if (reasons.isEmpty())
            continue;
        line.clear();
        for (qsizetype i = 0; i < std::max(fields.size(), plan.mapping.headers.size()); ++i)
            line += CSVField(i < fields.size() ? fields[i] : QString()) + u',';
        line += CSVField(QStringLiteral("line %1: ").arg(reader.line()) +
                         reasons.join(QStringLiteral("; "))) +
                QStringLiteral("\r\n");
        file.write(line.toUtf8());
    }
    if (!reader.error().isEmpty())
        throw std::runtime_error(reader.error().toStdString());
    file.commit();
}

} // namespace SpreadsheetImport
