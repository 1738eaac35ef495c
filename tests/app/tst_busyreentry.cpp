// While a backup runs, nothing the user can reach opens a window with a loop of its own that
// would hold the run: every menu entry and button is tried during a run, and the run ends.
#include "app/mainmenus.h"
#include "backupfixture.h"
#include "backupset/exclusiondialog.h"
#include "config/settingsdialog.h"
#include "engine/archivecomponent.h"
#include "engine/backuprun.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QTest>

namespace {

// Every action of the program's menus, except those that end the program.
QList<QAction*> reachableActions(const MainMenus& menus) {
    QList<QAction*> actions;
    for (QMenu* menu : {menus.mainMenu, menus.trayMenu, menus.backupMenu})
        for (QAction* action : menu->actions())
            if (!action->isSeparator() &&
                !action->text().contains(QStringLiteral("close"), Qt::CaseInsensitive) &&
                !action->text().contains(QStringLiteral("shutdown"), Qt::CaseInsensitive))
                actions.append(action);
    return actions;
}

} // namespace

class TestBusyReentry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyCommandDuringARunLeavesTheRunFree() {
        BackupFixture f;
        f.addBulk();
        f.settings({}, {f.docs});
        MainWindow& form = f.h.start();
        QStringList tried;
        bool triedDuringRun = false;
        BackupFixture::onFirstFile(form, [&] {
            QVERIFY(form.program().backupRun().isRunning());
            for (QAction* action : reachableActions(form.menus())) {
                if (action->isEnabled()) {
                    tried.append(action->text());
                    action->trigger();
                }
            }
            const QList<QAbstractButton*> buttons = form.findChildren<QAbstractButton*>() +
                                                    form.settingsDialog()->findChildren<QAbstractButton*>() +
                                                    form.exclusionDialog()->findChildren<QAbstractButton*>();
            for (QAbstractButton* button : buttons) {
                const QString name = button->objectName();
                // Cancel and close are the run's own ways to end; the others must not hold it.
                if (name == QStringLiteral("btCancel") || name == QStringLiteral("btClose") ||
                    !button->isEnabled() || !button->isVisibleTo(button->window()))
                    continue;
                tried.append(name);
                button->click();
            }
            triedDuringRun = form.program().backupRun().isRunning();
        });
        form.program().backup();
        QVERIFY(triedDuringRun);
        QVERIFY(!tried.isEmpty());
        QVERIFY(!form.program().backupRun().isRunning());
        QVERIFY2(!form.settingsDialog()->isVisible(), qPrintable(tried.join(QLatin1Char(','))));
        QVERIFY(!form.exclusionDialog()->isVisible());
        // Nothing asked a question or opened a picker while the run waited.
        QVERIFY2(f.h.prompts.shown.isEmpty(), qPrintable(f.h.prompts.shown.join(QLatin1Char('|'))));
        QCOMPARE(f.archives().size(), 1);
    }
};

QTEST_MAIN(TestBusyReentry)
#include "tst_busyreentry.moc"
