// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "statistics/StatisticsCharts.h"
#include "statistics/StatisticsSQL.h"

#include <QDate>
#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;

QT_BEGIN_NAMESPACE
class QChartView;
QT_END_NAMESPACE

namespace qv {
class Connection;
}

// The figures for the annual meeting: a range of membership years and six
// views, each a chart with the table of its numbers below it; printed as a
// set, a chart saved as a picture, a table copied for a spreadsheet.
class TfrmStatistics : public QDialog {
    Q_OBJECT
public:
    // Reads the figures of the last ten membership years; database errors
    // reach the caller.
    explicit TfrmStatistics(qv::Connection& connection, QWidget* parent = nullptr);

    const Statistics::Figures& figures() const { return m_figures; }
    Statistics::View currentView() const;
    // The years shown, first and last.
    int firstYear() const;
    int lastYear() const;
    // Shows the years `first` to `last`; a failed read leaves the window as it was.
    void showYears(int first, int last);

    void btnPrintClick();
    void btnSaveChartClick();
    void btnCopyTableClick();

    QComboBox* cboFromYear = nullptr;
    QComboBox* cboToYear = nullptr;
    QTabWidget* tabViews = nullptr;
    std::array<QChartView*, Statistics::ViewCount> chtViews{};
    std::array<QTableView*, Statistics::ViewCount> grdViews{};
    QPushButton* btnPrint = nullptr;
    QPushButton* btnSaveChart = nullptr;
    QPushButton* btnCopyTable = nullptr;
    QPushButton* btnClose = nullptr;
    QLabel* lblStatus = nullptr;

private:
    void yearChosen();
    QString rangeText() const;
    QString currentText() const;

    qv::Connection& m_connection;
    Statistics::MembershipYear m_year;
    QDate m_today;
    Statistics::Figures m_figures;
    std::array<Statistics::FigureModel*, Statistics::ViewCount> m_models{};
};
