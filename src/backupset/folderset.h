#pragma once

#include "backupset/folderwalker.h"
#include "backupset/walkoptions.h"

#include <QObject>
#include <QThreadPool>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class ActivityLog;
class BusyState;
class EventMarker;
class FolderListView;
class QLabel;
class TForm1;
class UserPrompts;

// The handlers of the folder list: adding, removing, clearing and recounting folders, the
// totals line, and the walks that count a folder or collect its files. Owns the worker pool
// its walks run on; the list, the label and the exclusion dialog belong to the main window.
// Every handler returns only when done; a walk runs on a worker while the handler waits in a
// local event loop, so the windows stay responsive.
class FolderSet : public QObject {
    Q_OBJECT
public:
    FolderSet(FolderListView* list, QLabel* totals, UserPrompts& prompts, ActivityLog& log,
              EventMarker& marker, BusyState& busy, TForm1& exclusions, std::function<WalkFlags()> flags,
              QObject* parent = nullptr);
    ~FolderSet() override;

    void btAddClick();
    void AddFolder(const std::filesystem::path& folder);
    void btRemoveClick();
    void btClearClick();
    void btRecalcClick();
    // Shows the exclusion dialog; when it closes, saves the settings, then recalculates.
    void btExcludeClick();
    void setSettingsSaver(std::function<void()> save) { m_saveSettings = std::move(save); }

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
    // Stops the walk in progress, if any; its caller gets a stopped outcome.
    void stopWalk();
    // The sum of the hidden byte column; throws std::runtime_error on a value that is no integer.
    qint64 SumFolderBytes();

    quint64 fileCounter() const { return m_fileCounter; }
    std::vector<std::filesystem::path> folders() const;

private:
    struct Outcome {
        WalkResult found;
        PathList files;
        bool failed = false;
        bool stopped = false;
    };
    Outcome runWalk(const std::vector<std::filesystem::path>& folders, FolderWalker::Mode mode,
                    bool everyFile = false);
    Collected takeCollected(Outcome& outcome, PathList& files);
    WalkOptions currentOptions(bool everyFile) const;
    void showTotals(const QString& separator);

    FolderListView* m_list;
    QLabel* m_totals;
    UserPrompts& m_prompts;
    ActivityLog& m_log;
    EventMarker& m_marker;
    BusyState& m_busy;
    TForm1& m_exclusions;
    std::function<WalkFlags()> m_flags;
    std::function<void()> m_saveSettings;
    std::filesystem::path m_lastPicked;
    quint64 m_fileCounter = 0;
    QThreadPool m_pool;
    std::shared_ptr<FolderWalker> m_walker;
    bool m_stopRequested = false;
};
