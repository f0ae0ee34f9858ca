// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

namespace qv {

class Dataset;

// A window whose whole visit runs in the caller's transaction and ends with
// its commit. The commit runs while the window is still open: when another
// program keeps the register locked past the wait, the user is told, the
// window stays as it was and its OK button can be pressed again, so what was
// entered is never lost to someone else's open window. Any other failed
// commit is reported and the window closes as cancelled.
//
// Closing it any other way (Close, Esc, the frame's close button) means the
// caller rolls the visit back. With a discard question set, a visit that
// holds changes asks first; No keeps the window open as it is.
class VisitDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // What OK runs before the window closes; none: the caller commits.
    void SetCommit(std::function<void()> commit) { m_commit = std::move(commit); }

    // Asked (Yes / No, No the default) before a visit holding changes is
    // thrown away; empty: never asked.
    void SetDiscardQuestion(const QString& question) { m_discardQuestion = question; }

    // Every row the dataset stores or deletes counts as a change of the visit.
    void TrackWrites(Dataset* dataset);
    // A change written past the datasets, by a statement of the window's own.
    void NoteWrite() { ++m_writes; }
    // Whether anything has been written in the visit's transaction so far.
    bool HasWritten() const { return m_writes > 0; }

    // Whether closing now would throw anything away: what was written, and
    // in a window that has them, edits not yet written.
    virtual bool HoldsChanges() const { return HasWritten(); }

public slots:
    void accept() override;
    // Asks the discard question when there is something to discard.
    void reject() override;

protected:
    // Opens centred on the window it belongs to, or on the screen when it
    // would not fit there.
    void showEvent(QShowEvent* event) override;

    enum class CommitOutcome { Done, Locked, Failed };
    // Runs the commit. A lock that outlasted the wait is shown with
    // `whenLocked` and leaves the transaction open (Locked); any other
    // failure is reported (Failed). Closing the window is left to the caller.
    CommitOutcome CommitVisit(const QString& whenLocked);
    // Closes as cancelled without asking: the program's own decision, such
    // as after a failed commit.
    void CloseCancelled() { QDialog::reject(); }

private:
    std::function<void()> m_commit;
    QString m_discardQuestion;
    int m_writes = 0;
};

} // namespace qv
