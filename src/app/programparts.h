#pragma once

#include "app/appservices.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>

class ArchiveComponent;
class ArchiveJob;
class BackupRun;
class BackupRunEvents;
class ErrorReport;
class EventSounds;
class ExclusionLists;
class ExplainingOpener;
class FolderSet;
class Housekeeping;
class IntervalTimer;
class LastBackup;
class BackupEndNotifier;
class ProgramView;
class SettingsModel;
class TimedShutdown;
class UserPrompts;
class VersionCheck;

// The components of the program and the places it works in: what start-up, the settings load
// and save and the close sequence work on. Owns every component; whatever shows the program is
// only referred to.
class ProgramParts {
public:
    // What the components need of the program that holds them.
    struct Hooks {
        std::function<void()> saveSettings;
        std::function<void()> closeProgram;
        std::function<void(const QString& message)> reportError;
        // An error report was answered: the program ends.
        std::function<void()> endOnErrorReport;
    };

    ProgramParts(const QString& programDir, const AppServices& services, const Hooks& hooks);
    ~ProgramParts();
    ProgramParts(const ProgramParts&) = delete;
    ProgramParts& operator=(const ProgramParts&) = delete;

    // The program folder, with its trailing separator.
    const QString& programDir() const { return m_programDir; }
    std::filesystem::path settingsFile() const;
    std::filesystem::path logFolder() const;
    // A folder of the settings file's list as the list takes it.
    std::filesystem::path listedFolderPath(const QByteArray& folder) const;

    void setMarker(const QString& code) { m_marker.set(code); }
    // The program's version; sets the event marker get_version.
    QString programVersion();
    // Writes this run's log lines into a new file of the log folder; throws when it cannot.
    void writeLogFile();

    ProgramView& programView() const { return *m_view; }
    void setView(ProgramView* view);

    UserPrompts& prompts() const { return *m_services.prompts; }
    const AppServices& services() const { return m_services; }
    SettingsModel& settings() const { return *m_settings; }
    ActivityLog& activityLog() { return m_log; }
    EventMarker& marker() { return m_marker; }
    ExclusionLists& exclusions() const { return *m_exclusions; }
    FolderSet& folderSet() const { return *m_folderSet; }
    ArchiveComponent& archiveComponent() const { return *m_zip; }
    ArchiveJob& archiveJob() const { return *m_archiveJob; }
    BackupRun& backupRun() const { return *m_backupRun; }
    TimedShutdown& timedShutdown() const { return *m_timedShutdown; }
    IntervalTimer& intervalTimer() const { return *m_intervalTimer; }
    LastBackup& lastBackup() const { return *m_lastBackup; }
    BackupEndNotifier& backupEndNotifier() const { return *m_backupEndNotifier; }
    Housekeeping& housekeeping() const { return *m_housekeeping; }
    EventSounds& eventSounds() const { return *m_eventSounds; }
    BackupRunEvents& runEvents() const { return *m_runEvents; }
    VersionCheck& versionChecker() const { return *m_versionCheck; }
    ErrorReport& errorReporter() const { return *m_errorReport; }
    ExplainingOpener& opener() const { return *m_opener; }

private:
    QString m_programDir;
    AppServices m_services;
    std::unique_ptr<ProgramView> m_noView;
    ProgramView* m_view;
    std::unique_ptr<SettingsModel> m_settings;
    ActivityLog m_log;
    EventMarker m_marker;
    std::unique_ptr<BackupRunEvents> m_runEvents;
    std::unique_ptr<ExclusionLists> m_exclusions;
    std::unique_ptr<ExplainingOpener> m_opener;
    std::unique_ptr<EventSounds> m_eventSounds;
    std::unique_ptr<FolderSet> m_folderSet;
    std::unique_ptr<ArchiveComponent> m_zip;
    std::unique_ptr<ArchiveJob> m_archiveJob;
    std::unique_ptr<BackupRun> m_backupRun;
    std::unique_ptr<TimedShutdown> m_timedShutdown;
    std::unique_ptr<IntervalTimer> m_intervalTimer;
    std::unique_ptr<LastBackup> m_lastBackup;
    std::unique_ptr<BackupEndNotifier> m_backupEndNotifier;
    std::unique_ptr<Housekeeping> m_housekeeping;
    std::unique_ptr<VersionCheck> m_versionCheck;
    std::unique_ptr<ErrorReport> m_errorReport;
};
