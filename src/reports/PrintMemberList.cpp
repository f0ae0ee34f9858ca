// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrintMemberList.h"

#include "platform/data/Dataset.h"
#include "platform/os/Regional.h"
#include "reports/PrintShared.h"

using PrintShared::ColumnOf;

namespace {

// Day and month in two digits, the year in two (portrait) or four, between
// the system's date separators; nothing for a null date.
QString listDate(const qv::Value& value, bool portrait) {
    if (value.isNull())
        return QString();
    const QDate date = value.toDateTime().date();
    const QString separator = qv::Regional::dateSeparator();
    const auto twoDigits = [](int n) {
        return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    };
    return twoDigits(date.day()) + separator + twoDigits(date.month()) + separator +
           (portrait ? twoDigits(date.year() % 100)
                     : QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')));
}

} // namespace

PrintShared::ListReport MemberListReport(const qv::Dataset& members, const QString& caption,
                                         bool fiveYearRounding, int referenceYear) {
    // The columns outlive this call: they hold the dataset by address.
    const qv::Dataset* m = &members;
    const auto column = [m](const char* name) { return ColumnOf(*m, QLatin1String(name)); };
    const auto text = [m, &column](const char* name) {
        return [m, c = column(name)](int row, bool) { return m->textAt(row, c); };
    };
    const auto date = [m, &column](const char* name) {
        return [m, c = column(name)](int row, bool portrait) {
            return listDate(m->valueAt(row, c), portrait);
        };
    };
    const int address = column("Address"), city = column("City"), postCode = column("PostCode");
    // Only the parts there are, so a missing city leaves no ", ," behind.
    const auto fullAddress = [m, address, city, postCode](int row, bool) {
        QStringList parts;
        for (const int column : {address, city, postCode}) {
            const QString part = m->textAt(row, column);
            if (!part.trimmed().isEmpty())
                parts << part;
        }
        return parts.join(QStringLiteral(", "));
    };
    const auto years = [m, fiveYearRounding, referenceYear](int row, bool) {
        return PrintShared::YearsServiceText(*m, row, fiveYearRounding, referenceYear);
    };

    PrintShared::ListReport report;
    report.documentTitle = QStringLiteral("Quorvane - ") + caption;
    report.titleLines = {PrintShared::ListTitleLine(caption)};
    report.stepHalves = 3;
    report.columns = {
        {QStringLiteral("First Name"), 10, 15, text("FirstNames")},
        {QStringLiteral("Surname"), 10, 15, text("Surname")},
        {QStringLiteral("Address"), 19, 40, fullAddress},
        {QStringLiteral("Joined"), 8, 10, date("DateJoined")},
        {QStringLiteral("Left"), 8, 10, date("DateEnded")},
        {QStringLiteral("Years"), 7, 7, years},
    };
    return report;
}

void PrintMemberList(qv::Dataset& members, const QString& caption, bool fiveYearRounding,
                     int referenceYear, QWidget* parent) {
    PrintShared::PrintList(
        members, MemberListReport(members, caption, fiveYearRounding, referenceYear), parent);
}
