#pragma once

#include <QDateTime>
#include <QString>

#include <filesystem>
#include <functional>

class ActivityLog;
class SettingsModel;
class UserPrompts;

// The two cleanups that keep the disk from filling up: old log files in the program's
// "logs" folder (deleted without asking) and outdated archives in the destination
// (deleted after two Yes answers). Both read their options from the settings dialog
// when they run and report through the activity log, questions and event sounds.
class Housekeeping {
public:
    using SoundRequest = std::function<void(const QString& eventName)>;
    using Clock = std::function<QDateTime()>;

    Housekeeping(std::filesystem::path logDirectory, const SettingsModel& settings, ActivityLog& log,
                 UserPrompts& prompts, SoundRequest playEventSound);

    // Deletes the "*.txt" files in "logs" and its subfolders that are older than the
    // days in the settings. Does nothing while the option is switched off, unless
    // evenWhenSwitchedOff is set (the user asked for it with "delete now").
    void CleanOldLogs(bool evenWhenSwitchedOff = false);
    // Offers the program's archives in the destination ("Quoralis.zip", "Quoralis_*.zip")
    // that are older than the days in the settings for deletion, and deletes them once the
    // user has confirmed twice.
    void CheckOutdatedArchives();

    // The source of the current moment; tests fix it.
    void setClock(Clock clock) { m_clock = std::move(clock); }

private:
    std::filesystem::file_time_type threshold(int days) const;
    void playEventSound(const QString& eventName) const;

    std::filesystem::path m_logDirectory;
    const SettingsModel& m_settings;
    ActivityLog& m_log;
    UserPrompts& m_prompts;
    SoundRequest m_playEventSound;
    Clock m_clock = [] {
        return QDateTime::currentDateTime();
    };
};
