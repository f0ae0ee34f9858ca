#include "platform/ui/DatePicker.h"

#include "platform/os/Regional.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

namespace qv {

void SetUpDateEdit(QDateEdit* edit) {
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(Regional::longDateFormat());
    edit->setLocale(Regional::locale());
    edit->calendarWidget()->setLocale(Regional::locale());
    edit->calendarWidget()->setGridVisible(false);
    edit->calendarWidget()->setStyleSheet(
        QStringLiteral("#qt_calendar_navigationbar { background-color: navy; }"));
}

DatePicker::DatePicker(bool withTickBox, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    if (withTickBox) {
        m_tick = new QCheckBox(this);
        m_tick->setObjectName(QStringLiteral("tick"));
        layout->addWidget(m_tick);
        connect(m_tick, &QCheckBox::toggled, this, [this] {
            updateEnabled();
            emit changed();
        });
    }
    m_edit = new QDateEdit(this);
    m_edit->setObjectName(QStringLiteral("date"));
    SetUpDateEdit(m_edit);
    // Far enough back for any date a register holds: a file register keeps
    // dates from the year 100 on, and a stored date the picker could not show
    // would be written back changed.
    m_edit->setMinimumDate(QDate(100, 1, 1));
    layout->addWidget(m_edit, 1);
    setFocusProxy(m_tick ? static_cast<QWidget*>(m_tick) : m_edit);
    connect(m_edit, &QDateEdit::dateChanged, this, &DatePicker::dateEdited);
    updateEnabled();
}

void DatePicker::dateEdited() {
    if (m_setting)
        return;
    m_time = QTime(0, 0);
    emit changed();
}

QDateTime DatePicker::dateTime() const {
    return QDateTime(m_edit->date(), m_time);
}

QDate DatePicker::date() const {
    return m_edit->date();
}

void DatePicker::setDateTime(const QDateTime& value) {
    if (!value.isValid())
        return;
    m_setting = true;
    const bool moved = m_edit->date() != value.date() || m_time != value.time();
    m_edit->setDate(value.date());
    m_time = value.time();
    m_setting = false;
    if (moved)
        emit changed();
}

bool DatePicker::isChecked() const {
    return !m_tick || m_tick->isChecked();
}

void DatePicker::setChecked(bool checked) {
    if (m_tick)
        m_tick->setChecked(checked);
}

QString DatePicker::text() const {
    return m_edit->text();
}

void DatePicker::updateEnabled() {
    m_edit->setEnabled(isChecked());
}

} // namespace qv
