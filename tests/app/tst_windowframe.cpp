#include "app/resizeaffordance.h"
#include "apptestharness.h"
#include "config/tform2.h"
#include "log/tlogfrm.h"
#include "quietopacity.h"
#include "widgets/picturebutton.h"
#include "widgets/roundedshape.h"
#include "windowdriver.h"

#include <QCheckBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// The main window's frame: the resize affordance, the minimum size, the docked log viewer.
class TestWindowFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QuietOpacity::install(); }
    void resizeAffordanceMovesAndGrowsOnce();
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

void TestWindowFrame::resizeAffordanceMovesAndGrowsOnce() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=100\ny=100\nwidth=520\nheight=360\nshow_log=1\n");
    TBForm& form = h.start();
    ResizeAffordance* affordance = form.resizeAffordance();
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);

    WindowDriver::enter(form.ui().btResize);
    QVERIFY(affordance->isActive());
    QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(form.isVisible());
    QCOMPARE(form.geometry(), QRect(100, 80, 520, 380));
    QVERIFY(affordance->Timer2().isActive());
    QCOMPARE(affordance->Timer2().interval(), 10000);
    QCOMPARE(settingsInteger(h, "height"), 380);

    // Pointing at the button again within the ten seconds changes nothing.
    WindowDriver::enter(form.ui().btResize);
    QCOMPARE(form.geometry(), QRect(100, 80, 520, 380));

    // A resize under the border is written at once.
    form.resize(600, 400);
    QCOMPARE(settingsInteger(h, "width"), 600);
    QCOMPARE(settingsInteger(h, "height"), 400);

    affordance->Timer2Timer();
    QVERIFY(!affordance->isActive());
    QVERIFY(!affordance->Timer2().isActive());
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(form.isVisible());
    QCOMPARE(form.geometry(), QRect(100, 100, 600, 380));
    QCOMPARE(settingsInteger(h, "height"), 380);
    QCOMPARE(form.mask(), RoundedShape::region(form.size()));
    QCOMPARE(form.logViewer()->geometry().topLeft(), QPoint(100, 100 + 380 + 1));
    QCOMPARE(form.logViewer()->width(), 600);

    // Once over, the next pointing starts a new affordance.
    WindowDriver::enter(form.ui().btResize);
    QCOMPARE(form.geometry(), QRect(100, 80, 600, 400));
}

void TestWindowFrame::sizesBelowTheMinimumAreRaised() {
    AppTestHarness h;
    h.writeSettings("[settings]\nwidth=300\nheight=200\n");
    TBForm& form = h.start();
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
    TBForm& form = h.start();
    TLogFrm* viewer = form.logViewer();
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
    TBForm& form = h.start();
    TLogFrm* viewer = form.logViewer();
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->HP()->isVisible());
    QTest::mouseClick(viewer->HB(), Qt::LeftButton);
    QVERIFY(!viewer->isVisible());
    QVERIFY(!form.settingsDialog()->cbSLOG()->isChecked());
    // Showing the main window again leaves the viewer away.
    form.HideFaded();
    form.ShowFaded();
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
    TLogFrm* viewer = h.start().logViewer();
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
    TBForm& form = h.start();
    TLogFrm* viewer = form.logViewer();
    QVERIFY(!viewer->isVisible());
    form.LogMessage(QStringLiteral("logged while hidden"));
    form.settingsDialog()->cbSLOG()->setChecked(true);
    QVERIFY(viewer->isVisible());
    form.LogMessage(QStringLiteral("logged while shown"));
    const QStringList lines = viewer->text().split(u'\n');
    QCOMPARE(lines.size(), form.activityLog().lines().size());
    QCOMPARE(lines, form.activityLog().lines());
    QVERIFY(lines.first().endsWith(QStringLiteral(" - Starting Quoralis v.") +
                                   QStringLiteral(QUORALIS_VERSION_TEXT) + QStringLiteral("...")));
}

QTEST_MAIN(TestWindowFrame)
#include "tst_windowframe.moc"
