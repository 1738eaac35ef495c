#pragma once

#include <QPoint>

class QWidget;

// Drives windows the way a mouse does: presses, drags and releases delivered as events.
namespace WindowDriver {
// Presses the left button at `from` on the widget, moves by `delta` and releases.
void drag(QWidget* widget, const QPoint& from, const QPoint& delta);
// The pointer comes over the widget.
void enter(QWidget* widget);
} // namespace WindowDriver
