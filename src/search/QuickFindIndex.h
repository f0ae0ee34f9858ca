// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {
class Connection;
}

// Where a found member stands today: his latest period (the greatest
// DateJoined) is open or ends today or later, it has ended, or he has none.
enum class QuickFindStanding { Current, Past, NoPeriod };

// One member of a quick find's answer, as the result list shows him.
struct QuickFindRow {
    qint64 memberId = 0;
    QString surname, firstNames, address, city, postCode;
    QuickFindStanding standing = QuickFindStanding::Current;
};

// The answer to one typed text: every member found, in the order shown
// (current members, then past ones, then those without any period, each by
// surname then first names as the member list sorts), and the rows of the
// first of them.
struct QuickFindAnswer {
    QString text;
    std::vector<qint64> memberIds;
    std::vector<QuickFindRow> rows;
};

// The texts of every member, folded once for finding typed words: names,
// address, city and e-mail with case and accents folded, the post code and
// phone numbers also without spaces and punctuation, and the membership
// number of every period. Held in memory and built from one read of the
// register; whoever holds it decides when the register has changed and
// builds it again.
class QuickFindIndex {
public:
    // Reads every member and period from the connection and replaces what
    // the index held. Errors of the read reach the caller; the index is then
    // as it was.
    void build(qv::Connection& connection);

    // The members in whom every word of `text` (split at white space) occurs
    // inside one field: the word folded as the fields are, and for the post
    // code and phone numbers also without its punctuation. "%" and "_" are
    // ordinary characters. `today` decides who is current. At most `shown`
    // rows are filled; memberIds holds every member found.
    // A text that only adds to the last one (a key typed at the end of a
    // word, or another word) is looked for among the members the last one
    // found, so one index serves one thread at a time.
    QuickFindAnswer find(const QString& text, const QDate& today, int shown) const;

    int memberCount() const { return int(m_members.size()); }
    // The memory the index holds.
    std::size_t bytesUsed() const;

    // The words of a typed text.
    static QStringList words(const QString& text);
    // A field folded as the index folds it, and the same without what is
    // neither letter nor digit (post codes and phone numbers).
    static std::string folded(const QString& text);
    static std::string compacted(const std::string& folded);

private:
    struct Member {
        qint64 id = 0;
        // The latest period's end as yyyymmdd; kOpen or kNoPeriod.
        std::int32_t endDay = 0;
        std::uint32_t display = 0; // offset of its texts in m_display
    };
    std::vector<Member> m_members; // by surname, first names, key
    // Which ASCII bytes each member's text holds (bits 0-127), and whether it
    // holds any other (bit 128 of the last word): a member lacking a byte of
    // a word cannot hold the word, and for a word of one ASCII byte the test
    // is the answer.
    struct Bytes {
        std::uint64_t bits[3] = {0, 0, 0};
        void add(unsigned char c) { bits[c < 128 ? c / 64 : 2] |= c < 128 ? 1ull << (c % 64) : 1; }
        bool covers(const Bytes& word) const {
            return (bits[0] & word.bits[0]) == word.bits[0] &&
                   (bits[1] & word.bits[1]) == word.bits[1] &&
                   (bits[2] & word.bits[2]) == word.bits[2];
        }
    };
    std::vector<Bytes> m_bytes;
    // Which pairs of neighbouring bytes each member's text holds, hashed
    // into 256 bits: a member lacking a pair of a word cannot hold the word.
    struct Pairs {
        std::uint64_t bits[4] = {0, 0, 0, 0};
        void add(unsigned char a, unsigned char b) {
            const unsigned h = (a * 31u + b) & 255u;
            bits[h / 64] |= 1ull << (h % 64);
        }
        void addAll(const std::string& text) {
            for (std::size_t i = 1; i < text.size(); ++i)
                add(static_cast<unsigned char>(text[i - 1]), static_cast<unsigned char>(text[i]));
        }
        bool covers(const Pairs& word) const {
            for (int i = 0; i < 4; ++i)
                if ((bits[i] & word.bits[i]) != word.bits[i])
                    return false;
            return true;
        }
    };
    std::vector<Pairs> m_pairs;
    // The folded words of the last text and the members it found, in the
    // index's order, for the next keystroke.
    mutable std::vector<std::string> m_lastWords;
    mutable std::vector<std::uint32_t> m_lastFound;
    mutable bool m_lastValid = false;
    // Each member's folded fields, one after another, each ended by a line
    // feed (typed words never hold one); m_textStart[i] is where member i
    // begins, with one more entry for the end.
    std::string m_text;
    std::vector<std::uint32_t> m_textStart;
    // The same for the post code and phone numbers without punctuation.
    std::string m_compact;
    std::vector<std::uint32_t> m_compactStart;
    // Surname, first names, address, city and post code as stored, each ended
    // by a zero byte.
    std::string m_display;
};
