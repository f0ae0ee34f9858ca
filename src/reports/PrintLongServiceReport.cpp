// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrintLongServiceReport.h"

#include "platform/data/Dataset.h"
#include "reports/PrintShared.h"

using PrintShared::ColumnOf;

PrintShared::ListReport LongServiceReport(const qv::Dataset& members, const QString& caption,
                                          bool fiveYearRounding, int referenceYear) {
    const qv::Dataset* m = &members;
    const auto text = [m](const char* name) {
        return
            [m, c = ColumnOf(*m, QLatin1String(name))](int row, bool) { return m->textAt(row, c); };
    };
    const auto years = [m, fiveYearRounding, referenceYear](int row, bool) {
        return PrintShared::YearsServiceText(*m, row, fiveYearRounding, referenceYear);
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
    return report;
}

void PrintLongServiceReport(qv::Dataset& members, const QString& caption, bool fiveYearRounding,
                            int referenceYear, QWidget* parent) {
    PrintShared::PrintList(
        members, LongServiceReport(members, caption, fiveYearRounding, referenceYear), parent);
}
