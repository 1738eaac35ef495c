#pragma once

#include "app/lastbackup.h"

class SettingsModel;
namespace platform {
class DesktopNotifier;
}

// Tells the desktop how a backup ended: always when it went wrong (failed, incomplete,
// cancelled), and when it was made only if nobody would see it otherwise (the main window is
// hidden, or the run was started unattended). The settings can turn it off.
class BackupEndNotifier {
public:
    BackupEndNotifier(platform::DesktopNotifier* notifier, const SettingsModel& settings);

    static bool wanted(LastBackup::Result result, bool mainWindowShown, bool unattended);
    void backupEnded(const LastBackup& last, bool mainWindowShown, bool unattended);

private:
    platform::DesktopNotifier* m_notifier;
    const SettingsModel& m_settings;
};
