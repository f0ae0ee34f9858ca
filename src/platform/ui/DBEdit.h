// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <QPointer>

namespace qv {

class Dataset;

// An edit bound to one column of a dataset's current row: it shows the
// column's text, accepts at most the column's declared width, and writes its
// text into the row when it loses the focus (an empty text as null). Nothing
// is stored before the dataset posts the row.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(Dataset* dataset, const QString& field, QWidget* parent = nullptr);

    QString fieldName() const { return m_field; }

    // Writes the text into the row now, when it differs from the column's.
    void updateRecord();
    // Whether updateRecord would write: text typed and not yet in the row.
    bool holdsUnwrittenText() const;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Shows the current row's value.
    void load();

    QPointer<Dataset> m_dataset;
    QString m_field;
};

} // namespace qv
