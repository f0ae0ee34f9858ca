// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/print/PrinterCanvas.h"

#include "platform/os/FileSystem.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPrinter>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace qv {
namespace {

// Line breaks and other control characters would print as nothing, or as a
// box; a blank keeps the columns of a fixed-pitch line where they are.
QString printable(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    return out;
}

} // namespace

PrinterCanvas::PrinterCanvas(QPrinter& printer)
    : m_printer(printer) {}

PrinterCanvas::~PrinterCanvas() {
    abortDocument();
}

QPageLayout::Orientation PrinterCanvas::orientation() const {
    return m_printer.pageLayout().orientation();
}

int PrinterCanvas::pageHeight() const {
    return m_printer.height();
}

int PrinterCanvas::pageWidth() const {
    return m_printer.width();
}

double PrinterCanvas::dotsPerMm() const {
    return m_printer.resolution() / 25.4;
}

QPointF PrinterCanvas::printableOriginMm() const {
    return m_printer.pageLayout().paintRect(QPageLayout::Millimeter).topLeft();
}

void PrinterCanvas::requireActive() const {
    if (!m_painter.isActive())
        throw PrintError(QStringLiteral("No print job is open"));
}

void PrinterCanvas::beginDocument(const QString& title) {
    m_printer.setDocName(title);
    // A PDF page is printable to within 3.5 mm of its edge, where a printer
    // would cut the last line off when the file is printed later: its foot
    // keeps at least 10 mm clear.
    if (m_printer.outputFormat() == QPrinter::PdfFormat) {
        QMarginsF margins = m_printer.pageLayout().margins(QPageLayout::Millimeter);
        if (margins.bottom() < PdfBottomMarginMm) {
            margins.setBottom(PdfBottomMarginMm);
            m_printer.setPageMargins(margins, QPageLayout::Millimeter);
        }
    }
    // A PDF file is written under another name and put in place at the end.
    // Qt's print preview borrows the printer with a paint engine of its own,
    // and a printer queue spools by itself: only a real PDF job is redirected.
    const QPaintEngine* engine = m_printer.paintEngine();
    if (m_printer.outputFormat() == QPrinter::PdfFormat && !m_printer.outputFileName().isEmpty() &&
        engine && engine->type() == QPaintEngine::Pdf) {
        m_target = m_printer.outputFileName();
        m_file = std::make_unique<FileSystem::ReplacingFile>(m_target);
        m_printer.setOutputFileName(m_file->temporaryPath());
    }
    if (!m_painter.begin(&m_printer)) {
        const QString target = m_target;
        discardFile();
        if (!target.isEmpty())
            throw FileSystem::FileWriteError(target, EIO);
        throw PrintError(
            QStringLiteral("The printer %1 could not be opened").arg(m_printer.printerName()));
    }
    m_font = QFont();
    applyFont();
    // The pages chosen in the print dialog are left to the application.
    m_wanted =
        m_printer.printRange() == QPrinter::PageRange ? m_printer.pageRanges() : QPageRanges();
    m_page = 1;
    m_sheetUsed = pageWanted();
}

bool PrinterCanvas::pageWanted() const {
    return m_wanted.isEmpty() || m_wanted.contains(m_page);
}

void PrinterCanvas::setFont(const QString& face, int pointSize) {
    requireActive();
    m_font.setFamily(face);
    m_font.setPointSize(pointSize);
    m_font.setStyleHint(QFont::TypeWriter);
    m_fixedPitch = true;
    applyFont();
}

void PrinterCanvas::setTextFont(const QFont& font) {
    requireActive();
    m_font = font;
    m_fixedPitch = false;
    applyFont();
}

int PrinterCanvas::textWidth(const QString& text) {
    requireActive();
    return int(
        std::ceil(QFontMetricsF(m_painter.font(), &m_printer).horizontalAdvance(printable(text))));
}

int PrinterCanvas::drawRichText(const QRect& area, const QTextDocument& document, int from) {
    requireActive();
    // Laid out again on the printer, so the lines break where they print.
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->documentLayout()->setPaintDevice(&m_printer);
    // The area is the text's edge: no margin of the document's own inside it.
    copy->setDocumentMargin(0);
    copy->setTextWidth(area.width());
    QAbstractTextDocumentLayout* layout = copy->documentLayout();
    // The part ends before the first line that would pass the area's foot.
    const double limit = from + area.height();
    double end = -1; // where the next part starts; -1: nothing is left
    bool fitted = false;
    for (QTextBlock block = copy->begin(); block.isValid() && end < 0; block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        const QTextLayout* lines = block.layout();
        for (int i = 0; lines && i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double top = box.top() + line.y();
            const double bottom = top + line.height();
            if (top < from)
                continue;
            if (bottom > limit) {
                // A line taller than the whole area goes alone, cut, rather
                // than never.
                end = fitted ? top : bottom;
                break;
            }
            fitted = true;
        }
    }
    if (pageWanted()) {
        const double shownEnd = end < 0 ? limit : std::min(end, limit);
        m_painter.save();
        m_painter.translate(area.x(), area.y() - from);
        const QRectF clip(0, from, area.width(), shownEnd - from);
        m_painter.setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        layout->draw(&m_painter, context);
        m_painter.restore();
    }
    // Rounded down: the next part starts at or just above its first line.
    return end < 0 ? -1 : int(std::floor(end));
}

void PrinterCanvas::drawImage(const QRect& target, const QImage& image) {
    requireActive();
    if (!pageWanted() || image.isNull() || target.isEmpty())
        return;
    const QSize size = image.size().scaled(target.size(), Qt::KeepAspectRatio);
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.drawImage(QRect(target.topLeft(), size), image);
    m_painter.restore();
}

void PrinterCanvas::setBold(bool bold) {
    requireActive();
    m_font.setBold(bold);
    applyFont();
}

void PrinterCanvas::applyFont() {
    m_painter.setFont(m_font);
    m_ascent = QFontMetrics(m_painter.font(), &m_printer).ascent();
    m_column = QFontMetricsF(m_painter.font(), &m_printer).horizontalAdvance(u'x');
}

int PrinterCanvas::textHeight(const QString& text) {
    requireActive();
    return text.isEmpty() ? 0 : QFontMetrics(m_painter.font(), &m_printer).height();
}

void PrinterCanvas::textOut(int x, int y, const QString& text) {
    requireActive();
    if (!pageWanted())
        return;
    const QString line = printable(text);
    const int baseline = y + m_ascent;
    if (!m_fixedPitch) {
        m_painter.drawText(x, baseline, line);
        return;
    }
    // Below U+0300 every character is the report font's own, one column wide.
    if (std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c.unicode() < 0x300; })) {
        m_painter.drawText(x, baseline, line);
        return;
    }
    // Columns are made of characters, so each one seen goes in its own
    // column: a letter with its accents, and a character that another font
    // supplies at another width (an ideograph, an emoji), made to fit it.
    const QFontMetricsF metrics(m_painter.font(), &m_printer);
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, line);
    qsizetype start = 0;
    double left = x;
    while (characters.toNextBoundary() != -1) {
        const QString character = line.mid(start, characters.position() - start);
        start = characters.position();
        const double width = metrics.horizontalAdvance(character);
        if (width > m_column * 1.01) {
            m_painter.save();
            m_painter.translate(left, baseline);
            m_painter.scale(m_column / width, 1.0);
            m_painter.drawText(QPointF(0, 0), character);
            m_painter.restore();
        } else {
            m_painter.drawText(QPointF(left, baseline), character);
        }
        left += m_column;
    }
}

void PrinterCanvas::newPage() {
    requireActive();
    ++m_page;
    if (!pageWanted())
        return;
    // The job's first sheet waits for the first page chosen.
    if (m_sheetUsed && !m_printer.newPage())
        throw PrintError(QStringLiteral("The printer refused a new page"));
    m_sheetUsed = true;
}

void PrinterCanvas::endDocument() {
    requireActive();
    m_font.setBold(false);
    applyFont();
    const bool ended = m_painter.end();
    if (m_file) {
        std::unique_ptr<FileSystem::ReplacingFile> file = std::move(m_file);
        restoreFileName();
        if (!ended)
            throw FileSystem::FileWriteError(m_target, EIO);
        file->commit();
    } else if (!ended) {
        throw PrintError(QStringLiteral("The print job could not be finished"));
    }
}

void PrinterCanvas::abortDocument() {
    if (m_painter.isActive()) {
        // Qt's own engines cannot withdraw what they have spooled; the job is
        // closed either way, and a PDF file is thrown away below.
        m_printer.abort();
        m_painter.end();
    }
    discardFile();
}

void PrinterCanvas::discardFile() {
    if (!m_file)
        return;
    m_file.reset();
    restoreFileName();
}

void PrinterCanvas::restoreFileName() {
    if (!m_target.isEmpty())
        m_printer.setOutputFileName(m_target);
}

} // namespace qv
