#include "app/resizeaffordance.h"
#include "apptestharness.h"
#include "config/settingsdialog.h"
#include "log/logviewer.h"
#include "quietopacity.h"
#include "widgets/picturebutton.h"
#include "widgets/roundedshape.h"
#include "widgets/windowresizer.h"
#include "windowdriver.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

// The main window's frame: the resize affordance, the minimum size, the docked log viewer.
class TestWindowFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QuietOpacity::install(); }
    void resizeAffordanceKeepsTheWindowInPlace();
    void edgesResizeWithinTheMinimum();
    void maximizeNeverStrandsTheWindow();
    void sizesBelowTheMinimumAreRaised();
    void logViewerFollowsMovesAndResizes();
    void hideButtonUnticksShowLogViewer();
    void hideButtonShowsOnMouseMovementUntilTimer1();
    void logViewerKeepsEveryLine();
};

namespace {

int settingsInteger(const AppTestHarness& h, const QByteArray& key) {
    for (const QByteArray& line : h.settingsText().split('\n'))
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1).trimmed().toInt();
    return -1;
}

} // namespace

void TestWindowFrame::resizeAffordanceKeepsTheWindowInPlace() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=100\ny=100\nwidth=520\nheight=360\nshow_log=1\n");
    MainWindow& form = h.start();
    ResizeAffordance* affordance = form.resizeAffordance();
    const QRect before = form.geometry();

    // The border shows without a window manager's frame: nothing moves or changes size.
    WindowDriver::enter(form.ui().btResize);
    QVERIFY(affordance->isActive());
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form.geometry(), before);
    QVERIFY(affordance->Timer2().isActive());
    QCOMPARE(affordance->Timer2().interval(), 10000);
    WindowDriver::enter(form.ui().btResize);
    QCOMPARE(form.geometry(), before);

    // The grip resizes by the bottom-right corner; the size is written at once.
    WindowDriver::drag(form.ui().btResize, QPoint(8, 8), QPoint(80, 40));
    QCOMPARE(form.geometry(), QRect(100, 100, 600, 400));
    QCOMPARE(settingsInteger(h, "width"), 600);
    QCOMPARE(settingsInteger(h, "height"), 400);
    QCOMPARE(form.mask(), RoundedShape::region(form.size()));
    QCOMPARE(form.logViewer()->geometry().topLeft(), QPoint(100, 100 + 400 + 1));
    QCOMPARE(form.logViewer()->width(), 600);

    affordance->Timer2Timer();
    QVERIFY(!affordance->isActive());
    QVERIFY(!affordance->Timer2().isActive());
    QCOMPARE(form.geometry(), QRect(100, 100, 600, 400));

    // Once over, the next pointing starts a new affordance.
    WindowDriver::enter(form.ui().btResize);
    QVERIFY(affordance->isActive());
}

void TestWindowFrame::edgesResizeWithinTheMinimum() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=100\ny=100\nwidth=600\nheight=400\n");
    MainWindow& form = h.start();
    WindowResizer* resizer = form.resizer();
    QCOMPARE(resizer->edgesAt(QPoint(1, 200)), Qt::LeftEdge);
    QCOMPARE(resizer->edgesAt(QPoint(598, 398)), Qt::RightEdge | Qt::BottomEdge);
    QCOMPARE(resizer->edgesAt(QPoint(300, 200)), Qt::Edges());

    WindowDriver::drag(&form, QPoint(1, 200), QPoint(-50, 0));
    QCOMPARE(form.geometry(), QRect(50, 100, 650, 400));
    WindowDriver::drag(&form, QPoint(300, form.height() - 1), QPoint(0, 30));
    QCOMPARE(form.geometry(), QRect(50, 100, 650, 430));
    // Past the minimum the edge stops; the opposite edge stays where it was.
    WindowDriver::drag(&form, QPoint(1, 200), QPoint(400, 0));
    QCOMPARE(form.geometry(), QRect(50 + 650 - 490, 100, 490, 430));
    QVERIFY(!resizer->isResizing());
}

void TestWindowFrame::maximizeNeverStrandsTheWindow() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=100\ny=100\nwidth=520\nheight=360\nshow_log=1\n");
    MainWindow& form = h.start();
    const QRect before = form.geometry();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();

    form.setWindowState(form.windowState() | Qt::WindowMaximized);
    QCoreApplication::processEvents();
    // The window fills the work area above the log viewer, both whole on the screen, and stays
    // an ordinary window that its own edges resize.
    QVERIFY(!form.isMaximized());
    QCOMPARE(form.geometry().topLeft(), area.topLeft());
    QCOMPARE(form.width(), area.width());
    QVERIFY(area.contains(form.logViewer()->geometry()));
    QCOMPARE(form.logViewer()->geometry().top(), form.geometry().bottom() + 2);
    QCOMPARE(form.logViewer()->geometry().bottom(), area.bottom());

    // Maximizing again brings back the size and place from before.
    form.setWindowState(form.windowState() | Qt::WindowMaximized);
    QCoreApplication::processEvents();
    QVERIFY(!form.isMaximized());
    QCOMPARE(form.geometry(), before);
    QCOMPARE(form.logViewer()->geometry().topLeft(), QPoint(100, 100 + 360 + 1));
}

void TestWindowFrame::sizesBelowTheMinimumAreRaised() {
    AppTestHarness h;
    h.writeSettings("[settings]\nwidth=300\nheight=200\n");
    MainWindow& form = h.start();
    QCOMPARE(form.size(), QSize(490, 330));
    form.resize(400, 250);
    QCOMPARE(form.size(), QSize(490, 330));

    // No size saved at all: the defaults are below the minimum too.
    AppTestHarness fresh;
    QCOMPARE(fresh.start().size(), QSize(490, 330));
}

void TestWindowFrame::logViewerFollowsMovesAndResizes() {
    AppTestHarness h;
    h.writeSettings("[settings]\nshow_log=1\n");
    MainWindow& form = h.start();
    LogViewer* viewer = form.logViewer();
    form.move(50, 60);
    form.resize(640, 400);
    QCOMPARE(viewer->geometry().topLeft(), QPoint(50, 60 + 400 + 1));
    QCOMPARE(viewer->width(), 640);
    QCOMPARE(viewer->HP()->x(), 640 - 76);
    QCOMPARE(viewer->mask(), RoundedShape::region(viewer->size()));
    QCOMPARE(form.mask(), RoundedShape::region(form.size()));
}

void TestWindowFrame::hideButtonUnticksShowLogViewer() {
    AppTestHarness h;
    h.writeSettings("[settings]\nshow_log=1\n");
    MainWindow& form = h.start();
    LogViewer* viewer = form.logViewer();
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->HP()->isVisible());
    QTest::mouseClick(viewer->HB(), Qt::LeftButton);
    QVERIFY(!viewer->isVisible());
    QVERIFY(!form.settingsDialog()->cbSLOG()->isChecked());
    // Showing the main window again leaves the viewer away.
    form.modes().HideFaded();
    form.modes().ShowFaded();
    QVERIFY(!viewer->isVisible());
    // Ticking the box brings it back.
    form.settingsDialog()->cbSLOG()->setChecked(true);
    QVERIFY(viewer->isVisible());
    form.settingsDialog()->cbSLOG()->setChecked(false);
    QVERIFY(!viewer->isVisible());

    form.close();
    QCOMPARE(settingsInteger(h, "show_log"), 0);
}

void TestWindowFrame::hideButtonShowsOnMouseMovementUntilTimer1() {
    AppTestHarness h;
    h.writeSettings("[settings]\nshow_log=1\n");
    LogViewer* viewer = h.start().logViewer();
    QVERIFY(viewer->Timer1().isActive());
    QCOMPARE(viewer->Timer1().interval(), 2000);
    viewer->Timer1Timer();
    QVERIFY(!viewer->HP()->isVisible());
    QVERIFY(!viewer->Timer1().isActive());

    QTest::mouseMove(viewer->LOG()->viewport(), QPoint(30, 20));
    QVERIFY(viewer->HP()->isVisible());
    QVERIFY(viewer->Timer1().isActive());
    QCOMPARE(viewer->HP()->x(), viewer->width() - 76);
    viewer->Timer1Timer();
    QVERIFY(!viewer->HP()->isVisible());
}

void TestWindowFrame::logViewerKeepsEveryLine() {
    AppTestHarness h;
    MainWindow& form = h.start();
    LogViewer* viewer = form.logViewer();
    QVERIFY(!viewer->isVisible());
    form.program().activityLog().logMessage(QStringLiteral("logged while hidden"));
    form.settingsDialog()->cbSLOG()->setChecked(true);
    QVERIFY(viewer->isVisible());
    form.program().activityLog().logMessage(QStringLiteral("logged while shown"));
    const QStringList lines = viewer->text().split(u'\n');
    QCOMPARE(lines.size(), form.program().activityLog().lines().size());
    QCOMPARE(lines, form.program().activityLog().lines());
    QVERIFY(lines.first().endsWith(QStringLiteral(" - Starting Quoralis v.") +
                                   QStringLiteral(QUORALIS_VERSION_TEXT) + QStringLiteral("...")));
}

QTEST_MAIN(TestWindowFrame)
#include "tst_windowframe.moc"
