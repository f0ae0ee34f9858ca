// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AmountEdit.h"

#include "platform/os/Regional.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/TypedFields.h"

#include <QKeyEvent>
#include <QRegularExpression>

namespace qv {

namespace {
const QRegularExpression TypedAmount(QStringLiteral("^(\\d*)(?:\\.(\\d{0,2}))?$"));
}

AmountEdit::AmountEdit(QWidget* parent)
    : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SelectWholeOnEntry(this);
}

std::optional<double> AmountEdit::readTyped(const QString& typed) {
    QString text = typed.trimmed();
    const QString separator = Regional::decimalSeparator();
    if (separator != QLatin1String("."))
        text.replace(separator, QStringLiteral("."));
    const QRegularExpressionMatch m = TypedAmount.match(text);
    if (!m.hasMatch() || !text.contains(QRegularExpression(QStringLiteral("\\d"))))
        return std::nullopt;
    // In whole cents, so the double is the one nearest the typed decimal.
    const QString whole = m.captured(1).isEmpty() ? QStringLiteral("0") : m.captured(1);
    bool ok = false;
    const qlonglong cents = (whole + m.captured(2).leftJustified(2, u'0')).toLongLong(&ok);
    if (whole.size() > 12 || !ok || cents > qlonglong(MaximumAmount * 100 + 0.5))
        return std::nullopt;
    return double(cents) / 100.0;
}

void AmountEdit::normalise() {
    const bool stored = !m_storedText.isNull() && text() == m_storedText;
    if (stored && !readTyped(text()))
        return; // a stored amount beyond what can be typed stays whole
    const QString typed = text().trimmed();
    QString shown;
    if (typed.isEmpty()) {
        shown = QStringLiteral("0.00");
    } else {
        const std::optional<double> value = readTyped(typed);
        if (!value)
            return;
        shown = QString::number(*value, 'f', 2);
    }
    setText(shown);
    if (stored)
        m_storedText = shown;
}

void AmountEdit::setAmount(double amount) {
    QString shown =
        QString::number(amount, 'f', 4).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
    if (shown.isEmpty() || shown == QLatin1String("-0"))
        shown = QStringLiteral("0");
    m_stored = amount;
    m_storedText = shown;
    setText(shown);
}

double AmountEdit::amount() const {
    if (!m_storedText.isNull() && text() == m_storedText)
        return m_stored;
    if (const std::optional<double> value = readTyped(text()))
        return *value;
    throw AmountError(QStringLiteral("'%1' is not a valid amount").arg(text()).toStdString());
}

bool AmountEdit::commitTyped() {
    try {
        amount();
        normalise();
        return true;
    } catch (const AmountError&) {
    }
    const QString typed = text().trimmed();
    const QString field = FieldCaption(this, tr("The amount"));
    const QString most = QString::number(MaximumAmount, 'f', 2);
    QString message;
    if (typed.isEmpty() || typed == QLatin1String("."))
        message = tr("%1 has no amount.").arg(field);
    else if (typed.contains(QRegularExpression(QStringLiteral("^\\d+(\\.\\d{0,2})?$"))))
        message = tr("\"%1\" in %2 is more than the %3 it takes.").arg(typed, field, most);
    else
        message = tr("\"%1\" in %2 is not an amount.").arg(typed, field);
    message += u'\n' + tr("Type the amount in digits with up to two decimals after the "
                          "point, as 12.50, up to %1.")
                           .arg(most);
    ShowMessageBox(message, MessageKind::Error, MessageButtons::Ok, MessagePlacement::Centered,
                   window());
    setFocus(Qt::OtherFocusReason);
    selectAll();
    return false;
}

void AmountEdit::keyPressEvent(QKeyEvent* event) {
    const QString separator = Regional::decimalSeparator();
    if (separator != QLatin1String(".") && event->text() == separator) {
        QKeyEvent point(event->type(), Qt::Key_Period, event->modifiers(), QStringLiteral("."));
        QLineEdit::keyPressEvent(&point);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace qv
