#pragma once

#include "app/commandline.h"
#include "app/exitstatus.h"
#include "app/singleinstancereply.h"

#include <QList>
#include <QObject>

#include <functional>

class ProgramParts;

// How the program ends and what it tells whoever started it: the close sequence, a close while a
// backup runs, the end of the session, what follows a backup run (close, shut down, backups another
// start forwarded) and the exit status.
class ProgramLifecycle : public QObject {
    Q_OBJECT
public:
    ProgramLifecycle(ProgramParts& parts, const QStringList& arguments);

    const CommandLine& commandLine() const { return m_commandLine; }
    bool hasEnded() const { return m_ended; }
    bool terminating() const { return m_terminating; }
    bool autoClose() const { return m_autoClose; }
    bool autoShutdown() const { return m_autoShutdown; }
    // A close that must not stop for questions: "cancel and close", or the session ending.
    bool closingWithoutQuestions() const { return m_closeAfterRun || m_terminating; }
    void setAutoClose(bool on) { m_autoClose = on; }
    void setAutoShutdown(bool on) { m_autoShutdown = on; }
    ExitStatus& runStatus() { return m_exitStatus; }
    const ExitStatus& runStatus() const { return m_exitStatus; }

    // The program was asked to close: the close sequence, or the cancel of a backup in progress
    // that closes once the backup has ended.
    void closeProgram();
    void requestTermination();
    // An error report was answered with "end the program".
    void endOnErrorReport();

    // A backup run and what follows it: closing, shutting down, the backups that waited.
    void runBackup();
    void backupAndClose();
    void backupAndShutdown();
    bool withdrawPendingShutdown();
    void shutdownRefused();
    void forwardedBackupRequested(const QStringList& arguments, const SingleInstanceReply& reply);

Q_SIGNALS:
    // The close sequence has ended the program: the process ends.
    void programEnded();

private:
    bool FormClose();
    // A close request while a backup runs: cancel it (asked, unless the session ends) and
    // close once it has really ended.
    void closeDuringRun();
    // Records how a backup run went; returns the status of that run alone.
    ExitStatus::Code recordRunOutcome(BackupRun::Outcome outcome);
    // Keeps how the run ended for the status the windows show, also after a restart.
    void recordLastBackup(BackupRun::Outcome outcome);
    void runForwardedBackups();
    void reportAndGoOn(const std::function<void()>& step);
    void endProgram();

    ProgramParts& m_parts;
    CommandLine m_commandLine;
    bool m_autoClose = false;
    bool m_autoShutdown = false;
    bool m_ended = false;
    bool m_terminating = false;
    bool m_closeAfterRun = false;
    // An error report was answered while a backup ran: the program ends after the run.
    bool m_endAfterBackup = false;
    // The start that forwarded the backup now running: told its status as soon as the run has
    // ended, before any question that follows the run.
    SingleInstanceReply m_replyWhenRunEnds;
    struct ForwardedBackup {
        QStringList arguments;
        SingleInstanceReply reply;
    };
    QList<ForwardedBackup> m_forwardedBackups;
    ExitStatus m_exitStatus;
};
