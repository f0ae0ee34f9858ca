// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/MemberExport.h"

#include "history/History.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "platform/os/FileSystem.h"
#include "platform/print/PrinterCanvas.h"
#include "reports/PrintShared.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinter>

namespace MemberExport {

namespace {

struct SectionQuery {
    const char* title;
    const char* key;
    const char* sql;
};

// Each of the member's records with the names of what it refers to.
const SectionQuery kSections[] = {
    {"Member", "member", "SELECT * FROM Members WHERE MemberID = :MemberID"},
    {"Periods", "periods",
     "SELECT DatesJoined.DatesJoinedID, MembershipLevel.MemberCategory, DatesJoined.MembershipNo, "
     "DatesJoined.DateJoined, DatesJoined.DateEnded, DatesJoined.ReasonEnded FROM DatesJoined "
     "INNER JOIN MembershipLevel ON DatesJoined.MembershipLevelID = "
     "MembershipLevel.MembershipLevelID WHERE DatesJoined.MemberID = :MemberID ORDER BY "
     "DatesJoined.DateJoined"},
    {"Payments", "payments",
     "SELECT FeePaymentID, PaymentDate, ReceiptRef, PaymentAmount, PaymentNotes FROM FeePayments "
     "WHERE MemberID = :MemberID ORDER BY PaymentDate"},
    {"Assets", "assets",
     "SELECT MemberAssets.MemberAssetID, Assets.AssetName, MemberAssets.AssetReference, "
     "MemberAssets.DateIssued, MemberAssets.DateReturned FROM MemberAssets INNER JOIN Assets ON "
     "MemberAssets.AssetID = Assets.AssetID WHERE MemberAssets.MemberID = :MemberID ORDER BY "
     "MemberAssets.DateIssued"},
    {"Profiles", "profiles",
     "SELECT MemberProfiles.MemberProfileID, Profiles.ProfileName, MemberProfiles.ProfileStart, "
     "MemberProfiles.ProfileEnd FROM MemberProfiles INNER JOIN Profiles ON "
     "MemberProfiles.ProfileID = Profiles.ProfileID WHERE MemberProfiles.MemberID = :MemberID "
     "ORDER BY MemberProfiles.ProfileStart"},
    {"Notes", "notes",
     "SELECT MemberNotesID, MemberNote FROM MemberNotes WHERE MemberID = :MemberID ORDER BY "
     "MemberNotesID"},
    {"File references", "files",
     "SELECT FileAttachmentID, FileDescription, FilePath, DateAdded FROM FileAttachments WHERE "
     "MemberID = :MemberID ORDER BY FileAttachmentID"},
};

QString text(const qv::Value& value) {
    if (value.isNull())
        return QString();
    if (value.kind() == qv::Value::Kind::Float)
        return QString::number(value.toFloat(), 'g', 17);
    return value.toText();
}

} // namespace

MemberData Collect(qv::Connection& connection, qint64 memberId) {
    MemberData data;
    data.memberId = memberId;
    for (const SectionQuery& s : kSections) {
        Section section{QString::fromLatin1(s.title), QString::fromLatin1(s.key), {}};
        qv::Query q(&connection);
        q.setSQL(QString::fromLatin1(s.sql));
        q.setParameter(QStringLiteral("MemberID"), memberId);
        qv::Result r;
        q.fetch(r);
        for (int row = 0; row < r.rows.rowCount(); ++row) {
            std::vector<std::pair<QString, QString>> values;
            for (size_t c = 0; c < r.columns.size(); ++c)
                values.emplace_back(r.columns[c].name.section(u'.', -1),
                                    text(r.rows.value(r.rows.cell(row, int(c)))));
            section.rows.push_back(std::move(values));
        }
        data.sections.push_back(std::move(section));
    }
    // The member's history: their own rows of every entry, oldest first.
    Section history{QStringLiteral("History"), QStringLiteral("history"), {}};
    History::Filter filter;
    filter.memberId = memberId;
    const int page = 500;
    for (int offset = 0;; offset += page) {
        const std::vector<History::Entry> entries =
            History::Entries(connection, filter, offset, page, History::SortBy::When, true);
        for (const History::Entry& e : entries)
            history.rows.push_back({{QStringLiteral("When"), e.when},
                                    {QStringLiteral("Who"), e.user},
                                    {QStringLiteral("Window"), e.source},
                                    {QStringLiteral("Kind"), e.kind},
                                    {QStringLiteral("Changes"), e.what}});
        if (int(entries.size()) < page)
            break;
    }
    data.sections.push_back(std::move(history));
    return data;
}

QByteArray ToJson(const MemberData& data) {
    QJsonObject root;
    root.insert(QStringLiteral("memberId"), data.memberId);
    for (const Section& s : data.sections) {
        QJsonArray rows;
        for (const auto& row : s.rows) {
            QJsonObject object;
            for (const auto& [column, value] : row)
                object.insert(column, value);
            rows.append(object);
        }
        root.insert(s.key, rows);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

void Print(qv::PrintCanvas& canvas, const MemberData& data) {
    PrintShared::PrintRun run(canvas, QStringLiteral("Member data"), true);
    const auto line = [&](const QString& text) {
        run.print(text);
        run.advance();
        if (run.breakPage())
            run.setBold(false);
    };
    run.print(QStringLiteral("Data held on member %1").arg(data.memberId));
    run.advance(2);
    for (const Section& s : data.sections) {
        run.setBold(true);
        line(s.title + (s.rows.empty() ? QStringLiteral(": none") : QString()));
        run.setBold(false);
        for (const auto& row : s.rows) {
            for (const auto& [column, value] : row)
                for (const QString& part : value.split(u'\n'))
                    line(PrintShared::FitToWidth(column, 20) + part);
            run.advance();
        }
        run.advance();
    }
    run.close(false, false);
}

QString Export(qv::Connection& connection, qint64 memberId, const QString& pdfPath) {
    const MemberData data = Collect(connection, memberId);
    const QFileInfo info(pdfPath);
    const QString jsonPath = info.dir().filePath(info.completeBaseName() + QStringLiteral(".json"));
    qv::FileSystem::ReplacingFile json(jsonPath);
    json.write(ToJson(data));
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        qv::PrinterCanvas canvas(printer);
        try {
            Print(canvas, data);
        } catch (...) {
            canvas.abortDocument();
            json.discard();
            throw;
        }
    }
    try {
        json.commit();
    } catch (...) {
        // Both or neither: the PDF just written goes too.
        QFile::remove(pdfPath);
        throw;
    }
    return jsonPath;
}

} // namespace MemberExport
