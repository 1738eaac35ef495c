#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// The sizing border of the borderless main window. Pointing at the resize button shows the
// border for ten seconds (Timer2); the window keeps its place and size meanwhile, and its
// edges and the button resize it as they always do. Owns Timer2.
class ResizeAffordance : public QObject {
    Q_OBJECT
public:
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
    QWidget* m_window;
    QWidget* m_button;
    std::function<void()> m_ended;
    QTimer m_timer2;
    bool m_active = false;
};
