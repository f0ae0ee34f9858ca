// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters/LabelsFrm.h"

#include "pictures/Pictures.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

TfrmHouseholds::TfrmHouseholds(const std::vector<Letters::Recipient>& recipients,
                               const std::vector<Letters::MemberPost>& members, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmHouseholds"));
    setWindowTitle(tr("Households"));
    auto* list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("lstHouseholds"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({tr("Addressee"), tr("Members"), tr("Address")});
    int merged = 0;
    for (const Letters::Recipient& recipient : recipients) {
        if (recipient.members.size() < 2)
            continue;
        ++merged;
        QStringList names;
        for (const int i : recipient.members)
            names << Households::FullName(members[size_t(i)].person);
        const Households::Person& first = members[size_t(recipient.members.front())].person;
        QStringList address{first.address.simplified(), first.city.trimmed(),
                            first.postCode.trimmed()};
        address.removeAll(QString());
        list->addTopLevelItem(
            new QTreeWidgetItem({recipient.addressee, names.join(QStringLiteral("; ")),
                                 address.join(QStringLiteral(", "))}));
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* summary = new QLabel(
        merged == 0
            ? tr("No two members of the list live at the same address.")
            : tr("%1 of two or more members; %2 in all.")
                  .arg(Letters::Counted(size_t(merged), tr("household"), tr("households")),
                       Letters::Counted(recipients.size(), tr("addressee"), tr("addressees"))),
        this);
    summary->setObjectName(QStringLiteral("lblHouseholds"));
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(list, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);
    resize(720, 420);
}

TfrmLabels::TfrmLabels(qv::Connection& connection, const std::vector<qint64>& memberKeys,
                       QWidget* parent)
    : QDialog(parent)
    , m_members(Letters::LoadMembers(connection, memberKeys)) {
    setObjectName(QStringLiteral("frmLabels"));
    setWindowTitle(tr("Address Labels"));
    ApplyDialogFont(this);

    cboSheet = new QComboBox(this);
    cboSheet->setObjectName(QStringLiteral("cboSheet"));
    for (const Labels::LabelSheet& sheet : Labels::BuiltInSheets())
        cboSheet->addItem(sheet.name);
    cboSheet->addItem(tr("Custom (sizes in mm)"));

    grpCustom = new QGroupBox(tr("Custom sheet"), this);
    grpCustom->setObjectName(QStringLiteral("grpCustom"));
    const auto spin = [this](const char* name, int low, int high) {
        auto* box = new QSpinBox(grpCustom);
        box->setObjectName(QLatin1String(name));
        box->setRange(low, high);
        return box;
    };
    const auto millimetres = [this](const char* name, double high) {
        auto* box = new QDoubleSpinBox(grpCustom);
        box->setObjectName(QLatin1String(name));
        box->setRange(0, high);
        box->setDecimals(2);
        box->setSingleStep(0.5);
        box->setSuffix(QStringLiteral(" mm"));
        return box;
    };
    cboPaper = new QComboBox(grpCustom);
    cboPaper->setObjectName(QStringLiteral("cboPaper"));
    cboPaper->addItem(QStringLiteral("A4"), int(QPageSize::A4));
    cboPaper->addItem(QStringLiteral("US Letter"), int(QPageSize::Letter));
    spnColumns = spin("spnColumns", 1, 10);
    spnRows = spin("spnRows", 1, 30);
    edtLabelWidth = millimetres("edtLabelWidth", 300);
    edtLabelHeight = millimetres("edtLabelHeight", 300);
    edtTopMargin = millimetres("edtTopMargin", 100);
    edtLeftMargin = millimetres("edtLeftMargin", 100);
    edtColumnGap = millimetres("edtColumnGap", 50);
    edtRowGap = millimetres("edtRowGap", 50);
    auto* custom = new QGridLayout(grpCustom);
    const auto place = [custom, this](int row, int column, const QString& caption, QWidget* box) {
        auto* label = new QLabel(caption, grpCustom);
        label->setBuddy(box);
        custom->addWidget(label, row, column * 2);
        custom->addWidget(box, row, column * 2 + 1);
    };
    place(0, 0, tr("P&aper:"), cboPaper);
    place(1, 0, tr("Colu&mns:"), spnColumns);
    place(1, 1, tr("Ro&ws:"), spnRows);
    place(2, 0, tr("Label &width:"), edtLabelWidth);
    place(2, 1, tr("Label &height:"), edtLabelHeight);
    place(3, 0, tr("&Top margin:"), edtTopMargin);
    place(3, 1, tr("&Left margin:"), edtLeftMargin);
    place(4, 0, tr("Column &gap:"), edtColumnGap);
    place(4, 1, tr("Row ga&p:"), edtRowGap);

    spnFirstPosition = new QSpinBox(this);
    spnFirstPosition->setObjectName(QStringLiteral("spnFirstPosition"));
    spnFirstPosition->setToolTip(tr("The first unused label of a partly used sheet, counted "
                                    "along the rows from the top left"));
    spnFontSize = new QSpinBox(this);
    spnFontSize->setObjectName(QStringLiteral("spnFontSize"));
    spnFontSize->setRange(Labels::MinimumPointSize, 24);
    spnFontSize->setValue(10);
    spnFontSize->setSuffix(tr(" pt"));
    chkOnePerHousehold = new QCheckBox(tr("One label per &household"), this);
    chkOnePerHousehold->setObjectName(QStringLiteral("chkOnePerHousehold"));
    chkOnePerHousehold->setChecked(true);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    auto* form = new QFormLayout;
    const auto addRow = [this, form](const char* name, const QString& caption, QWidget* field) {
        QLabel* label = CreateLabel(this, QLatin1String(name), caption);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    addRow("lblSheet", tr("&Sheet:"), cboSheet);
    form->addRow(grpCustom);
    addRow("lblFirstPosition", tr("&First label:"), spnFirstPosition);
    addRow("lblFontSize", tr("Font si&ze:"), spnFontSize);
    form->addRow(chkOnePerHousehold);
    form->addRow(lblCount);

    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    btnHouseholds = button("btnHouseholds", tr("&Review Households..."));
    btnPreview = button("btnPreview", tr("Pre&view"));
    btnPrint = button("btnPrint", tr("&Print..."));
    btnPrint->setIcon(qv::Pictures::icon(u"print"));
    btnPrint->setDefault(true);
    btnClose = button("btnClose", tr("&Close"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHouseholds);
    buttons->addStretch(1);
    buttons->addWidget(btnPreview);
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(cboSheet, &QComboBox::currentIndexChanged, this, &TfrmLabels::cboSheetChange);
    for (QSpinBox* box : {spnColumns, spnRows})
        connect(box, &QSpinBox::valueChanged, this,
                [this] { spnFirstPosition->setMaximum(std::max(Sheet().perSheet(), 1)); });
    connect(chkOnePerHousehold, &QCheckBox::toggled, this, &TfrmLabels::updateCount);
    connect(btnHouseholds, &QPushButton::clicked, this, &TfrmLabels::btnHouseholdsClick);
    connect(btnPreview, &QPushButton::clicked, this, &TfrmLabels::btnPreviewClick);
    connect(btnPrint, &QPushButton::clicked, this, &TfrmLabels::btnPrintClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    cboSheetChange();
    updateCount();
}

void TfrmLabels::cboSheetChange() {
    const int index = cboSheet->currentIndex();
    const bool custom = index >= int(Labels::BuiltInSheets().size());
    grpCustom->setEnabled(custom);
    if (!custom) {
        // The custom fields start from the sheet last chosen.
        const Labels::LabelSheet& sheet = Labels::BuiltInSheets()[size_t(index)];
        cboPaper->setCurrentIndex(cboPaper->findData(int(sheet.paper)));
        spnColumns->setValue(sheet.columns);
        spnRows->setValue(sheet.rows);
        edtLabelWidth->setValue(sheet.labelWidth);
        edtLabelHeight->setValue(sheet.labelHeight);
        edtTopMargin->setValue(sheet.topMargin);
        edtLeftMargin->setValue(sheet.leftMargin);
        edtColumnGap->setValue(sheet.columnGap);
        edtRowGap->setValue(sheet.rowGap);
    }
    spnFirstPosition->setRange(1, std::max(Sheet().perSheet(), 1));
}

Labels::LabelSheet TfrmLabels::Sheet() const {
    const int index = cboSheet->currentIndex();
    if (index >= 0 && index < int(Labels::BuiltInSheets().size()))
        return Labels::BuiltInSheets()[size_t(index)];
    Labels::LabelSheet sheet;
    sheet.name = cboSheet->currentText();
    sheet.paper = QPageSize::PageSizeId(cboPaper->currentData().toInt());
    sheet.columns = spnColumns->value();
    sheet.rows = spnRows->value();
    sheet.labelWidth = edtLabelWidth->value();
    sheet.labelHeight = edtLabelHeight->value();
    sheet.topMargin = edtTopMargin->value();
    sheet.leftMargin = edtLeftMargin->value();
    sheet.columnGap = edtColumnGap->value();
    sheet.rowGap = edtRowGap->value();
    return sheet;
}

std::vector<Letters::Recipient> TfrmLabels::Recipients() const {
    return Letters::MakeRecipients(m_members, chkOnePerHousehold->isChecked());
}

void TfrmLabels::updateCount() {
    lblCount->setText(tr("%1 for %2.")
                          .arg(Letters::Counted(Recipients().size(), tr("label"), tr("labels")),
                               Letters::Counted(m_members.size(), tr("member"), tr("members"))));
}

void TfrmLabels::btnHouseholdsClick() {
    TfrmHouseholds window(Letters::MakeRecipients(m_members, true), m_members, this);
    window.exec();
}

void TfrmLabels::btnPreviewClick() {
    print(true);
}

void TfrmLabels::btnPrintClick() {
    print(false);
}

bool TfrmLabels::print(bool preview) {
    const Labels::LabelSheet sheet = Sheet();
    if (const QString problem = Labels::SheetProblem(sheet); !problem.isEmpty()) {
        qv::ShowMessageBox(problem, qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return false;
    }
    const std::vector<Letters::Recipient> recipients = Recipients();
    if (recipients.empty()) {
        qv::ShowMessageBox(tr("There are no members in the list to print labels for."),
                           qv::MessageKind::Information, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return false;
    }
    Labels::LabelJob job;
    job.sheet = sheet;
    job.firstPosition = spnFirstPosition->value();
    job.pointSize = spnFontSize->value();
    job.count = int(recipients.size());
    job.linesOf = [&](int i) { return Letters::LabelLines(recipients[size_t(i)], m_members); };
    const QString title = QStringLiteral("Quorvane - ") + tr("Address Labels");
    const qv::PaintDocument paint = [&](qv::PrintCanvas& canvas) {
        canvas.beginDocument(title);
        Labels::PaintLabels(canvas, job);
        canvas.endDocument();
    };
    const qv::PrintJobOptions options{title, QPageLayout::Portrait, QPageSize(sheet.paper), true};
    return preview ? qv::PreviewDocument(options, paint, this)
                   : qv::PrintDocument(options, paint, this);
}
