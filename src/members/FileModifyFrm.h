// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/FileAddFrm.h"

#include <QDateTime>

// Changes a stored file reference: the file dialog preset with its values.
class TfrmFileModify : public TfrmFileAdd {
    Q_OBJECT
public:
    explicit TfrmFileModify(QWidget* parent = nullptr);

    // Presets the date added (as stored), the path and the description, and
    // shows the dialog modally; answers the modal result.
    int ShowForFile(const QString& filePath, const QString& fileDescription,
                    const QDateTime& dateAdded);

protected:
    void FormShow() override {}
};
