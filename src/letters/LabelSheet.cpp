// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters/LabelSheet.h"

#include "platform/print/PrintCanvas.h"

#include <QCoreApplication>
#include <QFont>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace Labels {

QRectF LabelSheet::labelRect(int position) const {
    const int index = std::max(position, 1) - 1;
    const int column = index % columns;
    const int row = (index / columns) % rows;
    return {leftMargin + column * (labelWidth + columnGap),
            topMargin + row * (labelHeight + rowGap), labelWidth, labelHeight};
}

const std::vector<LabelSheet>& BuiltInSheets() {
    constexpr double inch = 25.4;
    static const std::vector<LabelSheet> sheets = {
        {QStringLiteral("A4, 21 labels of 63.5 x 38.1 mm"), QPageSize::A4, 3, 7, 63.5, 38.1, 15.15,
         7.25, 2.5, 0},
        {QStringLiteral("A4, 14 labels of 99.1 x 38.1 mm"), QPageSize::A4, 2, 7, 99.1, 38.1, 15.15,
         4.65, 2.5, 0},
        {QStringLiteral("A4, 8 labels of 99.1 x 67.7 mm"), QPageSize::A4, 2, 4, 99.1, 67.7, 13.1,
         4.65, 2.5, 0},
        {QStringLiteral("US Letter, 30 labels of 2 5/8 x 1 in"), QPageSize::Letter, 3, 10,
         2.625 * inch, 1.0 * inch, 0.5 * inch, 0.1875 * inch, 0.125 * inch, 0},
    };
    return sheets;
}

QString SheetProblem(const LabelSheet& sheet) {
    const auto tr = [](const char* text) { return QCoreApplication::translate("Labels", text); };
    if (sheet.columns < 1 || sheet.rows < 1)
        return tr("A sheet needs at least one row and one column of labels.");
    if (sheet.labelWidth < 15 || sheet.labelHeight < 8)
        return tr("A label must be at least 15 mm wide and 8 mm high to hold a line of text.");
    if (sheet.topMargin < 0 || sheet.leftMargin < 0 || sheet.columnGap < 0 || sheet.rowGap < 0)
        return tr("Margins and gaps cannot be negative.");
    const QSizeF paper = QPageSize(sheet.paper).size(QPageSize::Millimeter);
    const QRectF last = sheet.labelRect(sheet.perSheet());
    // A hundredth of a mm for the sums of decimals.
    if (last.right() > paper.width() + 0.01 || last.bottom() > paper.height() + 0.01)
        return tr("The labels do not fit on the paper: %1 x %2 mm of labels on a sheet of %3 x "
                  "%4 mm.")
            .arg(last.right(), 0, 'f', 1)
            .arg(last.bottom(), 0, 'f', 1)
            .arg(paper.width(), 0, 'f', 1)
            .arg(paper.height(), 0, 'f', 1);
    return QString();
}

QString LabelFontFamily() {
    return QStringLiteral("DejaVu Sans");
}

namespace {

void setSize(qv::PrintCanvas& canvas, int points) {
    QFont font(LabelFontFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(points);
    canvas.setTextFont(font);
}

int lineHeight(qv::PrintCanvas& canvas) {
    return canvas.textHeight(QStringLiteral("Xg"));
}

} // namespace

QString CutToWidth(qv::PrintCanvas& canvas, const QString& text, int width) {
    if (canvas.textWidth(text) <= width)
        return text;
    const QString ellipsis(QChar(0x2026));
    // The character boundaries, so that an accent never loses its letter.
    std::vector<qsizetype> ends;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    while (characters.toNextBoundary() != -1)
        ends.push_back(characters.position());
    // The longest start that still fits with the ellipsis.
    qsizetype low = 0, high = qsizetype(ends.size()) - 1, best = -1;
    while (low <= high) {
        const qsizetype mid = (low + high) / 2;
        if (canvas.textWidth(text.left(ends[size_t(mid)]).trimmed() + ellipsis) <= width) {
            best = mid;
            low = mid + 1;
        } else {
            high = mid - 1;
        }
    }
    if (best < 0)
        return canvas.textWidth(ellipsis) <= width ? ellipsis : QString();
    return text.left(ends[size_t(best)]).trimmed() + ellipsis;
}

FittedLabel FitLabel(qv::PrintCanvas& canvas, const QStringList& lines, int width, int height,
                     int pointSize) {
    int points = std::max(pointSize, MinimumPointSize);
    for (;; --points) {
        setSize(canvas, points);
        const int step = lineHeight(canvas);
        const bool fits = lines.size() * step <= height &&
                          std::all_of(lines.begin(), lines.end(), [&](const QString& line) {
                              return canvas.textWidth(line) <= width;
                          });
        if (fits)
            return {points, lines};
        if (points <= MinimumPointSize)
            break;
    }
    // At the smallest size: what is too wide is cut, what is too low left out.
    const int step = std::max(lineHeight(canvas), 1);
    const qsizetype room = std::min<qsizetype>(lines.size(), height / step);
    FittedLabel fitted{points, {}};
    for (qsizetype i = 0; i < room; ++i) {
        const bool more = i == room - 1 && room < lines.size(); // lines left out below
        fitted.lines << CutToWidth(canvas, more ? lines[i] + QChar(0x2026) : lines[i], width);
    }
    return fitted;
}

void PaintLabels(qv::PrintCanvas& canvas, const LabelJob& job) {
    const LabelSheet& sheet = job.sheet;
    const int perSheet = sheet.perSheet();
    const double dots = canvas.dotsPerMm();
    const QPointF origin = canvas.printableOriginMm();
    const int first = std::clamp(job.firstPosition, 1, perSheet) - 1;
    int page = 0;
    for (int i = 0; i < job.count; ++i) {
        const int slot = first + i;
        const int sheetNumber = slot / perSheet;
        while (page < sheetNumber) {
            canvas.newPage();
            ++page;
        }
        const QRectF box =
            sheet.labelRect(slot % perSheet + 1)
                .adjusted(LabelPaddingMm, LabelPaddingMm, -LabelPaddingMm, -LabelPaddingMm)
                .translated(-origin);
        const int left = int(std::lround(box.left() * dots));
        const int top = int(std::lround(box.top() * dots));
        const int width = int(std::floor(box.width() * dots));
        const int height = int(std::floor(box.height() * dots));
        const FittedLabel fitted = FitLabel(canvas, job.linesOf(i), width, height, job.pointSize);
        const int step = lineHeight(canvas);
        for (qsizetype line = 0; line < fitted.lines.size(); ++line)
            canvas.textOut(left, top + int(line) * step, fitted.lines[line]);
    }
}

} // namespace Labels
