#include "search/MemberListIcons.h"

#include "platform/ui/IconPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace MemberListIcons {
namespace {

// Drawn on the shared 32 by 32 grid, in the shared palette, and scaled to the
// size asked for.
using namespace qv::IconPainter;

void box(QPainter& p, const QRectF& r, const QColor& fill, qreal radius = 2.5) {
    p.setPen(inkPen(2.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
}

void lines(QPainter& p, qreal x1, qreal x2, std::initializer_list<qreal> ys) {
    p.setPen(QPen(Ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    for (qreal y : ys)
        p.drawLine(QPointF(x1, y), QPointF(x2, y));
}

void envelope(QPainter& p, const QRectF& r) {
    box(p, r, Paper, 1.5);
    QPainterPath flap;
    flap.moveTo(r.left() + 1, r.top() + 1);
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.55);
    flap.lineTo(r.right() - 1, r.top() + 1);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
}

void sheet(QPainter& p, const QRectF& r) {
    QPainterPath page;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - 6, r.top());
    page.lineTo(r.right(), r.top() + 6);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    outlined(p, page, Paper, 2.0);
}

void paint(QPainter& p, Picture picture) {
    switch (picture) {
    case Picture::Print:
        sheet(p, QRectF(9, 3, 14, 11));
        box(p, QRectF(3, 12, 26, 12), Grey);
        box(p, QRectF(8, 20, 16, 9), Paper, 1);
        lines(p, 11, 21, {23.5, 26.5});
        p.setPen(Qt::NoPen);
        p.setBrush(Green);
        p.drawEllipse(QPointF(24.5, 16), 1.6, 1.6);
        break;
    case Picture::PhoneList:
        box(p, QRectF(4, 3, 17, 26), Paper, 1.5);
        lines(p, 8, 17, {9, 13.5, 18});
        box(p, QRectF(17, 13, 11, 16), Blue, 3);
        p.setPen(QPen(Paper, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(20.5, 16.5), QPointF(24.5, 16.5));
        p.setPen(Qt::NoPen);
        p.setBrush(Paper);
        p.drawEllipse(QPointF(22.5, 25), 1.5, 1.5);
        break;
    case Picture::ExportCSV: {
        sheet(p, QRectF(4, 3, 20, 26));
        p.setPen(QPen(Green, 2.0));
        for (qreal y : {10.0, 15.0, 20.0, 25.0})
            p.drawLine(QPointF(8, y), QPointF(20, y));
        p.setPen(QPen(Ink, 1.4));
        p.drawLine(QPointF(14, 8), QPointF(14, 26));
        QPainterPath arrow;
        arrow.addPolygon(
            QPolygonF({QPointF(18, 17), QPointF(25, 17), QPointF(25, 12), QPointF(31, 20),
                       QPointF(25, 28), QPointF(25, 23), QPointF(18, 23)}));
        arrow.closeSubpath();
        outlined(p, arrow, Gold, 1.6);
        break;
    }
    case Picture::EmailList:
        sheet(p, QRectF(4, 2, 18, 24));
        lines(p, 8, 17, {8, 12, 16});
        envelope(p, QRectF(13, 17, 17, 12));
        break;
    case Picture::SendEmail: {
        envelope(p, QRectF(3, 8, 22, 16));
        QPainterPath arrow;
        arrow.moveTo(20, 24);
        arrow.lineTo(31, 24);
        arrow.lineTo(26, 19);
        arrow.moveTo(31, 24);
        arrow.lineTo(26, 29);
        p.setPen(QPen(Blue, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(arrow);
        break;
    }
    case Picture::EmailAll:
        envelope(p, QRectF(9, 3, 20, 14));
        envelope(p, QRectF(6, 9, 20, 14));
        envelope(p, QRectF(3, 15, 20, 14));
        break;
    case Picture::Copy:
        box(p, QRectF(4, 3, 16, 20), LightBlue, 1.5);
        box(p, QRectF(12, 9, 16, 20), Paper, 1.5);
        lines(p, 16, 24, {15, 19, 23});
        break;
    case Picture::CopyAddress:
        box(p, QRectF(4, 3, 16, 20), LightBlue, 1.5);
        box(p, QRectF(12, 9, 16, 20), Paper, 1.5);
        p.setPen(QPen(Ink, 1.6));
        p.setBrush(Gold);
        p.drawEllipse(QPointF(20, 15), 2.5, 2.5);
        lines(p, 15, 25, {21, 25});
        break;
    }
}

QPixmap render(Picture picture, int size) {
    return QPixmap::fromImage(
        paintOnGrid(QSize(size, size), [picture](QPainter& p) { paint(p, picture); }));
}

} // namespace

QIcon icon(Picture picture) {
    QIcon result;
    for (int size : {16, 24, 32})
        result.addPixmap(render(picture, size));
    return result;
}

} // namespace MemberListIcons
