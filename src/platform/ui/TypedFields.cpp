// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TypedFields.h"

#include "platform/ui/AmountEdit.h"
#include "platform/ui/DatePicker.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace qv {

namespace {

class WholeSelector : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* edit = static_cast<QLineEdit*>(watched);
        // A value shown (not one being typed) is selected whole, however the
        // field is entered; a click into text being typed places the cursor
        // as usual, to mend it.
        if (edit->isModified())
            return false;
        if (event->type() == QEvent::FocusIn &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason) {
            edit->selectAll();
        } else if (event->type() == QEvent::MouseButtonPress) {
            // The press places the cursor after this filter; select after it.
            QTimer::singleShot(0, edit, [edit] {
                if (!edit->isModified())
                    edit->selectAll();
            });
        }
        return false;
    }
};

} // namespace

QString FieldCaption(const QWidget* field, const QString& fallback) {
    const QWidget* window = field->window();
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() != field)
            continue;
        QString caption;
        const QString text = label->text();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'&' && i + 1 < text.size())
                ++i;
            caption += text[i];
        }
        caption = caption.trimmed();
        if (caption.endsWith(u':'))
            caption.chop(1);
        return caption.trimmed();
    }
    return fallback;
}

void SelectWholeOnEntry(QLineEdit* edit) {
    edit->installEventFilter(new WholeSelector(edit));
}

bool CommitTypedFields(QWidget* window) {
    for (QWidget* field : window->findChildren<QWidget*>()) {
        if (auto* picker = qobject_cast<DatePicker*>(field)) {
            if (!picker->commitTyped())
                return false;
        } else if (auto* amount = qobject_cast<AmountEdit*>(field)) {
            if (!amount->commitTyped())
                return false;
        }
    }
    return true;
}

} // namespace qv
