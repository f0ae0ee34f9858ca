// SPDX-License-Identifier: GPL-3.0-or-later
// A member's record on generated registers.
//
// Opening: what the member list does on a double-click (the visit's
// transaction, the member details window with its seven datasets, shown
// modally) up to the first paint, against the bare SQLite engine running the
// window's seven statements for the same member in one read transaction;
// also the window's parts (building, the datasets, showing and painting), the
// seven datasets alone, the bare engine with its statements prepared
// beforehand, an empty dialog as the floor for any window, and the window's
// widgets made from Qt's own classes with the same texts as the floor for
// this window. Each step runs
// twice and the second run is measured, so every side finds its pages and
// code in the caches.
//
// Deleting: Delete Member as the window does it (the member row deleted
// through its dataset; the cascading keys remove the sub-records), inside a
// transaction rolled back afterwards, on a small and a large register; and
// the bare engine deleting the same row with foreign keys on. The time should
// stay flat as the register grows: the cascades find the sub-records by
// index.
//
//   bench_memberrecord [--members 100000] [--small 1000] [--samples 40] [--seed 1]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "BenchSupport.h"

#include "db/MemberSQL.h"
#include "members/MemberFrm.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/Query.h"
#include "settings/MemberSettings.h"

#include <QApplication>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

using namespace qv::bench;

// `count` member keys spread evenly over the register.
std::vector<qint64> sampleMembers(qv::Connection& connection, int count) {
    qv::Query q(&connection);
    q.setSQL("SELECT MemberID FROM Members ORDER BY MemberID");
    qv::Result all;
    q.fetch(all);
    std::vector<qint64> keys;
    const int rows = all.rows.rowCount();
    for (int i = 0; i < count && rows > 0; ++i)
        keys.push_back(all.rows.value(all.rows.cell(int(qint64(i) * rows / count), 0)).toInteger());
    return keys;
}

QByteArray bareText(const QStringList& lines) {
    return BareSql(lines.join(u'\n'));
}

struct Opening {
    std::vector<double> window, build, datasets, paint, bare, bareKept, plain, emptyDialog, replica;
};

// The seven statements through our datasets alone, tied by the member link
// as in the window but with no window listening.
struct PlainDatasets {
    qv::Dataset member;
    std::vector<std::unique_ptr<qv::Dataset>> details;

    PlainDatasets(qv::Connection& connection, int id)
        : member(&connection) {
        member.setSQL(MemberSQL::MemberRowSQL());
        member.setBaseTable("Members", "MemberID");
        member.setParameter("MemberID", id);
        for (const QStringList& sql :
             {MemberSQL::MemberDatesJoinedSQL(), MemberSQL::MemberAssetsSQL(),
              MemberSQL::MemberProfilesSQL(), MemberSQL::MemberFeePaymentsSQL(),
              MemberSQL::MemberFilesSQL(), MemberSQL::MemberNotesSQL()}) {
            details.push_back(std::make_unique<qv::Dataset>(&connection));
            details.back()->setSQL(sql);
            details.back()->setMaster(&member);
        }
    }
    // Answers the rows read.
    int open() {
        member.open();
        int rows = member.recordCount();
        for (auto& d : details) {
            d->open();
            rows += d->recordCount();
        }
        return rows;
    }
};

int openPlainDatasets(qv::Connection& connection, int id) {
    PlainDatasets datasets(connection, id);
    return datasets.open();
}

// The bare engine's part of an opening: in one read transaction, as the
// visit's transaction holds one lock for our seven statements, each statement
// prepared, bound, stepped and every value read. Answers the rows read.
int openBare(sqlite3* db, const std::vector<QByteArray>& statements, qint64 id, quint64& checksum) {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    int total = 0;
    for (const QByteArray& text : statements) {
        int rows = 0;
        runBare(db, text, 1, id, rows, checksum);
        total += rows;
    }
    return total;
}

// The same with the seven statements prepared once beforehand, as our
// connection keeps them: the floor for reading the member.
int openBareKept(sqlite3* db, const std::vector<sqlite3_stmt*>& kept, qint64 id,
                 quint64& checksum) {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    int total = 0;
    for (sqlite3_stmt* stmt : kept) {
        sqlite3_bind_int64(stmt, 1, id);
        total += readRows(stmt, checksum);
        sqlite3_reset(stmt);
    }
    return total;
}

// Shows a window modally, as exec() does before its loop, up to its first
// paint.
void showModallyAndPaint(QWidget* window) {
    PaintCounter counter;
    window->installEventFilter(&counter);
    window->setAttribute(Qt::WA_ShowModal, true);
    window->show();
    PaintNow(window, counter);
    window->removeEventFilter(&counter);
}

// What the member list does on a double-click, up to the first paint: the
// visit's transaction, the window with its seven datasets, shown modally.
// The transaction stays open until `window` is gone, as in the list.
void openWindow(std::unique_ptr<TfrmMember>& window, qv::Connection& connection, int id) {
    connection.beginTrans();
    window = std::make_unique<TfrmMember>();
    window->OpenForMember(connection, id);
    showModallyAndPaint(window.get());
}

void closeWindow(std::unique_ptr<TfrmMember>& window, qv::Connection& connection) {
    window.reset();
    connection.rollbackTrans();
}

// What an opened member window shows: its font and size, the texts of its
// groups, tabs, grids and buttons.
struct WindowContents {
    struct Group {
        QString title;
        QStringList labels, texts, buttons;
    };
    struct Tab {
        QString caption;
        QIcon icon;
        QStringList titles, buttons;
        std::vector<QStringList> rows;
    };
    QFont font;
    QSize size;
    std::vector<Group> groups;
    std::vector<Tab> tabs;
    QStringList buttons;
};

WindowContents contentsOf(const TfrmMember& frm) {
    WindowContents c{frm.font(), frm.size(), {}, {}, {}};
    for (const QGroupBox* box : {frm.grpNameAddress, frm.grpPhoneEmail}) {
        WindowContents::Group group{box->title(), {}, {}, {}};
        for (const QLineEdit* edit : box->findChildren<QLineEdit*>()) {
            group.texts << edit->text();
            const auto* form = static_cast<QFormLayout*>(box->layout());
            group.labels
                << static_cast<QLabel*>(form->labelForField(const_cast<QLineEdit*>(edit)))->text();
        }
        for (const QPushButton* b : box->findChildren<QPushButton*>())
            group.buttons << b->text();
        c.groups.push_back(group);
    }
    for (int t = 0; t < frm.pgcDetails->count(); ++t) {
        WindowContents::Tab tab{frm.pgcDetails->tabText(t), frm.pgcDetails->tabIcon(t), {}, {}, {}};
        const QWidget* page = frm.pgcDetails->widget(t);
        const QAbstractItemModel* model = page->findChild<QTableView*>()->model();
        for (int col = 0; col < model->columnCount(); ++col)
            tab.titles << model->headerData(col, Qt::Horizontal).toString();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int col = 0; col < model->columnCount(); ++col)
                cells << model->index(row, col).data().toString();
            tab.rows.push_back(cells);
        }
        for (const QPushButton* b : page->findChildren<QPushButton*>())
            tab.buttons << b->text();
        c.tabs.push_back(tab);
    }
    for (const QPushButton* b : {frm.btnPrint, frm.btnClose, frm.btnUpdate})
        c.buttons << b->text();
    return c;
}

// The same window from Qt's own widgets with the texts already at hand, none
// of our code or data in it, built, shown modally and painted: what Qt alone
// needs for a window like ours.
double openQtReplica(const WindowContents& c) {
    const Clock::time_point start = Clock::now();
    QDialog dialog;
    dialog.setFont(c.font);
    auto* top = new QHBoxLayout;
    for (const WindowContents::Group& g : c.groups) {
        auto* box = new QGroupBox(g.title, &dialog);
        auto* form = new QFormLayout(box);
        for (qsizetype i = 0; i < g.texts.size(); ++i) {
            auto* edit = new QLineEdit(g.texts[i], box);
            auto* label = new QLabel(g.labels[i], box);
            label->setBuddy(edit);
            form->addRow(label, edit);
        }
        for (const QString& b : g.buttons)
            form->addRow(new QPushButton(b, box));
        top->addWidget(box, 1);
    }
    auto* tabs = new QTabWidget(&dialog);
    tabs->setIconSize(QSize(16, 16));
    for (const WindowContents::Tab& t : c.tabs) {
        auto* page = new QWidget(tabs);
        auto* row = new QHBoxLayout(page);
        auto* grid = new QTableView(page);
        auto* model = new QStandardItemModel(int(t.rows.size()), int(t.titles.size()), grid);
        model->setHorizontalHeaderLabels(t.titles);
        for (size_t r = 0; r < t.rows.size(); ++r)
            for (qsizetype col = 0; col < t.rows[r].size(); ++col)
                model->setItem(int(r), int(col), new QStandardItem(t.rows[r][col]));
        grid->setModel(model);
        row->addWidget(grid, 1);
        auto* buttons = new QVBoxLayout;
        for (const QString& b : t.buttons)
            buttons->addWidget(new QPushButton(b, page));
        buttons->addStretch(1);
        row->addLayout(buttons);
        tabs->addTab(page, t.icon, t.caption);
    }
    auto* bottom = new QHBoxLayout;
    for (const QString& b : c.buttons)
        bottom->addWidget(new QPushButton(b, &dialog));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(top);
    layout->addWidget(tabs, 1);
    layout->addLayout(bottom);
    dialog.setFixedSize(c.size);
    showModallyAndPaint(&dialog);
    return msSince(start);
}

// Runs a step twice and answers the milliseconds the second run measured:
// each side then finds its code, the engine's and the member's pages in the
// caches, so the figure is of the work alone.
template <class Step> double secondRun(const Step& step) {
    step();
    return step();
}

Opening measureOpening(const QString& path, int samples) {
    const std::unique_ptr<qv::Connection> connection = OpenRegister(path);
    const BareEngine bareEngine(path);
    sqlite3* db = bareEngine.handle();
    const std::vector<QByteArray> statements = {
        bareText(MemberSQL::MemberRowSQL()),         bareText(MemberSQL::MemberDatesJoinedSQL()),
        bareText(MemberSQL::MemberAssetsSQL()),      bareText(MemberSQL::MemberProfilesSQL()),
        bareText(MemberSQL::MemberFeePaymentsSQL()), bareText(MemberSQL::MemberFilesSQL()),
        bareText(MemberSQL::MemberNotesSQL())};
    std::vector<sqlite3_stmt*> kept;
    for (const QByteArray& text : statements) {
        kept.push_back(nullptr);
        sqlite3_prepare_v2(db, text.constData(), int(text.size()), &kept.back(), nullptr);
    }
    Opening o;
    quint64 checksum = 0;
    const std::vector<qint64> members = sampleMembers(*connection, samples + 1);
    for (size_t i = 0; i < members.size(); ++i) {
        const bool warmUp = i == 0;
        const int id = int(members[i]);
        int ourRows = 0, bareRows = 0, keptRows = 0;

        // The whole opening.
        const double window = secondRun([&] {
            std::unique_ptr<TfrmMember> frm;
            const Clock::time_point start = Clock::now();
            openWindow(frm, *connection, id);
            const double ms = msSince(start);
            closeWindow(frm, *connection);
            return ms;
        });

        // Its parts: building the window, the seven datasets, showing and
        // painting.
        connection->beginTrans();
        Clock::time_point start = Clock::now();
        auto frm = std::make_unique<TfrmMember>();
        const double build = msSince(start);
        start = Clock::now();
        frm->OpenForMember(*connection, id);
        const double datasets = msSince(start);
        start = Clock::now();
        showModallyAndPaint(frm.get());
        const double paint = msSince(start);
        const WindowContents contents = contentsOf(*frm);
        closeWindow(frm, *connection);

        const double plain = secondRun([&] {
            connection->beginTrans();
            const Clock::time_point start = Clock::now();
            ourRows = openPlainDatasets(*connection, id);
            const double ms = msSince(start);
            connection->rollbackTrans();
            return ms;
        });
        // The engine's read transaction ends untimed, as the visit's does.
        const auto bareRun = [&](int& rows, const auto& read) {
            return secondRun([&] {
                const Clock::time_point start = Clock::now();
                rows = read();
                const double ms = msSince(start);
                sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
                return ms;
            });
        };
        const double bare =
            bareRun(bareRows, [&] { return openBare(db, statements, id, checksum); });
        const double bareKept =
            bareRun(keptRows, [&] { return openBareKept(db, kept, id, checksum); });
        if (ourRows != bareRows || keptRows != bareRows) {
            std::fprintf(stderr, "member %d: our datasets read %d rows, the engine %d and %d\n", id,
                         ourRows, bareRows, keptRows);
            std::exit(3);
        }

        // The floor for any window: an empty dialog of the same size, built,
        // shown modally and painted.
        const double emptyDialog = secondRun([&] {
            const Clock::time_point start = Clock::now();
            QDialog empty;
            empty.resize(contents.size);
            showModallyAndPaint(&empty);
            return msSince(start);
        });

        const double replica = secondRun([&] { return openQtReplica(contents); });

        if (warmUp)
            continue;
        o.window.push_back(window);
        o.build.push_back(build);
        o.datasets.push_back(datasets);
        o.paint.push_back(paint);
        o.bare.push_back(bare);
        o.bareKept.push_back(bareKept);
        o.plain.push_back(plain);
        o.emptyDialog.push_back(emptyDialog);
        o.replica.push_back(replica);
    }
    for (sqlite3_stmt* stmt : kept)
        sqlite3_finalize(stmt);
    std::printf("(checksum %llu)\n", checksum);
    return o;
}

struct Deleting {
    std::vector<double> window, bare;
    double subRecords = 0; // per member, on average
};

Deleting measureDelete(const QString& path, int samples) {
    Deleting d;
    const std::unique_ptr<qv::Connection> connection = OpenRegister(path);
    const std::vector<qint64> members = sampleMembers(*connection, samples + 1);
    qint64 rowsGone = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const bool warmUp = i == 0;
        connection->beginTrans();
        qv::Dataset member(connection.get());
        member.setSQL(MemberSQL::MemberRowSQL());
        member.setBaseTable("Members", "MemberID");
        member.setParameter("MemberID", qint64(members[i]));
        member.open();
        const qint64 before = sqlite3_total_changes(connection->sqliteHandle());
        const Clock::time_point start = Clock::now();
        member.deleteRecord();
        const double ms = msSince(start);
        rowsGone += sqlite3_total_changes(connection->sqliteHandle()) - before;
        connection->rollbackTrans();
        if (!warmUp)
            d.window.push_back(ms);
    }
    connection->close();
    d.subRecords = double(rowsGone) / double(members.size()) - 1;

    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        std::exit(1);
    }
    sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    for (size_t i = 0; i < members.size(); ++i) {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "DELETE FROM Members WHERE MemberID = ?", -1, &stmt, nullptr);
        sqlite3_bind_int64(stmt, 1, members[i]);
        const Clock::time_point start = Clock::now();
        sqlite3_step(stmt);
        const double ms = msSince(start);
        sqlite3_finalize(stmt);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (i > 0)
            d.bare.push_back(ms);
    }
    sqlite3_close(db);
    return d;
}

// The first change of a visit: the member and his six lists read, then his
// city changed and posted, rolled back untimed. On a file register this is
// where the visit's transaction first takes the file. The bare engine runs
// the one UPDATE in a transaction of its own.
struct FirstChange {
    std::vector<double> window, bare;
};

FirstChange measureFirstChange(const QString& path, int samples) {
    FirstChange f;
    {
        const std::unique_ptr<qv::Connection> connection = OpenRegister(path);
        const std::vector<qint64> members = sampleMembers(*connection, samples + 1);
        for (size_t i = 0; i < members.size(); ++i) {
            connection->beginTrans();
            PlainDatasets datasets(*connection, int(members[i]));
            datasets.open();
            datasets.member.field("City").setValue(qv::Value(QStringLiteral("York")));
            const Clock::time_point start = Clock::now();
            datasets.member.post();
            const double ms = msSince(start);
            connection->rollbackTrans();
            if (i > 0)
                f.window.push_back(ms);
        }
    }
    const BareEngine bareEngine(path);
    sqlite3* db = bareEngine.handle();
    const std::vector<qint64> members = [&] {
        const std::unique_ptr<qv::Connection> connection = OpenRegister(path);
        return sampleMembers(*connection, samples + 1);
    }();
    for (size_t i = 0; i < members.size(); ++i) {
        sqlite3_stmt* stmt = nullptr;
        const Clock::time_point start = Clock::now();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db, "UPDATE Members SET City = 'York' WHERE MemberID = ?", -1, &stmt,
                           nullptr);
        sqlite3_bind_int64(stmt, 1, members[i]);
        sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        const double ms = msSince(start);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (i > 0)
            f.bare.push_back(ms);
    }
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int members = 100000, small = 1000, samples = 40;
    quint64 seed = 1;
    Options("[--members 100000] [--small 1000] [--samples 40] [--seed 1]")
        .number("--members", members)
        .number("--small", small)
        .number("--samples", samples, 1)
        .number("--seed", seed)
        .parse(app.arguments());

    // Settings of our own that name the register: the window's write test
    // runs as it does for the user, and no stray settings switch the dialect.
    const OwnSettings settings;
    const QString large = Register(members, seed);
    const QString smallPath = Register(small, seed);
    MemberSettings::SetAccessDatabase(large);

    const Opening o = measureOpening(large, samples);
    std::printf("Opening a member on %d members, median of %d members (ms):\n", members, samples);
    std::printf("  %-44s %9.2f\n", "window: built, seven datasets, first paint", median(o.window));
    std::printf("  %-44s %9.2f\n", "  of which building the window", median(o.build));
    std::printf("  %-44s %9.2f\n", "  of which the seven datasets", median(o.datasets));
    std::printf("  %-44s %9.2f\n", "  of which showing and the first paint", median(o.paint));
    std::printf("  %-44s %9.2f\n", "seven datasets alone, no window", median(o.plain));
    std::printf("  %-44s %9.2f\n", "bare engine: the seven statements", median(o.bare));
    std::printf("  %-44s %9.2f\n", "  the same, statements prepared beforehand",
                median(o.bareKept));
    std::printf("  %-44s %9.2f\n", "an empty dialog: built, first paint", median(o.emptyDialog));
    std::printf("  %-44s %9.2f\n", "the window's widgets from Qt alone, painted",
                median(o.replica));
    const double bare = median(o.bare), kept = median(o.bareKept);
    std::printf("  ratio to the bare engine:        window %.2f; window's datasets %.2f; "
                "datasets alone %.2f;\n    empty dialog + bare %.2f; Qt's widgets + bare %.2f\n",
                median(o.window) / bare, median(o.datasets) / bare, median(o.plain) / bare,
                (median(o.emptyDialog) + bare) / bare, (median(o.replica) + bare) / bare);
    std::printf("  window / (Qt's widgets + bare) %.2f\n",
                median(o.window) / (median(o.replica) + bare));
    std::printf("  ratio to statements prepared once: window %.2f; window's datasets %.2f; "
                "datasets alone %.2f\n\n",
                median(o.window) / kept, median(o.datasets) / kept, median(o.plain) / kept);

    MemberSettings::SetAccessDatabase(smallPath);
    const Deleting ds = measureDelete(smallPath, samples);
    MemberSettings::SetAccessDatabase(large);
    const Deleting dl = measureDelete(large, samples);
    std::printf("Delete Member, median of %d members, rolled back (ms):\n", samples);
    std::printf("  %-12s %14s %14s %12s %16s\n", "members", "through window", "bare engine",
                "ratio", "sub-records each");
    for (const auto& [size, d] : {std::pair{small, &ds}, std::pair{members, &dl}})
        std::printf("  %-12d %14.3f %14.3f %12.2f %16.1f\n", size, median(d->window),
                    median(d->bare), median(d->window) / median(d->bare), d->subRecords);
    std::printf("  growth %d -> %d members: window %.2fx, bare %.2fx\n", small, members,
                median(dl.window) / median(ds.window), median(dl.bare) / median(ds.bare));

    const FirstChange fc = measureFirstChange(large, samples);
    std::printf("\nFirst change of a visit (seven datasets read, the member's city posted), "
                "median of %d members, rolled back (ms):\n",
                samples);
    std::printf("  %-44s %9.3f\n", "our datasets", median(fc.window));
    std::printf("  %-44s %9.3f\n", "bare engine: BEGIN and the UPDATE", median(fc.bare));
    std::printf("  ratio %.2f\n", median(fc.window) / median(fc.bare));
    return 0;
}
