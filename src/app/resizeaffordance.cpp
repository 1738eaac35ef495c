#include "app/resizeaffordance.h"

#include <QEvent>
#include <QWidget>

ResizeAffordance::ResizeAffordance(QWidget* window, QWidget* resizeButton, std::function<void()> ended)
    : QObject(window)
    , m_window(window)
    , m_button(resizeButton)
    , m_ended(std::move(ended)) {
    m_timer2.setSingleShot(true);
    m_timer2.setInterval(kDurationMs);
    connect(&m_timer2, &QTimer::timeout, this, &ResizeAffordance::Timer2Timer);
    m_button->installEventFilter(this);
}

bool ResizeAffordance::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_button && event->type() == QEvent::Enter)
        btResizeEnter();
    return QObject::eventFilter(watched, event);
}

void ResizeAffordance::btResizeEnter() {
    if (m_active)
        return;
    m_active = true;
    setSizingBorder(true);
    m_window->move(m_window->x(), m_window->y() - kCaptionHeight);
    m_window->resize(m_window->width(), m_window->height() + kCaptionHeight);
    m_timer2.start();
}

void ResizeAffordance::Timer2Timer() {
    m_timer2.stop();
    if (!m_active)
        return;
    setSizingBorder(false);
    m_window->move(m_window->x(), m_window->y() + kCaptionHeight);
    m_window->resize(m_window->width(), m_window->height() - kCaptionHeight);
    m_ended();
    m_active = false;
}

void ResizeAffordance::setSizingBorder(bool on) {
    const bool wasVisible = m_window->isVisible();
    const QPoint position = m_window->pos();
    Qt::WindowFlags flags = m_window->windowFlags();
    if (on) {
        // The rounded shape would cut into the border.
        m_window->clearMask();
        flags &= ~Qt::FramelessWindowHint;
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    } else {
        flags &= ~(Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        flags |= Qt::FramelessWindowHint;
    }
    // Changing the border makes a new native window, which starts hidden.
    m_window->setWindowFlags(flags);
    m_window->move(position);
    if (wasVisible)
        m_window->show();
}
