// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrintLongServiceReport.h"

#include "platform/data/Dataset.h"
#include "reports/PrintShared.h"

using PrintShared::ColumnOf;

void PrintLongServiceReport(qv::Dataset& members, const QString& caption, bool fiveYearRounding,
                            int referenceYear, QWidget* parent) {
    const auto text = [&members](const char* name) {
        return [&members, c = ColumnOf(members, QLatin1String(name))](int row, bool) {
            return members.textAt(row, c);
        };
    };
    const auto years = [&members, fiveYearRounding, referenceYear](int row, bool) {
        return PrintShared::YearsServiceText(members, row, fiveYearRounding, referenceYear);
    };

    PrintShared::ListReport report;
    report.documentTitle =
        QStringLiteral("Quorvane - ") + caption + QStringLiteral(" - Years Service");
    report.titleLines = {PrintShared::ListTitleLine(caption),
                         QStringLiteral("(Dates Joined / Years Service)")};
    report.stepHalves = 4;
    report.contactNotice = false;
    report.columns = {
        {QStringLiteral("First Name"), 15, 25, text("FirstNames")},
        {QStringLiteral("Surname"), 15, 25, text("Surname")},
        {QStringLiteral("Joined"), 10, 10, text("DateJoined")},
        {QStringLiteral("Left"), 10, 10, text("DateEnded")},
        {QStringLiteral("Years"), 7, 7, years},
    };
    PrintShared::PrintList(members, report, parent);
}
