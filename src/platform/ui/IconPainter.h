#pragma once

#include <QColor>
#include <QImage>
#include <QPen>
#include <QSize>
#include <functional>

class QPainter;
class QPainterPath;

// What the program's pictures painted in code share: one palette, the ink
// outline, and the 32 by 32 grid they are drawn on, so every window's icons
// belong to one family.
namespace qv::IconPainter {

inline constexpr QColor Ink(0x1d, 0x2b, 0x4a);
inline constexpr QColor Paper(0xfd, 0xfd, 0xfb);
inline constexpr QColor Blue(0x3d, 0x7f, 0xd9);
inline constexpr QColor LightBlue(0xb4, 0xd6, 0xf7);
inline constexpr QColor Gold(0xf5, 0xb8, 0x2e);
inline constexpr QColor Green(0x35, 0xa1, 0x52);
inline constexpr QColor Grey(0x95, 0xa1, 0xad);

// The ink outline, with round ends and corners.
QPen inkPen(qreal width);

// Fills `path` and outlines it with the ink pen of `width`.
void outlined(QPainter& p, const QPainterPath& path, const QColor& fill, qreal width);

// Paints a picture drawn on the 32 by 32 grid into a transparent image of
// `pixels`, antialiased; a null image for an empty size.
QImage paintOnGrid(const QSize& pixels, const std::function<void(QPainter&)>& draw);

} // namespace qv::IconPainter
