// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/VisitDialog.h"

#include "platform/data/DatabaseError.h"
#include "platform/data/Dataset.h"
#include "platform/ui/MessageBox.h"

#include <QShowEvent>

namespace qv {

void VisitDialog::accept() {
    switch (CommitVisit(tr("Nothing is lost: your changes are still in this window. Try again "
                           "when the other program has finished with the register."))) {
    case CommitOutcome::Done:
        QDialog::accept();
        break;
    case CommitOutcome::Locked:
        break;
    case CommitOutcome::Failed:
        CloseCancelled();
        break;
    }
}

void VisitDialog::reject() {
    if (!m_discardQuestion.isEmpty() && HoldsChanges() &&
        ShowMessageBox(m_discardQuestion, MessageKind::Warning, MessageButtons::YesNoDefaultNo,
                       MessagePlacement::Centered, this) != MessageResult::Yes)
        return;
    QDialog::reject();
}

void VisitDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        PlaceOverOwner(this);
    QDialog::showEvent(event);
}

void VisitDialog::TrackWrites(Dataset* dataset) {
    connect(dataset, &Dataset::afterPost, this, [this] { ++m_writes; });
    connect(dataset, &Dataset::afterDelete, this, [this] { ++m_writes; });
}

VisitDialog::CommitOutcome VisitDialog::CommitVisit(const QString& whenLocked) {
    if (!m_commit)
        return CommitOutcome::Done;
    try {
        m_commit();
        return CommitOutcome::Done;
    } catch (const DatabaseBusy& e) {
        ShowMessageBox(e.message() + QStringLiteral("\n\n") + whenLocked, MessageKind::Warning,
                       MessageButtons::Ok, MessagePlacement::Centered, this);
        return CommitOutcome::Locked;
    } catch (const DatabaseError& e) {
        ShowMessageBox(e.message() + QStringLiteral("\n\n") +
                           tr("The changes made in this window were not stored."),
                       MessageKind::Error, MessageButtons::Ok, MessagePlacement::Centered, this);
        return CommitOutcome::Failed;
    }
}

} // namespace qv
