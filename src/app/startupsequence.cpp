#include "app/startupsequence.h"

#include "app/lastbackup.h"

#include "app/programlifecycle.h"
#include "app/programparts.h"
#include "app/programview.h"
#include "app/settingssequence.h"
#include "app/timedshutdown.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/archivecomponent.h"
#include "housekeeping/housekeeping.h"
#include "online/versioncheck.h"
#include "platform/profilefile.h"
#include "platform/systeminfo.h"
#include "schedule/intervaltimer.h"

#include <QDir>
#include <QFileInfo>

StartupSequence::StartupSequence(ProgramParts& parts, ProgramLifecycle& lifecycle)
    : m_parts(parts)
    , m_lifecycle(lifecycle) {}

void StartupSequence::runSteps() {
    SettingsModel& settings = m_parts.settings();
    // 1-2: the windows are there already.
    m_parts.setMarker(QStringLiteral("program_start"));
    // 3
    m_lifecycle.setAutoShutdown(false);
    m_lifecycle.setAutoClose(false);
    // 4: the program folder, with its trailing separator.
    const QString programDir = m_parts.programDir();
    // 5
    m_parts.activityLog().logMessage(QStringLiteral("Starting Quoralis v.") + m_parts.programVersion() +
                                     QStringLiteral("..."));
    // 6
    ArchiveComponent& zip = m_parts.archiveComponent();
    zip.DLLDirectory = programDir + QStringLiteral("dll/");
    m_parts.setMarker(QStringLiteral("get_temp_dir"));
    zip.TempDir = platform::SystemInfo::tempDir();
    // 7
    checkEngineFiles();
    if (stopped())
        return;
    // 8
    zip.SFXPath = programDir + QStringLiteral("dll/dzsfxus.bin");
    zip.LoadZipEngine();
    zip.LoadUnzipEngine();
    // 9
    QDir::setCurrent(programDir);
    m_parts.programView().showProgramIcon();
    // 10
    try {
        SettingsSequence(m_parts).LoadConfig();
    } catch (const std::exception&) {
        m_parts.activityLog().logMessage(QStringLiteral("could not load config"));
    }
    if (stopped())
        return;
    // A backup that follows at once takes the files these counts find instead of walking again.
    const bool backupFollows =
        m_lifecycle.commandLine().asksForBackup() || settings.isOn(Setting::BackupLaunch);
    m_parts.folderSet().countUncounted(backupFollows);
    if (stopped())
        return;
    // 12
    settings.setTotalBackups(static_cast<quint32>(
        platform::ProfileFile(m_parts.settingsFile()).readInteger("stats", "total_backups", 0)));
    m_parts.lastBackup().load(m_parts.settingsFile());
    // 13-16
    m_parts.programView().showAtStart(m_lifecycle.commandLine().minimized());
    // 17
    if (!m_lifecycle.commandLine().hasNoArguments()) {
        m_parts.setMarker(QStringLiteral("shortcut_launch"));
        if (!applyCommandLine())
            return;
    }
    if (stopped())
        return;
    // 18
    m_parts.intervalTimer().cbAutoClick(settings.isOn(Setting::TimerEnabled),
                                        settings.number(Setting::TimerInterval));
    // 19
    if (settings.isOn(Setting::BackupLaunch)) {
        m_parts.activityLog().logMessage(QStringLiteral("Making automatic startup backup"));
        m_lifecycle.runBackup();
        if (stopped())
            return;
    }
    m_parts.folderSet().dropKeptWalks();
    // 20
    if (settings.isOn(Setting::AutoCheck))
        m_parts.versionChecker().CheckVersion(true);
    if (stopped())
        return;
    // 21
    if (settings.isOn(Setting::CleanBackups))
        m_parts.housekeeping().CheckOutdatedArchives();
}

bool StartupSequence::stopped() {
    if (!m_lifecycle.hasEnded() && !m_lifecycle.terminating())
        return false;
    // The program ends before the backup its command line asked for was made.
    if (m_lifecycle.commandLine().asksForBackup() && !m_commandLineBackupDone)
        m_lifecycle.runStatus().record(ExitStatus::BackupIncomplete);
    return true;
}

void StartupSequence::checkEngineFiles() {
    struct EngineFile {
        const char* name;
        const char* message;
    };
    static const EngineFile files[] = {
        {"dll/dzsfxus.bin", "EXE compressor is missing, please reinstall"},
        {"dll/" QUORALIS_ZIPDLL_FILE, "ZIP dll is missing, please reinstall"},
        {"dll/" QUORALIS_UNZDLL_FILE, "UNZIP dll is missing, please reinstall"},
        {"dll/ResDlls.res", "ZIP res file is missing, please reinstall"},
    };
    for (const EngineFile& f : files) {
        if (!QFileInfo::exists(m_parts.programDir() + QLatin1String(f.name)))
            m_parts.prompts().notify(QLatin1String(f.message));
    }
}

bool StartupSequence::applyCommandLine() {
    const auto launch = [this](const char* name) {
        const QString text = QLatin1String(name);
        m_parts.setMarker(QStringLiteral("shortcut_launch_") + text);
        m_parts.activityLog().logMessage(QStringLiteral("Executing command line \"/") + text +
                                         QStringLiteral("\"..."));
    };
    switch (m_lifecycle.commandLine().backup()) {
    case CommandLine::Backup::None:
        return true;
    case CommandLine::Backup::Auto:
        launch("auto");
        m_lifecycle.runBackup();
        m_commandLineBackupDone = true;
        return true;
    case CommandLine::Backup::AutoClose:
        launch("autoclose");
        m_lifecycle.setAutoClose(true);
        m_lifecycle.runBackup();
        m_commandLineBackupDone = true;
        m_lifecycle.closeProgram();
        return false;
    case CommandLine::Backup::AutoShutdown:
        launch("autoshutdown");
        m_lifecycle.setAutoShutdown(true);
        m_lifecycle.runBackup();
        m_commandLineBackupDone = true;
        // Nobody is there to abort a shutdown that never started: the program ends.
        if (!m_lifecycle.hasEnded() && !m_parts.timedShutdown().pending()) {
            m_lifecycle.setAutoShutdown(false);
            m_lifecycle.setAutoClose(true);
            m_lifecycle.closeProgram();
        }
        return false;
    }
    return true;
}
