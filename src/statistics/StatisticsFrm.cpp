// SPDX-License-Identifier: GPL-3.0-or-later
#include "statistics/StatisticsFrm.h"

#include "db/MemberSQL.h"
#include "platform/os/Clock.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/SavedFileMessage.h"
#include "settings/AppInfo.h"
#include "statistics/StatisticsPrint.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

using namespace Statistics;

namespace {

// Membership years the range may cover: the last ten, and back to the year of
// the earliest period.
constexpr int DefaultYears = 10;

const QSize SavedChartSize(1600, 900);

} // namespace

TfrmStatistics::TfrmStatistics(qv::Connection& connection, QWidget* parent)
    : QDialog(parent)
    , m_connection(connection)
    , m_year(MembershipYear::Read(connection))
    , m_today(qv::Clock::today()) {
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("Statistics"));
    resize(960, 760);

    const int current = m_year.yearOf(m_today);
    int earliest = current - DefaultYears + 1;
    const QDateTime first = MemberSQL::MinDateJoined(connection);
    if (first.date().year() > 1899)
        earliest = std::min(earliest, m_year.yearOf(first.date()));

    auto* range = new QHBoxLayout;
    const auto yearBox = [&](const char* name, const QString& label) {
        auto* box = new QComboBox(this);
        box->setObjectName(QLatin1String(name));
        for (int y = earliest; y <= current; ++y)
            box->addItem(m_year.name(y), y);
        auto* caption = new QLabel(label, this);
        caption->setBuddy(box);
        range->addWidget(caption);
        range->addWidget(box);
        return box;
    };
    cboFromYear = yearBox("cboFromYear", QStringLiteral("&From year:"));
    cboToYear = yearBox("cboToYear", QStringLiteral("&To year:"));
    range->addStretch();

    tabViews = new QTabWidget(this);
    tabViews->setObjectName(QStringLiteral("tabViews"));
    for (int v = 0; v < ViewCount; ++v) {
        auto* split = new QSplitter(Qt::Vertical, tabViews);
        auto* chart = new QChartView(split);
        chart->setObjectName(QStringLiteral("chtView%1").arg(v));
        chart->setRenderHint(QPainter::Antialiasing);
        chart->setMinimumHeight(280);
        chart->setAccessibleDescription(
            QStringLiteral("Chart. The same numbers are in the table below it."));
        auto* grid = new QTableView(split);
        grid->setObjectName(QStringLiteral("grdView%1").arg(v));
        m_models[size_t(v)] = new FigureModel(grid);
        grid->setModel(m_models[size_t(v)]);
        grid->verticalHeader()->hide();
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        split->addWidget(chart);
        split->addWidget(grid);
        split->setStretchFactor(0, 3);
        split->setStretchFactor(1, 2);
        chtViews[size_t(v)] = chart;
        grdViews[size_t(v)] = grid;
        tabViews->addTab(split, ViewCaption(View(v)));
    }

    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    btnPrint = button("btnPrint", QStringLiteral("&Print..."));
    btnSaveChart = button("btnSaveChart", QStringLiteral("&Save Chart..."));
    btnCopyTable = button("btnCopyTable", QStringLiteral("C&opy Table"));
    btnClose = button("btnClose", QStringLiteral("Close"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnSaveChart);
    buttons->addWidget(btnCopyTable);
    buttons->addWidget(lblStatus, 1);
    buttons->addWidget(btnClose);

    auto* column = new QVBoxLayout(this);
    column->addLayout(range);
    column->addWidget(tabViews, 1);
    column->addLayout(buttons);

    connect(btnPrint, &QPushButton::clicked, this, &TfrmStatistics::btnPrintClick);
    connect(btnSaveChart, &QPushButton::clicked, this, &TfrmStatistics::btnSaveChartClick);
    connect(btnCopyTable, &QPushButton::clicked, this, &TfrmStatistics::btnCopyTableClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(tabViews, &QTabWidget::currentChanged, lblStatus, &QLabel::clear);

    showYears(std::max(earliest, current - DefaultYears + 1), current);
    connect(cboFromYear, &QComboBox::currentIndexChanged, this, &TfrmStatistics::yearChosen);
    connect(cboToYear, &QComboBox::currentIndexChanged, this, &TfrmStatistics::yearChosen);
}

View TfrmStatistics::currentView() const {
    return View(std::max(tabViews->currentIndex(), 0));
}

int TfrmStatistics::firstYear() const {
    return cboFromYear->currentData().toInt();
}

int TfrmStatistics::lastYear() const {
    return cboToYear->currentData().toInt();
}

void TfrmStatistics::yearChosen() {
    int first = firstYear();
    int last = lastYear();
    // The box just changed wins: the other follows it.
    if (first > last) {
        if (sender() == cboFromYear)
            last = first;
        else
            first = last;
    }
    showYears(first, last);
}

void TfrmStatistics::showYears(int first, int last) {
    const auto select = [](QComboBox* box, int year) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(box->findData(year));
    };
    const int wasFirst =
        m_figures.feeIncome.keys.empty() ? first : m_figures.feeIncome.keys.front();
    const int wasLast = m_figures.feeIncome.keys.empty() ? last : m_figures.feeIncome.keys.back();
    Figures figures;
    try {
        figures = Compute(m_connection, m_year, first, last, m_today);
    } catch (...) {
        // The boxes go back to the years the window still shows.
        select(cboFromYear, wasFirst);
        select(cboToYear, wasLast);
        throw;
    }
    m_figures = std::move(figures);
    select(cboFromYear, first);
    select(cboToYear, last);
    for (int v = 0; v < ViewCount; ++v) {
        const FigureTable& table = TableOf(m_figures, View(v));
        m_models[size_t(v)]->setTable(table);
        grdViews[size_t(v)]->setAccessibleName(table.title);
        grdViews[size_t(v)]->resizeColumnsToContents();
        QChart* old = chtViews[size_t(v)]->chart();
        chtViews[size_t(v)]->setChart(MakeChart(View(v), table));
        chtViews[size_t(v)]->setAccessibleName(table.title);
        delete old;
    }
    lblStatus->clear();
}

QString TfrmStatistics::rangeText() const {
    QString text = QStringLiteral("Membership years %1 to %2")
                       .arg(m_year.name(firstYear()), m_year.name(lastYear()));
    if (m_year.lastDay(lastYear()) > m_today)
        text += QStringLiteral(", the last counted on ") + qv::Regional::formatShortDate(m_today);
    return text;
}

QString TfrmStatistics::currentText() const {
    return QStringLiteral("Current members on ") + qv::Regional::formatShortDate(m_today);
}

void TfrmStatistics::btnPrintClick() {
    const Figures figures = m_figures;
    const QString range = rangeText();
    const QString current = currentText();
    qv::PrintDocument(
        {QStringLiteral("Quorvane - Statistics"), QPageLayout::Portrait},
        [&](qv::PrintCanvas& canvas) { PrintFigures(canvas, figures, range, current); }, this);
}

void TfrmStatistics::btnSaveChartClick() {
    const View view = currentView();
    const FigureTable& table = TableOf(m_figures, view);
    qv::FileDialogOptions options;
    options.caption = QStringLiteral("Save Chart");
    options.initialFolder = AppInfo::GetDocumentsFolder();
    options.fileName = ViewCaption(view) + QStringLiteral(".png");
    options.filter = QStringLiteral("PNG picture (*.png)|*.png|SVG drawing (*.svg)|*.svg");
    options.defaultSuffix = QStringLiteral("png");
    const std::optional<QString> path = qv::GetSaveFileName(options, this);
    if (!path)
        return;
    QByteArray bytes;
    if (path->endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        bytes = ChartSvg(view, table, SavedChartSize);
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ChartImage(view, table, SavedChartSize).save(&buffer, "PNG");
    }
    // Written beside the name and put in place whole, or not at all.
    qv::FileSystem::ReplacingFile file(*path);
    file.write(bytes);
    file.commit();
    qv::ShowFileSaved(this, QString(), QStringLiteral("The chart was saved."), *path);
}

void TfrmStatistics::btnCopyTableClick() {
    const FigureTable& table = TableOf(m_figures, currentView());
    QGuiApplication::clipboard()->setText(table.tabSeparated());
    lblStatus->setText(QStringLiteral("The table was copied as tab-separated text."));
}
