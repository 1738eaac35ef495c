#pragma once

class QRegion;
class QSize;
class QWidget;

// The rounded outline of the program's borderless windows: a rounded rectangle over the
// window's rectangle with 9 x 9 corner ellipses. The shape does not follow later size
// changes by itself; whoever resizes the window applies it again.
class RoundedShape {
public:
    static constexpr int kCornerEllipse = 9;

    static QRegion region(const QSize& size);
    static void apply(QWidget* window);
};
