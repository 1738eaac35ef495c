#pragma once

class ActivityLog;
class EventMarker;
class QPushButton;
class UserPrompts;
namespace platform {
class ShutdownService;
}

// The shutdown 30 seconds after a backup-and-shutdown and its abort. A shutdown is pending
// exactly while the Backup button reads "ABORT".
class TimedShutdown {
public:
    TimedShutdown(QPushButton* backupButton, platform::ShutdownService* service, ActivityLog& log,
                  EventMarker& marker, UserPrompts& prompts);

    bool pending() const;
    // Asks the system for the shutdown. A refusal (no bus, no permission, no login manager)
    // is logged and shown, nothing stays pending, and the result is false.
    bool start();
    // Cancels the pending shutdown and gives the Backup button its caption back; then the
    // caller clears the backup-and-close and backup-and-shutdown flags and calls announceAbort.
    void abort();
    void announceAbort();

private:
    bool refused();
    void resetCaption();

    QPushButton* m_button;
    platform::ShutdownService* m_service;
    ActivityLog& m_log;
    EventMarker& m_marker;
    UserPrompts& m_prompts;
};
