#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

class ActivityLog;
class EventMarker;
class UserPrompts;
namespace platform {
class ShutdownService;
}

// The shutdown 30 seconds after a backup-and-shutdown and its abort. A shutdown is pending (and
// the Backup button reads "ABORT") from the request, while the system has not
// answered, until the computer goes down, the user aborts, or the system refuses or fails to
// act. Owns the timer that notices an accepted shutdown that never comes.
class TimedShutdown : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultOverdueAfter{std::chrono::minutes(2)};

    TimedShutdown(platform::ShutdownService* service, ActivityLog& log, EventMarker& marker,
                  UserPrompts& prompts, QObject* parent = nullptr);

    bool pending() const;
    // Asks the system for the shutdown and returns without waiting for its answer. A refusal
    // (no bus, no permission, no login manager, no answer in time) is logged and shown, nothing
    // stays pending, and refused() follows.
    void start();
    // Cancels the pending shutdown; then the
    // caller clears the backup-and-close and backup-and-shutdown flags and calls announceAbort.
    // An answer to the request that comes after this is ignored.
    void abort();
    void announceAbort();

    // How long after the system accepted the shutdown the computer may still be running.
    void setOverdueAfter(std::chrono::milliseconds wait);
    std::chrono::milliseconds overdueAfter() const { return m_overdueAfter; }

Q_SIGNALS:
    void pendingChanged(bool pending);
    // The system refused the shutdown, or did not answer in time.
    void refused();
    // The system accepted the shutdown but the computer is still running after overdueAfter();
    // the shutdown has been withdrawn, logged and shown, and nothing is pending any more.
    void overdue();

private:
    void answered(quint64 request, bool accepted);
    void reportFailure(const QString& text);
    void shutdownOverdue();
    void setPending(bool pending);

    bool m_pending = false;
    platform::ShutdownService* m_service;
    ActivityLog& m_log;
    EventMarker& m_marker;
    UserPrompts& m_prompts;
    // Each request has its number; an answer to an older one is out of date.
    quint64 m_request = 0;
    std::chrono::milliseconds m_overdueAfter = defaultOverdueAfter;
    QTimer m_overdue;
};
