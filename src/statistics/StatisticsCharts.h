// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "statistics/StatisticsSQL.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QImage>
#include <QSize>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

// How each view is drawn, the table model beside it, and the chart as a
// picture (for print, PNG and SVG).
namespace Statistics {

enum class View { MembersByLevel, JoinersLeavers, Retention, YearsOfService, FeeIncome, City };
inline constexpr int ViewCount = 6;

// The view's tab caption, e.g. "Members by level".
QString ViewCaption(View view);
const FigureTable& TableOf(const Figures& figures, View view);

// A new chart of the table as the view draws it: which columns are bars
// (stacked or side by side, standing or lying) and which one is a line. The
// caller owns it. Adding a column to a view's table and naming it here is all
// a second series takes.
QChart* MakeChart(View view, const FigureTable& table);

// The chart laid out at `size` and drawn on white at `scale` times as many
// pixels (print wants sharp lines at a size whose text stays readable).
QImage ChartImage(View view, const FigureTable& table, const QSize& size, double scale = 1.0);
// The chart as an SVG drawing of `size`.
QByteArray ChartSvg(View view, const FigureTable& table, const QSize& size);

// The numbers of one view for a table view: the label column, then the values
// right-aligned as FigureTable::text shows them.
class FigureModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTable(const FigureTable& table);
    const FigureTable& table() const { return m_table; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    FigureTable m_table;
};

} // namespace Statistics
