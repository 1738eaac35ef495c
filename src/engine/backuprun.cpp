#include "engine/backuprun.h"

#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/archivecomponent.h"
#include "engine/archivejob.h"
#include "engine/backuprunhost.h"
#include "engine/previousbackup.h"
#include "engine/progressview.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"

#include "zipengine_api.h"

#include <QScopeGuard>

#include <algorithm>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

BackupRun::BackupRun(Context context, QObject* parent)
    : QObject(parent)
    , m_c(context) {
    ArchiveComponent* zip = m_c.zip;
    connect(zip, &ArchiveComponent::OnItemProgress, this,
            [this](const fs::path& item, qint64, int) { ZIPItemProgress(item); });
    connect(zip, &ArchiveComponent::OnTotalProgress, this,
            [this](qint64, int percent) { ZIPTotalProgress(percent); });
    connect(zip, &ArchiveComponent::OnProgress, this, [this] { ZIPProgress(); });
    connect(zip, &ArchiveComponent::OnCheckTerminate, this, &BackupRun::ZIPCheckTerminate,
            Qt::DirectConnection);
    connect(zip, &ArchiveComponent::OnMessage, this, &BackupRun::ZIPMessage);
}

BackupRun::Outcome BackupRun::btBackupClick() {
    // A refused trigger leaves the flags of the run in progress alone.
    if (!m_c.host->backupAllowed()) {
        m_c.log->logMessage(QStringLiteral("Backup already running"));
        return Outcome::NotStarted;
    }
    m_c.job->beginRun();
    m_abortRequested = false;
    m_c.marker->set(QStringLiteral("btbackup_click"));
    if (m_c.host->abortPendingShutdown())
        return Outcome::NotStarted;
    m_abortRequested = false;
    if (m_c.settings->folders().empty())
        return Outcome::Stopped;
    if (!checkDestination())
        return Outcome::Stopped;

    m_c.marker->set(QStringLiteral("wait_backup"));
    m_running = true;
    // An error that escapes the run still ends the busy state, so the program stays usable.
    const auto endOnError = qScopeGuard([this] {
        if (m_running) {
            SetBackupPriority(false);
            endBusyState();
        }
    });
    m_c.host->StartWait();
    m_c.marker->set(QStringLiteral("pop_frm_show"));
    if (!m_c.host->mainWindowVisible())
        m_c.host->showToolbarWindow();
    SetBackupPriority(true);

    const std::vector<fs::path> folders = m_c.settings->folders();
    reportMissingFolders(folders);
    decideEveryFile();
    const Outcome archived =
        m_c.settings->isOn(Setting::EachFolder) ? archiveEachFolder(folders) : archiveAllFolders(folders);
    if (archived == Outcome::Cancelled)
        return Outcome::Cancelled;
    SetBackupPriority(false);
    endBusyState();
    m_backupFiles.clear();
    requestCompletionSound();
    return Outcome::Completed;
}

const QString BackupRun::NoDestinationQuestion =
    QStringLiteral("No destination selected\nChoose where backups go now?");

bool BackupRun::checkDestination() {
    const fs::path folder = m_c.settings->destination();
    if (folder.empty()) {
        m_c.host->PlayEventSound(QStringLiteral("dest_noselect"));
        if (m_c.prompts->ask(NoDestinationQuestion))
            m_c.host->chooseDestination();
        return false;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        if (m_c.settings->isOn(Setting::NotifyDestination)) {
            m_c.host->PlayEventSound(QStringLiteral("dest_notfound"));
            m_c.prompts->notify(QStringLiteral("Destination directory not present!"));
        }
        return false;
    }
    return true;
}

void BackupRun::reportMissingFolders(const std::vector<fs::path>& folders) {
    // A listed folder that is not there now (a drive unplugged, say) is no backup of it: the run
    // is incomplete, and the archive that holds its files keeps them. So is a folder with nothing
    // in it whose previous backup holds files: the mount point of a drive that is not mounted.
    m_missingFolders.clear();
    m_emptyFolders.clear();
    for (const fs::path& folder : folders) {
        std::error_code ec;
        if (fs::is_directory(folder, ec)) {
            if (!emptyWithPreviousBackup(folder))
                continue;
            m_c.log->logMessage(pathText(folder) + QStringLiteral(" is empty; its previous backup is kept"));
            m_emptyFolders.push_back(folder);
        } else {
            m_c.log->logMessage(QStringLiteral("Folder not found: ") + pathText(folder));
        }
        m_missingFolders.push_back(folder);
        m_c.job->markArchiveFailed();
    }
}

bool BackupRun::emptyWithPreviousBackup(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_empty(folder, ec) || ec)
        return false;
    if (m_c.settings->isOn(Setting::MultiArchive))
        return PreviousBackup::datedArchivesHoldFilesOf(m_c.job->seriesBaseName(folder), folder);
    const fs::path archive = ArchiveJob::archiveFileName(m_c.job->ArchiveBaseName(folder));
    return PreviousBackup::holdsFilesOf(archive, folder);
}

bool BackupRun::keptAsMissing(const fs::path& folder) const {
    return std::find(m_missingFolders.begin(), m_missingFolders.end(), folder) != m_missingFolders.end();
}

void BackupRun::decideEveryFile() {
    // An archive that is replaced holds only what this run gives it: changed files alone would
    // leave every unchanged file without a backup.
    m_everyFile = m_c.settings->isOn(Setting::DelPrev) && m_c.settings->isOn(Setting::NewOnly);
    if (m_everyFile)
        m_c.log->logMessage(QStringLiteral(
            "Changed files only is not applied: the previous backup is replaced, so every file is taken"));
}

bool BackupRun::noArchiveToUpdate(const fs::path& folder) {
    // Changed files only adds to the archive that holds the rest; where there is none (deleted,
    // or never made), unchanged files would have no backup at all. Dated archives are new on
    // every run by design and hold the changes alone.
    if (!m_c.settings->isOn(Setting::NewOnly) || m_c.settings->isOn(Setting::MultiArchive) || m_everyFile)
        return false;
    const fs::path baseName = m_c.job->ArchiveBaseName(folder);
    std::error_code ec;
    if (fs::exists(ArchiveJob::archiveFileName(baseName), ec))
        return false;
    m_c.log->logMessage(QStringLiteral("Every file is taken: there is no archive to update yet: ") +
                        pathText(baseName));
    return true;
}

bool BackupRun::updatesInPlace() const {
    // Changed files only, into an archive that is updated: the walk takes every file and the
    // archive job keeps the entries of the unchanged ones, so a file whose entry is missing
    // from that archive is added whatever its archive attribute says.
    return m_c.settings->isOn(Setting::NewOnly) && !m_c.settings->isOn(Setting::MultiArchive);
}

BackupRun::Outcome BackupRun::archiveEachFolder(const std::vector<fs::path>& folders) {
    m_c.log->logMessage(QStringLiteral("Creating seperate archives..."));
    const bool replacing = m_c.settings->isOn(Setting::DelPrev);
    // Archives that must keep what they hold: one of their folders is missing, or this run has
    // already written them for another folder of the same name.
    std::set<fs::path> missingArchives;
    for (const fs::path& folder : m_missingFolders) {
        const fs::path baseName = m_c.job->ArchiveBaseName(folder);
        missingArchives.insert(ArchiveJob::archiveFileName(baseName));
        const bool loggedAsEmpty =
            std::find(m_emptyFolders.begin(), m_emptyFolders.end(), folder) != m_emptyFolders.end();
        if (!m_c.settings->isOn(Setting::MultiArchive) && !loggedAsEmpty)
            m_c.log->logMessage(QStringLiteral("Previous backup of a missing folder is kept: ") +
                                pathText(baseName));
    }
    std::set<fs::path> madeThisRun;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec) || keptAsMissing(folder))
            continue;
        if (m_abortRequested)
            return endCancelled();
        m_backupFiles.clear();
        const bool everyFile = m_everyFile || noArchiveToUpdate(folder) || updatesInPlace();
        m_c.marker->set(QStringLiteral("scan_folders"));
        if (!collectInto(m_c.folders->CollectFolderFiles(folder, m_backupFiles, everyFile)))
            return endCancelled();
        const fs::path baseName = m_c.job->ArchiveBaseName(folder);
        const fs::path archive = ArchiveJob::archiveFileName(baseName);
        bool mayReplace = true;
        if (madeThisRun.contains(archive)) {
            mayReplace = false;
            if (replacing)
                m_c.log->logMessage(
                    QStringLiteral("Adding to the archive made for another folder of this run: ") +
                    pathText(baseName));
        } else if (missingArchives.contains(archive)) {
            mayReplace = false;
            if (replacing)
                m_c.log->logMessage(
                    QStringLiteral("Previous backup kept and updated, one of its folders is missing: ") +
                    pathText(baseName));
        }
        madeThisRun.insert(archive);
        m_c.job->MakeArchive(baseName, std::move(m_backupFiles), mayReplace, m_c.job->archiveMark(folder));
    }
    return Outcome::Completed;
}

BackupRun::Outcome BackupRun::archiveAllFolders(const std::vector<fs::path>& folders) {
    m_c.log->logMessage(QStringLiteral("Creating single archive..."));
    m_backupFiles.clear();
    const bool everyFile = m_everyFile || noArchiveToUpdate(fs::path()) || updatesInPlace();
    // A walk that was stopped holds part of the folders: no archive is made from it.
    if (!collectInto(m_c.folders->CollectFolderFiles(folders, m_backupFiles, everyFile)))
        return endCancelled();
    const fs::path baseName = m_c.job->ArchiveBaseName(fs::path());
    const bool mayReplace = m_missingFolders.empty();
    if (!mayReplace && m_c.settings->isOn(Setting::DelPrev))
        m_c.log->logMessage(
            QStringLiteral("Previous backup kept and updated, one of its folders is missing: ") +
            pathText(baseName));
    m_c.job->MakeArchive(baseName, std::move(m_backupFiles), mayReplace, m_c.job->archiveMark(fs::path()));
    return Outcome::Completed;
}

bool BackupRun::collectInto(FolderSet::Collected collected) {
    if (collected == FolderSet::Collected::Stopped)
        return false;
    if (collected == FolderSet::Collected::Incomplete)
        m_c.job->markArchiveFailed();
    return true;
}

BackupRun::Outcome BackupRun::endCancelled() {
    m_c.log->logMessage(QStringLiteral("backups aborted by user"));
    SetBackupPriority(false);
    m_c.host->PlayEventSound(QStringLiteral("backups_incomplete"));
    m_backupFiles.clear();
    endBusyState();
    return Outcome::Cancelled;
}

void BackupRun::endBusyState() {
    // The Backup button comes back only now that the run is really over.
    m_running = false;
    m_c.host->StopWait();
}

void BackupRun::requestCompletionSound() {
    const bool failed = m_c.job->archiveFailed();
    if (m_c.settings->isOn(Setting::EachFolder) || m_c.settings->isOn(Setting::MultiArchive))
        m_c.host->PlayEventSound(failed ? QStringLiteral("backups_incomplete")
                                        : QStringLiteral("backups_completed"));
    else
        m_c.host->PlayEventSound(failed ? QStringLiteral("backup_incomplete")
                                        : QStringLiteral("backup_completed"));
}

void BackupRun::btCancelClick() {
    m_c.marker->set(QStringLiteral("cancel_operation"));
    if (!confirmedWhileArchivePaused(QStringLiteral("Are you sure you want to cancel the current backup?")))
        return;
    m_c.log->logMessage(QStringLiteral("User aborted backup"));
    cancel();
}

bool BackupRun::cancelForClose(const QString& question) {
    if (!m_running)
        return true;
    m_c.marker->set(QStringLiteral("cancel_operation"));
    if (!question.isEmpty() && !confirmedWhileArchivePaused(question))
        return false;
    if (!m_abortRequested) {
        m_c.log->logMessage(QStringLiteral("Backup cancelled: the program is closing"));
        cancel();
    }
    m_c.folders->stopWalk();
    return true;
}

bool BackupRun::confirmedWhileArchivePaused(const QString& question) {
    // The archive waits while the question is open: a Yes must not find it finished meanwhile.
    m_c.zip->setPaused(true);
    const auto resume = qScopeGuard([this] { m_c.zip->setPaused(false); });
    return m_c.prompts->ask(question);
}

void BackupRun::cancel() {
    SetBackupPriority(false);
    m_abortRequested = true;
    cancelComponent();
    m_c.host->StopWait();
}

void BackupRun::cancelComponent() {
    try {
        if (m_c.zip->IsBusy())
            m_c.zip->RequestCancel();
    } catch (...) {
        // A failing cancel must not take the window down; the run notices the request anyway.
    }
}

void BackupRun::SetBackupPriority(bool on) {
    if (m_c.settings->isOn(Setting::LowPriority))
        m_c.zip->setLowPriority(on);
}

void BackupRun::ZIPItemProgress(const fs::path& item) {
    m_c.progress->showCurrentFile(item);
}

void BackupRun::ZIPTotalProgress(int percent) {
    if (m_abortRequested) {
        cancelComponent();
        m_c.host->StopWait();
        return;
    }
    m_c.progress->showPercent(percent);
}

void BackupRun::ZIPProgress() {
    if (m_abortRequested) {
        cancelComponent();
        m_c.host->StopWait();
    }
}

void BackupRun::ZIPCheckTerminate(bool& abort) {
    if (m_abortRequested)
        abort = true;
}

void BackupRun::ZIPMessage(int errorCode, const QString& message) {
    // A cancel is no error: whoever asked for it has logged it, and the archive job logs its end.
    if (errorCode == ZE_ERR_CANCELLED)
        return;
    if (errorCode != 0)
        m_c.log->logMessage(QStringLiteral("ZIP Error: ") + QString::number(errorCode) + QLatin1Char('-') +
                            message);
}
