// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

// Registers of any size with the shape of a real club's, for measurements.
// The same member count and seed always give the same rows, on any machine,
// so figures taken on different days compare.
namespace qv::bench {

struct RegisterCounts {
    qint64 members = 0;
    qint64 periods = 0;
    qint64 levels = 0;
    qint64 payments = 0;
    qint64 assetIssues = 0;
    qint64 profileHoldings = 0;
    qint64 notes = 0;
    qint64 files = 0;
};

// The generated history ends on this day: periods begin in the forty years
// before it, payments in the eight years before it. A few periods end after
// it, so that "ends in the future" occurs whatever day the measurement runs.
QDate GeneratedHistoryEnd();

// Creates a new register at `path` (which must not exist) with the program's
// own schema code and fills it: levels with colours and long-service flags,
// assets and profiles; members with names that carry accents and
// apostrophes, some without address, city or e-mail; one to four periods
// each, some ended and some rejoined, a few members without any period and a
// few with two periods starting on the same day; payments, asset issues (some
// returned), profile holdings (some ended), notes and file references.
// Built as New builds a register (DBCreate::CreateAccessRegister): the rows
// go in through prepared statements in the transaction that made the tables,
// and the file appears only when complete. Throws qv::DatabaseError on
// failure and leaves no file behind.
RegisterCounts GenerateRegister(const QString& path, int members, quint64 seed = 1);

// The folder generated registers are kept in: $QV_BENCH_CACHE, else the
// user's cache folder ("~/.cache/quorvane-bench"). Never the source tree.
QString RegisterCacheFolder();

// A generated register for this size and seed, made on first use and kept in
// the cache folder; answers its path. `generatedMs`, when given, receives the
// time spent generating (0 when the file was already there).
QString CachedRegister(int members, quint64 seed = 1, qint64* generatedMs = nullptr);

} // namespace qv::bench
