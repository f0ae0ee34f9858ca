// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/print/RecordingCanvas.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegularExpression>
#include <QTextDocument>

#include <algorithm>

namespace qv {

RecordingCanvas::RecordingCanvas(const RecordingPageSetup& setup)
    : m_setup(setup) {}

void RecordingCanvas::requireActive() const {
    if (!m_active)
        throw PrintError(QStringLiteral("No print job is open"));
}

void RecordingCanvas::beginDocument(const QString& title) {
    if (m_active || m_ended)
        throw PrintError(QStringLiteral("The print job is already open"));
    m_title = title;
    m_active = true;
    m_page = 1;
}

void RecordingCanvas::setFont(const QString& face, int pointSize) {
    m_face = face;
    m_pointSize = pointSize;
    m_textPoints = 0;
}

void RecordingCanvas::setTextFont(const QFont& font) {
    requireActive();
    m_face = font.family();
    m_pointSize = font.pointSize();
    m_textPoints = std::max(font.pointSize(), 1);
    m_bold = font.bold();
}

int RecordingCanvas::textHeight(const QString& text) {
    if (text.isEmpty())
        return 0;
    return m_textPoints ? 4 * m_textPoints : m_setup.lineHeight;
}

int RecordingCanvas::textWidth(const QString& text) {
    return int(text.size()) * (m_textPoints ? 2 * m_textPoints : m_setup.lineHeight);
}

void RecordingCanvas::textOut(int x, int y, const QString& text) {
    requireActive();
    m_texts.append({m_page, x, y, m_bold, text, m_textPoints});
}

int RecordingCanvas::drawRichText(const QRect& area, const QTextDocument& document, int from) {
    requireActive();
    static const QRegularExpression breaks(QStringLiteral("[\\n\\x{2028}\\x{2029}]"));
    const QStringList lines = document.toPlainText().split(breaks);
    const int height = m_setup.lineHeight;
    for (qsizetype i = from / height; i < lines.size(); ++i) {
        const int top = int(i) * height - from;
        if (top + height > area.height() && i > from / height)
            return int(i) * height;
        m_texts.append({m_page, area.x(), area.y() + top, false, lines[i], 0});
    }
    return -1;
}

void RecordingCanvas::drawImage(const QRect& target, const QImage& image) {
    requireActive();
    m_images.append({m_page, target, image.size()});
}

void RecordingCanvas::newPage() {
    requireActive();
    ++m_page;
}

void RecordingCanvas::endDocument() {
    requireActive();
    m_active = false;
    m_ended = true;
}

void RecordingCanvas::abortDocument() {
    if (!m_active)
        return;
    m_active = false;
    m_aborted = true;
}

QStringList RecordingCanvas::page(int number) const {
    QStringList lines;
    for (const RecordedText& t : m_texts)
        if (t.page == number)
            lines << QStringLiteral("%1,%2 %3 %4")
                         .arg(t.x)
                         .arg(t.y)
                         .arg(QChar(t.bold ? u'B' : u'R'))
                         .arg(t.text);
    return lines;
}

} // namespace qv
