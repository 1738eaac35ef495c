#include "app/traynotifier.h"

#include "app/traycontrol.h"

void TrayNotifier::setTray(TrayControl* tray) {
    m_tray = tray;
}

void TrayNotifier::notify(const QString& title, const QString& text, bool urgent) {
    if (m_tray)
        m_tray->showMessage(title, text, urgent);
}
