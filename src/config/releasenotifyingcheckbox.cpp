#include "config/releasenotifyingcheckbox.h"

#include <QMouseEvent>

void ReleaseNotifyingCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    QCheckBox::mouseReleaseEvent(event);
    if (hitButton(event->position().toPoint()))
        Q_EMIT mouseReleased();
}
