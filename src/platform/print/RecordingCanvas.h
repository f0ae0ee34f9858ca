// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/print/PrintCanvas.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QStringList>

namespace qv {

// The shape of the page a recording canvas pretends to print on.
struct RecordingPageSetup {
    RecordingPageSetup(QPageLayout::Orientation orientation = QPageLayout::Landscape,
                       int pageHeight = 2450, int lineHeight = 100)
        : orientation(orientation)
        , pageHeight(pageHeight)
        , lineHeight(lineHeight) {}

    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    int pageHeight = 2450; // bottom limit 2000 with the reports' margins
    int pageWidth = 3400;
    int lineHeight = 100;
    double dotsPerMm = 10.0;
    QPointF printableOriginMm; // the printable area's corner on the paper
};

// One text drawn on a recording canvas.
struct RecordedText {
    int page = 1;
    int x = 0;
    int y = 0;
    bool bold = false;
    QString text;
    int pointSize = 0; // of a text font (setTextFont); 0 for the reports' font
};

// One picture drawn on a recording canvas: where, and how large it was.
struct RecordedImage {
    int page = 1;
    QRect target;
    QSize size;
};

// A canvas that keeps every text with its page, position and style instead of
// printing, so tests can check a report's layout exactly. Every character is
// as high as the setup's line height. After setTextFont a character of a
// font of p points is 2p units wide and a line 4p units high, so text that
// must fit a box can be measured. Rich text is recorded as its plain lines,
// one line height each (soft line breaks too); pictures are kept apart, in images().
class RecordingCanvas : public PrintCanvas {
public:
    explicit RecordingCanvas(const RecordingPageSetup& setup = {});

    QPageLayout::Orientation orientation() const override { return m_setup.orientation; }
    int pageHeight() const override { return m_setup.pageHeight; }
    int pageWidth() const override { return m_setup.pageWidth; }
    double dotsPerMm() const override { return m_setup.dotsPerMm; }
    QPointF printableOriginMm() const override { return m_setup.printableOriginMm; }
    void beginDocument(const QString& title) override;
    void setFont(const QString& face, int pointSize) override;
    void setBold(bool bold) override { m_bold = bold; }
    void setTextFont(const QFont& font) override;
    int textWidth(const QString& text) override;
    int drawRichText(const QRect& area, const QTextDocument& document, int from) override;
    int textHeight(const QString& text) override;
    void textOut(int x, int y, const QString& text) override;
    void drawImage(const QRect& target, const QImage& image) override;
    void newPage() override;
    void endDocument() override;
    void abortDocument() override;
    bool isActive() const override { return m_active; }

    QString title() const { return m_title; }
    QString fontFace() const { return m_face; }
    int pointSize() const { return m_pointSize; }
    bool bold() const { return m_bold; }
    bool ended() const { return m_ended; }
    bool aborted() const { return m_aborted; }
    int pageCount() const { return m_page; }
    const QList<RecordedText>& texts() const { return m_texts; }
    const QList<RecordedImage>& images() const { return m_images; }
    // The texts of one page (from 1), each as "x,y B text" ("R" for regular).
    QStringList page(int number) const;

private:
    void requireActive() const;

    RecordingPageSetup m_setup;
    QString m_title;
    QString m_face;
    int m_pointSize = 0;
    int m_textPoints = 0; // the text font's size; 0 while the reports' font is set
    bool m_bold = false;
    bool m_active = false;
    bool m_ended = false;
    bool m_aborted = false;
    int m_page = 0;
    QList<RecordedText> m_texts;
    QList<RecordedImage> m_images;
};

} // namespace qv
