#include "widgets/roundedshape.h"

#include <QRegion>
#include <QSize>
#include <QWidget>

QRegion RoundedShape::region(const QSize& size) {
    const int w = size.width();
    const int h = size.height();
    const int e = kCornerEllipse;
    if (w < e || h < e)
        return QRegion(0, 0, w, h);
    // The straight middle parts, then one ellipse per corner.
    QRegion shape(e / 2, 0, w - 2 * (e / 2), h);
    shape += QRegion(0, e / 2, w, h - 2 * (e / 2));
    shape += QRegion(0, 0, e, e, QRegion::Ellipse);
    shape += QRegion(w - e, 0, e, e, QRegion::Ellipse);
    shape += QRegion(0, h - e, e, e, QRegion::Ellipse);
    shape += QRegion(w - e, h - e, e, e, QRegion::Ellipse);
    return shape;
}

void RoundedShape::apply(QWidget* window) {
    window->setMask(region(window->size()));
    window->update();
}
