// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference/EditMembershipLevelsAddFrm.h"

#include "platform/ui/DialogButtons.h"
#include "platform/ui/StoredColour.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct NamedColour {
    const char* name;
    int red, green, blue;
};

constexpr NamedColour Colours[] = {
    {"Black", 0, 0, 0},
    {"Maroon", 128, 0, 0},
    {"Green", 0, 128, 0},
    {"Olive", 128, 128, 0},
    {"Navy", 0, 0, 128},
    {"Purple", 128, 0, 128},
    {"Teal", 0, 128, 128},
    {"Gray", 128, 128, 128},
    {"Silver", 192, 192, 192},
    {"Red", 255, 0, 0},
    {"Lime", 0, 255, 0},
    {"Yellow", 255, 255, 0},
    {"Blue", 0, 0, 255},
    {"Fuchsia", 255, 0, 255},
    {"Aqua", 0, 255, 255},
    {"White", 255, 255, 255},
    {"Money Green", 192, 220, 192},
    {"Sky Blue", 166, 202, 240},
    {"Cream", 255, 251, 240},
    {"Medium Gray", 160, 160, 164},
};

constexpr int CategoryLength = 20;

// A sample of the colour, framed so that white shows on a white list.
QIcon Swatch(const QColor& colour) {
    QPixmap pixmap(16, 12);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

} // namespace

ColourChooser::ColourChooser(QWidget* parent)
    : QComboBox(parent) {
    setEditable(false);
    setMaxVisibleItems(20);
    for (const NamedColour& c : Colours) {
        const qint32 value = c.red | (c.green << 8) | (c.blue << 16);
        addItem(Swatch(qv::storedColour(value)), tr(c.name), value);
    }
    setCurrentIndex(-1);
}

qint32 ColourChooser::value() const {
    return currentIndex() < 0 ? NoColour : currentData().toInt();
}

void ColourChooser::setValue(qint32 colour) {
    setCurrentIndex(findData(colour));
}

TfrmEditMembershipLevelsAdd::TfrmEditMembershipLevelsAdd(QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmEditMembershipLevelsAdd"));
    setWindowTitle(tr("Add Membership Category"));

    lblCategory = new QLabel(tr("Cate&gory:"), this);
    lblCategory->setObjectName(QStringLiteral("lblCategory"));
    edtCategory = new QLineEdit(this);
    edtCategory->setObjectName(QStringLiteral("edtCategory"));
    edtCategory->setMaxLength(CategoryLength);
    lblCategory->setBuddy(edtCategory);

    lblHighlightColour = new QLabel(tr("&Highlight Colour:"), this);
    lblHighlightColour->setObjectName(QStringLiteral("lblHighlightColour"));
    colHighlightColour = new ColourChooser(this);
    colHighlightColour->setObjectName(QStringLiteral("colHighlightColour"));
    lblHighlightColour->setBuddy(colHighlightColour);

    lblFontColour = new QLabel(tr("&Font Colour:"), this);
    lblFontColour->setObjectName(QStringLiteral("lblFontColour"));
    colFontColour = new ColourChooser(this);
    colFontColour->setObjectName(QStringLiteral("colFontColour"));
    lblFontColour->setBuddy(colFontColour);

    chkIncludeLongService = new QCheckBox(tr("Include in &Long Service"), this);
    chkIncludeLongService->setObjectName(QStringLiteral("chkIncludeLongService"));
    chkIncludeLongService->setChecked(true);

    const DialogButtons buttons = CreateDialogButtons(this, tr("&Add"), QStringLiteral("btnAdd"));
    btnAdd = buttons.confirm;
    btnCancel = buttons.cancel;
    connect(btnAdd, &QPushButton::clicked, this, &QDialog::accept);

    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(lblCategory, edtCategory);
    form->addRow(lblHighlightColour, colHighlightColour);
    form->addRow(lblFontColour, colFontColour);
    form->addRow(QString(), chkIncludeLongService);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addLayout(form);
    layout->addStretch(1);
    AddButtonRow(layout, buttons);
    FixDialogSize(this, 290, 170);
}
