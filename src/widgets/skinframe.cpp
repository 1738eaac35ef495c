#include "widgets/skinframe.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QRect>

namespace {

const char* const kPieceSuffixes[] = {"tl", "t", "tr", "l", "c", "r", "bl", "b", "br"};

QPixmap readPicture(const QString& path) {
    QImageReader reader(path, "jpg");
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

} // namespace

SkinFrame::SkinFrame(const QString& skinsDir, const QString& name, const QMargins& fallbackBorders)
    : m_borders(fallbackBorders) {
    const QDir dir(skinsDir);
    bool all = true;
    for (int i = 0; i < PieceCount; ++i) {
        m_pieces[i] = readPicture(dir.filePath(name + QLatin1Char('_') + QLatin1String(kPieceSuffixes[i]) +
                                               QStringLiteral(".jpg")));
        all = all && !m_pieces[i].isNull();
    }
    m_loaded = all;
    if (m_loaded)
        m_borders = QMargins(m_pieces[TopLeft].width(), m_pieces[TopLeft].height(),
                             m_pieces[BottomRight].width(), m_pieces[BottomRight].height());
}

void SkinFrame::setFallbackColours(const QColor& centre, const QColor& edge) {
    m_centre = centre;
    m_edge = edge;
}

void SkinFrame::paint(QPainter& painter, const QRect& rect) const {
    const QMargins& b = m_borders;
    const int innerWidth = qMax(0, rect.width() - b.left() - b.right());
    const int innerHeight = qMax(0, rect.height() - b.top() - b.bottom());
    const int x0 = rect.left();
    const int x1 = x0 + b.left();
    const int x2 = x1 + innerWidth;
    const int y0 = rect.top();
    const int y1 = y0 + b.top();
    const int y2 = y1 + innerHeight;
    if (!m_loaded) {
        painter.fillRect(rect, m_centre);
        painter.fillRect(QRect(x0, y0, rect.width(), b.top()), m_edge);
        painter.fillRect(QRect(x0, y1, b.left(), innerHeight), m_edge);
        painter.fillRect(QRect(x2, y1, b.right(), innerHeight), m_edge);
        painter.fillRect(QRect(x0, y2, rect.width(), b.bottom()), m_edge);
        return;
    }
    const QRect targets[PieceCount] = {
        {x0, y0, b.left(), b.top()},     {x1, y0, innerWidth, b.top()},     {x2, y0, b.right(), b.top()},
        {x0, y1, b.left(), innerHeight}, {x1, y1, innerWidth, innerHeight}, {x2, y1, b.right(), innerHeight},
        {x0, y2, b.left(), b.bottom()},  {x1, y2, innerWidth, b.bottom()},  {x2, y2, b.right(), b.bottom()},
    };
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < PieceCount; ++i)
        if (!targets[i].isEmpty())
            painter.drawPixmap(targets[i], m_pieces[i]);
}

SkinFrame::Area SkinFrame::areaAt(const QPoint& pos, const QSize& size) const {
    const bool left = pos.x() < m_borders.left();
    const bool right = pos.x() >= size.width() - m_borders.right();
    const bool top = pos.y() < m_borders.top();
    const bool bottom = pos.y() >= size.height() - m_borders.bottom();
    if ((left || right) && (top || bottom))
        return Area::Corner;
    if (left || right || top || bottom)
        return Area::Edge;
    return Area::Centre;
}
