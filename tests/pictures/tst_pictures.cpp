// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictures/Pictures.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QtTest>

// The pictures are assets: what can go wrong is a file missing from the
// resource, a file Qt's SVG reader cannot draw, or the SVG icon engine plugin
// not being installed, and each shows as an empty picture.
class tst_Pictures : public QObject {
    Q_OBJECT

    static int paintedPixels(const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qAlpha(image.pixel(x, y)) > 0;
        return count;
    }

private slots:
    void everyPictureDrawsAtEverySize() {
        const QStringList names = qv::Pictures::names();
        QVERIFY(names.contains(QStringLiteral("application")));
        QVERIFY(names.contains(QStringLiteral("copy-address")));
        for (const QString& name : names) {
            const QIcon icon = qv::Pictures::icon(name);
            QVERIFY2(!icon.isNull(), qPrintable(name));
            // Read once: every window shares the icon and the pixmaps drawn from it.
            QCOMPARE(qv::Pictures::icon(name).cacheKey(), icon.cacheKey());
            for (int size : {16, 32, 100}) {
                const QImage normal = icon.pixmap(size, size).toImage();
                QCOMPARE(normal.size(), QSize(size, size));
                // A real drawing covers a fair part of its square, not a dot.
                QVERIFY2(paintedPixels(normal) > size * size / 10, qPrintable(name));
            }
            // Greyed when disabled, as a disabled button's picture must be.
            QVERIFY2(icon.pixmap(32, 32, QIcon::Disabled).toImage() !=
                         icon.pixmap(32, 32).toImage(),
                     qPrintable(name));
        }
    }

    void anUnknownNameIsANullIcon() {
        QTest::ignoreMessage(QtWarningMsg, "No picture named \"no-such\" in the resource");
        QVERIFY(qv::Pictures::icon(u"no-such").isNull());
    }
};

QTEST_MAIN(tst_Pictures)
#include "tst_pictures.moc"
