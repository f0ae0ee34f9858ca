// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/History.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

namespace qv {
class Connection;
}

// The entries of the change log as a table, read a page at a time as the
// view scrolls, so a register with a long history opens at once.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int PageSize = 200;

    explicit HistoryModel(qv::Connection* connection = nullptr, QObject* parent = nullptr);
    void setConnection(qv::Connection* connection) { m_connection = connection; }

    // Reads the first page again under the filter and sort given.
    void load(const History::Filter& filter, History::SortBy sort = History::SortBy::When,
              bool ascending = false);
    void reload() { load(m_filter, m_sort, m_ascending); }
    // The number of entries under the filter, counted when first asked.
    qint64 total() const;
    qint64 entryAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void sort(int column, Qt::SortOrder order) override;

private:
    qv::Connection* m_connection;
    History::Filter m_filter;
    History::SortBy m_sort = History::SortBy::When;
    bool m_ascending = false;
    mutable qint64 m_total = -1; // -1 until counted
    bool m_more = false;         // whether entries follow the last one read
    std::vector<History::Entry> m_entries;
};

// The history list with its Undo command: the member window's History tab
// (one member) and the body of the whole register's history window.
class THistoryView : public QWidget {
    Q_OBJECT
public:
    explicit THistoryView(qv::Connection* connection = nullptr, QWidget* parent = nullptr);
    void setConnection(qv::Connection* connection);

    HistoryModel* model() const { return m_model; }
    QTableView* grid() const { return grdHistory; }
    void load(const History::Filter& filter) { m_model->load(filter); }

    // Undoes the selected entry after asking; a refusal is shown with its reason.
    void btnUndoClick();

signals:
    // An entry was undone: what the window shows of the register is stale.
    void undone();

private:
    void updateButtons();

    qv::Connection* m_connection;
    HistoryModel* m_model;
    QTableView* grdHistory;
    QPushButton* btnUndo;
};

// "Data > Change History...": every entry of the register, filtered by date
// range, user and member.
class TfrmChangeHistory : public QDialog {
    Q_OBJECT
public:
    TfrmChangeHistory(qv::Connection& connection, QWidget* parent = nullptr);

    THistoryView* view() const { return m_view; }
    void btnFilterClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCount();

    THistoryView* m_view;
    QCheckBox* chkFrom;
    QDateEdit* dtpFrom;
    QCheckBox* chkTo;
    QDateEdit* dtpTo;
    QLineEdit* edtUser;
    QLineEdit* edtMember;
    QLabel* lblCount;
    bool m_countPending = false; // the count waits for the list's next paint
};

// "Data > Past Members Due for Erasure...": members whose last period ended
// more than the settings' number of years ago, with Erase All.
class TfrmPastMembersDue : public QDialog {
    Q_OBJECT
public:
    TfrmPastMembersDue(qv::Connection& connection, int years, QWidget* parent = nullptr);

    QTableWidget* grid() const { return grdMembers; }
    // Erases every member listed, in one transaction, after one confirmation.
    void btnEraseAllClick();

private:
    void fill();

    qv::Connection& m_connection;
    int m_years;
    std::vector<History::DueMember> m_due;
    QLabel* lblCaption;
    QTableWidget* grdMembers;
    QPushButton* btnEraseAll;
};
