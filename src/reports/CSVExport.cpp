// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/CSVExport.h"

#include "db/MemberSQL.h"
#include "platform/data/Dataset.h"
#include "platform/os/FileSystem.h"
#include "reports/PrintShared.h"

#include <vector>

namespace {

bool needsQuotes(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u' ' || u == u',' || u == u'"' || (u >= 1 && u <= 31))
            return true;
    }
    return false;
}

bool keptColumn(const QString& name) {
    return !name.endsWith(QLatin1String("ID")) && !name.endsWith(QLatin1String("Colour")) &&
           !name.startsWith(QLatin1String("Include"));
}

} // namespace

QString CSVField(const QString& text) {
    if (!needsQuotes(text))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

void CSVExport(const qv::Dataset& members, const QString& fileName, int referenceYear,
               bool fiveYearRounding) {
    std::vector<int> columns;
    QString line;
    for (int column = 1; column < members.fieldCount(); ++column) {
        const QString name = MemberSQL::MemberListColumnName(members.column(column).name);
        if (!keptColumn(name))
            continue;
        columns.push_back(column);
        line += CSVField(name) + u',';
    }
    line += QStringLiteral("YearsService\r\n");

    qv::FileSystem::ReplacingFile file(fileName);
    // The byte-order mark tells spreadsheet programs the text is UTF-8; without
    // it some read accented names in the system's old code page.
    file.write(QByteArrayLiteral("\xEF\xBB\xBF") + line.toUtf8());
    const int count = members.recordCount();
    for (int row = 0; row < count; ++row) {
        line.clear();
        for (const int column : columns)
            line += CSVField(members.textAt(row, column)) + u',';
        line +=
            CSVField(PrintShared::YearsServiceText(members, row, fiveYearRounding, referenceYear));
        line += QStringLiteral("\r\n");
        file.write(line.toUtf8());
    }
    file.commit();
}
