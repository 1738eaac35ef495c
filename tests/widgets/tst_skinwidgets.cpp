#include "widgets/roundedshape.h"
#include "widgets/skinframe.h"
#include "widgets/windowfader.h"
#include "widgets/windowmover.h"

#include "quietopacity.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

// The building blocks of the skinned windows.
class TestSkinWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QuietOpacity::install(); }
    void roundedShapeCutsOnlyTheCorners();
    void skinFrameTakesItsThicknessFromThePictures();
    void skinFrameStretchesEdgesAndKeepsCorners();
    void skinFrameWithoutPicturesDrawsFallbackColours();
    void fadesEndOpaqueShownOrTransparentHidden();
    void aLaterFadeTakesOver();
    void moverDragsAndReportsTheEndOnce();
    void moverIgnoresClicksAndRefusedAreas();
};

namespace {

QString builtSkins() {
    return QDir(qEnvironmentVariable("QUORALIS_PROGRAM_DIR")).filePath(QStringLiteral("skins"));
}

void press(QWidget* w, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
           Qt::MouseButtons held) {
    QMouseEvent event(type, local, w->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

void TestSkinWidgets::roundedShapeCutsOnlyTheCorners() {
    const QRegion shape = RoundedShape::region(QSize(100, 50));
    for (const QPoint& corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 49), QPoint(99, 49)})
        QVERIFY2(!shape.contains(corner),
                 qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
    for (const QPoint& inside : {QPoint(4, 0), QPoint(0, 4), QPoint(95, 49), QPoint(50, 25), QPoint(99, 25)})
        QVERIFY(shape.contains(inside));
    QCOMPARE(shape.boundingRect(), QRect(0, 0, 100, 50));

    QWidget window;
    window.resize(200, 80);
    RoundedShape::apply(&window);
    QCOMPARE(window.mask(), RoundedShape::region(QSize(200, 80)));
}

void TestSkinWidgets::skinFrameTakesItsThicknessFromThePictures() {
    const SkinFrame main(builtSkins(), QStringLiteral("main"), QMargins(1, 1, 1, 1));
    QVERIFY(main.hasPictures());
    QCOMPARE(main.borders(), QMargins(6, 25, 6, 6));
    const SkinFrame log(builtSkins(), QStringLiteral("log"), QMargins());
    QCOMPARE(log.borders(), QMargins(10, 10, 10, 10));
    const SkinFrame toolbar(builtSkins(), QStringLiteral("toolbar"), QMargins());
    QVERIFY(toolbar.hasPictures());

    const QSize size(300, 200);
    QCOMPARE(main.areaAt(QPoint(2, 2), size), SkinFrame::Area::Corner);
    QCOMPARE(main.areaAt(QPoint(297, 197), size), SkinFrame::Area::Corner);
    QCOMPARE(main.areaAt(QPoint(150, 10), size), SkinFrame::Area::Edge);
    QCOMPARE(main.areaAt(QPoint(2, 100), size), SkinFrame::Area::Edge);
    QCOMPARE(main.areaAt(QPoint(150, 100), size), SkinFrame::Area::Centre);
}

void TestSkinWidgets::skinFrameStretchesEdgesAndKeepsCorners() {
    // A frame of flat colours, one per piece, shows where each piece lands.
    QTemporaryDir dir;
    const QList<std::pair<QString, QColor>> pieces = {
        {QStringLiteral("tl"), Qt::red},    {QStringLiteral("t"), Qt::green},
        {QStringLiteral("tr"), Qt::blue},   {QStringLiteral("l"), Qt::cyan},
        {QStringLiteral("c"), Qt::white},   {QStringLiteral("r"), Qt::magenta},
        {QStringLiteral("bl"), Qt::yellow}, {QStringLiteral("b"), Qt::black},
        {QStringLiteral("br"), Qt::gray},
    };
    for (const auto& [suffix, colour] : pieces) {
        QImage piece(QSize(8, 12), QImage::Format_RGB32);
        piece.fill(colour);
        QVERIFY(
            piece.save(dir.filePath(QStringLiteral("test_") + suffix + QStringLiteral(".jpg")), "JPG", 100));
    }
    const SkinFrame frame(dir.path(), QStringLiteral("test"), QMargins());
    QCOMPARE(frame.borders(), QMargins(8, 12, 8, 12));
    QImage canvas(QSize(100, 60), QImage::Format_RGB32);
    canvas.fill(Qt::darkRed);
    QPainter painter(&canvas);
    frame.paint(painter, canvas.rect());
    painter.end();
    const auto near = [&](const QPoint& p, const QColor& expected) {
        const QColor c = canvas.pixelColor(p);
        return qAbs(c.red() - expected.red()) < 24 && qAbs(c.green() - expected.green()) < 24 &&
               qAbs(c.blue() - expected.blue()) < 24;
    };
    QVERIFY(near({3, 5}, Qt::red));
    QVERIFY(near({50, 5}, Qt::green));
    QVERIFY(near({96, 5}, Qt::blue));
    QVERIFY(near({3, 30}, Qt::cyan));
    QVERIFY(near({50, 30}, Qt::white));
    QVERIFY(near({96, 30}, Qt::magenta));
    QVERIFY(near({3, 55}, Qt::yellow));
    QVERIFY(near({50, 55}, Qt::black));
    QVERIFY(near({96, 55}, Qt::gray));
}

void TestSkinWidgets::skinFrameWithoutPicturesDrawsFallbackColours() {
    QTemporaryDir empty;
    SkinFrame frame(empty.path(), QStringLiteral("main"), QMargins(4, 20, 4, 4));
    QVERIFY(!frame.hasPictures());
    QCOMPARE(frame.borders(), QMargins(4, 20, 4, 4));
    frame.setFallbackColours(Qt::white, Qt::blue);
    QImage canvas(QSize(60, 60), QImage::Format_RGB32);
    QPainter painter(&canvas);
    frame.paint(painter, canvas.rect());
    painter.end();
    QCOMPARE(canvas.pixelColor(30, 10), QColor(Qt::blue));
    QCOMPARE(canvas.pixelColor(30, 30), QColor(Qt::white));
}

void TestSkinWidgets::fadesEndOpaqueShownOrTransparentHidden() {
    QWidget window;
    WindowFader fader(&window);
    QVERIFY(WindowFader::opacityAvailable());
    fader.show(true);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowOpacity(), 1.0);
    fader.hide(true);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.windowOpacity(), 0.0);
    fader.show(true);
    QCOMPARE(window.windowOpacity(), 1.0);
    fader.fadeOut(true);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowOpacity(), 0.0);

    // Without fading the window shows and hides at once, and never shows transparent.
    fader.hide(false);
    QVERIFY(!window.isVisible());
    fader.show(false);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowOpacity(), 1.0);
}

void TestSkinWidgets::aLaterFadeTakesOver() {
    // A click that shows the window while it is still fading out must leave it shown.
    QWidget window;
    WindowFader fader(&window);
    fader.show(true);
    bool showed = false;
    QTimer::singleShot(WindowFader::kDurationMs / 4, &window, [&] {
        QVERIFY(fader.isFading());
        fader.show(true);
        showed = true;
    });
    fader.hide(true);
    QVERIFY(showed);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowOpacity(), 1.0);
    QVERIFY(!fader.isFading());
}

void TestSkinWidgets::moverDragsAndReportsTheEndOnce() {
    QWidget window;
    window.setGeometry(100, 100, 200, 100);
    window.show();
    WindowMover mover(&window);
    mover.watch(&window);
    QSignalSpy finished(&mover, &WindowMover::moveFinished);
    const QPoint start = window.pos();
    const QPoint grab = window.mapToGlobal(QPoint(50, 50));

    press(&window, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    press(&window, QEvent::MouseMove, {70, 60}, Qt::NoButton, Qt::LeftButton);
    QVERIFY(mover.isDragging());
    QCOMPARE(window.pos(), start + QPoint(20, 10));
    QCOMPARE(finished.count(), 0);
    // Positions come in global coordinates: the window has moved under the pointer.
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 50), grab + QPoint(30, 20), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&window, &move);
    QCOMPARE(window.pos(), start + QPoint(30, 20));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 50), grab + QPoint(30, 20), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &release);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!mover.isDragging());
}

void TestSkinWidgets::moverIgnoresClicksAndRefusedAreas() {
    QWidget window;
    window.setGeometry(100, 100, 200, 100);
    window.show();
    WindowMover mover(&window);
    mover.watch(&window, [](const QPoint& pos) { return pos.x() > 20; });
    QSignalSpy finished(&mover, &WindowMover::moveFinished);
    const QPoint start = window.pos();

    // A click without movement, a small jitter, the right button, a refused area.
    press(&window, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    press(&window, QEvent::MouseMove, {52, 51}, Qt::NoButton, Qt::LeftButton);
    press(&window, QEvent::MouseButtonRelease, {52, 51}, Qt::LeftButton, Qt::NoButton);
    press(&window, QEvent::MouseButtonPress, {50, 50}, Qt::RightButton, Qt::RightButton);
    press(&window, QEvent::MouseMove, {90, 90}, Qt::NoButton, Qt::RightButton);
    press(&window, QEvent::MouseButtonRelease, {90, 90}, Qt::RightButton, Qt::NoButton);
    press(&window, QEvent::MouseButtonPress, {10, 50}, Qt::LeftButton, Qt::LeftButton);
    press(&window, QEvent::MouseMove, {60, 90}, Qt::NoButton, Qt::LeftButton);
    press(&window, QEvent::MouseButtonRelease, {60, 90}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(window.pos(), start);
    QCOMPARE(finished.count(), 0);
}

QTEST_MAIN(TestSkinWidgets)
#include "tst_skinwidgets.moc"
