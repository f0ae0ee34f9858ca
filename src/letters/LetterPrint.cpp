// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters/LetterPrint.h"

#include "platform/print/PrintCanvas.h"

#include <QRect>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace Letters {
namespace {

const QRegularExpression& fieldPattern() {
    static const QRegularExpression pattern(QStringLiteral("\\{([A-Za-z][A-Za-z0-9_]*)\\}"));
    return pattern;
}

QString lookUp(const QHash<QString, QString>& fields, const QString& name) {
    const auto exact = fields.constFind(name);
    if (exact != fields.constEnd())
        return *exact;
    for (auto field = fields.cbegin(); field != fields.cend(); ++field)
        if (field.key().compare(name, Qt::CaseInsensitive) == 0)
            return field.value();
    return QString();
}

// Letter margins measured from the paper's edge, in mm.
constexpr double SideMarginMm = 20.0;
constexpr double TopMarginMm = 15.0;
constexpr double BottomMarginMm = 15.0;
constexpr double LogoHeightMm = 25.0;
constexpr double LogoWidthMm = 60.0;
constexpr double HeadGapMm = 10.0;

} // namespace

QStringList FieldsIn(const QString& templateHtml) {
    QTextDocument document;
    document.setHtml(templateHtml);
    QStringList names;
    for (auto match = fieldPattern().globalMatch(document.toPlainText()); match.hasNext();) {
        const QString name = match.next().captured(1);
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

QStringList UnknownFields(const QString& templateHtml, const QStringList& known) {
    QStringList unknown;
    for (const QString& name : FieldsIn(templateHtml))
        if (!known.contains(name, Qt::CaseInsensitive))
            unknown << name;
    return unknown;
}

QFont LetterFont() {
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setStyleHint(QFont::Serif);
    font.setPointSize(11);
    return font;
}

std::unique_ptr<QTextDocument> MergeLetter(const QString& templateHtml,
                                           const QHash<QString, QString>& fields) {
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(LetterFont());
    document->setHtml(templateHtml);
    // Found in the document rather than in its markup, so a field whose
    // letters carry different formats is still one field; the search goes on
    // after each inserted text, which is never read as fields itself.
    QTextCursor cursor = document->find(fieldPattern());
    while (!cursor.isNull()) {
        const QString name = cursor.selectedText().mid(1).chopped(1);
        QString value = lookUp(fields, name);
        value.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
        value.replace(u'\n', QChar::LineSeparator);
        value.replace(u'\r', QChar::LineSeparator);
        cursor.insertText(value);
        cursor = document->find(fieldPattern(), cursor);
    }
    return document;
}

void PaintLetters(qv::PrintCanvas& canvas, const LetterJob& job) {
    const double dots = canvas.dotsPerMm();
    const QPointF origin = canvas.printableOriginMm();
    const auto x = [&](double mm) { return int(std::lround((mm - origin.x()) * dots)); };
    const auto y = [&](double mm) { return int(std::lround((mm - origin.y()) * dots)); };
    const int left = std::max(x(SideMarginMm), 0);
    // The printable area is taken as centred on the paper.
    const int width = canvas.pageWidth() - 2 * left;
    const int top = std::max(y(TopMarginMm), 0);
    const int bottom = canvas.pageHeight() - std::max(y(BottomMarginMm), 0);

    const LetterStore::Letterhead& head = job.letterhead;
    for (int i = 0; i < job.count; ++i) {
        if (i > 0)
            canvas.newPage();
        int bodyTop = top;
        int headBottom = top;
        if (!head.logo.isNull()) {
            const QSize logo = head.logo.size().scaled(
                QSize(int(LogoWidthMm * dots), int(LogoHeightMm * dots)), Qt::KeepAspectRatio);
            canvas.drawImage(QRect(left + width - logo.width(), top, logo.width(), logo.height()),
                             head.logo);
            headBottom = top + logo.height();
        }
        int line = top;
        if (!head.name.isEmpty()) {
            QFont name = LetterFont();
            name.setPointSize(16);
            name.setBold(true);
            canvas.setTextFont(name);
            canvas.textOut(left, line, head.name);
            line += canvas.textHeight(head.name);
        }
        if (!head.address.isEmpty()) {
            QFont address = LetterFont();
            address.setPointSize(9);
            canvas.setTextFont(address);
            for (const QString& text : head.address.split(u'\n')) {
                canvas.textOut(left, line, text.trimmed());
                line += canvas.textHeight(QStringLiteral("x"));
            }
        }
        headBottom = std::max(headBottom, line);
        if (headBottom > top)
            bodyTop = headBottom + int(HeadGapMm * dots);

        const std::unique_ptr<QTextDocument> letter =
            MergeLetter(job.templateHtml, job.fieldsOf(i));
        int from = 0;
        QRect area(left, bodyTop, width, bottom - bodyTop);
        while ((from = canvas.drawRichText(area, *letter, from)) >= 0) {
            // The rest of the letter on pages of its own, without the letterhead.
            canvas.newPage();
            area = QRect(left, top, width, bottom - top);
        }
    }
}

} // namespace Letters
