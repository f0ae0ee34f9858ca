#include "platform/data/TextCollation.h"

#include <QChar>
#include <QString>
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

int compareText(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
    const auto* pa = reinterpret_cast<const unsigned char*>(a);
    const auto* pb = reinterpret_cast<const unsigned char*>(b);
    const int primary = compareBy(pa, pa + aLength, pb, pb + bLength, primaryOf);
    if (primary != 0)
        return primary;
    return compareBy(pa, pa + aLength, pb, pb + bLength, foldedOf);
}

} // namespace qv
