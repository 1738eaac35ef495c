#pragma once

#include "app/appservices.h"
#include "app/exitstatus.h"
#include "app/mainmenus.h"
#include "app/singleinstancereply.h"
#include "app/mainwindowui.h"
#include "config/settingsschema.h"
#include "engine/backuprunhost.h"
#include "engine/progressview.h"
#include "log/activitylog.h"
#include "widgets/skinframe.h"

#include <QStringList>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class ArchiveJob;
class BackupRun;
class EventSounds;
class ExclusionLists;
class ExplainingOpener;
class SettingsModel;
class FolderListView;
class Housekeeping;
class IntervalTimer;
class ProgramLifecycle;
class TimedShutdown;
class ArchiveComponent;
class FolderSet;
class ResizeAffordance;
class RestoreWindow;
class TrayControl;
class WindowModes;
class WindowMover;
class WindowResizer;
class ExclusionDialog;
class ErrorReportWindow;
class SettingsDialog;
class LogViewer;
class ToolbarWindow;
class EventMarker;
class VersionCheck;
class UserPrompts;
namespace platform {
class ProfileFile;
}

// The main window. Its creation runs the start-up sequence and creates every other
// window; it owns them, the tray icon, the menus and the activity log.
class MainWindow : public QWidget, public BackupRunHost, public ProgressView {
    Q_OBJECT
public:
    MainWindow(const QString& programDir, const QStringList& arguments, const AppServices& services,
           QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; the process entry calls it right after creating the window.
    void FormCreate();
    // True once the window has closed and the process should end.
    bool hasEnded() const;
    // The process's exit status: how the backups of this run of the program went.
    int exitStatus() const;
    // The session is ending: a backup in progress is cancelled, then the close sequence
    // runs without questions of its own and the program ends, even with a shutdown pending.
    void requestTermination();
    // Another start of the program on the same settings file: come forward, or make the backup it
    // was started for once the present run has ended, and answer with that backup's status.
    void bringToFront();
    void forwardedBackupRequested(const QStringList& arguments, const SingleInstanceReply& reply);

    // The window steps of starting and ending.
    void createWindows();
    void connectControls();
    // The icon beside the program on the tray and the window; a missing one is reported.
    void applyProgramIcon();
    // Shows the windows as the settings and "/minimize" ask, or leaves them hidden.
    void showAtStart(bool minimizeArgument);
    // The size and place the settings file holds, without writing them back.
    void applyStoredGeometry(const QRect& stored);
    void fadeOutForClose();
    void hideAllWindows();
    void LoadConfig();
    void SaveConfig();
    void writeLogFile();
    // A folder of the settings file's list as the list takes it.
    std::filesystem::path listedFolderPath(const QByteArray& folder) const;

    // Operations used by the other parts of the program.
    void LogMessage(const QString& message);
    EventMarker& marker();
    UserPrompts& prompts() const { return *m_services.prompts; }
    QString programDir() const { return m_programDir; }
    std::filesystem::path settingsFilePath() const;
    std::filesystem::path logDirectory() const;
    QString GetVersionString();
    QString GetTempDir();

    void btBackupClick();
    void backupandclose1Click();
    void backupandshutdown1Click();
    void btCloseClick();
    void Close1Click();
    void btHelpClick();
    void btRestoreClick();
    // The restore window: the backups in the destination, file by file.
    void showRestoreWindow();
    void btSettingsClick();
    void SetToolbarMode();
    void SetNormalMode();
    void ShowFaded();
    void HideFaded();
    void DockLogViewer();
    void RoundCorners(QWidget* window);
    void btHideClick();
    void Minimizetotray1Click();
    void StartWait() override;
    void StopWait() override;
    void CheckOutdatedArchives();
    void btCancelClick();
    void cbAutoClick();
    void CheckVersion(bool automatic);
    void btAboutClick();
    void Homepage1Click();
    void Support1Click();
    void btNewsClick();

    // What a backup run needs of the main window.
    bool backupAllowed() const override;
    bool abortPendingShutdown() override;
    bool mainWindowVisible() const override;
    void showToolbarWindow() override;
    void prepareForNewArchive() override;
    void showCurrentFile(const QString& path) override;
    void showPercent(int percent) override;
    void PlayEventSound(const QString& eventName) override;

    bool autoClose() const;
    bool autoShutdown() const;
    bool closingWithoutQuestions() const;
    bool toolbarMode() const;
    bool fading() const;
    quint64 totalBackups() const;

    SettingsModel& settings() const { return *m_settings; }
    ExclusionLists& exclusions() const { return *m_exclusions; }
    SettingsDialog* settingsDialog() const { return m_form2; }
    ExclusionDialog* exclusionDialog() const { return m_form1; }
    FolderSet* folderSet() const { return m_folderSet; }
    FolderListView* FldrList() const { return m_fldrList; }
    ArchiveComponent* zipMaster() const { return m_zip; }
    BackupRun* backupRun() const { return m_backupRun; }
    ArchiveJob* archiveJob() const { return m_archiveJob.get(); }
    IntervalTimer* intervalTimer() const { return m_intervalTimer; }
    Housekeeping* housekeeping() const { return m_housekeeping.get(); }
    bool shutdownPending() const;
    TimedShutdown& timedShutdown() const { return *m_timedShutdown; }
    ToolbarWindow* toolbarWindow() const { return m_popFrm; }
    LogViewer* logViewer() const { return m_logFrm; }
    ErrorReportWindow* errorForm() const { return m_errorForm; }
    VersionCheck* versionCheck() const { return m_versionCheck; }
    TrayControl* tray() const { return m_tray; }
    ResizeAffordance* resizeAffordance() const { return m_resizeAffordance; }
    WindowMover* mover() const { return m_mover; }
    WindowResizer* resizer() const { return m_resizer; }
    ActivityLog& activityLog() { return m_log; }
    const MainWindowUi& ui() const { return m_ui; }
    const MainMenus& menus() const { return m_menus; }

Q_SIGNALS:
    // The close sequence has let the window close: the process ends.
    void programEnded();
    void eventSoundRequested(const QString& eventName);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createBackupEngine();
    void createEventSounds();
    void FormResize();
    void btExcludeClick();
    void settingChanged(Setting setting);
    void TrayIconClick();
    void TrayIconDblClick();
    void toggleToolbarMode();
    void toolbarWindowDropped(const QPoint& topLeft);
    void showLogViewerChanged(bool show);
    void MainMenuPopup();
    void updateTrayMenuVisibility();
    void setBusyControlsEnabled(bool enabled);
    void setWindowOpenersEnabled(bool enabled);
    void showMainMenuAt(const QPoint& globalPos);
    bool confirmClose();

    QString m_programDir;
    AppServices m_services;
    std::unique_ptr<SettingsModel> m_settings;
    SkinFrame m_skin;
    MainWindowUi m_ui;
    MainMenus m_menus;
    ActivityLog m_log;
    std::unique_ptr<ExclusionLists> m_exclusions;

    ErrorReportWindow* m_errorForm = nullptr;
    ToolbarWindow* m_popFrm = nullptr;
    SettingsDialog* m_form2 = nullptr;
    ExclusionDialog* m_form1 = nullptr;
    FolderListView* m_fldrList = nullptr;
    FolderSet* m_folderSet = nullptr;
    ArchiveComponent* m_zip = nullptr;
    std::unique_ptr<ArchiveJob> m_archiveJob;
    BackupRun* m_backupRun = nullptr;
    std::unique_ptr<TimedShutdown> m_timedShutdown;
    IntervalTimer* m_intervalTimer = nullptr;
    LogViewer* m_logFrm = nullptr;
    TrayControl* m_tray = nullptr;
    VersionCheck* m_versionCheck = nullptr;
    std::unique_ptr<WindowModes> m_modes;
    ResizeAffordance* m_resizeAffordance = nullptr;
    WindowMover* m_mover = nullptr;
    WindowResizer* m_resizer = nullptr;
    RestoreWindow* m_restore = nullptr;
    std::unique_ptr<ExplainingOpener> m_opener;

    std::unique_ptr<Housekeeping> m_housekeeping;
    EventSounds* m_eventSounds = nullptr;

    bool m_loadingConfig = false;
    std::unique_ptr<ProgramLifecycle> m_lifecycle;
    // The size FormResize wrote last.
    QSize m_writtenSize{-1, -1};
};
