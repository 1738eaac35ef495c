#include "app/mainmenus.h"

#include "app/backupapp.h"

#include <QAction>
#include <QMenu>

namespace {

QAction* entry(QMenu* menu, const char* name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

void MainMenus::setup(QWidget* owner) {
    mainMenu = new QMenu(owner);
    mainMenu->setObjectName(QStringLiteral("MainMenu"));
    toolbarMode1 = entry(mainMenu, "toolbarMode1", QStringLiteral("Toolbar Mode"));
    NormalMode1 = entry(mainMenu, "NormalMode1", QStringLiteral("Normal Mode"));
    Configuration1 = entry(mainMenu, "Configuration1", QStringLiteral("Configuration"));
    Minimizetotray1 = entry(mainMenu, "Minimizetotray1", QStringLiteral("Minimize to tray"));
    mainRestoreFiles = entry(mainMenu, "RestoreFiles1", QStringLiteral("Restore files..."));
    QMenu* execute = mainMenu->addMenu(QStringLiteral("Execute"));
    mainBackup = entry(execute, "backup1", QStringLiteral("backup"));
    mainBackupAndClose = entry(execute, "backupandcloseprogram1", QStringLiteral("backup and close program"));
    mainBackupAndShutdown = entry(execute, "backupandshutdown1", QStringLiteral("backup and shutdown"));
    QMenu* help = mainMenu->addMenu(QStringLiteral("Help"));
    mainQuickGuide = entry(help, "QuickGuide1", QStringLiteral("Quick Guide"));
    mainHomepage = entry(help, "Homepage1", QStringLiteral("Homepage"));
    mainSupport = entry(help, "Support1", QStringLiteral("Support"));
    mainCheckUpdates = entry(mainMenu, "Checkupdates1", QStringLiteral("Check updates"));
    About1 = entry(mainMenu, "About1", QStringLiteral("About"));
    Close3 = entry(mainMenu, "Close3", QStringLiteral("Close"));

    trayMenu = new QMenu(owner);
    trayMenu->setObjectName(QStringLiteral("TrayMenu"));
    Show1 = entry(trayMenu, "Show1", QStringLiteral("Show"));
    Hide1 = entry(trayMenu, "Hide1", QStringLiteral("Hide"));
    trayConfiguration = entry(trayMenu, "Configuration2", QStringLiteral("Configuration"));
    trayRestoreFiles = entry(trayMenu, "RestoreFiles2", QStringLiteral("Restore files..."));
    QMenu* trayExecute = trayMenu->addMenu(QStringLiteral("Execute"));
    trayBackup = entry(trayExecute, "Backup2", QStringLiteral("Backup"));
    trayBackupAndClose = entry(trayExecute, "Backupandclose1", QStringLiteral("Backup and close"));
    trayBackupAndShutdown = entry(trayExecute, "Backupandshutdown2", QStringLiteral("Backup and shutdown"));
    QMenu* trayHelp = trayMenu->addMenu(QStringLiteral("Help"));
    trayQuickGuide = entry(trayHelp, "QuickGuide2", QStringLiteral("Quick Guide"));
    trayHomepage = entry(trayHelp, "Homepage2", QStringLiteral("Homepage"));
    traySupport = entry(trayHelp, "Support2", QStringLiteral("Support"));
    trayCheckUpdates = entry(trayMenu, "Checkupdates2", QStringLiteral("Check updates"));
    Close1 = entry(trayMenu, "Close1", QStringLiteral("Close"));

    backupMenu = new QMenu(owner);
    backupMenu->setObjectName(QStringLiteral("BackupMenu"));
    buttonBackup = entry(backupMenu, "backup2", QStringLiteral("backup"));
    buttonBackupAndClose =
        entry(backupMenu, "backupandcloseprogram2", QStringLiteral("backup and close program"));
    buttonBackupAndShutdown = entry(backupMenu, "backupandshutdown3", QStringLiteral("backup and shutdown"));
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
