// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPageLayout>
#include <QRect>
#include <QString>
#include <stdexcept>

class QImage;

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

    // Opens the job under `title`, the name shown in the print queue.
    virtual void beginDocument(const QString& title) = 0;
    virtual void setFont(const QString& face, int pointSize) = 0;
    virtual void setBold(bool bold) = 0;
    // Height of `text` in the current font, in device units.
    virtual int textHeight(const QString& text) = 0;
    virtual void textOut(int x, int y, const QString& text) = 0;
    // Draws `image` scaled into `target` (device units), for charts.
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
