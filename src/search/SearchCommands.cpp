// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/SearchCommands.h"

#include "db/MemberSQL.h"
#include "platform/os/Regional.h"
#include "platform/ui/InputBoxFrm.h"
#include "search/FindFrm.h"
#include "search/FindLookupFrm.h"
#include "search/InputDateFrm.h"
#include "search/MemberListFrm.h"
#include "search/SelectYearFrm.h"

#include <QCheckBox>
#include <QLineEdit>

namespace SearchCommands {
namespace {

struct ListOptions {
    QString searchValue;
    int referenceYear = -1;
    bool fiveYearRounding = false;
    bool pastMembersOnly = false;
};

void showList(QWidget* owner, qv::Connection& connection, const QString& sql,
              const QString& caption, const ListOptions& options = {}) {
    TfrmMemberList list(owner);
    list.ShowMemberList(connection, sql, options.searchValue, options.referenceYear,
                        options.fiveYearRounding, options.pastMembersOnly, caption);
}

// The typed text as a LIKE pattern. Wildcards the user typed keep their
// meaning; nothing is escaped or trimmed.
QString pattern(const QString& text) {
    return u'%' + text + u'%';
}

QString notMatchingSuffix(bool notMatching) {
    return notMatching ? QStringLiteral(" - Not Matching") : QString();
}

QString historicSuffix(bool historic) {
    return historic ? QStringLiteral(" - Historic") : QString();
}

// The find dialog with its remembered text; answers false when cancelled or
// empty.
bool askFind(QWidget* owner, const QString& caption, const QString& prompt, QString& text,
             bool& notMatching) {
    TfrmFind dialog(owner);
    if (dialog.ShowInputBox(caption, prompt, QObject::tr("&Find"), QString(), 0) !=
        QDialog::Accepted)
        return false;
    text = dialog.edtSearch->text();
    notMatching = dialog.chkNotMatching->isChecked();
    return !text.isEmpty();
}

struct LookupChoice {
    QString key;
    QString text;
    bool historic = false;
    bool notMatching = false;
};

bool askLookup(QWidget* owner, qv::Connection& connection, const QString& caption,
               const QString& prompt, const QString& listSQL, const QString& listColumn,
               const QString& keyColumn, bool enableChecks, LookupChoice& choice) {
    TfrmFindLookup dialog(owner);
    if (dialog.ShowLookupFind(connection, caption, prompt, listSQL, listColumn, keyColumn,
                              enableChecks) != QDialog::Accepted)
        return false;
    choice.key = QString::number(dialog.KeyValue());
    choice.text = dialog.Text();
    choice.historic = dialog.chkIncludeHistoric->isChecked();
    choice.notMatching = dialog.chkNotMatching->isChecked();
    return true;
}

} // namespace

void FindKeyword(QWidget* owner, qv::Connection& connection) {
    QString text;
    bool notMatching = false;
    if (!askFind(owner, QObject::tr("Find"), QObject::tr("Enter the &keyword to find:"), text,
                 notMatching))
        return;
    showList(owner, connection, MemberSQL::KeywordSQL(notMatching),
             QStringLiteral("Find - ") + text + notMatchingSuffix(notMatching), {pattern(text)});
}

void ListAllMembers(QWidget* owner, qv::Connection& connection) {
    showList(owner, connection, MemberSQL::AllMembersSQL(), QObject::tr("Member List"));
}

void FindProfile(QWidget* owner, qv::Connection& connection) {
    LookupChoice choice;
    if (!askLookup(owner, connection, QObject::tr("Find Profile"), QObject::tr("&Profile:"),
                   MemberSQL::ProfileListSQL(), QStringLiteral("ProfileName"),
                   QStringLiteral("ProfileID"), true, choice))
        return;
    showList(owner, connection, MemberSQL::ProfileSQL(choice.historic, choice.notMatching),
             QStringLiteral("Profiles - ") + choice.text + historicSuffix(choice.historic) +
                 notMatchingSuffix(choice.notMatching),
             {choice.key});
}

void ListLongService(QWidget* owner, qv::Connection& connection) {
    TfrmSelectYear dialog(owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int year = dialog.SelectedYear();
    ListOptions options;
    options.referenceYear = year;
    options.fiveYearRounding = true;
    showList(owner, connection, MemberSQL::LongServiceSQL(connection, year),
             QStringLiteral("Long Service for year ") + QString::number(year), options);
}

void FindAssets(QWidget* owner, qv::Connection& connection) {
    LookupChoice choice;
    if (!askLookup(owner, connection, QObject::tr("Find Assets"), QObject::tr("&Asset:"),
                   MemberSQL::AssetListSQL(), QStringLiteral("AssetName"),
                   QStringLiteral("AssetID"), true, choice))
        return;
    showList(owner, connection, MemberSQL::AssetSQL(choice.historic, choice.notMatching),
             QStringLiteral("Assets - ") + choice.text + historicSuffix(choice.historic) +
                 notMatchingSuffix(choice.notMatching),
             {choice.key});
}

void FindAssetReference(QWidget* owner, qv::Connection& connection) {
    const QString text = AskText(owner, QObject::tr("Find Asset Ref."),
                                 QObject::tr("Enter the asset reference:"), QObject::tr("&Find"));
    if (text.isEmpty())
        return;
    showList(owner, connection, MemberSQL::AssetReferenceSQL(),
             QStringLiteral("Asset Reference - ") + text, {pattern(text)});
}

void FindMembershipNo(QWidget* owner, qv::Connection& connection) {
    QString text;
    bool notMatching = false;
    if (!askFind(owner, QObject::tr("Find Membership No."),
                 QObject::tr("Enter the &Membership No. to find:"), text, notMatching))
        return;
    showList(owner, connection, MemberSQL::MembershipNoSQL(notMatching),
             QStringLiteral("Membership No. - ") + text + notMatchingSuffix(notMatching),
             {pattern(text)});
}

void FindUnpaidFees(QWidget* owner, qv::Connection& connection) {
    TfrmInputDate dialog(owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QDate date = dialog.SelectedDate();
    showList(owner, connection, MemberSQL::UnpaidFeesSQL(QDateTime(date, QTime(0, 0))),
             QStringLiteral("Unpaid Fees - ") + qv::Regional::formatShortDate(date));
}

void ListPastMembers(QWidget* owner, qv::Connection& connection) {
    ListOptions options;
    options.pastMembersOnly = true;
    showList(owner, connection, MemberSQL::PastMembersSQL(), QObject::tr("Past Members"), options);
}

void FindMembershipLevel(QWidget* owner, qv::Connection& connection) {
    LookupChoice choice;
    if (!askLookup(owner, connection, QObject::tr("Membership Type"), QObject::tr("Cate&gory:"),
                   MemberSQL::MembershipLevelListSQL(), QStringLiteral("MemberCategory"),
                   QStringLiteral("MembershipLevelID"), false, choice))
        return;
    showList(owner, connection, MemberSQL::MembershipLevelSQL(),
             QStringLiteral("Member Category - ") + choice.text, {choice.key});
}

} // namespace SearchCommands
