#pragma once

#include "app/appservices.h"
#include "app/singleinstancereply.h"

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QStringList>

#include <filesystem>
#include <memory>

class ActivityLog;
class ArchiveComponent;
class ArchiveJob;
class BackupRun;
class BackupRunEvents;
class LastBackup;
class ErrorReport;
class EventMarker;
class EventSounds;
class ExclusionLists;
class FolderSet;
class Housekeeping;
class IntervalTimer;
class ProgramLifecycle;
class ProgramParts;
class ProgramView;
class SettingsModel;
class SingleInstance;
class TimedShutdown;
class UserPrompts;
class VersionCheck;

// The program: owns its settings, its activity log and every component (the backup run and archive
// job, housekeeping, the interval timer, timed shutdown, sounds, the online checks, the guard that
// keeps one copy per settings file), runs start-up and close, and takes what the user asks for.
// It has no window: windows are views of it, and the program runs the same without any.
class BackupApp : public QObject {
    Q_OBJECT
public:
    // Asked where no program opens the destination folder.
    static const QString RestoreInsteadOffer;

    BackupApp(const QString& programDir, const QStringList& arguments, const AppServices& services,
              QObject* parent = nullptr);
    ~BackupApp() override;

    // What shows the program; none: nothing is shown. Set before start().
    void setView(ProgramView* view);
    // Later starts on the same settings file come to this program through the guard.
    void adoptInstanceGuard(std::unique_ptr<SingleInstance> guard);
    // The start-up sequence: settings, the command line's backup, the timer, the checks at start.
    void startUp();

    // What the user asks for.
    void backup();
    void backupAndClose();
    void backupAndShutdown();
    void cancelBackup();
    // The close sequence; during a backup, the cancel that closes once it has ended.
    void requestClose();
    // The session is ending: a backup in progress is cancelled, then the close sequence runs
    // without questions of its own and the program ends, even with a shutdown pending.
    void requestTermination();
    // An error report was answered: the program ends (after the backup in progress).
    void endOnErrorReport();
    void saveSettings();
    void recountFolders();
    void checkVersion(bool automatic);
    void checkOutdatedArchives();
    void deleteOldLogsNow();
    void openQuickGuide();
    void openDestination();
    void openFolder(const std::filesystem::path& folder);
    void showAbout();
    void openHomepage();
    void openSupport();
    void openNewsletter();
    // Where the user left the windows, written to the settings file at once.
    void storeToolbarPlace(const QPoint& topLeft);
    void storeMainSize(const QSize& size);
    // Another start of the program on the same settings file asked for a backup: made once the
    // present run has ended, and answered with that backup's status.
    void forwardedBackupRequested(const QStringList& arguments, const SingleInstanceReply& reply);
    // An error no handler dealt with; shown by whoever shows errors, or written to stderr.
    void reportUnexpectedError(const QString& message);
    // Whether the main window is shown: the run and the sounds ask.
    void setMainWindowShown(bool shown);

    bool hasEnded() const;
    // The process's exit status: how the backups of this run of the program went.
    int exitCode() const;
    bool autoClose() const;
    bool autoShutdown() const;
    bool closingWithoutQuestions() const;
    // No count or backup is in progress, and none winding down after a cancel.
    bool canStartBackup() const;
    bool backupRunning() const;
    bool shutdownPending() const;
    bool toolbarMode() const;
    bool fading() const;
    QString programVersion();
    QString programDir() const;
    std::filesystem::path settingsFile() const;
    std::filesystem::path logFolder() const;

    const AppServices& services() const;
    UserPrompts& prompts() const;
    SettingsModel& settings() const;
    ActivityLog& activityLog() const;
    EventMarker& marker() const;
    ExclusionLists& exclusions() const;
    FolderSet& folderSet() const;
    ArchiveComponent& archiveComponent() const;
    ArchiveJob& archiveJob() const;
    BackupRun& backupRun() const;
    TimedShutdown& timedShutdown() const;
    IntervalTimer& intervalTimer() const;
    LastBackup& lastBackup() const;
    Housekeeping& housekeeping() const;
    VersionCheck& versionChecker() const;
    EventSounds& eventSounds() const;
    // What the backup run and the walks report: busy, progress, the toolbar window wanted.
    BackupRunEvents& runEvents() const;
    ErrorReport& errorReporter() const;

Q_SIGNALS:
    // An interactive start of another copy: the program comes forward.
    void activationRequested();
    // The user chose the restore window where the destination could not be opened.
    void restoreWindowWanted();
    void unexpectedError(const QString& message);
    void eventSoundRequested(const QString& eventName);
    // The close sequence has ended the program: the process ends.
    void programEnded();

private:
    std::unique_ptr<ProgramParts> m_parts;
    std::unique_ptr<ProgramLifecycle> m_lifecycle;
    std::unique_ptr<SingleInstance> m_guard;
    QSize m_writtenSize{-1, -1};
};
