// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace qv {
class Connection;
class PrintCanvas;
} // namespace qv

// Everything the register holds on one member, for the member's own request
// to see it: the record, periods, payments, assets, profiles, notes, file
// references (the names, not the files) and the member's change history.
namespace MemberExport {

struct Section {
    QString title;                                              // "Periods"
    QString key;                                                // the JSON name: "periods"
    std::vector<std::vector<std::pair<QString, QString>>> rows; // column, value; null as empty
};

struct MemberData {
    qint64 memberId = 0;
    std::vector<Section> sections; // the record first, the history last
};

// Reads it all; throws DatabaseError.
MemberData Collect(qv::Connection& connection, qint64 memberId);

// The machine-readable form: one JSON object with an array per section.
QByteArray ToJson(const MemberData& data);
// The printed form, on the report canvas: a heading per section, a line per value.
void Print(qv::PrintCanvas& canvas, const MemberData& data);

// Writes the PDF to `pdfPath` and the JSON beside it (same name, ".json"),
// each whole or not at all; a failure of either leaves neither new file.
// Answers the JSON file's path; throws FileWriteError, PrintError or DatabaseError.
QString Export(qv::Connection& connection, qint64 memberId, const QString& pdfPath);

} // namespace MemberExport
