// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace qv {
class AmountEdit;
class Connection;
} // namespace qv

// One membership level's annual fee by membership year: a year without its
// own amount uses the latest earlier one. Writes in the caller's transaction
// (the levels editor's), so Cancel there takes them back.
class TfrmLevelFees : public QDialog {
    Q_OBJECT
public:
    TfrmLevelFees(qv::Connection& connection, qint64 levelId, const QString& category,
                  QWidget* parent = nullptr);

    void FillFees();

    QTableWidget* grdFees;
    QSpinBox* spnYear;
    qv::AmountEdit* edtFee;
    QPushButton* btnSet;
    QPushButton* btnRemove;
    QPushButton* btnClose;

public slots:
    void btnSetClick();
    void btnRemoveClick();

private:
    qv::Connection& m_connection;
    qint64 m_levelId;
};
