#include "app/timedshutdown.h"

#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "platform/shutdownservice.h"
#include "platform/systeminfo.h"
#include "core/userprompts.h"

#include <QPushButton>

namespace {
const QString kAbort = QStringLiteral("ABORT");
}

TimedShutdown::TimedShutdown(QPushButton* backupButton, platform::ShutdownService* service, ActivityLog& log,
                             EventMarker& marker, UserPrompts& prompts)
    : m_button(backupButton)
    , m_service(service)
    , m_log(log)
    , m_marker(marker)
    , m_prompts(prompts) {}

bool TimedShutdown::pending() const {
    return m_button->text() == kAbort;
}

bool TimedShutdown::start() {
    using Privilege = platform::ShutdownService::PrivilegeResult;
    m_log.logMessage(QStringLiteral("Shutting down computer in 30 secs..."));
    m_button->setText(kAbort);
    m_button->setToolTip(QStringLiteral("Cancel system shutdown"));
    const QString machine = platform::SystemInfo::computerName();
    m_marker.set(QStringLiteral("timed_shutdown"));
    if (!m_service)
        return refused();
    switch (m_service->enableShutdownPrivilege()) {
    case Privilege::CannotOpenToken:
        m_prompts.notify(QStringLiteral("Cannot open process token."));
        break;
    case Privilege::CannotFindPrivilege:
        m_prompts.notify(QStringLiteral("Cannot find privilege value."));
        break;
    case Privilege::AdjustFailed:
        m_prompts.notify(QStringLiteral("Error adjusting process privileges."));
        break;
    case Privilege::Ok:
        break;
    }
    if (!m_service->scheduleShutdown(machine, QStringLiteral("Quoralis2005 - Backups complete"), 30))
        return refused();
    return true;
}

bool TimedShutdown::refused() {
    // A caption of "ABORT" with nothing to abort would say a shutdown is coming that never does.
    resetCaption();
    const QString text =
        QStringLiteral("The computer could not be shut down: the system refused the request.");
    m_log.logMessage(text);
    m_prompts.notify(text);
    return false;
}

void TimedShutdown::abort() {
    if (m_service)
        m_service->abortShutdown(platform::SystemInfo::computerName());
    resetCaption();
}

void TimedShutdown::resetCaption() {
    m_button->setText(QStringLiteral("Backup!"));
    m_button->setToolTip(QStringLiteral("Make backup now, right click for options"));
}

void TimedShutdown::announceAbort() {
    m_log.logMessage(QStringLiteral("Shutdown aborted by user"));
    m_prompts.notify(QStringLiteral("Shutdown aborted."));
}
