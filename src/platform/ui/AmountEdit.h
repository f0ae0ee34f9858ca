// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <optional>
#include <stdexcept>

namespace qv {

// A text that is not an amount: the caller's action stops with this message.
class AmountError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A money amount, typed with up to two decimals and up to MaximumAmount. The
// point is always ".", whatever the system's decimal separator, and the
// amount is read with that same point, so 12.50 is twelve and a half on every
// system; the system's separator typed on the keyboard stands for the point.
//
// Entering the field selects the whole amount, so typing replaces it. No key
// is refused on the way: a text that is no amount (letters, three decimals,
// too large, negative) stays as typed until commitTyped() refuses it with a
// message, so a digit is never dropped or moved.
class AmountEdit : public QLineEdit {
    Q_OBJECT
public:
    // Seven whole digits: far above any fee, well inside the payment column
    // (decimal(19,4)), exact in a double, and as wide as the printed lists'
    // amount columns can show.
    static constexpr double MaximumAmount = 9999999.99;

    explicit AmountEdit(QWidget* parent = nullptr);

    // Shows the whole part and two decimals: "" gives "0.00", "12" gives
    // "12.00" and "12.5" gives "12.50". A text that is no amount stays.
    void normalise();

    // The shortest decimal text of `amount` (12 gives "12", 12.5 gives
    // "12.5"), to the four decimals a stored amount holds. A stored amount
    // beyond what can be typed is shown whole and, while untouched, read back
    // as it was.
    void setAmount(double amount);

    // The amount the text says. Throws AmountError for a text that is no
    // amount the field takes.
    double amount() const;

    // Refuses a text that is no amount with a message naming the field and
    // what it takes, and gives the field the focus back with the text
    // selected; false then.
    bool commitTyped();

    // The amount a typed text says: digits with at most two decimals, at most
    // MaximumAmount; nothing for anything else.
    static std::optional<double> readTyped(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The text setAmount showed, and the amount it stands for.
    QString m_storedText;
    double m_stored = 0.0;
};

} // namespace qv
