#include "widgets/windowfader.h"

#include "widgets/compositorprobe.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QVariantAnimation>
#include <QWidget>

#include <cmath>

WindowFader::WindowFader(QWidget* window)
    : QObject(window)
    , m_window(window)
    , m_animation(new QVariantAnimation(this)) {
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { m_window->setWindowOpacity(value.toReal()); });
}

bool WindowFader::opacityAvailable() {
    static const bool available = [] {
        const QString platform = QGuiApplication::platformName();
        if (platform == QStringLiteral("xcb"))
            return CompositorProbe::compositing();
        // Wayland and the minimal platforms have no per-window opacity.
        return platform == QStringLiteral("windows") || platform == QStringLiteral("cocoa") ||
               platform == QStringLiteral("offscreen");
    }();
    return available;
}

bool WindowFader::isFading() const {
    return m_loop != nullptr;
}

void WindowFader::show(bool fading) {
    if (!fading || !opacityAvailable()) {
        // A window faded out earlier would otherwise come back transparent.
        if (m_blending)
            m_window->setWindowOpacity(1.0);
        m_window->show();
        return;
    }
    if (!m_blending)
        startBlending(0.0);
    m_window->show();
    animateTo(1.0);
}

void WindowFader::hide(bool fading) {
    if (fading && opacityAvailable()) {
        if (!m_blending)
            startBlending(1.0);
        if (!animateTo(0.0))
            return;
    }
    m_window->hide();
}

void WindowFader::fadeOut(bool fading) {
    if (!fading || !opacityAvailable() || !m_window->isVisible())
        return;
    if (!m_blending)
        startBlending(1.0);
    animateTo(0.0);
}

void WindowFader::startBlending(qreal opacity) {
    m_window->setWindowOpacity(opacity);
    m_blending = true;
}

bool WindowFader::animateTo(qreal target) {
    if (m_loop)
        m_loop->quit();
    m_animation->stop();
    const qreal start = m_window->windowOpacity();
    const int duration = static_cast<int>(std::lround(kDurationMs * std::abs(target - start)));
    if (duration == 0) {
        m_window->setWindowOpacity(target);
        return true;
    }
    m_animation->setStartValue(start);
    m_animation->setEndValue(target);
    m_animation->setDuration(duration);

    QEventLoop loop;
    m_loop = &loop;
    const auto done = connect(m_animation, &QVariantAnimation::finished, &loop, &QEventLoop::quit);
    m_animation->start();
    loop.exec();
    disconnect(done);
    const bool completed = m_loop == &loop;
    if (completed)
        m_loop = nullptr;
    return completed;
}
