// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv {

// The order and equality of the register's texts, for names in any alphabet:
// letters compare by their base letter without regard to case or accents, then
// accents decide; case never does. So "Élodie" sorts among the E's, "ZOË"
// equals "Zoë", and "Zoe" comes just before "Zoë" without equalling it. Both
// texts are UTF-8. Answers <0, 0 or >0.
int compareText(const char* a, std::size_t aLength, const char* b, std::size_t bLength);

// A LIKE pattern ("%" any run, "_" any one character, an optional escape
// character) matched without regard to case in every alphabet, as the Jet
// engine matches; the engine's own LIKE folds ASCII letters only. The pattern
// is folded once, so one object serves every row of a query.
class LikePattern {
public:
    LikePattern(const char* utf8, std::size_t length, char32_t escape = 0);
    bool matches(const char* utf8, std::size_t length) const;

private:
    // Literal, any run ("%") or any one ("_"), one per character of m_chars.
    enum Kind : unsigned char { Literal, AnyRun, AnyOne };
    std::u32string m_chars;
    std::vector<unsigned char> m_kinds;
    bool m_ascii = true;
};

// The first code point of a UTF-8 text, folded; 0 for empty text.
char32_t firstFolded(const char* utf8, std::size_t length);

// Appends the UTF-8 text to `out` with case folded as LIKE folds it and the
// accents of Latin, Greek and Cyrillic letters dropped ("Müller" gives
// "muller"), for finding a typed word inside stored text. Marks that make
// another letter in other scripts (Indic vowel signs, kana voicing) are
// kept; a Hangul syllable stays whole.
void appendSearchFolded(const char* utf8, std::size_t length, std::string& out);

// Appends one code point to `out` as UTF-8.
void appendUtf8(char32_t c, std::string& out);

} // namespace qv
