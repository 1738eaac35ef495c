#pragma once

#include "backupset/folderwalker.h"
#include "backupset/keptwalks.h"
#include "backupset/walkoptions.h"

#include <QObject>
#include <QThreadPool>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class ActivityLog;
class BusyState;
class EventMarker;
class SettingsModel;
class UserPrompts;

// The folder list's operations on the settings model: adding, removing, clearing and recounting
// folders, the totals line, and the walks that count a folder or collect its files. Owns the
// worker pool its walks run on and each folder's last count; the list window is a view of them.
// Every operation returns only when done; a walk runs on a worker while the caller waits in a
// local event loop, so the windows stay responsive.
class FolderSet : public QObject {
    Q_OBJECT
public:
    FolderSet(SettingsModel& settings, UserPrompts& prompts, ActivityLog& log, EventMarker& marker,
              BusyState& busy, QObject* parent = nullptr);
    ~FolderSet() override;

    void btAddClick();
    // Logs the folder, lists it unless listed, counts it and shows the totals.
    void AddFolder(const std::filesystem::path& folder);
    // Logs the folder and lists it unless listed; counted later by countUncounted.
    void listFolder(const std::filesystem::path& folder);
    // Counts every listed folder that has no count yet, each followed by the totals. With
    // `keepForBackup` (a backup follows at once) the counts keep the files they found, and the
    // backup's walks take them instead of walking again while nothing in the folders changed.
    void countUncounted(bool keepForBackup = false);
    // Gives up what the counts kept for a backup.
    void dropKeptWalks() { m_kept.clear(); }
    // Asks, then takes the folders off the list and recalculates. False when not confirmed.
    bool btRemoveClick(const std::vector<std::filesystem::path>& selected);
    void btClearClick();
    void btRecalcClick();

    // The folder's last count, if it was counted.
    std::optional<qint64> folderBytes(const std::filesystem::path& folder) const;

    // The folder's byte count, inside the busy state; adds its files to the file counter.
    qint64 CountFolder(const std::filesystem::path& folder);
    // What a collecting walk gave: every file, all but those of folders that could not be
    // listed (each logged), or nothing because the walk was stopped before its end.
    enum class Collected { Complete, Incomplete, Stopped };
    // Appends the files a backup takes from the folder to `files` (the backup file list).
    // A walk that was stopped adds nothing: a part of a folder is no backup of it.
    // everyFile: changed-only is not applied to this walk.
    Collected CollectFolderFiles(const std::filesystem::path& folder, PathList& files,
                                 bool everyFile = false);
    // The same for the files of one archive made of several folders; missing folders are left
    // out, and a folder reached twice (two spellings, a link) gives its files once.
    Collected CollectFolderFiles(const std::vector<std::filesystem::path>& folders, PathList& files,
                                 bool everyFile = false);
    // With changed files only, the walks of a folder ask `marks` for the mark of the archive the
    // folder goes into; without it every file counts as changed.
    void setArchiveMarks(std::function<platform::ArchiveMark(const std::filesystem::path& folder)> marks) {
        m_archiveMarks = std::move(marks);
    }
    // Stops the walk in progress, if any; its caller gets a stopped outcome.
    void stopWalk();
    // The sum of the listed folders' counts.
    qint64 SumFolderBytes();

    quint64 fileCounter() const { return m_fileCounter; }
    const std::vector<std::filesystem::path>& folders() const;

Q_SIGNALS:
    void folderCounted(const std::filesystem::path& folder, qint64 bytes);
    // The totals line, or empty when the list was cleared.
    void totalsChanged(const QString& text);

private:
    struct Outcome {
        WalkResult found;
        PathList files;
        bool failed = false;
        bool stopped = false;
    };
    Outcome runWalk(const std::vector<std::filesystem::path>& folders, FolderWalker::Mode mode,
                    bool everyFile = false, bool recordFolders = false);
    qint64 countFolder(const std::filesystem::path& folder, bool keepForBackup);
    // What the counts kept for these folders, when a walk now would find the same.
    std::optional<Outcome> keptWalk(const std::vector<std::filesystem::path>& folders, bool everyFile);
    Collected takeCollected(Outcome& outcome, PathList& files);
    WalkOptions currentOptions(bool everyFile, const std::filesystem::path& folder) const;
    void showTotals(const QString& separator);
    void recordCount(const std::filesystem::path& folder, qint64 bytes);
    std::shared_ptr<const std::vector<std::filesystem::path>> sharedFolders() const;

    SettingsModel& m_settings;
    UserPrompts& m_prompts;
    ActivityLog& m_log;
    EventMarker& m_marker;
    BusyState& m_busy;
    std::filesystem::path m_lastPicked;
    // By the path's own characters, as the folder list tells folders apart (path equality would
    // take "/a//b" for "/a/b").
    std::unordered_map<std::filesystem::path::string_type, qint64> m_counts;
    qint64 m_countedBytes = 0;
    // The listed folders as the walks share them; made anew after the list changes.
    mutable std::shared_ptr<std::vector<std::filesystem::path>> m_sharedFolders;
    quint64 m_fileCounter = 0;
    QThreadPool m_pool;
    std::shared_ptr<FolderWalker> m_walker;
    std::function<platform::ArchiveMark(const std::filesystem::path&)> m_archiveMarks;
    bool m_stopRequested = false;
    KeptWalks m_kept;
};
