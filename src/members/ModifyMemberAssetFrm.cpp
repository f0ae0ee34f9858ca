// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/ModifyMemberAssetFrm.h"

#include <QLineEdit>
#include <QPushButton>

TfrmModifyMemberAsset::TfrmModifyMemberAsset(QWidget* parent)
    : TfrmAddMemberAsset(parent) {
    setObjectName(QStringLiteral("frmModifyMemberAsset"));
    setWindowTitle(tr("Modify Member Asset"));
    btnAdd->setText(tr("&Amend"));
}

bool TfrmModifyMemberAsset::ShowForAsset(qv::Connection& connection, const QString& lookupSQL,
                                         const QString& assetReference,
                                         const QDateTime& dateReturned, const QDateTime& dateIssued,
                                         qint64 assetKey) {
    SetKeyValue(assetKey);
    PresetDates(dateIssued, dateReturned);
    edtReasonEnded->setText(assetReference);
    return ShowWithLookup(connection, lookupSQL, QStringLiteral("AssetName"),
                          QStringLiteral("AssetID"));
}
