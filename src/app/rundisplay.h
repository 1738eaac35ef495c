#pragma once

#include <QObject>

#include <filesystem>

class BackupApp;
class FolderListView;
class MainMenus;
class MainWindowUi;
class QWidget;
class ToolbarWindow;
class TrayControl;

// How a count or a backup in progress shows in the main window and the toolbar window: the
// controls that would start another disabled, the progress bars, the file being packed, Cancel,
// and the Backup button's "ABORT" while a shutdown is pending.
class RunDisplay : public QObject {
    Q_OBJECT
public:
    RunDisplay(BackupApp& app, MainWindowUi& ui, MainMenus& menus, ToolbarWindow& toolbar, TrayControl& tray,
               FolderListView& folderList, QWidget* window);

private:
    void displayBusy(bool busy);
    void displayArchiveStart();
    void displayFile(const std::filesystem::path& file);
    void displayPercent(int percent);
    void displayShutdownPending(bool pending);
    // The last backup's end in the main window, the toolbar window and the tray icon's tooltip.
    void displayLastBackup();
    void updateTrayToolTip();
    void setBusyControlsEnabled(bool enabled);

    BackupApp& m_app;
    MainWindowUi& m_ui;
    MainMenus& m_menus;
    ToolbarWindow& m_toolbar;
    TrayControl& m_tray;
    FolderListView& m_folderList;
    QWidget* m_window;
    QString m_totals; // the totals line, shown again once a run no longer shows its files there
    bool m_busy = false;
    QString m_trayTitle; // the tooltip's first line
};
