// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// A drop-down of the twenty colours a membership level can be shown in, each
// with a swatch and its name. Values are colours as the register stores them:
// red in the low byte, then green and blue. With no entry selected it reads
// as NoColour; it has no empty entry, so a colour once chosen can be changed
// but not removed.
class ColourChooser : public QComboBox {
    Q_OBJECT
public:
    // High byte set, the rest zero: negative, so shown in the normal colours.
    static constexpr qint32 NoColour = qint32(0xFF000000u);

    explicit ColourChooser(QWidget* parent = nullptr);

    qint32 value() const;
    // Selects the entry of this colour; a value that is none of the twenty
    // (the -1 of the default level, say) selects nothing.
    void setValue(qint32 colour);
};

// Asks for a new membership level: its category, the two colours of its rows
// in member lists, and whether it counts for long service.
class TfrmEditMembershipLevelsAdd : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEditMembershipLevelsAdd(QWidget* parent = nullptr);

    QLabel* lblCategory;
    QLineEdit* edtCategory;
    QLabel* lblHighlightColour;
    ColourChooser* colHighlightColour;
    QLabel* lblFontColour;
    ColourChooser* colFontColour;
    QCheckBox* chkIncludeLongService;
    QPushButton* btnAdd;
    QPushButton* btnCancel;
};
