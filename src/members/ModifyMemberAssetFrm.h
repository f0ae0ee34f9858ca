// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "members/AddMemberAssetFrm.h"

// Changes a stored asset issue: the asset dialog preset with its values.
class TfrmModifyMemberAsset : public TfrmAddMemberAsset {
    Q_OBJECT
public:
    explicit TfrmModifyMemberAsset(QWidget* parent = nullptr);

    bool ShowForAsset(qv::Connection& connection, const QString& lookupSQL,
                      const QString& assetReference, const QDateTime& dateReturned,
                      const QDateTime& dateIssued, qint64 assetKey);

protected:
    void FormShow() override {}
};
