#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QWidget;

// Resizes a borderless window from its own edges and from grips: a press within the border
// band of an edge or corner, or on a grip, hands the window to the system's resize loop; where
// the platform has none, the window follows the mouse until the button is released, never
// below its minimum size. Owned by the window it resizes.
class WindowResizer : public QObject {
    Q_OBJECT
public:
    WindowResizer(QWidget* window, int border);

    // Presses on the grip resize the window by these edges.
    void addGrip(QWidget* grip, Qt::Edges edges);
    // The edges a press at this point of the window would resize.
    Qt::Edges edgesAt(const QPoint& pos) const;
    bool isResizing() const { return m_edges != Qt::Edges(); }

Q_SIGNALS:
    // A resize by the mouse ended (the system's loop reports no end: a resize under it does not).
    void resizeFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool start(Qt::Edges edges, const QPoint& globalPos);
    void follow(const QPoint& globalPos);
    void showCursorFor(Qt::Edges edges);

    QWidget* m_window;
    int m_border;
    QWidget* m_grip = nullptr;
    Qt::Edges m_gripEdges;
    Qt::Edges m_edges;
    QPoint m_pressPos;
    QRect m_startGeometry;
};
