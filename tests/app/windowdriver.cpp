#include "windowdriver.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

namespace WindowDriver {

void drag(QWidget* widget, const QPoint& from, const QPoint& delta) {
    const QPoint global = widget->mapToGlobal(from);
    QMouseEvent press(QEvent::MouseButtonPress, from, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    // Two steps, as a hand moves: the first one passes the drag distance.
    const QPoint half = delta / 2;
    for (const QPoint& step : {half, delta}) {
        QMouseEvent move(QEvent::MouseMove, from + step, global + step, Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, from + delta, global + delta, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void enter(QWidget* widget) {
    const QPointF local(2, 2);
    QEnterEvent event(local, local, widget->mapToGlobal(local));
    QApplication::sendEvent(widget, &event);
}

} // namespace WindowDriver
