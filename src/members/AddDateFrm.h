// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QDialog>
#include <optional>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {
class Connection;
class Dataset;
class DatePicker;
} // namespace qv

// The one design of the period, asset and profile dialogs: a lookup list, a
// first date, an optional second date with a tick box and a text field. The
// dialogs write nothing; the caller reads the controls after OK. Never shown
// by itself: the subclasses relabel, add or hide controls.
class TfrmAddDate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAddDate(QWidget* parent = nullptr);

    // Lists `listColumn` of the rows of `lookupSQL` (in the query's order),
    // keyed by `keyColumn`; preselects the row of the key set beforehand with
    // SetKeyValue, else the first; then shows the dialog modally. An empty
    // list shows "There is no categories to list." and nothing else. Answers
    // true when the dialog closed with OK.
    bool ShowWithLookup(qv::Connection& connection, const QString& lookupSQL,
                        const QString& listColumn, const QString& keyColumn);

    // The key of the chosen row; 0 with none.
    qint64 KeyValue() const;
    void SetKeyValue(qint64 key) { m_presetKey = key; }

    QLabel* lblMemberCategory;
    QComboBox* dblMemberCategory;
    QLabel* lblJoinDate;
    qv::DatePicker* dtpJoinDate;
    QLabel* lblEndDate;
    qv::DatePicker* dtpEndDate;
    QLabel* lblReasonEnded;
    QLineEdit* edtReasonEnded;
    QPushButton* btnAdd;
    QPushButton* btnCancel;
    qv::Dataset* adoMemberCategory;

public slots:
    // The text field follows the tick of the second date.
    void dtpEndDateChange();

    // Closes with OK only when every typed date and amount is one.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    // The add dialogs offer today for both dates, the second unticked; the
    // modify dialogs keep their preset values.
    virtual void FormShow();
    // Presets the two dates: the second is ticked when it is set (a null
    // date arrives as an invalid value or as day zero).
    void PresetDates(const QDateTime& first, const QDateTime& second);
    // The asset dialogs keep the text field enabled whatever the tick says.
    void KeepReasonEnabled();

    QFormLayout* m_form;

private:
    std::optional<qint64> m_presetKey;
};
