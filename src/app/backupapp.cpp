#include "app/backupapp.h"

#include "app/explainingopener.h"
#include "app/programlifecycle.h"
#include "app/programparts.h"
#include "app/settingssequence.h"
#include "app/singleinstance.h"
#include "app/startupsequence.h"
#include "app/timedshutdown.h"
#include "backupset/folderset.h"
#include "config/settingsmodel.h"
#include "core/userprompts.h"
#include "engine/backuprun.h"
#include "engine/backuprunevents.h"
#include "housekeeping/housekeeping.h"
#include "online/versioncheck.h"
#include "online/weblinks.h"
#include "platform/profilebatch.h"
#include "schedule/intervaltimer.h"
#include "sound/eventsounds.h"

#include <QMetaMethod>

#include <cstdio>
#include <system_error>

BackupApp::BackupApp(const QString& programDir, const QStringList& arguments, const AppServices& services,
                     QObject* parent)
    : QObject(parent) {
    ProgramParts::Hooks hooks;
    hooks.saveSettings = [this] {
        saveSettings();
    };
    hooks.closeProgram = [this] {
        requestClose();
    };
    hooks.reportError = [this](const QString& message) {
        reportUnexpectedError(message);
    };
    hooks.endOnErrorReport = [this] {
        endOnErrorReport();
    };
    m_parts = std::make_unique<ProgramParts>(programDir, services, hooks);
    m_lifecycle = std::make_unique<ProgramLifecycle>(*m_parts, arguments);
    connect(m_lifecycle.get(), &ProgramLifecycle::programEnded, this, &BackupApp::programEnded);
    connect(&m_parts->eventSounds(), &EventSounds::requested, this, &BackupApp::eventSoundRequested);
    TimedShutdown& shutdown = m_parts->timedShutdown();
    connect(&shutdown, &TimedShutdown::refused, m_lifecycle.get(), &ProgramLifecycle::shutdownRefused);
    connect(&shutdown, &TimedShutdown::overdue, m_lifecycle.get(), &ProgramLifecycle::shutdownRefused);
    connect(&m_parts->intervalTimer(), &IntervalTimer::backupDue, this, &BackupApp::backup);
    BackupRunEvents& events = m_parts->runEvents();
    events.setRunningSource([this] { return backupRunning(); });
    events.setShutdownAbort([this] { return m_lifecycle->withdrawPendingShutdown(); });
    // The countdown stands still while the program is busy.
    connect(&events, &BackupRunEvents::busyChanged, this, [this](bool busy) {
        IntervalTimer& timer = m_parts->intervalTimer();
        if (busy) {
            timer.pause();
            return;
        }
        m_parts->setMarker(QStringLiteral("stop_wait"));
        timer.resume(m_parts->settings().isOn(Setting::TimerEnabled));
    });
    connect(&events, &BackupRunEvents::soundRequested, &m_parts->eventSounds(), &EventSounds::PlayEventSound);
    connect(&m_parts->settings(), &SettingsModel::changed, this, [this](Setting setting) {
        if (setting == Setting::TimerEnabled || setting == Setting::TimerInterval)
            m_parts->intervalTimer().cbAutoClick(m_parts->settings().isOn(Setting::TimerEnabled),
                                                 m_parts->settings().number(Setting::TimerInterval));
    });
}

BackupApp::~BackupApp() {
    // What ends the program refers to every component: it goes first.
    m_lifecycle.reset();
}

void BackupApp::setView(ProgramView* view) {
    m_parts->setView(view);
}

void BackupApp::adoptInstanceGuard(std::unique_ptr<SingleInstance> guard) {
    m_guard = std::move(guard);
    if (!m_guard)
        return;
    connect(m_guard.get(), &SingleInstance::activationRequested, this, [this] {
        if (!hasEnded())
            Q_EMIT activationRequested();
    });
    connect(m_guard.get(), &SingleInstance::backupRequested, this, &BackupApp::forwardedBackupRequested);
}

void BackupApp::startUp() {
    StartupSequence(*m_parts, *m_lifecycle).runSteps();
}

void BackupApp::backup() {
    m_lifecycle->runBackup();
}

void BackupApp::backupAndClose() {
    m_lifecycle->backupAndClose();
}

void BackupApp::backupAndShutdown() {
    m_lifecycle->backupAndShutdown();
}

void BackupApp::cancelBackup() {
    m_parts->backupRun().btCancelClick();
}

void BackupApp::requestClose() {
    m_lifecycle->closeProgram();
}

void BackupApp::requestTermination() {
    m_lifecycle->requestTermination();
}

void BackupApp::endOnErrorReport() {
    m_lifecycle->endOnErrorReport();
}

void BackupApp::saveSettings() {
    SettingsSequence(*m_parts).SaveConfig(!autoShutdown() && !closingWithoutQuestions());
}

void BackupApp::recountFolders() {
    m_parts->folderSet().btRecalcClick();
}

void BackupApp::checkVersion(bool automatic) {
    m_parts->versionChecker().CheckVersion(automatic);
}

void BackupApp::checkOutdatedArchives() {
    m_parts->housekeeping().CheckOutdatedArchives();
}

void BackupApp::deleteOldLogsNow() {
    m_parts->housekeeping().CleanOldLogs(true);
}

void BackupApp::openQuickGuide() {
    m_parts->opener().openFile(m_parts->programDir() + QStringLiteral("help/Quoralis2005.html"));
}

const QString BackupApp::RestoreInsteadOffer =
    QStringLiteral("Open the restore window to get files back from the backups there?");

void BackupApp::openDestination() {
    const std::filesystem::path destination = m_parts->settings().destination();
    std::error_code ec;
    if (!destination.empty() && std::filesystem::is_directory(destination, ec)) {
        // Without a file manager the destination is no way to the files: the restore window is.
        if (m_parts->opener().openFolderOrOffer(destination, RestoreInsteadOffer))
            Q_EMIT restoreWindowWanted();
    } else
        m_parts->prompts().notify(QStringLiteral("Destination not set or not found"));
}

void BackupApp::openFolder(const std::filesystem::path& folder) {
    m_parts->opener().openFolder(folder);
}

void BackupApp::showAbout() {
    m_parts->prompts().notify(WebLinks::aboutText(programVersion()));
}

void BackupApp::openHomepage() {
    m_parts->opener().openWebAddress(WebLinks::homepage());
}

void BackupApp::openSupport() {
    m_parts->opener().openWebAddress(WebLinks::supportMail());
}

void BackupApp::openNewsletter() {
    m_parts->opener().openWebAddress(WebLinks::newsletter());
}

void BackupApp::storeToolbarPlace(const QPoint& topLeft) {
    platform::ProfileBatch ini(settingsFile());
    ini.writeInteger("settings", "toolbar_x", topLeft.x());
    ini.writeInteger("settings", "toolbar_y", topLeft.y());
    ini.commit();
}

void BackupApp::storeMainSize(const QSize& size) {
    // The side that changed, in one replacement of the file: a drag along one side writes only that side.
    platform::ProfileBatch ini(settingsFile());
    if (size.width() != m_writtenSize.width())
        ini.writeInteger("settings", "width", size.width());
    if (size.height() != m_writtenSize.height())
        ini.writeInteger("settings", "height", size.height());
    m_writtenSize = size;
    ini.commit();
}

void BackupApp::forwardedBackupRequested(const QStringList& arguments, const SingleInstanceReply& reply) {
    m_lifecycle->forwardedBackupRequested(arguments, reply);
}

void BackupApp::reportUnexpectedError(const QString& message) {
    if (isSignalConnected(QMetaMethod::fromSignal(&BackupApp::unexpectedError))) {
        Q_EMIT unexpectedError(message);
        return;
    }
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

bool BackupApp::hasEnded() const {
    return m_lifecycle->hasEnded();
}

int BackupApp::exitCode() const {
    return m_lifecycle->runStatus().code();
}

bool BackupApp::autoClose() const {
    return m_lifecycle->autoClose();
}

bool BackupApp::autoShutdown() const {
    return m_lifecycle->autoShutdown();
}

bool BackupApp::closingWithoutQuestions() const {
    return m_lifecycle->closingWithoutQuestions();
}

bool BackupApp::backupRunning() const {
    return m_parts->backupRun().isRunning();
}

bool BackupApp::shutdownPending() const {
    return m_parts->timedShutdown().pending();
}

bool BackupApp::toolbarMode() const {
    return m_parts->settings().isOn(Setting::ToolbarMode);
}

bool BackupApp::fading() const {
    return m_parts->settings().isOn(Setting::WindowFading);
}

QString BackupApp::programVersion() {
    return m_parts->programVersion();
}

QString BackupApp::programDir() const {
    return m_parts->programDir();
}

std::filesystem::path BackupApp::settingsFile() const {
    return m_parts->settingsFile();
}

std::filesystem::path BackupApp::logFolder() const {
    return m_parts->logFolder();
}

const AppServices& BackupApp::services() const {
    return m_parts->services();
}

UserPrompts& BackupApp::prompts() const {
    return m_parts->prompts();
}

SettingsModel& BackupApp::settings() const {
    return m_parts->settings();
}

ActivityLog& BackupApp::activityLog() const {
    return m_parts->activityLog();
}

EventMarker& BackupApp::marker() const {
    return m_parts->marker();
}

ExclusionLists& BackupApp::exclusions() const {
    return m_parts->exclusions();
}

FolderSet& BackupApp::folderSet() const {
    return m_parts->folderSet();
}

ArchiveComponent& BackupApp::archiveComponent() const {
    return m_parts->archiveComponent();
}

ArchiveJob& BackupApp::archiveJob() const {
    return m_parts->archiveJob();
}

BackupRun& BackupApp::backupRun() const {
    return m_parts->backupRun();
}

TimedShutdown& BackupApp::timedShutdown() const {
    return m_parts->timedShutdown();
}

IntervalTimer& BackupApp::intervalTimer() const {
    return m_parts->intervalTimer();
}

LastBackup& BackupApp::lastBackup() const {
    return m_parts->lastBackup();
}

Housekeeping& BackupApp::housekeeping() const {
    return m_parts->housekeeping();
}

VersionCheck& BackupApp::versionChecker() const {
    return m_parts->versionChecker();
}

EventSounds& BackupApp::eventSounds() const {
    return m_parts->eventSounds();
}

void BackupApp::setMainWindowShown(bool shown) {
    m_parts->runEvents().setMainWindowShown(shown);
}

bool BackupApp::canStartBackup() const {
    return m_parts->runEvents().backupAllowed();
}

BackupRunEvents& BackupApp::runEvents() const {
    return m_parts->runEvents();
}

ErrorReport& BackupApp::errorReporter() const {
    return m_parts->errorReporter();
}
