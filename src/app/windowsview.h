#pragma once

#include "app/programview.h"

class MainWindow;
class WindowModes;

// The program's windows as start-up and close see them: the main window placed and shown as the
// settings say, the log viewer docked, the places kept for the settings file, the fade at close.
class WindowsView : public ProgramView {
public:
    WindowsView(MainWindow& window, WindowModes& modes);

    void showProgramIcon() override;
    void placeMainWindow(std::optional<int> x, std::optional<int> y, QSize size) override;
    void dockLogViewer() override;
    void enterToolbarMode() override;
    void hideLogViewer() override;
    void showAtStart(bool minimized) override;
    std::optional<Places> places() const override;
    void fadeOutForClose() override;
    void hideAllWindows() override;

private:
    MainWindow& m_window;
    WindowModes& m_modes;
};
