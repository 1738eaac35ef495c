#include "widgets/windowmover.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {
// The system's loop reports no release: the drag counts as over once the window has not
// moved for this long (or has not moved at all since the press).
constexpr int kRestMs = 400;
constexpr int kFirstMoveMs = 1500;
} // namespace

WindowMover::WindowMover(QWidget* window)
    : QObject(window)
    , m_window(window) {
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &WindowMover::finishDrag);
    m_window->installEventFilter(this);
}

void WindowMover::watch(QWidget* widget, std::function<bool(const QPoint&)> grabArea) {
    m_watched.emplace_back(widget, std::move(grabArea));
    if (widget != m_window)
        widget->installEventFilter(this);
}

bool WindowMover::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Move) {
        if (m_dragging && m_systemMove)
            m_settle.start(kRestMs);
        // The window manager moved the window on its own (by keyboard, or the last step of a
        // system move reported after the drag counted as over): that place is where it was left.
        else if (!m_dragging && event->spontaneous() && m_window->isVisible())
            Q_EMIT moveFinished();
    }

    QWidget* widget = nullptr;
    std::function<bool(const QPoint&)> grabArea;
    for (const auto& [w, area] : m_watched) {
        if (w == watched) {
            widget = w;
            grabArea = area;
        }
    }
    if (!widget)
        return false;

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || m_dragging)
            return false;
        if (grabArea && !grabArea(mouse->position().toPoint()))
            return false;
        m_pressed = true;
        m_pressPos = mouse->globalPosition().toPoint();
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton)) {
            m_pressed = false;
            return false;
        }
        const QPoint global = mouse->globalPosition().toPoint();
        if (m_pressed && !m_dragging &&
            (global - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            m_pressed = false;
            startDrag(m_pressPos);
        }
        if (!m_dragging || m_systemMove)
            return false;
        m_window->move(global - m_grabOffset);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        m_pressed = false;
        if (!m_dragging)
            return false;
        finishDrag();
        return true;
    default:
        return false;
    }
}

void WindowMover::startDrag(const QPoint& globalPos) {
    m_dragging = true;
    QWindow* handle = m_window->windowHandle();
    m_systemMove = handle && handle->startSystemMove();
    if (m_systemMove)
        m_settle.start(kFirstMoveMs);
    else
        m_grabOffset = globalPos - m_window->pos();
}

void WindowMover::finishDrag() {
    if (!m_dragging)
        return;
    m_settle.stop();
    m_dragging = false;
    m_systemMove = false;
    Q_EMIT moveFinished();
}
