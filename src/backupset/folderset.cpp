#include "backupset/folderset.h"

#include "backupset/busystate.h"
#include "backupset/formatsize.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <stdexcept>

FolderSet::FolderSet(SettingsModel& settings, UserPrompts& prompts, ActivityLog& log, EventMarker& marker,
                     BusyState& busy, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_prompts(prompts)
    , m_log(log)
    , m_marker(marker)
    , m_busy(busy) {
    m_pool.setMaxThreadCount(2);
    connect(&m_settings, &SettingsModel::folderAdded, this, [this](const std::filesystem::path& folder) {
        // A walk that still holds the old list keeps it; the next walk takes the longer one.
        if (m_sharedFolders && m_sharedFolders.use_count() == 1)
            m_sharedFolders->push_back(folder);
        else
            m_sharedFolders.reset();
        m_kept.clear();
    });
    connect(&m_settings, &SettingsModel::folderRemoved, this, [this](const std::filesystem::path& folder) {
        m_sharedFolders.reset();
        m_kept.clear();
        if (const auto found = m_counts.find(folder.native()); found != m_counts.end()) {
            m_countedBytes -= found->second;
            m_counts.erase(found);
        }
    });
}

FolderSet::~FolderSet() {
    m_pool.waitForDone();
}

const std::vector<std::filesystem::path>& FolderSet::folders() const {
    return m_settings.folders();
}

std::shared_ptr<const std::vector<std::filesystem::path>> FolderSet::sharedFolders() const {
    if (!m_sharedFolders)
        m_sharedFolders = std::make_shared<std::vector<std::filesystem::path>>(m_settings.folders());
    return m_sharedFolders;
}

WalkOptions FolderSet::currentOptions(bool everyFile, const std::filesystem::path& folder) const {
    WalkOptions options;
    options.newOnly = m_settings.isOn(Setting::NewOnly) && !everyFile;
    if (options.newOnly && m_archiveMarks)
        options.mark = m_archiveMarks(folder);
    options.includeHidden = m_settings.isOn(Setting::IncludeHidden);
    options.destination = m_settings.destination();
    options.listedFolders = sharedFolders();
    options.excludedFolders = m_settings.excludedFolders();
    for (const QString& type : m_settings.excludedTypes())
        options.excludedTypes.push_back(type.toStdString());
    return options;
}

FolderSet::Outcome FolderSet::runWalk(const std::vector<std::filesystem::path>& folders,
                                      FolderWalker::Mode mode, bool everyFile, bool recordFolders) {
    auto walker = std::make_shared<FolderWalker>(
        currentOptions(everyFile, folders.empty() ? std::filesystem::path() : folders.front()));
    if (recordFolders)
        walker->recordFolders();
    m_walker = walker;
    m_stopRequested = false;
    QFuture<Outcome> future = QtConcurrent::run(&m_pool, [walker, folders, mode] {
        Outcome outcome;
        try {
            walker->WalkFolders(folders, mode, outcome.found,
                                mode == FolderWalker::Mode::Collecting ? &outcome.files : nullptr);
        } catch (...) {
            outcome.failed = true;
        }
        return outcome;
    });
    QFutureWatcher<Outcome> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished())
        loop.exec();
    bool stopped = m_stopRequested;
    if (!future.isFinished()) {
        // The loop was told to end (the application is quitting): stop the walk and wait.
        walker->requestStop();
        future.waitForFinished();
        stopped = true;
    }
    m_walker.reset();
    Outcome outcome = future.takeResult();
    outcome.stopped = stopped;
    return outcome;
}

void FolderSet::stopWalk() {
    if (!m_walker)
        return;
    m_stopRequested = true;
    m_walker->requestStop();
}

qint64 FolderSet::CountFolder(const std::filesystem::path& folder) {
    return countFolder(folder, false);
}

qint64 FolderSet::countFolder(const std::filesystem::path& folder, bool keepForBackup) {
    m_busy.StartWait();
    const FolderWalker::Mode mode =
        keepForBackup ? FolderWalker::Mode::Collecting : FolderWalker::Mode::Counting;
    Outcome outcome = runWalk({folder}, mode, false, keepForBackup);
    m_fileCounter += outcome.found.files;
    m_busy.StopWait();
    if (keepForBackup && !outcome.failed && !outcome.stopped)
        m_kept.keep(folder, {currentOptions(false, folder), std::move(outcome.files), outcome.found});
    return outcome.failed ? 0 : static_cast<qint64>(outcome.found.bytes);
}

std::optional<FolderSet::Outcome> FolderSet::keptWalk(const std::vector<std::filesystem::path>& folders,
                                                      bool everyFile) {
    if (m_kept.empty())
        return std::nullopt;
    auto kept = m_kept.take(folders, currentOptions(everyFile, folders.front()));
    if (!kept)
        return std::nullopt;
    Outcome outcome;
    outcome.found = std::move(kept->result);
    outcome.files = std::move(kept->files);
    return outcome;
}

FolderSet::Collected FolderSet::CollectFolderFiles(const std::filesystem::path& folder, PathList& files,
                                                   bool everyFile) {
    if (auto kept = keptWalk({folder}, everyFile))
        return takeCollected(*kept, files);
    Outcome outcome = runWalk({folder}, FolderWalker::Mode::Collecting, everyFile);
    return takeCollected(outcome, files);
}

FolderSet::Collected FolderSet::CollectFolderFiles(const std::vector<std::filesystem::path>& folders,
                                                   PathList& files, bool everyFile) {
    std::vector<std::filesystem::path> present;
    for (const auto& folder : folders) {
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec))
            present.push_back(folder);
    }
    if (present.empty())
        return Collected::Complete;
    m_marker.set(QStringLiteral("scan_folders"));
    if (auto kept = keptWalk(present, everyFile))
        return takeCollected(*kept, files);
    Outcome outcome = runWalk(present, FolderWalker::Mode::Collecting, everyFile);
    return takeCollected(outcome, files);
}

FolderSet::Collected FolderSet::takeCollected(Outcome& outcome, PathList& files) {
    if (outcome.stopped)
        return Collected::Stopped;
    if (files.empty())
        files = std::move(outcome.files);
    else
        files.append(outcome.files);
    for (const std::filesystem::path& folder : outcome.found.unreadableFolders)
        m_log.logMessage(QStringLiteral("Could not read folder: ") + pathText(folder));
    return outcome.found.unreadableFolders.empty() ? Collected::Complete : Collected::Incomplete;
}

qint64 FolderSet::SumFolderBytes() {
    m_marker.set(QStringLiteral("count_all_size_in_dirs"));
    return m_countedBytes;
}

std::optional<qint64> FolderSet::folderBytes(const std::filesystem::path& folder) const {
    const auto found = m_counts.find(folder.native());
    if (found == m_counts.end())
        return std::nullopt;
    return found->second;
}

void FolderSet::recordCount(const std::filesystem::path& folder, qint64 bytes) {
    // The count let other events run; the folder may have left the list meanwhile.
    if (!m_settings.hasFolder(folder))
        return;
    qint64& stored = m_counts[folder.native()];
    m_countedBytes += bytes - stored;
    stored = bytes;
    Q_EMIT folderCounted(folder, bytes);
}

void FolderSet::showTotals(const QString& separator) {
    const QString text = QStringLiteral("Total of all folders: ") + QString::number(m_fileCounter) +
                         separator + FormatSize(SumFolderBytes());
    Q_EMIT totalsChanged(text);
    m_log.logMessage(text);
}

void FolderSet::btAddClick() {
    m_marker.set(QStringLiteral("add_folder"));
    const auto picked =
        m_prompts.pickFolder(QStringLiteral("Quoralis2005"), QStringLiteral("Add a folder"), m_lastPicked);
    if (!picked)
        return;
    m_lastPicked = *picked;
    AddFolder(*picked);
}

void FolderSet::listFolder(const std::filesystem::path& folder) {
    m_marker.set(QStringLiteral("add_folder"));
    m_log.logMessage(QStringLiteral("Added folder ") + pathText(folder));
    m_settings.addFolder(folder);
}

void FolderSet::AddFolder(const std::filesystem::path& folder) {
    m_marker.set(QStringLiteral("add_folder"));
    m_log.logMessage(QStringLiteral("Added folder ") + pathText(folder));
    if (!m_settings.addFolder(folder))
        return;
    recordCount(folder, CountFolder(folder));
    showTotals(QStringLiteral(" files / "));
}

void FolderSet::countUncounted(bool keepForBackup) {
    // The list may change while a folder is counted; each folder is looked up again.
    const std::vector<std::filesystem::path> listed = m_settings.folders();
    for (const auto& folder : listed) {
        if (!m_settings.hasFolder(folder) || m_counts.contains(folder.native()))
            continue;
        recordCount(folder, countFolder(folder, keepForBackup));
        showTotals(QStringLiteral(" files / "));
    }
}

bool FolderSet::btRemoveClick(const std::vector<std::filesystem::path>& selected) {
    m_marker.set(QStringLiteral("remove_folder"));
    if (!m_prompts.ask(QStringLiteral("Are you sure you want to remove selected folder(s) from the list?")))
        return false;
    for (const auto& folder : selected) {
        if (m_settings.removeFolder(folder))
            m_log.logMessage(QStringLiteral("Removed folder ") + pathText(folder));
    }
    btRecalcClick();
    return true;
}

void FolderSet::btClearClick() {
    m_marker.set(QStringLiteral("clear_list"));
    if (!m_prompts.askDestructive(
            QStringLiteral("Are you sure you want to remove all folders from the list?")))
        return;
    m_settings.clearFolders();
    m_counts.clear();
    m_countedBytes = 0;
    m_sharedFolders.reset();
    // With the folders gone, their files and totals go too: the next figures are the new list's own.
    m_fileCounter = 0;
    Q_EMIT totalsChanged(QString());
    m_log.logMessage(QStringLiteral("Cleared folder list"));
}

void FolderSet::btRecalcClick() {
    m_marker.set(QStringLiteral("btrecount_click"));
    m_fileCounter = 0;
    m_marker.set(QStringLiteral("recount_dirsize"));
    const std::vector<std::filesystem::path> listed = m_settings.folders();
    for (auto folder = listed.rbegin(); folder != listed.rend(); ++folder) {
        if (!m_settings.hasFolder(*folder))
            continue; // removed while an earlier folder was counted
        recordCount(*folder, CountFolder(*folder));
    }
    showTotals(QStringLiteral(" files/"));
    const auto excludedFolders = m_settings.excludedFolders().size();
    const auto excludedTypes = m_settings.excludedTypes().size();
    if (excludedFolders > 0 || excludedTypes > 0)
        m_log.logMessage(
            QStringLiteral("%1 folders and %2 filetypes excluded").arg(excludedFolders).arg(excludedTypes));
}
