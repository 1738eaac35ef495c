#include "app/explainingopener.h"
#include "backupfixture.h"
#include "backupset/folderlistview.h"
#include "config/settingsmodel.h"
#include "online/weblinks.h"
#include "restore/restorewindow.h"

#include <QAction>
#include <QMenu>
#include <QTest>

// What the main window hands to the desktop: help, the destination, web links and a listed folder,
// and what the user hears when the desktop has nothing to open them with.
class TestDesktopOpeners : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void withoutAnOpenerEveryRequestSaysWhatToOpenByHand();
    void withAnOpenerNothingIsSaid();
    void folderListMenuRemovesAndOpensInTheMainWindow();
};

void TestDesktopOpeners::withoutAnOpenerEveryRequestSaysWhatToOpenByHand() {
    BackupFixture f;
    f.settings("", {f.docs});
    f.h.shell.available = false;
    MainWindow& form = f.h.start();
    QDir().mkpath(f.destination);
    f.h.prompts.shown.clear();

    form.program().openQuickGuide();
    const QString help = f.h.dir.path() + QStringLiteral("/help/Quoralis2005.html");
    QCOMPARE(f.h.shell.opened, QStringList(help));
    form.program().openHomepage();
    form.program().openSupport();
    QCOMPARE(f.h.prompts.notices(),
             (QStringList{ExplainingOpener::noFileOpener(help),
                          ExplainingOpener::noBrowser(WebLinks::homepage().toDisplayString()),
                          ExplainingOpener::noBrowser(WebLinks::supportMail().toDisplayString())}));
    for (const QString& notice : f.h.prompts.notices())
        QVERIFY2(notice.startsWith(QStringLiteral("No ")) && notice.contains(QStringLiteral(" is: ")),
                 qPrintable(notice));

    // The destination is no dead end: the restore window is offered instead, and opens on Yes.
    const QString offer = ExplainingOpener::noFolderOpener(QDir(f.destination).path() + QLatin1Char('/')) +
                          QLatin1Char('\n') + BackupApp::RestoreInsteadOffer;
    f.h.prompts.queueAnswer(false);
    form.program().openDestination();
    QCOMPARE(f.h.prompts.questions(), QStringList{offer});
    QVERIFY(form.findChild<RestoreWindow*>() == nullptr);
    f.h.prompts.queueAnswer(true);
    form.program().openDestination();
    QCOMPARE(f.h.prompts.questions(), (QStringList{offer, offer}));
    QVERIFY(form.findChild<RestoreWindow*>() != nullptr);
    QTRY_VERIFY(form.findChild<RestoreWindow*>()->isVisible());
}

void TestDesktopOpeners::withAnOpenerNothingIsSaid() {
    BackupFixture f;
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    QDir().mkpath(f.destination);
    f.h.prompts.shown.clear();
    form.program().openQuickGuide();
    form.program().openDestination();
    form.program().openHomepage();
    QCOMPARE(f.h.shell.opened.size(), 2);
    QCOMPARE(f.h.shell.launched.size(), 1);
    QCOMPARE(f.h.prompts.notices(), QStringList());
}

void TestDesktopOpeners::folderListMenuRemovesAndOpensInTheMainWindow() {
    BackupFixture f;
    f.settings("", {f.docs, f.photos});
    MainWindow& form = f.h.start();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    FolderListView* list = form.FldrList();
    QCOMPARE(list->topLevelItemCount(), 2);
    const QPoint onPhotos = list->visualItemRect(list->topLevelItem(1)).center();

    Q_EMIT list->customContextMenuRequested(onPhotos);
    list->openAction()->trigger();
    list->contextMenu()->hide();
    QCOMPARE(f.h.shell.opened,
             QStringList(FolderListView::displayText(FolderListView::folderOf(list->topLevelItem(1)))));

    // The main window's own menu does not open over the list: the list's menu does.
    Q_EMIT list->customContextMenuRequested(onPhotos);
    QVERIFY(list->contextMenu()->isVisible());
    QVERIFY(!form.menus().mainMenu->isVisible());
    f.h.prompts.queueAnswer(true);
    list->removeAction()->trigger();
    list->contextMenu()->hide();
    QCOMPARE(
        f.h.prompts.questions(),
        QStringList(QStringLiteral("Are you sure you want to remove selected folder(s) from the list?")));
    QCOMPARE(form.program().settings().folders().size(), std::size_t(1));
    QCOMPARE(list->topLevelItemCount(), 1);

    // Without an opener the user hears which folder to open by hand.
    f.h.shell.available = false;
    Q_EMIT list->customContextMenuRequested(list->visualItemRect(list->topLevelItem(0)).center());
    list->openAction()->trigger();
    list->contextMenu()->hide();
    QCOMPARE(f.h.prompts.notices().size(), 1);
    QVERIFY(f.h.prompts.notices().first().startsWith(QStringLiteral("No program to open folders")));
}

QTEST_MAIN(TestDesktopOpeners)
#include "tst_desktopopeners.moc"
