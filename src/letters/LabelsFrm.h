// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "letters/LabelSheet.h"
#include "letters/Recipients.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace qv {
class Connection;
}

// The households of a list that hold more than one member, to look over
// before printing: addressee, members and address of each.
class TfrmHouseholds : public QDialog {
    Q_OBJECT
public:
    TfrmHouseholds(const std::vector<Letters::Recipient>& recipients,
                   const std::vector<Letters::MemberPost>& members, QWidget* parent = nullptr);
};

// Address labels for the members of a list: the sheet (a common one or one
// measured by the user), the first free label of a partly used sheet, the
// font size, one label per household; preview and print (or PDF).
class TfrmLabels : public QDialog {
    Q_OBJECT
public:
    TfrmLabels(qv::Connection& connection, const std::vector<qint64>& memberKeys,
               QWidget* parent = nullptr);

    // The sheet as the controls describe it.
    Labels::LabelSheet Sheet() const;
    std::vector<Letters::Recipient> Recipients() const;

    QComboBox* cboSheet;
    QGroupBox* grpCustom;
    QComboBox* cboPaper;
    QSpinBox* spnColumns;
    QSpinBox* spnRows;
    QDoubleSpinBox* edtLabelWidth;
    QDoubleSpinBox* edtLabelHeight;
    QDoubleSpinBox* edtTopMargin;
    QDoubleSpinBox* edtLeftMargin;
    QDoubleSpinBox* edtColumnGap;
    QDoubleSpinBox* edtRowGap;
    QSpinBox* spnFirstPosition;
    QSpinBox* spnFontSize;
    QCheckBox* chkOnePerHousehold;
    QLabel* lblCount;
    QPushButton* btnHouseholds;
    QPushButton* btnPreview;
    QPushButton* btnPrint;
    QPushButton* btnClose;

public slots:
    void cboSheetChange();
    void btnHouseholdsClick();
    void btnPreviewClick();
    void btnPrintClick();

private:
    void updateCount();
    // Checks the sheet and prints or previews; false when nothing was drawn.
    bool print(bool preview);

    std::vector<Letters::MemberPost> m_members;
};
