#include "app/traycontrol.h"

#include <QMenu>
#include <QSystemTrayIcon>

TrayControl::TrayControl(QMenu* menu, std::function<bool()> trayProbe, QObject* parent)
    : QObject(parent)
    , m_icon(new QSystemTrayIcon(this))
    , m_trayProbe(trayProbe ? std::move(trayProbe)
                            : [] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
    m_icon->setContextMenu(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT clicked();
        else if (reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT doubleClicked();
    });
}

bool TrayControl::hasTray() const {
    return m_trayProbe();
}

void TrayControl::setIcon(const QIcon& icon) {
    m_icon->setIcon(icon);
}

void TrayControl::setToolTip(const QString& hint) {
    m_icon->setToolTip(hint);
}

void TrayControl::showMessage(const QString& title, const QString& text, bool urgent) {
    if (hasTray() && m_icon->isVisible())
        m_icon->showMessage(title, text, urgent ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

QString TrayControl::toolTip() const {
    return m_icon->toolTip();
}

void TrayControl::show() {
    m_icon->show();
}

void TrayControl::hide() {
    m_icon->hide();
}
