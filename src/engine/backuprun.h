#pragma once

#include "backupset/folderset.h"
#include "platform/pathlist.h"

#include <QObject>

#include <filesystem>
#include <vector>

class ActivityLog;
class ArchiveJob;
class BackupRunHost;
class EventMarker;
class FolderSet;
class ProgressView;
class SettingsModel;
class ArchiveComponent;
class UserPrompts;

// One backup from any trigger to its result: the checks, the busy state, one archive for
// all folders or one per folder, cancellation, the progress events and the completion sound.
class BackupRun : public QObject {
    Q_OBJECT
public:
    // NotStarted: refused (a run in progress) or a pending shutdown was aborted instead.
    // Stopped: no backup could be made (no folders, no destination, destination missing).
    enum class Outcome { NotStarted, Stopped, Cancelled, Completed };
    // Asked when no destination is set; Yes opens the settings at the destination.
    static const QString NoDestinationQuestion;

    struct Context {
        BackupRunHost* host = nullptr;
        FolderSet* folders = nullptr;
        SettingsModel* settings = nullptr;
        ArchiveComponent* zip = nullptr;
        ArchiveJob* job = nullptr;
        ActivityLog* log = nullptr;
        EventMarker* marker = nullptr;
        UserPrompts* prompts = nullptr;
        ProgressView* progress = nullptr;
    };

    explicit BackupRun(Context context, QObject* parent = nullptr);

    // Returns when the run is over. Completed means the run got past its start checks and
    // was not cancelled between per-folder archives: the caller then runs what follows a backup.
    Outcome btBackupClick();
    void btCancelClick();
    // The program is to close during the run: asks `question` (none when the session ends)
    // while the archive waits, then cancels through the same path as a confirmed cancel and
    // stops a folder walk at once. False when the answer was not Yes.
    bool cancelForClose(const QString& question);
    void SetBackupPriority(bool on);

    bool isRunning() const { return m_running; }
    bool abortRequested() const { return m_abortRequested; }

private:
    bool checkDestination();
    void reportMissingFolders(const std::vector<std::filesystem::path>& folders);
    // A listed folder with no entries at all whose previous backup holds files from it.
    bool emptyWithPreviousBackup(const std::filesystem::path& folder);
    // Missing, or empty with a previous backup: its archive keeps what it holds of it.
    bool keptAsMissing(const std::filesystem::path& folder) const;
    void decideEveryFile();
    bool noArchiveToUpdate(const std::filesystem::path& folder);
    bool updatesInPlace() const;
    Outcome archiveEachFolder(const std::vector<std::filesystem::path>& folders);
    Outcome archiveAllFolders(const std::vector<std::filesystem::path>& folders);
    // False when the walk was stopped; a walk that missed unreadable folders marks the archive failed.
    bool collectInto(FolderSet::Collected collected);
    Outcome endCancelled();
    void cancel();
    bool confirmedWhileArchivePaused(const QString& question);
    void endBusyState();
    void requestCompletionSound();

    void ZIPItemProgress(const std::filesystem::path& item);
    void ZIPTotalProgress(int percent);
    void ZIPProgress();
    void ZIPCheckTerminate(bool& abort);
    void ZIPMessage(int errorCode, const QString& message);
    void cancelComponent();

    Context m_c;
    PathList m_backupFiles;
    std::vector<std::filesystem::path> m_missingFolders; // and the empty ones kept like them
    std::vector<std::filesystem::path> m_emptyFolders;
    bool m_everyFile = false; // changed-only is not applied in this run
    bool m_abortRequested = false;
    bool m_running = false;
};
