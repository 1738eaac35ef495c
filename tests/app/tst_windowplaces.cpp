#include "app/mainmenus.h"
#include "app/toolbarwindow.h"
#include "apptestharness.h"
#include "backupset/exclusiondialog.h"
#include "config/buttontabwidget.h"
#include "config/settingsdialog.h"
#include "log/logviewer.h"
#include "quietopacity.h"
#include "widgets/messageboxprompts.h"
#include "widgets/picturebutton.h"
#include "widgets/promptplacement.h"
#include "widgets/screenfit.h"
#include "windowdriver.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

// Where the windows open and whether a person can always reach them. CTest runs this at two
// screen sizes and two scale factors; every check is against the screen of the run.
class TestWindowPlaces : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QuietOpacity::install(); }
    void fittingMovesAndShrinksOntoTheArea();
    void savedOffScreenPlacesEndOnScreen();
    void dialogsOpenWhollyOnScreen();
    void promptsOpenClearOfTheToolbarWindow();
    void closeFromTheWindowManagerAsksFirst();
    void startUpShowsTheMainWindowFirst();
    void toolbarWindowDuringABackup();
    void minimizeWithoutATrayBringsBackWhatShowed();
};

namespace {

QRect available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

QByteArray settingsValue(const AppTestHarness& h, const QByteArray& key) {
    for (const QByteArray& line : h.settingsText().split('\n'))
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1).trimmed();
    return {};
}

int settingsInteger(const AppTestHarness& h, const QByteArray& key) {
    return settingsValue(h, key).toInt();
}

QString describe(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4 in %5,%6 %7x%8")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(available().x())
        .arg(available().y())
        .arg(available().width())
        .arg(available().height());
}

#define VERIFY_ON_SCREEN(rect) QVERIFY2(available().contains(rect), qPrintable(describe(rect)))

QRect globalRect(const QWidget* widget) {
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

// Runs check on the first modal box to show, then closes it with reject.
void onModal(std::function<void(QWidget*)> check) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, check] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        check(modal);
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->done(-1);
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    poll->start(0);
}

// A close request as the window manager sends it (Alt+F4): through the native window.
void closeFromWindowManager(MainWindow& form) {
    QCloseEvent event;
    QApplication::sendEvent(form.windowHandle(), &event);
}

} // namespace

void TestWindowPlaces::fittingMovesAndShrinksOntoTheArea() {
    const QRect area(0, 0, 800, 600);
    QCOMPARE(ScreenFit::within(QRect(-90, -30, 490, 330), area), QRect(0, 0, 490, 330));
    QCOMPARE(ScreenFit::within(QRect(700, 500, 490, 330), area), QRect(310, 270, 490, 330));
    QCOMPARE(ScreenFit::within(QRect(-10, 100, 980, 700), area), QRect(0, 0, 800, 600));
    QCOMPARE(ScreenFit::within(QRect(100, 100, 200, 100), area), QRect(100, 100, 200, 100));

    // A box over an always-on-top strip goes above it, or below it where above is no room.
    const QRect strip(500, 500, 260, 30);
    QCOMPARE(PromptPlacement::clearOf(QRect(450, 420, 300, 150), strip, area), QRect(450, 342, 300, 150));
    QCOMPARE(PromptPlacement::clearOf(QRect(450, 20, 300, 150), QRect(500, 60, 260, 30), area),
             QRect(450, 98, 300, 150));
    QCOMPARE(PromptPlacement::clearOf(QRect(0, 0, 100, 100), strip, area), QRect(0, 0, 100, 100));
}

void TestWindowPlaces::savedOffScreenPlacesEndOnScreen() {
    for (const QByteArray& place :
         {QByteArray("x=-90\ny=-30\n"), QByteArray("x=5000\ny=4000\n"), QByteArray("x=300\ny=9000\n")}) {
        AppTestHarness h;
        h.writeSettings("[settings]\nwidth=490\nheight=330\nshow_log=1\ntoolbar_x=-120\ntoolbar_y=" +
                        QByteArray::number(available().bottom() - 5) + "\n" + place);
        MainWindow& form = h.start();
        QVERIFY(form.isVisible());
        VERIFY_ON_SCREEN(form.frameGeometry());
        QVERIFY(form.minimumWidth() <= available().width());
        QVERIFY(form.minimumHeight() <= available().height());
        // Both show whole; where they do not fit one above the other, the log viewer overlaps.
        VERIFY_ON_SCREEN(form.logViewer()->frameGeometry());
        if (form.frameGeometry().height() + 1 + form.logViewer()->height() <= available().height())
            QCOMPARE(form.logViewer()->y(), form.frameGeometry().bottom() + 2);

        form.modes().SetToolbarMode();
        VERIFY_ON_SCREEN(form.toolbarWindow()->frameGeometry());
        form.modes().SetNormalMode();
        VERIFY_ON_SCREEN(form.frameGeometry());

        // Whatever was saved, what is saved now is on the screen.
        form.move(-400, -300);
        form.close();
        QVERIFY(form.program().hasEnded());
        VERIFY_ON_SCREEN(
            QRect(settingsInteger(h, "x"), settingsInteger(h, "y"), form.width(), form.height()));
    }
    // In toolbar mode the toolbar window's place is the one saved.
    AppTestHarness h;
    h.writeSettings("[settings]\ntoolbar_mode=1\ntoolbar_x=-5000\ntoolbar_y=-5000\n");
    MainWindow& form = h.start();
    ToolbarWindow* toolbar = form.toolbarWindow();
    VERIFY_ON_SCREEN(toolbar->frameGeometry());
    toolbar->move(available().right() - 20, available().bottom() + 50);
    form.close();
    QVERIFY(form.program().hasEnded());
    VERIFY_ON_SCREEN(QRect(settingsInteger(h, "toolbar_x"), settingsInteger(h, "toolbar_y"), toolbar->width(),
                           toolbar->height()));
}

void TestWindowPlaces::dialogsOpenWhollyOnScreen() {
    AppTestHarness h;
    h.writeSettings("[settings]\nx=-200\ny=-200\nwidth=900\nheight=900\n");
    MainWindow& form = h.start();
    VERIFY_ON_SCREEN(form.frameGeometry());
    bool checked = false;
    onModal([&](QWidget* dialog) {
        checked = true;
        QCOMPARE(dialog, form.settingsDialog());
        VERIFY_ON_SCREEN(dialog->frameGeometry());
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("btOk"));
        QVERIFY(ok);
        VERIFY_ON_SCREEN(globalRect(ok));
        // No caption is cut short on any page: where the screen is too small, the content scrolls.
        auto* pages = dialog->findChild<ButtonTabWidget*>(QStringLiteral("PageControl1"));
        QVERIFY(pages);
        for (int index = 0; index < pages->count(); ++index) {
            pages->setCurrentIndex(index);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            for (auto* caption : dialog->findChildren<QAbstractButton*>())
                if (caption->isVisible() && !caption->text().isEmpty())
                    QVERIFY2(caption->width() >= caption->minimumSizeHint().width(),
                             qPrintable(caption->text()));
        }
    });
    form.btSettingsClick();
    QVERIFY(checked);

    checked = false;
    form.exclusionDialog()->move(available().right() - 20, available().bottom() - 20);
    onModal([&](QWidget* dialog) {
        checked = true;
        QCOMPARE(dialog, form.exclusionDialog());
        VERIFY_ON_SCREEN(dialog->frameGeometry());
    });
    form.exclusionDialog()->exec();
    QVERIFY(checked);
}

void TestWindowPlaces::promptsOpenClearOfTheToolbarWindow() {
    AppTestHarness h;
    MainWindow& form = h.start();
    MessageBoxPrompts prompts(&form);
    ToolbarWindow* toolbar = form.toolbarWindow();

    // The toolbar window stands where a box centred on the main window would open.
    toolbar->move(form.frameGeometry().center() - QPoint(toolbar->width() / 2, toolbar->height() / 2));
    toolbar->showFaded();
    bool checked = false;
    onModal([&](QWidget* box) {
        checked = true;
        QCOMPARE(box->window()->parentWidget(), &form);
        QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY2(!box->frameGeometry().intersects(toolbar->frameGeometry()),
                 qPrintable(describe(box->frameGeometry())));
        VERIFY_ON_SCREEN(box->frameGeometry());
    });
    QVERIFY(!prompts.ask(QStringLiteral("Are you sure you want to close Quoralis2005?")));
    QVERIFY(checked);

    // In toolbar mode the main window is away: the box belongs to the toolbar window.
    form.modes().SetToolbarMode();
    toolbar->move(available().center() - QPoint(toolbar->width() / 2, toolbar->height() / 2));
    checked = false;
    onModal([&](QWidget* box) {
        checked = true;
        QCOMPARE(box->parentWidget(), toolbar);
        QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!box->frameGeometry().intersects(toolbar->frameGeometry()));
        VERIFY_ON_SCREEN(box->frameGeometry());
    });
    prompts.notify(QStringLiteral("Destination not set or not found"));
    QVERIFY(checked);
}

void TestWindowPlaces::closeFromTheWindowManagerAsksFirst() {
    AppTestHarness h;
    MainWindow& form = h.start();
    h.prompts.queueAnswer(false);
    closeFromWindowManager(form);
    QCOMPARE(h.prompts.questions(),
             QStringList{QStringLiteral("Are you sure you want to close Quoralis2005?")});
    QVERIFY(!form.program().hasEnded());
    QVERIFY(form.isVisible());

    h.prompts.queueAnswer(true);
    closeFromWindowManager(form);
    QCOMPARE(h.prompts.questions().size(), 2);
    QVERIFY(form.program().hasEnded());
}

void TestWindowPlaces::startUpShowsTheMainWindowFirst() {
    // Every top-level window's first show, in order, with whether the main window showed then.
    struct ShowOrder : QObject {
        QStringList shown;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && watched->isWidgetType() &&
                static_cast<QWidget*>(watched)->isWindow() && !shown.contains(watched->objectName()))
                shown.append(watched->objectName());
            return false;
        }
    } order;
    qApp->installEventFilter(&order);
    AppTestHarness h;
    h.writeSettings("[settings]\nshow_log=1\n");
    MainWindow& form = h.start();
    qApp->removeEventFilter(&order);
    QVERIFY(form.logViewer()->isVisible());
    QVERIFY2(order.shown.indexOf(QStringLiteral("MainWindow")) == 0, qPrintable(order.shown.join(u' ')));
    QVERIFY(order.shown.contains(QStringLiteral("LogViewer")));
}

void TestWindowPlaces::toolbarWindowDuringABackup() {
    AppTestHarness h;
    MainWindow& form = h.start();
    ToolbarWindow* toolbar = form.toolbarWindow();
    form.modes().SetToolbarMode();
    form.program().runEvents().StartWait();
    form.program().runEvents().prepareForNewArchive();
    form.program().activityLog().logMessage(
        QStringLiteral("Adding a rather long file name that does not fit the strip.txt"));
    form.program().runEvents().showPercent(40);
    QApplication::processEvents();

    // Cancel stands where the backup button stood; the bar runs beside the buttons, not under them.
    QVERIFY(toolbar->cancelButton()->isVisible());
    QVERIFY(!toolbar->backupButton()->isVisible());
    const QRect bar = toolbar->PBar()->geometry();
    QVERIFY2(bar.right() < toolbar->cancelButton()->x(), qPrintable(describe(bar)));
    QVERIFY(toolbar->rect().contains(toolbar->cancelButton()->geometry()));
    QLabel* status = toolbar->RTL();
    QVERIFY(status->text().endsWith(QChar(0x2026)));
    QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <= status->width());
    QVERIFY(toolbar->statusText().startsWith(QStringLiteral("Adding a rather long")));

    form.program().runEvents().StopWait();
    QVERIFY(!toolbar->cancelButton()->isVisible());
    QVERIFY(toolbar->backupButton()->isVisible());
    QVERIFY(toolbar->backupButton()->isEnabled());
}

void TestWindowPlaces::minimizeWithoutATrayBringsBackWhatShowed() {
    AppTestHarness h;
    h.trayAvailable = [] {
        return false;
    };
    h.writeSettings("[settings]\nshow_log=1\ntoolbar_mode=1\n");
    MainWindow& form = h.start();
    ToolbarWindow* toolbar = form.toolbarWindow();
    QVERIFY(toolbar->isVisible());
    QVERIFY(!form.isVisible());
    form.menus().Minimizetotray1->trigger();
    // The main window's task bar button is left as the way back.
    QVERIFY(!toolbar->isVisible());
    QVERIFY(form.isVisible());
    QVERIFY(form.isMinimized());
    form.showNormal();
    // The main window stood in for the toolbar window only until it came back.
    QCoreApplication::processEvents();
    QVERIFY(toolbar->isVisible());
    QVERIFY(!form.isVisible());
    QVERIFY(!form.logViewer()->isVisible());
}

QTEST_MAIN(TestWindowPlaces)
#include "tst_windowplaces.moc"
