// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives real modal windows from inside their own event loop. Each helper is
// armed before the call that opens the window; a watchdog closes whatever is
// still modal after a deadline, so a failed check never leaves exec() running
// until the ctest timeout.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

namespace qvtest {

// Calls `act` once with the first visible modal widget that appears within
// `timeoutMs`. `act` should end the modal window.
inline void WhenModal(std::function<void(QWidget*)> act, int timeoutMs = 5000) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, clock, act = std::move(act), timeoutMs] {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal && modal->isVisible()) {
                             timer->stop();
                             timer->deleteLater();
                             act(modal);
                         } else if (clock->elapsed() > timeoutMs) {
                             timer->stop();
                             timer->deleteLater();
                         }
                     });
    timer->start(10);
}

// While alive: after `afterMs`, rejects every modal dialog still open. Keep
// it for the duration of a test that opens real modal windows.
class ModalWatchdog {
public:
    explicit ModalWatchdog(int afterMs = 5000)
        : m_timer(new QTimer) {
        m_clock.start();
        QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this, afterMs] {
            if (m_clock.elapsed() < afterMs)
                return;
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                m_fired = true;
                // done(), not reject(): a window that asks before closing
                // could otherwise keep itself open.
                dialog->done(QDialog::Rejected);
            }
        });
        m_timer->start(50);
    }
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;

    // Whether it had to close a window: the test's own driving went wrong.
    bool fired() const { return m_fired; }

private:
    std::unique_ptr<QTimer> m_timer;
    QElapsedTimer m_clock;
    bool m_fired = false;
};

} // namespace qvtest
