// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/data/SqlText.h"

#include "platform/data/DatabaseError.h"

#include <QDate>
#include <QRegularExpression>
#include <vector>

namespace qv {

namespace {

enum class Tok { Space, Word, Number, String, Quoted, Bracketed, DateLit, Param, Comment, Punct };

struct Token {
    Tok kind;
    QString text;
};

bool isWordStart(QChar c) {
    return c.isLetter() || c == u'_';
}
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// A '#' opens a Jet date literal only when a matching '#' follows on the same
// statement with date-like characters between.
qsizetype dateLiteralEnd(const QString& s, qsizetype start) {
    for (qsizetype j = start + 1; j < s.size() && j - start <= 40; ++j) {
        const QChar c = s[j];
        if (c == u'#')
            return j > start + 1 ? j : -1;
        if (!(c.isDigit() || c == u'-' || c == u'/' || c == u' ' || c == u':' || c == u'.' ||
              c.isLetter()))
            return -1;
    }
    return -1;
}

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto push = [&](Tok kind, qsizetype from) { out.push_back({kind, s.mid(from, i - from)}); };
    while (i < n) {
        const qsizetype from = i;
        const QChar c = s[i];
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            push(Tok::Space, from);
        } else if (c == u'\'' || c == u'"') {
            ++i;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            push(c == u'\'' ? Tok::String : Tok::Quoted, from);
        } else if (c == u'[') {
            while (i < n && s[i] != u']')
                ++i;
            if (i < n)
                ++i;
            push(Tok::Bracketed, from);
        } else if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            while (i < n && s[i] != u'\n')
                ++i;
            push(Tok::Comment, from);
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            push(Tok::Comment, from);
        } else if (c == u'#' && dateLiteralEnd(s, i) > 0) {
            i = dateLiteralEnd(s, i) + 1;
            push(Tok::DateLit, from);
        } else if (c == u':' && i + 1 < n && isWordStart(s[i + 1]) &&
                   !(i > 0 && s[i - 1] == u':')) {
            ++i;
            while (i < n && isWordChar(s[i]))
                ++i;
            push(Tok::Param, from);
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(s[i]))
                ++i;
            push(Tok::Word, from);
        } else if (c.isDigit()) {
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'.'))
                ++i;
            push(Tok::Number, from);
        } else {
            ++i;
            push(Tok::Punct, from);
        }
    }
    return out;
}

bool isWord(const Token& t, const char* word) {
    return t.kind == Tok::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// Index of the next token that is not white space or a comment, or -1.
qsizetype nextSolid(const std::vector<Token>& toks, qsizetype from) {
    for (qsizetype k = from; k < qsizetype(toks.size()); ++k)
        if (toks[k].kind != Tok::Space && toks[k].kind != Tok::Comment)
            return k;
    return -1;
}

qsizetype prevSolid(const std::vector<Token>& toks, qsizetype from) {
    for (qsizetype k = from; k >= 0; --k)
        if (toks[k].kind != Tok::Space && toks[k].kind != Tok::Comment)
            return k;
    return -1;
}

QString jetDateToSqlite(const QString& literal) {
    const QString body = literal.mid(1, literal.size() - 2).trimmed();
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{1,4})-(\\d{1,2})-(\\d{1,2})(?:\\s+(\\d{1,2})[.:](\\d{1,2})(?:[.:](\\d{"
        "1,2}))?)?$"));
    static const QRegularExpression us(QStringLiteral(
        "^(\\d{1,2})/(\\d{1,2})/(\\d{1,4})(?:\\s+(\\d{1,2})[.:](\\d{1,2})(?:[.:](\\d{"
        "1,2}))?)?$"));
    int y = 0, mo = 0, d = 0;
    QRegularExpressionMatch m = iso.match(body);
    if (m.hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
    } else {
        m = us.match(body);
        if (!m.hasMatch())
            throw DatabaseError(
                QStringLiteral("Syntax error in date in query expression '%1'.").arg(literal));
        mo = m.captured(1).toInt();
        d = m.captured(2).toInt();
        y = m.captured(3).toInt();
    }
    const int h = m.captured(4).toInt();
    const int mi = m.captured(5).toInt();
    const int sec = m.captured(6).toInt();
    if (!QDate(y, mo, d).isValid() || h > 23 || mi > 59 || sec > 59)
        throw DatabaseError(
            QStringLiteral("Syntax error in date in query expression '%1'.").arg(literal));
    return QString::asprintf("'%04d-%02d-%02d %02d:%02d:%02d'", y, mo, d, h, mi, sec);
}

} // namespace

PreparedText prepareParameters(const QString& sql) {
    PreparedText out;
    const std::vector<Token> toks = tokenize(sql);
    out.text.reserve(sql.size());
    for (const Token& t : toks) {
        if (t.kind == Tok::Param) {
            out.parameters.append(t.text.mid(1));
            out.text += u'?';
        } else {
            out.text += t.text;
        }
    }
    return out;
}

QString adaptJetToSqlite(const QString& sql) {
    std::vector<Token> toks = tokenize(sql);
    const qsizetype count = qsizetype(toks.size());
    const qsizetype first = nextSolid(toks, 0);
    const bool isTableDdl =
        first >= 0 && (isWord(toks[first], "CREATE") || isWord(toks[first], "ALTER")) &&
        nextSolid(toks, first + 1) >= 0 && isWord(toks[nextSolid(toks, first + 1)], "TABLE");

    // Where a LIMIT goes: after the token at which the SELECT's level closes.
    std::vector<QString> appendAfter(count);
    struct Pending {
        int depth;
        QString limit;
    };
    std::vector<Pending> pending;
    int depth = 0;
    // The bracket levels at which a UNION (or INTERSECT, EXCEPT) joins SELECTs.
    // A LIMIT there would cut the whole compound, where TOP cut one SELECT.
    std::vector<bool> compound(1, false);
    const auto compoundHere = [&]() -> std::vector<bool>::reference {
        const size_t level = depth < 0 ? 0 : size_t(depth);
        if (level >= compound.size())
            compound.resize(level + 1, false);
        return compound[level];
    };
    const auto refuseTopInCompound = [] {
        throw DatabaseError(QStringLiteral(
            "TOP on one SELECT of a UNION cannot be run on the file database, which would "
            "apply it to the whole union: put that SELECT in brackets, as in SELECT * FROM "
            "(SELECT TOP 5 ...)."));
    };

    for (qsizetype k = 0; k < count; ++k) {
        Token& t = toks[k];
        switch (t.kind) {
        case Tok::DateLit:
            t.text = jetDateToSqlite(t.text);
            break;
        case Tok::Punct:
            if (t.text == u"(") {
                ++depth;
                compoundHere() = false;
            } else if (t.text == u")") {
                while (!pending.empty() && pending.back().depth == depth) {
                    // The LIMIT belongs inside the closing bracket of its sub-query.
                    const qsizetype before = prevSolid(toks, k - 1);
                    appendAfter[before >= 0 ? before : k] +=
                        QStringLiteral(" LIMIT ") + pending.back().limit;
                    pending.pop_back();
                }
                --depth;
            } else if (t.text == u";") {
                compound.assign(1, false);
                while (!pending.empty()) {
                    const qsizetype before = prevSolid(toks, k - 1);
                    appendAfter[before >= 0 ? before : k] +=
                        QStringLiteral(" LIMIT ") + pending.back().limit;
                    pending.pop_back();
                }
            }
            break;
        case Tok::Word: {
            const qsizetype prev = prevSolid(toks, k - 1);
            const bool qualified = prev >= 0 && toks[prev].text == u".";
            if (isWord(t, "UNION") || isWord(t, "INTERSECT") || isWord(t, "EXCEPT")) {
                compoundHere() = true;
                if (!pending.empty() && pending.back().depth == depth)
                    refuseTopInCompound();
            } else if (isWord(t, "now") && !qualified) {
                const qsizetype next = nextSolid(toks, k + 1);
                if (next >= 0 && toks[next].text == u"(") {
                    const qsizetype close = nextSolid(toks, next + 1);
                    if (close >= 0 && toks[close].text == u")") {
                        for (qsizetype r = k + 1; r <= close; ++r)
                            toks[r].text.clear();
                        t.text = QStringLiteral("datetime('now','localtime')");
                    }
                } else {
                    t.text = QStringLiteral("datetime('now','localtime')");
                }
            } else if (isWord(t, "TOP") && prev >= 0 &&
                       (isWord(toks[prev], "SELECT") || isWord(toks[prev], "DISTINCT") ||
                        isWord(toks[prev], "ALL"))) {
                const qsizetype num = nextSolid(toks, k + 1);
                if (num >= 0 && toks[num].kind == Tok::Number) {
                    if (compoundHere())
                        refuseTopInCompound();
                    pending.push_back({depth, toks[num].text});
                    // Drop "TOP n" and the space after it.
                    for (qsizetype r = k; r <= num; ++r)
                        toks[r].text.clear();
                    if (num + 1 < count && toks[num + 1].kind == Tok::Space)
                        toks[num + 1].text.clear();
                }
            } else if (isWord(t, "AUTOINCREMENT")) {
                const qsizetype p = nextSolid(toks, k + 1);
                const qsizetype key = p >= 0 ? nextSolid(toks, p + 1) : -1;
                if (p >= 0 && key >= 0 && isWord(toks[p], "PRIMARY") && isWord(toks[key], "KEY")) {
                    t.text = QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
                    for (qsizetype r = k + 1; r <= key; ++r)
                        toks[r].text.clear();
                }
            } else if (isTableDdl &&
                       (isWord(t, "varchar") || isWord(t, "char") || isWord(t, "nvarchar"))) {
                qsizetype end = k;
                const qsizetype open = nextSolid(toks, k + 1);
                if (open >= 0 && toks[open].text == u"(") {
                    const qsizetype num = nextSolid(toks, open + 1);
                    const qsizetype close = num >= 0 ? nextSolid(toks, num + 1) : -1;
                    if (close >= 0 && toks[close].text == u")")
                        end = close;
                }
                appendAfter[end] += QStringLiteral(" COLLATE NOCASE");
            }
            break;
        }
        default:
            break;
        }
    }
    // What is still open ends with the text: its LIMIT follows the last token
    // that is neither white space nor a comment, so a closing "--" comment
    // cannot swallow it.
    if (!pending.empty()) {
        const qsizetype last = prevSolid(toks, count - 1);
        for (const Pending& p : pending)
            appendAfter[last >= 0 ? last : count - 1] += QStringLiteral(" LIMIT ") + p.limit;
    }

    QString out;
    out.reserve(sql.size() + 32);
    for (qsizetype k = 0; k < count; ++k) {
        out += toks[k].text;
        out += appendAfter[k];
    }
    return out;
}

} // namespace qv
