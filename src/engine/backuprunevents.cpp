#include "engine/backuprunevents.h"

BackupRunEvents::BackupRunEvents(QObject* parent)
    : QObject(parent) {}

void BackupRunEvents::StartWait() {
    m_busy = true;
    Q_EMIT busyChanged(true);
}

void BackupRunEvents::StopWait() {
    m_busy = false;
    Q_EMIT busyChanged(false);
}

bool BackupRunEvents::backupAllowed() const {
    // What the Backup button shows: no count or backup in progress, and none winding down after a cancel.
    return !m_busy && !m_running();
}

bool BackupRunEvents::abortPendingShutdown() {
    return m_abortShutdown();
}

void BackupRunEvents::showToolbarWindow() {
    Q_EMIT toolbarWindowWanted();
}

void BackupRunEvents::chooseDestination() {
    Q_EMIT destinationChoiceWanted();
}

void BackupRunEvents::PlayEventSound(const QString& eventName) {
    Q_EMIT soundRequested(eventName);
}

void BackupRunEvents::prepareForNewArchive() {
    Q_EMIT archiveStarting();
}

void BackupRunEvents::showCurrentFile(const std::filesystem::path& file) {
    Q_EMIT currentFileShown(file);
}

void BackupRunEvents::showPercent(int percent) {
    Q_EMIT percentShown(percent);
}
