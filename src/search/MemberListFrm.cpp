// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/MemberListFrm.h"

#include "letters/LettersFrm.h"
#include "members/MemberFrm.h"
#include "pictures/Pictures.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/Transaction.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/DatasetModel.h"
#include "platform/ui/DatasetNavigator.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/SavedFileMessage.h"
#include "reports/CSVExport.h"
#include "reports/EmailListFrm.h"
#include "reports/PrintLongServiceReport.h"
#include "reports/PrintMemberList.h"
#include "reports/PrintPhoneList.h"
#include "reports/PrintShared.h"
#include "settings/AppInfo.h"

#include <QCheckBox>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

// The grid's model: level colours and years of service are worked out here,
// as the view asks for a cell, so only the rows on screen ever cost anything.
class MemberListModel : public qv::DatasetModel {
public:
    using qv::DatasetModel::DatasetModel;

    int referenceYear = -1;
    bool fiveYearRounding = false;

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !validRow(index.row()))
            return {};
        switch (role) {
        case Qt::DisplayRole:
            if (index.column() == TfrmMemberList::colYearsService)
                return QStringLiteral(" ") + PrintShared::YearsServiceText(*dataset(), index.row(),
                                                                           fiveYearRounding,
                                                                           referenceYear);
            break;
        case Qt::BackgroundRole:
            return levelColour(index.row(), QStringLiteral("HighlightColour"));
        case Qt::ForegroundRole:
            return levelColour(index.row(), QStringLiteral("FontColour"));
        default:
            break;
        }
        return qv::DatasetModel::data(index, role);
    }

private:
    // The selected row keeps the selection colours; a negative or missing
    // colour keeps the grid's own.
    QVariant levelColour(int row, const QString& name) const {
        if (row == dataset()->currentIndex())
            return {};
        return storedColourAt(row, name);
    }
};

TfrmMemberList::TfrmMemberList(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmMemberList"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    resize(701, 615);

    adoMembers = new qv::Dataset(nullptr, this);
    adoMembers->setObjectName(QStringLiteral("adoMembers"));
    m_model = new MemberListModel(adoMembers, this);
    m_model->setColumns({
        {QStringLiteral("FirstNames"), tr("First Name(s)"), 90},
        {QStringLiteral("Surname"), tr("Surname"), 90},
        {QStringLiteral("Address"), tr("Address"), 110},
        {QStringLiteral("City"), tr("City"), 85},
        {QStringLiteral("PostCode"), tr("Post Code"), 60},
        {QStringLiteral("TelNo"), tr("Tel No"), 90},
        {QStringLiteral("MobileNo"), tr("Mobile No"), 90},
        {QStringLiteral("EmailAddress"), tr("Email Address"), 140},
        {QStringLiteral("DateJoined"), tr("Date Joined"), 75},
        {QStringLiteral("DateEnded"), tr("Date Left"), 75},
        {QStringLiteral("YearsService"), tr("Years"), 50},
    });
    buildControls();

    connect(adoMembers, &qv::Dataset::afterScroll, this, &TfrmMemberList::UpdateRecordCount);
    connect(adoMembers, &qv::Dataset::rowsReset, this, &TfrmMemberList::UpdateRecordCount);
    // A re-run puts the rows back in the query's order.
    connect(adoMembers, &qv::Dataset::afterOpen, this,
            [this] { dbgMembers->horizontalHeader()->setSortIndicatorShown(false); });
}

TfrmMemberList::~TfrmMemberList() {
    if (m_restoreWatched)
        m_restoreWatched->removeEventFilter(this);
}

void TfrmMemberList::buildControls() {
    pnlTop = new QWidget(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(57);
    auto makeButton = [this](QWidget* parent, const QString& name, const QString& caption) {
        auto* button = new QPushButton(caption, parent);
        button->setObjectName(name);
        button->setAutoDefault(false);
        button->setMinimumSize(100, 34);
        button->setIconSize(QSize(16, 16));
        return button;
    };
    btnPrint = makeButton(pnlTop, QStringLiteral("btnPrint"), tr("&Print"));
    btnPrint->setIcon(qv::Pictures::icon(u"print"));
    btnLabels = makeButton(pnlTop, QStringLiteral("btnLabels"), tr("La&bels..."));
    btnLabels->setIcon(qv::Pictures::icon(u"print"));
    btnLetters = makeButton(pnlTop, QStringLiteral("btnLetters"), tr("L&etters..."));
    btnLetters->setIcon(qv::Pictures::icon(u"print"));
    btnPhoneList = makeButton(pnlTop, QStringLiteral("btnPhoneList"), tr("P&hone List"));
    btnPhoneList->setIcon(qv::Pictures::icon(u"phone-list"));
    btnExportCSV = makeButton(pnlTop, QStringLiteral("btnExportCSV"), tr("Export CS&V"));
    btnExportCSV->setIcon(qv::Pictures::icon(u"export-csv"));
    connect(btnPrint, &QPushButton::clicked, this, &TfrmMemberList::btnPrintClick);
    connect(btnLabels, &QPushButton::clicked, this, &TfrmMemberList::btnLabelsClick);
    connect(btnLetters, &QPushButton::clicked, this, &TfrmMemberList::btnLettersClick);
    connect(btnPhoneList, &QPushButton::clicked, this, &TfrmMemberList::btnPhoneListClick);
    connect(btnExportCSV, &QPushButton::clicked, this, &TfrmMemberList::btnExportCSVClick);
    chkIncludePastMembers = new QCheckBox(tr("Include Pas&t Members"), pnlTop);
    chkIncludePastMembers->setObjectName(QStringLiteral("chkIncludePastMembers"));
    connect(chkIncludePastMembers, &QCheckBox::clicked, this,
            &TfrmMemberList::chkIncludePastMembersClick);
    auto* top = new QHBoxLayout(pnlTop);
    top->setContentsMargins(8, 0, 12, 0);
    top->setSpacing(8);
    top->addWidget(btnPrint);
    top->addWidget(btnLabels);
    top->addWidget(btnLetters);
    top->addWidget(btnPhoneList);
    top->addWidget(btnExportCSV);
    top->addStretch(1);
    top->addWidget(chkIncludePastMembers);

    dbgMembers = new qv::DatasetGrid(this);
    dbgMembers->setObjectName(QStringLiteral("dbgMembers"));
    dbgMembers->setAccessibleName(tr("Members"));
    dbgMembers->setDatasetModel(m_model);
    connect(dbgMembers, &qv::DatasetGrid::titleClicked, this,
            &TfrmMemberList::dbgMembersTitleClick);
    connect(dbgMembers, &QAbstractItemView::doubleClicked, this,
            &TfrmMemberList::dbgMembersDblClick);
    connect(dbgMembers, &QWidget::customContextMenuRequested, this,
            &TfrmMemberList::dbgMembersContextMenu);
    // Enter opens the row's member as a double-click does, so the keyboard
    // reaches every record.
    dbgMembers->installEventFilter(this);

    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(48);
    dbnMembers = new qv::DatasetNavigator(pnlBottom);
    dbnMembers->setObjectName(QStringLiteral("dbnMembers"));
    dbnMembers->setDataset(adoMembers);
    lblRecordCount = new QLabel(pnlBottom);
    lblRecordCount->setObjectName(QStringLiteral("lblRecordCount"));
    QFont countFont(QStringLiteral("Tahoma"));
    countFont.setPixelSize(16);
    countFont.setBold(true);
    lblRecordCount->setFont(countFont);
    btnClose = new QPushButton(tr("&Close"), pnlBottom);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setAutoDefault(false);
    btnClose->setMinimumSize(90, 30);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(8, 0, 12, 0);
    bottom->setSpacing(16);
    bottom->addWidget(dbnMembers);
    bottom->addWidget(lblRecordCount);
    bottom->addStretch(1);
    bottom->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlTop);
    layout->addWidget(dbgMembers, 1);
    layout->addWidget(pnlBottom);

    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    auto addItem = [this](const QString& name, const QString& caption, const char16_t* picture) {
        QAction* action = mnuPopup->addAction(qv::Pictures::icon(picture), caption);
        action->setObjectName(name);
        return action;
    };
    mnuPopupEmailList =
        addItem(QStringLiteral("mnuPopupEmailList"), tr("E-mail &List..."), u"email-list");
    mnuPopupSendEmail =
        addItem(QStringLiteral("mnuPopupSendEmail"), tr("&Send E-mail"), u"send-email");
    mnuPopupEmailAll = addItem(QStringLiteral("mnuPopupEmailAll"), tr("E-m&ail All"), u"email-all");
    mnuPopup->addSeparator()->setObjectName(QStringLiteral("mnuPopupSep1"));
    mnuPopupPrintLongService = addItem(QStringLiteral("mnuPopupPrintLongService"),
                                       tr("&Print Years Service..."), u"print");
    mnuPopupLabels = addItem(QStringLiteral("mnuPopupLabels"), tr("Address La&bels..."), u"print");
    mnuPopupLetters = addItem(QStringLiteral("mnuPopupLetters"), tr("Le&tters..."), u"print");
    mnuPopup->addSeparator()->setObjectName(QStringLiteral("mnuPopupSep2"));
    mnuPopupCopyRow = addItem(QStringLiteral("mnuPopupCopyRow"), tr("Copy &Row"), u"copy");
    mnuPopupCopyNameAddress = addItem(QStringLiteral("mnuPopupCopyNameAddress"),
                                      tr("Copy &Name && Address"), u"copy-address");
    connect(mnuPopupEmailList, &QAction::triggered, this, &TfrmMemberList::mnuPopupEmailListClick);
    connect(mnuPopupPrintLongService, &QAction::triggered, this,
            &TfrmMemberList::mnuPopupPrintLongServiceClick);
    connect(mnuPopupLabels, &QAction::triggered, this, &TfrmMemberList::btnLabelsClick);
    connect(mnuPopupLetters, &QAction::triggered, this, &TfrmMemberList::btnLettersClick);
    connect(mnuPopupSendEmail, &QAction::triggered, this, &TfrmMemberList::mnuPopupSendEmailClick);
    connect(mnuPopupEmailAll, &QAction::triggered, this, &TfrmMemberList::mnuPopupEmailAllClick);
    connect(mnuPopupCopyRow, &QAction::triggered, this, &TfrmMemberList::mnuPopupCopyRowClick);
    connect(mnuPopupCopyNameAddress, &QAction::triggered, this,
            &TfrmMemberList::mnuPopupCopyNameAddressClick);
}

void TfrmMemberList::ShowMemberList(qv::Connection& connection, const QString& sql,
                                    const QString& searchValue, int referenceYear,
                                    bool fiveYearRounding, bool pastMembersOnly,
                                    const QString& caption) {
    OpenMemberList(connection, sql, searchValue, referenceYear, fiveYearRounding, pastMembersOnly,
                   caption);
    setWindowState(windowState() | Qt::WindowMaximized);
    exec();
}

void TfrmMemberList::OpenMemberList(qv::Connection& connection, const QString& sql,
                                    const QString& searchValue, int referenceYear,
                                    bool fiveYearRounding, bool pastMembersOnly,
                                    const QString& caption) {
    m_referenceYear = referenceYear;
    m_fiveYearRounding = fiveYearRounding;
    m_model->referenceYear = referenceYear;
    m_model->fiveYearRounding = fiveYearRounding;

    adoMembers->close();
    adoMembers->setConnection(&connection);
    adoMembers->setFilter(QStringLiteral("(DateEnded = null)"));
    if (pastMembersOnly) {
        chkIncludePastMembers->setChecked(true);
        chkIncludePastMembers->setEnabled(false);
    }
    adoMembers->setFiltered(!chkIncludePastMembers->isChecked());
    adoMembers->setSQL(sql);
    // One text for every occurrence of every placeholder.
    adoMembers->query().setAllParameters(qv::Value(searchValue));
    adoMembers->open();
    UpdateRecordCount();
    setWindowTitle(caption);
    // The rows have the keyboard from the start: arrows, Home and End move
    // through them rather than between the buttons above.
    dbgMembers->setFocus();
}

void TfrmMemberList::UpdateRecordCount() {
    if (!adoMembers->isActive() || adoMembers->isEmpty())
        lblRecordCount->setText(tr("No records found"));
    else
        lblRecordCount->setText(
            tr("%1 of %2 records").arg(adoMembers->recNo()).arg(adoMembers->recordCount()));
    dbgMembers->selectFirstColumn();
    const bool rows = adoMembers->isActive() && !adoMembers->isEmpty();
    dbgMembers->setContextMenuPolicy(rows ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

// The reports and the export read the rows where they stand: the current row
// stays where it is, whatever happens.
void TfrmMemberList::btnPrintClick() {
    PrintMemberList(*adoMembers, windowTitle(), m_fiveYearRounding, m_referenceYear, this);
}

void TfrmMemberList::btnLabelsClick() {
    if (adoMembers->isActive())
        Letters::ShowLabelsDialog(this, *adoMembers->connection(), MemberKeys());
}

void TfrmMemberList::btnLettersClick() {
    if (adoMembers->isActive())
        Letters::ShowLettersDialog(this, *adoMembers->connection(), MemberKeys());
}

std::vector<qint64> TfrmMemberList::MemberKeys() const {
    std::vector<qint64> keys;
    if (!adoMembers->isActive())
        return keys;
    // A list of issues names a member once per issue: one label each.
    QSet<qint64> seen;
    const int column = adoMembers->field(QStringLiteral("MemberID")).index();
    for (int row = 0; row < adoMembers->recordCount(); ++row) {
        const qint64 key = adoMembers->valueAt(row, column).toInteger();
        if (!seen.contains(key)) {
            seen.insert(key);
            keys.push_back(key);
        }
    }
    return keys;
}

void TfrmMemberList::btnPhoneListClick() {
    PrintPhoneList(*adoMembers, this);
}

void TfrmMemberList::mnuPopupPrintLongServiceClick() {
    PrintLongServiceReport(*adoMembers, windowTitle(), m_fiveYearRounding, m_referenceYear, this);
}

void TfrmMemberList::btnExportCSVClick() {
    qv::FileDialogOptions options;
    options.caption = tr("Export CSV");
    options.initialFolder = AppInfo::GetDocumentsFolder();
    // The caption is the proposed name; a "/" in it (a date, say) would make
    // it a path into folders that do not exist.
    options.fileName = windowTitle().replace(u'/', u'-');
    options.filter = QStringLiteral("CSV file (*.csv)|*.csv");
    options.defaultSuffix = QStringLiteral("csv");
    options.confirmOverwrite = true;
    const std::optional<QString> file = qv::GetSaveFileName(options, this);
    if (!file)
        return;
    CSVExport(*adoMembers, *file, m_referenceYear, m_fiveYearRounding);
    qv::ShowFileSaved(this, QString(), tr("The list was exported."), *file);
}

void TfrmMemberList::mnuPopupEmailListClick() {
    TfrmEmailList window(this);
    window.ShowEmailList(EmailAddressList());
}

void TfrmMemberList::chkIncludePastMembersClick() {
    adoMembers->setFiltered(!chkIncludePastMembers->isChecked());
    adoMembers->close();
    adoMembers->open();
    UpdateRecordCount();
}

// First click on a title sorts ascending, the next descending, and so on;
// the sort holds until the query runs again. Years sort by the joining date.
void TfrmMemberList::dbgMembersTitleClick(int column) {
    if (!adoMembers->isActive() || column < 0 || column >= m_model->columns().size())
        return;
    const QString name =
        column == colYearsService ? QStringLiteral("DateJoined") : m_model->columns()[column].field;
    const QString current = adoMembers->sort();
    const bool descending = current.startsWith(name + u' ', Qt::CaseInsensitive) &&
                            !current.contains(QLatin1String(" DESC"), Qt::CaseInsensitive);
    adoMembers->setSort(name + (descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC")));
    QHeaderView* titles = dbgMembers->horizontalHeader();
    titles->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    titles->setSortIndicatorShown(true);
}

// The member's record opens inside a transaction: OK commits it (from the
// window, which stays open while another program holds the register) and
// re-runs the list, back on the same row number while the list is that long;
// anything else (an error included) rolls the visit back and leaves the list
// as it was.
void TfrmMemberList::dbgMembersDblClick() {
    if (!adoMembers->isActive() || adoMembers->recNo() < 1)
        return;
    if (!OpenMemberRecord(this, *adoMembers->connection(),
                          int(adoMembers->field(QStringLiteral("MemberID")).asInteger())))
        return;
    const int position = adoMembers->recNo();
    adoMembers->close();
    adoMembers->open();
    UpdateRecordCount();
    if (adoMembers->recordCount() >= position)
        adoMembers->setRecNo(position);
}

bool OpenMemberRecord(QWidget* owner, qv::Connection& connection, int memberId) {
    TfrmMember frmMember(owner);
    qv::TransactionGuard transaction(connection);
    frmMember.SetCommit([&transaction] { transaction.commit(); });
    frmMember.ShowForMember(connection, memberId);
    if (frmMember.result() != QDialog::Accepted) {
        transaction.rollback();
        return false;
    }
    return true;
}

void TfrmMemberList::dbgMembersContextMenu(const QPoint& position) {
    if (!adoMembers->isActive() || adoMembers->isEmpty())
        return;
    mnuPopupPopup();
    mnuPopup->popup(dbgMembers->viewport()->mapToGlobal(position));
}

void TfrmMemberList::mnuPopupPopup() {
    const bool row = adoMembers->isActive() && adoMembers->recNo() > 0;
    mnuPopupSendEmail->setEnabled(row && !currentText(QStringLiteral("EmailAddress")).isEmpty());
}

QString TfrmMemberList::currentText(const QString& field) const {
    return adoMembers->field(field).asString();
}

void TfrmMemberList::mnuPopupSendEmailClick() {
    if (adoMembers->recNo() < 1)
        return;
    AppInfo::OpenMailTo(currentText(QStringLiteral("EmailAddress")));
}

void TfrmMemberList::mnuPopupEmailAllClick() {
    AppInfo::OpenMailTo(EmailAddressList());
}

QString TfrmMemberList::EmailAddressList() const {
    QString list;
    if (!adoMembers->isActive())
        return list;
    const int column = adoMembers->field(QStringLiteral("EmailAddress")).index();
    for (int row = 0; row < adoMembers->recordCount(); ++row) {
        const QString address = adoMembers->textAt(row, column);
        if (!address.isEmpty())
            list += address + QStringLiteral(", ");
    }
    return list;
}

void TfrmMemberList::mnuPopupCopyRowClick() {
    if (adoMembers->recNo() < 1)
        return;
    static const char* const fields[] = {"FirstNames", "Surname",  "Address",  "City",
                                         "PostCode",   "TelNo",    "MobileNo", "EmailAddress",
                                         "DateJoined", "DateEnded"};
    QStringList texts;
    for (const char* name : fields)
        texts << currentText(QLatin1String(name));
    QGuiApplication::clipboard()->setText(texts.join(QStringLiteral(" - ")));
}

void TfrmMemberList::mnuPopupCopyNameAddressClick() {
    if (adoMembers->recNo() < 1)
        return;
    const QString lineBreak = QStringLiteral("\r\n");
    QGuiApplication::clipboard()->setText(currentText(QStringLiteral("FirstNames")) + u' ' +
                                          currentText(QStringLiteral("Surname")) + lineBreak +
                                          currentText(QStringLiteral("Address")) + lineBreak +
                                          currentText(QStringLiteral("City")) + lineBreak +
                                          currentText(QStringLiteral("PostCode")) + lineBreak);
}

// Minimising this window minimises the program: the main window goes down
// with it, and when the main window comes back this window comes back on top.
void TfrmMemberList::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || owner->isMinimized())
        return;
    if (!m_restoreWatched) {
        owner->installEventFilter(this);
        m_restoreWatched = owner;
    }
    owner->showMinimized();
}

bool TfrmMemberList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dbgMembers && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            dbgMembersDblClick();
            return true;
        }
    }
    if (watched == m_restoreWatched && event->type() == QEvent::WindowStateChange &&
        !m_restoreWatched->isMinimized()) {
        m_restoreWatched->removeEventFilter(this);
        m_restoreWatched = nullptr;
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        show();
        raise();
        activateWindow();
    }
    return QDialog::eventFilter(watched, event);
}
