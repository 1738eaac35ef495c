#include "widgets/windowresizer.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

WindowResizer::WindowResizer(QWidget* window, int border)
    : QObject(window)
    , m_window(window)
    , m_border(border) {
    // The cursor tells where a press would resize.
    m_window->setMouseTracking(true);
    m_window->installEventFilter(this);
}

void WindowResizer::addGrip(QWidget* grip, Qt::Edges edges) {
    m_grip = grip;
    m_gripEdges = edges;
    grip->installEventFilter(this);
}

Qt::Edges WindowResizer::edgesAt(const QPoint& pos) const {
    Qt::Edges edges;
    if (pos.x() < m_border)
        edges |= Qt::LeftEdge;
    if (pos.x() >= m_window->width() - m_border)
        edges |= Qt::RightEdge;
    if (pos.y() < m_border)
        edges |= Qt::TopEdge;
    if (pos.y() >= m_window->height() - m_border)
        edges |= Qt::BottomEdge;
    return edges;
}

bool WindowResizer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window && watched != m_grip)
        return false;
    const bool onGrip = watched == m_grip;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const Qt::Edges edges = onGrip ? m_gripEdges : edgesAt(mouse->position().toPoint());
        if (!edges)
            return false;
        return start(edges, mouse->globalPosition().toPoint());
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (isResizing() && (mouse->buttons() & Qt::LeftButton)) {
            follow(mouse->globalPosition().toPoint());
            return true;
        }
        if (!onGrip && !(mouse->buttons() & Qt::LeftButton))
            showCursorFor(edgesAt(mouse->position().toPoint()));
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (!isResizing() || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        m_edges = {};
        Q_EMIT resizeFinished();
        return true;
    case QEvent::Leave:
        if (!onGrip && !isResizing())
            showCursorFor({});
        return false;
    default:
        return false;
    }
}

bool WindowResizer::start(Qt::Edges edges, const QPoint& globalPos) {
    QWindow* handle = m_window->windowHandle();
    if (handle && handle->startSystemResize(edges))
        return true;
    m_edges = edges;
    m_pressPos = globalPos;
    m_startGeometry = m_window->geometry();
    return true;
}

void WindowResizer::follow(const QPoint& globalPos) {
    const QPoint delta = globalPos - m_pressPos;
    const QSize minimum = m_window->minimumSize();
    const QSize maximum = m_window->maximumSize();
    QRect wanted = m_startGeometry;
    if (m_edges & Qt::LeftEdge)
        wanted.setLeft(qMin(wanted.left() + delta.x(), wanted.right() + 1 - minimum.width()));
    if (m_edges & Qt::RightEdge)
        wanted.setRight(wanted.right() + delta.x());
    if (m_edges & Qt::TopEdge)
        wanted.setTop(qMin(wanted.top() + delta.y(), wanted.bottom() + 1 - minimum.height()));
    if (m_edges & Qt::BottomEdge)
        wanted.setBottom(wanted.bottom() + delta.y());
    wanted.setSize(wanted.size().expandedTo(minimum).boundedTo(maximum));
    m_window->setGeometry(wanted);
}

void WindowResizer::showCursorFor(Qt::Edges edges) {
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling =
            edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
        m_window->setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
        m_window->setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
        m_window->setCursor(Qt::SizeVerCursor);
    } else {
        m_window->unsetCursor();
    }
}
