#include "app/backupendnotifier.h"

#include "config/settingsmodel.h"
#include "platform/desktopnotifier.h"

BackupEndNotifier::BackupEndNotifier(platform::DesktopNotifier* notifier, const SettingsModel& settings)
    : m_notifier(notifier)
    , m_settings(settings) {}

bool BackupEndNotifier::wanted(LastBackup::Result result, bool mainWindowShown, bool unattended) {
    switch (result) {
    case LastBackup::Result::None:
        return false;
    case LastBackup::Result::Made:
        return !mainWindowShown || unattended;
    case LastBackup::Result::Incomplete:
    case LastBackup::Result::Failed:
    case LastBackup::Result::Cancelled:
        return true;
    }
    return false;
}

void BackupEndNotifier::backupEnded(const LastBackup& last, bool mainWindowShown, bool unattended) {
    if (m_notifier == nullptr || !m_settings.isOn(Setting::DesktopNotifications) ||
        !wanted(last.result(), mainWindowShown, unattended))
        return;
    const bool failed = last.result() == LastBackup::Result::Failed;
    m_notifier->notify(failed ? QStringLiteral("Quoralis2005: backup failed")
                              : QStringLiteral("Quoralis2005: ") +
                                    QString::fromLatin1(LastBackup::keyword(last.result())),
                       last.statusText(), failed || last.result() == LastBackup::Result::Incomplete);
}
