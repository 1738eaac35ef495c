#include "widgets/glyphicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void draw(QPainter& p, GlyphIcon::Glyph glyph, qreal s) {
    using Glyph = GlyphIcon::Glyph;
    const qreal m = s * 0.22;
    switch (glyph) {
    case Glyph::Menu:
        for (qreal y : {0.3, 0.5, 0.7})
            p.drawLine(QPointF(m, s * y), QPointF(s - m, s * y));
        break;
    case Glyph::Help: {
        QPainterPath path;
        path.moveTo(s * 0.34, s * 0.36);
        path.cubicTo(s * 0.34, s * 0.12, s * 0.68, s * 0.12, s * 0.68, s * 0.34);
        path.cubicTo(s * 0.68, s * 0.5, s * 0.5, s * 0.5, s * 0.5, s * 0.64);
        p.drawPath(path);
        p.drawPoint(QPointF(s * 0.5, s * 0.82));
        break;
    }
    case Glyph::Minimize:
        p.drawLine(QPointF(m, s * 0.72), QPointF(s - m, s * 0.72));
        break;
    case Glyph::Close:
        p.drawLine(QPointF(m, m), QPointF(s - m, s - m));
        p.drawLine(QPointF(s - m, m), QPointF(m, s - m));
        break;
    case Glyph::Resize:
        for (qreal k : {0.35, 0.6, 0.85})
            p.drawLine(QPointF(s * k, s * 0.9), QPointF(s * 0.9, s * k));
        break;
    case Glyph::Backup: {
        p.drawLine(QPointF(s * 0.5, m), QPointF(s * 0.5, s * 0.66));
        p.drawLine(QPointF(s * 0.3, s * 0.46), QPointF(s * 0.5, s * 0.66));
        p.drawLine(QPointF(s * 0.7, s * 0.46), QPointF(s * 0.5, s * 0.66));
        p.drawLine(QPointF(m, s - m), QPointF(s - m, s - m));
        break;
    }
    case Glyph::Cancel: {
        // A ring crossed by a bar: stop what is going on.
        const QRectF ring(m * 0.8, m * 0.8, s - 1.6 * m, s - 1.6 * m);
        p.drawEllipse(ring);
        const qreal inset = ring.width() * 0.146;
        p.drawLine(ring.topLeft() + QPointF(inset, inset), ring.bottomRight() - QPointF(inset, inset));
        break;
    }
    case Glyph::Recalculate: {
        const QRectF circle(m, m, s - 2 * m, s - 2 * m);
        p.drawArc(circle, 60 * 16, 280 * 16);
        const QPointF tip(s * 0.5 + circle.width() / 2 * 0.5, m + circle.height() * 0.067);
        p.drawLine(tip, tip + QPointF(-s * 0.02, -s * 0.2));
        p.drawLine(tip, tip + QPointF(-s * 0.2, s * 0.04));
        break;
    }
    }
}

} // namespace

QIcon GlyphIcon::make(Glyph glyph, const QColor& colour, int size) {
    QIcon icon;
    for (const qreal scale : {1.0, 2.0}) {
        QPixmap pixmap(QSize(size, size) * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(colour, 1.6 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        draw(painter, glyph, size * scale);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}
