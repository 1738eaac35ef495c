#pragma once

#include <QObject>

#include <functional>

class QIcon;
class QMenu;
class QSystemTrayIcon;

// The tray icon with its hint, click, double-click and menu. Where the desktop has no
// tray, nothing may be hidden into it: hasTray() tells the windows to minimize to the task
// bar instead. Owns the icon.
class TrayControl : public QObject {
    Q_OBJECT
public:
    // trayProbe answers whether the desktop shows a tray; by default the system is asked.
    TrayControl(QMenu* menu, std::function<bool()> trayProbe, QObject* parent = nullptr);

    bool hasTray() const;
    void setIcon(const QIcon& icon);
    void setToolTip(const QString& hint);
    QString toolTip() const;
    // A balloon from the icon, where the desktop shows a tray.
    void showMessage(const QString& title, const QString& text, bool urgent);
    void show();
    void hide();

Q_SIGNALS:
    void clicked();
    void doubleClicked();

private:
    QSystemTrayIcon* m_icon;
    std::function<bool()> m_trayProbe;
};
