#pragma once

#include "app/mainmenus.h"
#include "app/mainwindowui.h"
#include "widgets/skinframe.h"

#include <QWidget>

#include <memory>

class BackupApp;
class ErrorReportWindow;
class ExclusionDialog;
class FolderListView;
class LogViewer;
class ResizeAffordance;
class RestoreWindow;
class SettingsDialog;
class ToolbarWindow;
class TrayControl;
class WindowModes;
class WindowMover;
class WindowResizer;

// The main window: shows the program (the folder list, progress, the timer) and sends it what the
// user asks for. Owns the program's other windows, the tray icon and the menus.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(BackupApp& app, QWidget* parent = nullptr);
    ~MainWindow() override;

    BackupApp& program() const { return m_app; }

    // The stored place and size, fitted to the screens of now.
    void applyStoredGeometry(const QRect& stored);
    void showTitleHint();

    // What the user can do here.
    void btCloseClick();
    void Close1Click();
    void showRestoreWindow();
    void btSettingsClick();

    SettingsDialog* settingsDialog() const { return m_form2; }
    ExclusionDialog* exclusionDialog() const { return m_form1; }
    FolderListView* FldrList() const { return m_fldrList; }
    ToolbarWindow* toolbarWindow() const { return m_popFrm; }
    LogViewer* logViewer() const { return m_logFrm; }
    ErrorReportWindow* errorForm() const { return m_errorForm; }
    TrayControl* tray() const { return m_tray; }
    ResizeAffordance* resizeAffordance() const { return m_resizeAffordance; }
    WindowMover* mover() const { return m_mover; }
    WindowResizer* resizer() const { return m_resizer; }
    const MainWindowUi& ui() const { return m_ui; }
    const MainMenus& menus() const { return m_menus; }
    WindowModes& modes() const { return *m_modes; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createWindows();
    void createWindowHandling();
    void connectControls();
    void connectMenus();
    void connectProgram();
    void btExcludeClick();
    void dockLogViewer();
    void updateTrayMenuVisibility();
    void setWindowOpenersEnabled(bool enabled);
    bool confirmClose();

    BackupApp& m_app;
    SkinFrame m_skin;
    MainWindowUi m_ui;
    MainMenus m_menus;

    ErrorReportWindow* m_errorForm = nullptr;
    ToolbarWindow* m_popFrm = nullptr;
    SettingsDialog* m_form2 = nullptr;
    ExclusionDialog* m_form1 = nullptr;
    FolderListView* m_fldrList = nullptr;
    LogViewer* m_logFrm = nullptr;
    TrayControl* m_tray = nullptr;
    RestoreWindow* m_restore = nullptr;
    std::unique_ptr<WindowModes> m_modes;
    ResizeAffordance* m_resizeAffordance = nullptr;
    WindowMover* m_mover = nullptr;
    WindowResizer* m_resizer = nullptr;
    bool m_placing = false;
};
