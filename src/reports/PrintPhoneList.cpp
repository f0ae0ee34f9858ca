// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrintPhoneList.h"

#include "platform/data/Dataset.h"
#include "reports/PrintShared.h"

using PrintShared::ColumnOf;

void PrintPhoneList(qv::Dataset& members, QWidget* parent) {
    const auto text = [&members](const char* name) {
        const int column = ColumnOf(members, QLatin1String(name));
        return [&members, column](int row, bool) { return members.textAt(row, column); };
    };
    PrintShared::ListReport report;
    report.documentTitle = QStringLiteral("Quorvane - Phone List");
    report.stepHalves = 4;
    report.columns = {
        {QStringLiteral("First Name"), 10, 15, text("FirstNames")},
        {QStringLiteral("Surname"), 10, 15, text("Surname")},
        {QStringLiteral("Phone"), 13, 15, text("TelNo")},
        {QStringLiteral("Mobile"), 13, 15, text("MobileNo")},
        {QStringLiteral("E-mail"), 17, 40, text("EmailAddress")},
    };
    PrintShared::PrintList(members, report, parent);
}
