// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/print/RecordingCanvas.h"

#include <QImage>

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
}

int RecordingCanvas::textHeight(const QString& text) {
    return text.isEmpty() ? 0 : m_setup.lineHeight;
}

void RecordingCanvas::textOut(int x, int y, const QString& text) {
    requireActive();
    m_texts.append({m_page, x, y, m_bold, text});
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
