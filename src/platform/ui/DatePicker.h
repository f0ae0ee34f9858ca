#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QWidget>

class QCheckBox;
class QDateEdit;

namespace qv {

// Gives a date edit the program's look: the system's long date format and a
// drop-down calendar with a navy title bar.
void SetUpDateEdit(QDateEdit* edit);

// A date picker in the long date format with a drop-down calendar and,
// optionally, a tick box in front of the date that says whether a date is set
// at all (unticked, the date is greyed and reads as none).
//
// The value is a date-time: a value given with a time of day keeps it until
// the user picks another date, and a date the user picks is at midnight, so a
// stored value that is shown and not touched is written back as it was.
class DatePicker : public QWidget {
    Q_OBJECT
public:
    explicit DatePicker(bool withTickBox = false, QWidget* parent = nullptr);

    QDateTime dateTime() const;
    QDate date() const;
    // An invalid value leaves the picker as it is.
    void setDateTime(const QDateTime& value);
    void setDate(const QDate& day) { setDateTime(QDateTime(day, QTime(0, 0))); }

    bool hasTickBox() const { return m_tick != nullptr; }
    // Always true without a tick box.
    bool isChecked() const;
    void setChecked(bool checked);

    QDateEdit* dateEdit() const { return m_edit; }
    QCheckBox* tickBox() const { return m_tick; }
    // The date as shown.
    QString text() const;

signals:
    // The date or the tick changed, by the user or by the program.
    void changed();

private:
    void dateEdited();
    void updateEnabled();

    QCheckBox* m_tick = nullptr;
    QDateEdit* m_edit = nullptr;
    QTime m_time{0, 0};
    bool m_setting = false;
};

} // namespace qv
