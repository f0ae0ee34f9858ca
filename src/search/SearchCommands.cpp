// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/SearchCommands.h"

#include "db/MemberSQL.h"
#include "db/SearchLists.h"
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

using SearchLists::Answer;
using SearchLists::Kind;

void showList(QWidget* owner, qv::Connection& connection, Kind kind, const Answer& answer = {}) {
    const SearchLists::List list = SearchLists::ListFor(kind, connection, answer);
    TfrmMemberList window(owner);
    window.ShowMemberList(connection, list.sql, list.searchValue, list.referenceYear,
                          list.fiveYearRounding, list.pastMembersOnly, list.caption);
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

Answer answerOf(const LookupChoice& choice) {
    Answer answer;
    answer.text = choice.text;
    answer.key = choice.key;
    answer.notMatching = choice.notMatching;
    answer.historic = choice.historic;
    return answer;
}

} // namespace

void FindKeyword(QWidget* owner, qv::Connection& connection) {
    Answer answer;
    if (askFind(owner, QObject::tr("Find"), QObject::tr("Enter the &keyword to find:"), answer.text,
                answer.notMatching))
        showList(owner, connection, Kind::Keyword, answer);
}

void ListAllMembers(QWidget* owner, qv::Connection& connection) {
    showList(owner, connection, Kind::All);
}

void FindProfile(QWidget* owner, qv::Connection& connection) {
    LookupChoice choice;
    if (askLookup(owner, connection, QObject::tr("Find Profile"), QObject::tr("&Profile:"),
                  MemberSQL::ProfileListSQL(), QStringLiteral("ProfileName"),
                  QStringLiteral("ProfileID"), true, choice))
        showList(owner, connection, Kind::Profile, answerOf(choice));
}

void ListLongService(QWidget* owner, qv::Connection& connection) {
    TfrmSelectYear dialog(owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Answer answer;
    answer.year = dialog.SelectedYear();
    showList(owner, connection, Kind::LongService, answer);
}

void FindAssets(QWidget* owner, qv::Connection& connection) {
    LookupChoice choice;
    if (askLookup(owner, connection, QObject::tr("Find Assets"), QObject::tr("&Asset:"),
                  MemberSQL::AssetListSQL(), QStringLiteral("AssetName"), QStringLiteral("AssetID"),
                  true, choice))
        showList(owner, connection, Kind::Assets, answerOf(choice));
}

void FindAssetReference(QWidget* owner, qv::Connection& connection) {
    Answer answer;
    answer.text = AskText(owner, QObject::tr("Find Asset Ref."),
                          QObject::tr("Enter the asset reference:"), QObject::tr("&Find"));
    if (!answer.text.isEmpty())
        showList(owner, connection, Kind::AssetReference, answer);
}

void FindMembershipNo(QWidget* owner, qv::Connection& connection) {
    Answer answer;
    if (askFind(owner, QObject::tr("Find Membership No."),
                QObject::tr("Enter the &Membership No. to find:"), answer.text, answer.notMatching))
        showList(owner, connection, Kind::MembershipNo, answer);
}

void FindUnpaidFees(QWidget* owner, qv::Connection& connection) {
    TfrmInputDate dialog(owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Answer answer;
    answer.date = dialog.SelectedDate();
    showList(owner, connection, Kind::UnpaidFees, answer);
}

void ListPastMembers(QWidget* owner, qv::Connection& connection) {
    showList(owner, connection, Kind::PastMembers);
}

void FindMembershipLevel(QWidget* owner, qv::Connection& connection) {
    LookupChoice choice;
    if (askLookup(owner, connection, QObject::tr("Membership Type"), QObject::tr("Cate&gory:"),
                  MemberSQL::MembershipLevelListSQL(), QStringLiteral("MemberCategory"),
                  QStringLiteral("MembershipLevelID"), false, choice))
        showList(owner, connection, Kind::MembershipLevel, answerOf(choice));
}

} // namespace SearchCommands
