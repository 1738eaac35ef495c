#pragma once

class BackupApp;
class QAction;
class QMenu;
class QWidget;

// The main menu, the tray menu and the Backup button's menu with their entries in order.
class MainMenus {
public:
    void setup(QWidget* owner);
    // The entries that ask the program for something without a window of their own.
    void connectTo(BackupApp& app) const;

    QMenu* mainMenu = nullptr;
    QAction* toolbarMode1 = nullptr;
    QAction* NormalMode1 = nullptr;
    QAction* Configuration1 = nullptr;
    QAction* Minimizetotray1 = nullptr;
    QAction* mainRestoreFiles = nullptr;
    QAction* mainBackup = nullptr;
    QAction* mainBackupAndClose = nullptr;
    QAction* mainBackupAndShutdown = nullptr;
    QAction* mainQuickGuide = nullptr;
    QAction* mainHomepage = nullptr;
    QAction* mainSupport = nullptr;
    QAction* mainCheckUpdates = nullptr;
    QAction* About1 = nullptr;
    QAction* Close3 = nullptr;

    QMenu* trayMenu = nullptr;
    QAction* Show1 = nullptr;
    QAction* Hide1 = nullptr;
    QAction* trayConfiguration = nullptr;
    QAction* trayRestoreFiles = nullptr;
    QAction* trayBackup = nullptr;
    QAction* trayBackupAndClose = nullptr;
    QAction* trayBackupAndShutdown = nullptr;
    QAction* trayQuickGuide = nullptr;
    QAction* trayHomepage = nullptr;
    QAction* traySupport = nullptr;
    QAction* trayCheckUpdates = nullptr;
    QAction* Close1 = nullptr;

    QMenu* backupMenu = nullptr;
    QAction* buttonBackup = nullptr;
    QAction* buttonBackupAndClose = nullptr;
    QAction* buttonBackupAndShutdown = nullptr;
};
