#include "app/programlifecycle.h"

#include "app/backupendnotifier.h"
#include "app/lastbackup.h"

#include "app/programparts.h"
#include "app/programview.h"
#include "app/settingssequence.h"
#include "app/timedshutdown.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/archivejob.h"
#include "engine/backuprun.h"
#include "engine/backuprunevents.h"
#include "housekeeping/housekeeping.h"
#include "log/eventmarker.h"

#include <QTimer>

#include <utility>

ProgramLifecycle::ProgramLifecycle(ProgramParts& parts, const QStringList& arguments)
    : m_parts(parts)
    , m_commandLine(arguments) {
    connect(&m_parts.runEvents(), &BackupRunEvents::busyChanged, this, [this](bool busy) {
        if (!busy)
            QTimer::singleShot(0, this, &ProgramLifecycle::runForwardedBackups);
    });
}

void ProgramLifecycle::closeProgram() {
    if (m_ended)
        return;
    if (m_parts.backupRun().isRunning()) {
        closeDuringRun();
        return;
    }
    // An error inside the close sequence leaves the program running.
    if (FormClose())
        endProgram();
}

bool ProgramLifecycle::FormClose() {
    SettingsModel& settings = m_parts.settings();
    // 1
    m_parts.setMarker(QStringLiteral("form_close"));
    m_parts.activityLog().logMessage(QStringLiteral("Closing Quoralis2005 v.") + m_parts.programVersion());
    // 2-3. A settings or log file that cannot be written is reported, and the close goes on:
    // otherwise a read-only program folder would leave a program that can never be closed.
    reportAndGoOn(
        [this] { SettingsSequence(m_parts).SaveConfig(!m_autoShutdown && !closingWithoutQuestions()); });
    if (settings.isOn(Setting::KeepLog))
        reportAndGoOn([this] { m_parts.writeLogFile(); });
    // 4
    if (settings.isOn(Setting::CleanLogs))
        m_parts.housekeeping().CleanOldLogs();
    // 5
    m_parts.setMarker(QStringLiteral("form_close2"));
    // 6. The session ending does not wait for the pending shutdown it is probably part of.
    if (m_autoShutdown && !m_terminating)
        return false;
    // 7
    if (m_autoClose || m_terminating)
        return true;
    // 8
    if (settings.isOn(Setting::BackupClose)) {
        m_parts.setMarker(QStringLiteral("form_close_ab"));
        m_parts.activityLog().logMessage(QStringLiteral("Making automatic shutdown backup"));
        runBackup();
    }
    m_parts.setMarker(QStringLiteral("form_close3"));
    m_parts.programView().hideLogViewer();
    m_parts.setMarker(QStringLiteral("form_close4"));
    m_parts.setMarker(QStringLiteral("form_close5"));
    m_parts.programView().fadeOutForClose();
    return true;
}

void ProgramLifecycle::reportAndGoOn(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& error) {
        m_parts.prompts().notify(QString::fromUtf8(error.what()));
    }
}

void ProgramLifecycle::endProgram() {
    m_ended = true;
    m_parts.programView().hideAllWindows();
    Q_EMIT programEnded();
}

void ProgramLifecycle::endOnErrorReport() {
    // A running backup ends through its own path first; the program ends after it.
    if (m_parts.backupRun().isRunning()) {
        m_endAfterBackup = true;
        m_parts.activityLog().logMessage(QStringLiteral("Closing after the current backup..."));
        return;
    }
    // The close sequence does not run (no settings saved, no backup at close), but the
    // run's log is what the user needs afterwards.
    if (m_parts.settings().isOn(Setting::KeepLog))
        reportAndGoOn([this] { m_parts.writeLogFile(); });
    endProgram();
}

void ProgramLifecycle::closeDuringRun() {
    if (m_closeAfterRun)
        return;
    const QString question =
        m_terminating ? QString()
                      : QStringLiteral("A backup is in progress. Cancel it and close Quoralis2005?");
    if (m_parts.backupRun().cancelForClose(question))
        m_closeAfterRun = true;
}

void ProgramLifecycle::requestTermination() {
    if (m_ended || m_terminating)
        return;
    m_terminating = true;
    m_parts.activityLog().logMessage(QStringLiteral("The session is ending: closing Quoralis2005"));
    if (m_parts.backupRun().isRunning())
        closeDuringRun();
    else
        closeProgram();
}

void ProgramLifecycle::shutdownRefused() {
    m_exitStatus.record(ExitStatus::ShutdownRefused);
    // Nothing is pending: the program may close again.
    m_autoShutdown = false;
    if (m_commandLine.shutsDown()) {
        m_autoClose = true;
        closeProgram();
    }
}

bool ProgramLifecycle::withdrawPendingShutdown() {
    TimedShutdown& shutdown = m_parts.timedShutdown();
    if (!shutdown.pending())
        return false;
    shutdown.abort();
    m_autoShutdown = false;
    m_autoClose = false;
    shutdown.announceAbort();
    return true;
}

ExitStatus::Code ProgramLifecycle::recordRunOutcome(BackupRun::Outcome outcome) {
    const ExitStatus::Code code = ExitStatus::ofRun(outcome, m_parts.archiveJob().archiveFailed());
    m_exitStatus.record(code);
    return code;
}

void ProgramLifecycle::recordLastBackup(BackupRun::Outcome outcome) {
    const ArchiveJob& job = m_parts.archiveJob();
    const LastBackup::Result result = LastBackup::resultOf(outcome, m_parts.backupRun().abortRequested(),
                                                           job.archiveFailed(), job.archivesMade());
    const QString error = m_parts.lastBackup().record(
        result, job.bytesMade(), QDateTime::currentDateTimeUtc(), m_parts.settingsFile());
    if (!error.isEmpty())
        m_parts.activityLog().logMessage(error);
    m_parts.backupEndNotifier().backupEnded(m_parts.lastBackup(), m_parts.runEvents().mainWindowVisible(),
                                            m_commandLine.isUnattended());
}

void ProgramLifecycle::runBackup() {
    BackupRun& run = m_parts.backupRun();
    // Taken now: a trigger refused while this run works must not answer for it.
    const SingleInstanceReply reply = std::exchange(m_replyWhenRunEnds, {});
    const BackupRun::Outcome outcome = run.btBackupClick();
    const ExitStatus::Code status = recordRunOutcome(outcome);
    // A run that did not start made no backup, whatever it tells the program's own status.
    reply.send(outcome == BackupRun::Outcome::NotStarted ? ExitStatus::BackupNotMade : status);
    recordLastBackup(outcome);
    if (!run.isRunning())
        QTimer::singleShot(0, this, &ProgramLifecycle::runForwardedBackups);
    if (m_endAfterBackup && !run.isRunning()) {
        m_endAfterBackup = false;
        endOnErrorReport();
        return;
    }
    if (m_closeAfterRun) {
        // Closing was asked for while the run worked; it has ended now.
        closeProgram();
        return;
    }
    if (outcome != BackupRun::Outcome::Completed)
        return;
    m_parts.housekeeping().CheckOutdatedArchives();
    if (m_autoClose)
        closeProgram();
    if (m_autoShutdown && !m_ended)
        m_parts.timedShutdown().start();
}

void ProgramLifecycle::backupAndClose() {
    m_autoClose = true;
    m_parts.activityLog().logMessage(QStringLiteral("Starting backup-and-close..."));
    runBackup();
}

void ProgramLifecycle::backupAndShutdown() {
    m_autoShutdown = true;
    m_parts.activityLog().logMessage(QStringLiteral("Starting backup-and-shutdown..."));
    runBackup();
}

void ProgramLifecycle::forwardedBackupRequested(const QStringList& arguments,
                                                const SingleInstanceReply& reply) {
    m_parts.activityLog().logMessage(QStringLiteral("Another start asks for a backup: ") +
                                     CommandLine(arguments).spelledOut());
    m_forwardedBackups.append({arguments, reply});
    QTimer::singleShot(0, this, &ProgramLifecycle::runForwardedBackups);
}

void ProgramLifecycle::runForwardedBackups() {
    // One at a time, and never inside another run or a count of the folders: each waits for
    // what is in progress to end.
    while (!m_forwardedBackups.isEmpty() && !m_ended && m_parts.runEvents().backupAllowed()) {
        const ForwardedBackup request = m_forwardedBackups.takeFirst();
        const CommandLine commandLine(request.arguments);
        if (!request.reply.isWaiting()) {
            m_parts.activityLog().logMessage(QStringLiteral("A start that asked for a backup has gone: ") +
                                             commandLine.spelledOut());
            continue;
        }
        m_parts.activityLog().logMessage(QStringLiteral("Backup asked for by another start: ") +
                                         commandLine.spelledOut());
        m_replyWhenRunEnds = request.reply;
        if (commandLine.shutsDown())
            backupAndShutdown();
        else
            runBackup();
    }
    if (m_ended) {
        for (const ForwardedBackup& request : std::as_const(m_forwardedBackups))
            request.reply.send(ExitStatus::BackupIncomplete);
        m_forwardedBackups.clear();
    }
}
