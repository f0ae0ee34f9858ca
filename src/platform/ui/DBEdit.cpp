// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/DBEdit.h"

#include "platform/data/Dataset.h"

namespace qv {

DBEdit::DBEdit(Dataset* dataset, const QString& field, QWidget* parent)
    : QLineEdit(parent)
    , m_dataset(dataset)
    , m_field(field) {
    connect(dataset, &Dataset::afterOpen, this, &DBEdit::load);
    connect(dataset, &Dataset::afterScroll, this, &DBEdit::load);
    // A row that goes back to browsing (posted or cancelled) or becomes a new
    // one shows what it now holds; entering edit mode changes nothing shown,
    // so what is typed in another edit is not overwritten.
    connect(dataset, &Dataset::stateChanged, this, [this] {
        if (m_dataset->state() != Dataset::State::Edit)
            load();
    });
    connect(dataset, &Dataset::afterClose, this, [this] { clear(); });
}

void DBEdit::load() {
    if (!m_dataset->isActive() || m_dataset->fieldIndex(m_field) < 0)
        return;
    const Field field = m_dataset->field(m_field);
    // An open announces itself several times over (state, open, scroll); each
    // change of the width or the text lays the text out anew, so only a real
    // change is made. Text the user has typed is replaced even when it reads
    // the same, which also resets its undo history as before.
    if (field.size() > 0 && field.size() != maxLength())
        setMaxLength(field.size());
    const bool hasRow =
        m_dataset->state() == Dataset::State::Insert || m_dataset->currentIndex() >= 0;
    const QString shown = hasRow ? field.asString() : QString();
    if (shown != text() || isModified())
        setText(shown);
}

bool DBEdit::holdsUnwrittenText() const {
    if (!m_dataset || !m_dataset->isActive() || isReadOnly())
        return false;
    if (m_dataset->state() != Dataset::State::Insert && m_dataset->currentIndex() < 0)
        return false;
    return text() != m_dataset->field(m_field).asString();
}

void DBEdit::updateRecord() {
    if (holdsUnwrittenText())
        m_dataset->field(m_field).setValue(text().isEmpty() ? Value() : Value(text()));
}

void DBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    updateRecord();
}

} // namespace qv
