// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrintPhoneList.h"

#include "platform/data/Dataset.h"
#include "reports/PrintShared.h"

using PrintShared::ColumnOf;

PrintShared::ListReport PhoneListReport(const qv::Dataset& members) {
    const qv::Dataset* m = &members;
    const auto text = [m](const char* name) {
        const int column = ColumnOf(*m, QLatin1String(name));
        return [m, column](int row, bool) { return m->textAt(row, column); };
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
    return report;
}

void PrintPhoneList(qv::Dataset& members, QWidget* parent) {
    PrintShared::PrintList(members, PhoneListReport(members), parent);
}
