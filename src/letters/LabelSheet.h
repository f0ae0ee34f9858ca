// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qv {
class PrintCanvas;
}

// Sheets of address labels and how the labels are drawn on them.
namespace Labels {

// A sheet of equal labels in rows and columns, measured in mm from the
// paper's top-left corner. Labels are used row by row, left to right.
struct LabelSheet {
    QString name;
    QPageSize::PageSizeId paper = QPageSize::A4;
    int columns = 1;
    int rows = 1;
    double labelWidth = 0;  // mm
    double labelHeight = 0; // mm
    double topMargin = 0;   // to the first row
    double leftMargin = 0;  // to the first column
    double columnGap = 0;   // between two columns
    double rowGap = 0;      // between two rows

    int perSheet() const { return columns * rows; }
    // Where label `position` (from 1) lies on the paper, in mm.
    QRectF labelRect(int position) const;
};

// The common sheets: A4 21-up 63.5 x 38.1 mm, A4 14-up 99.1 x 38.1 mm, A4
// 8-up 99.1 x 67.7 mm, US Letter 30-up 2 5/8 x 1 in.
const std::vector<LabelSheet>& BuiltInSheets();

// Why the sheet cannot be printed (labels too small to hold a line, or past
// the paper's edge), or empty text when it can.
QString SheetProblem(const LabelSheet& sheet);

inline constexpr int MinimumPointSize = 6;
// The blank kept inside a label's edge, in mm.
inline constexpr double LabelPaddingMm = 2.0;

// The lines of one label as drawn, and the font size they were drawn in.
struct FittedLabel {
    int pointSize = 0;
    QStringList lines;
};

// Fits `lines` into a box of `width` x `height` device units on the canvas:
// the largest size from `pointSize` down to MinimumPointSize at which every
// line fits; when none does, at the minimum a line too wide is cut with "…"
// and lines below the box are left out, the last one shown ending in "…".
// Leaves the canvas at the size chosen.
FittedLabel FitLabel(qv::PrintCanvas& canvas, const QStringList& lines, int width, int height,
                     int pointSize);

// `text` cut at a character boundary and ended with "…" so that it is at most
// `width` wide in the canvas's current font.
QString CutToWidth(qv::PrintCanvas& canvas, const QString& text, int width);

struct LabelJob {
    LabelSheet sheet;
    int firstPosition = 1; // on the first sheet, to use a partly used one
    int pointSize = 10;
    int count = 0; // labels to print
    // The lines of label `index` (from 0), asked for as each is drawn.
    std::function<QStringList(int index)> linesOf;
};

// Draws the labels on an open job, a page at a time: no page is held back.
// The canvas's coordinates count from its printable area; the sheet's from
// the paper's edge.
void PaintLabels(qv::PrintCanvas& canvas, const LabelJob& job);

// The font labels print in.
QString LabelFontFamily();

} // namespace Labels
