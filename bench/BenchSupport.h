#pragma once

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <vector>

struct sqlite3;

// What every measurement here shares: the clock, the median, and the bare
// engine as the yardstick our layers are compared with.
namespace qv::bench {

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
