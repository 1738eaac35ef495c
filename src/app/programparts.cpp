#include "app/programparts.h"

#include "app/backupendnotifier.h"
#include "app/lastbackup.h"

#include "app/explainingopener.h"
#include "app/programview.h"
#include "app/timedshutdown.h"
#include "backupset/exclusionlists.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "engine/archivecomponent.h"
#include "engine/archivejob.h"
#include "engine/backuprun.h"
#include "engine/backuprunevents.h"
#include "housekeeping/housekeeping.h"
#include "log/logfilewriter.h"
#include "log/pathtext.h"
#include "online/errorreport.h"
#include "online/versioncheck.h"
#include "platform/systeminfo.h"
#include "schedule/intervaltimer.h"
#include "sound/eventsounds.h"

#include <QDir>

namespace {

QString withTrailingSeparator(QString dir) {
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

} // namespace

ProgramParts::ProgramParts(const QString& programDir, const AppServices& services, const Hooks& hooks)
    : m_programDir(withTrailingSeparator(programDir))
    , m_services(services)
    , m_noView(std::make_unique<ProgramView>())
    , m_view(m_noView.get())
    , m_settings(std::make_unique<SettingsModel>()) {
    m_runEvents = std::make_unique<BackupRunEvents>();
    m_exclusions = std::make_unique<ExclusionLists>(*m_settings, m_log, m_marker);
    m_opener = std::make_unique<ExplainingOpener>(*m_services.shell, *m_services.prompts);

    EventSounds::Context sounds;
    sounds.soundFolder = QDir(m_programDir).filePath(QStringLiteral("sounds"));
    sounds.output = m_services.waveOutput;
    sounds.voiceChoice = [this] {
        return m_settings->number(Setting::Voice);
    };
    sounds.mainWindowVisible = [this] {
        return m_runEvents->mainWindowVisible();
    };
    // A missing recording is reported like any unexpected error, and the operation that
    // asked for the sound goes on: a backup run still closes or shuts down as asked.
    sounds.reportError = hooks.reportError;
    m_eventSounds = std::make_unique<EventSounds>(sounds);

    m_folderSet =
        std::make_unique<FolderSet>(*m_settings, *m_services.prompts, m_log, m_marker, *m_runEvents);
    m_zip = std::make_unique<ArchiveComponent>();

    ArchiveJob::Context job;
    job.zip = m_zip.get();
    job.settings = m_settings.get();
    job.log = &m_log;
    job.marker = &m_marker;
    job.prompts = m_services.prompts;
    job.progress = m_runEvents.get();
    job.settingsFilePath = [this] {
        return settingsFile();
    };
    m_archiveJob = std::make_unique<ArchiveJob>(job);
    m_folderSet->setArchiveMarks([archiveJob = m_archiveJob.get()](const std::filesystem::path& folder) {
        return archiveJob->archiveMark(folder);
    });

    BackupRun::Context run;
    run.host = m_runEvents.get();
    run.folders = m_folderSet.get();
    run.settings = m_settings.get();
    run.zip = m_zip.get();
    run.job = m_archiveJob.get();
    run.log = &m_log;
    run.marker = &m_marker;
    run.prompts = m_services.prompts;
    run.progress = m_runEvents.get();
    m_backupRun = std::make_unique<BackupRun>(run);

    m_timedShutdown =
        std::make_unique<TimedShutdown>(m_services.shutdown, m_log, m_marker, *m_services.prompts);
    m_intervalTimer = std::make_unique<IntervalTimer>();
    m_lastBackup = std::make_unique<LastBackup>();
    m_backupEndNotifier = std::make_unique<BackupEndNotifier>(m_services.notifier, *m_settings);
    m_housekeeping =
        std::make_unique<Housekeeping>(logFolder(), *m_settings, m_log, *m_services.prompts,
                                       [this](const QString& name) { m_eventSounds->PlayEventSound(name); });

    VersionCheck::Context check;
    check.log = &m_log;
    check.marker = &m_marker;
    check.prompts = m_services.prompts;
    check.versionString = [this] {
        return programVersion();
    };
    check.playEventSound = [this](const QString& name) {
        m_eventSounds->PlayEventSound(name);
    };
    check.openAddress = [this](const QUrl& address) {
        m_opener->openWebAddress(address);
    };
    check.saveConfig = hooks.saveSettings;
    check.closeMainWindow = hooks.closeProgram;
    m_versionCheck = std::make_unique<VersionCheck>(check);
    m_errorReport = std::make_unique<ErrorReport>(m_marker);
    m_errorReport->setReporting(m_services.prompts, hooks.endOnErrorReport);
}

ProgramParts::~ProgramParts() = default;

void ProgramParts::setView(ProgramView* view) {
    m_view = view ? view : m_noView.get();
}

std::filesystem::path ProgramParts::settingsFile() const {
    if (!m_services.settingsFile.empty())
        return m_services.settingsFile;
    return pathFromText(m_programDir + QStringLiteral("Quoralis2005Config.ini"));
}

std::filesystem::path ProgramParts::logFolder() const {
    if (!m_services.logDirectory.empty())
        return m_services.logDirectory;
    return pathFromText(m_programDir + QStringLiteral("logs/"));
}

std::filesystem::path ProgramParts::listedFolderPath(const QByteArray& folder) const {
    // A relative folder is taken from the program directory, where it was meant; later the
    // current directory moves to the destination and it would find nothing.
    std::filesystem::path path(folder.toStdString());
    if (path.is_relative())
        path = (pathFromText(m_programDir) / path).lexically_normal();
    return path;
}

QString ProgramParts::programVersion() {
    setMarker(QStringLiteral("get_version"));
    return platform::SystemInfo::programVersion();
}

void ProgramParts::writeLogFile() {
    // Made first, so that a folder whose name is no valid text is reached under another name.
    const std::filesystem::path folder = logFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    LogFileWriter::write(platform::SystemInfo::folderText(folder), m_log.lines());
}
