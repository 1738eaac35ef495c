#include "app/timedshutdown.h"

#include "core/userprompts.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "platform/shutdownservice.h"
#include "platform/systeminfo.h"

#include <QPointer>

TimedShutdown::TimedShutdown(platform::ShutdownService* service, ActivityLog& log, EventMarker& marker,
                             UserPrompts& prompts, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_log(log)
    , m_marker(marker)
    , m_prompts(prompts) {
    m_overdue.setSingleShot(true);
    connect(&m_overdue, &QTimer::timeout, this, &TimedShutdown::shutdownOverdue);
}

bool TimedShutdown::pending() const {
    return m_pending;
}

void TimedShutdown::start() {
    using Privilege = platform::ShutdownService::PrivilegeResult;
    m_log.logMessage(QStringLiteral("Shutting down computer in 30 secs..."));
    setPending(true);
    const QString machine = platform::SystemInfo::computerName();
    m_marker.set(QStringLiteral("timed_shutdown"));
    const quint64 request = ++m_request;
    m_overdue.stop();
    if (!m_service) {
        answered(request, false);
        return;
    }
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
    // The notices above may have been answered by an abort meanwhile.
    if (request != m_request)
        return;
    QPointer<TimedShutdown> self(this);
    m_service->requestShutdown(machine, QStringLiteral("Quoralis2005 - Backups complete"), 30,
                               [self, request](bool accepted) {
                                   if (self)
                                       self->answered(request, accepted);
                               });
}

void TimedShutdown::answered(quint64 request, bool accepted) {
    if (request != m_request)
        return;
    if (accepted) {
        m_overdue.start(m_overdueAfter);
        return;
    }
    ++m_request;
    reportFailure(QStringLiteral("The computer could not be shut down: the system refused the request."));
    Q_EMIT refused();
}

void TimedShutdown::shutdownOverdue() {
    ++m_request;
    // Withdrawn, so that it does not come unannounced later.
    if (m_service)
        m_service->abortShutdown(platform::SystemInfo::computerName());
    reportFailure(QStringLiteral("The computer was not shut down: the system accepted the request but did "
                                 "not carry it out."));
    Q_EMIT overdue();
}

void TimedShutdown::reportFailure(const QString& text) {
    // A caption of "ABORT" with nothing to abort would say a shutdown is coming that never does.
    setPending(false);
    m_log.logMessage(text);
    m_prompts.notify(text);
}

void TimedShutdown::setOverdueAfter(std::chrono::milliseconds wait) {
    m_overdueAfter = wait;
    if (m_overdue.isActive())
        m_overdue.start(m_overdueAfter);
}

void TimedShutdown::abort() {
    ++m_request;
    m_overdue.stop();
    if (m_service)
        m_service->abortShutdown(platform::SystemInfo::computerName());
    setPending(false);
}

void TimedShutdown::setPending(bool pending) {
    if (pending == m_pending)
        return;
    m_pending = pending;
    Q_EMIT pendingChanged(pending);
}

void TimedShutdown::announceAbort() {
    m_log.logMessage(QStringLiteral("Shutdown aborted by user"));
    m_prompts.notify(QStringLiteral("Shutdown aborted."));
}
