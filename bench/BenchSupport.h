// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

class QWidget;
struct sqlite3;
struct sqlite3_stmt;

namespace qv {
class Connection;
}

// What every measurement here shares: the command line, the settings and the
// register it runs on, the clock, the median, and the bare engine as the
// yardstick our layers are compared with.
namespace qv::bench {

// The command line of a measurement: "--name value" options and "--name"
// switches, each read into the variable given, and at most one argument
// without a name. Anything else, or a missing argument, prints "usage:
// PROGRAM " and the usage text, and ends the program.
class Options {
public:
    explicit Options(const char* usage)
        : m_usage(usage) {}

    Options& number(const char* name, int& value, int atLeast = std::numeric_limits<int>::min());
    Options& number(const char* name, quint64& value);
    // Numbers separated by commas: "--sizes 1000,10000".
    Options& numbers(const char* name, std::vector<int>& values);
    // An option that takes `count` values: "--generate PATH MEMBERS".
    Options& texts(const char* name, int count, QStringList& values);
    Options& flag(const char* name, bool& value);
    // The argument without a name, which must then be given.
    Options& argument(QString& value);

    // Reads the program's arguments, its own name first.
    void parse(const QStringList& arguments) const;

private:
    struct Option {
        QString name;
        int count;
        std::function<void(const QStringList&)> set;
    };
    const char* m_usage;
    std::vector<Option> m_options;
    QString* m_argument = nullptr;
};

// A settings folder of the measurement's own while it lives: no stray
// settings file may switch the dialect of the SQL under the measurement.
class OwnSettings {
public:
    OwnSettings();

private:
    QTemporaryDir m_folder;
};

// The generated register of this size and seed (CachedRegister), saying so
// when it had to be generated first.
QString Register(int members, quint64 seed);

// A connection of our own layers to the register file, open.
std::unique_ptr<qv::Connection> OpenRegister(const QString& path);

// The SQL of our layers as the bare engine takes it: the Jet text adapted to
// SQLite's dialect, its parameters as question marks.
QByteArray BareSql(const QString& sql);

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);

// The median of `v`; with an even count, the mean of the middle two.
double median(std::vector<double> v);

// One line of /proc/self/status ("VmRSS:", "VmHWM:"), in kilobytes; -1 when
// it cannot be read.
qint64 procStatusKb(const char* key);

// Resets the peak resident size, so VmHWM measures from here on.
bool resetPeak();

// The bare engine on SQL already in SQLite's dialect: prepare, bind `value` to
// each of the `parameters`, step, and read every column of every row, so that
// both sides pay for fetching the values. Answers the milliseconds taken;
// `rows` receives the row count and the values read are added to `checksum`,
// which the caller prints so the compiler cannot drop the reads. A statement
// that does not prepare ends the program: its figures would mean nothing.
double runBare(sqlite3* db, const QByteArray& text, int parameters, const QByteArray& value,
               int& rows, quint64& checksum);
// The same with a whole number bound to each parameter, as our layers bind a
// key.
double runBare(sqlite3* db, const QByteArray& text, int parameters, qint64 value, int& rows,
               quint64& checksum);
// Steps a statement already bound to its end, reading every column of every
// row into `checksum`; answers the row count.
int readRows(sqlite3_stmt* stmt, quint64& checksum);

// Counts the paints of the widget it filters, so a step can be timed up to
// the moment its result is on the screen.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// Lets the window system deliver the pending show, layout and paint events,
// then paints `widget` now if `counter` (which filters it) has seen no paint
// since it stood at `before`.
void PaintNow(QWidget* widget, const PaintCounter& counter, int before = 0);

// The engine alone on a register file, read-only: none of our connection's
// additions (the case-folding LIKE, the name collation) are installed, so the
// yardstick is the engine as it comes. A file that does not open ends the
// program.
class BareEngine {
public:
    explicit BareEngine(const QString& path);
    ~BareEngine();
    BareEngine(const BareEngine&) = delete;
    BareEngine& operator=(const BareEngine&) = delete;
    sqlite3* handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

} // namespace qv::bench
