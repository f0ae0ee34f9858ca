// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "import/SpreadsheetReader.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace qv {
class Connection;
}

// Brings members in from a spreadsheet's CSV file: which column goes to which
// field of the register (guessed from the column names, saved in the register
// for the next file with the same columns), a check of every row before
// anything is written (rows to add, rows that look like members already in
// the register, rows refused and why), then the writing of it all in one
// transaction, so the import is one entry of the change history and either
// all of it is stored or none.
namespace SpreadsheetImport {

// The register fields a column can go to.
enum class Field {
    Ignore,
    Surname,
    FirstNames,
    FullName, // split into first names and surname
    Address,
    City,
    PostCode,
    TelNo,
    MobileNo,
    EmailAddress,
    MembershipNo,
    DateJoined,
    MembershipLevel,
    DateEnded,
    ReasonEnded,
    MemberNote,
};
constexpr int FieldCount = int(Field::MemberNote) + 1;

// The word a saved mapping keeps ("Surname", "ignore"...).
QString FieldKey(Field field);
std::optional<Field> FieldFromKey(const QString& key);
// As the window lists it ("First names", "Full name (split)", "(ignore)").
QString FieldCaption(Field field);
// The field a column of this name most likely holds, in English, German,
// French, Dutch or Spanish; Ignore when the name says nothing known.
Field GuessField(const QString& header);
bool IsDateField(Field field);

enum class DateForm { DayFirst, MonthFirst, Iso };
QString DateFormKey(DateForm form); // "day-first", "month-first", "iso"
std::optional<DateForm> DateFormFromKey(const QString& key);
QString DateFormCaption(DateForm form); // "day-first (31/12/2024)"...
// The form the values of a column are written in: ISO when every one starts
// with a four-digit year, month-first only when a second number above 12
// says so, else day-first.
DateForm DetectDateForm(const QStringList& values);
// A value in that form, with or without a time of day after it; invalid for
// anything else.
QDate ReadDate(const QString& text, DateForm form, const QDate& today);

// "Smith, John", "John Smith", "Jan van der Berg": first names and surname.
void SplitFullName(const QString& fullName, QString& firstNames, QString& surname);

enum class DuplicateChoice { Skip, AddAnyway, FillEmpty };
QString DuplicateChoiceKey(DuplicateChoice choice); // "skip", "add", "fill"
std::optional<DuplicateChoice> DuplicateChoiceFromKey(const QString& key);
QString DuplicateChoiceCaption(DuplicateChoice choice);

struct Column {
    Field field = Field::Ignore;
    DateForm dateForm = DateForm::DayFirst;
};

// How a file is read and where each column goes.
struct Mapping {
    QString name;
    Spreadsheet::Format format;
    bool header = true;  // the first record names the columns
    QStringList headers; // the column names ("Column 3" without a header row)
    std::vector<Column> columns;
    bool createLevels = true; // membership types the register lacks are made
    bool cutLongText = false; // else a text longer than its column refuses the row
    DuplicateChoice duplicates = DuplicateChoice::Skip; // for rows without their own

    // Stored and read back as JSON; a mapping read from JSON is put on a
    // file's columns by Apply, matching by name, else by position.
    QString toJson() const;
};

// Reads a JSON mapping; none with `error` set when it is no mapping.
struct JsonMapping {
    QString name;
    std::optional<Spreadsheet::Encoding> encoding; // none: detected
    std::optional<QChar> delimiter;
    std::optional<bool> header;
    struct Entry {
        QString header;
        int position = 0; // from 1; 0 when not given
        Column column;
    };
    std::vector<Entry> entries;
    bool createLevels = true;
    bool cutLongText = false;
    DuplicateChoice duplicates = DuplicateChoice::Skip;
};
std::optional<JsonMapping> ParseMapping(const QString& json, QString& error);

// The mark of a file's columns a saved mapping is found by: the names of the
// columns, folded; without a header row, their number.
QString HeaderSignature(const QStringList& headers, bool header);

// The first records of a file, its format as detected and the mapping guessed
// for it (or the one saved for the same columns).
struct Preview {
    Mapping mapping;
    std::vector<QStringList> rows; // data records only
    int columnCount = 0;
    bool savedMapping = false; // the mapping was found saved in the register
};
constexpr int PreviewRows = 100;

// Detects the format, then reads the first records. False with `error` set
// when the file cannot be read.
bool ReadPreview(const QString& path, Preview& preview, QString& error);
// Reads the first records again in the mapping's format and header choice,
// keeping the fields already chosen where the columns are the same.
bool RereadPreview(const QString& path, Preview& preview, QString& error);
// Guesses fields and date forms from the headers and the rows.
void GuessColumns(Preview& preview);
// Puts a read mapping on the preview's columns.
void Apply(const JsonMapping& saved, Preview& preview);

// ---- Saved mappings ---------------------------------------------------------
// (The table, ImportMappings, is one of the register's own: RegisterTables.)
// The newest mapping saved for columns of this signature, as JSON.
std::optional<QString> SavedMappingFor(qv::Connection& connection, const QString& signature);
// The mapping saved under this name, as JSON.
std::optional<QString> SavedMappingNamed(qv::Connection& connection, const QString& name);
// Saves the mapping under its name (replacing one of that name), in the
// caller's transaction.
void SaveMapping(qv::Connection& connection, const Mapping& mapping);

// ---- Check --------------------------------------------------------------------

enum class Problem {
    Hard,         // missing surname, bad date...: the row is refused
    TooLong,      // written cut when the mapping says so
    UnknownLevel, // written when the mapping creates the levels
};

// A row with a problem beyond a new membership type. The row's values are
// not kept: the refused rows are read from the file again when saved.
struct Refusal {
    qint64 row = 0;  // data record, from 0
    qint64 line = 0; // line of the file
    std::vector<std::pair<Problem, QString>> problems;
};

struct Duplicate {
    qint64 row = 0;
    qint64 line = 0;
    QString name;        // of the row
    qint64 memberId = 0; // the member it matches; 0 when it matches an earlier row
    qint64 earlierRow = -1;
    QString match;                         // "Smith, John (LS1 4AP)" or "row 3 of this file"
    QString why;                           // "same name and post code", "same e-mail"
    std::optional<DuplicateChoice> choice; // none: the mapping's
};

struct Plan {
    QString path;
    QString stamp; // the file's size and time when checked
    Mapping mapping;
    QString fileName;
    qint64 rows = 0;               // data records read
    std::vector<Refusal> problems; // in the order of the rows
    // The rows whose one problem is a membership type the register lacks, as
    // (row, line): refused only when the types are not to be created.
    std::vector<std::pair<qint64, qint64>> newLevelRows;
    std::vector<Duplicate> duplicates;
    QStringList unknownLevels; // as first written in the file
    qint64 withoutDateJoined = 0;
    QString defaultLevel; // for rows without one

    // With the mapping's choices as they now stand:
    bool written(const Refusal& refusal) const;
    // Whether the row of that number is written (it may be a duplicate).
    bool rowWritten(qint64 row) const;
    DuplicateChoice choiceOf(const Duplicate& duplicate) const;
    qint64 toAdd() const;   // new members
    qint64 toFill() const;  // duplicates whose empty fields are filled
    qint64 toSkip() const;  // duplicates skipped
    qint64 refused() const; // rows not written
    qint64 tooLong() const; // rows with text longer than its column
    // The summary the user confirms.
    QString text() const;
};

// Called now and then with how far the work has come; false cancels.
using ProgressCallback = std::function<bool(qint64 done, qint64 total)>;

// Reads the whole file and checks every row against the register. Writes
// nothing. False with `error` set when the file cannot be read or the
// register cannot be asked; false with `error` empty when cancelled.
bool Check(qv::Connection& connection, const QString& path, const Mapping& mapping, Plan& plan,
           QString& error, const ProgressCallback& progress = {});

enum class Outcome { Imported, Cancelled, Failed };

struct Result {
    Outcome outcome = Outcome::Failed;
    QString message; // why it failed
    qint64 added = 0, filled = 0, skipped = 0, refused = 0, levelsMade = 0, cut = 0;
    QString text() const;
};

// The transaction's name in the change history.
QString EntryLabel();

// Writes the plan in one transaction of its own, saving the mapping with it:
// everything or, on failure or Cancel, nothing. Never throws.
Result Write(qv::Connection& connection, const Plan& plan, const ProgressCallback& progress = {});

// Writes the rows the import leaves out, read again from the file, with
// their reasons in a last column, as a CSV file to mend and import again.
// All or nothing; throws FileSystem::FileWriteError, or std::runtime_error
// (its what() in UTF-8) when the file cannot be read again or has changed.
void SaveRefused(const Plan& plan, const QString& fileName);

} // namespace SpreadsheetImport
