// The restore window on small screens under a window manager: it opens wholly on the screen with
// every button reachable, and file names keep their room.
#include "restore/backuplistview.h"
#include "restore/contentsview.h"
#include "restore/restorewindow.h"
#include "restorefixture.h"
#include "scriptedprompts.h"
#include "windowmanagerprobe.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace fs = std::filesystem;

class RestoreWindowOnScreenTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void opensWhollyOnTheScreenWithNamesReadable();
};

void RestoreWindowOnScreenTest::initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server with a window manager (run through underwindowmanager.sh)");
    QVERIFY(QTest::qWaitFor(windowmanagerprobe::windowManagerRunning, 20000));
}

void RestoreWindowOnScreenTest::opensWhollyOnTheScreenWithNamesReadable() {
    RestoreFixture f;
    // A deep destination and long names: none of it may widen the window past the screen.
    const fs::path file = f.writeSource("Documents/Quarterly reports/2026/A rather long report name.odt",
                                        EngineFixture::text(4000));
    f.backup({file}, "Quoralis_Documents_8_Dec_2026_14_05_09.zip");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();

    QWidget opener;
    opener.setGeometry(QRect(area.topLeft() + QPoint(10, 10), QSize(200, 150)));
    opener.show();
    ScriptedPrompts prompts;
    RestoreWindow window([&] { return f.destination(); }, prompts, [](const fs::path&) {}, &opener);
    window.showRestore();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(QTest::qWaitFor([&] { return windowmanagerprobe::managedByWindowManager(&window); }, 20000));
    QTRY_VERIFY_WITH_TIMEOUT(window.frameGeometry() != window.geometry(), 20000);
    QTRY_VERIFY2(area.contains(window.frameGeometry()),
                 qPrintable(QStringLiteral("window %1,%2 %3x%4 on %5x%6")
                                .arg(window.frameGeometry().x())
                                .arg(window.frameGeometry().y())
                                .arg(window.frameGeometry().width())
                                .arg(window.frameGeometry().height())
                                .arg(area.width())
                                .arg(area.height())));
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (!button->isVisible())
            continue;
        const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
        QVERIFY2(area.contains(onScreen), qPrintable(button->text()));
    }

    // The backup's tree, maximized: the name column keeps most of the room.
    BackupListView* list = window.backupList();
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Documents"));
    list->setCurrentItem(list->topLevelItem(0)->child(0));
    window.showMaximized();
    auto* contents = window.findChild<ContentsView*>(QStringLiteral("contentsView"));
    QTRY_VERIFY(contents->isVisible());
    QTRY_VERIFY(area.contains(window.frameGeometry()));
    const int nameWidth = contents->header()->sectionSize(0);
    QVERIFY2(
        nameWidth >= contents->viewport()->width() / 2,
        qPrintable(QStringLiteral("name column %1 of %2").arg(nameWidth).arg(contents->viewport()->width())));
}

QTEST_MAIN(RestoreWindowOnScreenTest)
#include "tst_restorewindowonscreen.moc"
