#include "platform/data/Provider.h"

namespace qv {

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
