#include "app/tbform.h"

#include "app/quoralisapplication.h"
#include "app/settingssequence.h"
#include "app/shellopener.h"
#include "app/timedshutdown.h"
#include "app/tpopfrm.h"
#include "backupset/folderlistview.h"
#include "backupset/folderset.h"
#include "backupset/tform1.h"
#include "config/tform2.h"
#include "engine/archivejob.h"
#include "engine/backuprun.h"
#include "engine/tzipmaster.h"
#include "housekeeping/housekeeping.h"
#include "log/logfilewriter.h"
#include "log/pathtext.h"
#include "log/tlogfrm.h"
#include "online/terrorform.h"
#include "platform/profilebatch.h"
#include "platform/profilefile.h"
#include "platform/systeminfo.h"
#include "schedule/intervaltimer.h"
#include "widgets/shortenedpath.h"
#include "widgets/userprompts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Quoralis2005");
constexpr int kMinWidth = 490;
constexpr int kMinHeight = 330;

QString withTrailingSeparator(QString dir) {
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

} // namespace

TBForm::TBForm(const QString& programDir, const QStringList& arguments, const AppServices& services,
               QWidget* parent)
    : QWidget(parent)
    , m_programDir(programDir)
    , m_arguments(arguments)
    , m_services(services) {
    setObjectName(QStringLiteral("TBForm"));
    setWindowTitle(kTitle);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    m_ui.setup(this);
    m_menus.setup(this);
}

TBForm::~TBForm() = default;

EventMarker& TBForm::marker() {
    return m_errorForm->marker();
}

QString TBForm::settingsFilePath() const {
    return m_programDir + QStringLiteral("Quoralis2005Config.ini");
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

    m_popFrm = new TPopFrm(this);
    RoundCorners(m_popFrm);
    m_form1 = new TForm1(*m_services.prompts, m_log, marker(), this);
    m_form1->hide();
    m_form2 = new TForm2(*m_services.prompts, this);
    m_form2->hide();
    m_logFrm = new TLogFrm(m_log, this);
    RoundCorners(m_logFrm);
    connect(&m_log, &ActivityLog::messageLogged, m_popFrm, &TPopFrm::setStatus);

    m_fldrList = new FolderListView(this);
    m_fldrList->setObjectName(QStringLiteral("FldrList"));
    m_ui.listArea->addWidget(m_fldrList, 1);
    m_folderSet = new FolderSet(
        m_fldrList, m_ui.TotalLabel, *m_services.prompts, m_log, marker(), *this, *m_form1,
        [this] {
            WalkFlags flags;
            flags.newOnly = m_form2->cbNO()->isChecked();
            flags.includeHidden = m_form2->cbInclude()->isChecked();
            return flags;
        },
        this);
    m_folderSet->setSettingsSaver([this] { SaveConfig(); });

    createBackupEngine();
    m_housekeeping =
        std::make_unique<Housekeeping>(pathFromText(m_programDir), *m_form2, m_log, *m_services.prompts,
                                       [this](const QString& name) { PlayEventSound(name); });

    m_tray = new QSystemTrayIcon(this);
    m_tray->setToolTip(kTitle + QStringLiteral(" click to open"));
    m_tray->setContextMenu(m_menus.trayMenu);
}

void TBForm::createBackupEngine() {
    m_zip = new TZipMaster(this);
    ArchiveJob::Context job;
    job.zip = m_zip;
    job.settings = m_form2;
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
    run.folderList = m_fldrList;
    run.settings = m_form2;
    run.zip = m_zip;
    run.job = m_archiveJob.get();
    run.log = &m_log;
    run.marker = &marker();
    run.prompts = m_services.prompts;
    run.progress = this;
    m_backupRun = new BackupRun(run, this);

    m_timedShutdown = std::make_unique<TimedShutdown>(m_ui.btBackup, m_services.shutdown, m_log, marker(),
                                                      *m_services.prompts);
    m_intervalTimer = new IntervalTimer(this);
}

void TBForm::connectControls() {
    connect(m_ui.btClose, &QToolButton::clicked, this, &TBForm::btCloseClick);
    connect(m_ui.btHelp, &QToolButton::clicked, this, &TBForm::btHelpClick);
    connect(m_ui.btHide, &QToolButton::clicked, this, &TBForm::HideFaded);
    connect(m_ui.btMenu, &QToolButton::clicked, this,
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
    connect(m_ui.btAdd, &QPushButton::clicked, m_folderSet, &FolderSet::btAddClick);
    connect(m_ui.btRemove, &QPushButton::clicked, m_folderSet, &FolderSet::btRemoveClick);
    connect(m_ui.btClear, &QPushButton::clicked, m_folderSet, &FolderSet::btClearClick);
    connect(m_ui.btRecalc, &QPushButton::clicked, m_folderSet, &FolderSet::btRecalcClick);
    connect(m_ui.btExclude, &QPushButton::clicked, m_folderSet, &FolderSet::btExcludeClick);

    connect(m_menus.toolbarMode1, &QAction::triggered, this, &TBForm::SetToolbarMode);
    connect(m_menus.NormalMode1, &QAction::triggered, this, &TBForm::SetNormalMode);
    connect(m_menus.Configuration1, &QAction::triggered, this, &TBForm::btSettingsClick);
    connect(m_menus.Minimizetotray1, &QAction::triggered, this, [this] {
        HideFaded();
        if (m_toolbarMode)
            m_popFrm->hide();
    });
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
    connect(m_menus.Hide1, &QAction::triggered, this, &TBForm::HideFaded);
    connect(m_menus.trayConfiguration, &QAction::triggered, this, &TBForm::btSettingsClick);
    connect(m_menus.mainMenu, &QMenu::aboutToShow, this, &TBForm::MainMenuPopup);

    // Web links, the version check and the About box come with the online services.
    for (QAction* a : {m_menus.mainHomepage, m_menus.mainSupport, m_menus.mainCheckUpdates, m_menus.About1,
                       m_menus.trayHomepage, m_menus.traySupport, m_menus.trayCheckUpdates})
        a->setEnabled(false);
    m_ui.btVersion->setEnabled(false);
    for (const char* name : {"btNews", "btUpdate2"})
        if (auto* button = m_form2->findChild<QPushButton*>(QLatin1String(name)))
            button->setEnabled(false);
    // The resize affordance comes with the skinned, borderless window.
    m_ui.btResize->setEnabled(false);

    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            TrayIconClick();
        else if (reason == QSystemTrayIcon::DoubleClick)
            TrayIconDblClick();
    });

    connect(m_popFrm, &TPopFrm::menuRequested, this, &TBForm::showMainMenuAt);
    connect(m_popFrm, &TPopFrm::backgroundDoubleClicked, this, &TBForm::SetNormalMode);
    connect(m_popFrm->backupButton(), &QToolButton::clicked, this, &TBForm::btBackupClick);
    connect(m_popFrm->closeButton(), &QToolButton::clicked, this, &TBForm::btCloseClick);

    connect(m_ui.btCancel, &QPushButton::clicked, this, &TBForm::btCancelClick);
    connect(m_popFrm->cancelButton(), &QToolButton::clicked, this, &TBForm::btCancelClick);
    connect(m_form2, &TForm2::intervalSettingsChanged, this, &TBForm::cbAutoClick);
    connect(m_intervalTimer, &IntervalTimer::titleChanged, this, &QWidget::setWindowTitle);
    connect(m_intervalTimer, &IntervalTimer::countdownChanged, m_ui.TimerLabel, &QLabel::setText);
    connect(m_intervalTimer, &IntervalTimer::countdownVisibleChanged, m_ui.TimerLabel, &QLabel::setVisible);
    connect(m_intervalTimer, &IntervalTimer::backupDue, this, &TBForm::btBackupClick);
    connect(m_form2, &TForm2::fadingChanged, this, [this](bool on) { m_fading = on; });
    connect(m_form2, &TForm2::showLogViewerChanged, this, [this](bool show) { m_logFrm->setVisible(show); });
    connect(m_form2, &TForm2::deleteLogsNowRequested, this, [this] { m_housekeeping->CleanOldLogs(true); });
    connect(m_logFrm, &TLogFrm::hiddenByUser, this, [this] { m_form2->cbSLOG()->setChecked(false); });
}

void TBForm::FormCreate() {
    // 1-2: the other windows.
    createWindows();
    // 3
    m_autoShutdown = false;
    m_autoClose = false;
    connectControls();
    // 4
    m_programDir = withTrailingSeparator(m_programDir);
    // 5
    LogMessage(QStringLiteral("Starting Quoralis v.") + GetVersionString() + QStringLiteral("..."));
    // 6
    m_zip->DLLDirectory = m_programDir + QStringLiteral("dll/");
    m_zip->TempDir = GetTempDir();
    // 7
    checkEngineFiles();
    // 8
    m_zip->SFXPath = m_programDir + QStringLiteral("dll/dzsfxus.bin");
    m_zip->LoadZipEngine();
    m_zip->LoadUnzipEngine();
    // 9
    QDir::setCurrent(m_programDir);
    const QString iconPath = m_programDir + QStringLiteral("QS2005.ico");
    if (QFileInfo::exists(iconPath)) {
        const QIcon icon(iconPath);
        m_tray->setIcon(icon);
        setWindowIcon(icon);
        m_ui.btMenu->setIcon(icon);
        m_popFrm->menuButton()->setIcon(icon);
    } else {
        m_errorForm->showError(QStringLiteral("Cannot open file \"") + iconPath +
                               QStringLiteral("\". No such file or directory"));
    }
    m_tray->show();
    // 10
    try {
        LoadConfig();
    } catch (const std::exception&) {
        LogMessage(QStringLiteral("could not load config"));
    }
    // 11
    m_ui.btVersion->setText(QStringLiteral("v. ") + GetVersionString());
    // 12
    m_archiveJob->setTotalBackups(static_cast<quint32>(
        platform::ProfileFile(settingsFilePath()).readInteger("stats", "total_backups", 0)));
    m_form2->setTotalBackups(m_archiveJob->totalBackups());
    // 13
    m_logFrm->setVisible(m_form2->cbSLOG()->isChecked() && !m_toolbarMode);
    // 14
    RoundCorners(this);
    // 15
    if (m_form2->cbHidden()->isChecked()) {
        setWindowState(Qt::WindowMinimized);
    } else if (m_arguments.value(1) != QStringLiteral("/minimize") && !m_toolbarMode) {
        ShowFaded();
    }
    // 16
    DockLogViewer();
    m_ui.titleStrip->setToolTip(QStringLiteral("Right-click for menu,\n\rdouble-click toggles Toolbar Mode"));
    // 17
    bool runRemainingSteps = true;
    if (!m_arguments.isEmpty()) {
        marker().set(QStringLiteral("shortcut_launch"));
        applyCommandLine(runRemainingSteps);
    }
    if (!runRemainingSteps || m_ended)
        return;
    // 18
    cbAutoClick();
    // 19
    if (m_form2->cbBOLaunch()->isChecked()) {
        LogMessage(QStringLiteral("Making automatic startup backup"));
        btBackupClick();
        if (m_ended)
            return;
    }
    // 20: the version check comes with the online services.
    // 21
    if (m_form2->cbCleanBackups()->isChecked())
        CheckOutdatedArchives();
}

void TBForm::checkEngineFiles() {
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
        if (!QFileInfo::exists(m_programDir + QLatin1String(f.name)))
            m_services.prompts->notify(QLatin1String(f.message));
    }
}

void TBForm::applyCommandLine(bool& runRemainingSteps) {
    const QString first = m_arguments.constFirst();
    if (first == QStringLiteral("/auto")) {
        marker().set(QStringLiteral("shortcut_launch_auto"));
        LogMessage(QStringLiteral("Executing command line \"/auto\"..."));
        btBackupClick();
    }
    if (first == QStringLiteral("/autoclose")) {
        marker().set(QStringLiteral("shortcut_launch_autoclose"));
        LogMessage(QStringLiteral("Executing command line \"/autoclose\"..."));
        m_autoClose = true;
        btBackupClick();
        close();
        runRemainingSteps = false;
    }
    if (first == QStringLiteral("/autoshutdown")) {
        marker().set(QStringLiteral("shortcut_launch_autoshutdown"));
        LogMessage(QStringLiteral("Executing command line \"/autoshutdown\"..."));
        m_autoShutdown = true;
        btBackupClick();
        runRemainingSteps = false;
        // Nobody is there to abort a shutdown that never started: the program ends.
        if (!m_ended && !shutdownPending()) {
            m_autoShutdown = false;
            m_autoClose = true;
            close();
        }
    }
}

void TBForm::closeEvent(QCloseEvent* event) {
    if (m_ended) {
        event->accept();
        return;
    }
    // Refuse first: an error inside the close sequence must leave the window open.
    event->ignore();
    if (m_backupRun->isRunning()) {
        closeDuringRun();
        return;
    }
    if (FormClose()) {
        event->accept();
        endProgram();
    }
}

bool TBForm::FormClose() {
    // 1
    marker().set(QStringLiteral("form_close"));
    LogMessage(QStringLiteral("Closing Quoralis2005 v.") + GetVersionString());
    // 2-3. A settings or log file that cannot be written is reported, and the close goes on:
    // otherwise a read-only program folder would leave a program that can never be closed.
    reportAndGoOn([this] { SaveConfig(); });
    if (m_form2->cbLog()->isChecked())
        reportAndGoOn([this] { LogFileWriter::write(m_programDir, m_log.lines()); });
    // 4
    if (m_form2->cbLogClean()->isChecked())
        m_housekeeping->CleanOldLogs();
    // 5
    marker().set(QStringLiteral("form_close2"));
    // 6. The session ending does not wait for the pending shutdown it is probably part of.
    if (m_autoShutdown && !m_terminating)
        return false;
    // 7
    if (m_autoClose || m_terminating)
        return true;
    // 8
    if (m_form2->cbBOClose()->isChecked()) {
        marker().set(QStringLiteral("form_close_ab"));
        LogMessage(QStringLiteral("Making automatic shutdown backup"));
        btBackupClick();
    }
    marker().set(QStringLiteral("form_close3"));
    if (m_logFrm->isVisible())
        m_logFrm->hide();
    marker().set(QStringLiteral("form_close4"));
    marker().set(QStringLiteral("form_close5"));
    return true;
}

void TBForm::reportAndGoOn(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& error) {
        m_services.prompts->notify(QString::fromUtf8(error.what()));
    }
}

void TBForm::endProgram() {
    m_ended = true;
    m_popFrm->hide();
    m_logFrm->hide();
    m_form2->hide();
    m_tray->hide();
    hide();
    Q_EMIT programEnded();
}

void TBForm::btCloseClick() {
    marker().set(QStringLiteral("close_program"));
    Close1Click();
}

void TBForm::Close1Click() {
    // During a backup the close itself asks whether to cancel it.
    if (m_backupRun->isRunning() ||
        m_services.prompts->ask(QStringLiteral("Are you sure you want to close Quoralis2005?")))
        close();
}

void TBForm::closeDuringRun() {
    if (m_closeAfterRun)
        return;
    const QString question =
        m_terminating ? QString()
                      : QStringLiteral("A backup is in progress. Cancel it and close Quoralis2005?");
    if (m_backupRun->cancelForClose(question))
        m_closeAfterRun = true;
}

void TBForm::requestTermination() {
    if (m_ended || m_terminating)
        return;
    m_terminating = true;
    LogMessage(QStringLiteral("The session is ending: closing Quoralis2005"));
    if (m_backupRun->isRunning())
        closeDuringRun();
    else
        close();
}

bool TBForm::unattendedShutdown() const {
    return m_arguments.value(0) == QStringLiteral("/autoshutdown");
}

void TBForm::shutdownRefused() {
    m_exitStatus.record(ExitStatus::ShutdownRefused);
    // Nothing is pending: the program may close again.
    m_autoShutdown = false;
    if (unattendedShutdown()) {
        m_autoClose = true;
        close();
    }
}

void TBForm::recordRunOutcome(int outcome) {
    switch (static_cast<BackupRun::Outcome>(outcome)) {
    case BackupRun::Outcome::NotStarted:
        break;
    case BackupRun::Outcome::Stopped:
        m_exitStatus.record(ExitStatus::BackupNotMade);
        break;
    case BackupRun::Outcome::Cancelled:
        m_exitStatus.record(ExitStatus::BackupIncomplete);
        break;
    case BackupRun::Outcome::Completed:
        m_exitStatus.record(m_archiveJob->archiveFailed() || m_backupRun->abortRequested()
                                ? ExitStatus::BackupIncomplete
                                : ExitStatus::AllArchivesMade);
        break;
    }
}

void TBForm::btHelpClick() {
    m_services.shell->open(m_programDir + QStringLiteral("help/Quoralis2005.html"));
}

void TBForm::btRestoreClick() {
    const QString destination = m_form2->Destination()->text();
    if (!destination.isEmpty() && QFileInfo(destination).isDir())
        m_services.shell->open(destination);
    else
        m_services.prompts->notify(QStringLiteral("Destination not set or not found"));
}

void TBForm::btSettingsClick() {
    m_form2->exec();
    SaveConfig();
}

void TBForm::backupandclose1Click() {
    m_autoClose = true;
    LogMessage(QStringLiteral("Starting backup-and-close..."));
    btBackupClick();
}

void TBForm::backupandshutdown1Click() {
    m_autoShutdown = true;
    LogMessage(QStringLiteral("Starting backup-and-shutdown..."));
    btBackupClick();
}

void TBForm::PlayEventSound(const QString& eventName) {
    Q_EMIT eventSoundRequested(eventName);
}

void TBForm::LoadConfig() {
    SettingsSequence(*this).LoadConfig();
}

void TBForm::SaveConfig() {
    SettingsSequence(*this).SaveConfig();
}

void TBForm::btBackupClick() {
    const BackupRun::Outcome outcome = m_backupRun->btBackupClick();
    recordRunOutcome(static_cast<int>(outcome));
    if (m_closeAfterRun) {
        // Closing was asked for while the run worked; it has ended now.
        close();
        return;
    }
    if (outcome != BackupRun::Outcome::Completed)
        return;
    CheckOutdatedArchives();
    if (m_autoClose)
        close();
    if (m_autoShutdown && !m_ended && !m_timedShutdown->start())
        shutdownRefused();
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
    if (!m_timedShutdown->pending())
        return false;
    m_timedShutdown->abort();
    m_autoShutdown = false;
    m_autoClose = false;
    m_timedShutdown->announceAbort();
    return true;
}

bool TBForm::mainWindowVisible() const {
    return isVisible();
}

void TBForm::showToolbarWindow() {
    m_popFrm->show();
    m_popFrm->raise();
}

void TBForm::prepareForNewArchive() {
    m_ui.PBar->setValue(0);
    m_popFrm->PBar()->setValue(0);
    m_popFrm->PBar()->setVisible(true);
    m_popFrm->PBar()->repaint();
    m_popFrm->cancelButton()->setVisible(true);
    m_ui.placeOverlays(this);
    m_ui.PPanel->setVisible(true);
    m_ui.PPanel->repaint();
}

void TBForm::showCurrentFile(const QString& path) {
    m_ui.TotalLabel->setText(
        ShortenedPath::fit(path, m_ui.TotalLabel->fontMetrics(), m_ui.TotalLabel->width()));
    QLabel* status = m_popFrm->RTL();
    // The status line is as wide as the text it shows now.
    const int width = qMin(status->maximumWidth(), status->fontMetrics().horizontalAdvance(status->text()));
    status->setText(ShortenedPath::fit(path, status->fontMetrics(), width));
}

void TBForm::showPercent(int percent) {
    m_ui.PBar->setValue(percent);
    m_popFrm->PBar()->setValue(percent);
}

void TBForm::cbAutoClick() {
    m_intervalTimer->cbAutoClick(m_form2->cbAuto()->isChecked(), m_form2->E_interval()->value());
}

quint64 TBForm::totalBackups() const {
    return m_archiveJob->totalBackups();
}

void TBForm::StartWait() {
    m_intervalTimer->pause();
    m_menus.trayBackup->setEnabled(false);
    setBusyControlsEnabled(false);
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
    m_intervalTimer->resume(m_form2->cbAuto()->isChecked());
    m_menus.trayBackup->setEnabled(true);
    setBusyControlsEnabled(true);
    // After a cancel the run may still be winding down; Backup! waits for its real end.
    m_ui.btBackup->setEnabled(!m_backupRun->isRunning());
    m_popFrm->cancelButton()->hide();
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
    if (!m_toolbarMode)
        m_popFrm->hide();
}

void TBForm::SetToolbarMode() {
    marker().set(QStringLiteral("toolbar_mode"));
    m_menus.NormalMode1->setVisible(true);
    m_menus.toolbarMode1->setVisible(false);
    m_toolbarMode = true;
    HideFaded();
    if (m_logFrm->isVisible())
        m_logFrm->hide();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    platform::ProfileFile ini(settingsFilePath());
    const int left = ini.readInteger("settings", "toolbar_x", screen.width() - m_popFrm->width() - 4);
    const int top = ini.readInteger("settings", "toolbar_y", screen.height() - m_popFrm->height() - 32);
    m_popFrm->move(left, top);
    m_popFrm->show();
    m_popFrm->raise();
}

void TBForm::SetNormalMode() {
    marker().set(QStringLiteral("normal_mode"));
    setWindowState(windowState() & ~Qt::WindowMinimized);
    ShowFaded();
    m_menus.NormalMode1->setVisible(false);
    m_menus.toolbarMode1->setVisible(true);
    m_toolbarMode = false;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    platform::ProfileFile ini(settingsFilePath());
    move(ini.readInteger("settings", "x", screen.width() / 2 - width() / 2),
         ini.readInteger("settings", "y", screen.height() / 2 - height() / 2));
    if (m_form2->cbSLOG()->isChecked())
        m_logFrm->show();
    DockLogViewer();
    m_popFrm->hide();
}

void TBForm::ShowFaded() {
    show();
    if (m_form2->cbSLOG()->isChecked())
        m_logFrm->show();
}

void TBForm::HideFaded() {
    if (m_logFrm->isVisible())
        m_logFrm->hide();
    hide();
}

void TBForm::DockLogViewer() {
    if (!m_logFrm)
        return;
    const QRect frame = frameGeometry();
    m_logFrm->setGeometry(frame.left(), frame.top() + frame.height() + 1, frame.width(), m_logFrm->height());
    RoundCorners(m_logFrm);
}

void TBForm::RoundCorners(QWidget* window) {
    // The rounded, skinned shape comes with the skins; the plain window keeps its frame.
    window->update();
}

void TBForm::FormResize() {
    if (m_loadingConfig || !isVisible())
        return;
    // Both keys in one replacement of the file, none when they did not change.
    platform::ProfileBatch ini(settingsFilePath());
    ini.writeInteger("settings", "width", width());
    ini.writeInteger("settings", "height", height());
    ini.commit();
    DockLogViewer();
}

void TBForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_ui.placeOverlays(this);
    if (m_form2)
        FormResize();
}

void TBForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    DockLogViewer();
    updateTrayMenuVisibility();
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
    if (m_toolbarMode)
        SetNormalMode();
    else
        SetToolbarMode();
}

void TBForm::MainMenuPopup() {
    m_menus.NormalMode1->setVisible(m_toolbarMode);
    m_menus.toolbarMode1->setVisible(!m_toolbarMode);
}

void TBForm::showMainMenuAt(const QPoint& globalPos) {
    m_menus.mainMenu->popup(globalPos);
}

void TBForm::AddFolderBytes(const QByteArray& folder) {
    // A relative folder is taken from the program directory, where it was meant; later the
    // current directory moves to the destination and it would find nothing.
    std::filesystem::path path(folder.toStdString());
    if (path.is_relative())
        path = (pathFromText(m_programDir) / path).lexically_normal();
    m_folderSet->AddFolder(path);
}

void TBForm::AddExcludedFolderBytes(const QByteArray& folder) {
    m_form1->AddExcludedFolder(std::filesystem::path(folder.toStdString()));
}

void TBForm::AddExcludedTypeBytes(const QByteArray& type) {
    m_form1->AddExcludedType(QString::fromUtf8(type));
}

namespace {
QList<QByteArray> pathBytes(const std::vector<std::filesystem::path>& paths) {
    QList<QByteArray> result;
    for (const auto& path : paths)
        result.append(QByteArray::fromStdString(path.native()));
    return result;
}
} // namespace

QList<QByteArray> TBForm::folderPathBytes() const {
    return pathBytes(m_fldrList->folders());
}

QList<QByteArray> TBForm::excludedFolderBytes() const {
    return pathBytes(m_form1->excludedFolders());
}

QList<QByteArray> TBForm::excludedTypeBytes() const {
    QList<QByteArray> result;
    for (const QString& type : m_form1->excludedTypes())
        result.append(type.toUtf8());
    return result;
}

void TBForm::CheckOutdatedArchives() {
    m_housekeeping->CheckOutdatedArchives();
}

void TBForm::setBusyControlsEnabled(bool enabled) {
    for (QPushButton* button : {m_ui.btSettings, m_ui.btAdd, m_ui.btRemove, m_ui.btClear, m_ui.btBackup,
                                m_ui.btRecalc, m_ui.btExclude})
        button->setEnabled(enabled);
}
