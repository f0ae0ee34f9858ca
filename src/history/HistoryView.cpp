// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryView.h"

#include "platform/data/Connection.h"
#include "platform/data/Transaction.h"
#include "platform/ui/MessageBox.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Column { ColWhen, ColUser, ColSource, ColWhat, ColumnCount };

} // namespace

HistoryModel::HistoryModel(qv::Connection* connection, QObject* parent)
    : QAbstractTableModel(parent)
    , m_connection(connection) {}

void HistoryModel::load(const History::Filter& filter, History::SortBy sort, bool ascending) {
    if (!m_connection)
        return;
    // Read before the model changes, so a failure leaves the list as it was.
    // One entry more than a page says whether another page follows, so the
    // first page needs no count of the whole log.
    std::vector<History::Entry> first =
        History::Entries(*m_connection, filter, 0, PageSize + 1, sort, ascending);
    beginResetModel();
    m_filter = filter;
    m_sort = sort;
    m_ascending = ascending;
    m_total = -1;
    m_more = first.size() > size_t(PageSize);
    if (m_more)
        first.pop_back();
    m_entries = std::move(first);
    endResetModel();
}

qint64 HistoryModel::total() const {
    if (m_total < 0)
        m_total = m_connection ? History::EntryCount(*m_connection, m_filter) : 0;
    return m_total;
}

qint64 HistoryModel::entryAt(int row) const {
    return row >= 0 && size_t(row) < m_entries.size() ? m_entries[size_t(row)].id : 0;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= m_entries.size())
        return {};
    const History::Entry& e = m_entries[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case ColWhen:
            return e.when;
        case ColUser:
            return e.user;
        case ColSource:
            return e.kind == QLatin1String("change")
                       ? e.source
                       : e.source + QStringLiteral(" (") + e.kind + u')';
        case ColWhat:
            // One line in the list (sizing every row to its text would cost
            // more than reading the page); the tip shows a row per line.
            return role == Qt::ToolTipRole ? e.what : QString(e.what).replace(u'\n', u' ');
        }
    }
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColWhen:
        return QStringLiteral("When");
    case ColUser:
        return QStringLiteral("Who");
    case ColSource:
        return QStringLiteral("Window or command");
    case ColWhat:
        return QStringLiteral("What changed (old → new)");
    }
    return {};
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const {
    return m_connection && !parent.isValid() && m_more;
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    std::vector<History::Entry> more = History::Entries(
        *m_connection, m_filter, int(m_entries.size()), PageSize + 1, m_sort, m_ascending);
    m_more = more.size() > size_t(PageSize);
    if (m_more)
        more.pop_back();
    if (more.empty())
        return;
    const int first = int(m_entries.size());
    beginInsertRows(QModelIndex(), first, first + int(more.size()) - 1);
    for (History::Entry& e : more)
        m_entries.push_back(std::move(e));
    endInsertRows();
}

void HistoryModel::sort(int column, Qt::SortOrder order) {
    const History::SortBy by = column == ColUser     ? History::SortBy::User
                               : column == ColSource ? History::SortBy::Source
                                                     : History::SortBy::When;
    load(m_filter, by, order == Qt::AscendingOrder);
}

// ---- the view ---------------------------------------------------------------

THistoryView::THistoryView(qv::Connection* connection, QWidget* parent)
    : QWidget(parent)
    , m_connection(connection)
    // Given its connection once the view is set up: turning sorting on sorts,
    // which would read the first page before the caller asks for it.
    , m_model(new HistoryModel(nullptr, this)) {
    setObjectName(QStringLiteral("HistoryView"));
    grdHistory = new QTableView(this);
    grdHistory->setObjectName(QStringLiteral("grdHistory"));
    grdHistory->setModel(m_model);
    grdHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    grdHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One line a row, elided: a wrapped text would not fit the row anyway, and
    // laying it out to wrap costs more than the page's data.
    grdHistory->setWordWrap(false);
    grdHistory->setTextElideMode(Qt::ElideRight);
    grdHistory->setSortingEnabled(true);
    grdHistory->horizontalHeader()->setSortIndicator(ColWhen, Qt::DescendingOrder);
    grdHistory->horizontalHeader()->setStretchLastSection(true);
    grdHistory->verticalHeader()->hide();
    grdHistory->setColumnWidth(ColWhen, 140);
    grdHistory->setColumnWidth(ColUser, 90);
    grdHistory->setColumnWidth(ColSource, 140);

    btnUndo = new QPushButton(QStringLiteral("&Undo Change..."), this);
    btnUndo->setObjectName(QStringLiteral("btnUndo"));
    btnUndo->setEnabled(false);
    connect(btnUndo, &QPushButton::clicked, this, &THistoryView::btnUndoClick);
    connect(grdHistory->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &THistoryView::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &THistoryView::updateButtons);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnUndo);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grdHistory);
    layout->addLayout(buttons);
    m_model->setConnection(connection);
}

void THistoryView::setConnection(qv::Connection* connection) {
    m_connection = connection;
    m_model->setConnection(connection);
}

void THistoryView::updateButtons() {
    btnUndo->setEnabled(grdHistory->selectionModel()->hasSelection());
}

void THistoryView::btnUndoClick() {
    const QModelIndexList rows = grdHistory->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const qint64 entry = m_model->entryAt(rows.first().row());
    const QString what = m_model->data(m_model->index(rows.first().row(), ColWhat)).toString();
    if (qv::ShowMessageBox(QStringLiteral("Undo this change?\n\r\n\r") + what,
                           qv::MessageKind::Confirmation, qv::MessageButtons::YesNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    try {
        History::Undo(*m_connection, entry);
    } catch (const History::UndoRefused& refused) {
        qv::ShowMessageBox(refused.message(), qv::MessageKind::Warning, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    }
    m_model->reload();
    emit undone();
}

// ---- the whole register's history ---------------------------------------------

TfrmChangeHistory::TfrmChangeHistory(qv::Connection& connection, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmChangeHistory"));
    setWindowTitle(QStringLiteral("Change History"));
    m_view = new THistoryView(&connection, this);

    chkFrom = new QCheckBox(QStringLiteral("&From"), this);
    chkFrom->setObjectName(QStringLiteral("chkFrom"));
    dtpFrom = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    dtpFrom->setObjectName(QStringLiteral("dtpFrom"));
    dtpFrom->setCalendarPopup(true);
    chkTo = new QCheckBox(QStringLiteral("&To"), this);
    chkTo->setObjectName(QStringLiteral("chkTo"));
    dtpTo = new QDateEdit(QDate::currentDate(), this);
    dtpTo->setObjectName(QStringLiteral("dtpTo"));
    dtpTo->setCalendarPopup(true);
    auto* userLabel = new QLabel(QStringLiteral("&User"), this);
    edtUser = new QLineEdit(this);
    edtUser->setObjectName(QStringLiteral("edtUser"));
    userLabel->setBuddy(edtUser);
    auto* memberLabel = new QLabel(QStringLiteral("&Member"), this);
    edtMember = new QLineEdit(this);
    edtMember->setObjectName(QStringLiteral("edtMember"));
    memberLabel->setBuddy(edtMember);
    auto* btnFilter = new QPushButton(QStringLiteral("&Show"), this);
    btnFilter->setObjectName(QStringLiteral("btnFilter"));
    btnFilter->setDefault(true);
    connect(btnFilter, &QPushButton::clicked, this, &TfrmChangeHistory::btnFilterClick);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    auto* btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* filters = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{chkFrom, dtpFrom, chkTo, dtpTo, userLabel,
                                                      edtUser, memberLabel, edtMember, btnFilter})
        filters->addWidget(w);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblCount);
    bottom->addStretch();
    bottom->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_view);
    layout->addLayout(bottom);
    resize(900, 560);
    connect(m_view, &THistoryView::undone, this, &TfrmChangeHistory::showCount);
    m_view->grid()->viewport()->installEventFilter(this);
    btnFilterClick();
}

// Counted once the list has been painted: the count of a long log takes
// longer than the page itself.
void TfrmChangeHistory::showCount() {
    lblCount->clear();
    m_countPending = true;
    m_view->grid()->viewport()->update();
}

bool TfrmChangeHistory::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && m_countPending) {
        m_countPending = false;
        // After this paint is done.
        QTimer::singleShot(0, this, [this] {
            const qint64 total = m_view->model()->total();
            lblCount->setText(total == 1 ? QStringLiteral("1 entry")
                                         : QStringLiteral("%1 entries").arg(total));
        });
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmChangeHistory::btnFilterClick() {
    History::Filter filter;
    if (chkFrom->isChecked())
        filter.from = dtpFrom->date();
    if (chkTo->isChecked())
        filter.to = dtpTo->date();
    filter.user = edtUser->text().trimmed();
    filter.member = edtMember->text().trimmed();
    m_view->load(filter);
    showCount();
}

// ---- members due for erasure --------------------------------------------------

TfrmPastMembersDue::TfrmPastMembersDue(qv::Connection& connection, int years, QWidget* parent)
    : QDialog(parent)
    , m_connection(connection)
    , m_years(years) {
    setObjectName(QStringLiteral("frmPastMembersDue"));
    setWindowTitle(QStringLiteral("Past Members Due for Erasure"));
    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setWordWrap(true);
    grdMembers = new QTableWidget(this);
    grdMembers->setObjectName(QStringLiteral("grdMembers"));
    grdMembers->setColumnCount(3);
    grdMembers->setHorizontalHeaderLabels({QStringLiteral("Surname"), QStringLiteral("First Names"),
                                           QStringLiteral("Last Period Ended")});
    grdMembers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdMembers->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdMembers->verticalHeader()->hide();
    grdMembers->horizontalHeader()->setStretchLastSection(true);
    btnEraseAll = new QPushButton(QStringLiteral("&Erase All..."), this);
    btnEraseAll->setObjectName(QStringLiteral("btnEraseAll"));
    connect(btnEraseAll, &QPushButton::clicked, this, &TfrmPastMembersDue::btnEraseAllClick);
    auto* btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnEraseAll);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCaption);
    layout->addWidget(grdMembers);
    layout->addLayout(buttons);
    resize(560, 420);
    fill();
}

void TfrmPastMembersDue::fill() {
    std::vector<History::DueMember> due = History::MembersDueForErasure(m_connection, m_years);
    m_due = std::move(due);
    lblCaption->setText(QStringLiteral("%1 members whose last period ended more than %2 years ago.")
                            .arg(m_due.size())
                            .arg(m_years));
    grdMembers->setRowCount(int(m_due.size()));
    for (int row = 0; row < int(m_due.size()); ++row) {
        const History::DueMember& m = m_due[size_t(row)];
        grdMembers->setItem(row, 0, new QTableWidgetItem(m.surname));
        grdMembers->setItem(row, 1, new QTableWidgetItem(m.firstNames));
        grdMembers->setItem(
            row, 2, new QTableWidgetItem(m.lastEnded.toString(QStringLiteral("yyyy-MM-dd"))));
    }
    btnEraseAll->setEnabled(!m_due.empty());
}

void TfrmPastMembersDue::btnEraseAllClick() {
    if (m_due.empty())
        return;
    const QString question =
        QStringLiteral("Erase all %1 members listed? Their names, addresses, phone numbers, "
                       "e-mail addresses, notes and file references will be replaced with neutral "
                       "text and removed from the change history. This cannot be undone.")
            .arg(m_due.size()) +
        QStringLiteral("\n\r\n\r") + History::ErasureKeeps();
    if (qv::ShowMessageBox(question, qv::MessageKind::Warning, qv::MessageButtons::YesNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    {
        // All of them or none.
        qv::TransactionGuard transaction(m_connection, qv::TransactionKind::Normal,
                                         QStringLiteral("Erase All"));
        for (const History::DueMember& m : m_due)
            History::EraseMember(m_connection, m.id);
        transaction.commit();
    }
    const size_t erased = m_due.size();
    fill();
    qv::ShowMessageBox(QStringLiteral("%1 members were erased.").arg(erased),
                       qv::MessageKind::Information, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, this);
}
