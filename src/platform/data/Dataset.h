// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Provider.h"
#include "platform/data/Query.h"
#include "platform/data/Value.h"

#include <QObject>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace qv {

class Connection;
class Dataset;

// A handle on one column of a dataset's current row.
class Field {
public:
    Field(Dataset* dataset, int column)
        : m_dataset(dataset)
        , m_column(column) {}

    QString name() const;
    FieldType type() const;
    // Declared width of a text column; 0 when the engine does not say.
    int size() const;
    int index() const { return m_column; }

    bool isNull() const;
    Value value() const;
    // Text as the user sees it: dates in the regional format, yes/no as
    // "True"/"False", null as empty text.
    QString asString() const;
    qint64 asInteger() const;
    double asFloat() const;
    // A null date reads as 30 December 1899.
    QDateTime asDateTime() const;
    bool asBoolean() const;

    // Changes the current row's value; the dataset enters edit mode if it was
    // browsing. Nothing reaches the database before post().
    void setValue(const Value& value);
    void clear() { setValue(Value()); }

private:
    Dataset* m_dataset;
    int m_column;
};

// A window's dataset: a static cursor over rows read into memory, with
// navigation by record number, client-side sort, the past-members filter,
// editing against a base table, and the master–detail link.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Dataset(Connection* connection = nullptr, QObject* parent = nullptr);
    ~Dataset() override;

    void setConnection(Connection* connection);
    Connection* connection() const { return m_query.connection(); }

    // The SQL and its parameters.
    Query& query() { return m_query; }
    const Query& query() const { return m_query; }
    void setSQL(const QStringList& lines) { m_query.setSQL(lines); }
    void setSQL(const QString& text) { m_query.setSQL(text); }
    void setParameter(const QString& name, const Value& value) {
        m_query.setParameter(name, value);
    }

    void open();
    void close();
    bool isActive() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    // Runs the query again and returns to the same record number when the
    // result is still that long (otherwise to the first row).
    void requery();

    // Navigation over the visible rows (after the filter, in sort order).
    bool isEmpty() const { return m_visible.empty(); }
    int recordCount() const { return int(m_visible.size()); }
    // From 1; 0 when there is no current row or the current row is new.
    int recNo() const;
    void setRecNo(int recNo);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    void first();
    void last();
    void next();
    void prior();

    // Columns.
    int fieldCount() const { return int(m_result.columns.size()); }
    const ColumnInfo& column(int index) const { return m_result.columns[size_t(index)]; }
    // Case-insensitive; -1 when there is no such column.
    int fieldIndex(const QString& name) const;
    // Throws DatabaseError when there is no such column.
    Field field(const QString& name);
    Field field(int index) { return Field(this, index); }
    Field fieldByName(const QString& name) { return field(name); }

    // Direct reads of any visible row (0-based), for grids and reports that
    // must not move the cursor. The current row's unposted edits show too.
    Value valueAt(int row, int column) const;
    bool isNullAt(int row, int column) const;
    QString textAt(int row, int column) const;
    int currentIndex() const { return m_current; }

    // Client-side sort: "Column ASC" or "Column DESC", several separated by
    // commas; empty for the query's own order. Reset when the query re-runs.
    void setSort(const QString& sort);
    QString sort() const { return m_sortText; }

    // The row filter, such as "(DateEnded = null)", applied while filtered.
    void setFilter(const QString& filter);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // Editing: rows are written to the base table, found by its key column.
    void setBaseTable(const QString& table, const QString& keyColumn);
    QString baseTable() const { return m_baseTable; }
    QString keyColumn() const { return m_keyColumn; }
    void insert();
    void append() { insert(); }
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    // True when the current row holds changes that are not yet posted.
    bool isModified() const;

    // Master–detail: parameters named like a master column take that
    // column's value on the master's current row; the detail re-runs when the
    // value changes, and new detail rows inherit it.
    void setMaster(Dataset* master);
    Dataset* master() const { return m_master; }

    // Memory held by the fetched rows, for measurements.
    size_t bytesUsed() const { return m_result.rows.bytesUsed(); }

signals:
    void afterOpen();
    void afterClose();
    void afterScroll();
    void afterPost();
    void afterDelete();
    void stateChanged();
    // The visible rows changed as a whole (open, sort, filter, insert, delete).
    void rowsReset();
    // One visible row changed its values.
    void rowChanged(int row);

private:
    friend class Field;

    Value currentValue(int column) const;
    void setCurrentValue(int column, const Value& value);
    void checkCurrentRow() const;
    void checkBrowse();
    void rebuildVisible();
    // Rebuilds the visible rows, staying on the current row while it is shown.
    void refreshVisible();
    void applySort();
    void moveToIndex(int index);
    void onMasterChanged();
    std::vector<Value> masterLinkValues() const;
    void applyMasterLink();
    bool writableColumn(int column, QString& baseName);
    void refreshRow(int storeRow, qint64 key);
    QString formatText(int column, const Value& value) const;

    Query m_query;
    Result m_result;
    State m_state = State::Inactive;

    std::vector<int> m_order;   // store rows in sort order
    std::vector<int> m_visible; // store rows shown: m_order after the filter
    int m_current = -1;         // index into m_visible
    bool m_eof = true;
    bool m_bof = true;

    QString m_sortText;
    QString m_filterText;
    QString m_filterColumn;
    bool m_filterNotNull = false;
    bool m_filtered = false;

    QString m_baseTable;
    QString m_keyColumn;
    QStringList m_baseColumns; // filled on first use, when the engine names no origins
    std::vector<std::optional<Value>> m_buffer;     // unposted values of the current row
    int m_editRow = -1;                             // store row being edited
    std::vector<std::pair<int, Value>> m_inherited; // a new detail row's master key

    Dataset* m_master = nullptr;
    std::vector<Value> m_linkValues;
};

} // namespace qv
