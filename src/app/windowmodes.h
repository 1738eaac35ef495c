#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class EventMarker;
class MainMenus;
class SettingsModel;
class QWidget;
class LogViewer;
class ToolbarWindow;
class TrayControl;
class WindowFader;

// The modes of the main window (normal and toolbar), showing and hiding it with fading
// together with the log viewer, docking the viewer below it, and hiding into the tray,
// which minimizes to the task bar instead where the desktop has no tray. Owns the main
// window's fader.
class WindowModes {
public:
    struct Context {
        QWidget* main = nullptr;
        ToolbarWindow* toolbar = nullptr;
        LogViewer* logViewer = nullptr;
        MainMenus* menus = nullptr;
        TrayControl* tray = nullptr;
        SettingsModel* settings = nullptr;
        EventMarker* marker = nullptr;
        std::function<std::filesystem::path()> settingsFile;
    };

    explicit WindowModes(const Context& context);

    void SetToolbarMode();
    void SetNormalMode();
    void ShowFaded();
    void HideFaded();
    void DockLogViewer();
    void toggleToolbarMode();
    // The close sequence's fade-out: the main window ends transparent, still shown.
    void closeFadeOut();

    // "Minimize to tray" (button, tray menu "Hide"): into the tray, or to the task bar.
    void minimizeToTray();
    // Main menu "Minimize to tray": in toolbar mode the toolbar window goes too.
    void minimizeAllToTray();
    // start_hidden or "/minimize" at start-up.
    void startHidden();
    // The main window came back from the task bar: the log viewer comes back with it.
    void restoredFromTaskBar();
    // Shows the windows at start as the settings and "/minimize" ask, or leaves them hidden.
    void showAtStart(bool minimized);
    // Another start of the program: the window of the present mode comes forward.
    void bringToFront();
    // A click on the tray icon shows or hides the main window.
    void trayIconClicked();
    // "Show log" was switched: the viewer follows, and shows only with the main window.
    void showLogChanged(bool show);

    QPoint defaultToolbarPosition() const;
    // The docked log viewer's distance below the main window, and the room it takes there.
    static constexpr int DockGap = 1;
    int dockedViewerRoom() const;

    // The window manager maximized the main window. Maximized, the docked log viewer would hang
    // below the screen and the borderless window would have no way back; instead the window
    // fills the work area above the viewer, and the next maximize gives back the size before.
    void maximizeRequested();
    // The main window moved or changed size; remembered as the size to come back to.
    void geometryChanged();
    // The user resized the main window: a filled window is an ordinary one again.
    void placedByHand();

private:
    void minimizeToTaskBar();

    // What "Minimize to tray" without a tray put away, to bring back from the task bar.
    struct TaskBarRestore {
        bool toolbar = false;
        bool mainWasHidden = false;
    };

    QRect filledArea() const;

    Context m_context;
    WindowFader* m_fader;
    // The last size shown that was not the window manager's maximized one, and the last one
    // that was not the filled one either.
    QRect m_shownGeometry;
    QRect m_normalGeometry;
    std::optional<QRect> m_beforeFill;
    std::optional<QRect> m_fillTarget;
    bool m_filling = false;
    bool m_maximizePending = false;
    TaskBarRestore m_taskBarRestore;
};
