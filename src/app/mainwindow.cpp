#include "app/mainwindow.h"

#include "app/explainingopener.h"
#include "app/programlifecycle.h"
#include "app/quoralisapplication.h"
#include "app/resizeaffordance.h"
#include "app/settingssequence.h"
#include "app/shellopener.h"
#include "app/singleinstancereply.h"
#include "app/startupsequence.h"
#include "app/timedshutdown.h"
#include "app/toolbarwindow.h"
#include "app/traycontrol.h"
#include "app/windowmodes.h"
#include "backupset/exclusionlists.h"
#include "backupset/folderlistview.h"
#include "backupset/folderset.h"
#include "backupset/exclusiondialog.h"
#include "config/settingsmodel.h"
#include "config/settingsdialog.h"
#include "core/userprompts.h"
#include "engine/archivejob.h"
#include "engine/backuprun.h"
#include "engine/archivecomponent.h"
#include "housekeeping/housekeeping.h"
#include "log/logfilewriter.h"
#include "log/pathtext.h"
#include "log/logviewer.h"
#include "online/errorreportwindow.h"
#include "online/versioncheck.h"
#include "online/weblinks.h"
#include "platform/profilebatch.h"
#include "platform/profilefile.h"
#include "platform/systeminfo.h"
#include "restore/restorewindow.h"
#include "schedule/intervaltimer.h"
#include "sound/eventsounds.h"
#include "widgets/picturebutton.h"
#include "widgets/roundedshape.h"
#include "widgets/screenfit.h"
#include "widgets/shortenedpath.h"
#include "widgets/skinnedbutton.h"
#include "widgets/skinpalette.h"
#include "widgets/windowmover.h"
#include "widgets/windowresizer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace {

const QString kTitle = QStringLiteral("Quoralis2005");
constexpr int kMinWidth = 490;
constexpr int kMinHeight = 330;
constexpr int kResizeBorder = 5;

QString withTrailingSeparator(QString dir) {
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

} // namespace

MainWindow::MainWindow(const QString& programDir, const QStringList& arguments, const AppServices& services,
               QWidget* parent)
    : QWidget(parent)
    , m_programDir(withTrailingSeparator(programDir))
    , m_services(services)
    , m_settings(std::make_unique<SettingsModel>())
    , m_skin(QDir(programDir).filePath(QStringLiteral("skins")), QStringLiteral("main"),
             QMargins(6, MainWindowUi::kTitleHeight, 6, 6)) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(kTitle);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    m_skin.setFallbackColours(SkinPalette::background(), SkinPalette::titleStrip());
    m_ui.setup(this, m_skin.borders());
    m_menus.setup(this);
    m_lifecycle = std::make_unique<ProgramLifecycle>(*this, arguments);
    connect(m_lifecycle.get(), &ProgramLifecycle::programEnded, this, &MainWindow::programEnded);
}

MainWindow::~MainWindow() {
    // The windows and components made here refer to the log, the settings and each other; they go
    // first, while all of those still exist. What ends the program goes before all of them: it
    // refers to them.
    m_lifecycle.reset();
    m_backupRun = nullptr;
    m_timedShutdown.reset();
    while (!children().isEmpty())
        delete children().constFirst();
}

bool MainWindow::toolbarMode() const {
    return m_settings->isOn(Setting::ToolbarMode);
}

bool MainWindow::fading() const {
    return m_settings->isOn(Setting::WindowFading);
}

EventMarker& MainWindow::marker() {
    return m_errorForm->marker();
}

std::filesystem::path MainWindow::settingsFilePath() const {
    if (!m_services.settingsFile.empty())
        return m_services.settingsFile;
    return pathFromText(withTrailingSeparator(m_programDir) + QStringLiteral("Quoralis2005Config.ini"));
}

void MainWindow::writeLogFile() {
    // Made first, so that a folder whose name is no valid text is reached under another name.
    const std::filesystem::path folder = logDirectory();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    LogFileWriter::write(platform::SystemInfo::folderText(folder), m_log.lines());
}

std::filesystem::path MainWindow::logDirectory() const {
    if (!m_services.logDirectory.empty())
        return m_services.logDirectory;
    return pathFromText(withTrailingSeparator(m_programDir) + QStringLiteral("logs/"));
}

void MainWindow::LogMessage(const QString& message) {
    m_log.logMessage(message);
}

QString MainWindow::GetVersionString() {
    marker().set(QStringLiteral("get_version"));
    return platform::SystemInfo::programVersion();
}

QString MainWindow::GetTempDir() {
    marker().set(QStringLiteral("get_temp_dir"));
    return platform::SystemInfo::tempDir();
}

void MainWindow::createWindows() {
    m_errorForm = new ErrorReportWindow(this);
    m_errorForm->setWindowFlag(Qt::Window);
    m_errorForm->hide();
    marker().set(QStringLiteral("program_start"));
    if (auto* app = QuoralisApplication::instance())
        app->setUnhandledErrorHandler(
            [form = m_errorForm](const QString& message) { form->showError(message); });
    m_errorForm->setReporting(m_services.prompts, [this] { m_lifecycle->endOnErrorReport(); });

    createEventSounds();
    const QString skinsDir = QDir(m_programDir).filePath(QStringLiteral("skins"));
    m_popFrm = new ToolbarWindow(skinsDir, this);
    m_popFrm->setFadingSource([this] { return fading(); });
    RoundCorners(m_popFrm);
    m_exclusions = std::make_unique<ExclusionLists>(*m_settings, m_log, marker());
    m_form1 = new ExclusionDialog(*m_exclusions, *m_settings, *m_services.prompts, this);
    m_form1->hide();
    m_form2 = new SettingsDialog(*m_settings, *m_services.prompts, this);
    m_form2->hide();
    for (QWidget* window :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(m_popFrm), static_cast<QWidget*>(m_form1),
          static_cast<QWidget*>(m_form2), static_cast<QWidget*>(m_errorForm)})
        ScreenFit::keepOnScreen(window);
    m_logFrm = new LogViewer(m_log, skinsDir, this);
    m_logFrm->setFadingSource([this] { return fading(); });
    RoundCorners(m_logFrm);
    connect(&m_log, &ActivityLog::messageLogged, m_popFrm, &ToolbarWindow::setStatus);

    m_folderSet = new FolderSet(*m_settings, *m_services.prompts, m_log, marker(), *this, this);
    m_fldrList = new FolderListView(*m_settings, *m_folderSet, this);
    m_opener = std::make_unique<ExplainingOpener>(*m_services.shell, *m_services.prompts);
    m_ui.listArea->addWidget(m_fldrList, 1);
    connect(m_folderSet, &FolderSet::totalsChanged, m_ui.TotalLabel, &QLabel::setText);

    createBackupEngine();
    m_housekeeping = std::make_unique<Housekeeping>(logDirectory(), *m_settings, m_log, *m_services.prompts,
                                                    [this](const QString& name) { PlayEventSound(name); });

    VersionCheck::Context check;
    check.log = &m_log;
    check.marker = &marker();
    check.prompts = m_services.prompts;
    check.versionString = std::bind_front(&MainWindow::GetVersionString, this);
    check.playEventSound = std::bind_front(&MainWindow::PlayEventSound, this);
    check.openAddress = std::bind_front(&ExplainingOpener::openWebAddress, m_opener.get());
    check.saveConfig = std::bind_front(&MainWindow::SaveConfig, this);
    check.closeMainWindow = std::bind_front(&QWidget::close, this);
    m_versionCheck = new VersionCheck(check, this);

    m_tray = new TrayControl(m_menus.trayMenu, m_services.trayAvailable, this);
    m_tray->setToolTip(kTitle + QStringLiteral(" click to open"));

    WindowModes::Context modes;
    modes.main = this;
    modes.toolbar = m_popFrm;
    modes.logViewer = m_logFrm;
    modes.menus = &m_menus;
    modes.tray = m_tray;
    modes.settings = m_settings.get();
    modes.marker = &marker();
    modes.settingsFilePath = [this] {
        return settingsFilePath();
    };
    m_modes = std::make_unique<WindowModes>(modes);

    m_resizeAffordance = new ResizeAffordance(this, m_ui.btResize, [this] {
        RoundCorners(this);
        DockLogViewer();
    });
    m_mover = new WindowMover(this);
    // The background and the edges of the frame move the window; its corners do not.
    m_mover->watch(
        this, [this](const QPoint& pos) { return m_skin.areaAt(pos, size()) != SkinFrame::Area::Corner; });
    m_mover->watch(m_ui.titleStrip);
    m_mover->watch(m_ui.buttonColumn);
    // Made after the mover: a press on an edge resizes before it could start a drag.
    m_resizer = new WindowResizer(this, kResizeBorder);
    m_resizer->addGrip(m_ui.btResize, Qt::BottomEdge | Qt::RightEdge);
}

void MainWindow::createEventSounds() {
    EventSounds::Context sounds;
    sounds.soundFolder = QDir(m_programDir).filePath(QStringLiteral("sounds"));
    sounds.output = m_services.waveOutput;
    sounds.voiceChoice = [this] {
        return m_settings->number(Setting::Voice);
    };
    sounds.mainWindowVisible = [this] {
        return mainWindowVisible();
    };
    // A missing recording is reported like any unexpected error, and the operation that
    // asked for the sound goes on: a backup run still closes or shuts down as asked.
    sounds.reportError = [this](const QString& message) {
        if (auto* app = QuoralisApplication::instance())
            app->reportUnhandledError(message);
        else
            m_errorForm->showError(message);
    };
    m_eventSounds = new EventSounds(sounds, this);
    connect(m_eventSounds, &EventSounds::requested, this, &MainWindow::eventSoundRequested);
}

void MainWindow::createBackupEngine() {
    m_zip = new ArchiveComponent(this);
    ArchiveJob::Context job;
    job.zip = m_zip;
    job.settings = m_settings.get();
    job.log = &m_log;
    job.marker = &marker();
    job.prompts = m_services.prompts;
    job.progress = this;
    job.settingsFilePath = [this] {
        return settingsFilePath();
    };
    m_archiveJob = std::make_unique<ArchiveJob>(job);
    m_form2->setExampleNameProvider([this] { return m_archiveJob->ExampleArchiveName(); });

    BackupRun::Context run;
    run.host = this;
    run.folders = m_folderSet;
    run.settings = m_settings.get();
    run.zip = m_zip;
    run.job = m_archiveJob.get();
    run.log = &m_log;
    run.marker = &marker();
    run.prompts = m_services.prompts;
    run.progress = this;
    m_backupRun = new BackupRun(run, this);

    m_timedShutdown = std::make_unique<TimedShutdown>(m_ui.btBackup, m_services.shutdown, m_log, marker(),
                                                      *m_services.prompts, this);
    connect(m_timedShutdown.get(), &TimedShutdown::refused, m_lifecycle.get(),
            &ProgramLifecycle::shutdownRefused);
    connect(m_timedShutdown.get(), &TimedShutdown::overdue, m_lifecycle.get(),
            &ProgramLifecycle::shutdownRefused);
    m_intervalTimer = new IntervalTimer(this);
}

void MainWindow::connectControls() {
    connect(m_ui.btClose, &PictureButton::clicked, this, &MainWindow::btCloseClick);
    connect(m_ui.btHelp, &PictureButton::clicked, this, &MainWindow::btHelpClick);
    connect(m_ui.btHide, &PictureButton::clicked, this, &MainWindow::btHideClick);
    connect(m_ui.btMenu, &PictureButton::clicked, this,
            [this] { showMainMenuAt(m_ui.btMenu->mapToGlobal(QPoint(0, 12))); });
    m_ui.titleStrip->installEventFilter(this);
    m_ui.titleStrip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.titleStrip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showMainMenuAt(m_ui.titleStrip->mapToGlobal(pos)); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showMainMenuAt(mapToGlobal(pos)); });

    connect(m_ui.btSettings, &QPushButton::clicked, this, &MainWindow::btSettingsClick);
    connect(m_ui.btBackup, &QPushButton::clicked, this, &MainWindow::btBackupClick);
    connect(m_ui.btBackup, &QPushButton::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menus.backupMenu->popup(m_ui.btBackup->mapToGlobal(pos)); });
    connect(m_ui.btRestore, &QPushButton::clicked, this, &MainWindow::btRestoreClick);
    // The backups themselves, file by file: the right-click on Restore and both menus.
    m_ui.btRestore->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.btRestore, &QWidget::customContextMenuRequested, this, &MainWindow::showRestoreWindow);
    for (QAction* a : {m_menus.mainRestoreFiles, m_menus.trayRestoreFiles})
        connect(a, &QAction::triggered, this, &MainWindow::showRestoreWindow);
    connect(m_ui.btAdd, &QPushButton::clicked, m_folderSet, &FolderSet::btAddClick);
    connect(m_ui.btRemove, &QPushButton::clicked, this,
            [this] { m_folderSet->btRemoveClick(m_fldrList->selectedFolders()); });
    connect(m_fldrList, &FolderListView::removeSelectedRequested, m_ui.btRemove, &QPushButton::click);
    connect(m_fldrList, &FolderListView::openFolderRequested, this,
            [this](const std::filesystem::path& folder) { m_opener->openFolder(folder); });
    connect(m_ui.btClear, &QPushButton::clicked, m_folderSet, &FolderSet::btClearClick);
    connect(m_ui.btRecalc, &QPushButton::clicked, m_folderSet, &FolderSet::btRecalcClick);
    connect(m_ui.btExclude, &QPushButton::clicked, this, &MainWindow::btExcludeClick);

    connect(m_menus.toolbarMode1, &QAction::triggered, this, &MainWindow::SetToolbarMode);
    connect(m_menus.NormalMode1, &QAction::triggered, this, &MainWindow::SetNormalMode);
    connect(m_menus.Configuration1, &QAction::triggered, this, &MainWindow::btSettingsClick);
    connect(m_menus.Minimizetotray1, &QAction::triggered, this, &MainWindow::Minimizetotray1Click);
    for (QAction* a : {m_menus.mainBackup, m_menus.trayBackup, m_menus.buttonBackup})
        connect(a, &QAction::triggered, this, &MainWindow::btBackupClick);
    for (QAction* a : {m_menus.mainBackupAndClose, m_menus.trayBackupAndClose, m_menus.buttonBackupAndClose})
        connect(a, &QAction::triggered, this, &MainWindow::backupandclose1Click);
    for (QAction* a :
         {m_menus.mainBackupAndShutdown, m_menus.trayBackupAndShutdown, m_menus.buttonBackupAndShutdown})
        connect(a, &QAction::triggered, this, &MainWindow::backupandshutdown1Click);
    for (QAction* a : {m_menus.mainQuickGuide, m_menus.trayQuickGuide})
        connect(a, &QAction::triggered, this, &MainWindow::btHelpClick);
    connect(m_menus.Close3, &QAction::triggered, this, &MainWindow::Close1Click);
    connect(m_menus.Close1, &QAction::triggered, this, &MainWindow::Close1Click);
    connect(m_menus.Show1, &QAction::triggered, this, &MainWindow::SetNormalMode);
    connect(m_menus.Hide1, &QAction::triggered, this, &MainWindow::btHideClick);
    connect(m_menus.trayConfiguration, &QAction::triggered, this, &MainWindow::btSettingsClick);
    connect(m_menus.mainMenu, &QMenu::aboutToShow, this, &MainWindow::MainMenuPopup);

    for (QAction* a : {m_menus.mainHomepage, m_menus.trayHomepage})
        connect(a, &QAction::triggered, this, &MainWindow::Homepage1Click);
    for (QAction* a : {m_menus.mainSupport, m_menus.traySupport})
        connect(a, &QAction::triggered, this, &MainWindow::Support1Click);
    for (QAction* a : {m_menus.mainCheckUpdates, m_menus.trayCheckUpdates})
        connect(a, &QAction::triggered, this, [this] { CheckVersion(false); });
    connect(m_menus.About1, &QAction::triggered, this, &MainWindow::btAboutClick);
    connect(m_ui.btVersion, &QAbstractButton::clicked, this, [this] { CheckVersion(false); });
    connect(m_form2, &SettingsDialog::updateRequested, this, [this] { CheckVersion(false); });
    connect(m_form2, &SettingsDialog::newsletterRequested, this, &MainWindow::btNewsClick);
    connect(m_tray, &TrayControl::clicked, this, &MainWindow::TrayIconClick);
    connect(m_tray, &TrayControl::doubleClicked, this, &MainWindow::TrayIconDblClick);
    connect(m_mover, &WindowMover::moveFinished, this, &MainWindow::DockLogViewer);
    connect(m_resizer, &WindowResizer::resizeFinished, this, [this] { m_modes->placedByHand(); });

    connect(m_popFrm, &ToolbarWindow::menuRequested, this, &MainWindow::showMainMenuAt);
    connect(m_popFrm, &ToolbarWindow::backgroundDoubleClicked, this, &MainWindow::SetNormalMode);
    connect(m_popFrm, &ToolbarWindow::dropped, this, &MainWindow::toolbarWindowDropped);
    connect(m_popFrm->backupButton(), &PictureButton::clicked, this, &MainWindow::btBackupClick);
    connect(m_popFrm->closeButton(), &PictureButton::clicked, this, &MainWindow::btCloseClick);

    connect(m_ui.btCancel, &QPushButton::clicked, this, &MainWindow::btCancelClick);
    connect(m_popFrm->cancelButton(), &PictureButton::clicked, this, &MainWindow::btCancelClick);
    connect(m_settings.get(), &SettingsModel::changed, this, &MainWindow::settingChanged);
    connect(m_intervalTimer, &IntervalTimer::titleChanged, this, &QWidget::setWindowTitle);
    connect(m_intervalTimer, &IntervalTimer::countdownChanged, m_ui.TimerLabel, &QLabel::setText);
    connect(m_intervalTimer, &IntervalTimer::countdownVisibleChanged, m_ui.TimerLabel, &QLabel::setVisible);
    connect(m_intervalTimer, &IntervalTimer::backupDue, this, &MainWindow::btBackupClick);
    connect(m_form2, &SettingsDialog::deleteLogsNowRequested, this, [this] { m_housekeeping->CleanOldLogs(true); });
    connect(m_logFrm, &LogViewer::hiddenByUser, this, [this] { m_settings->setOn(Setting::ShowLog, false); });
}

void MainWindow::FormCreate() {
    StartupSequence(*this, *m_lifecycle).run();
}

void MainWindow::applyProgramIcon() {
    const QString iconPath = m_programDir + QStringLiteral("QS2005.ico");
    if (QFileInfo::exists(iconPath)) {
        const QIcon icon(iconPath);
        m_tray->setIcon(icon);
        setWindowIcon(icon);
    } else {
        m_errorForm->showError(QStringLiteral("Cannot open file \"") + iconPath +
                               QStringLiteral("\". No such file or directory"));
    }
}

void MainWindow::showAtStart(bool minimizeArgument) {
    if (m_settings->isOn(Setting::StartHidden))
        m_modes->startHidden();
    else if (!minimizeArgument && !toolbarMode())
        ShowFaded();
    else if (minimizeArgument && !toolbarMode() && !m_tray->hasTray())
        m_modes->startHidden();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window manager's close (Alt+F4) asks what the close button asks; during a backup the
    // close itself asks whether to cancel it.
    if (event->spontaneous() && !hasEnded() && !m_backupRun->isRunning() && !confirmClose()) {
        event->ignore();
        return;
    }
    m_lifecycle->closeRequested(event);
}

bool MainWindow::confirmClose() {
    return m_services.prompts->ask(QStringLiteral("Are you sure you want to close Quoralis2005?"));
}

void MainWindow::fadeOutForClose() {
    m_modes->closeFadeOut();
}

void MainWindow::hideAllWindows() {
    m_popFrm->hide();
    m_logFrm->hide();
    m_form2->hide();
    m_tray->hide();
    hide();
}

void MainWindow::btCloseClick() {
    marker().set(QStringLiteral("close_program"));
    Close1Click();
}

void MainWindow::Close1Click() {
    // During a backup the close itself asks whether to cancel it.
    if (m_backupRun->isRunning() || confirmClose())
        close();
}

bool MainWindow::hasEnded() const {
    return m_lifecycle->hasEnded();
}

int MainWindow::exitStatus() const {
    return m_lifecycle->exitStatus().code();
}

bool MainWindow::autoClose() const {
    return m_lifecycle->autoClose();
}

bool MainWindow::autoShutdown() const {
    return m_lifecycle->autoShutdown();
}

bool MainWindow::closingWithoutQuestions() const {
    return m_lifecycle->closingWithoutQuestions();
}

void MainWindow::requestTermination() {
    m_lifecycle->requestTermination();
}

void MainWindow::btHelpClick() {
    m_opener->openFile(m_programDir + QStringLiteral("help/Quoralis2005.html"));
}

void MainWindow::showRestoreWindow() {
    if (!m_restore)
        m_restore = new RestoreWindow(
            [this] { return m_settings->destination(); }, *m_services.prompts,
            [this](const std::filesystem::path& folder) { m_opener->openFolder(folder); }, this);
    m_restore->setEnabled(!m_backupRun->isRunning());
    m_restore->showRestore();
}

void MainWindow::btRestoreClick() {
    const std::filesystem::path destination = m_settings->destination();
    std::error_code ec;
    if (!destination.empty() && std::filesystem::is_directory(destination, ec))
        m_opener->openFolder(destination);
    else
        m_services.prompts->notify(QStringLiteral("Destination not set or not found"));
}

void MainWindow::btSettingsClick() {
    m_form2->exec();
    SaveConfig();
}

void MainWindow::backupandclose1Click() {
    m_lifecycle->backupAndClose();
}

void MainWindow::backupandshutdown1Click() {
    m_lifecycle->backupAndShutdown();
}

void MainWindow::PlayEventSound(const QString& eventName) {
    m_eventSounds->PlayEventSound(eventName);
}

void MainWindow::CheckVersion(bool automatic) {
    m_versionCheck->CheckVersion(automatic);
}

void MainWindow::btAboutClick() {
    m_services.prompts->notify(WebLinks::aboutText(GetVersionString()));
}

void MainWindow::Homepage1Click() {
    m_opener->openWebAddress(WebLinks::homepage());
}

void MainWindow::Support1Click() {
    m_opener->openWebAddress(WebLinks::supportMail());
}

void MainWindow::btNewsClick() {
    m_opener->openWebAddress(WebLinks::newsletter());
}

void MainWindow::LoadConfig() {
    SettingsSequence(*this).LoadConfig();
}

void MainWindow::SaveConfig() {
    SettingsSequence(*this).SaveConfig();
}

void MainWindow::btBackupClick() {
    m_lifecycle->runBackup();
}

void MainWindow::bringToFront() {
    if (hasEnded())
        return;
    if (toolbarMode()) {
        m_popFrm->showFaded();
        m_popFrm->raise();
        m_popFrm->activateWindow();
        return;
    }
    if (!isVisible() || isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        ShowFaded();
    }
    raise();
    activateWindow();
}

void MainWindow::forwardedBackupRequested(const QStringList& arguments, const SingleInstanceReply& reply) {
    m_lifecycle->forwardedBackupRequested(arguments, reply);
}

void MainWindow::btCancelClick() {
    m_backupRun->btCancelClick();
}

bool MainWindow::backupAllowed() const {
    return m_ui.btBackup->isEnabled();
}

bool MainWindow::shutdownPending() const {
    return m_timedShutdown->pending();
}

bool MainWindow::abortPendingShutdown() {
    return m_lifecycle->abortPendingShutdown();
}

bool MainWindow::mainWindowVisible() const {
    return isVisible();
}

void MainWindow::showToolbarWindow() {
    m_popFrm->showFaded();
}

void MainWindow::prepareForNewArchive() {
    m_ui.PBar->setValue(0);
    m_popFrm->PBar()->setValue(0);
    m_popFrm->PBar()->setVisible(true);
    m_popFrm->PBar()->repaint();
    m_popFrm->setCancelShown(true);
    m_ui.placeOverlays(this);
    m_ui.PPanel->setVisible(true);
    m_ui.PPanel->repaint();
}

void MainWindow::showCurrentFile(const QString& path) {
    m_ui.TotalLabel->setText(
        ShortenedPath::fit(path, m_ui.TotalLabel->fontMetrics(), m_ui.TotalLabel->width()));
    m_popFrm->showPath(path);
}

void MainWindow::showPercent(int percent) {
    m_ui.PBar->setValue(percent);
    m_popFrm->PBar()->setValue(percent);
}

void MainWindow::cbAutoClick() {
    m_intervalTimer->cbAutoClick(m_settings->isOn(Setting::TimerEnabled),
                                 m_settings->number(Setting::TimerInterval));
}

quint64 MainWindow::totalBackups() const {
    return m_settings->totalBackups();
}

void MainWindow::StartWait() {
    m_intervalTimer->pause();
    m_menus.trayBackup->setEnabled(false);
    setBusyControlsEnabled(false);
    setWindowOpenersEnabled(false);
    m_menus.buttonBackupAndShutdown->setEnabled(false);
    m_menus.trayBackupAndShutdown->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_ui.placeOverlays(this);
    m_ui.WaitPanel->show();
    m_ui.PLabel->setText(QStringLiteral("Backup in progress..."));
    m_tray->setToolTip(kTitle);
    m_ui.WaitPanel->repaint();
    m_popFrm->backupButton()->setEnabled(false);
    m_popFrm->menuButton()->setEnabled(false);
}

void MainWindow::StopWait() {
    marker().set(QStringLiteral("stop_wait"));
    m_tray->setToolTip(kTitle + QStringLiteral(" - doubleclick to open"));
    m_intervalTimer->resume(m_settings->isOn(Setting::TimerEnabled));
    m_menus.trayBackup->setEnabled(true);
    setBusyControlsEnabled(true);
    setWindowOpenersEnabled(true);
    // After a cancel the run may still be winding down; Backup! waits for its real end.
    m_ui.btBackup->setEnabled(!m_backupRun->isRunning());
    m_popFrm->setCancelShown(false);
    m_popFrm->PBar()->hide();
    m_menus.buttonBackupAndShutdown->setEnabled(platform::SystemInfo::isNtFamily());
    m_menus.trayBackupAndShutdown->setEnabled(platform::SystemInfo::isNtFamily());
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    m_ui.WaitPanel->hide();
    m_ui.PPanel->hide();
    m_popFrm->backupButton()->setEnabled(true);
    m_popFrm->menuButton()->setEnabled(true);
    update();
    if (!toolbarMode() && m_popFrm->isVisible())
        m_popFrm->hideFaded();
}

void MainWindow::SetToolbarMode() {
    m_modes->SetToolbarMode();
}

void MainWindow::SetNormalMode() {
    m_modes->SetNormalMode();
}

void MainWindow::ShowFaded() {
    m_modes->ShowFaded();
}

void MainWindow::HideFaded() {
    m_modes->HideFaded();
}

void MainWindow::DockLogViewer() {
    if (m_modes)
        m_modes->DockLogViewer();
}

void MainWindow::RoundCorners(QWidget* window) {
    RoundedShape::apply(window);
}

void MainWindow::btHideClick() {
    m_modes->minimizeToTray();
}

void MainWindow::Minimizetotray1Click() {
    m_modes->minimizeAllToTray();
}

void MainWindow::toolbarWindowDropped(const QPoint& topLeft) {
    const QPoint place = ScreenFit::onScreen(QRect(topLeft, m_popFrm->size())).topLeft();
    platform::ProfileBatch ini(settingsFilePath());
    ini.writeInteger("settings", "toolbar_x", place.x());
    ini.writeInteger("settings", "toolbar_y", place.y());
    ini.commit();
}

void MainWindow::showLogViewerChanged(bool show) {
    if (!show) {
        if (m_logFrm->isVisible())
            m_logFrm->Fhide();
        return;
    }
    // A hidden or minimized main window shows the viewer when it comes back.
    if (isVisible() && !isMinimized() && !toolbarMode() && !m_logFrm->isVisible()) {
        DockLogViewer();
        m_logFrm->Fshow();
    }
}

void MainWindow::applyStoredGeometry(const QRect& stored) {
    m_loadingConfig = true;
    move(stored.topLeft());
    resize(stored.size());
    // A stored place off the screens of now (a screen since removed, another scale, a damaged
    // file) would leave the window where nobody can reach it.
    ScreenFit::fit(this, m_modes->dockedViewerRoom());
    m_loadingConfig = false;
}

void MainWindow::FormResize() {
    if (m_loadingConfig || !isVisible())
        return;
    // The side that changed, in one replacement of the file: a drag along one side writes only that side.
    platform::ProfileBatch ini(settingsFilePath());
    if (width() != m_writtenSize.width())
        ini.writeInteger("settings", "width", width());
    m_writtenSize.setWidth(width());
    if (height() != m_writtenSize.height())
        ini.writeInteger("settings", "height", height());
    m_writtenSize.setHeight(height());
    ini.commit();
    DockLogViewer();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_modes)
        m_modes->geometryChanged();
    m_ui.placeOverlays(this);
    RoundCorners(this);
    if (m_form2)
        FormResize();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    DockLogViewer();
    updateTrayMenuVisibility();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_modes)
        m_modes->geometryChanged();
    // The viewer follows while the window is dragged; the drag's end docks it again.
    if (m_logFrm && m_logFrm->isVisible())
        DockLogViewer();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_skin.paint(painter, rect());
    if (m_resizeAffordance && m_resizeAffordance->isActive()) {
        // The band that resizes the window, shown while the resize button asks for it.
        painter.setPen(QPen(SkinPalette::accent(), kResizeBorder));
        painter.setBrush(Qt::NoBrush);
        const int half = kResizeBorder / 2;
        painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 4, 4);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_modes)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !isMinimized() && isVisible())
        m_modes->restoredFromTaskBar();
    if (!(change->oldState() & Qt::WindowMaximized) && isMaximized())
        m_modes->maximizeRequested();
}

void MainWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateTrayMenuVisibility();
}

void MainWindow::updateTrayMenuVisibility() {
    m_menus.Hide1->setVisible(isVisible());
    m_menus.Show1->setVisible(!isVisible());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // ITBMDblClick: a double-click on the title strip toggles toolbar mode.
    if (watched == m_ui.titleStrip && event->type() == QEvent::MouseButtonDblClick) {
        toggleToolbarMode();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::TrayIconClick() {
    if (isVisible()) {
        HideFaded();
    } else {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        ShowFaded();
    }
}

void MainWindow::TrayIconDblClick() {
    toggleToolbarMode();
}

void MainWindow::toggleToolbarMode() {
    m_modes->toggleToolbarMode();
}

void MainWindow::MainMenuPopup() {
    m_menus.NormalMode1->setVisible(toolbarMode());
    m_menus.toolbarMode1->setVisible(!toolbarMode());
}

void MainWindow::showMainMenuAt(const QPoint& globalPos) {
    m_menus.mainMenu->popup(globalPos);
}

std::filesystem::path MainWindow::listedFolderPath(const QByteArray& folder) const {
    // A relative folder is taken from the program directory, where it was meant; later the
    // current directory moves to the destination and it would find nothing.
    std::filesystem::path path(folder.toStdString());
    if (path.is_relative())
        path = (pathFromText(m_programDir) / path).lexically_normal();
    return path;
}

void MainWindow::btExcludeClick() {
    m_form1->exec();
    SaveConfig();
    m_folderSet->btRecalcClick();
}

void MainWindow::settingChanged(Setting setting) {
    switch (setting) {
    case Setting::TimerEnabled:
    case Setting::TimerInterval:
        cbAutoClick();
        break;
    case Setting::ShowLog:
        showLogViewerChanged(m_settings->isOn(Setting::ShowLog));
        break;
    default:
        break;
    }
}

void MainWindow::CheckOutdatedArchives() {
    m_housekeeping->CheckOutdatedArchives();
}

void MainWindow::setWindowOpenersEnabled(bool enabled) {
    // A window with a loop of its own, opened while a run waits, would hold the run until it closed.
    for (QAction* action : {m_menus.Configuration1, m_menus.trayConfiguration, m_menus.mainCheckUpdates,
                            m_menus.trayCheckUpdates, m_menus.About1})
        action->setEnabled(enabled);
    m_ui.btVersion->setEnabled(enabled);
    m_menus.mainRestoreFiles->setEnabled(enabled);
    m_menus.trayRestoreFiles->setEnabled(enabled);
    if (m_restore)
        m_restore->setEnabled(enabled);
    m_form2->setPromptingEnabled(enabled);
    m_form1->setFolderPickingEnabled(enabled);
}

void MainWindow::setBusyControlsEnabled(bool enabled) {
    for (QPushButton* button : {m_ui.btSettings, m_ui.btAdd, m_ui.btRemove, m_ui.btClear, m_ui.btBackup,
                                m_ui.btRecalc, m_ui.btExclude})
        button->setEnabled(enabled);
    m_fldrList->setRemovingEnabled(enabled);
}
