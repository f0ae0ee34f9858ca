// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/Provider.h"

namespace qv {

PreparedText Provider::prepared(const QString& sql) {
    if (const auto found = m_prepared.constFind(sql); found != m_prepared.cend())
        return found.value();
    PreparedText text = prepareParameters(adapt(sql));
    // Texts built on the fly (a search's own words) would pile up otherwise.
    if (m_prepared.size() >= 256)
        m_prepared.clear();
    m_prepared.insert(sql, text);
    return text;
}

void nameRepeatedColumns(std::vector<ColumnInfo>& columns) {
    const size_t n = columns.size();
    for (size_t c = 0; c < n; ++c) {
        for (size_t d = c + 1; d < n; ++d) {
            if (columns[c].name.compare(columns[d].name, Qt::CaseInsensitive) != 0)
                continue;
            for (size_t k : {c, d}) {
                ColumnInfo& info = columns[k];
                if (!info.baseTable.isEmpty() && !info.name.contains(u'.'))
                    info.name = info.baseTable + u'.' + info.baseColumn;
            }
        }
    }
}

} // namespace qv
