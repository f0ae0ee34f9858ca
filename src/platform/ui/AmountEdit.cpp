#include "platform/ui/AmountEdit.h"

#include "platform/os/Regional.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace qv {

namespace {
const QRegularExpression AmountPattern(QStringLiteral("(\\d{0,4})(?:\\.(\\d{0,2}))?"));
}

AmountEdit::AmountEdit(QWidget* parent)
    : QLineEdit(parent) {
    setMaxLength(7);
    setValidator(new QRegularExpressionValidator(AmountPattern, this));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void AmountEdit::normalise() {
    const QRegularExpressionMatch m =
        QRegularExpression(QRegularExpression::anchoredPattern(AmountPattern.pattern()))
            .match(text());
    if (!m.hasMatch())
        return;
    const QString whole = m.captured(1), decimals = m.captured(2);
    if (text().isEmpty())
        setText(QStringLiteral("0.00"));
    else if (!whole.isEmpty() || !decimals.isEmpty())
        setText((whole.isEmpty() ? QStringLiteral("0") : whole) + u'.' +
                decimals.leftJustified(2, u'0'));
}

void AmountEdit::setAmount(double amount) {
    // Every decimal the column keeps, and room for every digit: a stored
    // amount beyond what can be typed (an imported 12345.67 or 0.125) is
    // shown whole and written back as it was when it is not touched.
    QString shown =
        QString::number(amount, 'f', 4).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
    if (shown.isEmpty() || shown == QLatin1String("-0"))
        shown = QStringLiteral("0");
    setMaxLength(std::max(7, int(shown.size())));
    setText(shown);
}

double AmountEdit::amount() const {
    bool ok = false;
    const double value = text().toDouble(&ok); // C locale: the point is "."
    if (!ok || !text().contains(QRegularExpression(QStringLiteral("\\d"))))
        throw AmountError(QStringLiteral("'%1' is not a valid amount").arg(text()).toStdString());
    return value;
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
