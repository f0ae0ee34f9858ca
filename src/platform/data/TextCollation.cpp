// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/TextCollation.h"

#include <QChar>
#include <QString>
#include <algorithm>
#include <array>

namespace qv {

namespace {

char32_t decode(const unsigned char*& p, const unsigned char* end) {
    char32_t c = *p++;
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    c &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : 0x1F;
    while (extra-- > 0 && p < end && (*p & 0xC0) == 0x80)
        c = (c << 6) | (*p++ & 0x3F);
    return c;
}

// The base letter of a folded code point: its canonical decomposition's first
// character, so "é" gives "e". Zero for a combining mark, which has none.
char32_t baseOf(char32_t folded) {
    if (QChar::isMark(folded))
        return 0;
    if (QChar::decompositionTag(folded) != QChar::Canonical)
        return folded;
    const QString parts = QChar::decomposition(folded);
    const char32_t first = parts.isEmpty() ? folded : parts.at(0).unicode();
    return QChar::isHighSurrogate(first) ? folded : baseOf(first);
}

// Latin letters with accents are most of what the register holds beyond
// ASCII; their folded and base forms are looked up rather than worked out.
struct LatinTable {
    static constexpr char32_t first = 0x80, last = 0x24F;
    std::array<char32_t, last - first + 1> folded{};
    std::array<char32_t, last - first + 1> base{};
    LatinTable() {
        for (char32_t c = first; c <= last; ++c) {
            folded[c - first] = QChar::toCaseFolded(c);
            base[c - first] = baseOf(folded[c - first]);
        }
    }
};

const LatinTable& latin() {
    static const LatinTable table;
    return table;
}

char32_t foldedOf(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c <= LatinTable::last)
        return latin().folded[c - LatinTable::first];
    return QChar::toCaseFolded(c);
}

char32_t primaryOf(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c <= LatinTable::last)
        return latin().base[c - LatinTable::first];
    return baseOf(QChar::toCaseFolded(c));
}

// Compares the two texts by one key per code point; keys of zero are skipped.
template <typename Key>
int compareBy(const unsigned char* a, const unsigned char* aEnd, const unsigned char* b,
              const unsigned char* bEnd, Key key) {
    for (;;) {
        char32_t x = 0, y = 0;
        while (a < aEnd && (x = key(decode(a, aEnd))) == 0) {
        }
        while (b < bEnd && (y = key(decode(b, bEnd))) == 0) {
        }
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0; // both ended
    }
}

} // namespace

LikePattern::LikePattern(const char* utf8, std::size_t length, char32_t escape) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    const auto* end = p + length;
    while (p < end) {
        char32_t c = foldedOf(decode(p, end));
        Kind kind = c == U'%' ? AnyRun : c == U'_' ? AnyOne : Literal;
        if (escape != 0 && c == escape && p < end) {
            c = foldedOf(decode(p, end));
            kind = Literal;
        }
        // Runs of "%" match as one.
        if (kind == AnyRun && !m_kinds.empty() && m_kinds.back() == AnyRun)
            continue;
        m_chars.push_back(c);
        m_kinds.push_back(kind);
        m_ascii = m_ascii && c < 0x80;
    }
}

namespace {

// Greedy matching that backs up to the last "%" on a mismatch. `at(i)` gives
// the folded i-th character of the text, or kUndecided to give up. The kinds
// are LikePattern's: literal, any run, any one.
constexpr char32_t kUndecided = 0xFFFFFFFF;

template <typename At>
int greedyMatch(const std::u32string& chars, const std::vector<unsigned char>& kinds, std::size_t n,
                At at) {
    enum : unsigned char { Literal, AnyRun, AnyOne };
    const std::size_t m = chars.size();
    std::size_t pi = 0, ti = 0, starP = std::u32string::npos, starT = 0;
    while (ti < n) {
        const char32_t t = at(ti);
        if (t == kUndecided)
            return 0;
        if (pi < m && (kinds[pi] == AnyOne || (kinds[pi] == Literal && chars[pi] == t))) {
            ++pi;
            ++ti;
        } else if (pi < m && kinds[pi] == AnyRun) {
            starP = pi++;
            starT = ti;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return -1;
        }
    }
    while (pi < m && kinds[pi] == AnyRun)
        ++pi;
    return pi == m ? 1 : -1;
}

} // namespace

bool LikePattern::matches(const char* utf8, std::size_t length) const {
    if (m_ascii) {
        // A mismatch found before any letter beyond ASCII is final: those
        // letters could not have changed it.
        const auto* bytes = reinterpret_cast<const unsigned char*>(utf8);
        const int answer = greedyMatch(m_chars, m_kinds, length, [bytes](std::size_t i) {
            const char32_t c = bytes[i];
            return c >= 0x80 ? kUndecided : (c >= 'A' && c <= 'Z') ? c + 32 : c;
        });
        if (answer != 0)
            return answer > 0;
    }
    // The text folded once; names and addresses are short.
    char32_t local[128];
    std::u32string heap;
    char32_t* text = local;
    if (length > sizeof local / sizeof local[0]) {
        heap.resize(length);
        text = heap.data();
    }
    std::size_t n = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    const auto* end = p + length;
    while (p < end)
        text[n++] = foldedOf(decode(p, end));

    return greedyMatch(m_chars, m_kinds, n, [text](std::size_t i) { return text[i]; }) > 0;
}

namespace {

// The combining blocks of the accents of Latin, Greek and Cyrillic letters.
bool isAccent(char32_t c) {
    return (c >= 0x300 && c <= 0x36F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

// The folded letter decomposed, without its accents, each part folded again
// (a decomposition may hold a capital, as the Angstrom sign's does).
void appendWithoutAccents(char32_t c, std::string& out) {
    c = foldedOf(c);
    if (isAccent(c))
        return;
    const bool hangulSyllable = c >= 0xAC00 && c <= 0xD7A3;
    if (hangulSyllable || QChar::decompositionTag(c) != QChar::Canonical) {
        appendUtf8(c, out);
        return;
    }
    const QString parts = QChar::decomposition(c);
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        char32_t part = it->unicode();
        if (it->isHighSurrogate() && it + 1 != parts.end()) {
            // Two statements: the high half must be read before moving on.
            const QChar high = *it;
            part = QChar::surrogateToUcs4(high, *++it);
        }
        appendWithoutAccents(part, out);
    }
}

} // namespace

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

void appendSearchFolded(const char* utf8, std::size_t length, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    const auto* end = p + length;
    while (p < end) {
        if (*p < 0x80) {
            const unsigned char c = *p++;
            out += char((c >= 'A' && c <= 'Z') ? c + 32 : c);
            continue;
        }
        appendWithoutAccents(decode(p, end), out);
    }
}

char32_t firstFolded(const char* utf8, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    return length ? foldedOf(decode(p, p + length)) : 0;
}

int compareText(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
    auto* pa = reinterpret_cast<const unsigned char*>(a);
    auto* pb = reinterpret_cast<const unsigned char*>(b);
    // Most names are ASCII and most comparisons are settled, or found equal,
    // within it: there both keys are the letter folded, so one pass decides.
    const std::size_t common = std::min(aLength, bLength);
    std::size_t i = 0;
    for (; i < common; ++i) {
        unsigned char x = pa[i], y = pb[i];
        if ((x | y) & 0x80)
            break;
        x = (x >= 'A' && x <= 'Z') ? x + 32 : x;
        y = (y >= 'A' && y <= 'Z') ? y + 32 : y;
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i == common) {
        if (aLength == bLength)
            return 0;
        // The longer text goes after, unless it goes on with marks that have
        // no letter of their own.
        if (!((aLength > bLength ? pa : pb)[common] & 0x80))
            return aLength < bLength ? -1 : 1;
    }
    // An equal ASCII start is equal under both keys: compare from where it ends.
    pa += i;
    pb += i;
    aLength -= i;
    bLength -= i;
    const int primary = compareBy(pa, pa + aLength, pb, pb + bLength, primaryOf);
    if (primary != 0)
        return primary;
    return compareBy(pa, pa + aLength, pb, pb + bLength, foldedOf);
}

} // namespace qv
