// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "statistics/StatisticsSQL.h"

#include <QString>

namespace qv {
class PrintCanvas;
}

namespace Statistics {

// The whole set on `canvas`, one view to a page: its title, what it covers
// (`rangeText` for the views by year), the chart across the page and the
// table of its numbers below, continued on the next page when long. Ends
// with the date printed.
void PrintFigures(qv::PrintCanvas& canvas, const Figures& figures, const QString& rangeText,
                  const QString& currentText);

// The table of one view as lines of fixed-width text: a heading line, then a
// line per row, the values right-aligned under their headings.
QStringList TableLines(const FigureTable& table);

} // namespace Statistics
