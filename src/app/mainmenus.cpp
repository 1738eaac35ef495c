#include "app/mainmenus.h"

#include "app/backupapp.h"

#include <QAction>
#include <QMenu>

namespace {

QAction* menuEntry(QMenu* menu, const char* name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

void MainMenus::setup(QWidget* owner) {
    mainMenu = new QMenu(owner);
    mainMenu->setObjectName(QStringLiteral("MainMenu"));
    toolbarMode1 = menuEntry(mainMenu, "toolbarMode1", QStringLiteral("Toolbar Mode"));
    NormalMode1 = menuEntry(mainMenu, "NormalMode1", QStringLiteral("Normal Mode"));
    Configuration1 = menuEntry(mainMenu, "Configuration1", QStringLiteral("Configuration"));
    Minimizetotray1 = menuEntry(mainMenu, "Minimizetotray1", QStringLiteral("Minimize to tray"));
    mainRestoreFiles = menuEntry(mainMenu, "RestoreFiles1", QStringLiteral("Restore files..."));
    QMenu* execute = mainMenu->addMenu(QStringLiteral("Execute"));
    mainBackup = menuEntry(execute, "backup1", QStringLiteral("backup"));
    mainBackupAndClose =
        menuEntry(execute, "backupandcloseprogram1", QStringLiteral("backup and close program"));
    mainBackupAndShutdown = menuEntry(execute, "backupandshutdown1", QStringLiteral("backup and shutdown"));
    QMenu* help = mainMenu->addMenu(QStringLiteral("Help"));
    mainQuickGuide = menuEntry(help, "QuickGuide1", QStringLiteral("Quick Guide"));
    mainHomepage = menuEntry(help, "Homepage1", QStringLiteral("Homepage"));
    mainSupport = menuEntry(help, "Support1", QStringLiteral("Support"));
    mainCheckUpdates = menuEntry(mainMenu, "Checkupdates1", QStringLiteral("Check updates"));
    About1 = menuEntry(mainMenu, "About1", QStringLiteral("About"));
    Close3 = menuEntry(mainMenu, "Close3", QStringLiteral("Close"));

    trayMenu = new QMenu(owner);
    trayMenu->setObjectName(QStringLiteral("TrayMenu"));
    Show1 = menuEntry(trayMenu, "Show1", QStringLiteral("Show"));
    Hide1 = menuEntry(trayMenu, "Hide1", QStringLiteral("Hide"));
    trayConfiguration = menuEntry(trayMenu, "Configuration2", QStringLiteral("Configuration"));
    trayRestoreFiles = menuEntry(trayMenu, "RestoreFiles2", QStringLiteral("Restore files..."));
    QMenu* trayExecute = trayMenu->addMenu(QStringLiteral("Execute"));
    trayBackup = menuEntry(trayExecute, "Backup2", QStringLiteral("Backup"));
    trayBackupAndClose = menuEntry(trayExecute, "Backupandclose1", QStringLiteral("Backup and close"));
    trayBackupAndShutdown =
        menuEntry(trayExecute, "Backupandshutdown2", QStringLiteral("Backup and shutdown"));
    QMenu* trayHelp = trayMenu->addMenu(QStringLiteral("Help"));
    trayQuickGuide = menuEntry(trayHelp, "QuickGuide2", QStringLiteral("Quick Guide"));
    trayHomepage = menuEntry(trayHelp, "Homepage2", QStringLiteral("Homepage"));
    traySupport = menuEntry(trayHelp, "Support2", QStringLiteral("Support"));
    trayCheckUpdates = menuEntry(trayMenu, "Checkupdates2", QStringLiteral("Check updates"));
    Close1 = menuEntry(trayMenu, "Close1", QStringLiteral("Close"));

    backupMenu = new QMenu(owner);
    backupMenu->setObjectName(QStringLiteral("BackupMenu"));
    buttonBackup = menuEntry(backupMenu, "backup2", QStringLiteral("backup"));
    buttonBackupAndClose =
        menuEntry(backupMenu, "backupandcloseprogram2", QStringLiteral("backup and close program"));
    buttonBackupAndShutdown =
        menuEntry(backupMenu, "backupandshutdown3", QStringLiteral("backup and shutdown"));
}

void MainMenus::connectTo(BackupApp& app) const {
    const auto each = [&app](std::initializer_list<QAction*> actions, void (BackupApp::*request)()) {
        for (QAction* action : actions)
            QObject::connect(action, &QAction::triggered, &app, request);
    };
    each({mainBackup, trayBackup, buttonBackup}, &BackupApp::backup);
    each({mainBackupAndClose, trayBackupAndClose, buttonBackupAndClose}, &BackupApp::backupAndClose);
    each({mainBackupAndShutdown, trayBackupAndShutdown, buttonBackupAndShutdown},
         &BackupApp::backupAndShutdown);
    each({mainQuickGuide, trayQuickGuide}, &BackupApp::openQuickGuide);
    each({mainHomepage, trayHomepage}, &BackupApp::openHomepage);
    each({mainSupport, traySupport}, &BackupApp::openSupport);
    each({About1}, &BackupApp::showAbout);
    for (QAction* action : {mainCheckUpdates, trayCheckUpdates})
        QObject::connect(action, &QAction::triggered, &app, [&app] { app.checkVersion(false); });
}
