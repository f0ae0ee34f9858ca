// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/print/PrintCanvas.h"

#include <QFont>
#include <QPageRanges>
#include <QPainter>
#include <memory>

class QPrinter;

namespace qv {

namespace FileSystem {
class ReplacingFile;
}

// The canvas of a real printer, a PDF file or Qt's print preview. Device
// units are the printer's dots in its high resolution. A PDF file is written
// beside its name and put in place when the job ends, so an aborted job leaves
// no half file and an earlier file of that name as it was. When the print
// dialog asked for some pages only, the others are drawn on nothing. A PDF
// page's printable area ends at least PdfBottomMarginMm above the paper's edge.
inline constexpr double PdfBottomMarginMm = 10.0;

class PrinterCanvas : public PrintCanvas {
public:
    explicit PrinterCanvas(QPrinter& printer);
    ~PrinterCanvas() override;
    PrinterCanvas(const PrinterCanvas&) = delete;
    PrinterCanvas& operator=(const PrinterCanvas&) = delete;

    QPageLayout::Orientation orientation() const override;
    int pageHeight() const override;
    int pageWidth() const override;
    double dotsPerMm() const override;
    QPointF printableOriginMm() const override;
    void beginDocument(const QString& title) override;
    void setFont(const QString& face, int pointSize) override;
    void setBold(bool bold) override;
    int textHeight(const QString& text) override;
    void textOut(int x, int y, const QString& text) override;
    void setTextFont(const QFont& font) override;
    int textWidth(const QString& text) override;
    int drawRichText(const QRect& area, const QTextDocument& document, int from) override;
    void drawImage(const QRect& target, const QImage& image) override;
    void newPage() override;
    void endDocument() override;
    void abortDocument() override;
    bool isActive() const override { return m_painter.isActive(); }

private:
    void requireActive() const;
    // Whether the page being drawn is among those chosen in the print dialog.
    bool pageWanted() const;
    void applyFont();
    void discardFile();
    void restoreFileName();

    QPrinter& m_printer;
    QPainter m_painter;
    QFont m_font;
    int m_ascent = 0;         // of the current font, on the printer
    double m_column = 0.0;    // the width of one character of the fixed-pitch font
    bool m_fixedPitch = true; // the reports' font, drawn in columns
    QPageRanges m_wanted;     // the pages to print; empty: all
    int m_page = 0;           // the page being drawn, from 1
    bool m_sheetUsed = false; // whether a chosen page went on the job's sheet yet
    QString m_target;         // the PDF file asked for; empty when not writing one
    std::unique_ptr<FileSystem::ReplacingFile> m_file; // where it is written meanwhile
};

} // namespace qv
