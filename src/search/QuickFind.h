// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search/QuickFindIndex.h"

#include <QAbstractListModel>
#include <QObject>
#include <QThread>
#include <QWidget>
#include <atomic>

class QLabel;
class QLineEdit;
class QListView;

namespace qv {
class Connection;
}

class QuickFindWorker;

// Answers quick finds on a thread of its own, with its own connection to the
// register (connections belong to the thread that made them), so typing never
// waits for the register. The index of member texts is built there on first
// use and again whenever the register has changed since: on a file register
// when the engine's data version moved (a commit by any other connection,
// this program's own included), on PostgreSQL when the server's snapshot
// shows a transaction ended since; on other kinds before every answer.
class QuickFindSearcher : public QObject {
    Q_OBJECT
public:
    explicit QuickFindSearcher(QObject* parent = nullptr);
    ~QuickFindSearcher() override;

    // Asks for the members matching `text` on the register the connection
    // string names. Answered by `answered` or `failed`, unless another
    // request follows first: only the latest one is answered.
    void search(const QString& connectionString, const QString& text);
    // Opens the register and builds or updates the index ahead of the first
    // search, answering nothing.
    void prepare(const QString& connectionString);
    // Drops the answer to whatever was asked last, without waiting.
    void cancel();
    // Closes the thread's connection, waiting until it is closed: before the
    // register is compacted or another one is opened. The next search opens
    // it again and builds the index afresh.
    void release();
    // The memory the index holds now (waits for the thread).
    std::size_t indexBytes();

signals:
    void answered(const QuickFindAnswer& answer);
    void failed(const QString& text, const QString& message);

private:
    QThread m_thread;
    QuickFindWorker* m_worker = nullptr;
    std::atomic<quint64> m_latest{0};
};

// The rows of a quick find: at most the shown members, then a line saying how
// many more there are.
class QuickFindModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void setAnswer(QuickFindAnswer answer);
    const QuickFindAnswer& answer() const { return m_answer; }
    // The number of further members behind the last line, 0 when none.
    int moreCount() const;
    bool isMoreRow(int row) const { return row == int(m_answer.rows.size()) && moreCount() > 0; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QuickFindAnswer m_answer;
};

// The search box at the top of the main window and its live result list.
// Arrow keys move in the list while the box keeps the keyboard; Enter opens
// the chosen member in his own transaction, as the member list does (with
// none chosen: the only one found, else the full list); Shift+Enter, or the
// last line, opens the member list window with every member found; Esc
// clears the box.
class QuickFindBox : public QWidget {
    Q_OBJECT
public:
    // At most this many members are listed; the rest are behind the last line.
    static constexpr int kShownRows = 50;

    QuickFindBox(qv::Connection& connection, QWidget* parent = nullptr);
    ~QuickFindBox() override;

    // Gives the box the keyboard with its text selected (Ctrl+K, Ctrl+F).
    void focusBox();
    // Lets go of the register; see QuickFindSearcher::release.
    void release();
    // Asks again for the text in the box (after the register changed here).
    void refresh();
    // Brings the index up to date ahead of the next word.
    void prepare();

    QuickFindSearcher& searcher() { return m_searcher; }
    QuickFindModel& model() { return *m_model; }

    QLineEdit* edtQuickFind = nullptr;
    QListView* lsvQuickFind = nullptr;
    QLabel* lblQuickFindStatus = nullptr;

    // Opens the member of a row, or the full list for the last line.
    void openRow(int row);
    // Opens the member list window with every member found.
    void openFullList();

signals:
    // The list shows the answer to the box's current text.
    void answerShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textEdited();
    void showAnswer(const QuickFindAnswer& answer);
    void showFailure(const QString& text, const QString& message);
    void moveCurrent(int step);
    void enterPressed(bool fullList);
    void showStatus(const QString& text);

    qv::Connection& m_connection;
    QuickFindSearcher m_searcher;
    QuickFindModel* m_model = nullptr;
};
