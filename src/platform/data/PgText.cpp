#include "platform/data/PgText.h"

#include <QChar>
#include <QString>

namespace qv {

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;
// Stands in for "İ" while the server lowers the text: its lower case is two
// characters, while the file register keeps it as it is. A noncharacter,
// which Unicode keeps for such internal use; no text holds one.
constexpr char32_t kDottedCapitalI = 0x130;
constexpr char32_t kPlaceholder = 0xFDD0;

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

QString text(char32_t c) {
    return QStringView(QChar::fromUcs4(c)).toString();
}

// The characters the server's lower case leaves as they are but the file
// register folds, mapped to their folded form: "ς" to "σ", "ſ" to "s", the
// Cherokee small letters to their capitals (case folding's own direction).
void foldAfterLowering(QString& from, QString& to) {
    for (char32_t c = 0x80; c <= kLastCodePoint; ++c) {
        if (isSurrogate(c))
            continue;
        const char32_t folded = QChar::toCaseFolded(c);
        if (folded != c && QChar::toLower(c) == c) {
            from += text(c);
            to += text(folded);
        }
    }
}

// A regular expression matching what has no base letter of its own in the
// file register's order, for regexp_replace(..., '\1'): any combining mark,
// and the vowel and final jamo that a Hangul syllable decomposes into (a
// syllable sorts by its first consonant there), which the expression keeps
// as \1.
QString baselessCharacters() {
    QString marks = QStringLiteral("[");
    char32_t start = 0;
    bool inRun = false;
    for (char32_t c = 0; c <= kLastCodePoint + 1; ++c) {
        const bool mark = c <= kLastCodePoint && !isSurrogate(c) && QChar::isMark(c);
        if (mark && !inRun)
            start = c;
        if (!mark && inRun)
            marks += c - 1 == start ? text(start) : text(start) + u'-' + text(c - 1);
        inRun = mark;
    }
    marks += u']';
    const QString initial = text(0x1100) + u'-' + text(0x1112);
    const QString vowel = text(0x1161) + u'-' + text(0x1175);
    const QString final = text(0x11A8) + u'-' + text(0x11C2);
    return QStringLiteral("([%1])[%2][%3]?|%4").arg(initial, vowel, final, marks);
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
    QString from, to;
    foldAfterLowering(from, to);
    const QString ascii = QStringLiteral("octet_length(t) = length(t)");
    const QString lowerAscii = QStringLiteral("lower(t COLLATE \"C\")");
    // ASCII text, most of a register, is folded by the plain lower case.
    const QString fold =
        QStringLiteral("CREATE FUNCTION qv_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE "
                       "PARALLEL SAFE AS $qv$ SELECT CASE WHEN %1 THEN %2 ELSE "
                       "translate(lower(translate(t, %3, chr(%4)) COLLATE \"und-x-icu\"), "
                       "chr(%4) || %5, %6) COLLATE \"C\" END $qv$")
            .arg(ascii, lowerAscii, literal(text(kDottedCapitalI)))
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
