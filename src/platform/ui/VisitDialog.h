#pragma once

#include <QDialog>
#include <functional>

namespace qv {

// A window whose whole visit runs in the caller's transaction and ends with
// its commit. The commit runs while the window is still open: when another
// program keeps the register locked past the wait, the user is told, the
// window stays as it was and its OK button can be pressed again, so what was
// entered is never lost to someone else's open window. Any other failed
// commit is reported and the window closes as cancelled.
class VisitDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // What OK runs before the window closes; none: the caller commits.
    void SetCommit(std::function<void()> commit) { m_commit = std::move(commit); }

public slots:
    void accept() override;

protected:
    enum class CommitOutcome { Done, Locked, Failed };
    // Runs the commit. A lock that outlasted the wait is shown with
    // `whenLocked` and leaves the transaction open (Locked); any other
    // failure is reported (Failed). Closing the window is left to the caller.
    CommitOutcome CommitVisit(const QString& whenLocked);

private:
    std::function<void()> m_commit;
};

} // namespace qv
