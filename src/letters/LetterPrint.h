// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "letters/LetterStore.h"

#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QTextDocument;

namespace qv {
class PrintCanvas;
}

// Merging a template with a member's fields, and letters on the canvas.
namespace Letters {

// The fields a template names ({Name}), each once, in order of appearance.
// A field whose braces and name are formatted apart ({First<b>Names}</b>)
// counts as well: the template's plain text is read.
QStringList FieldsIn(const QString& templateHtml);
// Those not among `known` (compared without regard to case).
QStringList UnknownFields(const QString& templateHtml, const QStringList& known);

// The font a letter's text starts in, which the template editor shows.
QFont LetterFont();

// The template with every {Field} replaced by its text (a line break in it
// starts a new line), or by nothing when `fields` lacks it. A field's text is
// put in as text: braces or markup in a member's name stay as typed.
std::unique_ptr<QTextDocument> MergeLetter(const QString& templateHtml,
                                           const QHash<QString, QString>& fields);

struct LetterJob {
    LetterStore::Letterhead letterhead;
    QString templateHtml;
    int count = 0;
    // The merge fields of letter `index` (from 0), asked for as each is drawn.
    std::function<QHash<QString, QString>(int index)> fieldsOf;
};

// Draws the letters on an open job: each begins on a new page under the
// letterhead and runs on over as many pages as it needs. One letter at a time
// is held.
void PaintLetters(qv::PrintCanvas& canvas, const LetterJob& job);

} // namespace Letters
