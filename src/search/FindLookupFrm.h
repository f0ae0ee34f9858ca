// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/data/Dataset.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace qv {
class Connection;
}

// Asks for one row of a lookup table (a profile, an asset, a membership level)
// from a drop-down list, with the "Include Historic" and "Not Matching" boxes.
class TfrmFindLookup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFindLookup(QWidget* parent = nullptr);

    // Runs `listSQL` on the connection, lists its `listColumn` keyed by
    // `keyColumn` with the first row selected, enables or disables both check
    // boxes, sets the caption and the prompt, and shows the dialog modally.
    // Answers QDialog::Accepted or QDialog::Rejected.
    int ShowLookupFind(qv::Connection& connection, const QString& caption, const QString& prompt,
                       const QString& listSQL, const QString& listColumn, const QString& keyColumn,
                       bool enableChecks);

    // The key of the selected row; 0 when the list is empty.
    qint64 KeyValue() const;
    // The text the drop-down shows.
    QString Text() const;

    QLabel* lblPrompt;
    QComboBox* dblProfile;
    QCheckBox* chkIncludeHistoric;
    QCheckBox* chkNotMatching;
    QPushButton* btnFind;
    QPushButton* btnCancel;
    qv::Dataset* adoProfiles;
};
