#include "platform/ui/AmountEdit.h"

#include "platform/os/Regional.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <cmath>

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
    setText(QString::number(std::round(amount * 100.0) / 100.0, 'f', 2)
                .remove(QRegularExpression(QStringLiteral("\\.?0+$"))));
    if (text().isEmpty())
        setText(QStringLiteral("0"));
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
