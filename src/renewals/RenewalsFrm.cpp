// SPDX-License-Identifier: GPL-3.0-or-later
#include "renewals/RenewalsFrm.h"

#include "db/RegisterTables.h"
#include "letters/LettersFrm.h"
#include "pictures/Pictures.h"
#include "platform/data/Connection.h"
#include "platform/data/Dataset.h"
#include "platform/data/Transaction.h"
#include "platform/os/Clock.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "platform/ui/AmountEdit.h"
#include "platform/ui/DatasetGrid.h"
#include "platform/ui/DatasetModel.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SavedFileMessage.h"
#include "reports/EmailListFrm.h"
#include "search/MemberListFrm.h"
#include "settings/AppInfo.h"
#include "settings/MemberSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace {

void inform(QWidget* parent, const QString& text) {
    qv::ShowMessageBox(text, qv::MessageKind::Information, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, parent);
}

void warn(QWidget* parent, const QString& text) {
    qv::ShowMessageBox(text, qv::MessageKind::Warning, qv::MessageButtons::Ok,
                       qv::MessagePlacement::Centered, parent);
}

QString membersText(int n) {
    return n == 1 ? QStringLiteral("1 member") : QStringLiteral("%1 members").arg(n);
}

} // namespace

// The grid's model: amounts as money, the last payment as a date, and the
// level's colours as the member list shows them.
class RenewalsModel : public qv::DatasetModel {
public:
    using qv::DatasetModel::DatasetModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !validRow(index.row()))
            return {};
        const QString& field = columns()[index.column()].field;
        const bool money = field == QLatin1String("FeeDue") || field == QLatin1String("Paid") ||
                           field == QLatin1String("Balance");
        switch (role) {
        case Qt::DisplayRole:
            if (money)
                return Renewals::MoneyText(
                    dataset()->valueAt(index.row(), fieldIndexOf(index.column())).toFloat());
            if (field == QLatin1String("LastPayment")) {
                const qv::Value v = dataset()->valueAt(index.row(), fieldIndexOf(index.column()));
                return v.isNull() ? QString()
                                  : qv::Regional::formatShortDate(v.toDateTime().date());
            }
            break;
        case Qt::TextAlignmentRole:
            if (money)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            break;
        case Qt::BackgroundRole:
            return index.row() == dataset()->currentIndex()
                       ? QVariant()
                       : storedColourAt(index.row(), QStringLiteral("HighlightColour"));
        case Qt::ForegroundRole:
            return index.row() == dataset()->currentIndex()
                       ? QVariant()
                       : storedColourAt(index.row(), QStringLiteral("FontColour"));
        default:
            break;
        }
        return qv::DatasetModel::data(index, role);
    }
};

// ---- Record Payment ------------------------------------------------------------

TfrmRecordPayment::TfrmRecordPayment(int members, QWidget* parent)
    : QDialog(parent)
    , m_members(members) {
    SetUpFindDialog(this, QStringLiteral("frmRecordPayment"));
    setWindowTitle(tr("Record Payment"));
    lblMembers = new QLabel(tr("One payment each for %1.").arg(membersText(members)), this);
    lblMembers->setObjectName(QStringLiteral("lblMembers"));
    dtpPaymentDate = new qv::DatePicker(false, this);
    dtpPaymentDate->setObjectName(QStringLiteral("dtpPaymentDate"));
    dtpPaymentDate->setDate(qv::Clock::today());
    chkEachBalance = new QCheckBox(tr("Each member's &balance"), this);
    chkEachBalance->setObjectName(QStringLiteral("chkEachBalance"));
    chkEachBalance->setChecked(true);
    edtAmount = new qv::AmountEdit(this);
    edtAmount->setObjectName(QStringLiteral("edtAmount"));
    edtAmount->setEnabled(false);
    connect(chkEachBalance, &QCheckBox::toggled, edtAmount,
            [this](bool each) { edtAmount->setEnabled(!each); });
    edtReceiptPattern = new QLineEdit(this);
    edtReceiptPattern->setObjectName(QStringLiteral("edtReceiptPattern"));
    edtReceiptPattern->setPlaceholderText(tr("e.g. R26-### (### counts up)"));
    spnFirstNumber = new QSpinBox(this);
    spnFirstNumber->setObjectName(QStringLiteral("spnFirstNumber"));
    spnFirstNumber->setRange(0, 99999999);
    spnFirstNumber->setValue(1);
    edtNotes = new QLineEdit(this);
    edtNotes->setObjectName(QStringLiteral("edtNotes"));
    edtNotes->setMaxLength(75);

    auto* form = new QFormLayout;
    form->addRow(lblMembers);
    form->addRow(tr("&Date:"), dtpPaymentDate);
    form->addRow(chkEachBalance);
    form->addRow(tr("&Amount:"), edtAmount);
    form->addRow(tr("&Receipt reference:"), edtReceiptPattern);
    form->addRow(tr("&First number:"), spnFirstNumber);
    form->addRow(tr("&Notes:"), edtNotes);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    const DialogButtons buttons = CreateDialogButtons(this, tr("&OK"), QStringLiteral("btnOK"));
    btnOK = buttons.confirm;
    btnCancel = buttons.cancel;
    AddButtonRow(layout, buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        if (!dtpPaymentDate->commitTyped())
            return;
        if (!chkEachBalance->isChecked() && !edtAmount->commitTyped())
            return;
        if (CheckOrder(m_members))
            accept();
    });
    setMinimumWidth(380);
}

Renewals::PaymentOrder TfrmRecordPayment::Order() const {
    Renewals::PaymentOrder order;
    order.date = dtpPaymentDate->date();
    if (!chkEachBalance->isChecked())
        order.amount = edtAmount->amount();
    order.receiptPattern = edtReceiptPattern->text().trimmed();
    order.firstNumber = spnFirstNumber->value();
    order.notes = edtNotes->text().trimmed();
    return order;
}

bool TfrmRecordPayment::CheckOrder(int payments) {
    const Renewals::PaymentOrder order = Order();
    if (order.amount && *order.amount <= 0) {
        warn(this, tr("Enter an amount above 0, or tick \"Each member's balance\"."));
        edtAmount->setFocus();
        return false;
    }
    const QString last =
        Renewals::ReceiptRef(order.receiptPattern, order.firstNumber + std::max(payments, 1) - 1);
    if (last.size() > 20) {
        warn(this,
             tr("The receipt reference \"%1\" would be longer than 20 characters.").arg(last));
        edtReceiptPattern->setFocus();
        return false;
    }
    return true;
}

// ---- End Membership ------------------------------------------------------------

TfrmEndMembership::TfrmEndMembership(int members, const QDate& ended, QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmEndMembership"));
    setWindowTitle(tr("End Membership"));
    lblMembers =
        new QLabel(tr("Ends the latest open period of %1.").arg(membersText(members)), this);
    lblMembers->setObjectName(QStringLiteral("lblMembers"));
    dtpDateEnded = new qv::DatePicker(false, this);
    dtpDateEnded->setObjectName(QStringLiteral("dtpDateEnded"));
    dtpDateEnded->setDate(ended);
    edtReason = new QLineEdit(QStringLiteral("Lapsed"), this);
    edtReason->setObjectName(QStringLiteral("edtReason"));
    edtReason->setMaxLength(50);
    auto* form = new QFormLayout;
    form->addRow(lblMembers);
    form->addRow(tr("&Date ended:"), dtpDateEnded);
    form->addRow(tr("&Reason:"), edtReason);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    const DialogButtons buttons = CreateDialogButtons(this, tr("&OK"), QStringLiteral("btnOK"));
    btnOK = buttons.confirm;
    btnCancel = buttons.cancel;
    AddButtonRow(layout, buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        if (dtpDateEnded->commitTyped())
            accept();
    });
    setMinimumWidth(360);
}

// ---- Year start ----------------------------------------------------------------

TfrmYearStart::TfrmYearStart(const Renewals::YearStart& start, QWidget* parent)
    : QDialog(parent) {
    SetUpFindDialog(this, QStringLiteral("frmYearStart"));
    setWindowTitle(tr("Membership Year"));
    cboMonth = new QComboBox(this);
    cboMonth->setObjectName(QStringLiteral("cboMonth"));
    for (int month = 1; month <= 12; ++month)
        cboMonth->addItem(qv::Regional::locale().standaloneMonthName(month), month);
    cboMonth->setCurrentIndex(start.month - 1);
    spnDay = new QSpinBox(this);
    spnDay->setObjectName(QStringLiteral("spnDay"));
    spnDay->setRange(1, 31);
    spnDay->setValue(start.day);
    // Every year must have the day: no 29 February, no 31 April.
    const auto limitDay = [this] {
        spnDay->setMaximum(QDate(2001, cboMonth->currentData().toInt(), 1).daysInMonth());
    };
    limitDay();
    connect(cboMonth, &QComboBox::currentIndexChanged, this, limitDay);
    auto* form = new QFormLayout;
    form->addRow(new QLabel(tr("The first day of every membership year:"), this));
    auto* row = new QHBoxLayout;
    row->addWidget(spnDay);
    row->addWidget(cboMonth, 1);
    auto* lblDay = new QLabel(tr("&Day and month:"), this);
    lblDay->setBuddy(spnDay);
    form->addRow(lblDay, row);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    const DialogButtons buttons = CreateDialogButtons(this, tr("&OK"), QStringLiteral("btnOK"));
    btnOK = buttons.confirm;
    btnCancel = buttons.cancel;
    AddButtonRow(layout, buttons);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

Renewals::YearStart TfrmYearStart::Start() const {
    return {cboMonth->currentData().toInt(), spnDay->value()};
}

// ---- The window ------------------------------------------------------------------

TfrmRenewals::TfrmRenewals(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmRenewals"));
    setWindowTitle(tr("Renewals"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    resize(900, 600);

    adoRenewals = new qv::Dataset(nullptr, this);
    adoRenewals->setObjectName(QStringLiteral("adoRenewals"));
    m_model = new RenewalsModel(adoRenewals, this);
    m_model->setColumns({
        {QStringLiteral("FirstNames"), tr("First Name(s)"), 90},
        {QStringLiteral("Surname"), tr("Surname"), 90},
        {QStringLiteral("MemberCategory"), tr("Level"), 90},
        {QStringLiteral("FeeDue"), tr("Fee Due"), 70},
        {QStringLiteral("Paid"), tr("Paid"), 70},
        {QStringLiteral("Balance"), tr("Balance"), 70},
        {QStringLiteral("LastPayment"), tr("Last Payment"), 80},
        {QStringLiteral("DateJoined"), tr("Date Joined"), 75},
        {QStringLiteral("DateEnded"), tr("Date Left"), 75},
        {QStringLiteral("EmailAddress"), tr("Email Address"), 140},
    });

    auto makeButton = [this](const QString& name, const QString& caption,
                             const char16_t* picture = nullptr) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        if (picture)
            button->setIcon(qv::Pictures::icon(picture));
        return button;
    };
    auto* lblYear = new QLabel(tr("Membership &year:"), this);
    cboYear = new QComboBox(this);
    cboYear->setObjectName(QStringLiteral("cboYear"));
    lblYear->setBuddy(cboYear);
    btnYearStart = makeButton(QStringLiteral("btnYearStart"), tr("Year &Starts..."));
    chkIncludePastMembers = new QCheckBox(tr("Include Pas&t Members"), this);
    chkIncludePastMembers->setObjectName(QStringLiteral("chkIncludePastMembers"));
    chkOwingOnly = new QCheckBox(tr("Still &owing"), this);
    chkOwingOnly->setObjectName(QStringLiteral("chkOwingOnly"));
    btnSelectOwing = makeButton(QStringLiteral("btnSelectOwing"), tr("Select All O&wing"));
    btnRecordPayment =
        makeButton(QStringLiteral("btnRecordPayment"), tr("Record &Payment..."), u"fee-payments");
    btnEndMembership =
        makeButton(QStringLiteral("btnEndMembership"), tr("&End Membership..."), u"past-members");
    btnEmailList = makeButton(QStringLiteral("btnEmailList"), tr("E-&mail List"), u"email-list");
    btnLetters = makeButton(QStringLiteral("btnLetters"), tr("&Letters..."), u"print");
    btnPrint = makeButton(QStringLiteral("btnPrint"), tr("P&rint"), u"print");
    btnExportCSV = makeButton(QStringLiteral("btnExportCSV"), tr("Export CS&V"), u"export-csv");

    auto* top = new QHBoxLayout;
    top->addWidget(lblYear);
    top->addWidget(cboYear);
    top->addWidget(btnYearStart);
    top->addSpacing(16);
    top->addWidget(chkIncludePastMembers);
    top->addWidget(chkOwingOnly);
    top->addStretch(1);
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {btnSelectOwing, btnRecordPayment, btnEndMembership, btnEmailList,
                           btnLetters, btnPrint, btnExportCSV})
        commands->addWidget(b);
    commands->addStretch(1);

    dbgRenewals = new qv::DatasetGrid(this);
    dbgRenewals->setObjectName(QStringLiteral("dbgRenewals"));
    dbgRenewals->setAccessibleName(tr("Renewals"));
    dbgRenewals->setDatasetModel(m_model);
    // The commands act on every row selected.
    dbgRenewals->setSelectionMode(QAbstractItemView::ExtendedSelection);

    lblTotals = new QLabel(this);
    lblTotals->setObjectName(QStringLiteral("lblTotals"));
    QFont bold = lblTotals->font();
    bold.setBold(true);
    lblTotals->setFont(bold);
    lblNoFees = new QLabel(this);
    lblNoFees->setObjectName(QStringLiteral("lblNoFees"));
    lblNoFees->setWordWrap(true);
    lblNoFees->hide();
    btnClose = makeButton(QStringLiteral("btnClose"), tr("&Close"));
    auto* totals = new QVBoxLayout;
    totals->addWidget(lblNoFees);
    totals->addWidget(lblTotals);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(totals, 1);
    bottom->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(commands);
    layout->addWidget(dbgRenewals, 1);
    layout->addLayout(bottom);

    connect(cboYear, &QComboBox::activated, this, &TfrmRenewals::Reload);
    connect(chkIncludePastMembers, &QCheckBox::clicked, this, &TfrmRenewals::Reload);
    connect(chkOwingOnly, &QCheckBox::clicked, this, &TfrmRenewals::Reload);
    connect(btnYearStart, &QPushButton::clicked, this, &TfrmRenewals::btnYearStartClick);
    connect(btnSelectOwing, &QPushButton::clicked, this, &TfrmRenewals::btnSelectOwingClick);
    connect(btnRecordPayment, &QPushButton::clicked, this, &TfrmRenewals::btnRecordPaymentClick);
    connect(btnEndMembership, &QPushButton::clicked, this, &TfrmRenewals::btnEndMembershipClick);
    connect(btnEmailList, &QPushButton::clicked, this, &TfrmRenewals::btnEmailListClick);
    connect(btnLetters, &QPushButton::clicked, this, &TfrmRenewals::btnLettersClick);
    connect(btnPrint, &QPushButton::clicked, this, &TfrmRenewals::btnPrintClick);
    connect(btnExportCSV, &QPushButton::clicked, this, &TfrmRenewals::btnExportCSVClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(dbgRenewals, &qv::DatasetGrid::titleClicked, this,
            &TfrmRenewals::dbgRenewalsTitleClick);
    connect(dbgRenewals, &QAbstractItemView::doubleClicked, this,
            &TfrmRenewals::dbgRenewalsDblClick);
    connect(adoRenewals, &qv::Dataset::afterOpen, this,
            [this] { dbgRenewals->horizontalHeader()->setSortIndicatorShown(false); });
}

void TfrmRenewals::OpenRenewals(qv::Connection& connection) {
    // A register from before the fees, opened where it cannot be upgraded.
    if (!RegisterTables::HasTable(connection, QStringLiteral("LevelFees")))
        throw qv::DatabaseError(
            tr("This register has no fees by level yet. Open it once where it can be changed, "
               "and Quorvane adds them."));
    m_connection = &connection;
    // A register opened read-only is still read here; its commands are grey.
    const bool writable = MemberSettings::IsDatabaseWritable();
    for (QPushButton* b : {btnRecordPayment, btnEndMembership, btnYearStart})
        b->setEnabled(writable);
    m_start = Renewals::GetYearStart(connection);
    fillYears(Renewals::YearOf(qv::Clock::today(), m_start));
    Reload();
    dbgRenewals->setFocus();
}

void TfrmRenewals::ShowRenewals(qv::Connection& connection) {
    OpenRenewals(connection);
    // As the member list: the more columns show, the less there is to scroll.
    setWindowState(windowState() | Qt::WindowMaximized);
    exec();
}

void TfrmRenewals::fillYears(int chosen) {
    const int current = Renewals::YearOf(qv::Clock::today(), m_start);
    const int first = std::min(chosen, current - 10), last = std::max(chosen, current + 2);
    cboYear->clear();
    for (int year = last; year >= first; --year)
        cboYear->addItem(Renewals::YearName(year, m_start), year);
    cboYear->setCurrentIndex(cboYear->findData(chosen));
    btnYearStart->setToolTip(tr("The membership year starts on %1.")
                                 .arg(qv::Regional::locale().toString(
                                     Renewals::FirstDay(2001, m_start), QStringLiteral("d MMMM"))));
}

int TfrmRenewals::Year() const {
    return cboYear->currentData().toInt();
}

QString TfrmRenewals::YearName() const {
    return Renewals::YearName(Year(), m_start);
}

// The list comes back on the same row number while it is that long.
void TfrmRenewals::Reload() {
    if (!m_connection)
        return;
    Renewals::ListOptions options;
    options.year = Year();
    options.start = m_start;
    options.includePast = chkIncludePastMembers->isChecked();
    options.owingOnly = chkOwingOnly->isChecked();
    const int position = adoRenewals->isActive() ? adoRenewals->recNo() : 0;
    Renewals::OpenList(*adoRenewals, *m_connection, options);
    if (position > 0 && adoRenewals->recordCount() >= position)
        adoRenewals->setRecNo(position);
    setWindowTitle(tr("Renewals %1").arg(YearName()));
    updateTotals();
}

void TfrmRenewals::updateTotals() {
    const Renewals::Totals t = Renewals::Sum(*adoRenewals);
    lblTotals->setText(tr("%1   Due %2   Paid %3   Owing %4   Members owing %5")
                           .arg(membersText(t.members), Renewals::MoneyText(t.due),
                                Renewals::MoneyText(t.paid), Renewals::MoneyText(t.owing))
                           .arg(t.membersOwing));
    const bool noFees = m_connection && !Renewals::HasFees(*m_connection, Year());
    lblNoFees->setText(noFees ? tr("No fee is set for %1 or before, so every fee due is 0. Set "
                                   "the fees of each level with Fees... in Data > Edit "
                                   "Membership Types.")
                                    .arg(YearName())
                              : QString());
    lblNoFees->setVisible(noFees);
}

std::vector<Renewals::Debtor> TfrmRenewals::SelectedMembers() const {
    std::vector<Renewals::Debtor> members;
    if (!adoRenewals->isActive())
        return members;
    const int member = adoRenewals->fieldIndex(QStringLiteral("MemberID"));
    const int balance = adoRenewals->fieldIndex(QStringLiteral("Balance"));
    QList<int> rows;
    for (const QModelIndex& index : dbgRenewals->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (const int row : rows)
        if (row < adoRenewals->recordCount())
            members.push_back({adoRenewals->valueAt(row, member).toInteger(),
                               adoRenewals->valueAt(row, balance).toFloat()});
    return members;
}

bool TfrmRenewals::anySelected() {
    if (!SelectedMembers().empty())
        return true;
    inform(this, tr("Select the members first (Ctrl or Shift and a click adds rows; "
                    "Select All Owing selects every member who owes)."));
    return false;
}

void TfrmRenewals::btnSelectOwingClick() {
    if (!adoRenewals->isActive())
        return;
    QItemSelection selection;
    for (const int row : owingRows())
        selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
    dbgRenewals->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (selection.isEmpty())
        inform(this, tr("No member in the list owes anything for %1.").arg(YearName()));
}

void TfrmRenewals::btnRecordPaymentClick() {
    if (!m_connection || !anySelected())
        return;
    const std::vector<Renewals::Debtor> members = SelectedMembers();
    TfrmRecordPayment dialog(int(members.size()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Renewals::PaymentOutcome outcome =
        Renewals::RecordPayments(*m_connection, members, dialog.Order());
    Reload();
    QString text = outcome.recorded == 1 ? tr("1 payment was recorded.")
                                         : tr("%1 payments were recorded.").arg(outcome.recorded);
    if (outcome.skipped)
        text += QStringLiteral("\n") +
                tr("%1 owed nothing and got no payment.").arg(membersText(outcome.skipped));
    inform(this, text);
}

void TfrmRenewals::btnEndMembershipClick() {
    if (!m_connection || !anySelected())
        return;
    std::vector<qint64> ids;
    for (const Renewals::Debtor& d : SelectedMembers())
        ids.push_back(d.memberId);
    TfrmEndMembership dialog(int(ids.size()), Renewals::FirstDay(Year(), m_start).addDays(-1),
                             this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Renewals::LapseOutcome outcome = Renewals::EndMemberships(
        *m_connection, ids, dialog.dtpDateEnded->date(), dialog.edtReason->text().trimmed());
    Reload();
    QString text = outcome.ended == 1 ? tr("1 membership was ended.")
                                      : tr("%1 memberships were ended.").arg(outcome.ended);
    if (outcome.skipped)
        text += QStringLiteral("\n") +
                tr("%1 left as they were: the latest period has ended already or starts "
                   "after that date.")
                    .arg(membersText(outcome.skipped));
    inform(this, text);
}

// A balance of less than a penny is nothing owed.
std::vector<int> TfrmRenewals::owingRows() const {
    std::vector<int> rows;
    if (!adoRenewals->isActive())
        return rows;
    const int balance = adoRenewals->fieldIndex(QStringLiteral("Balance"));
    for (int row = 0; row < adoRenewals->recordCount(); ++row)
        if (adoRenewals->valueAt(row, balance).toFloat() >= 0.005)
            rows.push_back(row);
    return rows;
}

std::vector<qint64> TfrmRenewals::OwingMembers() const {
    std::vector<qint64> members;
    const int member = adoRenewals->fieldIndex(QStringLiteral("MemberID"));
    for (const int row : owingRows())
        members.push_back(adoRenewals->valueAt(row, member).toInteger());
    return members;
}

QString TfrmRenewals::OwingEmailList() const {
    QString list;
    const int email = adoRenewals->fieldIndex(QStringLiteral("EmailAddress"));
    for (const int row : owingRows()) {
        const QString address = adoRenewals->textAt(row, email).trimmed();
        if (!address.isEmpty())
            list += address + QStringLiteral(", ");
    }
    return list;
}

void TfrmRenewals::btnEmailListClick() {
    const QString list = OwingEmailList();
    if (list.isEmpty()) {
        inform(this, tr("No member in the list who owes has an e-mail address."));
        return;
    }
    TfrmEmailList window(this);
    window.ShowEmailList(list);
}

// Reminder letters to the members owing, with what each owes for the year
// chosen as merge fields.
void TfrmRenewals::btnLettersClick() {
    if (!m_connection)
        return;
    const std::vector<qint64> members = OwingMembers();
    if (members.empty()) {
        inform(this, tr("No member in the list owes anything for %1.").arg(YearName()));
        return;
    }
    const std::map<qint64, QHash<QString, QString>> year =
        Renewals::MergeFields(*m_connection, Year());
    Letters::ExtraFields fields;
    for (const qint64 member : members) {
        const auto found = year.find(member);
        if (found != year.end())
            fields.insert(member, found->second);
    }
    Letters::ShowLettersDialog(this, *m_connection, members, fields);
}

void TfrmRenewals::btnPrintClick() {
    if (!adoRenewals->isActive())
        return;
    PrintShared::PrintList(*adoRenewals, Renewals::Report(*adoRenewals, windowTitle()), this);
}

void TfrmRenewals::btnExportCSVClick() {
    if (!adoRenewals->isActive())
        return;
    qv::FileDialogOptions options;
    options.caption = tr("Export CSV");
    options.initialFolder = AppInfo::GetDocumentsFolder();
    options.fileName = windowTitle().replace(u'/', u'-');
    options.filter = QStringLiteral("CSV file (*.csv)|*.csv");
    options.defaultSuffix = QStringLiteral("csv");
    options.confirmOverwrite = true;
    const std::optional<QString> file = qv::GetSaveFileName(options, this);
    if (!file)
        return;
    Renewals::ExportCSV(*adoRenewals, *file);
    qv::ShowFileSaved(this, QString(), tr("The renewals list was exported."), *file);
}

void TfrmRenewals::btnYearStartClick() {
    if (!m_connection)
        return;
    TfrmYearStart dialog(m_start, this);
    if (dialog.exec() != QDialog::Accepted || dialog.Start() == m_start)
        return;
    qv::TransactionGuard transaction(*m_connection, qv::TransactionKind::Normal,
                                     QStringLiteral("Membership Year Start"));
    Renewals::SetYearStart(*m_connection, dialog.Start());
    transaction.commit();
    // The chosen year keeps its number and takes the new first day.
    const int year = Year();
    m_start = dialog.Start();
    fillYears(year);
    Reload();
}

// First click on a title sorts ascending, the next descending.
void TfrmRenewals::dbgRenewalsTitleClick(int column) {
    if (!adoRenewals->isActive() || column < 0 || column >= m_model->columns().size())
        return;
    const QString name = m_model->columns()[column].field;
    const QString current = adoRenewals->sort();
    const bool descending = current.startsWith(name + u' ', Qt::CaseInsensitive) &&
                            !current.contains(QLatin1String(" DESC"), Qt::CaseInsensitive);
    adoRenewals->setSort(name + (descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC")));
    QHeaderView* titles = dbgRenewals->horizontalHeader();
    titles->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    titles->setSortIndicatorShown(true);
}

void TfrmRenewals::dbgRenewalsDblClick() {
    if (!m_connection || !adoRenewals->isActive() || adoRenewals->recNo() < 1)
        return;
    if (OpenMemberRecord(this, *m_connection,
                         int(adoRenewals->field(QStringLiteral("MemberID")).asInteger())))
        Reload();
}
