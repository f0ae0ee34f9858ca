// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A visit to a member run in a child process that the test kills (SIGKILL)
// at a chosen step: the child's visit, saying how far it got on its output,
// and the parent's side that starts it and kills it.

#include "ModalHelpers.h"
#include "members/AddDateJoinedFrm.h"
#include "members/FeePaymentModifyFrm.h"
#include "members/MemberFrm.h"
#include "platform/data/Connection.h"
#include "platform/data/Transaction.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DBEdit.h"
#include "platform/ui/MessageBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <cstdio>

namespace membertest {

inline const char* const VisitSteps[] = {"opened", "changed", "committing", "committed"};

// The child's visit, as the member list runs one: opens the member in the
// member window, renames him, moves him to York, adds a period, changes a
// payment and deletes a note through the window's own actions, presses
// Update and commits, saying each step. Then waits to be killed.
inline int VisitAndWait(qv::Connection& connection, qint64 memberId) {
    const auto say = [](int step) {
        std::printf("%s\n", VisitSteps[step]);
        std::fflush(stdout);
    };
    qv::MessageBoxTest::enable();
    TfrmMember frm;
    qv::TransactionGuard transaction(connection);
    frm.OpenForMember(connection, int(memberId));
    say(0);
    frm.dbedtSurname->setText("Smythe");
    frm.dbedtCity->setText("York");
    qvtest::WhenModal([](QWidget* modal) {
        auto* period = static_cast<TfrmAddDateJoined*>(modal);
        period->edtMembershipNo->setText("K-1");
        period->btnAdd->click();
    });
    frm.btnAddDateClick();
    qvtest::WhenModal([](QWidget* modal) {
        auto* payment = static_cast<TfrmFeePaymentModify*>(modal);
        payment->mskPaymentAmount->setText("20");
        payment->btnAdd->click();
    });
    frm.btnPaymentModifyClick();
    qv::MessageBoxTest::queueAnswer(qv::MessageResult::Yes);
    frm.mnuNotesDeleteClick();
    say(1);
    frm.btnUpdateClick();
    if (frm.result() != QDialog::Accepted)
        return 2;
    say(2);
    transaction.commit();
    say(3);
    // Waits to be killed; a parent that never does is gone wrong.
    QThread::sleep(20);
    return 3;
}

// Runs this test program again as the child, with `env` telling it so; kills
// it `delayUs` after it reports the step `killAfter`. Answers the last step
// it reported.
inline int RunKilledVisit(const QProcessEnvironment& env, int killAfter, int delayUs) {
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForStarted(5000))
        return -2;
    int reached = -1;
    QByteArray output;
    const auto read = [&] {
        output += child.readAllStandardOutput();
        for (int i = 0; i < 4; ++i)
            if (output.contains(QByteArray(VisitSteps[i]) + '\n'))
                reached = std::max(reached, i);
    };
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000 && reached < killAfter) {
        if (!child.waitForReadyRead(100) && child.state() == QProcess::NotRunning)
            break;
        read();
    }
    QThread::usleep(ulong(delayUs));
    child.kill(); // SIGKILL
    child.waitForFinished(5000);
    read();
    return reached;
}

} // namespace membertest
