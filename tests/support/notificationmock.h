#pragma once

#include "dbusmock.h"

// The desktop's notification service for tests: python3-dbusmock's notification daemon on a
// private session bus, recording every notice shown.
class NotificationMock : public DbusMock {
public:
    NotificationMock();

    struct Notice {
        QString application;
        QString summary;
        QString body;
        int urgency = -1; // the "urgency" hint: 0 low, 1 normal, 2 critical; -1 when not given
    };
    QList<Notice> notices();
};
