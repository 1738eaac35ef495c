#include "housekeeping/housekeeping.h"

#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "housekeeping/filemask.h"
#include "housekeeping/oldfilesearch.h"
#include "log/activitylog.h"
#include "log/pathtext.h"

#include <algorithm>
#include <chrono>

namespace fs = std::filesystem;

namespace {

const QString lineBreak = QStringLiteral("\n\r");

QString nameOf(const fs::path& file) {
    return pathText(file.filename());
}

// Deletes a regular file; never a folder, a link or what a link points to.
bool deleteFile(const fs::path& file) {
    std::error_code ec;
    if (fs::symlink_status(file, ec).type() != fs::file_type::regular)
        return false;
    return fs::remove(file, ec) && !ec;
}

QString archiveQuestion(const std::vector<fs::path>& archives, int days) {
    QString text = QStringLiteral("The following ") + QString::number(archives.size()) +
                   QStringLiteral(" archives are older than ") + QString::number(days) +
                   QStringLiteral(" days:") + lineBreak + lineBreak;
    for (const fs::path& archive : archives)
        text += nameOf(archive) + lineBreak;
    text += lineBreak + QStringLiteral("Do you want to delete these archives?") + lineBreak +
            QStringLiteral("(You can change these settings in \"Settings > Backups\")");
    return text;
}

} // namespace

Housekeeping::Housekeeping(fs::path logDirectory, const SettingsModel& settings, ActivityLog& log,
                           UserPrompts& prompts, SoundRequest playEventSound)
    : m_logDirectory(std::move(logDirectory))
    , m_settings(settings)
    , m_log(log)
    , m_prompts(prompts)
    , m_playEventSound(std::move(playEventSound)) {}

void Housekeeping::CleanOldLogs(bool evenWhenSwitchedOff) {
    if (!evenWhenSwitchedOff && !m_settings.isOn(Setting::CleanLogs))
        return;
    const int days = m_settings.number(Setting::LogCleanDays);
    const OldFileSearch search(FileMask("*.txt"), threshold(days));
    m_log.logMessage(QStringLiteral("Looking for logs older than ") + QString::number(days) +
                     QStringLiteral(" days..."));
    search.inTree(m_logDirectory, [this](const fs::path& file) {
        if (deleteFile(file))
            m_log.logMessage(QStringLiteral("Deleted outdated log file: ") + nameOf(file));
        else
            m_log.logMessage(QStringLiteral("Unable to delete outdated log file: ") + nameOf(file));
    });
    m_log.logMessage(QStringLiteral("Logcleanup complete"));
}

void Housekeeping::CheckOutdatedArchives() {
    const fs::path destination = m_settings.destination();
    std::error_code ec;
    if (destination.empty() || !fs::is_directory(destination, ec))
        return;
    if (!m_settings.isOn(Setting::CleanBackups))
        return;

    const int days = m_settings.number(Setting::BackupCleanDays);
    m_log.logMessage(QStringLiteral("Looking for archives older than ") + QString::number(days) +
                     QStringLiteral(" days..."));
    // Only the archives this program names: a user's own ZIP files kept in the destination
    // are none of its business.
    std::vector<fs::path> outdated;
    for (const char* mask : {"Quoralis.zip", "Quoralis_*.zip"}) {
        std::vector<fs::path> found = OldFileSearch(FileMask(mask), threshold(days)).inFolder(destination);
        outdated.insert(outdated.end(), found.begin(), found.end());
    }
    std::sort(outdated.begin(), outdated.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().native() < b.filename().native();
    });
    if (outdated.empty()) {
        m_log.logMessage(QStringLiteral("No outdated archives found"));
        return;
    }
    const QString count = QString::number(outdated.size());
    m_log.logMessage(QStringLiteral("Found ") + count + QStringLiteral(" outdated archives"));

    const QString question = archiveQuestion(outdated, days);
    playEventSound(QStringLiteral("outdated_found"));
    if (!m_prompts.askDestructive(question))
        return;
    if (!m_prompts.askDestructive(QStringLiteral("Are you absolutely sure you want to delete these ") +
                                  count + QStringLiteral(" files?")))
        return;

    bool anyDeleted = false;
    for (const fs::path& archive : outdated) {
        if (deleteFile(archive)) {
            anyDeleted = true;
            m_log.logMessage(QStringLiteral("Deleted outdated backup ") + nameOf(archive));
        } else {
            m_log.logMessage(QStringLiteral("Unable to delete outdated backup ") + nameOf(archive));
        }
    }
    if (anyDeleted)
        playEventSound(QStringLiteral("outdated_deleted"));
}

void Housekeeping::playEventSound(const QString& eventName) const {
    if (m_playEventSound)
        m_playEventSound(eventName);
}

fs::file_time_type Housekeeping::threshold(int days) const {
    // N times 24 hours back: across a change to or from summer time that is not the same
    // clock time N calendar days ago.
    const qint64 thresholdMs = m_clock().toMSecsSinceEpoch() - qint64(days) * 24 * 60 * 60 * 1000;
    const std::chrono::system_clock::time_point system{std::chrono::milliseconds(thresholdMs)};
    return fs::file_time_type::clock::from_sys(system);
}
