#include "widgets/screenfit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace {

// Wide enough for any two points a settings file can name.
qint64 distanceSquared(const QRect& area, const QPoint& point) {
    const qint64 dx =
        qMax<qint64>(0, qMax<qint64>(qint64(area.left()) - point.x(), qint64(point.x()) - area.right()));
    const qint64 dy =
        qMax<qint64>(0, qMax<qint64>(qint64(area.top()) - point.y(), qint64(point.y()) - area.bottom()));
    return dx * dx + dy * dy;
}

} // namespace

ScreenFit::ScreenFit(QWidget* window)
    : QObject(window) {
    window->installEventFilter(this);
}

void ScreenFit::keepOnScreen(QWidget* window) {
    new ScreenFit(window);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
    auto* window = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::Show:
        fit(window);
        m_awaitingFrame = true;
        break;
    case QEvent::Move:
    case QEvent::Resize:
        // The window manager frames a window some time after it shows; framed, it may no longer
        // fit. Later moves are the user's.
        if (m_awaitingFrame && window->isVisible() && window->frameGeometry() != window->geometry()) {
            m_awaitingFrame = false;
            QMetaObject::invokeMethod(
                this, [window] { fit(window); }, Qt::QueuedConnection);
        }
        break;
    case QEvent::Hide:
        m_awaitingFrame = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QRect ScreenFit::fromStored(int x, int y, int width, int height) {
    constexpr int far = 1 << 20;
    return QRect(std::clamp(x, -far, far), std::clamp(y, -far, far), std::clamp(width, 0, far),
                 std::clamp(height, 0, far));
}

QRect ScreenFit::availableFor(const QRect& rect) {
    const QPoint centre = rect.center();
    if (QScreen* screen = QGuiApplication::screenAt(centre))
        return screen->availableGeometry();
    QRect best = QGuiApplication::primaryScreen()->availableGeometry();
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (QScreen* screen : QGuiApplication::screens()) {
        const qint64 distance = distanceSquared(screen->geometry(), centre);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = screen->availableGeometry();
        }
    }
    return best;
}

QRect ScreenFit::within(const QRect& rect, const QRect& area) {
    QRect fitted(rect.topLeft(), rect.size().boundedTo(area.size()));
    if (fitted.right() > area.right())
        fitted.moveRight(area.right());
    if (fitted.bottom() > area.bottom())
        fitted.moveBottom(area.bottom());
    if (fitted.left() < area.left())
        fitted.moveLeft(area.left());
    if (fitted.top() < area.top())
        fitted.moveTop(area.top());
    return fitted;
}

QRect ScreenFit::onScreen(const QRect& rect) {
    return within(rect, availableFor(rect));
}

void ScreenFit::fit(QWidget* window, int extraBelow) {
    // The frame is known only once the window manager has framed the window.
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins margins(inner.x() - frame.x(), inner.y() - frame.y(), frame.right() - inner.right(),
                           frame.bottom() - inner.bottom());
    const QRect area = availableFor(frame);
    const QSize room = area.size().shrunkBy(margins);
    if (window->minimumWidth() > room.width() || window->minimumHeight() > room.height())
        window->setMinimumSize(window->minimumSize().boundedTo(room));

    QRect wanted = frame;
    if (extraBelow > 0 && frame.height() + extraBelow <= area.height())
        wanted.setHeight(frame.height() + extraBelow);
    const QRect fitted = within(wanted, area);
    const QSize size = QSize(fitted.width(), qMin(frame.height(), fitted.height())).shrunkBy(margins);
    if (size != window->size())
        window->resize(size);
    // A window's position is that of its frame.
    if (fitted.topLeft() != window->pos())
        window->move(fitted.topLeft());
}
