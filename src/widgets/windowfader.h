#pragma once

#include <QObject>

class QEventLoop;
class QVariantAnimation;
class QWidget;

// Shows and hides one top-level window, fading its opacity in or out over a short
// animation on the GUI thread. The call returns when the fade is over; meanwhile a local
// event loop keeps timers, clicks and progress flowing. A fade started while another one
// runs on the same window takes over: the earlier call returns without its show or hide.
// Owned by the window it fades.
class WindowFader : public QObject {
    Q_OBJECT
public:
    static constexpr int kDurationMs = 200;

    explicit WindowFader(QWidget* window);

    // Show, fading in from the current opacity (from transparent the first time).
    void show(bool fading);
    // Fade out from the current opacity to transparent, then hide.
    void hide(bool fading);
    // A fade-out that leaves the window shown and transparent, for a window about to close.
    void fadeOut(bool fading);

    bool isFading() const;

    // Whether this desktop draws per-window opacity at all; without it, windows show and
    // hide at once.
    static bool opacityAvailable();

private:
    void startBlending(qreal opacity);
    // Runs the animation to the target; false when a later fade took over.
    bool animateTo(qreal target);

    QWidget* m_window;
    QVariantAnimation* m_animation;
    QEventLoop* m_loop = nullptr;
    bool m_blending = false;
};
