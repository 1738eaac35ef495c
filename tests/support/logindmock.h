#pragma once

#include "dbusmock.h"

#include <utility>

// A login manager for tests of the timed shutdown: python3-dbusmock's logind template on a
// private system bus.
class LogindMock : public DbusMock {
public:
    LogindMock();

    // The manager schedules and cancels shutdowns as a real one does: ScheduleShutdown keeps the
    // request in the ScheduledShutdown property, CancelScheduledShutdown clears it and answers
    // whether there was one to cancel.
    bool acceptShutdownRequests();
    // ScheduleShutdown answers with an authorization error and schedules nothing.
    bool refuseShutdownRequests();
    // As acceptShutdownRequests, but ScheduleShutdown first reads the named pipe at `pipePath` to
    // its end: the manager answers only when the test has opened, written and closed the pipe.
    // Until then the whole mock is busy and answers nothing else either.
    bool acceptShutdownRequestsOnlyAfter(const QString& pipePath);
    bool addManagerMethod(const QString& name, const QString& inSignature, const QString& outSignature,
                          const QString& code);

    // The ScheduledShutdown property: the kind ("" when none) and the time in µs since the epoch.
    std::pair<QString, quint64> scheduledShutdown();

private:
    bool addScheduledShutdownProperty();
};
