// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/InputBoxFrm.h"

class QCheckBox;

// The find dialog: TfrmInputBox with a "Not Matching" check box. It offers
// the text and state last confirmed with its Find button, shared by every use
// while the program runs (never stored on disk).
class TfrmFind : public TfrmInputBox {
    Q_OBJECT
public:
    explicit TfrmFind(QWidget* parent = nullptr);

    QCheckBox* chkNotMatching;

    // The remembered text and state; for tests that start from a clean slate.
    static QString LastFindText();
    static bool LastNotMatching();
    static void ResetLastFind();

protected:
    void showEvent(QShowEvent* event) override;
    void btnFindClick() override;
};
