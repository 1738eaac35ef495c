#include "app/toolbarwindow.h"
#include "apptestharness.h"
#include "log/logviewer.h"
#include "widgets/messageboxprompts.h"
#include "windowmanagerprobe.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <vector>

// The windows under a real window manager on a virtual screen: what it does to them by itself.
class TestUnderWindowManager : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void toolbarPlaceIsSavedWhereTheWindowManagerLeftIt();
    void maximizeByTheWindowManagerKeepsEverythingReachable();
    void promptsOpenAboveAndClearOfTheToolbarWindow();
};

using namespace windowmanagerprobe;

namespace {

xcb_window_t windowOf(QWidget* window) {
    return static_cast<xcb_window_t>(window->winId());
}

// What a task bar or a key binding asks of the window manager: toggle maximized.
void askWindowManagerToToggleMaximized(QWidget* window) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = windowOf(window);
    event.type = atom("_NET_WM_STATE");
    event.data.data32[0] = 2; // toggle
    event.data.data32[1] = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    event.data.data32[2] = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    event.data.data32[3] = 1;
    // Waits for the server to have handled the request: sent and disconnected at once, it was
    // at times never delivered.
    free(xcb_request_check(
        c, xcb_send_event_checked(c, 0, screen->root,
                                  XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                  reinterpret_cast<const char*>(&event))));
    xcb_disconnect(c);
}

// Whether the window manager holds the window as maximized.
bool maximizedForWindowManager(QWidget* window) {
    const xcb_atom_t vertical = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    const std::vector<std::uint32_t> states = property(windowOf(window), "_NET_WM_STATE", XCB_ATOM_ATOM, 32);
    return std::find(states.begin(), states.end(), vertical) != states.end();
}

QByteArray settingsValue(const AppTestHarness& h, const QByteArray& key) {
    for (const QByteArray& line : h.settingsText().split('\n'))
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1).trimmed();
    return {};
}

QRect available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

void TestUnderWindowManager::initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server with a window manager (run through underwindowmanager.sh)");
    QVERIFY(QTest::qWaitFor(windowManagerRunning, 20000));
}

void TestUnderWindowManager::toolbarPlaceIsSavedWhereTheWindowManagerLeftIt() {
    AppTestHarness h;
    h.writeSettings("[settings]\ntoolbar_mode=1\nwindow_fading=0\n");
    MainWindow& form = h.start();
    ToolbarWindow* toolbar = form.toolbarWindow();
    QVERIFY(QTest::qWaitForWindowExposed(toolbar));
    const QPoint left(446, 492);
    QVERIFY(toolbar->pos() != left);
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("windowmove"), QString::number(toolbar->winId()),
                       QString::number(left.x()), QString::number(left.y())});
    QTRY_COMPARE(toolbar->pos(), left);
    QTRY_COMPARE(settingsValue(h, "toolbar_x"), QByteArray::number(left.x()));
    QCOMPARE(settingsValue(h, "toolbar_y"), QByteArray::number(left.y()));
}

void TestUnderWindowManager::maximizeByTheWindowManagerKeepsEverythingReachable() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=200\ny=150\nwidth=520\nheight=360\nshow_log=1\nwindow_fading=0\n");
    MainWindow& form = h.start();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_COMPARE(form.geometry(), QRect(200, 150, 520, 360));
    QVERIFY(QTest::qWaitFor([&form] { return managedByWindowManager(&form); }, 20000));

    askWindowManagerToToggleMaximized(&form);
    // The window manager's maximize is taken back; the window fills the area above the viewer.
    QTRY_COMPARE_WITH_TIMEOUT(form.width(), available().width(), 20000);
    QTRY_VERIFY(!form.isMaximized());
    QTRY_VERIFY(available().contains(form.logViewer()->geometry()));
    QVERIFY(available().contains(form.frameGeometry()));
    QCOMPARE(form.logViewer()->geometry().top(), form.geometry().bottom() + 2);
    QTRY_VERIFY(!maximizedForWindowManager(&form));

    askWindowManagerToToggleMaximized(&form);
    QTRY_COMPARE_WITH_TIMEOUT(form.geometry(), QRect(200, 150, 520, 360), 20000);
    QTRY_COMPARE(form.logViewer()->geometry().topLeft(), QPoint(200, 150 + 360 + 1));
}

void TestUnderWindowManager::promptsOpenAboveAndClearOfTheToolbarWindow() {
    AppTestHarness h;
    h.writeSettings("[settings]\nwindow_fading=0\n");
    MainWindow& form = h.start();
    MessageBoxPrompts prompts(&form);
    ToolbarWindow* toolbar = form.toolbarWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    toolbar->move(form.frameGeometry().center() - QPoint(toolbar->width() / 2, toolbar->height() / 2));
    toolbar->showFaded();
    QVERIFY(QTest::qWaitForWindowExposed(toolbar));
    bool checked = false;
    QTimer::singleShot(0, this, [&] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(QTest::qWaitForWindowExposed(box));
        checked = true;
        QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!box->frameGeometry().intersects(toolbar->frameGeometry()));
        QVERIFY(available().contains(box->frameGeometry()));
        static_cast<QMessageBox*>(box)->done(-1);
    });
    prompts.ask(QStringLiteral("Are you sure you want to close Quoralis2005?"));
    QVERIFY(checked);
}

QTEST_MAIN(TestUnderWindowManager)
#include "tst_underwindowmanager.moc"
