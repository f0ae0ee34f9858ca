// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/QuickFindIndex.h"

#include "db/MemberSQL.h"
#include "platform/data/Query.h"
#include "platform/data/TextCollation.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_map>

namespace {

constexpr std::int32_t kOpen = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kNoPeriod = -1;

// The columns of MemberSQL::QuickFindRowsSQL().
enum Column {
    colMemberID,
    colSurname,
    colFirstNames,
    colAddress,
    colCity,
    colPostCode,
    colTelNo,
    colMobileNo,
    colEmailAddress,
    colDatesJoinedID,
    colDateJoined,
    colDateEnded,
    colMembershipNo,
};

// yyyymmdd of a stored date-time text ("yyyy-mm-dd ..."), 0 when it is not one.
std::int32_t dayOf(const char* text, std::size_t length) {
    if (length < 10 || text[4] != '-' || text[7] != '-')
        return 0;
    std::int32_t day = 0;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        day = day * 10 + (text[i] - '0');
    }
    return day;
}

std::int32_t dayOf(const QDate& date) {
    return date.year() * 10000 + date.month() * 100 + date.day();
}

// The position of `word` in [begin, end), or null; an empty word is found at once.
const char* search(const char* begin, const char* end, const std::string& word) {
    // A member's text is short: the first byte found by memchr, then the
    // rest compared, costs less than memmem's preparation of each word.
    if (word.empty())
        return begin;
    const std::size_t rest = word.size() - 1;
    const char first = word[0];
    while (end - begin > std::ptrdiff_t(rest)) {
        const auto* at =
            static_cast<const char*>(std::memchr(begin, first, std::size_t(end - begin) - rest));
        if (!at)
            return nullptr;
        if (std::memcmp(at + 1, word.data() + 1, rest) == 0)
            return at;
        begin = at + 1;
    }
    return nullptr;
}

} // namespace

QStringList QuickFindIndex::words(const QString& text) {
    static const QRegularExpression space(QStringLiteral("\\s+"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    return text.split(space, Qt::SkipEmptyParts);
}

std::string QuickFindIndex::folded(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    out.reserve(std::size_t(utf8.size()));
    qv::appendSearchFolded(utf8.constData(), std::size_t(utf8.size()), out);
    return out;
}

std::string QuickFindIndex::compacted(const std::string& folded) {
    std::string out;
    out.reserve(folded.size());
    bool ascii = true;
    for (const char c : folded) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            ascii = false;
            break;
        }
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
            out += c;
    }
    if (ascii)
        return out;
    const QString text = QString::fromUtf8(folded.data(), qsizetype(folded.size()));
    QString kept;
    for (const char32_t c : text.toUcs4())
        if (QChar::isLetterOrNumber(c))
            kept += QStringView(QChar::fromUcs4(c)).toString();
    return kept.toStdString();
}

void QuickFindIndex::build(qv::Connection& connection) {
    qv::Query query(&connection);
    query.setSQL(MemberSQL::QuickFindRowsSQL());
    qv::Result result;
    query.fetch(result);
    const qv::RowStore& rows = result.rows;

    // One entry per member, his fields folded as they come.
    struct Pending {
        qint64 id = 0;
        int firstRow = 0;
        std::string text, compact;
        std::string latestJoined; // the greatest DateJoined seen, as stored
        std::int32_t endDay = kNoPeriod;
    };
    std::vector<Pending> pending;
    std::unordered_map<qint64, std::size_t> byId;
    pending.reserve(std::size_t(rows.rowCount()));
    byId.reserve(std::size_t(rows.rowCount()));

    const auto cellText = [&rows](int row, int column) -> std::string_view {
        const qv::Cell& cell = rows.cell(row, column);
        if (cell.type != qv::Cell::Text)
            return {};
        return {rows.text(cell), cell.length};
    };
    const auto appendField = [](std::string_view text, std::string& out) {
        qv::appendSearchFolded(text.data(), text.size(), out);
        out += '\n';
    };

    for (int row = 0; row < rows.rowCount(); ++row) {
        const qv::Cell& idCell = rows.cell(row, colMemberID);
        const qint64 id = idCell.type == qv::Cell::Integer ? idCell.integer
                          : idCell.type == qv::Cell::Float ? qint64(idCell.real)
                                                           : rows.value(idCell).toInteger();
        auto [found, added] = byId.try_emplace(id, pending.size());
        if (added) {
            Pending member;
            member.id = id;
            member.firstRow = row;
            for (int column : {colSurname, colFirstNames, colAddress, colCity, colEmailAddress})
                appendField(cellText(row, column), member.text);
            for (int column : {colPostCode, colTelNo, colMobileNo}) {
                std::string field;
                const std::string_view text = cellText(row, column);
                qv::appendSearchFolded(text.data(), text.size(), field);
                member.compact += compacted(field) + '\n';
            }
            // The compact fields are searched with the plain words too: a word
            // found there is all letters and digits, so its compact form is
            // itself.
            member.text += member.compact;
            pending.push_back(std::move(member));
        }
        Pending& member = pending[found->second];
        if (rows.cell(row, colDatesJoinedID).type == qv::Cell::Null)
            continue; // no period
        appendField(cellText(row, colMembershipNo), member.text);
        const std::string_view joined = cellText(row, colDateJoined);
        const std::string_view ended = cellText(row, colDateEnded);
        const std::int32_t end = rows.cell(row, colDateEnded).type == qv::Cell::Null
                                     ? kOpen
                                     : dayOf(ended.data(), ended.size());
        // Two periods starting on the latest day: the member is current while
        // either of them is.
        if (member.endDay == kNoPeriod || joined > member.latestJoined) {
            member.latestJoined = std::string(joined);
            member.endDay = end;
        } else if (joined == member.latestJoined) {
            member.endDay = std::max(member.endDay, end);
        }
    }

    // In the member list's order: surname, first names, then the key.
    std::vector<std::size_t> order(pending.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    const auto text = [&rows](int row, int column) {
        const qv::Cell& cell = rows.cell(row, column);
        return cell.type == qv::Cell::Text ? std::string_view(rows.text(cell), cell.length)
                                           : std::string_view();
    };
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Pending& x = pending[a];
        const Pending& y = pending[b];
        for (int column : {colSurname, colFirstNames}) {
            const std::string_view s = text(x.firstRow, column), t = text(y.firstRow, column);
            if (const int c = qv::compareText(s.data(), s.size(), t.data(), t.size()); c != 0)
                return c < 0;
        }
        return x.id < y.id;
    });

    QuickFindIndex built;
    built.m_members.reserve(order.size());
    built.m_textStart.reserve(order.size() + 1);
    built.m_compactStart.reserve(order.size() + 1);
    for (const std::size_t i : order) {
        const Pending& member = pending[i];
        built.m_textStart.push_back(std::uint32_t(built.m_text.size()));
        built.m_text += member.text;
        built.m_compactStart.push_back(std::uint32_t(built.m_compact.size()));
        built.m_compact += member.compact;
        built.m_members.push_back(
            {member.id, member.endDay, std::uint32_t(built.m_display.size())});
        for (int column : {colSurname, colFirstNames, colAddress, colCity, colPostCode}) {
            built.m_display += text(member.firstRow, column);
            built.m_display += '\0';
        }
    }
    built.m_textStart.push_back(std::uint32_t(built.m_text.size()));
    built.m_compactStart.push_back(std::uint32_t(built.m_compact.size()));
    built.m_bytes.resize(built.m_members.size());
    built.m_pairs.resize(built.m_members.size());
    for (std::size_t m = 0; m < built.m_members.size(); ++m) {
        for (std::uint32_t at = built.m_textStart[m]; at < built.m_textStart[m + 1]; ++at) {
            const auto c = static_cast<unsigned char>(built.m_text[at]);
            built.m_bytes[m].add(c);
            if (at > built.m_textStart[m])
                built.m_pairs[m].add(static_cast<unsigned char>(built.m_text[at - 1]), c);
        }
    }
    built.m_text.shrink_to_fit();
    built.m_compact.shrink_to_fit();
    built.m_display.shrink_to_fit();
    *this = std::move(built);
}

QuickFindAnswer QuickFindIndex::find(const QString& text, const QDate& today, int shown) const {
    QuickFindAnswer answer;
    answer.text = text;
    struct Word {
        std::string folded, compact;
        bool searchCompact = false;
        Bytes bytes;
        Pairs pairs, compactPairs;
    };
    std::vector<Word> words;
    std::vector<std::string> typed;
    for (const QString& written : QuickFindIndex::words(text)) {
        Word word;
        word.folded = folded(written);
        word.compact = compacted(word.folded);
        // A word that is all letters and digits is found in the compact
        // fields by the plain search, which covers them too.
        word.searchCompact = !word.compact.empty() && word.compact != word.folded;
        // Found through its compact form, a member need hold only its bytes.
        for (const char c : word.searchCompact ? word.compact : word.folded)
            word.bytes.add(static_cast<unsigned char>(c));
        word.pairs.addAll(word.folded);
        word.compactPairs.addAll(word.compact);
        typed.push_back(word.folded);
        words.push_back(std::move(word));
    }
    if (words.empty() || m_members.empty()) {
        m_lastValid = false;
        return answer;
    }

    // Each word of the last text grown or kept, and words added: whoever is
    // found now was found then. A word without letters or digits is not
    // narrowed from, as it matches the compact fields otherwise than words
    // that hold it.
    bool narrow = m_lastValid && typed.size() >= m_lastWords.size();
    for (std::size_t w = 0; narrow && w < m_lastWords.size(); ++w)
        narrow = typed[w].find(m_lastWords[w]) != std::string::npos &&
                 !compacted(m_lastWords[w]).empty();

    // The longest word first: it rules out the most members.
    std::vector<const Word*> order;
    for (const Word& word : words)
        order.push_back(&word);
    std::stable_sort(order.begin(), order.end(), [](const Word* a, const Word* b) {
        return a->folded.size() > b->folded.size();
    });
    const char* const base = m_text.data();
    const char* const compactBase = m_compact.data();
    const auto holds = [&](std::uint32_t member) {
        for (const Word* word : order) {
            if (!m_bytes[member].covers(word->bytes))
                return false;
            if (!m_pairs[member].covers(word->pairs) &&
                !(word->searchCompact && m_pairs[member].covers(word->compactPairs)))
                return false;
            // One ASCII byte: the byte test was the search.
            if (word->folded.size() == 1 && static_cast<unsigned char>(word->folded[0]) < 0x80)
                continue;
            if (search(base + m_textStart[member], base + m_textStart[member + 1], word->folded))
                continue;
            if (word->searchCompact &&
                search(compactBase + m_compactStart[member],
                       compactBase + m_compactStart[member + 1], word->compact))
                continue;
            return false;
        }
        return true;
    };
    std::vector<std::uint32_t> found;
    if (narrow) {
        for (const std::uint32_t member : m_lastFound)
            if (holds(member))
                found.push_back(member);
    } else {
        for (std::uint32_t member = 0; member < std::uint32_t(m_members.size()); ++member)
            if (holds(member))
                found.push_back(member);
    }

    std::vector<std::uint32_t> groups[3];
    const std::int32_t todayDay = dayOf(today);
    for (const std::uint32_t member : found) {
        const std::int32_t end = m_members[member].endDay;
        groups[end == kNoPeriod ? 2 : end >= todayDay ? 0 : 1].push_back(member);
    }
    answer.memberIds.reserve(found.size());
    for (int g = 0; g < 3; ++g) {
        for (const std::uint32_t member : groups[g]) {
            answer.memberIds.push_back(m_members[member].id);
            if (int(answer.rows.size()) >= shown)
                continue;
            QuickFindRow row;
            row.memberId = m_members[member].id;
            row.standing = QuickFindStanding(g);
            const char* p = m_display.data() + m_members[member].display;
            for (QString* field :
                 {&row.surname, &row.firstNames, &row.address, &row.city, &row.postCode}) {
                const std::size_t length = std::strlen(p);
                *field = QString::fromUtf8(p, qsizetype(length));
                p += length + 1;
            }
            answer.rows.push_back(std::move(row));
        }
    }
    m_lastWords = std::move(typed);
    m_lastFound = std::move(found);
    m_lastValid = true;
    return answer;
}

std::size_t QuickFindIndex::bytesUsed() const {
    return sizeof(*this) + m_members.capacity() * sizeof(Member) + m_text.capacity() +
           m_compact.capacity() + m_display.capacity() +
           (m_textStart.capacity() + m_compactStart.capacity()) * sizeof(std::uint32_t) +
           m_bytes.capacity() * sizeof(Bytes) + m_pairs.capacity() * sizeof(Pairs);
}
