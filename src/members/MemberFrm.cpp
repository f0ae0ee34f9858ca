// SPDX-License-Identifier: GPL-3.0-or-later
#include "members/MemberFrm.h"

#include "db/ChangeLog.h"
#include "db/MemberSQL.h"
#include "history/History.h"
#include "history/HistoryView.h"
#include "history/MemberExport.h"
#include "members/AddDateJoinedFrm.h"
#include "members/AddMemberAssetFrm.h"
#include "members/AddMemberProfileFrm.h"
#include "members/FeePaymentModifyFrm.h"
#include "members/FileModifyFrm.h"
#include "members/ModifyDateFrm.h"
#include "members/ModifyMemberAssetFrm.h"
#include "members/ModifyMemberProfileFrm.h"
#include "pictures/Pictures.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintCanvas.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DBEdit.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/DatasetModel.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "reports/PrintMemberDetails.h"
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

using qv::Dataset;
using qv::Value;

namespace {

const QString Paragraph = QStringLiteral("\n\r\n\r");

enum TabKind { Periods, Assets, Profiles, Payments, Files, Notes };

// Set on a cell whose colours stand even when its row is selected.
constexpr int KeepColoursRole = Qt::UserRole + 1;

bool FileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The cap a dialog's edit takes from the column it fills; no cap when the
// engine does not say.
int WidthOf(Dataset* dataset, const QString& column) {
    const int width = dataset->field(column).size();
    return width > 0 ? width : 32767;
}

} // namespace

// The tabs' cell colours: periods in their level's colours, returned assets
// and ended profiles grey, payments as money, missing files in maroon.
class MemberTabModel : public qv::DatasetModel {
public:
    MemberTabModel(Dataset* dataset, TabKind kind, QObject* parent)
        : qv::DatasetModel(dataset, parent)
        , m_kind(kind) {}

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !validRow(index.row()))
            return qv::DatasetModel::data(index, role);
        const int row = index.row();
        switch (m_kind) {
        case Periods:
            if (role == Qt::BackgroundRole)
                return storedColourAt(row, QStringLiteral("HighlightColour"));
            if (role == Qt::ForegroundRole)
                return storedColourAt(row, QStringLiteral("FontColour"));
            if (role == KeepColoursRole)
                return storedColourAt(row, QStringLiteral("HighlightColour")).isValid();
            break;
        case Assets:
        case Profiles:
            if (role == Qt::BackgroundRole && row != dataset()->currentIndex()) {
                const int column = namedColumn(m_kind == Assets ? QStringLiteral("DateReturned")
                                                                : QStringLiteral("ProfileEnd"));
                if (column >= 0 && !dataset()->isNullAt(row, column))
                    return QApplication::palette().button();
            }
            break;
        case Payments:
            if (role == Qt::DisplayRole &&
                fieldIndexOf(index.column()) == namedColumn(QStringLiteral("PaymentAmount")) &&
                !dataset()->isNullAt(row, fieldIndexOf(index.column())))
                return QStringLiteral(" ") +
                       qv::Regional::formatCurrency(
                           dataset()->valueAt(row, fieldIndexOf(index.column())).toFloat());
            break;
        case Files:
            if (role == Qt::ForegroundRole) {
                const int column = namedColumn(QStringLiteral("FilePath"));
                if (column >= 0 && !FileExists(dataset()->textAt(row, column)))
                    return QBrush(QColor(128, 0, 0));
            }
            break;
        case Notes:
            break;
        }
        return qv::DatasetModel::data(index, role);
    }

private:
    TabKind m_kind;
};

namespace {

// A text colour of the model holds on the selected row too, and a cell marked
// with KeepColoursRole is drawn as if not selected: a level's highlight hides
// the selection.
class TabDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant text = index.data(Qt::ForegroundRole);
        if (text.canConvert<QBrush>())
            option->palette.setBrush(QPalette::HighlightedText, text.value<QBrush>());
        if (index.data(KeepColoursRole).toBool())
            option->state &= ~QStyle::State_Selected;
    }
};

} // namespace

struct TfrmMember::TabSpec {
    QWidget** page;
    const char* pageName;
    QString caption;
    const char16_t* picture;
    qv::DatasetGrid** grid;
    const char* gridName;
    Dataset* dataset;
    TabKind kind;
    QList<qv::DatasetModel::Column> columns;
    QPushButton** add;
    const char* addName;
    QString addCaption;
    QPushButton** modify;
    const char* modifyName;
    QString modifyCaption;
    QAction** remove;
    const char* removeName;
    QString removeCaption;
};

TfrmMember::TfrmMember(QWidget* parent)
    : qv::VisitDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmMember"));
    setWindowTitle(tr("Member Details"));

    const auto dataset = [this](const char* name, const QString& table, const QString& key) {
        auto* d = new Dataset(nullptr, this);
        d->setObjectName(QLatin1String(name));
        d->setBaseTable(table, key);
        return d;
    };
    adoMember = dataset("adoMember", QStringLiteral("Members"), QStringLiteral("MemberID"));
    adoMember->setSQL(MemberSQL::MemberRowSQL());
    adoDatesJoined =
        dataset("adoDatesJoined", QStringLiteral("DatesJoined"), QStringLiteral("DatesJoinedID"));
    adoDatesJoined->setSQL(MemberSQL::MemberDatesJoinedSQL());
    adoAssets =
        dataset("adoAssets", QStringLiteral("MemberAssets"), QStringLiteral("MemberAssetID"));
    adoAssets->setSQL(MemberSQL::MemberAssetsSQL());
    adoProfiles =
        dataset("adoProfiles", QStringLiteral("MemberProfiles"), QStringLiteral("MemberProfileID"));
    adoProfiles->setSQL(MemberSQL::MemberProfilesSQL());
    adoFeePayments =
        dataset("adoFeePayments", QStringLiteral("FeePayments"), QStringLiteral("FeePaymentID"));
    adoFeePayments->setSQL(MemberSQL::MemberFeePaymentsSQL());
    adoFiles =
        dataset("adoFiles", QStringLiteral("FileAttachments"), QStringLiteral("FileAttachmentID"));
    adoFiles->setSQL(MemberSQL::MemberFilesSQL());
    adoNotes = dataset("adoNotes", QStringLiteral("MemberNotes"), QStringLiteral("MemberNotesID"));
    adoNotes->setSQL(MemberSQL::MemberNotesSQL());
    // The member link: each tab follows the member row's MemberID.
    for (Dataset* d : {adoDatesJoined, adoAssets, adoProfiles, adoFeePayments, adoFiles, adoNotes})
        d->setMaster(adoMember);

    buildControls();

    connect(adoMember, &Dataset::afterOpen, this, &TfrmMember::adoMemberAfterOpen);
    connect(adoDatesJoined, &Dataset::afterOpen, this, &TfrmMember::adoDatesJoinedAfterOpen);
    connect(adoAssets, &Dataset::afterOpen, this, &TfrmMember::adoAssetsAfterOpen);
    connect(adoProfiles, &Dataset::afterOpen, this, &TfrmMember::adoProfilesAfterOpen);
    connect(adoFeePayments, &Dataset::afterOpen, this, &TfrmMember::adoFeePaymentsAfterOpen);
    connect(adoFiles, &Dataset::afterOpen, this, &TfrmMember::adoFilesAfterOpen);
    connect(adoNotes, &Dataset::afterOpen, this, &TfrmMember::adoNotesAfterOpen);
    // A note typed into an empty grid can be deleted once it is stored.
    connect(adoNotes, &Dataset::afterPost, this, &TfrmMember::adoNotesAfterOpen);
    // A note belongs to a stored member row: until a new member is stored,
    // or when the member is no longer there, the notes grid takes no typing.
    const auto notesFollowMember = [this] {
        dbgNotes->setEditable(m_writable && adoMember->isActive() && adoMember->recNo() >= 1);
    };
    connect(adoMember, &Dataset::afterOpen, this, notesFollowMember);
    connect(adoMember, &Dataset::stateChanged, this, notesFollowMember);

    // Close throws the whole visit away: ask first when it holds anything.
    SetDiscardQuestion(tr("Discard the changes to this member?"));
    for (Dataset* d :
         {adoMember, adoDatesJoined, adoAssets, adoProfiles, adoFeePayments, adoFiles, adoNotes})
        TrackWrites(d);
}

TfrmMember::~TfrmMember() = default;

void TfrmMember::buildControls() {
    const auto button = [this](QWidget* parent, const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    const auto edit = [this](QGroupBox* group, QFormLayout* form, const char* name,
                             const char* column, const QString& caption) {
        auto* e = new qv::DBEdit(adoMember, QLatin1String(column), group);
        e->setObjectName(QLatin1String(name));
        auto* label = new QLabel(caption, group);
        label->setBuddy(e);
        form->addRow(label, e);
        return e;
    };

    grpNameAddress = new QGroupBox(tr("Name && Address"), this);
    grpNameAddress->setObjectName(QStringLiteral("grpNameAddress"));
    auto* nameForm = new QFormLayout(grpNameAddress);
    dbedtFirstName =
        edit(grpNameAddress, nameForm, "dbedtFirstName", "FirstNames", tr("Fi&rst Name(s):"));
    dbedtSurname = edit(grpNameAddress, nameForm, "dbedtSurname", "Surname", tr("Surn&ame:"));
    dbedtAddress = edit(grpNameAddress, nameForm, "dbedtAddress", "Address", tr("A&ddress:"));
    dbedtCity = edit(grpNameAddress, nameForm, "dbedtCity", "City", tr("C&ity:"));
    dbedtPostCode = edit(grpNameAddress, nameForm, "dbedtPostCode", "PostCode", tr("P&ost Code:"));

    grpPhoneEmail = new QGroupBox(tr("Phone && E-mail"), this);
    grpPhoneEmail->setObjectName(QStringLiteral("grpPhoneEmail"));
    auto* phoneForm = new QFormLayout(grpPhoneEmail);
    dbedtTelNo = edit(grpPhoneEmail, phoneForm, "dbedtTelNo", "TelNo", tr("&Tel No:"));
    dbedtMobileNo = edit(grpPhoneEmail, phoneForm, "dbedtMobileNo", "MobileNo", tr("Mo&bile No:"));
    dbedtEmail = edit(grpPhoneEmail, phoneForm, "dbedtEmail", "EmailAddress", tr("E-&mail:"));
    btnSendEmail = button(grpPhoneEmail, "btnSendEmail", tr("Se&nd E-mail"));
    btnSendEmail->setIcon(qv::Pictures::icon(u"send-email"));
    btnSendEmail->setEnabled(false);
    auto* sendRow = new QHBoxLayout;
    sendRow->addStretch(1);
    sendRow->addWidget(btnSendEmail);
    phoneForm->addRow(sendRow);
    connect(btnSendEmail, &QPushButton::clicked, this, &TfrmMember::btnSendEmailClick);

    pgcDetails = new QTabWidget(this);
    pgcDetails->setObjectName(QStringLiteral("pgcDetails"));
    pgcDetails->setIconSize(QSize(16, 16));
    const QList<TabSpec> tabs = {
        {&tabDatesJoined,
         "tabDatesJoined",
         tr("Dates &Joined"),
         u"dates-joined",
         &dbgDatesJoined,
         "dbgDatesJoined",
         adoDatesJoined,
         Periods,
         {{QStringLiteral("MemberCategory"), tr("Membership Level"), 120},
          {QStringLiteral("MembershipNo"), tr("Memb. No."), 70},
          {QStringLiteral("DateJoined"), tr("Date Joined"), 90},
          {QStringLiteral("DateEnded"), tr("Date Ended"), 90},
          {QStringLiteral("ReasonEnded"), tr("Reason Ended"), 150}},
         &btnAddDate,
         "btnAddDate",
         tr("Add Date"),
         &btnModifyDate,
         "btnModifyDate",
         tr("Modify Date"),
         &mnuDatesJoinedDelete,
         "mnuDatesJoinedDelete",
         tr("&Delete Date Joined")},
        {&tabAssets,
         "tabAssets",
         tr("A&ssets"),
         u"assets",
         &dbgAssets,
         "dbgAssets",
         adoAssets,
         Assets,
         {{QStringLiteral("AssetName"), tr("Asset Name"), 150},
          {QStringLiteral("DateIssued"), tr("Date Issued"), 90},
          {QStringLiteral("AssetReference"), tr("Asset Reference"), 100},
          {QStringLiteral("DateReturned"), tr("Date Returned"), 90}},
         &btnAssetsAdd,
         "btnAssetsAdd",
         tr("Add Asset"),
         &btnAssetsModify,
         "btnAssetsModify",
         tr("Modify Asset"),
         &mnuAssetsDelete,
         "mnuAssetsDelete",
         tr("&Delete Member Asset")},
        {&tabProfiles,
         "tabProfiles",
         tr("Pro&files"),
         u"profiles",
         &dbgProfiles,
         "dbgProfiles",
         adoProfiles,
         Profiles,
         {{QStringLiteral("ProfileName"), tr("Profile"), 200},
          {QStringLiteral("ProfileStart"), tr("Profile Start"), 90},
          {QStringLiteral("ProfileEnd"), tr("Profile End"), 90}},
         &btnProfilesAdd,
         "btnProfilesAdd",
         tr("Add Profile"),
         &btnProfilesModify,
         "btnProfilesModify",
         tr("Modify Profile"),
         &mnuProfilesDelete,
         "mnuProfilesDelete",
         tr("&Delete Member Profile")},
        {&tabFeePayments,
         "tabFeePayments",
         tr("Fee Pa&yments"),
         u"fee-payments",
         &dbgFeePayments,
         "dbgFeePayments",
         adoFeePayments,
         Payments,
         {{QStringLiteral("PaymentDate"), tr("Payment Date"), 90},
          {QStringLiteral("ReceiptRef"), tr("Receipt Ref."), 125},
          {QStringLiteral("PaymentAmount"), tr("Payment Amount"), 120},
          {QStringLiteral("PaymentNotes"), tr("Payment Notes"), 200}},
         &btnPaymentAdd,
         "btnPaymentAdd",
         tr("Add Payment"),
         &btnPaymentModify,
         "btnPaymentModify",
         tr("Amend"),
         &mnuFeePaymentsDelete,
         "mnuFeePaymentsDelete",
         tr("&Delete Payment")},
        {&tabFiles,
         "tabFiles",
         tr("Fi&les"),
         u"files",
         &dbgFiles,
         "dbgFiles",
         adoFiles,
         Files,
         {{QStringLiteral("FileDescription"), tr("File"), 200},
          {QStringLiteral("DateAdded"), tr("Date Added"), 90}},
         &btnFilesAdd,
         "btnFilesAdd",
         tr("Add File"),
         &btnFilesAmend,
         "btnFilesAmend",
         tr("Amend"),
         &mnuFilesDelete,
         "mnuFilesDelete",
         tr("&Delete File Link")},
        {&tabNotes,
         "tabNotes",
         tr("Not&es"),
         u"notes",
         &dbgNotes,
         "dbgNotes",
         adoNotes,
         Notes,
         {{QStringLiteral("MemberNote"), tr("Notes"), 64}},
         nullptr,
         nullptr,
         QString(),
         nullptr,
         nullptr,
         QString(),
         &mnuNotesDelete,
         "mnuNotesDelete",
         tr("&Delete Note")},
    };
    for (const TabSpec& tab : tabs)
        pgcDetails->addTab(buildTab(tab), qv::Pictures::icon(tab.picture), tab.caption);
    tabHistory = new THistoryView(nullptr, pgcDetails);
    tabHistory->setObjectName(QStringLiteral("tabHistory"));
    pgcDetails->addTab(tabHistory, qv::Pictures::icon(u"change-history"), tr("&History"));
    connect(tabHistory, &THistoryView::undone, this, &TfrmMember::tabHistoryUndone);
    // The notes are typed straight into their grid, which fills the tab.
    dbgNotes->setEditable(true);
    dbgNotes->horizontalHeader()->setStretchLastSection(true);

    connect(btnAddDate, &QPushButton::clicked, this, &TfrmMember::btnAddDateClick);
    connect(btnModifyDate, &QPushButton::clicked, this, &TfrmMember::dbgDatesJoinedDblClick);
    connect(btnAssetsAdd, &QPushButton::clicked, this, &TfrmMember::btnAssetsAddClick);
    connect(btnAssetsModify, &QPushButton::clicked, this, &TfrmMember::dbgAssetsDblClick);
    connect(btnProfilesAdd, &QPushButton::clicked, this, &TfrmMember::btnProfilesAddClick);
    connect(btnProfilesModify, &QPushButton::clicked, this, &TfrmMember::dbgProfilesDblClick);
    connect(btnPaymentAdd, &QPushButton::clicked, this, &TfrmMember::btnPaymentAddClick);
    connect(btnPaymentModify, &QPushButton::clicked, this, &TfrmMember::btnPaymentModifyClick);
    connect(btnFilesAdd, &QPushButton::clicked, this, &TfrmMember::btnFilesAddClick);
    connect(btnFilesAmend, &QPushButton::clicked, this, &TfrmMember::btnFilesAmendClick);
    m_doubleClicks = {
        connect(dbgDatesJoined, &QAbstractItemView::doubleClicked, this,
                &TfrmMember::dbgDatesJoinedDblClick),
        connect(dbgAssets, &QAbstractItemView::doubleClicked, this, &TfrmMember::dbgAssetsDblClick),
        connect(dbgProfiles, &QAbstractItemView::doubleClicked, this,
                &TfrmMember::dbgProfilesDblClick),
        connect(dbgFeePayments, &QAbstractItemView::doubleClicked, this,
                &TfrmMember::btnPaymentModifyClick),
        connect(dbgFiles, &QAbstractItemView::doubleClicked, this, &TfrmMember::dbgFilesDblClick),
    };
    connect(mnuDatesJoinedDelete, &QAction::triggered, this,
            &TfrmMember::mnuDatesJoinedDeleteClick);
    connect(mnuAssetsDelete, &QAction::triggered, this, &TfrmMember::mnuAssetsDeleteClick);
    connect(mnuProfilesDelete, &QAction::triggered, this, &TfrmMember::mnuProfilesDeleteClick);
    connect(mnuFeePaymentsDelete, &QAction::triggered, this,
            &TfrmMember::mnuFeePaymentsDeleteClick);
    connect(mnuFilesDelete, &QAction::triggered, this, &TfrmMember::mnuFilesDeleteClick);
    connect(mnuNotesDelete, &QAction::triggered, this, &TfrmMember::mnuNotesDeleteClick);

    btnPrint = button(this, "btnPrint", tr("&Print"));
    btnPrint->setIcon(qv::Pictures::icon(u"print"));
    connect(btnPrint, &QPushButton::clicked, this, &TfrmMember::btnPrintClick);
    btnClose = button(this, "btnClose", tr("&Close"));
    btnUpdate = button(this, "btnUpdate", tr("&Update"));
    for (QPushButton* b : {btnPrint, btnClose, btnUpdate})
        b->setMinimumSize(90, 30);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnUpdate, &QPushButton::clicked, this, &TfrmMember::btnUpdateClick);

    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    mnuPopupDeleteMember = mnuPopup->addAction(qv::Pictures::icon(u"delete"), tr("&Delete Member"));
    mnuPopupDeleteMember->setObjectName(QStringLiteral("mnuPopupDeleteMember"));
    connect(mnuPopupDeleteMember, &QAction::triggered, this,
            &TfrmMember::mnuPopupDeleteMemberClick);
    mnuPopup->addSeparator();
    mnuPopupExportData = mnuPopup->addAction(tr("E&xport Member Data..."));
    mnuPopupExportData->setObjectName(QStringLiteral("mnuPopupExportData"));
    connect(mnuPopupExportData, &QAction::triggered, this, &TfrmMember::mnuPopupExportDataClick);
    mnuPopupErase =
        mnuPopup->addAction(qv::Pictures::icon(u"erase-members"), tr("&Erase Member..."));
    mnuPopupErase->setObjectName(QStringLiteral("mnuPopupErase"));
    connect(mnuPopupErase, &QAction::triggered, this, &TfrmMember::mnuPopupEraseClick);

    auto* top = new QHBoxLayout;
    top->addWidget(grpNameAddress, 1);
    top->addWidget(grpPhoneEmail, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btnPrint);
    bottom->addStretch(1);
    bottom->addWidget(btnClose);
    bottom->addWidget(btnUpdate);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(pgcDetails, 1);
    layout->addLayout(bottom);
    FixDialogSize(this, 681, 509);
}

QWidget* TfrmMember::buildTab(const TabSpec& tab) {
    auto* page = new QWidget(pgcDetails);
    page->setObjectName(QLatin1String(tab.pageName));
    *tab.page = page;

    auto* model = new MemberTabModel(tab.dataset, tab.kind, this);
    model->setColumns(tab.columns);
    auto* grid = new qv::DatasetGrid(page);
    grid->setObjectName(QLatin1String(tab.gridName));
    grid->setDatasetModel(model);
    if (tab.kind != Notes)
        grid->setItemDelegate(new TabDelegate(grid));
    *tab.grid = grid;

    auto* menu = new QMenu(grid);
    *tab.remove = menu->addAction(qv::Pictures::icon(u"delete"), tab.removeCaption);
    (*tab.remove)->setObjectName(QLatin1String(tab.removeName));
    (*tab.remove)->setEnabled(false);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, menu,
            [grid, menu](const QPoint& at) { menu->popup(grid->viewport()->mapToGlobal(at)); });

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(grid, 1);
    if (tab.add) {
        auto* buttons = new QVBoxLayout;
        for (auto [target, name, caption] :
             {std::tuple{tab.add, tab.addName, tab.addCaption},
              std::tuple{tab.modify, tab.modifyName, tab.modifyCaption}}) {
            auto* b = new QPushButton(caption, page);
            b->setObjectName(QLatin1String(name));
            b->setAutoDefault(false);
            b->setMinimumWidth(100);
            buttons->addWidget(b);
            *target = b;
        }
        (*tab.modify)->setEnabled(false);
        buttons->addStretch(1);
        layout->addLayout(buttons);
    }
    return page;
}

QString TfrmMember::LookupKeyColumn(const Dataset& dataset, const QString& table,
                                    const QString& key) {
    const QString qualified = table + u'.' + key;
    return dataset.fieldIndex(qualified) >= 0 ? qualified : key;
}

// ---- opening ------------------------------------------------------------------

void TfrmMember::BindConnection(qv::Connection& connection, int memberId) {
    m_connection = &connection;
    for (Dataset* d :
         {adoMember, adoDatesJoined, adoAssets, adoProfiles, adoFeePayments, adoFiles, adoNotes})
        d->setConnection(&connection);
    adoMember->setParameter(QStringLiteral("MemberID"), memberId);
}

void TfrmMember::OpenForMember(qv::Connection& connection, int memberId) {
    BindConnection(connection, memberId);
    FormShow();
}

void TfrmMember::ShowForMember(qv::Connection& connection, int memberId) {
    OpenForMember(connection, memberId);
    // A list shown a while ago may still hold a member another user has
    // deleted since: an empty window would take typing it cannot store.
    if (adoMember->isEmpty()) {
        qv::ShowMessageBox(tr("This member is no longer in the register: another user may have "
                              "deleted them. Search again to see the register as it is now."),
                           qv::MessageKind::Error, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, parentWidget());
        setResult(QDialog::Rejected);
        return;
    }
    exec();
}

void TfrmMember::FormShow() {
    adoMember->open();
    OpenTabs();
    ApplyWriteAccess();
}

void TfrmMember::OpenTabs() {
    for (Dataset* d : {adoDatesJoined, adoAssets, adoProfiles, adoFeePayments, adoFiles, adoNotes})
        d->open();
    OpenHistory();
}

void TfrmMember::OpenHistory() {
    History::Filter filter;
    if (adoMember->recNo() > 0)
        filter.memberId = adoMember->field(QStringLiteral("MemberID")).asInteger();
    const bool shown = m_connection && filter.memberId && ChangeLog::HasTables(*m_connection);
    tabHistory->setConnection(shown ? m_connection : nullptr);
    tabHistory->setEnabled(shown);
    if (shown)
        tabHistory->load(filter);
}

void TfrmMember::tabHistoryUndone() {
    // The undo wrote in this visit: Close now asks before throwing it away.
    NoteWrite();
    adoMember->cancel();
    for (Dataset* d :
         {adoMember, adoDatesJoined, adoAssets, adoProfiles, adoFeePayments, adoFiles, adoNotes})
        d->close();
    FormShow();
    if (adoMember->isEmpty()) {
        // The undo took the member away (undoing the member's addition):
        // the visit ends with it.
        if (CommitVisit(tr("The change was not undone.")) == CommitOutcome::Done)
            QDialog::accept();
        else
            reject();
    }
}

void TfrmMember::ApplyWriteAccess() {
    m_writable = MemberSettings::IsDatabaseWritable();
    if (m_writable)
        return;
    btnUpdate->setEnabled(false);
    mnuPopupDeleteMember->setEnabled(false);
    mnuPopupErase->setEnabled(false);
    for (QPushButton* b : {btnAddDate, btnAssetsAdd, btnProfilesAdd, btnPaymentAdd, btnFilesAdd})
        b->setEnabled(false);
    for (qv::DBEdit* e : {dbedtFirstName, dbedtSurname, dbedtAddress, dbedtCity, dbedtPostCode,
                          dbedtTelNo, dbedtMobileNo, dbedtEmail})
        e->setReadOnly(true);
    dbgNotes->setEditable(false);
    for (QPushButton* b :
         {btnModifyDate, btnAssetsModify, btnProfilesModify, btnPaymentModify, btnFilesAmend})
        b->setEnabled(false);
    for (QAction* a : {mnuDatesJoinedDelete, mnuAssetsDelete, mnuProfilesDelete,
                       mnuFeePaymentsDelete, mnuFilesDelete, mnuNotesDelete})
        a->setEnabled(false);
    for (const QMetaObject::Connection& c : m_doubleClicks)
        disconnect(c);
    m_doubleClicks.clear();
}

// ---- after-open handlers ------------------------------------------------------

void TfrmMember::adoMemberAfterOpen() {
    // Decided here only: an address typed during the visit does not enable it.
    btnSendEmail->setEnabled(
        adoMember->recNo() >= 1 &&
        !adoMember->field(QStringLiteral("EmailAddress")).asString().isEmpty());
}

void TfrmMember::enableRowCommands(Dataset* dataset, QPushButton* modify, QAction* remove) {
    const bool row = m_writable && dataset->recNo() >= 1 && dataset->recordCount() != 0;
    if (modify)
        modify->setEnabled(row);
    remove->setEnabled(row);
}

void TfrmMember::adoDatesJoinedAfterOpen() {
    enableRowCommands(adoDatesJoined, btnModifyDate, mnuDatesJoinedDelete);
}
void TfrmMember::adoAssetsAfterOpen() {
    enableRowCommands(adoAssets, btnAssetsModify, mnuAssetsDelete);
}
void TfrmMember::adoProfilesAfterOpen() {
    enableRowCommands(adoProfiles, btnProfilesModify, mnuProfilesDelete);
}
void TfrmMember::adoFeePaymentsAfterOpen() {
    enableRowCommands(adoFeePayments, btnPaymentModify, mnuFeePaymentsDelete);
}
void TfrmMember::adoFilesAfterOpen() {
    enableRowCommands(adoFiles, btnFilesAmend, mnuFilesDelete);
}
void TfrmMember::adoNotesAfterOpen() {
    enableRowCommands(adoNotes, nullptr, mnuNotesDelete);
}

// ---- Update -------------------------------------------------------------------

void TfrmMember::UpdateMemberRow() {
    for (qv::DBEdit* e : {dbedtFirstName, dbedtSurname, dbedtAddress, dbedtCity, dbedtPostCode,
                          dbedtTelNo, dbedtMobileNo, dbedtEmail})
        e->updateRecord();
}

bool TfrmMember::HoldsChanges() const {
    if (HasWritten() || adoMember->isModified() || adoNotes->isModified() || dbgNotes->isTyping())
        return true;
    for (const qv::DBEdit* e : findChildren<qv::DBEdit*>())
        if (e->holdsUnwrittenText())
            return true;
    return false;
}

void TfrmMember::settleNotes() {
    dbgNotes->commitEdit();
    if (adoNotes->state() == Dataset::State::Edit || adoNotes->state() == Dataset::State::Insert) {
        if (adoNotes->isModified())
            adoNotes->post();
        else
            adoNotes->cancel();
    }
}

bool TfrmMember::CheckUpdate() {
    UpdateMemberRow();
    // A note still being typed is stored with the rest, not lost.
    settleNotes();
    for (const qv::DBEdit* e : {dbedtSurname, dbedtFirstName, dbedtCity, dbedtAddress}) {
        if (e->text().isEmpty()) {
            qv::ShowMessageBox(tr("You must fill out the name and address details!"),
                               qv::MessageKind::Error, qv::MessageButtons::Ok,
                               qv::MessagePlacement::Centered, this);
            return false;
        }
    }
    if (adoDatesJoined->isEmpty()) {
        qv::ShowMessageBox(tr("There must be at least one join date!"), qv::MessageKind::Error,
                           qv::MessageButtons::Ok, qv::MessagePlacement::Centered, this);
        return false;
    }
    return true;
}

// The report shows the record as it stands on screen, typing not yet stored
// included; it prints from the window's own datasets and leaves their rows
// where they are.
void TfrmMember::btnPrintClick() {
    UpdateMemberRow();
    PrintMemberDetails(*adoMember, *adoDatesJoined, *adoAssets, *adoProfiles, *adoFeePayments,
                       *adoFiles, *adoNotes, this);
}

void TfrmMember::btnUpdateClick() {
    if (!CheckUpdate())
        return;
    if (!m_newMember && adoMember->isModified())
        adoMember->post();
    accept();
}

// ---- add and modify -------------------------------------------------------------

bool TfrmMember::MemberRowStored() {
    if (adoMember->recNo() >= 1)
        return true;
    // Say which of the four are wanted: with the names filled in, "name
    // details" alone sends the user looking in the wrong place.
    const std::pair<const qv::DBEdit*, QString> needed[] = {{dbedtFirstName, tr("First Name(s)")},
                                                            {dbedtSurname, tr("Surname")},
                                                            {dbedtAddress, tr("Address")},
                                                            {dbedtCity, tr("City")}};
    QStringList empty;
    for (const auto& [edit, name] : needed)
        if (edit->text().isEmpty())
            empty << name;
    QString message = tr("You must enter name details first!");
    if (!empty.isEmpty())
        message += Paragraph + tr("Still empty: %1.").arg(empty.join(QStringLiteral(", ")));
    qv::ShowMessageBox(message, qv::MessageKind::Error, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, this);
    dbedtFirstName->setFocus();
    return false;
}

void TfrmMember::storeRow(Dataset* dataset, bool adding, const std::function<void()>& setColumns) {
    try {
        if (adding)
            dataset->insert();
        else
            dataset->edit();
        setColumns();
        dataset->post();
    } catch (...) {
        dataset->cancel();
        throw;
    }
    dataset->close();
    dataset->open();
}

void TfrmMember::btnAddDateClick() {
    if (!MemberRowStored())
        return;
    TfrmAddDateJoined dialog(this);
    dialog.edtMembershipNo->setMaxLength(WidthOf(adoDatesJoined, QStringLiteral("MembershipNo")));
    dialog.edtReasonEnded->setMaxLength(WidthOf(adoDatesJoined, QStringLiteral("ReasonEnded")));
    if (!dialog.ShowWithLookup(*m_connection, MemberSQL::MembershipLevelListSQL(),
                               QStringLiteral("MemberCategory"),
                               QStringLiteral("MembershipLevelID")))
        return;
    storeRow(adoDatesJoined, true, [&] {
        Dataset& d = *adoDatesJoined;
        d.field(
             LookupKeyColumn(d, QStringLiteral("DatesJoined"), QStringLiteral("MembershipLevelID")))
            .setValue(dialog.KeyValue());
        d.field(QStringLiteral("DateJoined")).setValue(dialog.dtpJoinDate->dateTime());
        d.field(QStringLiteral("MembershipNo")).setValue(dialog.edtMembershipNo->text());
        if (dialog.dtpEndDate->isChecked()) {
            d.field(QStringLiteral("DateEnded")).setValue(dialog.dtpEndDate->dateTime());
            d.field(QStringLiteral("ReasonEnded")).setValue(dialog.edtReasonEnded->text());
        }
    });
}

void TfrmMember::dbgDatesJoinedDblClick() {
    Dataset& d = *adoDatesJoined;
    if (d.recNo() < 1)
        return;
    TfrmModifyDateJoined dialog(this);
    dialog.edtMembershipNo->setMaxLength(WidthOf(&d, QStringLiteral("MembershipNo")));
    dialog.edtReasonEnded->setMaxLength(WidthOf(&d, QStringLiteral("ReasonEnded")));
    const QString key =
        LookupKeyColumn(d, QStringLiteral("DatesJoined"), QStringLiteral("MembershipLevelID"));
    if (!dialog.ShowForPeriod(*m_connection, MemberSQL::MembershipLevelListSQL(),
                              d.field(QStringLiteral("ReasonEnded")).asString(),
                              d.field(QStringLiteral("MembershipNo")).asString(),
                              d.field(QStringLiteral("DateEnded")).asDateTime(),
                              d.field(QStringLiteral("DateJoined")).asDateTime(),
                              d.field(key).asInteger()))
        return;
    storeRow(&d, false, [&] {
        d.field(key).setValue(dialog.KeyValue());
        d.field(QStringLiteral("DateJoined")).setValue(dialog.dtpJoinDate->dateTime());
        // A period stored without a number keeps none when the box is left
        // empty: the number searches tell null from empty text.
        const QString number = dialog.edtMembershipNo->text();
        if (!number.isEmpty() || !d.field(QStringLiteral("MembershipNo")).isNull())
            d.field(QStringLiteral("MembershipNo")).setValue(number);
        const bool ended = dialog.dtpEndDate->isChecked();
        d.field(QStringLiteral("DateEnded"))
            .setValue(ended ? Value(dialog.dtpEndDate->dateTime()) : Value());
        d.field(QStringLiteral("ReasonEnded"))
            .setValue(ended ? dialog.edtReasonEnded->text() : QString());
    });
}

void TfrmMember::btnAssetsAddClick() {
    if (!MemberRowStored())
        return;
    TfrmAddMemberAsset dialog(this);
    dialog.edtReasonEnded->setMaxLength(WidthOf(adoAssets, QStringLiteral("AssetReference")));
    if (!dialog.ShowWithLookup(*m_connection, MemberSQL::AssetListSQL(),
                               QStringLiteral("AssetName"), QStringLiteral("AssetID")))
        return;
    storeRow(adoAssets, true, [&] {
        Dataset& d = *adoAssets;
        d.field(LookupKeyColumn(d, QStringLiteral("MemberAssets"), QStringLiteral("AssetID")))
            .setValue(dialog.KeyValue());
        d.field(QStringLiteral("DateIssued")).setValue(dialog.dtpJoinDate->dateTime());
        d.field(QStringLiteral("AssetReference")).setValue(dialog.edtReasonEnded->text());
        if (dialog.dtpEndDate->isChecked())
            d.field(QStringLiteral("DateReturned")).setValue(dialog.dtpEndDate->dateTime());
    });
}

void TfrmMember::dbgAssetsDblClick() {
    Dataset& d = *adoAssets;
    if (d.recNo() < 1)
        return;
    TfrmModifyMemberAsset dialog(this);
    dialog.edtReasonEnded->setMaxLength(WidthOf(&d, QStringLiteral("AssetReference")));
    const QString key =
        LookupKeyColumn(d, QStringLiteral("MemberAssets"), QStringLiteral("AssetID"));
    if (!dialog.ShowForAsset(*m_connection, MemberSQL::AssetListSQL(),
                             d.field(QStringLiteral("AssetReference")).asString(),
                             d.field(QStringLiteral("DateReturned")).asDateTime(),
                             d.field(QStringLiteral("DateIssued")).asDateTime(),
                             d.field(key).asInteger()))
        return;
    storeRow(&d, false, [&] {
        d.field(key).setValue(dialog.KeyValue());
        d.field(QStringLiteral("DateIssued")).setValue(dialog.dtpJoinDate->dateTime());
        d.field(QStringLiteral("AssetReference")).setValue(dialog.edtReasonEnded->text());
        d.field(QStringLiteral("DateReturned"))
            .setValue(dialog.dtpEndDate->isChecked() ? Value(dialog.dtpEndDate->dateTime())
                                                     : Value());
    });
}

void TfrmMember::btnProfilesAddClick() {
    if (!MemberRowStored())
        return;
    TfrmAddMemberProfile dialog(this);
    if (!dialog.ShowWithLookup(*m_connection, MemberSQL::ProfileListSQL(),
                               QStringLiteral("ProfileName"), QStringLiteral("ProfileID")))
        return;
    storeRow(adoProfiles, true, [&] {
        Dataset& d = *adoProfiles;
        d.field(LookupKeyColumn(d, QStringLiteral("MemberProfiles"), QStringLiteral("ProfileID")))
            .setValue(dialog.KeyValue());
        d.field(QStringLiteral("ProfileStart")).setValue(dialog.dtpJoinDate->dateTime());
        if (dialog.dtpEndDate->isChecked())
            d.field(QStringLiteral("ProfileEnd")).setValue(dialog.dtpEndDate->dateTime());
    });
}

void TfrmMember::dbgProfilesDblClick() {
    Dataset& d = *adoProfiles;
    if (d.recNo() < 1)
        return;
    TfrmModifyMemberProfile dialog(this);
    const QString key =
        LookupKeyColumn(d, QStringLiteral("MemberProfiles"), QStringLiteral("ProfileID"));
    if (!dialog.ShowForProfile(*m_connection, MemberSQL::ProfileListSQL(),
                               d.field(QStringLiteral("ProfileEnd")).asDateTime(),
                               d.field(QStringLiteral("ProfileStart")).asDateTime(),
                               d.field(key).asInteger()))
        return;
    storeRow(&d, false, [&] {
        d.field(key).setValue(dialog.KeyValue());
        d.field(QStringLiteral("ProfileStart")).setValue(dialog.dtpJoinDate->dateTime());
        d.field(QStringLiteral("ProfileEnd"))
            .setValue(dialog.dtpEndDate->isChecked() ? Value(dialog.dtpEndDate->dateTime())
                                                     : Value());
    });
}

// The payment's columns from the dialog; the amount is read with the point
// the field shows, whatever the system's separator.
static void SetPaymentColumns(Dataset& d, const TfrmFeePaymentAdd& dialog) {
    d.field(QStringLiteral("PaymentDate")).setValue(dialog.dtpPaymentDate->dateTime());
    d.field(QStringLiteral("ReceiptRef")).setValue(dialog.edtReceiptRef->text());
    d.field(QStringLiteral("PaymentAmount")).setValue(dialog.mskPaymentAmount->amount());
    d.field(QStringLiteral("PaymentNotes")).setValue(dialog.edtNotes->text());
}

void TfrmMember::btnPaymentAddClick() {
    if (!MemberRowStored())
        return;
    TfrmFeePaymentAdd dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    storeRow(adoFeePayments, true, [&] { SetPaymentColumns(*adoFeePayments, dialog); });
}

void TfrmMember::btnPaymentModifyClick() {
    Dataset& d = *adoFeePayments;
    if (d.recNo() < 1)
        return;
    TfrmFeePaymentModify dialog(this);
    if (dialog.ShowForPayment(d.field(QStringLiteral("ReceiptRef")).asString(),
                              d.field(QStringLiteral("PaymentNotes")).asString(),
                              d.field(QStringLiteral("PaymentAmount")).asFloat(),
                              d.field(QStringLiteral("PaymentDate")).asDateTime()) !=
        QDialog::Accepted)
        return;
    storeRow(&d, false, [&] { SetPaymentColumns(d, dialog); });
}

static void SetFileColumns(Dataset& d, const TfrmFileAdd& dialog) {
    d.field(QStringLiteral("DateAdded")).setValue(dialog.dtpDateAdded->dateTime());
    d.field(QStringLiteral("FilePath")).setValue(dialog.edtFile->text());
    d.field(QStringLiteral("FileDescription")).setValue(dialog.edtDescription->text());
}

void TfrmMember::btnFilesAddClick() {
    if (!MemberRowStored())
        return;
    TfrmFileAdd dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    storeRow(adoFiles, true, [&] { SetFileColumns(*adoFiles, dialog); });
}

void TfrmMember::btnFilesAmendClick() {
    Dataset& d = *adoFiles;
    if (d.recNo() < 1)
        return;
    TfrmFileModify dialog(this);
    if (dialog.ShowForFile(d.field(QStringLiteral("FilePath")).asString(),
                           d.field(QStringLiteral("FileDescription")).asString(),
                           d.field(QStringLiteral("DateAdded")).asDateTime()) != QDialog::Accepted)
        return;
    storeRow(&d, false, [&] { SetFileColumns(d, dialog); });
}

// A missing file does nothing, and says nothing: the grid shows it in maroon.
void TfrmMember::dbgFilesDblClick() {
    if (adoFiles->recNo() < 1)
        return;
    const QString path = adoFiles->field(QStringLiteral("FilePath")).asString();
    if (FileExists(path))
        AppInfo::OpenDocument(path);
}

void TfrmMember::btnSendEmailClick() {
    AppInfo::OpenMailTo(dbedtEmail->text());
}

// ---- deletes ------------------------------------------------------------------

void TfrmMember::deleteRow(Dataset* dataset, const QString& question, const QString& keyColumn,
                           void (*statement)(qv::Connection&, int)) {
    if (qv::ShowMessageBox(question, qv::MessageKind::Warning, qv::MessageButtons::YesNoDefaultNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    if (dataset->recNo() < 1)
        return;
    statement(*dataset->connection(), int(dataset->field(keyColumn).asInteger()));
    NoteWrite();
    dataset->close();
    dataset->open();
}

void TfrmMember::mnuDatesJoinedDeleteClick() {
    deleteRow(adoDatesJoined, tr("Are you sure you want to delete this join date?"),
              QStringLiteral("DatesJoinedID"), &MemberSQL::DeleteDatesJoined);
}

void TfrmMember::mnuAssetsDeleteClick() {
    deleteRow(adoAssets, tr("Are you sure you want to delete this member asset?"),
              QStringLiteral("MemberAssetID"), &MemberSQL::DeleteMemberAsset);
}

void TfrmMember::mnuProfilesDeleteClick() {
    deleteRow(adoProfiles, tr("Are you sure you want to delete this member profile?"),
              QStringLiteral("MemberProfileID"), &MemberSQL::DeleteMemberProfile);
}

void TfrmMember::mnuFeePaymentsDeleteClick() {
    deleteRow(adoFeePayments, tr("Are you sure you want to delete this payment?"),
              QStringLiteral("FeePaymentID"), &MemberSQL::DeleteFeePayment);
}

// Only the reference goes; the file on disk is never touched.
void TfrmMember::mnuFilesDeleteClick() {
    deleteRow(adoFiles,
              tr("Are you sure you want to remove reference to this file?") + Paragraph +
                  tr("The actual file will not be deleted."),
              QStringLiteral("FileAttachmentID"), &MemberSQL::DeleteFileAttachment);
}

void TfrmMember::mnuNotesDeleteClick() {
    // On a new row nothing has been typed into there is nothing to delete: the
    // row is given up, and the note stored above it is not the one meant.
    if (adoNotes->state() == Dataset::State::Insert && !adoNotes->isModified()) {
        dbgNotes->commitEdit();
        if (!adoNotes->isModified()) {
            adoNotes->cancel();
            return;
        }
    }
    settleNotes();
    deleteRow(adoNotes, tr("Are you sure you want to delete this note?"),
              QStringLiteral("MemberNotesID"), &MemberSQL::DeleteMemberNote);
}

// The row goes through the dataset; the cascading keys take the member's
// periods, assets, profiles, payments, notes and file references with it.
void TfrmMember::mnuPopupDeleteMemberClick() {
    const QString question =
        tr("Are you sure you want to delete this member? This action can not be undone.") +
        Paragraph +
        tr("If a member has left, you may prefer to update the dates they were members rather "
           "than deleting their details.") +
        Paragraph + tr("Continue deleting this member?");
    if (qv::ShowMessageBox(question, qv::MessageKind::Warning, qv::MessageButtons::YesNoDefaultNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    // What was typed goes with the row; posting it first could only fail.
    adoMember->cancel();
    adoMember->deleteRecord();
    // Held up by another program, the deletion is undone with the visit
    // rather than left waiting in a window that no longer shows a member.
    if (CommitVisit(tr("The member was not deleted.")) == CommitOutcome::Done)
        QDialog::accept();
    else
        CloseCancelled();
}

void TfrmMember::mnuPopupExportDataClick() {
    if (adoMember->recNo() < 1) {
        qv::ShowMessageBox(tr("The member must be stored before their data can be exported."),
                           qv::MessageKind::Information, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    }
    const qint64 memberId = adoMember->field(QStringLiteral("MemberID")).asInteger();
    qv::FileDialogOptions options;
    options.caption = tr("Export Member Data");
    options.fileName = tr("Member %1 data.pdf").arg(memberId);
    options.filter = tr("PDF files (*.pdf)|*.pdf");
    options.defaultSuffix = QStringLiteral("pdf");
    const std::optional<QString> path = qv::GetSaveFileName(options, this);
    if (!path)
        return;
    QString failure;
    try {
        const QString json = MemberExport::Export(*m_connection, memberId, *path);
        qv::ShowMessageBox(tr("Everything held on this member was written to") + Paragraph + *path +
                               Paragraph + tr("and, for other programs, to") + Paragraph + json,
                           qv::MessageKind::Information, qv::MessageButtons::Ok,
                           qv::MessagePlacement::Centered, this);
        return;
    } catch (const qv::FileSystem::FileWriteError& e) {
        failure = e.message();
    } catch (const qv::PrintError& e) {
        failure = QString::fromUtf8(e.what());
    }
    qv::ShowMessageBox(tr("The member's data was not exported:") + Paragraph + failure,
                       qv::MessageKind::Error, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, this);
}

void TfrmMember::mnuPopupEraseClick() {
    if (adoMember->recNo() < 1)
        return;
    const QString first =
        tr("Erase this member? Their name, address, phone numbers, e-mail address, notes and file "
           "references will be replaced with neutral text, and removed from the change history "
           "too.") +
        Paragraph + History::ErasureKeeps();
    if (qv::ShowMessageBox(first, qv::MessageKind::Warning, qv::MessageButtons::YesNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    if (qv::ShowMessageBox(tr("An erasure cannot be undone. Erase the member now?"),
                           qv::MessageKind::Warning, qv::MessageButtons::YesNo,
                           qv::MessagePlacement::Centered, this) != qv::MessageResult::Yes)
        return;
    // What was typed goes: it is what the erasure removes.
    adoMember->cancel();
    History::EraseMember(*m_connection, adoMember->field(QStringLiteral("MemberID")).asInteger());
    if (CommitVisit(tr("The member was not erased.")) == CommitOutcome::Done)
        QDialog::accept();
    else
        reject();
}

void TfrmMember::contextMenuEvent(QContextMenuEvent* event) {
    if (mnuPopup) {
        mnuPopup->popup(event->globalPos());
        event->accept();
    }
}
