#pragma once

#include "platform/desktopnotifier.h"

#include <QPointer>

class TrayControl;

// Desktop notices as balloons of the program's tray icon, where the system has no notification
// service of its own; nothing is shown before the icon exists or where there is no tray.
class TrayNotifier : public platform::DesktopNotifier {
public:
    void setTray(TrayControl* tray);
    void notify(const QString& title, const QString& text, bool urgent) override;

private:
    QPointer<TrayControl> m_tray;
};
