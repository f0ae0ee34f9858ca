// SPDX-License-Identifier: GPL-3.0-or-later
#include "statistics/StatisticsCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QPainter>
#include <QStackedBarSeries>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <memory>

namespace Statistics {

namespace {

enum class Shape { Bars, Stacked, Lying };

struct ChartShape {
    Shape shape = Shape::Bars;
    std::vector<int> bars; // table columns drawn as bars
    int line = -1;         // the column drawn as a line over them, or none
    bool histogram = false;
};

ChartShape shapeOf(View view, const FigureTable& table) {
    const int last = table.columnCount() - 1;
    switch (view) {
    case View::MembersByLevel: {
        ChartShape s{Shape::Stacked, {}, last, false};
        for (int c = 0; c < last; ++c)
            s.bars.push_back(c);
        return s;
    }
    case View::JoinersLeavers:
        return {Shape::Bars, {0, 1}, 2, false};
    case View::Retention:
        return {Shape::Bars, {0, 1, 2, 3}, -1, false};
    case View::YearsOfService:
        return {Shape::Bars, {0}, -1, true};
    case View::FeeIncome:
        // Due beside paid; the count of payments would need an axis of its
        // own, and the outstanding amount is the gap between the two bars.
        return {Shape::Bars, {FeeDue, FeePaid}, -1, false};
    case View::City:
        return {Shape::Lying, {0}, -1, false};
    }
    return {};
}

// The chart's own layout runs from posted events; a chart that is only drawn
// into a picture must have it run first.
void layOut(QChart* chart, const QSize& size) {
    chart->resize(size);
    QCoreApplication::sendPostedEvents(chart);
    if (QGraphicsLayout* layout = chart->layout())
        layout->activate();
}

// The chart in a scene of its own, as large as the picture.
struct DrawnChart {
    QGraphicsScene scene;
    QChart* chart;

    DrawnChart(View view, const FigureTable& table, const QSize& size)
        : chart(MakeChart(view, table)) {
        scene.addItem(chart);
        scene.setSceneRect(QRectF(QPointF(0, 0), size));
        layOut(chart, size);
    }
    void paint(QPainter& painter, const QSize& size) {
        scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    }
};

} // namespace

QString ViewCaption(View view) {
    switch (view) {
    case View::MembersByLevel:
        return QStringLiteral("Members by level");
    case View::JoinersLeavers:
        return QStringLiteral("Joiners and leavers");
    case View::Retention:
        return QStringLiteral("Retention");
    case View::YearsOfService:
        return QStringLiteral("Years of service");
    case View::FeeIncome:
        return QStringLiteral("Fees due and paid");
    case View::City:
        return QStringLiteral("Members by city");
    }
    return QString();
}

const FigureTable& TableOf(const Figures& figures, View view) {
    return *figures.all()[size_t(view)];
}

QChart* MakeChart(View view, const FigureTable& table) {
    const ChartShape chartShape = shapeOf(view, table);
    auto chart = std::make_unique<QChart>();
    chart->setTitle(table.title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setVisible(chartShape.bars.size() > 1 || chartShape.line >= 0);

    QAbstractBarSeries* bars = nullptr;
    switch (chartShape.shape) {
    case Shape::Stacked:
        bars = new QStackedBarSeries;
        break;
    case Shape::Lying:
        bars = new QHorizontalBarSeries;
        break;
    case Shape::Bars:
        bars = new QBarSeries;
        break;
    }
    if (chartShape.histogram)
        bars->setBarWidth(0.95);
    // A lying chart reads from the top: the largest first.
    std::vector<int> rows(size_t(table.rowCount()));
    for (int r = 0; r < table.rowCount(); ++r)
        rows[size_t(r)] = chartShape.shape == Shape::Lying ? table.rowCount() - 1 - r : r;

    double low = 0.0;
    double high = 0.0;
    for (const int c : chartShape.bars) {
        auto* set = new QBarSet(table.columns[c]);
        if (table.colours[size_t(c)].isValid())
            set->setColor(table.colours[size_t(c)]);
        for (const int r : rows) {
            const double v = table.value(r, c).value_or(0.0);
            set->append(v);
            if (chartShape.shape != Shape::Stacked)
                high = std::max(high, v);
            low = std::min(low, v);
        }
        bars->append(set);
    }
    if (chartShape.shape == Shape::Stacked)
        for (const int r : rows) {
            double sum = 0.0;
            for (const int c : chartShape.bars)
                sum += table.value(r, c).value_or(0.0);
            high = std::max(high, sum);
        }
    chart->addSeries(bars);

    QLineSeries* line = nullptr;
    if (chartShape.line >= 0) {
        line = new QLineSeries;
        line->setName(table.columns[chartShape.line]);
        line->setPointsVisible(true);
        line->setPointLabelsVisible(true);
        line->setPointLabelsFormat(QStringLiteral("@yPoint"));
        line->setPointLabelsClipping(false);
        QPen pen(QColor(0x20, 0x20, 0x20));
        pen.setWidthF(2.0);
        line->setPen(pen);
        for (size_t i = 0; i < rows.size(); ++i) {
            const double v = table.value(rows[i], chartShape.line).value_or(0.0);
            line->append(double(i), v);
            high = std::max(high, v);
            low = std::min(low, v);
        }
        chart->addSeries(line);
    }

    auto* categories = new QBarCategoryAxis;
    // A name cut to "..." says nothing; on a small picture it may run over.
    categories->setTruncateLabels(false);
    for (const int r : rows)
        categories->append(table.labels[r]);
    auto* values = new QValueAxis;
    values->setRange(low, high <= low ? low + 1.0 : high * 1.08);
    values->setLabelFormat(QStringLiteral("%.0f"));
    values->applyNiceNumbers();
    const bool lying = chartShape.shape == Shape::Lying;
    chart->addAxis(categories, lying ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(values, lying ? Qt::AlignBottom : Qt::AlignLeft);
    bars->attachAxis(categories);
    bars->attachAxis(values);
    if (line) {
        line->attachAxis(categories);
        line->attachAxis(values);
    }
    return chart.release();
}

QImage ChartImage(View view, const FigureTable& table, const QSize& size, double scale) {
    DrawnChart drawn(view, table, size);
    QImage image(size * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawn.paint(painter, size);
    return image;
}

QByteArray ChartSvg(View view, const FigureTable& table, const QSize& size) {
    DrawnChart drawn(view, table, size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(table.title);
    QPainter painter(&svg);
    drawn.paint(painter, size);
    painter.end();
    return bytes;
}

// ---- The table model ------------------------------------------------------------

void FigureModel::setTable(const FigureTable& table) {
    beginResetModel();
    m_table = table;
    endResetModel();
}

int FigureModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.rowCount();
}

int FigureModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.columnCount() + 1;
}

QVariant FigureModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int column = index.column() - 1;
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return column < 0 ? m_table.labels[index.row()] : m_table.text(index.row(), column);
    if (role == Qt::TextAlignmentRole && column >= 0)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FigureModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == 0 ? m_table.labelHeading : m_table.columns.value(section - 1);
}

} // namespace Statistics
