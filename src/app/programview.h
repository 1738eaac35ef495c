#pragma once

#include <QPoint>
#include <QSize>

#include <optional>

// What the program's start-up and close ask of whatever shows the program. The windows implement
// it; a program without windows (an unattended test) keeps the default, which shows nothing.
class ProgramView {
public:
    // Where the windows stand, as the settings file keeps it.
    struct Places {
        QPoint toolbar;
        QPoint main;
        QSize mainSize;
    };

    virtual ~ProgramView() = default;

    // The program's icon on the window and in the tray, and the tray icon shown.
    virtual void showProgramIcon() {}
    // The stored place and size of the main window; no place: centred on the screen.
    virtual void placeMainWindow(std::optional<int> /*x*/, std::optional<int> /*y*/, QSize /*size*/) {}
    virtual void dockLogViewer() {}
    virtual void enterToolbarMode() {}
    virtual void hideLogViewer() {}
    // Shows the windows as the settings and "/minimize" ask, or leaves them hidden.
    virtual void showAtStart(bool /*minimized*/) {}
    // Where the windows stand now, for the settings file; nothing when nothing is shown.
    virtual std::optional<Places> places() const { return std::nullopt; }
    // The close sequence's last step before the program ends: the windows fade out.
    virtual void fadeOutForClose() {}
    // The program has ended: every window goes.
    virtual void hideAllWindows() {}
};
