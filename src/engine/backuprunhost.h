#pragma once

#include "backupset/busystate.h"

#include <QString>

// What a backup run needs of the main window besides its busy state.
class BackupRunHost : public BusyState {
public:
    // The Backup button is enabled: no run and no folder count is in progress.
    virtual bool backupAllowed() const = 0;
    // Aborts a pending timed shutdown; true when there was one (no backup is made then).
    virtual bool abortPendingShutdown() = 0;
    virtual bool mainWindowVisible() const = 0;
    virtual void showToolbarWindow() = 0;
    // The user asked to choose the destination now.
    virtual void chooseDestination() = 0;
    virtual void PlayEventSound(const QString& eventName) = 0;
};
