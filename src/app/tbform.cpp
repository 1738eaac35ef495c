#include "app/tbform.h"

#include "app/explainingopener.h"
#include "app/programlifecycle.h"
#include "app/quoralisapplication.h"
#include "app/resizeaffordance.h"
#include "app/settingssequence.h"
#include "app/shellopener.h"
#include "app/singleinstancereply.h"
#include "app/startupsequence.h"
#include "app/timedshutdown.h"
#include "app/tpopfrm.h"
#include "app/traycontrol.h"
#include "app/windowmodes.h"
#include "backupset/exclusionlists.h"
#include "backupset/folderlistview.h"
#include "backupset/folderset.h"
#include "backupset/tform1.h"
#include "config/settingsmodel.h"
#include "config/tform2.h"
#include "core/userprompts.h"
#include "engine/archivejob.h"
#include "engine/backuprun.h"
#include "engine/tzipmaster.h"
#include "housekeeping/housekeeping.h"
#include "log/logfilewriter.h"
#include "log/pathtext.h"
#include "log/tlogfrm.h"
#include "online/terrorform.h"
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

TBForm::TBForm(const QString& programDir, const QStringList& arguments, const AppServices& services,
               QWidget* parent)
    : QWidget(parent)
    , m_programDir(withTrailingSeparator(programDir))
    , m_services(services)
    , m_settings(std::make_unique<SettingsModel>())
    , m_skin(QDir(programDir).filePath(QStringLiteral("skins")), QStringLiteral("main"),
             QMargins(6, TBFormUi::kTitleHeight, 6, 6)) {
    setObjectName(QStringLiteral("TBForm"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(kTitle);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    m_skin.setFallbackColours(SkinPalette::background(), SkinPalette::titleStrip());
    m_ui.setup(this, m_skin.borders());
    m_menus.setup(this);
    m_lifecycle = std::make_unique<ProgramLifecycle>(*this, arguments);
    connect(m_lifecycle.get(), &ProgramLifecycle::programEnded, this, &TBForm::programEnded);
}

TBForm::~TBForm() {
    // The windows and components made here refer to the log, the settings and each other; they go
    // first, while all of those still exist. What ends the program goes before all of them: it
    // refers to them.
    m_lifecycle.reset();
    m_backupRun = nullptr;
    m_timedShutdown.reset();
    while (!children().isEmpty())
        delete children().constFirst();
}

bool TBForm::toolbarMode() const {
    return m_settings->isOn(Setting::ToolbarMode);
}

bool TBForm::fading() const {
    return m_settings->isOn(Setting::WindowFading);
}

EventMarker& TBForm::marker() {
    return m_errorForm->marker();
}

std::filesystem::path TBForm::settingsFilePath() const {
    if (!m_services.settingsFile.empty())
        return m_services.settingsFile;
    return pathFromText(withTrailingSeparator(m_programDir) + QStringLiteral("Quoralis2005Config.ini"));
}

void TBForm::writeLogFile() {
    // Made first, so that a folder whose name is no valid text is reached under another name.
    const std::filesystem::path folder = logDirectory();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    LogFileWriter::write(platform::SystemInfo::folderText(folder), m_log.lines());
}

std::filesystem::path TBForm::logDirectory() const {
    if (!m_services.logDirectory.empty())
        return m_services.logDirectory;
    return pathFromText(withTrailingSeparator(m_programDir) + QStringLiteral("logs/"));
}

void TBForm::LogMessage(const QString& message) {
    m_log.logMessage(message);
}

QString TBForm::GetVersionString() {
    marker().set(QStringLiteral("get_version"));
    return platform::SystemInfo::programVersion();
}

QString TBForm::GetTempDir() {
    marker().set(QStringLiteral("get_temp_dir"));
    return platform::SystemInfo::tempDir();
}

void TBForm::createWindows() {
    m_errorForm = new TErrorForm(this);
    m_errorForm->setWindowFlag(Qt::Window);
    m_errorForm->hide();
    marker().set(QStringLiteral("program_start"));
    if (auto* app = QuoralisApplication::instance())
        app->setUnhandledErrorHandler(
            [form = m_errorForm](const QString& message) { form->showError(message); });
    m_errorForm->setReporting(m_services.prompts, [this] { m_lifecycle->endOnErrorReport(); });

    createEventSounds();
    const QString skinsDir = QDir(m_programDir).filePath(QStringLiteral("skins"));
    m_popFrm = new TPopFrm(skinsDir, this);
    m_popFrm->setFadingSource([this] { return fading(); });
    RoundCorners(m_popFrm);
    m_exclusions = std::make_unique<ExclusionLists>(*m_settings, m_log, marker());
    m_form1 = new TForm1(*m_exclusions, *m_settings, *m_services.prompts, this);
    m_form1->hide();
    m_form2 = new TForm2(*m_settings, *m_services.prompts, this);
    m_form2->hide();
    for (QWidget* window :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(m_popFrm), static_cast<QWidget*>(m_form1),
          static_cast<QWidget*>(m_form2), static_cast<QWidget*>(m_errorForm)})
        ScreenFit::keepOnScreen(window);
    m_logFrm = new TLogFrm(m_log, skinsDir, this);
    m_logFrm->setFadingSource([this] { return fading(); });
    RoundCorners(m_logFrm);
    connect(&m_log, &ActivityLog::messageLogged, m_popFrm, &TPopFrm::setStatus);

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
    check.versionString = std::bind_front(&TBForm::GetVersionString, this);
    check.playEventSound = std::bind_front(&TBForm::PlayEventSound, this);
    check.openAddress = std::bind_front(&ExplainingOpener::openWebAddress, m_opener.get());
    check.saveConfig = std::bind_front(&TBForm::SaveConfig, this);
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

void TBForm::createEventSounds() {
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
    connect(m_eventSounds, &EventSounds::requested, this, &TBForm::eventSoundRequested);
}

void TBForm::createBackupEngine() {
    m_zip = new TZipMaster(this);
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

void TBForm::connectControls() {
    connect(m_ui.btClose, &PictureButton::clicked, this, &TBForm::btCloseClick);
    connect(m_ui.btHelp, &PictureButton::clicked, this, &TBForm::btHelpClick);
    connect(m_ui.btHide, &PictureButton::clicked, this, &TBForm::btHideClick);
    connect(m_ui.btMenu, &PictureButton::clicked, this,
            [this] { showMainMenuAt(m_ui.btMenu->mapToGlobal(QPoint(0, 12))); });
    m_ui.titleStrip->installEventFilter(this);
    m_ui.titleStrip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.titleStrip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showMainMenuAt(m_ui.titleStrip->mapToGlobal(pos)); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showMainMenuAt(mapToGlobal(pos)); });

    connect(m_ui.btSettings, &QPushButton::clicked, this, &TBForm::btSettingsClick);
    connect(m_ui.btBackup, &QPushButton::clicked, this, &TBForm::btBackupClick);
    connect(m_ui.btBackup, &QPushButton::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menus.backupMenu->popup(m_ui.btBackup->mapToGlobal(pos)); });
    connect(m_ui.btRestore, &QPushButton::clicked, this, &TBForm::btRestoreClick);
    // The backups themselves, file by file: the right-click on Restore and both menus.
    m_ui.btRestore->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.btRestore, &QWidget::customContextMenuRequested, this, &TBForm::showRestoreWindow);
    for (QAction* a : {m_menus.mainRestoreFiles, m_menus.trayRestoreFiles})
        connect(a, &QAction::triggered, this, &TBForm::showRestoreWindow);
    connect(m_ui.btAdd, &QPushButton::clicked, m_folderSet, &FolderSet::btAddClick);
    connect(m_ui.btRemove, &QPushButton::clicked, this,
            [this] { m_folderSet->btRemoveClick(m_fldrList->selectedFolders()); });
    connect(m_fldrList, &FolderListView::removeSelectedRequested, m_ui.btRemove, &QPushButton::click);
    connect(m_fldrList, &FolderListView::openFolderRequested, this,
            [this](const std::filesystem::path& folder) { m_opener->openFolder(folder); });
    connect(m_ui.btClear, &QPushButton::clicked, m_folderSet, &FolderSet::btClearClick);
    connect(m_ui.btRecalc, &QPushButton::clicked, m_folderSet, &FolderSet::btRecalcClick);
    connect(m_ui.btExclude, &QPushButton::clicked, this, &TBForm::btExcludeClick);

    connect(m_menus.toolbarMode1, &QAction::triggered, this, &TBForm::SetToolbarMode);
    connect(m_menus.NormalMode1, &QAction::triggered, this, &TBForm::SetNormalMode);
    connect(m_menus.Configuration1, &QAction::triggered, this, &TBForm::btSettingsClick);
    connect(m_menus.Minimizetotray1, &QAction::triggered, this, &TBForm::Minimizetotray1Click);
    for (QAction* a : {m_menus.mainBackup, m_menus.trayBackup, m_menus.buttonBackup})
        connect(a, &QAction::triggered, this, &TBForm::btBackupClick);
    for (QAction* a : {m_menus.mainBackupAndClose, m_menus.trayBackupAndClose, m_menus.buttonBackupAndClose})
        connect(a, &QAction::triggered, this, &TBForm::backupandclose1Click);
    for (QAction* a :
         {m_menus.mainBackupAndShutdown, m_menus.trayBackupAndShutdown, m_menus.buttonBackupAndShutdown})
        connect(a, &QAction::triggered, this, &TBForm::backupandshutdown1Click);
    for (QAction* a : {m_menus.mainQuickGuide, m_menus.trayQuickGuide})
        connect(a, &QAction::triggered, this, &TBForm::btHelpClick);
    connect(m_menus.Close3, &QAction::triggered, this, &TBForm::Close1Click);
    connect(m_menus.Close1, &QAction::triggered, this, &TBForm::Close1Click);
    connect(m_menus.Show1, &QAction::triggered, this, &TBForm::SetNormalMode);
    connect(m_menus.Hide1, &QAction::triggered, this, &TBForm::btHideClick);
    connect(m_menus.trayConfiguration, &QAction::triggered, this, &TBForm::btSettingsClick);
    connect(m_menus.mainMenu, &QMenu::aboutToShow, this, &TBForm::MainMenuPopup);

    for (QAction* a : {m_menus.mainHomepage, m_menus.trayHomepage})
        connect(a, &QAction::triggered, this, &TBForm::Homepage1Click);
    for (QAction* a : {m_menus.mainSupport, m_menus.traySupport})
        connect(a, &QAction::triggered, this, &TBForm::Support1Click);
    for (QAction* a : {m_menus.mainCheckUpdates, m_menus.trayCheckUpdates})
        connect(a, &QAction::triggered, this, [this] { CheckVersion(false); });
    connect(m_menus.About1, &QAction::triggered, this, &TBForm::btAboutClick);
    connect(m_ui.btVersion, &QAbstractButton::clicked, this, [this] { CheckVersion(false); });
    connect(m_form2, &TForm2::updateRequested, this, [this] { CheckVersion(false); });
    connect(m_form2, &TForm2::newsletterRequested, this, &TBForm::btNewsClick);
    connect(m_tray, &TrayControl::clicked, this, &TBForm::TrayIconClick);
    connect(m_tray, &TrayControl::doubleClicked, this, &TBForm::TrayIconDblClick);
    connect(m_mover, &WindowMover::moveFinished, this, &TBForm::DockLogViewer);
    connect(m_resizer, &WindowResizer::resizeFinished, this, [this] { m_modes->placedByHand(); });

    connect(m_popFrm, &TPopFrm::menuRequested, this, &TBForm::showMainMenuAt);
    connect(m_popFrm, &TPopFrm::backgroundDoubleClicked, this, &TBForm::SetNormalMode);
    connect(m_popFrm, &TPopFrm::dropped, this, &TBForm::toolbarWindowDropped);
    connect(m_popFrm->backupButton(), &PictureButton::clicked, this, &TBForm::btBackupClick);
    connect(m_popFrm->closeButton(), &PictureButton::clicked, this, &TBForm::btCloseClick);

    connect(m_ui.btCancel, &QPushButton::clicked, this, &TBForm::btCancelClick);
    connect(m_popFrm->cancelButton(), &PictureButton::clicked, this, &TBForm::btCancelClick);
    connect(m_settings.get(), &SettingsModel::changed, this, &TBForm::settingChanged);
    connect(m_intervalTimer, &IntervalTimer::titleChanged, this, &QWidget::setWindowTitle);
    connect(m_intervalTimer, &IntervalTimer::countdownChanged, m_ui.TimerLabel, &QLabel::setText);
    connect(m_intervalTimer, &IntervalTimer::countdownVisibleChanged, m_ui.TimerLabel, &QLabel::setVisible);
    connect(m_intervalTimer, &IntervalTimer::backupDue, this, &TBForm::btBackupClick);
    connect(m_form2, &TForm2::deleteLogsNowRequested, this, [this] { m_housekeeping->CleanOldLogs(true); });
    connect(m_logFrm, &TLogFrm::hiddenByUser, this, [this] { m_settings->setOn(Setting::ShowLog, false); });
}

void TBForm::FormCreate() {
    StartupSequence(*this, *m_lifecycle).run();
}

void TBForm::applyProgramIcon() {
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

void TBForm::showAtStart(bool minimizeArgument) {
    if (m_settings->isOn(Setting::StartHidden))
        m_modes->startHidden();
    else if (!minimizeArgument && !toolbarMode())
        ShowFaded();
    else if (minimizeArgument && !toolbarMode() && !m_tray->hasTray())
        m_modes->startHidden();
}

void TBForm::closeEvent(QCloseEvent* event) {
    // The window manager's close (Alt+F4) asks what the close button asks; during a backup the
    // close itself asks whether to cancel it.
    if (event->spontaneous() && !hasEnded() && !m_backupRun->isRunning() && !confirmClose()) {
        event->ignore();
        return;
    }
    m_lifecycle->closeRequested(event);
}

bool TBForm::confirmClose() {
    return m_services.prompts->ask(QStringLiteral("Are you sure you want to close Quoralis2005?"));
}

void TBForm::fadeOutForClose() {
    m_modes->closeFadeOut();
}

void TBForm::hideAllWindows() {
    m_popFrm->hide();
    m_logFrm->hide();
    m_form2->hide();
    m_tray->hide();
    hide();
}

void TBForm::btCloseClick() {
    marker().set(QStringLiteral("close_program"));
    Close1Click();
}

void TBForm::Close1Click() {
    // During a backup the close itself asks whether to cancel it.
    if (m_backupRun->isRunning() || confirmClose())
        close();
}

bool TBForm::hasEnded() const {
    return m_lifecycle->hasEnded();
}

int TBForm::exitStatus() const {
    return m_lifecycle->exitStatus().code();
}

bool TBForm::autoClose() const {
    return m_lifecycle->autoClose();
}

bool TBForm::autoShutdown() const {
    return m_lifecycle->autoShutdown();
}

bool TBForm::closingWithoutQuestions() const {
    return m_lifecycle->closingWithoutQuestions();
}

void TBForm::requestTermination() {
    m_lifecycle->requestTermination();
}

void TBForm::btHelpClick() {
    m_opener->openFile(m_programDir + QStringLiteral("help/Quoralis2005.html"));
}

void TBForm::showRestoreWindow() {
    if (!m_restore)
        m_restore = new RestoreWindow(
            [this] { return m_settings->destination(); }, *m_services.prompts,
            [this](const std::filesystem::path& folder) { m_opener->openFolder(folder); }, this);
    m_restore->setEnabled(!m_backupRun->isRunning());
    m_restore->showRestore();
}

void TBForm::btRestoreClick() {
    const std::filesystem::path destination = m_settings->destination();
    std::error_code ec;
    if (!destination.empty() && std::filesystem::is_directory(destination, ec))
        m_opener->openFolder(destination);
    else
        m_services.prompts->notify(QStringLiteral("Destination not set or not found"));
}

void TBForm::btSettingsClick() {
    m_form2->exec();
    SaveConfig();
}

void TBForm::backupandclose1Click() {
    m_lifecycle->backupAndClose();
}

void TBForm::backupandshutdown1Click() {
    m_lifecycle->backupAndShutdown();
}

void TBForm::PlayEventSound(const QString& eventName) {
    m_eventSounds->PlayEventSound(eventName);
}

void TBForm::CheckVersion(bool automatic) {
    m_versionCheck->CheckVersion(automatic);
}

void TBForm::btAboutClick() {
    m_services.prompts->notify(WebLinks::aboutText(GetVersionString()));
}

void TBForm::Homepage1Click() {
    m_opener->openWebAddress(WebLinks::homepage());
}

void TBForm::Support1Click() {
    m_opener->openWebAddress(WebLinks::supportMail());
}

void TBForm::btNewsClick() {
    m_opener->openWebAddress(WebLinks::newsletter());
}

void TBForm::LoadConfig() {
    SettingsSequence(*this).LoadConfig();
}

void TBForm::SaveConfig() {
    SettingsSequence(*this).SaveConfig();
}

void TBForm::btBackupClick() {
    m_lifecycle->runBackup();
}

void TBForm::bringToFront() {
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

void TBForm::forwardedBackupRequested(const QStringList& arguments, const SingleInstanceReply& reply) {
    m_lifecycle->forwardedBackupRequested(arguments, reply);
}

void TBForm::btCancelClick() {
    m_backupRun->btCancelClick();
}

bool TBForm::backupAllowed() const {
    return m_ui.btBackup->isEnabled();
}

bool TBForm::shutdownPending() const {
    return m_timedShutdown->pending();
}

bool TBForm::abortPendingShutdown() {
    return m_lifecycle->abortPendingShutdown();
}

bool TBForm::mainWindowVisible() const {
    return isVisible();
}

void TBForm::showToolbarWindow() {
    m_popFrm->showFaded();
}

void TBForm::prepareForNewArchive() {
    m_ui.PBar->setValue(0);
    m_popFrm->PBar()->setValue(0);
    m_popFrm->PBar()->setVisible(true);
    m_popFrm->PBar()->repaint();
    m_popFrm->setCancelShown(true);
    m_ui.placeOverlays(this);
    m_ui.PPanel->setVisible(true);
    m_ui.PPanel->repaint();
}

void TBForm::showCurrentFile(const QString& path) {
    m_ui.TotalLabel->setText(
        ShortenedPath::fit(path, m_ui.TotalLabel->fontMetrics(), m_ui.TotalLabel->width()));
    m_popFrm->showPath(path);
}

void TBForm::showPercent(int percent) {
    m_ui.PBar->setValue(percent);
    m_popFrm->PBar()->setValue(percent);
}

void TBForm::cbAutoClick() {
    m_intervalTimer->cbAutoClick(m_settings->isOn(Setting::TimerEnabled),
                                 m_settings->number(Setting::TimerInterval));
}

quint64 TBForm::totalBackups() const {
    return m_settings->totalBackups();
}

void TBForm::StartWait() {
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

void TBForm::StopWait() {
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

void TBForm::SetToolbarMode() {
    m_modes->SetToolbarMode();
}

void TBForm::SetNormalMode() {
    m_modes->SetNormalMode();
}

void TBForm::ShowFaded() {
    m_modes->ShowFaded();
}

void TBForm::HideFaded() {
    m_modes->HideFaded();
}

void TBForm::DockLogViewer() {
    if (m_modes)
        m_modes->DockLogViewer();
}

void TBForm::RoundCorners(QWidget* window) {
    RoundedShape::apply(window);
}

void TBForm::btHideClick() {
    m_modes->minimizeToTray();
}

void TBForm::Minimizetotray1Click() {
    m_modes->minimizeAllToTray();
}

void TBForm::toolbarWindowDropped(const QPoint& topLeft) {
    const QPoint place = ScreenFit::onScreen(QRect(topLeft, m_popFrm->size())).topLeft();
    platform::ProfileBatch ini(settingsFilePath());
    ini.writeInteger("settings", "toolbar_x", place.x());
    ini.writeInteger("settings", "toolbar_y", place.y());
    ini.commit();
}

void TBForm::showLogViewerChanged(bool show) {
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

void TBForm::applyStoredGeometry(const QRect& stored) {
    m_loadingConfig = true;
    move(stored.topLeft());
    resize(stored.size());
    // A stored place off the screens of now (a screen since removed, another scale, a damaged
    // file) would leave the window where nobody can reach it.
    ScreenFit::fit(this, m_modes->dockedViewerRoom());
    m_loadingConfig = false;
}

void TBForm::FormResize() {
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

void TBForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_modes)
        m_modes->geometryChanged();
    m_ui.placeOverlays(this);
    RoundCorners(this);
    if (m_form2)
        FormResize();
}

void TBForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    DockLogViewer();
    updateTrayMenuVisibility();
}

void TBForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_modes)
        m_modes->geometryChanged();
    // The viewer follows while the window is dragged; the drag's end docks it again.
    if (m_logFrm && m_logFrm->isVisible())
        DockLogViewer();
}

void TBForm::paintEvent(QPaintEvent*) {
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

void TBForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_modes)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !isMinimized() && isVisible())
        m_modes->restoredFromTaskBar();
    if (!(change->oldState() & Qt::WindowMaximized) && isMaximized())
        m_modes->maximizeRequested();
}

void TBForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateTrayMenuVisibility();
}

void TBForm::updateTrayMenuVisibility() {
    m_menus.Hide1->setVisible(isVisible());
    m_menus.Show1->setVisible(!isVisible());
}

bool TBForm::eventFilter(QObject* watched, QEvent* event) {
    // ITBMDblClick: a double-click on the title strip toggles toolbar mode.
    if (watched == m_ui.titleStrip && event->type() == QEvent::MouseButtonDblClick) {
        toggleToolbarMode();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TBForm::TrayIconClick() {
    if (isVisible()) {
        HideFaded();
    } else {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        ShowFaded();
    }
}

void TBForm::TrayIconDblClick() {
    toggleToolbarMode();
}

void TBForm::toggleToolbarMode() {
    m_modes->toggleToolbarMode();
}

void TBForm::MainMenuPopup() {
    m_menus.NormalMode1->setVisible(toolbarMode());
    m_menus.toolbarMode1->setVisible(!toolbarMode());
}

void TBForm::showMainMenuAt(const QPoint& globalPos) {
    m_menus.mainMenu->popup(globalPos);
}

std::filesystem::path TBForm::listedFolderPath(const QByteArray& folder) const {
    // A relative folder is taken from the program directory, where it was meant; later the
    // current directory moves to the destination and it would find nothing.
    std::filesystem::path path(folder.toStdString());
    if (path.is_relative())
        path = (pathFromText(m_programDir) / path).lexically_normal();
    return path;
}

void TBForm::btExcludeClick() {
    m_form1->exec();
    SaveConfig();
    m_folderSet->btRecalcClick();
}

void TBForm::settingChanged(Setting setting) {
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

void TBForm::CheckOutdatedArchives() {
    m_housekeeping->CheckOutdatedArchives();
}

void TBForm::setWindowOpenersEnabled(bool enabled) {
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

void TBForm::setBusyControlsEnabled(bool enabled) {
    for (QPushButton* button : {m_ui.btSettings, m_ui.btAdd, m_ui.btRemove, m_ui.btClear, m_ui.btBackup,
                                m_ui.btRecalc, m_ui.btExclude})
        button->setEnabled(enabled);
    m_fldrList->setRemovingEnabled(enabled);
}
