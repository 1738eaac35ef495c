#include "app/startupsequence.h"

#include "app/programlifecycle.h"
#include "app/mainwindow.h"
#include "app/traycontrol.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/archivejob.h"
#include "engine/archivecomponent.h"
#include "log/eventmarker.h"
#include "log/logviewer.h"
#include "platform/profilefile.h"
#include "widgets/skinnedbutton.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>

StartupSequence::StartupSequence(MainWindow& form, ProgramLifecycle& lifecycle)
    : m_form(form)
    , m_lifecycle(lifecycle) {}

void StartupSequence::run() {
    SettingsModel& settings = m_form.settings();
    // 1-2: the other windows.
    m_form.createWindows();
    // 3
    m_lifecycle.setAutoShutdown(false);
    m_lifecycle.setAutoClose(false);
    m_form.connectControls();
    // 4: the program folder, with its trailing separator.
    const QString programDir = m_form.programDir();
    // 5
    m_form.LogMessage(QStringLiteral("Starting Quoralis v.") + m_form.GetVersionString() +
                      QStringLiteral("..."));
    // 6
    ArchiveComponent* zip = m_form.zipMaster();
    zip->DLLDirectory = programDir + QStringLiteral("dll/");
    zip->TempDir = m_form.GetTempDir();
    // 7
    checkEngineFiles();
    if (stopped())
        return;
    // 8
    zip->SFXPath = programDir + QStringLiteral("dll/dzsfxus.bin");
    zip->LoadZipEngine();
    zip->LoadUnzipEngine();
    // 9
    QDir::setCurrent(programDir);
    m_form.applyProgramIcon();
    m_form.tray()->show();
    // 10
    try {
        m_form.LoadConfig();
    } catch (const std::exception&) {
        m_form.LogMessage(QStringLiteral("could not load config"));
    }
    if (stopped())
        return;
    m_form.folderSet()->countUncounted();
    if (stopped())
        return;
    // 11
    m_form.ui().btVersion->setText(QStringLiteral("v. ") + m_form.GetVersionString());
    // 12
    settings.setTotalBackups(static_cast<quint32>(
        platform::ProfileFile(m_form.settingsFilePath()).readInteger("stats", "total_backups", 0)));
    // 13: the viewer comes with the main window; a viewer without it would stand alone.
    m_form.logViewer()->setVisible(false);
    // 14
    m_form.RoundCorners(&m_form);
    // 15
    m_form.showAtStart(m_lifecycle.commandLine().minimized());
    // 16
    m_form.DockLogViewer();
    m_form.ui().titleStrip->setToolTip(
        QStringLiteral("Right-click for menu,\ndouble-click toggles Toolbar Mode"));
    // 17
    if (!m_lifecycle.commandLine().isEmpty()) {
        m_form.marker().set(QStringLiteral("shortcut_launch"));
        if (!applyCommandLine())
            return;
    }
    if (stopped())
        return;
    // 18
    m_form.cbAutoClick();
    // 19
    if (settings.isOn(Setting::BackupLaunch)) {
        m_form.LogMessage(QStringLiteral("Making automatic startup backup"));
        m_form.btBackupClick();
        if (stopped())
            return;
    }
    // 20
    if (settings.isOn(Setting::AutoCheck))
        m_form.CheckVersion(true);
    if (stopped())
        return;
    // 21
    if (settings.isOn(Setting::CleanBackups))
        m_form.CheckOutdatedArchives();
}

bool StartupSequence::stopped() {
    if (!m_lifecycle.hasEnded() && !m_lifecycle.terminating())
        return false;
    // The program ends before the backup its command line asked for was made.
    if (m_lifecycle.commandLine().asksForBackup() && !m_commandLineBackupDone)
        m_lifecycle.exitStatus().record(ExitStatus::BackupIncomplete);
    return true;
}

void StartupSequence::checkEngineFiles() {
    struct EngineFile {
        const char* name;
        const char* message;
    };
    static const EngineFile files[] = {
        {"dll/dzsfxus.bin", "EXE compressor is missing, please reinstall"},
        {"dll/libZipDll.so", "ZIP dll is missing, please reinstall"},
        {"dll/libUnZDll.so", "UNZIP dll is missing, please reinstall"},
        {"dll/ResDlls.res", "ZIP res file is missing, please reinstall"},
    };
    for (const EngineFile& f : files) {
        if (!QFileInfo::exists(m_form.programDir() + QLatin1String(f.name)))
            m_form.prompts().notify(QLatin1String(f.message));
    }
}

bool StartupSequence::applyCommandLine() {
    const auto launch = [this](const char* name) {
        const QString text = QLatin1String(name);
        m_form.marker().set(QStringLiteral("shortcut_launch_") + text);
        m_form.LogMessage(QStringLiteral("Executing command line \"/") + text + QStringLiteral("\"..."));
    };
    switch (m_lifecycle.commandLine().backup()) {
    case CommandLine::Backup::None:
        return true;
    case CommandLine::Backup::Auto:
        launch("auto");
        m_form.btBackupClick();
        m_commandLineBackupDone = true;
        return true;
    case CommandLine::Backup::AutoClose:
        launch("autoclose");
        m_lifecycle.setAutoClose(true);
        m_form.btBackupClick();
        m_commandLineBackupDone = true;
        m_form.close();
        return false;
    case CommandLine::Backup::AutoShutdown:
        launch("autoshutdown");
        m_lifecycle.setAutoShutdown(true);
        m_form.btBackupClick();
        m_commandLineBackupDone = true;
        // Nobody is there to abort a shutdown that never started: the program ends.
        if (!m_lifecycle.hasEnded() && !m_form.shutdownPending()) {
            m_lifecycle.setAutoShutdown(false);
            m_lifecycle.setAutoClose(true);
            m_form.close();
        }
        return false;
    }
    return true;
}
