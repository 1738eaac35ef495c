#include "backupset/folderset.h"

#include "backupset/busystate.h"
#include "backupset/folderlistview.h"
#include "backupset/formatsize.h"
#include "backupset/tform1.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"
#include "widgets/userprompts.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QLabel>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <stdexcept>

FolderSet::FolderSet(FolderListView* list, QLabel* totals, UserPrompts& prompts, ActivityLog& log,
                     EventMarker& marker, BusyState& busy, TForm1& exclusions,
                     std::function<WalkFlags()> flags, QObject* parent)
    : QObject(parent)
    , m_list(list)
    , m_totals(totals)
    , m_prompts(prompts)
    , m_log(log)
    , m_marker(marker)
    , m_busy(busy)
    , m_exclusions(exclusions)
    , m_flags(std::move(flags)) {
    m_pool.setMaxThreadCount(2);
}

FolderSet::~FolderSet() {
    m_pool.waitForDone();
}

std::vector<std::filesystem::path> FolderSet::folders() const {
    return m_list->folders();
}

WalkOptions FolderSet::currentOptions(bool everyFile) const {
    WalkOptions options;
    const WalkFlags flags = m_flags ? m_flags() : WalkFlags{};
    options.newOnly = flags.newOnly && !everyFile;
    options.includeHidden = flags.includeHidden;
    options.destination = flags.destination;
    options.listedFolders = m_list->sharedFolders();
    options.excludedFolders = m_exclusions.excludedFolders();
    for (const QString& type : m_exclusions.excludedTypes())
        options.excludedTypes.push_back(type.toStdString());
    return options;
}

FolderSet::Outcome FolderSet::runWalk(const std::vector<std::filesystem::path>& folders,
                                      FolderWalker::Mode mode, bool everyFile) {
    auto walker = std::make_shared<FolderWalker>(currentOptions(everyFile));
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
    m_busy.StartWait();
    const Outcome outcome = runWalk({folder}, FolderWalker::Mode::Counting);
    m_fileCounter += outcome.found.files;
    m_busy.StopWait();
    return outcome.failed ? 0 : static_cast<qint64>(outcome.found.bytes);
}

FolderSet::Collected FolderSet::CollectFolderFiles(const std::filesystem::path& folder, PathList& files,
                                                   bool everyFile) {
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
    for (const std::string& folder : outcome.found.unreadableFolders)
        m_log.logMessage(QStringLiteral("Could not read folder: ") + pathText(folder));
    return outcome.found.unreadableFolders.empty() ? Collected::Complete : Collected::Incomplete;
}

qint64 FolderSet::SumFolderBytes() {
    m_marker.set(QStringLiteral("count_all_size_in_dirs"));
    qint64 sum = 0;
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i) {
        QString text = m_list->topLevelItem(i)->text(FolderListView::BytesColumn);
        text.remove(QLatin1Char(' ')).remove(QLatin1Char(',')).remove(QLatin1Char('$'));
        bool ok = false;
        const qint64 bytes = text.toLongLong(&ok);
        if (!ok)
            throw std::runtime_error("'" + text.toStdString() + "' is not a valid integer value");
        sum += bytes;
    }
    return sum;
}

void FolderSet::showTotals(const QString& separator) {
    const QString text = QStringLiteral("Total of all folders: ") + QString::number(m_fileCounter) +
                         separator + FormatSize(SumFolderBytes());
    m_totals->setText(text);
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

void FolderSet::AddFolder(const std::filesystem::path& folder) {
    m_marker.set(QStringLiteral("add_folder"));
    m_log.logMessage(QStringLiteral("Added folder ") + FolderListView::displayText(folder));
    if (m_list->findFolder(folder))
        return;
    const qint64 bytes = CountFolder(folder);
    // The count let other events run; the same folder may have been added meanwhile.
    QTreeWidgetItem* row = m_list->findFolder(folder);
    if (!row)
        row = m_list->addFolderRow(folder);
    row->setText(FolderListView::SizeColumn, FormatSize(bytes));
    row->setText(FolderListView::BytesColumn, QString::number(bytes));
    showTotals(QStringLiteral(" files / "));
}

void FolderSet::btRemoveClick() {
    m_marker.set(QStringLiteral("remove_folder"));
    if (!m_prompts.ask(QStringLiteral("Are you sure you want to remove selected folder(s) from the list?")))
        return;
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* row = m_list->topLevelItem(i);
        if (!row->isSelected())
            continue;
        m_log.logMessage(QStringLiteral("Removed folder ") + row->text(FolderListView::FolderColumn));
        delete row;
    }
    btRecalcClick();
}

void FolderSet::btClearClick() {
    m_marker.set(QStringLiteral("clear_list"));
    if (!m_prompts.ask(QStringLiteral("Are you sure you want to remove all folders from the list?")))
        return;
    m_list->clear();
    // With the folders gone, their files and totals go too: the next figures are the new list's own.
    m_fileCounter = 0;
    m_totals->clear();
    m_log.logMessage(QStringLiteral("Cleared folder list"));
}

void FolderSet::btRecalcClick() {
    m_marker.set(QStringLiteral("btrecount_click"));
    m_fileCounter = 0;
    m_marker.set(QStringLiteral("recount_dirsize"));
    std::vector<QTreeWidgetItem*> rows;
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i)
        rows.push_back(m_list->topLevelItem(i));
    for (QTreeWidgetItem* row : rows) {
        if (m_list->indexOfTopLevelItem(row) < 0)
            continue; // removed while an earlier folder was counted
        const std::filesystem::path folder = FolderListView::folderOf(row);
        const qint64 bytes = CountFolder(folder);
        if (m_list->indexOfTopLevelItem(row) < 0)
            continue;
        row->setText(FolderListView::SizeColumn, FormatSize(bytes));
        row->setText(FolderListView::BytesColumn, QString::number(bytes));
    }
    showTotals(QStringLiteral(" files/"));
    const auto excludedFolders = m_exclusions.excludedFolders().size();
    const auto excludedTypes = m_exclusions.excludedTypes().size();
    if (excludedFolders > 0 || excludedTypes > 0)
        m_log.logMessage(
            QStringLiteral("%1 folders and %2 filetypes excluded").arg(excludedFolders).arg(excludedTypes));
}

void FolderSet::btExcludeClick() {
    m_exclusions.exec();
    if (m_saveSettings)
        m_saveSettings();
    btRecalcClick();
}
