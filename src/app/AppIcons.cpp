#include "app/AppIcons.h"

#include "platform/ui/IconPainter.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>
#include <utility>

namespace AppIcons {

namespace {

// Every pictogram is drawn on the shared 32 by 32 grid, in the shared palette
// and a few colours of its own.
using namespace qv::IconPainter;

const QColor LightGold(0xfd, 0xe8, 0xae);
const QColor DarkGold(0xc9, 0x8a, 0x0b);
const QColor Red(0xd6, 0x42, 0x38);
const QColor Navy(0x1f, 0x3a, 0x86);
const QColor Wood(0xa8, 0x6d, 0x3c);

constexpr qreal Line = 1.8;

void shape(QPainter& p, const QPainterPath& path, const QColor& fill) {
    outlined(p, path, fill, Line);
}

void rounded(QPainter& p, const QRectF& r, qreal radius, const QColor& fill) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    shape(p, path, fill);
}

void circle(QPainter& p, const QPointF& c, qreal r, const QColor& fill) {
    QPainterPath path;
    path.addEllipse(c, r, r);
    shape(p, path, fill);
}

// A stroke drawn as an outlined bar: ink underneath, colour on top.
void bar(QPainter& p, const QPointF& a, const QPointF& b, qreal width, const QColor& fill) {
    p.setPen(QPen(Ink, width + 2 * Line * 0.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
    p.setPen(QPen(fill, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
}

void textLine(QPainter& p, qreal x1, qreal x2, qreal y, const QColor& colour = Grey) {
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x1, y), QPointF(x2, y));
}

// Head and shoulders; `head` is the centre of the head, `s` the scale (1 fills
// the whole grid).
void person(QPainter& p, const QPointF& head, qreal s, const QColor& fill) {
    QPainterPath body;
    const qreal x = head.x(), y = head.y();
    body.moveTo(x - 10 * s, y + 19 * s);
    body.lineTo(x - 10 * s, y + 15 * s);
    body.quadTo(x - 10 * s, y + 8 * s, x, y + 8 * s);
    body.quadTo(x + 10 * s, y + 8 * s, x + 10 * s, y + 15 * s);
    body.lineTo(x + 10 * s, y + 19 * s);
    body.closeSubpath();
    shape(p, body, fill);
    circle(p, head, 5.6 * s, fill);
}

// The small round sign in the bottom-right corner, with a light rim that
// keeps it apart from the picture beneath.
void badge(QPainter& p, const QColor& fill) {
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawEllipse(QPointF(24, 24), 8.8, 8.8);
    circle(p, QPointF(24, 24), 7.2, fill);
}

void plusBadge(QPainter& p) {
    badge(p, Green);
    p.setPen(QPen(Paper, 2.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20.2, 24), QPointF(27.8, 24));
    p.drawLine(QPointF(24, 20.2), QPointF(24, 27.8));
}

void exclamationBadge(QPainter& p) {
    badge(p, Red);
    p.setPen(QPen(Paper, 2.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 19.8), QPointF(24, 24.8));
    p.drawPoint(QPointF(24, 28.3));
}

void clockBadge(QPainter& p) {
    badge(p, Paper);
    p.setPen(inkPen(1.7));
    p.drawLine(QPointF(24, 24), QPointF(24, 19.6));
    p.drawLine(QPointF(24, 24), QPointF(27.4, 24));
}

void arrowDownBadge(QPainter& p) {
    badge(p, Green);
    p.setPen(QPen(Paper, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(24, 19.6), QPointF(24, 28));
    p.drawPolyline(QPolygonF({QPointF(20.4, 24.6), QPointF(24, 28.2), QPointF(27.6, 24.6)}));
}

void pencil(QPainter& p) {
    p.save();
    p.translate(24.5, 20.5);
    p.rotate(45);
    // A light rim first, so the pencil reads over any picture.
    p.setPen(QPen(Paper, 2.5 * Line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Paper);
    p.drawPolygon(QPolygonF({QPointF(-3.2, -12), QPointF(3.2, -12), QPointF(3.2, 5), QPointF(0, 11),
                             QPointF(-3.2, 5)}));
    rounded(p, QRectF(-3.2, -12, 6.4, 3.6), 1, Red);
    rounded(p, QRectF(-3.2, -8.4, 6.4, 13.4), 0.5, Gold);
    QPainterPath tip;
    tip.moveTo(-3.2, 5);
    tip.lineTo(3.2, 5);
    tip.lineTo(0, 11);
    tip.closeSubpath();
    shape(p, tip, LightGold);
    p.restore();
}

void wrench(QPainter& p) {
    p.save();
    p.translate(23, 22);
    p.rotate(45);
    QPainterPath head;
    head.addEllipse(QPointF(0, -5), 5.6, 5.6);
    QPainterPath handle;
    handle.addRoundedRect(QRectF(-2.3, -2, 4.6, 13), 2, 2);
    QPainterPath jaw;
    jaw.addRect(QRectF(-2, -12, 4, 6.5));
    const QPainterPath tool = head.united(handle).subtracted(jaw);
    p.setPen(QPen(Paper, 2.5 * Line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Paper);
    p.drawPath(tool);
    shape(p, tool, Grey);
    p.restore();
}

// A database drum: the body, then the lit top.
void drum(QPainter& p, const QRectF& r, const QColor& fill) {
    const qreal e = r.height() * 0.28;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + e / 2);
    body.lineTo(r.left(), r.bottom() - e / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - e, r.width(), e), 180, 180);
    body.lineTo(r.right(), r.top() + e / 2);
    body.closeSubpath();
    shape(p, body, fill);
    p.setPen(inkPen(1.2));
    p.setBrush(Qt::NoBrush);
    const qreal middle = r.top() + (r.height() - e) / 2;
    p.drawArc(QRectF(r.left(), middle, r.width(), e), 180 * 16, 180 * 16);
    QPainterPath top;
    top.addEllipse(QRectF(r.left(), r.top(), r.width(), e));
    shape(p, top, LightBlue);
}

void profileCard(QPainter& p) {
    rounded(p, QRectF(2, 6, 28, 21), 3, LightGold);
    person(p, QPointF(10, 12.5), 0.42, Blue);
    textLine(p, 17.5, 26, 12.5);
    textLine(p, 17.5, 26, 17);
    textLine(p, 17.5, 23, 21.5);
}

void key(QPainter& p) {
    bar(p, QPointF(13.5, 13.5), QPointF(26.5, 26.5), 3.6, Gold);
    bar(p, QPointF(22.5, 22.5), QPointF(19, 26), 3.2, Gold);
    bar(p, QPointF(26.5, 26.5), QPointF(23.5, 29.5), 3.2, Gold);
    circle(p, QPointF(10.5, 10.5), 7.2, Gold);
    circle(p, QPointF(8.8, 8.8), 2.2, Paper);
}

void levels(QPainter& p) {
    rounded(p, QRectF(3, 3.5, 26, 7), 2, Gold);
    rounded(p, QRectF(3, 12.5, 20, 7), 2, Blue);
    rounded(p, QRectF(3, 21.5, 14, 7), 2, Green);
}

void gear(QPainter& p) {
    QPolygonF outline;
    for (int tooth = 0; tooth < 8; ++tooth) {
        const qreal base = tooth * 45.0;
        for (const auto& [angle, radius] :
             {std::pair{-13.0, 10.2}, {-7.0, 14.0}, {7.0, 14.0}, {13.0, 10.2}}) {
            const qreal a = qDegreesToRadians(base + angle);
            outline << QPointF(16 + radius * qCos(a), 16 + radius * qSin(a));
        }
    }
    QPainterPath wheel;
    wheel.addPolygon(outline);
    wheel.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(16, 16), 4.4, 4.4);
    shape(p, wheel.subtracted(hole), Grey);
}

void letterCircle(QPainter& p, const QString& letter) {
    circle(p, QPointF(16, 16), 13.5, Blue);
    QFont font;
    font.setBold(true);
    font.setPixelSize(20);
    QPainterPath text;
    text.addText(0, 0, font, letter);
    const QRectF box = text.boundingRect();
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawPath(text.translated(16 - box.center().x(), 16 - box.center().y()));
}

void draw(QPainter& p, Picture picture) {
    switch (picture) {
    case Picture::Application:
        rounded(p, QRectF(1.5, 4, 29, 24), 3.5, Navy);
        p.setPen(Qt::NoPen);
        p.setBrush(Gold);
        p.drawRect(QRectF(2.4, 8, 27.2, 3));
        person(p, QPointF(10, 15.8), 0.52, LightGold);
        textLine(p, 17.5, 26.5, 17, Paper);
        textLine(p, 17.5, 24, 22, Paper);
        break;
    case Picture::Find:
        bar(p, QPointF(19.5, 19.5), QPointF(27.5, 27.5), 4.2, Wood);
        circle(p, QPointF(13, 13), 9.5, LightBlue);
        p.setPen(QPen(Paper, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(7, 7, 12, 12), 100 * 16, 70 * 16);
        break;
    case Picture::MemberList:
        rounded(p, QRectF(5.5, 3.5, 21, 26), 2, Paper);
        rounded(p, QRectF(11.5, 1.5, 9, 4), 1.5, Gold);
        for (const qreal y : {11.0, 17.0, 23.0}) {
            p.setPen(Qt::NoPen);
            p.setBrush(Blue);
            p.drawEllipse(QPointF(11, y), 2.2, 2.2);
            textLine(p, 15.5, 22.5, y);
        }
        break;
    case Picture::Profiles:
        profileCard(p);
        break;
    case Picture::LongService: {
        QPainterPath left;
        left.addPolygon(
            QPolygonF({QPointF(7, 1.5), QPointF(13, 1.5), QPointF(17, 15), QPointF(11, 15)}));
        left.closeSubpath();
        shape(p, left, Red);
        QPainterPath right;
        right.addPolygon(
            QPolygonF({QPointF(19, 1.5), QPointF(25, 1.5), QPointF(21, 15), QPointF(15, 15)}));
        right.closeSubpath();
        shape(p, right, Blue);
        circle(p, QPointF(16, 21), 9, Gold);
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
            const qreal r = i % 2 == 0 ? 5.6 : 2.4;
            star << QPointF(16 + r * qCos(a), 21.3 + r * qSin(a));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(LightGold);
        p.drawPolygon(star);
        break;
    }
    case Picture::AddMember:
        person(p, QPointF(13, 8.5), 0.9, Blue);
        plusBadge(p);
        break;
    case Picture::Exit:
        rounded(p, QRectF(4, 2.5, 16, 27), 1.5, Wood);
        p.setPen(Qt::NoPen);
        p.setBrush(Gold);
        p.drawEllipse(QPointF(16.5, 16.5), 1.6, 1.6);
        bar(p, QPointF(13, 16), QPointF(27, 16), 3.4, Green);
        p.setPen(QPen(Ink, 3.4 + 2 * Line * 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(22.5, 11), QPointF(27.8, 16), QPointF(22.5, 21)}));
        p.setPen(QPen(Green, 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(22.5, 11), QPointF(27.8, 16), QPointF(22.5, 21)}));
        p.drawLine(QPointF(13, 16), QPointF(26, 16));
        break;
    case Picture::Assets:
        key(p);
        break;
    case Picture::AssetRef: {
        QPainterPath tag;
        tag.addPolygon(QPolygonF({QPointF(2.5, 16), QPointF(11, 6), QPointF(29.5, 6),
                                  QPointF(29.5, 26), QPointF(11, 26)}));
        tag.closeSubpath();
        shape(p, tag, LightGold);
        circle(p, QPointF(10, 16), 2.2, Paper);
        textLine(p, 16, 26, 12.5);
        textLine(p, 16, 26, 16.5);
        textLine(p, 16, 22, 20.5);
        break;
    }
    case Picture::MembershipNo:
        rounded(p, QRectF(2, 6, 28, 21), 3, Paper);
        p.setPen(QPen(Blue, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8.5, 10.5), QPointF(7, 22.5));
        p.drawLine(QPointF(13.5, 10.5), QPointF(12, 22.5));
        p.drawLine(QPointF(5.5, 14), QPointF(15.5, 14));
        p.drawLine(QPointF(5, 19), QPointF(15, 19));
        textLine(p, 19, 26.5, 14);
        textLine(p, 19, 24.5, 19);
        break;
    case Picture::UnpaidFees:
        for (const qreal y : {21.0, 15.5, 10.0}) {
            QPainterPath coin;
            coin.addEllipse(QRectF(3, y, 20, 8));
            QPainterPath side;
            side.addRect(QRectF(3, y + 4, 20, 3));
            QPainterPath bottom;
            bottom.addEllipse(QRectF(3, y + 3, 20, 8));
            shape(p, side.united(bottom), DarkGold);
            shape(p, coin, Gold);
        }
        exclamationBadge(p);
        break;
    case Picture::PastMembers:
        person(p, QPointF(13, 8.5), 0.9, Grey);
        clockBadge(p);
        break;
    case Picture::MembershipType:
        levels(p);
        break;
    case Picture::EditProfiles:
        profileCard(p);
        pencil(p);
        break;
    case Picture::EditAssets:
        key(p);
        pencil(p);
        break;
    case Picture::EditMembershipTypes:
        levels(p);
        pencil(p);
        break;
    case Picture::Backup:
        drum(p, QRectF(3, 2.5, 20, 25), Blue);
        arrowDownBadge(p);
        break;
    case Picture::Settings:
        gear(p);
        break;
    case Picture::CompactRepair:
        drum(p, QRectF(3, 2.5, 20, 25), Blue);
        wrench(p);
        break;
    case Picture::Help:
        letterCircle(p, QStringLiteral("?"));
        break;
    case Picture::About:
        circle(p, QPointF(16, 16), 13.5, Blue);
        p.setPen(Qt::NoPen);
        p.setBrush(Paper);
        p.drawEllipse(QPointF(16, 9.5), 2.4, 2.4);
        p.drawRoundedRect(QRectF(13.8, 13.5, 4.4, 11.5), 1.5, 1.5);
        break;
    }
}

// Greyed and faded, the way disabled pictures look beside disabled text.
void greyOut(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int alpha = qAlpha(pixel) * 45 / 100;
            // Premultiplied: the grey level has to stay within the alpha.
            const int grey = qGray(pixel) * 45 / 100;
            line[x] = qRgba(qMin(grey + alpha / 3, alpha), qMin(grey + alpha / 3, alpha),
                            qMin(grey + alpha / 3, alpha), alpha);
        }
    }
}

class PaintedIconEngine : public QIconEngine {
public:
    explicit PaintedIconEngine(Picture picture)
        : m_picture(picture) {}

    QIconEngine* clone() const override { return new PaintedIconEngine(m_picture); }
    QString key() const override { return QStringLiteral("QuorvanePainted"); }
    bool isNull() override { return false; }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const QSize pixels = (QSizeF(size) * scale).toSize();
        if (pixels.isEmpty())
            return QPixmap();
        QImage image = paintOnGrid(pixels, [this](QPainter& painter) { draw(painter, m_picture); });
        if (mode == QIcon::Disabled)
            greyOut(image);
        QPixmap result = QPixmap::fromImage(image);
        result.setDevicePixelRatio(scale);
        return result;
    }

private:
    Picture m_picture;
};

} // namespace

QIcon icon(Picture picture) {
    return QIcon(new PaintedIconEngine(picture));
}

} // namespace AppIcons
