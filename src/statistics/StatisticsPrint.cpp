// SPDX-License-Identifier: GPL-3.0-or-later
#include "statistics/StatisticsPrint.h"

#include "platform/print/PrintCanvas.h"
#include "reports/PrintShared.h"
#include "statistics/StatisticsCharts.h"

#include <QImage>

#include <algorithm>

namespace Statistics {

QStringList TableLines(const FigureTable& table) {
    const QString gap = QStringLiteral("  ");
    int labelWidth = int(table.labelHeading.size());
    for (const QString& label : table.labels)
        labelWidth = std::max(labelWidth, int(label.size()));
    labelWidth = std::min(labelWidth, 24);
    std::vector<int> widths;
    for (int c = 0; c < table.columnCount(); ++c) {
        int width = int(table.columns[c].size());
        for (int r = 0; r < table.rowCount(); ++r)
            width = std::max(width, int(table.text(r, c).size()));
        widths.push_back(width);
    }
    QStringList lines;
    QString line = PrintShared::FitToWidth(table.labelHeading, labelWidth);
    for (int c = 0; c < table.columnCount(); ++c)
        line += gap + table.columns[c].rightJustified(widths[size_t(c)]);
    lines << line;
    for (int r = 0; r < table.rowCount(); ++r) {
        line = PrintShared::FitToWidth(table.labels[r], labelWidth);
        for (int c = 0; c < table.columnCount(); ++c)
            line += gap + table.text(r, c).rightJustified(widths[size_t(c)]);
        lines << line;
    }
    return lines;
}

void PrintFigures(qv::PrintCanvas& canvas, const Figures& figures, const QString& rangeText,
                  const QString& currentText) {
    using PrintShared::Margin;
    PrintShared::PrintRun run(canvas, QStringLiteral("Quorvane - Statistics"), true);
    const int lineHeight = std::max(run.lineHeight(), 1);
    // Lines enough to push any position past the page's foot.
    const int wholePage = canvas.pageHeight() / lineHeight + 1;

    for (int v = 0; v < ViewCount; ++v) {
        const View view = View(v);
        const FigureTable& table = TableOf(figures, view);
        if (v > 0)
            run.breakPage(wholePage);
        run.setBold(true);
        run.print(table.title);
        run.setBold(false);
        run.advance();
        const bool byYear = view != View::YearsOfService && view != View::City;
        run.print(byYear ? rangeText : currentText);
        run.advance(2);

        // The chart across the printable width, laid out at a size its fonts
        // suit and drawn with the pixels a printed page wants.
        const int width = std::max(canvas.pageWidth() - 2 * Margin, 1);
        const int height = std::min(width * 55 / 100, canvas.pageHeight() * 45 / 100);
        const QSize layout(900, std::max(900 * height / width, 1));
        canvas.drawImage(QRect(Margin, run.position(), width, height),
                         ChartImage(view, table, layout, 3.0));
        run.advance((height + lineHeight - 1) / lineHeight + 1);

        const QStringList lines = TableLines(table);
        for (int i = 0; i < lines.size(); ++i) {
            if (i == 0) {
                // The heading goes with at least the first row.
                if (run.breakPage(2)) {
                    run.print(table.title + QStringLiteral(" (continued)"));
                    run.advance(2);
                }
                run.setBold(true);
            }
            run.print(lines[i]);
            run.setBold(false);
            run.advance();
            if (i + 1 < lines.size() && run.breakPage()) {
                run.print(table.title + QStringLiteral(" (continued)"));
                run.advance(2);
                run.print(lines[0]);
                run.setBold(false);
                run.advance();
            }
        }
    }
    run.close(false, false);
}

} // namespace Statistics
