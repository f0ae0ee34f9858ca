// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/AddDateJoinedFrm.h"

// Changes a stored membership period: the period dialog preset with its values.
class TfrmModifyDateJoined : public TfrmAddDateJoined {
    Q_OBJECT
public:
    explicit TfrmModifyDateJoined(QWidget* parent = nullptr);

    // Presets the level, both dates (the end ticked when there is one), the
    // number and the reason, then shows the dialog as ShowWithLookup does.
    bool ShowForPeriod(qv::Connection& connection, const QString& lookupSQL,
                       const QString& reasonEnded, const QString& membershipNo,
                       const QDateTime& dateEnded, const QDateTime& dateJoined, qint64 levelKey);

protected:
    void FormShow() override {}
};
