#include "app/rundisplay.h"

#include "app/backupapp.h"
#include "app/lastbackup.h"
#include "app/mainmenus.h"
#include "app/mainwindowui.h"
#include "app/timedshutdown.h"
#include "app/toolbarwindow.h"
#include "app/traycontrol.h"
#include "backupset/folderlistview.h"
#include "backupset/folderset.h"
#include "engine/backuprunevents.h"
#include "log/pathtext.h"
#include "platform/systeminfo.h"
#include "schedule/intervaltimer.h"
#include "widgets/picturebutton.h"
#include "widgets/shortenedpath.h"
#include "widgets/skinnedbutton.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>

namespace {
const QString kTitle = QStringLiteral("Quoralis2005");
}

RunDisplay::RunDisplay(BackupApp& app, MainWindowUi& ui, MainMenus& menus, ToolbarWindow& toolbar,
                       TrayControl& tray, FolderListView& folderList, QWidget* window)
    : QObject(window)
    , m_app(app)
    , m_ui(ui)
    , m_menus(menus)
    , m_toolbar(toolbar)
    , m_tray(tray)
    , m_folderList(folderList)
    , m_window(window)
    , m_trayTitle(kTitle + QStringLiteral(" click to open")) {
    const BackupRunEvents& events = app.runEvents();
    connect(&events, &BackupRunEvents::busyChanged, this, &RunDisplay::displayBusy);
    connect(&events, &BackupRunEvents::archiveStarting, this, &RunDisplay::displayArchiveStart);
    connect(&events, &BackupRunEvents::currentFileShown, this, &RunDisplay::displayFile);
    connect(&events, &BackupRunEvents::percentShown, this, &RunDisplay::displayPercent);
    connect(&app.timedShutdown(), &TimedShutdown::pendingChanged, this, &RunDisplay::displayShutdownPending);
    connect(&app.lastBackup(), &LastBackup::changed, this, &RunDisplay::displayLastBackup);
    connect(&app.folderSet(), &FolderSet::totalsChanged, this,
            [this](const QString& totals) { m_totals = totals; });
    connect(&app.intervalTimer(), &IntervalTimer::countdownChanged, this, &RunDisplay::updateTrayToolTip);
    displayLastBackup();
}

void RunDisplay::displayLastBackup() {
    const LastBackup& last = m_app.lastBackup();
    if (!m_busy) {
        m_ui.backupStatusLabel->setText(last.statusText());
        m_ui.backupStatusLabel->setToolTip(last.statusText());
    }
    if (last.result() != LastBackup::Result::None)
        m_toolbar.setBackupSummary(last.shortText());
    updateTrayToolTip();
}

void RunDisplay::updateTrayToolTip() {
    if (m_busy) {
        m_tray.setToolTip(kTitle + QStringLiteral("\nBackup in progress..."));
        return;
    }
    QString tip = m_trayTitle + QLatin1Char('\n') + m_app.lastBackup().statusText();
    // The time it is due, not the countdown: the tip changes only when that time does.
    const IntervalTimer& timer = m_app.intervalTimer();
    if (timer.isRunning())
        tip +=
            QStringLiteral("\nNext backup at ") +
            QLocale::system().toString(QTime::currentTime().addMSecs(static_cast<int>(timer.remainingMs())),
                                       QLocale::ShortFormat);
    if (tip != m_tray.toolTip())
        m_tray.setToolTip(tip);
}

void RunDisplay::displayBusy(bool busy) {
    m_busy = busy;
    m_menus.trayBackup->setEnabled(!busy);
    setBusyControlsEnabled(!busy);
    m_toolbar.backupButton()->setEnabled(!busy);
    m_toolbar.menuButton()->setEnabled(!busy);
    if (busy) {
        m_menus.buttonBackupAndShutdown->setEnabled(false);
        m_menus.trayBackupAndShutdown->setEnabled(false);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_ui.placeOverlays(m_window);
        m_ui.WaitPanel->show();
        m_ui.PLabel->setText(QStringLiteral("Backup in progress..."));
        m_ui.backupStatusLabel->setText(QStringLiteral("Backup in progress..."));
        updateTrayToolTip();
        m_ui.WaitPanel->repaint();
        return;
    }
    m_trayTitle = kTitle + QStringLiteral(" - doubleclick to open");
    // The files a run showed there were its progress, not the totals of the list.
    m_ui.TotalLabel->setText(m_totals);
    displayLastBackup();
    // After a cancel the run may still be winding down; Backup! waits for its real end.
    m_ui.btBackup->setEnabled(m_app.canStartBackup());
    m_toolbar.setCancelShown(false);
    m_toolbar.PBar()->hide();
    m_menus.buttonBackupAndShutdown->setEnabled(platform::SystemInfo::isNtFamily());
    m_menus.trayBackupAndShutdown->setEnabled(platform::SystemInfo::isNtFamily());
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    m_ui.WaitPanel->hide();
    m_ui.PPanel->hide();
    m_window->update();
}

void RunDisplay::setBusyControlsEnabled(bool enabled) {
    for (QPushButton* button : {m_ui.btSettings, m_ui.btAdd, m_ui.btRemove, m_ui.btClear, m_ui.btBackup,
                                m_ui.btRecalc, m_ui.btExclude})
        button->setEnabled(enabled);
    m_folderList.setRemovingEnabled(enabled);
}

void RunDisplay::displayArchiveStart() {
    m_ui.PBar->setValue(0);
    m_toolbar.PBar()->setValue(0);
    m_toolbar.PBar()->setVisible(true);
    m_toolbar.PBar()->repaint();
    m_toolbar.setCancelShown(true);
    m_ui.placeOverlays(m_window);
    m_ui.PPanel->setVisible(true);
    m_ui.PPanel->repaint();
}

void RunDisplay::displayFile(const std::filesystem::path& file) {
    const QString path = pathText(file);
    m_ui.TotalLabel->setText(
        ShortenedPath::fit(path, m_ui.TotalLabel->fontMetrics(), m_ui.TotalLabel->width()));
    m_toolbar.showPath(path);
}

void RunDisplay::displayPercent(int percent) {
    m_ui.PBar->setValue(percent);
    m_toolbar.PBar()->setValue(percent);
}

void RunDisplay::displayShutdownPending(bool pending) {
    if (pending) {
        m_ui.btBackup->setText(QStringLiteral("ABORT"));
        m_ui.btBackup->setToolTip(QStringLiteral("Cancel system shutdown"));
    } else {
        m_ui.btBackup->setText(QStringLiteral("Backup!"));
        m_ui.btBackup->setToolTip(QStringLiteral("Make backup now, right click for options"));
    }
}
