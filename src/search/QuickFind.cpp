// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/QuickFind.h"

#include "db/MemberSQL.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"
#include "search/MemberListFrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

// Lives on the searcher's thread: the connection, the index and what the
// register looked like when the index was built.
class QuickFindWorker : public QObject {
public:
    ~QuickFindWorker() override { close(); }

    // Answers null when a later request has come meanwhile.
    std::unique_ptr<QuickFindAnswer> find(const QString& connectionString, const QString& text,
                                          quint64 request, const std::atomic<quint64>& latest) {
        if (request != latest.load())
            return nullptr;
        prepare(connectionString);
        if (request != latest.load())
            return nullptr;
        return std::make_unique<QuickFindAnswer>(
            m_index.find(text, QDate::currentDate(), QuickFindBox::kShownRows));
    }

    // Opens the connection when it is not open on that register, and builds
    // the index unless it is known to be the register as it stands.
    void prepare(const QString& connectionString) {
        if (!m_connection || connectionString != m_connection->connectionString()) {
            close();
            auto connection = std::make_unique<qv::Connection>();
            connection->setConnectionString(connectionString);
            connection->open();
            m_connection = std::move(connection);
        }
        // Read before the rows, so that a change committed in between makes
        // the next look find the register changed.
        const QString token = changeToken();
        if (!m_built || token.isEmpty() || token != m_token) {
            m_built = false;
            m_index.build(*m_connection);
            m_token = token;
            m_built = true;
        }
    }

    void close() {
        m_built = false;
        m_token.clear();
        m_index = QuickFindIndex();
        if (m_connection)
            m_connection->close();
        m_connection.reset();
    }

    std::size_t indexBytes() const { return m_index.bytesUsed(); }

private:
    // What changes whenever another connection commits a change to the
    // register; empty where the engine offers nothing that sure.
    QString changeToken() {
        QString sql;
        switch (m_connection->kind()) {
        case qv::ConnectionString::Kind::File:
            // Moves with every commit of any other connection to the file.
            sql = QStringLiteral("PRAGMA data_version");
            break;
        case qv::ConnectionString::Kind::PostgreSQL:
            // The same snapshot again means no transaction that wrote has
            // ended since (anywhere on the server, so it errs towards a
            // rebuild).
            sql = QStringLiteral("SELECT CAST(txid_current_snapshot() AS text)");
            break;
        default:
            return QString();
        }
        qv::Query query(m_connection.get());
        query.setSQL(sql);
        qv::Result result;
        try {
            query.fetch(result);
        } catch (const qv::DatabaseError&) {
            // A server that does not offer it: the index is built for every
            // answer instead, slower but never stale.
            return QString();
        }
        if (result.rows.rowCount() != 1)
            return QString();
        return result.rows.value(result.rows.cell(0, 0)).toText();
    }

    std::unique_ptr<qv::Connection> m_connection;
    QuickFindIndex m_index;
    QString m_token;
    bool m_built = false;
};

// ---- QuickFindSearcher --------------------------------------------------------

QuickFindSearcher::QuickFindSearcher(QObject* parent)
    : QObject(parent)
    , m_worker(new QuickFindWorker) {
    m_thread.setObjectName(QStringLiteral("QuickFind"));
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

QuickFindSearcher::~QuickFindSearcher() {
    // The worker closes its connection on its own thread, where it was made.
    m_latest = 0;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void QuickFindSearcher::search(const QString& connectionString, const QString& text) {
    const quint64 request = ++m_latest;
    QMetaObject::invokeMethod(m_worker, [this, connectionString, text, request] {
        std::unique_ptr<QuickFindAnswer> answer;
        QString failure;
        try {
            answer = m_worker->find(connectionString, text, request, m_latest);
        } catch (const qv::DatabaseError& error) {
            // Opened afresh for the next keystroke.
            m_worker->close();
            failure = error.message();
        }
        if (!answer && failure.isEmpty())
            return;
        QMetaObject::invokeMethod(
            this,
            [this, request, text, failure,
             answer = std::shared_ptr<QuickFindAnswer>(std::move(answer))] {
                // An answer to an older keystroke is dropped.
                if (request != m_latest.load())
                    return;
                if (answer)
                    emit answered(*answer);
                else
                    emit failed(text, failure);
            },
            Qt::QueuedConnection);
    });
}

void QuickFindSearcher::prepare(const QString& connectionString) {
    QMetaObject::invokeMethod(m_worker, [this, connectionString] {
        try {
            m_worker->prepare(connectionString);
        } catch (const qv::DatabaseError&) {
            // The search that follows says what went wrong.
            m_worker->close();
        }
    });
}

void QuickFindSearcher::cancel() {
    ++m_latest;
}

void QuickFindSearcher::release() {
    ++m_latest; // whatever was asked is no longer wanted
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->close(); }, Qt::BlockingQueuedConnection);
}

std::size_t QuickFindSearcher::indexBytes() {
    std::size_t bytes = 0;
    QMetaObject::invokeMethod(
        m_worker, [&bytes, worker = m_worker] { bytes = worker->indexBytes(); },
        Qt::BlockingQueuedConnection);
    return bytes;
}

// ---- QuickFindModel ------------------------------------------------------------

void QuickFindModel::setAnswer(QuickFindAnswer answer) {
    beginResetModel();
    m_answer = std::move(answer);
    endResetModel();
}

int QuickFindModel::moreCount() const {
    return int(m_answer.memberIds.size() - m_answer.rows.size());
}

int QuickFindModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return int(m_answer.rows.size()) + (moreCount() > 0 ? 1 : 0);
}

QVariant QuickFindModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (isMoreRow(index.row())) {
        if (role == Qt::DisplayRole)
            return QStringLiteral("%1 more \u2014 press Enter for the full list").arg(moreCount());
        if (role == Qt::FontRole) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    }
    const QuickFindRow& row = m_answer.rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole: {
        QString name = row.surname;
        if (!row.firstNames.isEmpty())
            name += QStringLiteral(", ") + row.firstNames;
        QStringList where;
        for (const QString& part : {row.address, row.city, row.postCode})
            if (!part.trimmed().isEmpty())
                where << QString(part).replace(u'\r', u' ').replace(u'\n', u' ').simplified();
        return where.isEmpty() ? name : name + QStringLiteral(" \u2014 ") + where.join(u", ");
    }
    case Qt::ForegroundRole:
        // Past members, and those without any period, are greyed.
        if (row.standing != QuickFindStanding::Current)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        switch (row.standing) {
        case QuickFindStanding::Current:
            return QStringLiteral("Current member");
        case QuickFindStanding::Past:
            return QStringLiteral("Past member");
        case QuickFindStanding::NoPeriod:
            return QStringLiteral("No membership period");
        }
        return {};
    default:
        return {};
    }
}

// ---- QuickFindBox --------------------------------------------------------------

QuickFindBox::QuickFindBox(qv::Connection& connection, QWidget* parent)
    : QWidget(parent)
    , m_connection(connection) {
    setObjectName(QStringLiteral("pnlQuickFind"));
    edtQuickFind = new QLineEdit(this);
    edtQuickFind->setObjectName(QStringLiteral("edtQuickFind"));
    edtQuickFind->setPlaceholderText(tr("Find a member"));
    edtQuickFind->setAccessibleName(tr("Find a member"));
    edtQuickFind->setClearButtonEnabled(true);
    // Its clear button has no text of its own for a screen reader to say.
    for (QToolButton* clear : edtQuickFind->findChildren<QToolButton*>())
        clear->setAccessibleName(tr("Clear"));
    edtQuickFind->installEventFilter(this);

    m_model = new QuickFindModel(this);
    lsvQuickFind = new QListView(this);
    lsvQuickFind->setObjectName(QStringLiteral("lsvQuickFind"));
    lsvQuickFind->setAccessibleName(tr("Members found"));
    lsvQuickFind->setModel(m_model);
    lsvQuickFind->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lsvQuickFind->setSelectionMode(QAbstractItemView::SingleSelection);
    lsvQuickFind->setUniformItemSizes(true);
    // The box keeps the keyboard; the arrow keys there move in the list.
    lsvQuickFind->setFocusPolicy(Qt::NoFocus);
    lsvQuickFind->setFixedHeight(220);
    lsvQuickFind->hide();
    connect(lsvQuickFind, &QListView::activated, this,
            [this](const QModelIndex& index) { openRow(index.row()); });

    lblQuickFindStatus = new QLabel(this);
    lblQuickFindStatus->setObjectName(QStringLiteral("lblQuickFindStatus"));
    lblQuickFindStatus->setWordWrap(true);
    lblQuickFindStatus->setAccessibleName(tr("Quick find"));
    lblQuickFindStatus->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addWidget(edtQuickFind);
    layout->addWidget(lsvQuickFind);
    layout->addWidget(lblQuickFindStatus);

    connect(edtQuickFind, &QLineEdit::textChanged, this, &QuickFindBox::textEdited);
    connect(&m_searcher, &QuickFindSearcher::answered, this, &QuickFindBox::showAnswer);
    connect(&m_searcher, &QuickFindSearcher::failed, this, &QuickFindBox::showFailure);
}

QuickFindBox::~QuickFindBox() = default;

void QuickFindBox::focusBox() {
    edtQuickFind->setFocus(Qt::ShortcutFocusReason);
    edtQuickFind->selectAll();
}

void QuickFindBox::release() {
    m_searcher.release();
}

void QuickFindBox::refresh() {
    textEdited();
}

void QuickFindBox::prepare() {
    if (m_connection.isOpen())
        m_searcher.prepare(m_connection.connectionString());
}

void QuickFindBox::textEdited() {
    const QString text = edtQuickFind->text();
    if (QuickFindIndex::words(text).isEmpty()) {
        m_searcher.cancel();
        if (edtQuickFind->hasFocus())
            prepare();
        m_model->setAnswer({});
        lsvQuickFind->hide();
        lblQuickFindStatus->hide();
        return;
    }
    if (!m_connection.isOpen()) {
        showStatus(tr("No register is open, so there is nothing to find."));
        return;
    }
    m_searcher.search(m_connection.connectionString(), text);
}

void QuickFindBox::showAnswer(const QuickFindAnswer& answer) {
    if (answer.text != edtQuickFind->text())
        return;
    // The same member stays chosen while he is still found.
    const int current = lsvQuickFind->currentIndex().row();
    const qint64 chosen = current >= 0 && current < int(m_model->answer().rows.size())
                              ? m_model->answer().rows[size_t(current)].memberId
                              : 0;
    m_model->setAnswer(answer);
    int row = -1;
    for (int i = 0; chosen != 0 && i < int(answer.rows.size()); ++i)
        if (answer.rows[size_t(i)].memberId == chosen)
            row = i;
    if (row >= 0)
        lsvQuickFind->setCurrentIndex(m_model->index(row));
    if (answer.memberIds.empty()) {
        lsvQuickFind->hide();
        showStatus(tr("No member found."));
    } else {
        lblQuickFindStatus->hide();
        lsvQuickFind->show();
    }
    emit answerShown();
}

void QuickFindBox::showFailure(const QString& text, const QString& message) {
    if (text != edtQuickFind->text())
        return;
    m_model->setAnswer({});
    lsvQuickFind->hide();
    showStatus(tr("The register could not be searched: %1").arg(message));
    emit answerShown();
}

void QuickFindBox::showStatus(const QString& text) {
    lblQuickFindStatus->setText(text);
    lblQuickFindStatus->setAccessibleName(text);
    lblQuickFindStatus->show();
}

void QuickFindBox::moveCurrent(int step) {
    const int rows = m_model->rowCount();
    if (rows == 0)
        return;
    const int current = lsvQuickFind->currentIndex().row();
    const int next =
        std::clamp(current < 0 ? (step > 0 ? 0 : rows - 1) : current + step, 0, rows - 1);
    lsvQuickFind->setCurrentIndex(m_model->index(next));
}

void QuickFindBox::enterPressed(bool fullList) {
    const QuickFindAnswer& answer = m_model->answer();
    if (answer.memberIds.empty())
        return;
    const int current = lsvQuickFind->currentIndex().row();
    if (fullList)
        openFullList();
    else if (current >= 0)
        openRow(current);
    else if (answer.memberIds.size() == 1)
        openRow(0);
    else
        openFullList();
}

void QuickFindBox::openRow(int row) {
    if (m_model->isMoreRow(row)) {
        openFullList();
        return;
    }
    if (row < 0 || row >= int(m_model->answer().rows.size()))
        return;
    const qint64 memberId = m_model->answer().rows[size_t(row)].memberId;
    if (OpenMemberRecord(window(), m_connection, int(memberId)))
        refresh();
}

void QuickFindBox::openFullList() {
    const QuickFindAnswer answer = m_model->answer();
    if (answer.memberIds.empty())
        return;
    TfrmMemberList list(window());
    // Every member found is listed, past ones too; the box can hide them.
    list.chkIncludePastMembers->setChecked(true);
    list.ShowMemberList(m_connection, MemberSQL::QuickFindListSQL(answer.memberIds), QString(), -1,
                        false, false, tr("Quick Find - %1").arg(answer.text));
    refresh();
}

bool QuickFindBox::eventFilter(QObject* watched, QEvent* event) {
    // The index is made ready, or brought up to date, while the first word
    // is still being typed.
    if (watched == edtQuickFind && event->type() == QEvent::FocusIn)
        prepare();
    if (watched == edtQuickFind && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Down:
            moveCurrent(1);
            return true;
        case Qt::Key_Up:
            moveCurrent(-1);
            return true;
        case Qt::Key_PageDown:
            moveCurrent(10);
            return true;
        case Qt::Key_PageUp:
            moveCurrent(-10);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)
                break;
            enterPressed(modifiers == Qt::ShiftModifier);
            return true;
        case Qt::Key_Escape:
            if (edtQuickFind->text().isEmpty())
                break;
            edtQuickFind->clear();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
