#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

class QWidget;

// Drags a borderless window by the widgets it watches. Moving the mouse with the left
// button held (beyond the drag distance, so double-clicks stay clicks) hands the window to
// the system's move loop; where the platform has none, the window follows the
// mouse until the button is released. moveFinished comes once per drag, when the button
// is released or, under the system's loop, once the window has come to rest, and again for
// every move the window manager makes outside a drag.
// Owned by the window it moves.
class WindowMover : public QObject {
    Q_OBJECT
public:
    explicit WindowMover(QWidget* window);

    // Presses on this widget (or on children that leave the press to it) start a drag;
    // grabArea, when given, says which points of the widget may start one.
    void watch(QWidget* widget, std::function<bool(const QPoint&)> grabArea = {});
    bool isDragging() const { return m_dragging; }

Q_SIGNALS:
    void moveFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startDrag(const QPoint& globalPos);
    void finishDrag();

    QWidget* m_window;
    std::vector<std::pair<QWidget*, std::function<bool(const QPoint&)>>> m_watched;
    QTimer m_settle;
    QPoint m_grabOffset;
    QPoint m_pressPos;
    bool m_pressed = false;
    bool m_dragging = false;
    bool m_systemMove = false;
};
