#pragma once

#include "engine/backuprunhost.h"
#include "engine/progressview.h"

#include <QObject>

#include <functional>

// What a backup run and the folder walks tell the program, as signals for whoever shows it, and
// what they ask of it, answered from the state it was given. Keeps the busy state.
class BackupRunEvents : public QObject, public BackupRunHost, public ProgressView {
    Q_OBJECT
public:
    explicit BackupRunEvents(QObject* parent = nullptr);

    // Whether a backup run is still working (after a cancel it may be winding down).
    void setRunningSource(std::function<bool()> running) { m_running = std::move(running); }
    // Aborts a pending timed shutdown; true when there was one.
    void setShutdownAbort(std::function<bool()> abort) { m_abortShutdown = std::move(abort); }
    void setMainWindowShown(bool shown) { m_mainWindowShown = shown; }
    bool busy() const { return m_busy; }

    void StartWait() override;
    void StopWait() override;
    bool backupAllowed() const override;
    bool abortPendingShutdown() override;
    bool mainWindowVisible() const override { return m_mainWindowShown; }
    void showToolbarWindow() override;
    void chooseDestination() override;
    void PlayEventSound(const QString& eventName) override;
    void prepareForNewArchive() override;
    void showCurrentFile(const std::filesystem::path& file) override;
    void showPercent(int percent) override;

Q_SIGNALS:
    // A count or a backup began or ended: the controls that start another are disabled meanwhile.
    void busyChanged(bool busy);
    void archiveStarting();
    void currentFileShown(const std::filesystem::path& file);
    void percentShown(int percent);
    // A backup runs while the main window is hidden: its progress shows in the toolbar window.
    void toolbarWindowWanted();
    // The settings are wanted at the destination field.
    void destinationChoiceWanted();
    void soundRequested(const QString& eventName);

private:
    std::function<bool()> m_running = [] {
        return false;
    };
    std::function<bool()> m_abortShutdown = [] {
        return false;
    };
    bool m_busy = false;
    bool m_mainWindowShown = false;
};
