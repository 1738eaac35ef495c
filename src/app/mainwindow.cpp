#include "app/mainwindow.h"

#include "app/backupapp.h"
#include "app/resizeaffordance.h"
#include "app/rundisplay.h"
#include "app/toolbarwindow.h"
#include "app/traycontrol.h"
#include "app/windowmodes.h"
#include "backupset/exclusiondialog.h"
#include "backupset/folderlistview.h"
#include "backupset/folderset.h"
#include "config/settingsdialog.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/archivejob.h"
#include "engine/backuprunevents.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "log/logviewer.h"
#include "online/errorreportwindow.h"
#include "platform/systeminfo.h"
#include "restore/restorewindow.h"
#include "schedule/intervaltimer.h"
#include "widgets/picturebutton.h"
#include "widgets/roundedshape.h"
#include "widgets/screenfit.h"
#include "widgets/shortenedpath.h"
#include "widgets/skinnedbutton.h"
#include "widgets/skinpalette.h"
#include "widgets/windowmover.h"
#include "widgets/windowresizer.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace {

const QString kTitle = QStringLiteral("Quoralis2005");
constexpr int kMinWidth = 490;
constexpr int kMinHeight = 330;
constexpr int kResizeBorder = 5;

} // namespace

MainWindow::MainWindow(BackupApp& app, QWidget* parent)
    : QWidget(parent)
    , m_app(app)
    , m_skin(QDir(app.programDir()).filePath(QStringLiteral("skins")), QStringLiteral("main"),
             QMargins(6, MainWindowUi::kTitleHeight, 6, 6)) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(kTitle);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    m_skin.setFallbackColours(SkinPalette::background(), SkinPalette::titleStrip());
    setPalette(SkinPalette::windowPalette());
    m_ui.setup(this, m_skin.borders());
    m_menus.setup(this);
    createWindows();
    createWindowHandling();
    connectControls();
    connectMenus();
    connectProgram();
}

MainWindow::~MainWindow() {
    m_app.setMainWindowShown(false);
    // The windows made here refer to each other; they go while all of them still exist.
    m_modes.reset();
    while (!children().isEmpty())
        delete children().constFirst();
}

void MainWindow::createWindows() {
    m_errorForm = new ErrorReportWindow(m_app.errorReporter(), this);
    m_errorForm->setWindowFlag(Qt::Window);
    m_errorForm->hide();
    connect(&m_app, &BackupApp::unexpectedError, m_errorForm, &ErrorReportWindow::showError);

    const QString skinsDir = QDir(m_app.programDir()).filePath(QStringLiteral("skins"));
    m_popFrm = new ToolbarWindow(skinsDir, this);
    m_popFrm->setFadingSource([this] { return m_app.fading(); });
    RoundedShape::apply(m_popFrm);
    m_form1 = new ExclusionDialog(m_app.exclusions(), m_app.settings(), m_app.prompts(), this);
    m_form1->hide();
    m_form2 = new SettingsDialog(m_app.settings(), m_app.prompts(), this);
    m_form2->hide();
    m_form2->setExampleNameProvider([this] { return m_app.archiveJob().ExampleArchiveName(); });
    for (QWidget* window :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(m_popFrm), static_cast<QWidget*>(m_form1),
          static_cast<QWidget*>(m_form2), static_cast<QWidget*>(m_errorForm)})
        ScreenFit::keepOnScreen(window);
    m_logFrm = new LogViewer(m_app.activityLog(), skinsDir, this);
    m_logFrm->setFadingSource([this] { return m_app.fading(); });
    RoundedShape::apply(m_logFrm);

    m_fldrList = new FolderListView(m_app.settings(), m_app.folderSet(), this);
    m_ui.listArea->addWidget(m_fldrList, 1);
    m_tray = new TrayControl(m_menus.trayMenu, m_app.services().trayAvailable, this);
    m_tray->setToolTip(kTitle + QStringLiteral(" click to open"));
    m_ui.btVersion->setText(QStringLiteral("v. ") + m_app.programVersion());
}

void MainWindow::createWindowHandling() {
    WindowModes::Context modes;
    modes.main = this;
    modes.toolbar = m_popFrm;
    modes.logViewer = m_logFrm;
    modes.menus = &m_menus;
    modes.tray = m_tray;
    modes.settings = &m_app.settings();
    modes.marker = &m_app.marker();
    modes.settingsFile = [this] {
        return m_app.settingsFile();
    };
    m_modes = std::make_unique<WindowModes>(modes);

    m_resizeAffordance = new ResizeAffordance(this, m_ui.btResize, [this] {
        RoundedShape::apply(this);
        dockLogViewer();
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
    connect(m_mover, &WindowMover::moveFinished, this, &MainWindow::dockLogViewer);
    connect(m_resizer, &WindowResizer::resizeFinished, this, [this] { m_modes->placedByHand(); });
}

void MainWindow::connectControls() {
    connect(m_ui.btClose, &PictureButton::clicked, this, &MainWindow::btCloseClick);
    connect(m_ui.btHelp, &PictureButton::clicked, &m_app, &BackupApp::openQuickGuide);
    connect(m_ui.btHide, &PictureButton::clicked, this, [this] { m_modes->minimizeToTray(); });
    connect(m_ui.btMenu, &PictureButton::clicked, this,
            [this] { m_menus.mainMenu->popup(m_ui.btMenu->mapToGlobal(QPoint(0, 12))); });
    m_ui.titleStrip->installEventFilter(this);
    m_ui.titleStrip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.titleStrip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menus.mainMenu->popup(m_ui.titleStrip->mapToGlobal(pos)); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menus.mainMenu->popup(mapToGlobal(pos)); });

    connect(m_ui.btSettings, &QPushButton::clicked, this, &MainWindow::btSettingsClick);
    connect(m_ui.btBackup, &QPushButton::clicked, &m_app, &BackupApp::backup);
    connect(m_ui.btBackup, &QPushButton::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menus.backupMenu->popup(m_ui.btBackup->mapToGlobal(pos)); });
    connect(m_ui.btRestore, &QPushButton::clicked, &m_app, &BackupApp::openDestination);
    // The backups themselves, file by file: the right-click on Restore and both menus.
    m_ui.btRestore->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui.btRestore, &QWidget::customContextMenuRequested, this, &MainWindow::showRestoreWindow);
    connect(&m_app, &BackupApp::restoreWindowWanted, this, &MainWindow::showRestoreWindow);
    connect(&m_app.runEvents(), &BackupRunEvents::destinationChoiceWanted, this, [this] {
        // After the run has stopped: the settings dialog has a loop of its own.
        QTimer::singleShot(0, this, [this] {
            m_form2->turnToDestination();
            btSettingsClick();
        });
    });
    FolderSet& folders = m_app.folderSet();
    connect(m_ui.btAdd, &QPushButton::clicked, &folders, &FolderSet::btAddClick);
    connect(m_ui.btRemove, &QPushButton::clicked, this,
            [this] { m_app.folderSet().btRemoveClick(m_fldrList->selectedFolders()); });
    connect(m_fldrList, &FolderListView::removeSelectedRequested, m_ui.btRemove, &QPushButton::click);
    connect(m_fldrList, &FolderListView::openFolderRequested, &m_app, &BackupApp::openFolder);
    connect(m_ui.btClear, &QPushButton::clicked, &folders, &FolderSet::btClearClick);
    connect(m_ui.btRecalc, &QPushButton::clicked, &folders, &FolderSet::btRecalcClick);
    connect(m_ui.btExclude, &QPushButton::clicked, this, &MainWindow::btExcludeClick);
    connect(m_ui.btVersion, &QAbstractButton::clicked, this, [this] { m_app.checkVersion(false); });
    connect(m_ui.btCancel, &QPushButton::clicked, &m_app, &BackupApp::cancelBackup);

    connect(m_form2, &SettingsDialog::updateRequested, this, [this] { m_app.checkVersion(false); });
    connect(m_form2, &SettingsDialog::newsletterRequested, &m_app, &BackupApp::openNewsletter);
    connect(m_form2, &SettingsDialog::deleteLogsNowRequested, &m_app, &BackupApp::deleteOldLogsNow);
    connect(m_tray, &TrayControl::clicked, this, [this] { m_modes->trayIconClicked(); });
    connect(m_tray, &TrayControl::doubleClicked, this, [this] { m_modes->toggleToolbarMode(); });
    connect(m_popFrm, &ToolbarWindow::menuRequested, m_menus.mainMenu,
            [this](const QPoint& at) { m_menus.mainMenu->popup(at); });
    connect(m_popFrm, &ToolbarWindow::backgroundDoubleClicked, this, [this] { m_modes->SetNormalMode(); });
    connect(m_popFrm, &ToolbarWindow::dropped, this, [this](const QPoint& topLeft) {
        m_app.storeToolbarPlace(ScreenFit::onScreen(QRect(topLeft, m_popFrm->size())).topLeft());
    });
    connect(m_popFrm->backupButton(), &PictureButton::clicked, &m_app, &BackupApp::backup);
    connect(m_popFrm->closeButton(), &PictureButton::clicked, this, &MainWindow::btCloseClick);
    connect(m_popFrm->cancelButton(), &PictureButton::clicked, &m_app, &BackupApp::cancelBackup);
    connect(m_logFrm, &LogViewer::hiddenByUser, this,
            [this] { m_app.settings().setOn(Setting::ShowLog, false); });
}

void MainWindow::connectMenus() {
    m_menus.connectTo(m_app);
    connect(m_menus.toolbarMode1, &QAction::triggered, this, [this] { m_modes->SetToolbarMode(); });
    connect(m_menus.NormalMode1, &QAction::triggered, this, [this] { m_modes->SetNormalMode(); });
    connect(m_menus.Show1, &QAction::triggered, this, [this] { m_modes->SetNormalMode(); });
    connect(m_menus.Hide1, &QAction::triggered, this, [this] { m_modes->minimizeToTray(); });
    connect(m_menus.Minimizetotray1, &QAction::triggered, this, [this] { m_modes->minimizeAllToTray(); });
    for (QAction* a : {m_menus.Configuration1, m_menus.trayConfiguration})
        connect(a, &QAction::triggered, this, &MainWindow::btSettingsClick);
    for (QAction* a : {m_menus.mainRestoreFiles, m_menus.trayRestoreFiles})
        connect(a, &QAction::triggered, this, &MainWindow::showRestoreWindow);
    for (QAction* a : {m_menus.Close3, m_menus.Close1})
        connect(a, &QAction::triggered, this, &MainWindow::Close1Click);
    connect(m_menus.mainMenu, &QMenu::aboutToShow, this, [this] {
        m_menus.NormalMode1->setVisible(m_app.toolbarMode());
        m_menus.toolbarMode1->setVisible(!m_app.toolbarMode());
    });
}

void MainWindow::connectProgram() {
    new RunDisplay(m_app, m_ui, m_menus, *m_popFrm, *m_tray, *m_fldrList, this);
    connect(&m_app.runEvents(), &BackupRunEvents::busyChanged, this, [this](bool busy) {
        setWindowOpenersEnabled(!busy);
        if (!busy && !m_app.toolbarMode() && m_popFrm->isVisible())
            m_popFrm->hideFaded();
    });
    connect(&m_app.runEvents(), &BackupRunEvents::toolbarWindowWanted, m_popFrm, &ToolbarWindow::showFaded);
    connect(&m_app, &BackupApp::activationRequested, this, [this] { m_modes->bringToFront(); });
    connect(&m_app.activityLog(), &ActivityLog::messageLogged, m_popFrm, &ToolbarWindow::setStatus);
    connect(&m_app.folderSet(), &FolderSet::totalsChanged, m_ui.TotalLabel, &QLabel::setText);
    IntervalTimer& timer = m_app.intervalTimer();
    connect(&timer, &IntervalTimer::titleChanged, this, &QWidget::setWindowTitle);
    connect(&timer, &IntervalTimer::countdownChanged, m_ui.TimerLabel, [this](const QString& countdown) {
        m_ui.TimerLabel->setText(QStringLiteral("Next backup in ") + countdown);
    });
    connect(&timer, &IntervalTimer::countdownVisibleChanged, m_ui.TimerLabel, &QLabel::setVisible);
    connect(&m_app.settings(), &SettingsModel::changed, this, [this](Setting setting) {
        if (setting == Setting::ShowLog)
            m_modes->showLogChanged(m_app.settings().isOn(Setting::ShowLog));
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Only the program's end closes the window. The window manager's close (Alt+F4) asks what the
    // close button asks; during a backup the close itself asks whether to cancel it.
    if (!m_app.hasEnded()) {
        if (event->spontaneous() && !m_app.backupRunning() && !confirmClose()) {
            event->ignore();
            return;
        }
        m_app.requestClose();
    }
    event->setAccepted(m_app.hasEnded());
}

bool MainWindow::confirmClose() {
    return m_app.prompts().ask(QStringLiteral("Are you sure you want to close Quoralis2005?"));
}

void MainWindow::applyStoredGeometry(const QRect& stored) {
    // Applied without the resize reaction writing it back.
    m_placing = true;
    move(stored.topLeft());
    resize(stored.size());
    // A stored place off the screens of now (a screen since removed, another scale, a damaged
    // file) would leave the window where nobody can reach it.
    ScreenFit::fit(this, m_modes->dockedViewerRoom());
    m_placing = false;
}

void MainWindow::showTitleHint() {
    m_ui.titleStrip->setToolTip(QStringLiteral("Right-click for menu,\ndouble-click toggles Toolbar Mode"));
}

void MainWindow::btCloseClick() {
    m_app.marker().set(QStringLiteral("close_program"));
    Close1Click();
}

void MainWindow::Close1Click() {
    // During a backup the close itself asks whether to cancel it.
    if (m_app.backupRunning() || confirmClose())
        m_app.requestClose();
}

void MainWindow::showRestoreWindow() {
    if (!m_restore) {
        m_restore = new RestoreWindow(
            [this] { return m_app.settings().destination(); }, m_app.prompts(),
            [this](const std::filesystem::path& folder) { m_app.openFolder(folder); }, this);
        connect(m_restore, &RestoreWindow::activityReported, &m_app.activityLog(), &ActivityLog::logMessage);
    }
    m_restore->setEnabled(!m_app.backupRunning());
    m_restore->showRestore();
}

void MainWindow::btSettingsClick() {
    m_form2->exec();
    m_app.saveSettings();
}

void MainWindow::btExcludeClick() {
    m_form1->exec();
    m_app.saveSettings();
    m_app.recountFolders();
}

void MainWindow::setWindowOpenersEnabled(bool enabled) {
    // A window with a loop of its own, opened while a run waits, would hold the run until it closed.
    for (QAction* action :
         {m_menus.Configuration1, m_menus.trayConfiguration, m_menus.mainCheckUpdates,
          m_menus.trayCheckUpdates, m_menus.About1, m_menus.mainRestoreFiles, m_menus.trayRestoreFiles})
        action->setEnabled(enabled);
    m_ui.btVersion->setEnabled(enabled);
    if (m_restore)
        m_restore->setEnabled(enabled);
    m_form2->setPromptingEnabled(enabled);
    m_form1->setFolderPickingEnabled(enabled);
}

void MainWindow::dockLogViewer() {
    if (m_modes)
        m_modes->DockLogViewer();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_modes)
        m_modes->geometryChanged();
    m_ui.placeOverlays(this);
    RoundedShape::apply(this);
    if (m_placing || !isVisible())
        return;
    m_app.storeMainSize(size());
    dockLogViewer();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_app.setMainWindowShown(true);
    dockLogViewer();
    updateTrayMenuVisibility();
}

void MainWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_app.setMainWindowShown(false);
    updateTrayMenuVisibility();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_modes)
        m_modes->geometryChanged();
    // The viewer follows while the window is dragged; the drag's end docks it again.
    if (m_logFrm && m_logFrm->isVisible())
        dockLogViewer();
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

void MainWindow::updateTrayMenuVisibility() {
    m_menus.Hide1->setVisible(isVisible());
    m_menus.Show1->setVisible(!isVisible());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // A double-click on the title strip toggles toolbar mode.
    if (watched == m_ui.titleStrip && event->type() == QEvent::MouseButtonDblClick) {
        m_modes->toggleToolbarMode();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
