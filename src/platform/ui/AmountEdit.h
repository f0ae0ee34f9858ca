#pragma once

#include <QLineEdit>
#include <stdexcept>

namespace qv {

// A text that is not an amount: the caller's action stops with this message.
class AmountError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A money amount of up to four whole digits and two decimals. The point is
// always ".", whatever the system's decimal separator, and the amount is read
// with that same point, so 12.50 is twelve and a half on every system; the
// system's separator typed on the keyboard stands for the point.
class AmountEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit AmountEdit(QWidget* parent = nullptr);

    // Shows the whole part and two decimals: "" gives "0.00", "12" gives
    // "12.00" and "12.5" gives "12.50". A text that is no number stays.
    void normalise();

    // The shortest decimal text of `amount` (12 gives "12", 12.5 gives
    // "12.5"), to the four decimals a stored amount holds.
    void setAmount(double amount);

    // The amount the text says. Throws AmountError for a text with no digit
    // (empty, or a lone point).
    double amount() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace qv
