#include "platform/ui/IconPainter.h"

#include <QPainter>
#include <QPainterPath>

namespace qv::IconPainter {

QPen inkPen(qreal width) {
    return QPen(Ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void outlined(QPainter& p, const QPainterPath& path, const QColor& fill, qreal width) {
    p.setPen(inkPen(width));
    p.setBrush(fill);
    p.drawPath(path);
}

QImage paintOnGrid(const QSize& pixels, const std::function<void(QPainter&)>& draw) {
    if (pixels.isEmpty())
        return QImage();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(pixels.width() / 32.0, pixels.height() / 32.0);
        draw(painter);
    }
    return image;
}

} // namespace qv::IconPainter
