// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DatePicker.h"

#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/TypedFields.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QWidgetAction>
#include <algorithm>

namespace qv {

namespace {

// Far enough back for any date a register holds: a file register keeps dates
// from the year 100 on, and a stored date the picker could not show would be
// written back changed.
const QDate LowestDate(100, 1, 1);

// Wide enough for the longest long date of the system (the longest weekday
// and month names), so no date is ever shown cut.
int LongDateWidth(const QLineEdit* edit) {
    const QFontMetrics metrics(edit->font());
    int widest = 0;
    for (QDate day(2000, 1, 20); day.year() == 2000; day = day.addDays(1))
        widest = std::max(widest, metrics.horizontalAdvance(Regional::formatLongDate(day)));
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QSize text(widest + 2 * metrics.horizontalAdvance(u'x'), metrics.height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, edit).width();
}

} // namespace

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
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("date"));
    m_edit->setMinimumWidth(LongDateWidth(m_edit));
    m_edit->installEventFilter(this);
    SelectWholeOnEntry(m_edit);
    layout->addWidget(m_edit, 1);

    m_button = new QToolButton(this);
    m_button->setObjectName(QStringLiteral("calendarButton"));
    m_button->setArrowType(Qt::DownArrow);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setToolTip(tr("Pick the date from a calendar (Alt+Down)"));
    m_button->setAccessibleName(tr("Calendar"));
    layout->addWidget(m_button);
    connect(m_button, &QToolButton::clicked, this, &DatePicker::showCalendar);

    m_popup = new QMenu(this);
    m_calendar = new QCalendarWidget(m_popup);
    m_calendar->setObjectName(QStringLiteral("calendar"));
    m_calendar->setLocale(Regional::locale());
    m_calendar->setGridVisible(false);
    m_calendar->setMinimumDate(LowestDate);
    m_calendar->setStyleSheet(
        QStringLiteral("#qt_calendar_navigationbar { background-color: navy; }"));
    auto* action = new QWidgetAction(m_popup);
    action->setDefaultWidget(m_calendar);
    m_popup->addAction(action);
    connect(m_calendar, &QCalendarWidget::clicked, this, [this](QDate day) {
        m_popup->close();
        enterDate(day);
        m_edit->setFocus(Qt::PopupFocusReason);
    });
    connect(m_calendar, &QCalendarWidget::activated, this, [this](QDate day) {
        m_popup->close();
        enterDate(day);
        m_edit->setFocus(Qt::PopupFocusReason);
    });

    setFocusProxy(m_tick ? static_cast<QWidget*>(m_tick) : m_edit);
    m_date = Clock::today();
    showDate();
    updateEnabled();
}

QDateTime DatePicker::dateTime() const {
    return QDateTime(m_date, m_time);
}

QDate DatePicker::date() const {
    return m_date;
}

void DatePicker::setDateTime(const QDateTime& value) {
    if (!value.isValid())
        return;
    const bool moved = m_date != value.date() || m_time != value.time();
    m_date = value.date();
    m_time = value.time();
    showDate();
    if (moved)
        emit changed();
}

void DatePicker::enterDate(const QDate& day) {
    if (!day.isValid() || day < LowestDate)
        return;
    const bool moved = day != m_date;
    if (moved) {
        m_date = day;
        m_time = QTime(0, 0);
    }
    showDate();
    if (moved)
        emit changed();
}

void DatePicker::showDate() {
    m_edit->setText(Regional::formatLongDate(m_date)); // no longer typed
}

bool DatePicker::hasTypedText() const {
    return m_edit->isModified();
}

bool DatePicker::readTyped() {
    if (!m_edit->isModified())
        return true;
    const QDate day = Regional::readDate(m_edit->text(), Clock::today());
    if (!day.isValid())
        return false;
    enterDate(day);
    return true;
}

bool DatePicker::commitTyped() {
    if (!isChecked()) {
        if (hasTypedText())
            showDate(); // no date is set: what was typed has no meaning
        return true;
    }
    if (readTyped())
        return true;
    const QString typed = m_edit->text().trimmed();
    const QString field = FieldCaption(this, tr("The date"));
    const QDate example(2015, 3, 25);
    QString text = typed.isEmpty() ? tr("%1 has no date.").arg(field)
                                   : tr("\"%1\" in %2 is not a date.").arg(typed, field);
    text += u'\n' + tr("Type the date as %1 (%2) or as yyyy-mm-dd (%3).")
                        .arg(Regional::shortDatePattern(),
                             Regional::locale().toString(
                                 example, QString(Regional::shortDateFormat())
                                              .replace(QRegularExpression(QStringLiteral("y+")),
                                                       QStringLiteral("yyyy"))),
                             example.toString(Qt::ISODate));
    ShowMessageBox(text, MessageKind::Error, MessageButtons::Ok, MessagePlacement::Centered,
                   window());
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->selectAll();
    return false;
}

void DatePicker::showCalendar() {
    if (!isChecked())
        return;
    readTyped();
    m_calendar->setSelectedDate(m_date);
    m_popup->popup(m_edit->mapToGlobal(QPoint(0, m_edit->height())));
    m_calendar->setFocus(Qt::PopupFocusReason);
}

bool DatePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusOut:
        // Leaving the field reads the date; what is no date stays as typed
        // until OK refuses it, so Cancel still closes without a word.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            readTyped();
        break;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F4 ||
            (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier))) {
            showCalendar();
            return true;
        }
        if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) &&
            key->modifiers() == Qt::NoModifier) {
            if (readTyped())
                enterDate(m_date.addDays(key->key() == Qt::Key_Up ? 1 : -1));
            m_edit->selectAll();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            readTyped(); // and Enter goes on to the dialog's default button
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void DatePicker::showEvent(QShowEvent* event) {
    // The label names the picker; a screen reader on the text field needs it
    // on the field itself.
    if (m_edit->accessibleName().isEmpty())
        m_edit->setAccessibleName(FieldCaption(this, QString()));
    QWidget::showEvent(event);
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
    m_button->setEnabled(isChecked());
}

} // namespace qv
