// SPDX-License-Identifier: GPL-3.0-or-later
#include "import/JetImport.h"

#include "db/ChangeLog.h"
#include "db/DBCreate.h"
#include "db/RegisterTables.h"
#include "import/JetReader.h"
#include "platform/data/Connection.h"
#include "platform/data/DatabaseError.h"
#include "platform/data/Query.h"

#include <QDir>
#include <QFileInfo>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace JetImport {

namespace {

using JetReader::ColumnKind;

struct Cancelled {};

struct Failure {
    Failure(const QString& why, const QStringList& loss = {})
        : message(why)
        , columnLoss(loss) {}
    QString message;
    QStringList columnLoss;
};

// The one column a register older than it lacks; the upgrade adds it.
bool AddedByUpgrade(const QString& table, const QString& column) {
    return table.compare(QLatin1String("DatesJoined"), Qt::CaseInsensitive) == 0 &&
           column.compare(QLatin1String("MembershipNo"), Qt::CaseInsensitive) == 0;
}

QString quoted(const QString& path) {
    return u'"' + QDir::toNativeSeparators(path) + u'"';
}

// How a column of the register takes its values, from its declared type.
enum class Target { Integer, Text, Date, Boolean, Amount };

Target targetOf(const QString& declared) {
    const QString t = declared.toLower();
    if (t.contains(QLatin1String("char")))
        return Target::Text;
    if (t.contains(QLatin1String("date")))
        return Target::Date;
    if (t == QLatin1String("yesno") || t == QLatin1String("bit"))
        return Target::Boolean;
    if (t.startsWith(QLatin1String("decimal")) || t.contains(QLatin1String("money")))
        return Target::Amount;
    return Target::Integer;
}

bool accepts(Target target, ColumnKind source) {
    switch (target) {
    case Target::Integer:
        return source == ColumnKind::Integer;
    case Target::Text:
        return source == ColumnKind::Text;
    case Target::Date:
        return source == ColumnKind::DateTime;
    case Target::Boolean:
        return source == ColumnKind::Boolean;
    case Target::Amount:
        return source == ColumnKind::Money || source == ColumnKind::Decimal ||
               source == ColumnKind::Float || source == ColumnKind::Integer;
    }
    return false;
}

struct ColumnPlan {
    QString name;
    Target target = Target::Integer;
    int source = -1; // column of the Jet table
    std::string buffer;
};

struct TablePlan {
    QString name;
    QString key;
    int keySource = -1;
    std::unique_ptr<JetReader::Table> source;
    std::vector<ColumnPlan> columns; // those the Jet table has
    std::vector<int> leftBehind;     // Jet columns the register lacks
    std::vector<qint64> leftBehindCounts;
};

// The register's tables in the order they were made (parents first), with
// their columns as the engine lists them.
struct RegisterColumn {
    QString name;
    QString type;
    bool notNull = false;
    bool key = false;
    QString defaultValue; // as written in the schema; empty: null
};
struct RegisterTable {
    QString name;
    std::vector<RegisterColumn> columns;
};

std::vector<RegisterTable> readSchema(qv::Connection& connection) {
    std::vector<RegisterTable> tables;
    qv::Query query(&connection);
    query.setSQL(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name "
                                "NOT LIKE 'sqlite%' ORDER BY rowid"));
    qv::Result names;
    query.fetch(names);
    for (int row = 0; row < names.rows.rowCount(); ++row) {
        RegisterTable table;
        table.name = names.rows.textOf(names.rows.cell(row, 0));
        qv::Query info(&connection);
        info.setSQL(QStringLiteral("SELECT name, type, \"notnull\", dflt_value, pk FROM "
                                   "pragma_table_info(:Table)"));
        info.setParameter(QStringLiteral("Table"), table.name);
        qv::Result columns;
        info.fetch(columns);
        const qv::RowStore& r = columns.rows;
        for (int c = 0; c < r.rowCount(); ++c) {
            RegisterColumn column;
            column.name = r.textOf(r.cell(c, 0));
            column.type = r.textOf(r.cell(c, 1));
            column.notNull = r.value(r.cell(c, 2)).toInteger() != 0;
            column.defaultValue = r.value(r.cell(c, 3)).toText();
            column.key = r.value(r.cell(c, 4)).toInteger() != 0;
            table.columns.push_back(column);
        }
        tables.push_back(std::move(table));
    }
    return tables;
}

class Importer {
public:
    Importer(JetReader::Database& jet, Summary& summary, const ProgressCallback& progress,
             const Options& options)
        : m_jet(jet)
        , m_summary(summary)
        , m_progress(progress)
        , m_options(options) {}

    // Matches the Jet tables and columns with the register's; everything that
    // would stop the copy is found here, before a row is written.
    void plan(const std::vector<RegisterTable>& schema) {
        QStringList missing, loss;
        for (const RegisterTable& table : schema) {
            TablePlan plan;
            plan.name = table.name;
            plan.source = m_jet.openTable(table.name);
            if (!plan.source) {
                missing << table.name;
                continue;
            }
            const JetReader::Table& source = *plan.source;
            std::vector<bool> used(source.columns().size(), false);
            for (const RegisterColumn& column : table.columns) {
                const int index = source.columnIndex(column.name);
                if (column.key) {
                    plan.key = column.name;
                    plan.keySource = index;
                }
                if (index < 0) {
                    if (column.key || column.notNull)
                        throw Failure{QStringLiteral("The table %1 in %2 has no column %3, which "
                                                     "every row of the register needs.")
                                          .arg(table.name, quoted(m_summary.source), column.name)};
                    if (!AddedByUpgrade(table.name, column.name)) {
                        loss << QStringLiteral("%1.%2 is missing").arg(table.name, column.name);
                        finding(table.name + u'.' + column.name,
                                QStringLiteral("a column the file lacks (damaged?); left empty "
                                               "in every row"))
                            .count += source.declaredRows();
                        continue;
                    }
                    m_summary.notes << QStringLiteral("%1.%2: the old register was made before "
                                                      "this column existed; it was added %3 in "
                                                      "every row, as the upgrade of an old "
                                                      "register adds it.")
                                           .arg(table.name, column.name,
                                                column.defaultValue.isEmpty()
                                                    ? QStringLiteral("empty")
                                                    : QStringLiteral("with its default ") +
                                                          column.defaultValue);
                    continue;
                }
                const JetReader::Column& jetColumn = source.columns()[size_t(index)];
                const Target target = targetOf(column.type);
                if (!accepts(target, jetColumn.kind))
                    throw Failure{QStringLiteral("The column %1.%2 in %3 holds values of the type "
                                                 "%4, which the register's column (%5) cannot "
                                                 "take unchanged.")
                                      .arg(table.name, jetColumn.name, quoted(m_summary.source),
                                           jetColumn.typeName, column.type)};
                used[size_t(index)] = true;
                plan.columns.push_back({column.name, target, index, {}});
            }
            for (size_t i = 0; i < used.size(); ++i) {
                if (used[i])
                    continue;
                plan.leftBehind.push_back(int(i));
                loss << QStringLiteral("%1.%2 is a column the register does not know")
                            .arg(table.name, source.columns()[i].name);
            }
            plan.leftBehindCounts.assign(plan.leftBehind.size(), 0);
            m_total += source.declaredRows();
            m_plans.push_back(std::move(plan));
        }
        if (!missing.isEmpty()) {
            if (int(missing.size()) == int(schema.size()))
                throw Failure{QStringLiteral("%1 is an Access database, but not a membership "
                                             "register: it has none of the register's tables.")
                                  .arg(quoted(m_summary.source))};
            throw Failure{QStringLiteral("%1 is not a complete membership register: %2 %3 "
                                         "missing.")
                              .arg(quoted(m_summary.source),
                                   missing.size() == 1 ? QStringLiteral("the table")
                                                       : QStringLiteral("the tables"),
                                   missing.join(QStringLiteral(", ")) +
                                       (missing.size() == 1 ? QStringLiteral(" is")
                                                            : QStringLiteral(" are")))};
        }
        // A column missing or unknown is what a damaged name in a table's
        // definition looks like: its values would be lost without a word.
        if (!loss.isEmpty() && !m_options.acceptColumnLoss)
            throw Failure{QStringLiteral("The columns of %1 differ from the register's: %2. The "
                                         "file may be damaged; importing it would lose the "
                                         "values of these columns.")
                              .arg(quoted(m_summary.source), loss.join(QStringLiteral("; "))),
                          loss};
        for (const QString& name : m_jet.tableNames()) {
            const bool known = std::any_of(schema.begin(), schema.end(), [&](const auto& t) {
                return t.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (known)
                continue;
            const std::unique_ptr<JetReader::Table> extra = m_jet.openTable(name);
            finding(name, QStringLiteral("a table the register does not have; its rows were not "
                                         "carried"))
                .count += extra ? extra->declaredRows() : 0;
        }
    }

    void copyAll(qv::Connection& connection) {
        sqlite3* db = connection.sqliteHandle();
        // The new register's own first level goes: the old register brings its own.
        for (const TablePlan& plan : m_plans)
            connection.execute(QStringLiteral("DELETE FROM ") + qv::quoteIdentifier(plan.name));
        connection.execute(QStringLiteral("DELETE FROM sqlite_sequence"));
        for (TablePlan& plan : m_plans)
            copy(db, plan);
    }

private:
    Finding& finding(const QString& place, const QString& what) {
        for (Finding& f : m_summary.notCarried)
            if (f.place == place && f.what == what)
                return f;
        m_summary.notCarried.push_back({place, what, 0, {}});
        return m_summary.notCarried.back();
    }

    void note(const TablePlan& plan, const QString& column, const QString& what) {
        Finding& f = finding(plan.name + u'.' + column, what);
        ++f.count;
        if (f.examples.size() < 5)
            f.examples << rowName(plan);
    }

    QString rowName(const TablePlan& plan) const {
        if (plan.keySource < 0 || plan.source->isNull(plan.keySource))
            return plan.key + QStringLiteral(" (none)");
        return plan.key + u' ' + QString::number(plan.source->integer(plan.keySource));
    }

    void report(const QString& table) {
        if (m_progress && !m_progress(Progress{table, m_done, m_total}))
            throw Cancelled{};
    }

    void copy(sqlite3* db, TablePlan& plan) {
        QStringList names, marks;
        for (const ColumnPlan& column : plan.columns) {
            names << qv::quoteIdentifier(column.name);
            marks << QStringLiteral("?");
        }
        const QByteArray sql =
            (QStringLiteral("INSERT INTO ") + qv::quoteIdentifier(plan.name) +
             QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
             QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + u')')
                .toUtf8();
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &raw, nullptr) != SQLITE_OK)
            throw qv::DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw,
                                                                              sqlite3_finalize);

        JetReader::Table& source = *plan.source;
        TableCount count{plan.name, 0, 0};
        report(plan.name);
        while (source.next()) {
            ++count.read;
            for (size_t i = 0; i < plan.columns.size(); ++i)
                bind(raw, int(i) + 1, plan, plan.columns[i]);
            for (size_t i = 0; i < plan.leftBehind.size(); ++i)
                if (!source.isNull(plan.leftBehind[i]))
                    ++plan.leftBehindCounts[i];
            if (sqlite3_step(raw) != SQLITE_DONE) {
                QString why = QString::fromUtf8(sqlite3_errmsg(db));
                if (sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_FOREIGNKEY)
                    why += QStringLiteral(" (it refers to a row the old register does not hold)");
                throw Failure{QStringLiteral("The row with %1 of the table %2 could not be "
                                             "carried: %3.")
                                  .arg(rowName(plan), plan.name, why)};
            }
            sqlite3_reset(raw);
            ++count.written;
            if ((++m_done & 255) == 0)
                report(plan.name);
        }
        if (count.read != source.declaredRows())
            throw Failure{QStringLiteral("The table %1 in %2 holds %3 rows by its own count, but "
                                         "%4 could be read: the file seems damaged or cut short.")
                              .arg(plan.name, quoted(m_summary.source))
                              .arg(source.declaredRows())
                              .arg(count.read)};
        for (size_t i = 0; i < plan.leftBehind.size(); ++i) {
            if (plan.leftBehindCounts[i] == 0)
                continue;
            const QString column = source.columns()[size_t(plan.leftBehind[i])].name;
            finding(plan.name + u'.' + column,
                    QStringLiteral("a column the register does not have; its values were not "
                                   "carried"))
                .count += plan.leftBehindCounts[i];
        }
        m_summary.tables.push_back(count);
        report(plan.name);
    }

    void bind(sqlite3_stmt* statement, int slot, const TablePlan& plan, ColumnPlan& column) {
        const JetReader::Table& source = *plan.source;
        if (source.isNull(column.source)) {
            sqlite3_bind_null(statement, slot);
            return;
        }
        switch (column.target) {
        case Target::Integer:
            sqlite3_bind_int64(statement, slot, source.integer(column.source));
            return;
        case Target::Boolean:
            sqlite3_bind_int(statement, slot, source.boolean(column.source) ? 1 : 0);
            return;
        case Target::Amount: {
            bool exact = true;
            const double value = source.number(column.source, exact);
            if (!exact)
                note(plan, column.name,
                     QStringLiteral("amounts with more digits than the register keeps, rounded"));
            sqlite3_bind_double(statement, slot, value);
            return;
        }
        case Target::Date: {
            const JetReader::DateText date = source.dateTime(column.source);
            if (!date.valid)
                throw Failure{QStringLiteral("The row with %1 of the table %2 holds no valid date "
                                             "in %3: the file seems damaged.")
                                  .arg(rowName(plan), plan.name, column.name)};
            if (!date.wholeSecond)
                note(plan, column.name,
                     QStringLiteral("times with a fraction of a second, rounded to the second"));
            column.buffer.assign(date.text, 19);
            break;
        }
        case Target::Text:
            if (source.text(column.source, column.buffer) > 0)
                note(plan, column.name,
                     QStringLiteral("texts with a broken character (half of a surrogate pair), "
                                    "written as U+FFFD"));
            break;
        }
        sqlite3_bind_text64(statement, slot, column.buffer.data(), column.buffer.size(),
                            SQLITE_STATIC, SQLITE_UTF8);
    }

    JetReader::Database& m_jet;
    Summary& m_summary;
    const ProgressCallback& m_progress;
    const Options& m_options;
    std::vector<TablePlan> m_plans;
    qint64 m_total = 0;
    qint64 m_done = 0;
};

} // namespace

qint64 Summary::rowsRead() const {
    qint64 n = 0;
    for (const TableCount& t : tables)
        n += t.read;
    return n;
}

qint64 Summary::rowsWritten() const {
    qint64 n = 0;
    for (const TableCount& t : tables)
        n += t.written;
    return n;
}

QString Summary::text() const {
    QStringList lines;
    lines
        << QStringLiteral("Imported %1 (%2) into %3.").arg(quoted(source), format, quoted(target));
    lines << QString() << QStringLiteral("Rows read and written:");
    for (const TableCount& t : tables)
        lines << QStringLiteral("%1: %2 read, %3 written").arg(t.table).arg(t.read).arg(t.written);
    lines << QStringLiteral("In all: %1 read, %2 written").arg(rowsRead()).arg(rowsWritten());
    lines << QString();
    if (notCarried.empty()) {
        lines << QStringLiteral("Every value was carried exactly.");
    } else {
        lines << QStringLiteral("Not carried exactly:");
        for (const Finding& f : notCarried) {
            QString line = QStringLiteral("- %1: %2, %3").arg(f.place, f.what).arg(f.count);
            if (!f.examples.isEmpty())
                line += QStringLiteral(" (%1%2)").arg(
                    f.examples.join(QStringLiteral(", ")),
                    f.count > f.examples.size() ? QStringLiteral(" ...") : QString());
            lines << line;
        }
    }
    if (!notes.isEmpty()) {
        lines << QString() << QStringLiteral("Notes:");
        for (const QString& n : notes)
            lines << QStringLiteral("- ") + n;
    }
    return lines.join(u'\n');
}

Result ImportRegister(const QString& jetPath, const QString& newPath,
                      const ProgressCallback& progress, const Options& options) {
    Result result;
    Summary& summary = result.summary;
    summary.source = QFileInfo(jetPath).absoluteFilePath();
    summary.target = QFileInfo(newPath).absoluteFilePath();
    try {
        if (QFileInfo::exists(newPath) || QFileInfo(newPath).isSymLink())
            throw Failure{QStringLiteral("There is already a file at %1; the import makes a new "
                                         "register and never writes over a file.")
                              .arg(quoted(summary.target))};
        JetReader::Database jet(jetPath);
        summary.format = JetReader::FormatName(jet.format());
        Importer importer(jet, summary, progress, options);
        if (progress && !progress(Progress{}))
            throw Cancelled{};

        // Built as New builds a register, the rows copied in the same
        // transaction as the schema, before the file is put in place.
        DBCreate::CreateAccessRegister(summary.target, [&](qv::Connection& connection) {
            importer.plan(readSchema(connection));
            importer.copyAll(connection);
            // The register's history starts with the import.
            RegisterTables::CreateMissing(connection);
            ChangeLog::WriteEntry(connection,
                                  QStringLiteral("Import from ") + QFileInfo(jetPath).fileName(),
                                  ChangeLog::KindImport());
        });
        result.outcome = Outcome::Imported;
    } catch (const Cancelled&) {
        result.outcome = Outcome::Cancelled;
    } catch (const Failure& e) {
        result.message = e.message;
        result.columnLoss = e.columnLoss;
    } catch (const qv::DatabaseError& e) {
        result.message = e.message();
    } catch (const std::exception& e) {
        result.message = QString::fromUtf8(e.what());
    }
    if (result.outcome != Outcome::Imported) {
        summary.tables.clear();
        summary.notCarried.clear();
        summary.notes.clear();
    }
    return result;
}

QString ProposedRegisterPath(const QString& jetPath) {
    const QFileInfo info(jetPath);
    const QString stem = info.absolutePath() + u'/' + info.completeBaseName();
    for (int n = 1;; ++n) {
        const QString candidate = stem + (n == 1 ? QStringLiteral(" (imported).mdb")
                                                 : QStringLiteral(" (imported %1).mdb").arg(n));
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

} // namespace JetImport
