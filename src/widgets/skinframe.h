#pragma once

#include <QColor>
#include <QMargins>
#include <QPixmap>
#include <QString>

#include <array>

class QPainter;
class QPoint;
class QRect;
class QSize;

// A window frame made of nine skin pictures: four corners that keep their size, four
// edges that stretch along their side, and the centre that stretches both ways. The
// pictures are "<name>_tl.jpg", "_t", "_tr", "_l", "_c", "_r", "_bl", "_b" and "_br" in
// the skins folder; the corner pictures give the frame its thickness. Without pictures
// the frame is drawn in the fallback colours.
class SkinFrame {
public:
    enum class Area { Corner, Edge, Centre };

    SkinFrame(const QString& skinsDir, const QString& name, const QMargins& fallbackBorders);

    bool hasPictures() const { return m_loaded; }
    QMargins borders() const { return m_borders; }
    void setFallbackColours(const QColor& centre, const QColor& edge);

    void paint(QPainter& painter, const QRect& rect) const;
    Area areaAt(const QPoint& pos, const QSize& size) const;

private:
    enum Piece { TopLeft, Top, TopRight, Left, Centre, Right, BottomLeft, Bottom, BottomRight, PieceCount };

    std::array<QPixmap, PieceCount> m_pieces;
    QMargins m_borders;
    bool m_loaded = false;
    QColor m_centre{0xf4, 0xf6, 0xf9};
    QColor m_edge{0x3b, 0x5b, 0x85};
};
