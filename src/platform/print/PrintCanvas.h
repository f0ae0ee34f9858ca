// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPageLayout>
#include <QPointF>
#include <QRect>
#include <QString>
#include <stdexcept>

class QFont;
class QImage;
class QTextDocument;

namespace qv {

// A print job could not be started, continued or finished. what() is UTF-8.
class PrintError : public std::runtime_error {
public:
    explicit PrintError(const QString& message)
        : std::runtime_error(message.toStdString()) {}
};

// What the reports draw on: plain text at device coordinates, page by page.
// Coordinates are the printer's dots counted from the top-left corner of the
// printable area; text is placed by its top-left corner.
class PrintCanvas {
public:
    virtual ~PrintCanvas() = default;

    // The orientation in force, as the print dialog left it.
    virtual QPageLayout::Orientation orientation() const = 0;
    // Height of the printable area, in device units.
    virtual int pageHeight() const = 0;
    // Width of the printable area, in device units.
    virtual int pageWidth() const = 0;
    // Device units in a millimetre of paper, and where the printable area's
    // top-left corner lies on the paper, in mm: what a layout measured on the
    // paper (a label sheet) needs to find its place.
    virtual double dotsPerMm() const = 0;
    virtual QPointF printableOriginMm() const = 0;

    // Opens the job under `title`, the name shown in the print queue.
    virtual void beginDocument(const QString& title) = 0;
    virtual void setFont(const QString& face, int pointSize) = 0;
    virtual void setBold(bool bold) = 0;
    // Height of `text` in the current font, in device units.
    virtual int textHeight(const QString& text) = 0;
    virtual void textOut(int x, int y, const QString& text) = 0;
    // Any font, proportional ones too, for labels and letters; setFont keeps
    // the reports' fixed-pitch columns. Until the next setFont or setBold.
    virtual void setTextFont(const QFont& font) = 0;
    // Width of `text` in the current font, in device units.
    virtual int textWidth(const QString& text) = 0;
    // Draws the part of `document`, laid out `area.width()` wide, that starts
    // `from` device units down its layout and fits in `area` without cutting
    // a line in two. Answers where the next part starts, or -1 when the
    // document ended inside `area`. The document's own default font applies.
    virtual int drawRichText(const QRect& area, const QTextDocument& document, int from) = 0;
    // Draws `image` scaled into `target`, keeping its proportions.
    virtual void drawImage(const QRect& target, const QImage& image) = 0;
    virtual void newPage() = 0;
    // Releases the finished job to the printer (or the file).
    virtual void endDocument() = 0;
    // Drops an unfinished job: nothing, or as little as the printer allows,
    // comes out. Does nothing when no job is open.
    virtual void abortDocument() = 0;
    virtual bool isActive() const = 0;
};

} // namespace qv
