#pragma once

#include <QObject>
#include <QRect>

class QWidget;

// Keeps windows where a person can reach them: on a screen that exists now, whole, with a
// minimum size no larger than that screen. Installed on a window, it fits the window each
// time it shows; the static helpers fit rectangles and windows on demand.
class ScreenFit : public QObject {
    Q_OBJECT
public:
    // Fits the window every time it is shown; owned by the window.
    static void keepOnScreen(QWidget* window);

    // A rectangle from stored numbers of any size, bounded so that no arithmetic on it overflows
    // (no screen reaches that far).
    static QRect fromStored(int x, int y, int width, int height);
    // The available area of the screen that holds the centre of rect, else of the nearest screen.
    static QRect availableFor(const QRect& rect);
    // rect moved, and shrunk where it is larger, to lie wholly within area.
    static QRect within(const QRect& rect, const QRect& area);
    // rect as it would be fitted to the screens that exist now.
    static QRect onScreen(const QRect& rect);
    // Shrinks the window's minimum size to the screen and moves the window (its frame where it
    // has one) wholly onto it. extraBelow is room kept below the window for a docked strip,
    // given up when window and strip do not fit together.
    static void fit(QWidget* window, int extraBelow = 0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ScreenFit(QWidget* window);

    bool m_awaitingFrame = false;
};
