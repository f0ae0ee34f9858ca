// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QWidget>

class QCalendarWidget;
class QCheckBox;
class QLineEdit;
class QMenu;
class QToolButton;

namespace qv {

// A date field: the date shown in the system's long date format, typed in
// one go in the short date form or as yyyy-mm-dd, or picked from a drop-down
// calendar (the button, Alt+Down or F4); Up and Down move it by a day.
// Optionally a tick box in front of the date says whether a date is set at
// all (unticked, the date is greyed and reads as none).
//
// Entering the field selects the whole date, so typing replaces it. A typed
// date is read when the field is left or Enter is pressed, and then shown in
// the long form; a text that is no date stays as typed until commitTyped()
// refuses it, so nothing typed is ever silently changed into another date.
//
// The value is a date-time: a value given with a time of day keeps it until
// the user enters another date, and a date the user enters is at midnight, so
// a stored value that is shown and not touched is written back as it was.
class DatePicker : public QWidget {
    Q_OBJECT
public:
    explicit DatePicker(bool withTickBox = false, QWidget* parent = nullptr);

    // The date held: the last date entered or set, not a text still being
    // typed (see commitTyped).
    QDateTime dateTime() const;
    QDate date() const;
    // An invalid value leaves the picker as it is.
    void setDateTime(const QDateTime& value);
    void setDate(const QDate& day) { setDateTime(QDateTime(day, QTime(0, 0))); }

    bool hasTickBox() const { return m_tick != nullptr; }
    // Always true without a tick box.
    bool isChecked() const;
    void setChecked(bool checked);

    // Reads what was typed into the date. A text that is no date (or none)
    // is refused with a message naming the field and the forms it takes, and
    // the field gets the focus back with the text selected; false then. True
    // when nothing was typed, the text is a date, or the tick box is clear.
    bool commitTyped();
    // Whether the text shown is typed and not yet read as a date.
    bool hasTypedText() const;

    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* calendarButton() const { return m_button; }
    QCheckBox* tickBox() const { return m_tick; }
    // Opens the drop-down calendar on the date held.
    void showCalendar();
    QCalendarWidget* calendar() const { return m_calendar; }
    // The date as shown.
    QString text() const;

signals:
    // The date or the tick changed, by the user or by the program.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The date the user entered (typed, stepped or picked).
    void enterDate(const QDate& day);
    // Reads a typed text without a word; false when it is no date.
    bool readTyped();
    void showDate();
    void updateEnabled();

    QCheckBox* m_tick = nullptr;
    QLineEdit* m_edit = nullptr;
    QToolButton* m_button = nullptr;
    QMenu* m_popup = nullptr;
    QCalendarWidget* m_calendar = nullptr;
    QDate m_date;
    QTime m_time{0, 0};
};

} // namespace qv
