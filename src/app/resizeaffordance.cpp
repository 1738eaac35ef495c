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
    m_window->update();
    m_timer2.start();
}

void ResizeAffordance::Timer2Timer() {
    m_timer2.stop();
    if (!m_active)
        return;
    m_active = false;
    m_window->update();
    m_ended();
}
