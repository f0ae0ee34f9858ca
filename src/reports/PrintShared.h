// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QWidget;

namespace qv {
class Dataset;
class PrintCanvas;
} // namespace qv

// What the printed reports, the CSV export and the member list window share.
namespace PrintShared {

// `text` filled with blanks or cut to exactly `width` characters, counted as
// they are seen: a letter with its combining accents is one character.
QString FitToWidth(const QString& text, int width);

// Whole years of service from `joined` to the end date: 1 January of
// `referenceYear` when one is given (not -1), else `ended` when valid, else
// today. Days are counted with the time of day as a fraction and divided by
// 365.25; the fraction of a year is dropped. With five-year rounding the count
// goes to the nearest multiple of five (2 -> 0, 3 -> 5, 13 -> 15).
int YearsService(const QDateTime& joined, const QDateTime& ended, bool fiveYearRounding,
                 int referenceYear);

// The years of service of a member list row as decimal text, read from its
// DateJoined and DateEnded. A row without a DateJoined has no period to count
// from and gives empty text. Throws DatabaseError when a column is missing.
QString YearsServiceText(qv::Dataset& dataset, bool fiveYearRounding, int referenceYear);
// The same for any visible row (0-based) without moving the cursor.
QString YearsServiceText(const qv::Dataset& dataset, int row, bool fiveYearRounding,
                         int referenceYear);

// ---- The page frame of every report ----------------------------------------

// Every line starts this far from the left of the printable area, the first
// line of a page this far from its top, and a page breaks once the next line
// would start more than this far above its bottom (or so low that it would
// not end above it). Device units: the margins on paper depend on the
// printer's resolution.
inline constexpr int Margin = 450;

// One print run: the job, the report font ("Courier New", 11 points), the line
// position, the bottom limit, the line height and the page number.
class PrintRun {
public:
    // Opens the job under `title`, bold or regular from the start.
    PrintRun(qv::PrintCanvas& canvas, const QString& title, bool bold);

    qv::PrintCanvas& canvas() const { return m_canvas; }
    int lineHeight() const { return m_lineHeight; }
    int position() const { return m_position; }
    int page() const { return m_page; }
    // "Page " and the page number.
    QString pageLine() const;

    void setBold(bool bold);
    // Draws `text` at the line position; does not advance.
    void print(const QString& text);
    void advance(int lines = 1) { m_position += lines * m_lineHeight; }
    // Half line heights, the part of a line height dropped: three give the
    // member list's step of one and a half lines.
    void advanceHalves(int halves) { m_position += halves * m_lineHeight / 2; }

    // The page break rule: when the line position is past the bottom limit,
    // or the line `keepLines` lines further down would be (lines that belong
    // together, such as a section's title, heading and first row), starts a
    // new page (position at the top, bold, the page number one up) and
    // answers true; the caller then prints its continuation header.
    bool breakPage(int keepLines = 0);

    // The closing block, then the end of the job: "Date printed: " with the
    // date and time, and the contact notice when asked for. The member
    // details form leaves a line more before the date. The block is kept
    // together: where its last line would pass the bottom limit it goes to a
    // page of its own.
    void close(bool memberDetails, bool contactNotice);

private:
    qv::PrintCanvas& m_canvas;
    int m_position = Margin;
    int m_bottomLimit = 0;
    int m_lineHeight = 0;
    int m_page = 1;
};

// ---- The three list reports -------------------------------------------------

// One column of a list report; `value` gives a visible row's text (the row
// counted from 0), in portrait or landscape form.
struct ListColumn {
    QString heading;
    int portraitWidth = 0;
    int landscapeWidth = 0;
    std::function<QString(int row, bool portrait)> value;
};

struct ListReport {
    QString documentTitle;
    // Printed at the top of every page; the line after each is one line
    // height down, and on page 1 the headings follow the last one a line
    // later still. Continuation pages put the page line there instead.
    QStringList titleLines;
    int stepHalves = 4; // the heading's and every row's advance, in half lines
    bool contactNotice = true;
    std::vector<ListColumn> columns;
    // Printed after the last row (totals), a line apart, before the closing block.
    QStringList footLines;
};

// Prints one line per visible row of `rows` (in their order, under their
// filter) as the report describes, on `canvas`. The cursor does not move.
void PrintListReport(qv::PrintCanvas& canvas, const qv::Dataset& rows, const ListReport& report);

// Shows the print dialog proposing landscape, then prints the report.
void PrintList(const qv::Dataset& rows, const ListReport& report, QWidget* parent);

// The column index of `name` in `dataset`; throws DatabaseError without it.
int ColumnOf(const qv::Dataset& dataset, const QString& name);

// The title line of the member list and long service reports.
QString ListTitleLine(const QString& caption);

} // namespace PrintShared
