#include "app/windowsview.h"

#include "app/backupapp.h"
#include "app/mainwindow.h"
#include "app/toolbarwindow.h"
#include "app/traycontrol.h"
#include "app/windowmodes.h"
#include "config/settingsdialog.h"
#include "log/logviewer.h"
#include "online/errorreportwindow.h"
#include "widgets/screenfit.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

WindowsView::WindowsView(MainWindow& window, WindowModes& modes)
    : m_window(window)
    , m_modes(modes) {}

void WindowsView::showProgramIcon() {
    const QString iconPath = m_window.program().programDir() + QStringLiteral("QS2005.ico");
    if (QFileInfo::exists(iconPath)) {
        const QIcon icon(iconPath);
        m_window.tray()->setIcon(icon);
        m_window.setWindowIcon(icon);
    } else {
        m_window.errorForm()->showError(QStringLiteral("Cannot open file \"") + iconPath +
                                        QStringLiteral("\". No such file or directory"));
    }
    m_window.tray()->show();
}

void WindowsView::placeMainWindow(std::optional<int> x, std::optional<int> y, QSize size) {
    // Without a stored place the window of the design size is centred.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    m_window.applyStoredGeometry(ScreenFit::fromStored(
        x.value_or(screen.width() / 2 - m_window.width() / 2),
        y.value_or(screen.height() / 2 - m_window.height() / 2), size.width(), size.height()));
}

void WindowsView::dockLogViewer() {
    m_modes.DockLogViewer();
}

void WindowsView::enterToolbarMode() {
    m_modes.SetToolbarMode();
}

void WindowsView::hideLogViewer() {
    if (m_window.logViewer()->isVisible())
        m_window.logViewer()->Fhide();
}

void WindowsView::showAtStart(bool minimized) {
    m_modes.showAtStart(minimized);
    m_window.showTitleHint();
}

std::optional<ProgramView::Places> WindowsView::places() const {
    // A place off the screens of now is never kept: the next start would open out of reach.
    Places places;
    places.toolbar = ScreenFit::onScreen(m_window.toolbarWindow()->frameGeometry()).topLeft();
    places.main = ScreenFit::onScreen(m_window.frameGeometry()).topLeft();
    places.mainSize = m_window.size();
    return places;
}

void WindowsView::fadeOutForClose() {
    m_modes.closeFadeOut();
}

void WindowsView::hideAllWindows() {
    m_window.toolbarWindow()->hide();
    m_window.logViewer()->hide();
    m_window.settingsDialog()->hide();
    m_window.tray()->hide();
    m_window.hide();
}
