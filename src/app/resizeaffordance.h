#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// The temporary sizing border of the borderless main window. Pointing at the resize
// button gives the window a border with a caption for ten seconds (Timer2), moving it up
// by 20 pixels and making it 20 pixels taller so that its content stays in place; then
// the border goes and the window moves and shrinks back. Owns Timer2.
class ResizeAffordance : public QObject {
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 20;
    static constexpr int kDurationMs = 10000;

    // ended runs after the border is gone (to give the window its shape back and dock).
    ResizeAffordance(QWidget* window, QWidget* resizeButton, std::function<void()> ended);

    bool isActive() const { return m_active; }
    QTimer& Timer2() { return m_timer2; }

    void btResizeEnter();
    void Timer2Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setSizingBorder(bool on);

    QWidget* m_window;
    QWidget* m_button;
    std::function<void()> m_ended;
    QTimer m_timer2;
    bool m_active = false;
};
