// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrintShared.h"

#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintCanvas.h"
#include "platform/print/PrintDialogs.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace PrintShared {
namespace {

// A date-time as a count of days, the time of day being the fraction. Built
// from the calendar rather than from seconds, so a summer-time change does not
// make one day 23 hours long.
double dayCount(const QDateTime& when) {
    return double(when.date().toJulianDay()) + when.time().msecsSinceStartOfDay() / 86400000.0;
}

QString yearsText(const qv::Value& joined, const qv::Value& ended, bool fiveYearRounding,
                  int referenceYear) {
    // A null DateJoined would otherwise count from the null date of 1899.
    if (joined.isNull())
        return QString();
    const QDateTime end = ended.isNull() ? QDateTime() : ended.toDateTime();
    return QString::number(YearsService(joined.toDateTime(), end, fiveYearRounding, referenceYear));
}

} // namespace

int ColumnOf(const qv::Dataset& dataset, const QString& name) {
    const int column = dataset.fieldIndex(name);
    if (column < 0)
        throw qv::DatabaseError(QStringLiteral("Field '%1' not found.").arg(name));
    return column;
}

QString FitToWidth(const QString& text, int width) {
    width = std::max(width, 0);
    // Below U+0300 every code unit is a character of its own.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x300; }))
        return text.leftJustified(width, u' ', true);
    // An accent written after its letter, or a character beyond the basic
    // plane, takes no column of its own: count what is seen, and never cut
    // one such character in two.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    qsizetype end = 0;
    while (count < width && characters.toNextBoundary() != -1) {
        qsizetype next = characters.position();
        // CR LF is one character to the text, but prints as two blanks.
        const bool lineBreak = text[end] == u'\r';
        if (lineBreak && next - end == 2 && count + 2 > width)
            next = end + 1;
        count += lineBreak ? int(next - end) : 1;
        end = next;
    }
    return text.left(end) + QString(width - count, u' ');
}

int YearsService(const QDateTime& joined, const QDateTime& ended, bool fiveYearRounding,
                 int referenceYear) {
    QDateTime end;
    if (referenceYear != -1)
        end = QDateTime(QDate(referenceYear, 1, 1), QTime(0, 0));
    else if (ended.isValid())
        end = ended;
    else
        end = QDateTime(qv::Clock::today(), QTime(0, 0));
    int years = int(std::trunc(std::fabs(dayCount(end) - dayCount(joined)) / 365.25));
    if (fiveYearRounding)
        years = int(std::lround(years / 5.0)) * 5;
    return years;
}

QString YearsServiceText(qv::Dataset& dataset, bool fiveYearRounding, int referenceYear) {
    return yearsText(dataset.field(QStringLiteral("DateJoined")).value(),
                     dataset.field(QStringLiteral("DateEnded")).value(), fiveYearRounding,
                     referenceYear);
}

QString YearsServiceText(const qv::Dataset& dataset, int row, bool fiveYearRounding,
                         int referenceYear) {
    return yearsText(dataset.valueAt(row, ColumnOf(dataset, QStringLiteral("DateJoined"))),
                     dataset.valueAt(row, ColumnOf(dataset, QStringLiteral("DateEnded"))),
                     fiveYearRounding, referenceYear);
}

// ---- PrintRun ---------------------------------------------------------------

PrintRun::PrintRun(qv::PrintCanvas& canvas, const QString& title, bool bold)
    : m_canvas(canvas) {
    canvas.beginDocument(title);
    canvas.setFont(QStringLiteral("Courier New"), 11);
    canvas.setBold(bold);
    m_lineHeight = canvas.textHeight(QStringLiteral("x"));
    // A line starting at the limit must still end inside the printable area,
    // whatever the printer's resolution makes of the margin.
    m_bottomLimit = canvas.pageHeight() - std::max(Margin, m_lineHeight);
}

QString PrintRun::pageLine() const {
    return QStringLiteral("Page ") + QString::number(m_page);
}

void PrintRun::setBold(bool bold) {
    m_canvas.setBold(bold);
}

void PrintRun::print(const QString& text) {
    m_canvas.textOut(Margin, m_position, text);
}

bool PrintRun::breakPage(int keepLines) {
    if (m_position + keepLines * m_lineHeight <= m_bottomLimit)
        return false;
    m_canvas.newPage();
    m_position = Margin;
    setBold(true);
    ++m_page;
    return true;
}

void PrintRun::close(bool memberDetails, bool contactNotice) {
    setBold(true);
    advance();
    // A page begun for the closing block alone carries no page line.
    const int lastLine = (memberDetails ? 1 : 0) + (contactNotice ? 1 : 0);
    if (m_position + lastLine * m_lineHeight > m_bottomLimit) {
        m_canvas.newPage();
        m_position = Margin;
    }
    if (memberDetails)
        advance();
    print(QStringLiteral("Date printed: ") + qv::Regional::formatDateTime(qv::Clock::now()));
    if (contactNotice) {
        advance();
        print(QStringLiteral(
            "This contact information should not be passed on to external contacts."));
    }
    setBold(false);
    m_canvas.endDocument();
}

// ---- List reports -------------------------------------------------------------

QString ListTitleLine(const QString& caption) {
    return QStringLiteral("Quorvane - ") + FitToWidth(caption, 72);
}

void PrintListReport(qv::PrintCanvas& canvas, const qv::Dataset& rows, const ListReport& report) {
    PrintRun run(canvas, report.documentTitle, true);
    const auto titles = [&run, &report] {
        for (const QString& line : report.titleLines) {
            run.print(line);
            run.advance();
        }
    };
    titles();
    if (!report.titleLines.isEmpty())
        run.advance();

    const bool portrait = canvas.orientation() == QPageLayout::Portrait;
    const QString gap = QStringLiteral("   ");
    const auto widthOf = [portrait](const ListColumn& column) {
        return portrait ? column.portraitWidth : column.landscapeWidth;
    };
    QString headings;
    for (size_t i = 0; i < report.columns.size(); ++i)
        headings += (i ? gap : QString()) +
                    FitToWidth(report.columns[i].heading, widthOf(report.columns[i]));
    const auto headingLine = [&] {
        run.print(headings);
        run.setBold(false);
        run.advanceHalves(report.stepHalves);
    };
    headingLine();

    QString line;
    const int count = rows.recordCount();
    for (int row = 0; row < count; ++row) {
        line.clear();
        for (size_t i = 0; i < report.columns.size(); ++i) {
            if (i)
                line += gap;
            line += FitToWidth(report.columns[i].value(row, portrait), widthOf(report.columns[i]));
        }
        run.print(line);
        run.advanceHalves(report.stepHalves);
        if (run.breakPage()) {
            titles();
            run.print(run.pageLine());
            run.advance(2);
            headingLine();
        }
    }
    if (!report.footLines.isEmpty()) {
        run.setBold(true);
        run.breakPage(int(report.footLines.size()));
        for (const QString& foot : report.footLines) {
            run.print(foot);
            run.advance();
        }
        run.setBold(false);
    }
    run.close(false, report.contactNotice);
}

void PrintList(const qv::Dataset& rows, const ListReport& report, QWidget* parent) {
    // The rows are read where they stand, so the list's current row never
    // moves and has nothing to go back to.
    qv::PrintDocument(
        {report.documentTitle, QPageLayout::Landscape},
        [&](qv::PrintCanvas& canvas) { PrintListReport(canvas, rows, report); }, parent);
}

} // namespace PrintShared
