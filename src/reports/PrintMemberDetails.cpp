// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/PrintMemberDetails.h"

#include "platform/data/Dataset.h"
#include "platform/os/Regional.h"
#include "platform/print/PrintDialogs.h"
#include "reports/PrintShared.h"

#include <vector>

using PrintShared::FitToWidth;

namespace {

struct Column {
    const char* heading;
    const char* field;
    int width;
};

struct Section {
    const char* title;
    qv::Dataset& rows;
    std::vector<Column> columns;
    bool headingLine = true;
};

// Text as the window shows it; the amount in the system's currency form, a
// missing amount as the currency form of zero.
QString valueText(const qv::Dataset& rows, int row, int column, bool currency) {
    if (currency)
        return qv::Regional::formatCurrency(rows.valueAt(row, column).toFloat());
    return rows.textAt(row, column);
}

// The page break rule with this report's continuation header.
void breakPage(PrintShared::PrintRun& run, int keepLines = 0) {
    if (run.breakPage(keepLines)) {
        run.advance();
        run.print(run.pageLine());
        run.advance(2);
        run.setBold(false);
    }
}

void printSection(PrintShared::PrintRun& run, const Section& section) {
    // The title stays with its heading and first row: the first row comes
    // two lines below the title, the heading one.
    breakPage(run, section.rows.recordCount() > 0 ? 2 : section.headingLine ? 1 : 0);
    // Columns are looked up first: a missing one stops the run before the
    // section's title is printed.
    std::vector<int> indexes;
    std::vector<bool> currency;
    for (const Column& column : section.columns) {
        indexes.push_back(PrintShared::ColumnOf(section.rows, QLatin1String(column.field)));
        currency.push_back(qstrcmp(column.field, "PaymentAmount") == 0);
    }
    run.setBold(true);
    run.print(QLatin1String(section.title));
    run.advance();
    if (section.headingLine) {
        QStringList headings;
        for (const Column& column : section.columns)
            headings << FitToWidth(QLatin1String(column.heading), column.width);
        run.print(headings.join(QStringLiteral("  ")));
    }
    run.setBold(false);
    run.advance();
    for (int row = 0; row < section.rows.recordCount(); ++row) {
        QStringList values;
        size_t i = 0;
        for (const Column& column : section.columns) {
            values << FitToWidth(valueText(section.rows, row, indexes[i], currency[i]),
                                 column.width);
            ++i;
        }
        run.print(values.join(QStringLiteral("  ")));
        run.advance();
        breakPage(run);
    }
    run.advance(3);
}

void printDetails(qv::PrintCanvas& canvas, qv::Dataset& member, qv::Dataset& periods,
                  qv::Dataset& assets, qv::Dataset& profiles, qv::Dataset& feePayments,
                  qv::Dataset& files, qv::Dataset& notes) {
    PrintShared::PrintRun run(canvas, QStringLiteral("Quorvane - Member Details"), false);
    const struct {
        const char* label;
        const char* field;
        int advance;
    } block[] = {
        {"Surname:       ", "Surname", 1},  {"First Name:    ", "FirstNames", 2},
        {"Address:       ", "Address", 1},  {"City:          ", "City", 1},
        {"Post Code:     ", "PostCode", 2}, {"Tel. No.:      ", "TelNo", 1},
        {"Mobile No.:    ", "MobileNo", 1}, {"E-mail:        ", "EmailAddress", 4},
    };
    for (const auto& line : block) {
        run.print(FitToWidth(
            QLatin1String(line.label) + member.field(QLatin1String(line.field)).asString(), 72));
        run.advance(line.advance);
    }

    const Section sections[] = {
        {"****** Dates Joined ******",
         periods,
         {{"Membership Level", "MemberCategory", 16},
          {"Memb. No.", "MembershipNo", 10},
          {"Date Joined", "DateJoined", 13},
          {"Date Ended", "DateEnded", 13},
          {"Reason Ended", "ReasonEnded", 16}}},
        {"****** Assets ******",
         assets,
         {{"Asset Name", "AssetName", 20},
          {"Date Issued", "DateIssued", 11},
          {"Asset Ref.", "AssetReference", 12},
          {"Date Returned", "DateReturned", 15}}},
        {"****** Profiles ******",
         profiles,
         {{"Profile Name", "ProfileName", 30},
          {"Start Date", "ProfileStart", 15},
          {"End Date", "ProfileEnd", 15}}},
        {"****** Fee Payments ******",
         feePayments,
         {{"Payment Date", "PaymentDate", 13},
          {"Receipt ref.", "ReceiptRef", 13},
          {"Payment Amount", "PaymentAmount", 14},
          {"Payment Notes", "PaymentNotes", 30}}},
        {"****** Associated Files ******",
         files,
         {{"File Description", "FileDescription", 40}, {"Date Added", "DateAdded", 15}}},
        {"****** Notes ******", notes, {{"", "MemberNote", 72}}, false},
    };
    for (const Section& section : sections)
        printSection(run, section);

    breakPage(run);
    run.close(true, true);
}

} // namespace

void PrintMemberDetails(qv::Dataset& member, qv::Dataset& periods, qv::Dataset& assets,
                        qv::Dataset& profiles, qv::Dataset& feePayments, qv::Dataset& files,
                        qv::Dataset& notes, QWidget* parent) {
    // Every dataset is read where it stands, so no grid of the window moves.
    qv::PrintDocument(
        {QStringLiteral("Quorvane - Member Details"), QPageLayout::Portrait},
        [&](qv::PrintCanvas& canvas) {
            printDetails(canvas, member, periods, assets, profiles, feePayments, files, notes);
        },
        parent);
}
