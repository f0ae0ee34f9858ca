// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/PgText.h"

#include <QChar>
#include <QString>
#include <functional>
#include <map>

namespace qv {

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;
// Stands in for "İ" while the server lowers the text: its lower case is two
// characters, while the file register keeps it as it is. A noncharacter,
// which Unicode keeps for such internal use; no text holds one.
constexpr char32_t kDottedCapitalI = 0x130;
constexpr char32_t kCapitalSigma = 0x3A3;
constexpr char32_t kPlaceholder = 0xFDD0;

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

QString text(char32_t c) {
    return QStringView(QChar::fromUcs4(c)).toString();
}

// The characters the server's lower case leaves as they are but the file
// register folds, to their folded form: "ς" to "σ", "ſ" to "s", the Cherokee
// small letters to their capitals (case folding's own direction).
std::map<char32_t, char32_t> foldAfterLowering() {
    std::map<char32_t, char32_t> map;
    for (char32_t c = 0x80; c <= kLastCodePoint; ++c) {
        if (isSurrogate(c))
            continue;
        const char32_t folded = QChar::toCaseFolded(c);
        if (folded != c && QChar::toLower(c) == c)
            map[c] = folded;
    }
    return map;
}

// A regular-expression bracket of every code point the test takes, in ranges.
QString bracket(const std::function<bool(char32_t)>& member) {
    QString out = QStringLiteral("[");
    char32_t start = 0;
    bool inRun = false;
    for (char32_t c = 0; c <= kLastCodePoint + 1; ++c) {
        const bool in = c <= kLastCodePoint && !isSurrogate(c) && member(c);
        if (in && !inRun)
            start = c;
        if (!in && inRun)
            out += c - 1 == start ? text(start) : text(start) + u'-' + text(c - 1);
        inRun = in;
    }
    return out + u']';
}

// A regular expression matching what has no base letter of its own in the
// file register's order, for regexp_replace(..., '\1'): any combining mark,
// and the vowel and final jamo that a Hangul syllable decomposes into (a
// syllable sorts by its first consonant there), which the expression keeps
// as \1.
QString baselessCharacters() {
    const QString initial = text(0x1100) + u'-' + text(0x1112);
    const QString vowel = text(0x1161) + u'-' + text(0x1175);
    const QString final = text(0x11A8) + u'-' + text(0x11C2);
    return QStringLiteral("([%1])[%2][%3]?|%4").arg(initial, vowel, final, bracket([](char32_t c) {
                                                        return QChar::isMark(c);
                                                    }));
}

// Single quotes for an SQL literal; the texts above hold no quote or
// backslash, so the literal reads the same under every setting.
QString literal(const QString& s) {
    QString escaped = s;
    escaped.replace(u'\'', QLatin1String("''"));
    return u'\'' + escaped + u'\'';
}

} // namespace

QStringList pgTextFunctionStatements() {
    const std::map<char32_t, char32_t> after = foldAfterLowering();
    QString from, to;
    for (const auto& [c, folded] : after) {
        from += text(c);
        to += text(folded);
    }
    // The texts whose lower case needs more than the server's: those holding
    // a character of the map or one that lowers to it, a capital sigma
    // (which lowers to "ς" at the end of a word) or "İ". The test is quick;
    // the translation is not.
    const QString needsMore = bracket([&after](char32_t c) {
        return after.count(c) || after.count(QChar::toLower(c)) || c == kCapitalSigma ||
               c == kDottedCapitalI;
    });
    const QString ascii = QStringLiteral("octet_length(t) = length(t)");
    const QString lowerAscii = QStringLiteral("lower(t COLLATE \"C\")");
    // ASCII text, most of a register, is folded by the plain lower case.
    const QString fold =
        QStringLiteral("CREATE FUNCTION qv_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE "
                       "PARALLEL SAFE AS $qv$ SELECT CASE WHEN %1 THEN %2 WHEN t ~ %3 THEN "
                       "translate(lower(translate(t, %4, chr(%5)) COLLATE \"und-x-icu\"), "
                       "chr(%5) || %6, %7) COLLATE \"C\" ELSE lower(t COLLATE \"und-x-icu\") "
                       "COLLATE \"C\" END $qv$")
            .arg(ascii, lowerAscii, literal(needsMore), literal(text(kDottedCapitalI)))
            .arg(uint(kPlaceholder))
            .arg(literal(from), literal(text(kDottedCapitalI) + to));
    // Base letters (the folded text decomposed, marks dropped), a separator
    // below every character, then the folded text to settle accents.
    const QString sortKey =
        QStringLiteral("CREATE FUNCTION qv_sortkey(t text) RETURNS text LANGUAGE sql IMMUTABLE "
                       "PARALLEL SAFE AS $qv$ SELECT CASE WHEN %1 THEN %2 || chr(1) || %2 ELSE "
                       "regexp_replace(normalize(qv_fold(t), NFD), %3, E'\\\\1', 'g') || chr(1) || "
                       "qv_fold(t) COLLATE \"C\" END $qv$")
            .arg(ascii, lowerAscii, literal(baselessCharacters()));
    return {fold, sortKey};
}

QStringList pgTextFunctionSignatures() {
    return {QStringLiteral("qv_fold(text)"), QStringLiteral("qv_sortkey(text)")};
}

} // namespace qv
