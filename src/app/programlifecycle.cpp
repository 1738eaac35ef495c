#include "app/programlifecycle.h"

#include "app/mainwindow.h"
#include "app/timedshutdown.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/archivejob.h"
#include "engine/backuprun.h"
#include "housekeeping/housekeeping.h"
#include "log/eventmarker.h"
#include "log/logviewer.h"

#include <QCloseEvent>
#include <QTimer>

ProgramLifecycle::ProgramLifecycle(MainWindow& form, const QStringList& arguments)
    : m_form(form)
    , m_commandLine(arguments) {}

void ProgramLifecycle::closeRequested(QCloseEvent* event) {
    if (m_ended) {
        event->accept();
        return;
    }
    // Refuse first: an error inside the close sequence must leave the window open.
    event->ignore();
    if (m_form.backupRun()->isRunning()) {
        closeDuringRun();
        return;
    }
    if (FormClose()) {
        event->accept();
        endProgram();
    }
}

bool ProgramLifecycle::FormClose() {
    SettingsModel& settings = m_form.settings();
    // 1
    m_form.marker().set(QStringLiteral("form_close"));
    m_form.LogMessage(QStringLiteral("Closing Quoralis2005 v.") + m_form.GetVersionString());
    // 2-3. A settings or log file that cannot be written is reported, and the close goes on:
    // otherwise a read-only program folder would leave a program that can never be closed.
    reportAndGoOn([this] { m_form.SaveConfig(); });
    if (settings.isOn(Setting::KeepLog))
        reportAndGoOn([this] { m_form.writeLogFile(); });
    // 4
    if (settings.isOn(Setting::CleanLogs))
        m_form.housekeeping()->CleanOldLogs();
    // 5
    m_form.marker().set(QStringLiteral("form_close2"));
    // 6. The session ending does not wait for the pending shutdown it is probably part of.
    if (m_autoShutdown && !m_terminating)
        return false;
    // 7
    if (m_autoClose || m_terminating)
        return true;
    // 8
    if (settings.isOn(Setting::BackupClose)) {
        m_form.marker().set(QStringLiteral("form_close_ab"));
        m_form.LogMessage(QStringLiteral("Making automatic shutdown backup"));
        m_form.btBackupClick();
    }
    m_form.marker().set(QStringLiteral("form_close3"));
    if (m_form.logViewer()->isVisible())
        m_form.logViewer()->Fhide();
    m_form.marker().set(QStringLiteral("form_close4"));
    m_form.marker().set(QStringLiteral("form_close5"));
    m_form.fadeOutForClose();
    return true;
}

void ProgramLifecycle::reportAndGoOn(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& error) {
        m_form.prompts().notify(QString::fromUtf8(error.what()));
    }
}

void ProgramLifecycle::endProgram() {
    m_ended = true;
    m_form.hideAllWindows();
    Q_EMIT programEnded();
}

void ProgramLifecycle::endOnErrorReport() {
    // A running backup ends through its own path first; the program ends after it.
    if (m_form.backupRun()->isRunning()) {
        m_endAfterBackup = true;
        m_form.LogMessage(QStringLiteral("Closing after the current backup..."));
        return;
    }
    // The close sequence does not run (no settings saved, no backup at close), but the
    // run's log is what the user needs afterwards.
    if (m_form.settings().isOn(Setting::KeepLog))
        reportAndGoOn([this] { m_form.writeLogFile(); });
    endProgram();
}

void ProgramLifecycle::closeDuringRun() {
    if (m_closeAfterRun)
        return;
    const QString question =
        m_terminating ? QString()
                      : QStringLiteral("A backup is in progress. Cancel it and close Quoralis2005?");
    if (m_form.backupRun()->cancelForClose(question))
        m_closeAfterRun = true;
}

void ProgramLifecycle::requestTermination() {
    if (m_ended || m_terminating)
        return;
    m_terminating = true;
    m_form.LogMessage(QStringLiteral("The session is ending: closing Quoralis2005"));
    if (m_form.backupRun()->isRunning())
        closeDuringRun();
    else
        m_form.close();
}

void ProgramLifecycle::shutdownRefused() {
    m_exitStatus.record(ExitStatus::ShutdownRefused);
    // Nothing is pending: the program may close again.
    m_autoShutdown = false;
    if (m_commandLine.shutsDown()) {
        m_autoClose = true;
        m_form.close();
    }
}

bool ProgramLifecycle::abortPendingShutdown() {
    TimedShutdown& shutdown = m_form.timedShutdown();
    if (!shutdown.pending())
        return false;
    shutdown.abort();
    m_autoShutdown = false;
    m_autoClose = false;
    shutdown.announceAbort();
    return true;
}

ExitStatus::Code ProgramLifecycle::recordRunOutcome(BackupRun::Outcome outcome) {
    const ExitStatus::Code code = ExitStatus::ofRun(outcome, m_form.archiveJob()->archiveFailed());
    m_exitStatus.record(code);
    return code;
}

void ProgramLifecycle::runBackup() {
    BackupRun* run = m_form.backupRun();
    const BackupRun::Outcome outcome = run->btBackupClick();
    m_lastRunStatus = recordRunOutcome(outcome);
    if (!run->isRunning())
        QTimer::singleShot(0, this, &ProgramLifecycle::runForwardedBackups);
    if (m_endAfterBackup && !run->isRunning()) {
        m_endAfterBackup = false;
        endOnErrorReport();
        return;
    }
    if (m_closeAfterRun) {
        // Closing was asked for while the run worked; it has ended now.
        m_form.close();
        return;
    }
    if (outcome != BackupRun::Outcome::Completed)
        return;
    m_form.CheckOutdatedArchives();
    if (m_autoClose)
        m_form.close();
    if (m_autoShutdown && !m_ended)
        m_form.timedShutdown().start();
}

void ProgramLifecycle::backupAndClose() {
    m_autoClose = true;
    m_form.LogMessage(QStringLiteral("Starting backup-and-close..."));
    m_form.btBackupClick();
}

void ProgramLifecycle::backupAndShutdown() {
    m_autoShutdown = true;
    m_form.LogMessage(QStringLiteral("Starting backup-and-shutdown..."));
    m_form.btBackupClick();
}

void ProgramLifecycle::forwardedBackupRequested(const QStringList& arguments,
                                                const SingleInstanceReply& reply) {
    m_forwardedBackups.append({arguments, reply});
    QTimer::singleShot(0, this, &ProgramLifecycle::runForwardedBackups);
}

void ProgramLifecycle::runForwardedBackups() {
    // One at a time, and never inside another run: each waits for the run before it to end.
    while (!m_forwardedBackups.isEmpty() && !m_ended && !m_form.backupRun()->isRunning()) {
        const ForwardedBackup request = m_forwardedBackups.takeFirst();
        const CommandLine commandLine(request.arguments);
        m_form.LogMessage(QStringLiteral("Backup asked for by another start: ") + commandLine.text());
        m_lastRunStatus = ExitStatus::BackupNotMade;
        if (commandLine.shutsDown())
            backupAndShutdown();
        else
            m_form.btBackupClick();
        request.reply.send(m_lastRunStatus);
    }
    if (m_ended) {
        for (const ForwardedBackup& request : std::as_const(m_forwardedBackups))
            request.reply.send(ExitStatus::BackupIncomplete);
        m_forwardedBackups.clear();
    }
}
