#include "app/mainmenus.h"
#include "app/toolbarwindow.h"
#include "app/traycontrol.h"
#include "apptestharness.h"
#include "config/settingsdialog.h"
#include "log/logviewer.h"
#include "quietopacity.h"
#include "widgets/picturebutton.h"
#include "widgets/skinnedbutton.h"
#include "windowdriver.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>

// The main window's modes, the tray's reactions, fading and the windows' places.
class TestWindowModes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QuietOpacity::install(); }
    void modeSwitchesShowAndHideTheRightWindows();
    void trayClickInToolbarModeKeepsTheMode();
    void doubleClicksToggleTheMode();
    void normalModeReturnsToTheSavedPlaceNotTheDraggedOne();
    void toolbarWindowComesBackWhereItWasDropped();
    void dragsMoveByTitleAndBackgroundCornersResize();
    void fadingOnEndsOpaqueOrTransparent();
    void fadingOffShowsAndHidesAtOnce();
    void withoutATrayNothingHidesTheLastWayBack();
    void withATrayTheWindowHidesIntoIt();
};

namespace {

QPoint defaultToolbarPlace() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    return {screen.right() + 1 - 260 - 4, screen.bottom() + 1 - 30 - 32};
}

QByteArray settingsValue(const AppTestHarness& h, const QByteArray& key) {
    for (const QByteArray& line : h.settingsText().split('\n'))
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1).trimmed();
    return {};
}

} // namespace

void TestWindowModes::modeSwitchesShowAndHideTheRightWindows() {
    AppTestHarness h;
    h.writeSettings("[settings]\nshow_log=1\n");
    MainWindow& form = h.start();
    ToolbarWindow* toolbar = form.toolbarWindow();
    QVERIFY(form.isVisible());
    QVERIFY(form.logViewer()->isVisible());
    QVERIFY(!toolbar->isVisible());

    form.modes().SetToolbarMode();
    QVERIFY(form.program().toolbarMode());
    QVERIFY(!form.isVisible());
    QVERIFY(!form.logViewer()->isVisible());
    QVERIFY(toolbar->isVisible());
    QVERIFY(toolbar->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(toolbar->pos(), defaultToolbarPlace());
    QCOMPARE(toolbar->size(), QSize(260, 30));
    Q_EMIT form.menus().mainMenu->aboutToShow();
    QVERIFY(form.menus().NormalMode1->isVisible());
    QVERIFY(!form.menus().toolbarMode1->isVisible());
    QVERIFY(form.menus().Show1->isVisible());
    QVERIFY(!form.menus().Hide1->isVisible());

    form.modes().SetNormalMode();
    QVERIFY(!form.program().toolbarMode());
    QVERIFY(form.isVisible());
    QVERIFY(form.logViewer()->isVisible());
    QVERIFY(!toolbar->isVisible());
    Q_EMIT form.menus().mainMenu->aboutToShow();
    QVERIFY(!form.menus().NormalMode1->isVisible());
    QVERIFY(form.menus().toolbarMode1->isVisible());
    QVERIFY(form.menus().Hide1->isVisible());
}

void TestWindowModes::trayClickInToolbarModeKeepsTheMode() {
    AppTestHarness h;
    MainWindow& form = h.start();
    form.modes().SetToolbarMode();
    Q_EMIT form.tray()->clicked();
    QVERIFY(form.isVisible());
    QVERIFY(form.program().toolbarMode());
    QVERIFY(form.toolbarWindow()->isVisible());
    Q_EMIT form.menus().mainMenu->aboutToShow();
    QVERIFY(form.menus().NormalMode1->isVisible());
    Q_EMIT form.tray()->clicked();
    QVERIFY(!form.isVisible());
    QVERIFY(form.toolbarWindow()->isVisible());
}

void TestWindowModes::doubleClicksToggleTheMode() {
    AppTestHarness h;
    MainWindow& form = h.start();
    Q_EMIT form.tray()->doubleClicked();
    QVERIFY(form.program().toolbarMode());
    Q_EMIT form.tray()->doubleClicked();
    QVERIFY(!form.program().toolbarMode());

    QTest::mouseDClick(form.ui().titleStrip, Qt::LeftButton, {}, QPoint(200, 10));
    QVERIFY(form.program().toolbarMode());
    QVERIFY(!form.isVisible());
    // On the toolbar window a double-click only ever goes back to normal mode.
    QTest::mouseDClick(form.toolbarWindow(), Qt::LeftButton, {}, QPoint(120, 15));
    QVERIFY(!form.program().toolbarMode());
    QVERIFY(form.isVisible());
    QTest::mouseDClick(form.toolbarWindow(), Qt::LeftButton, {}, QPoint(120, 15));
    QVERIFY(!form.program().toolbarMode());
}

void TestWindowModes::normalModeReturnsToTheSavedPlaceNotTheDraggedOne() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=100\ny=80\nwidth=500\nheight=340\n");
    MainWindow& form = h.start();
    QCOMPARE(form.pos(), QPoint(100, 80));
    WindowDriver::drag(form.ui().titleStrip, QPoint(200, 10), QPoint(60, 40));
    QCOMPARE(form.pos(), QPoint(160, 120));
    QCOMPARE(settingsValue(h, "x"), QByteArray("100"));
    form.modes().SetToolbarMode();
    form.modes().SetNormalMode();
    QCOMPARE(form.pos(), QPoint(100, 80));

    // Nothing saved: the window is centred by its current size.
    AppTestHarness fresh;
    MainWindow& other = fresh.start();
    other.move(3, 3);
    other.modes().SetToolbarMode();
    other.modes().SetNormalMode();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(other.pos(),
             QPoint(screen.width() / 2 - other.width() / 2, screen.height() / 2 - other.height() / 2));
}

void TestWindowModes::toolbarWindowComesBackWhereItWasDropped() {
    AppTestHarness h;
    MainWindow& form = h.start();
    form.modes().SetToolbarMode();
    ToolbarWindow* toolbar = form.toolbarWindow();
    const QPoint start = toolbar->pos();
    WindowDriver::drag(toolbar, QPoint(120, 15), QPoint(-300, -200));
    const QPoint dropped = start + QPoint(-300, -200);
    QCOMPARE(toolbar->pos(), dropped);
    QCOMPARE(settingsValue(h, "toolbar_x"), QByteArray::number(dropped.x()));
    QCOMPARE(settingsValue(h, "toolbar_y"), QByteArray::number(dropped.y()));

    form.modes().SetNormalMode();
    toolbar->move(0, 0);
    form.modes().SetToolbarMode();
    QCOMPARE(toolbar->pos(), dropped);

    // A saved place on no screen is not used: the toolbar would be out of reach.
    h.writeSettings("[settings]\ntoolbar_x=-5000\ntoolbar_y=9000\n");
    form.modes().SetNormalMode();
    form.modes().SetToolbarMode();
    QCOMPARE(toolbar->pos(), defaultToolbarPlace());
}

void TestWindowModes::dragsMoveByTitleAndBackgroundCornersResize() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=100\ny=100\nshow_log=1\n");
    MainWindow& form = h.start();
    const QPoint delta(30, 25);

    WindowDriver::drag(&form, QPoint(5, form.height() / 2), delta);
    QCOMPARE(form.pos(), QPoint(130, 125));
    WindowDriver::drag(form.ui().buttonColumn, QPoint(5, form.ui().buttonColumn->height() - 5), delta);
    QCOMPARE(form.pos(), QPoint(160, 150));
    // A corner resizes: the left edge cannot go right of the minimum width, the bottom follows.
    const int height = form.height();
    WindowDriver::drag(&form, QPoint(1, form.height() - 2), delta);
    QCOMPARE(form.pos(), QPoint(160, 150));
    QCOMPARE(form.height(), height + delta.y());
    // A drag on a button is a click, not a move.
    WindowDriver::drag(form.ui().btSettings, QPoint(5, 5), delta);
    QCOMPARE(form.pos(), QPoint(160, 150));

    const QRect viewer = form.logViewer()->geometry();
    QCOMPARE(viewer.topLeft(), QPoint(160, 150 + form.height() + 1));
    QCOMPARE(viewer.width(), form.width());
}

void TestWindowModes::fadingOnEndsOpaqueOrTransparent() {
    AppTestHarness h;
    h.writeSettings("[settings]\nwindow_fading=1\nshow_log=1\n");
    MainWindow& form = h.start();
    LogViewer* viewer = form.logViewer();
    QVERIFY(form.program().fading());
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowOpacity(), 1.0);
    QCOMPARE(viewer->windowOpacity(), 1.0);

    form.modes().HideFaded();
    QVERIFY(!form.isVisible());
    QVERIFY(!viewer->isVisible());
    QCOMPARE(form.windowOpacity(), 0.0);
    QCOMPARE(viewer->windowOpacity(), 0.0);

    form.modes().ShowFaded();
    QVERIFY(form.isVisible());
    QVERIFY(viewer->isVisible());
    QCOMPARE(form.windowOpacity(), 1.0);
    QCOMPARE(viewer->windowOpacity(), 1.0);

    form.modes().SetToolbarMode();
    QVERIFY(form.toolbarWindow()->isVisible());
    QCOMPARE(form.toolbarWindow()->windowOpacity(), 1.0);
    form.modes().SetNormalMode();
    QVERIFY(!form.toolbarWindow()->isVisible());
    QCOMPARE(form.toolbarWindow()->windowOpacity(), 0.0);

    // Fading switched off after a fade-out: the window comes back opaque, not invisible.
    form.modes().HideFaded();
    form.settingsDialog()->cbVisual()->setChecked(false);
    QVERIFY(!form.program().fading());
    form.modes().ShowFaded();
    QCOMPARE(form.windowOpacity(), 1.0);
    QCOMPARE(viewer->windowOpacity(), 1.0);

    // The close fade-out honours the setting too.
    form.settingsDialog()->cbVisual()->setChecked(true);
    form.close();
    QVERIFY(form.program().hasEnded());
    QCOMPARE(form.windowOpacity(), 0.0);
}

void TestWindowModes::fadingOffShowsAndHidesAtOnce() {
    AppTestHarness h;
    h.writeSettings("[settings]\nwindow_fading=0\nshow_log=1\n");
    MainWindow& form = h.start();
    form.modes().HideFaded();
    QVERIFY(!form.isVisible());
    QVERIFY(!form.logViewer()->isVisible());
    QCOMPARE(form.windowOpacity(), 1.0);
    form.modes().ShowFaded();
    QVERIFY(form.isVisible());
    QVERIFY(form.logViewer()->isVisible());
    QCOMPARE(form.logViewer()->windowOpacity(), 1.0);
    form.close();
    QVERIFY(form.program().hasEnded());
    QCOMPARE(form.windowOpacity(), 1.0);
}

void TestWindowModes::withoutATrayNothingHidesTheLastWayBack() {
    {
        AppTestHarness h;
        h.trayAvailable = [] {
            return false;
        };
        h.writeSettings("[settings]\nshow_log=1\n");
        MainWindow& form = h.start();
        QTest::mouseClick(form.ui().btHide, Qt::LeftButton);
        QVERIFY(form.isVisible());
        QVERIFY(form.isMinimized());
        QVERIFY(!form.logViewer()->isVisible());
        // Back from the task bar, the log viewer comes with it.
        form.showNormal();
        QVERIFY(form.logViewer()->isVisible());

        // Toolbar mode: the toolbar window is a way back, so hiding the main window is safe...
        form.modes().SetToolbarMode();
        Q_EMIT form.tray()->clicked();
        QVERIFY(form.isVisible());
        form.modes().minimizeToTray();
        QVERIFY(!form.isVisible());
        QVERIFY(form.toolbarWindow()->isVisible());
        // ...until the menu's "Minimize to tray" takes the toolbar window away too.
        form.menus().Minimizetotray1->trigger();
        QVERIFY(!form.toolbarWindow()->isVisible());
        QVERIFY(form.isVisible());
        QVERIFY(form.isMinimized());
        // A second start brings back the toolbar window and the main window with it.
        form.modes().bringToFront();
        QVERIFY(form.toolbarWindow()->isVisible());
        QTRY_VERIFY(form.isVisible() && !form.isMinimized());
        // "Normal Mode" then shows the main window, and it stays.
        form.menus().Minimizetotray1->trigger();
        form.modes().SetNormalMode();
        QTest::qWait(50);
        QVERIFY(form.isVisible());
        QVERIFY(!form.isMinimized());
        QVERIFY(!form.toolbarWindow()->isVisible());
    }
    for (const QStringList& arguments :
         {QStringList(), QStringList{QStringLiteral("/auto"), QStringLiteral("/minimize")}}) {
        AppTestHarness h;
        h.trayAvailable = [] {
            return false;
        };
        h.writeSettings(arguments.isEmpty() ? "[settings]\nstart_hidden=1\n" : "[settings]\n");
        MainWindow& form = h.start(arguments);
        QVERIFY2(form.isVisible() && form.isMinimized(), qPrintable(arguments.join(u' ')));
    }
}

void TestWindowModes::withATrayTheWindowHidesIntoIt() {
    AppTestHarness h;
    h.writeSettings("[settings]\nshow_log=1\n");
    MainWindow& form = h.start();
    QTest::mouseClick(form.ui().btHide, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QVERIFY(!form.logViewer()->isVisible());
    Q_EMIT form.tray()->clicked();
    QVERIFY(form.isVisible());
    QVERIFY(form.logViewer()->isVisible());

    form.modes().SetToolbarMode();
    form.menus().Minimizetotray1->trigger();
    QVERIFY(!form.isVisible());
    QVERIFY(!form.toolbarWindow()->isVisible());

    AppTestHarness hidden;
    hidden.writeSettings("[settings]\nstart_hidden=1\nshow_log=1\n");
    MainWindow& other = hidden.start();
    QVERIFY(!other.isVisible());
    QVERIFY(!other.logViewer()->isVisible());
}

QTEST_MAIN(TestWindowModes)
#include "tst_windowmodes.moc"
