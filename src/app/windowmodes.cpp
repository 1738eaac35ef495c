#include "app/windowmodes.h"

#include "config/settingsmodel.h"

#include "app/mainmenus.h"
#include "app/toolbarwindow.h"
#include "app/traycontrol.h"
#include "log/eventmarker.h"
#include "log/logviewer.h"
#include "platform/profilefile.h"
#include "widgets/roundedshape.h"
#include "widgets/screenfit.h"
#include "widgets/windowfader.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <utility>

WindowModes::WindowModes(const Context& context)
    : m_context(context)
    , m_fader(new WindowFader(context.main)) {}

void WindowModes::SetToolbarMode() {
    Context& c = m_context;
    c.marker->set(QStringLiteral("toolbar_mode"));
    c.menus->NormalMode1->setVisible(true);
    c.menus->toolbarMode1->setVisible(false);
    c.settings->setOn(Setting::ToolbarMode, true);
    HideFaded();
    if (c.logViewer->isVisible())
        c.logViewer->Fhide();
    const QPoint fallback = defaultToolbarPosition();
    const platform::ProfileFile ini(c.settingsFile());
    // A place on no screen (a screen since removed) goes back to the default place; one partly off
    // the screens of now is moved onto them.
    QRect wanted = ScreenFit::fromStored(ini.readInteger("settings", "toolbar_x", fallback.x()),
                                         ini.readInteger("settings", "toolbar_y", fallback.y()),
                                         c.toolbar->width(), c.toolbar->height());
    if (!QGuiApplication::screenAt(wanted.center()))
        wanted.moveTopLeft(fallback);
    c.toolbar->move(ScreenFit::onScreen(wanted).topLeft());
    c.toolbar->showFaded();
}

QPoint WindowModes::defaultToolbarPosition() const {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    return {screen.x() + screen.width() - m_context.toolbar->width() - 4,
            screen.y() + screen.height() - m_context.toolbar->height() - 32};
}

int WindowModes::dockedViewerRoom() const {
    return m_context.logViewer->height() + DockGap;
}

void WindowModes::SetNormalMode() {
    Context& c = m_context;
    c.marker->set(QStringLiteral("normal_mode"));
    // The window goes to its saved place before it shows, so it does not jump there.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const platform::ProfileFile ini(c.settingsFile());
    const QPoint place(ini.readInteger("settings", "x", screen.width() / 2 - c.main->width() / 2),
                       ini.readInteger("settings", "y", screen.height() / 2 - c.main->height() / 2));
    c.main->move(place);
    ScreenFit::fit(c.main, dockedViewerRoom());
    // Asked for by name: it stays shown, whatever the task bar's way back would restore.
    m_taskBarRestore = {};
    c.main->setWindowState(c.main->windowState() & ~Qt::WindowMinimized);
    ShowFaded();
    c.menus->NormalMode1->setVisible(false);
    c.menus->toolbarMode1->setVisible(true);
    c.settings->setOn(Setting::ToolbarMode, false);
    if (c.main->windowFlags() & Qt::WindowStaysOnTopHint)
        c.main->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (c.settings->isOn(Setting::ShowLog) && !c.logViewer->isVisible())
        c.logViewer->Fshow();
    DockLogViewer();
    c.toolbar->hideFaded();
}

void WindowModes::toggleToolbarMode() {
    if (m_context.settings->isOn(Setting::ToolbarMode))
        SetNormalMode();
    else
        SetToolbarMode();
}

void WindowModes::ShowFaded() {
    m_fader->show(m_context.settings->isOn(Setting::WindowFading));
    if (m_context.settings->isOn(Setting::ShowLog))
        m_context.logViewer->Fshow();
}

void WindowModes::HideFaded() {
    if (m_context.logViewer->isVisible())
        m_context.logViewer->Fhide();
    m_fader->hide(m_context.settings->isOn(Setting::WindowFading));
}

void WindowModes::closeFadeOut() {
    m_fader->fadeOut(m_context.settings->isOn(Setting::WindowFading));
}

void WindowModes::DockLogViewer() {
    LogViewer* viewer = m_context.logViewer;
    if (!viewer)
        return;
    // A borderless window is its own frame; the border of the resize affordance is not.
    QWidget* main = m_context.main;
    const QRect frame =
        (main->windowFlags() & Qt::FramelessWindowHint) ? main->geometry() : main->frameGeometry();
    // On a screen too small for both, the strip stays whole over the window's lower edge, with its
    // hide link at hand.
    const QRect below(frame.left(), frame.top() + frame.height() + DockGap, frame.width(), viewer->height());
    viewer->setGeometry(ScreenFit::within(below, ScreenFit::availableFor(frame)));
    RoundedShape::apply(viewer);
}

void WindowModes::minimizeToTray() {
    if (m_context.tray->hasTray() || m_context.toolbar->isVisible())
        HideFaded();
    else
        minimizeToTaskBar();
}

void WindowModes::minimizeAllToTray() {
    if (!m_context.tray->hasTray()) {
        // The main window's task bar button is the way back; what shows now comes back with it.
        m_taskBarRestore = {m_context.toolbar->isVisible(), !m_context.main->isVisible()};
        if (m_taskBarRestore.toolbar)
            m_context.toolbar->hideFaded();
        minimizeToTaskBar();
        return;
    }
    HideFaded();
    if (m_context.settings->isOn(Setting::ToolbarMode))
        m_context.toolbar->hideFaded();
}

void WindowModes::startHidden() {
    if (m_context.tray->hasTray() || m_context.settings->isOn(Setting::ToolbarMode)) {
        m_context.main->setWindowState(m_context.main->windowState() | Qt::WindowMinimized);
        return;
    }
    minimizeToTaskBar();
}

void WindowModes::minimizeToTaskBar() {
    // The log viewer has no task bar button of its own: it goes and comes back with the window.
    if (m_context.logViewer->isVisible())
        m_context.logViewer->Fhide();
    m_context.main->showMinimized();
}

void WindowModes::restoredFromTaskBar() {
    const TaskBarRestore restore = std::exchange(m_taskBarRestore, {});
    if (restore.toolbar)
        m_context.toolbar->showFaded();
    if (restore.mainWasHidden) {
        // Once the restore that is under way has shown it.
        QTimer::singleShot(0, m_context.main, &QWidget::hide);
        return;
    }
    if (m_context.settings->isOn(Setting::ShowLog) && !m_context.settings->isOn(Setting::ToolbarMode) &&
        !m_context.logViewer->isVisible()) {
        DockLogViewer();
        m_context.logViewer->Fshow();
    }
}

void WindowModes::geometryChanged() {
    QWidget* main = m_context.main;
    if (m_filling || (main->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    // The window manager may report the maximized size before the maximized state.
    const QRect frame = main->frameGeometry();
    const QSize area = ScreenFit::availableFor(frame).size();
    if (frame.width() >= area.width() && frame.height() >= area.height())
        return;
    // Taking back its maximize, the window manager may give the size from before after the filled
    // one was set: the filled one stays.
    if (m_fillTarget && m_beforeFill && main->geometry() == *m_beforeFill) {
        const QRect target = *std::exchange(m_fillTarget, std::nullopt);
        m_filling = true;
        main->setGeometry(target);
        m_filling = false;
        DockLogViewer();
    }
    m_shownGeometry = main->geometry();
    if (!m_beforeFill || m_shownGeometry != filledArea())
        m_normalGeometry = m_shownGeometry;
}

void WindowModes::placedByHand() {
    m_beforeFill.reset();
    m_fillTarget.reset();
}

QRect WindowModes::filledArea() const {
    QWidget* main = m_context.main;
    QRect area = ScreenFit::availableFor(m_normalGeometry.isValid() ? m_normalGeometry : main->geometry());
    if (m_context.settings->isOn(Setting::ShowLog) && !m_context.settings->isOn(Setting::ToolbarMode)) {
        if (area.height() - dockedViewerRoom() >= main->minimumHeight())
            area.setHeight(area.height() - dockedViewerRoom());
    }
    return area;
}

void WindowModes::maximizeRequested() {
    // The state changes back once the window manager's change has been taken in; a second report
    // of the same maximize meanwhile is the same request.
    if (m_maximizePending)
        return;
    m_maximizePending = true;
    QTimer::singleShot(0, m_context.main, [this] {
        m_maximizePending = false;
        QWidget* main = m_context.main;
        if (!(main->windowState() & Qt::WindowMaximized))
            return;
        // The window manager may have given the window its maximized size already.
        const bool filled = m_beforeFill && m_shownGeometry == filledArea();
        const QRect target = filled ? *m_beforeFill : filledArea();
        m_beforeFill = filled ? std::nullopt : std::optional<QRect>(m_normalGeometry);
        m_fillTarget = filled ? std::nullopt : std::optional<QRect>(target);
        m_filling = true;
        main->setWindowState(main->windowState() & ~Qt::WindowMaximized);
        main->setGeometry(target);
        m_filling = false;
        geometryChanged();
        DockLogViewer();
    });
}

void WindowModes::showAtStart(bool minimized) {
    Context& c = m_context;
    // The viewer comes with the main window; a viewer without it would stand alone.
    c.logViewer->setVisible(false);
    RoundedShape::apply(c.main);
    const bool toolbar = c.settings->isOn(Setting::ToolbarMode);
    if (c.settings->isOn(Setting::StartHidden))
        startHidden();
    else if (!minimized && !toolbar)
        ShowFaded();
    else if (minimized && !toolbar && !c.tray->hasTray())
        startHidden();
    DockLogViewer();
}

void WindowModes::bringToFront() {
    Context& c = m_context;
    if (c.settings->isOn(Setting::ToolbarMode)) {
        c.toolbar->showFaded();
        c.toolbar->raise();
        c.toolbar->activateWindow();
        // Without a tray a minimized main window may be out of reach (no task bar either).
        if (c.tray->hasTray() || !c.main->isMinimized())
            return;
    }
    m_taskBarRestore = {};
    if (!c.main->isVisible() || c.main->isMinimized()) {
        c.main->setWindowState(c.main->windowState() & ~Qt::WindowMinimized);
        ShowFaded();
    }
    c.main->raise();
    c.main->activateWindow();
}

void WindowModes::trayIconClicked() {
    QWidget* main = m_context.main;
    if (main->isVisible()) {
        HideFaded();
    } else {
        main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
        ShowFaded();
    }
}

void WindowModes::showLogChanged(bool show) {
    Context& c = m_context;
    if (!show) {
        if (c.logViewer->isVisible())
            c.logViewer->Fhide();
        return;
    }
    // A hidden or minimized main window shows the viewer when it comes back.
    if (c.main->isVisible() && !c.main->isMinimized() && !c.settings->isOn(Setting::ToolbarMode) &&
        !c.logViewer->isVisible()) {
        DockLogViewer();
        c.logViewer->Fshow();
    }
}
