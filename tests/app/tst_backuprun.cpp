#include "app/toolbarwindow.h"
#include "apptestharness.h"
#include "backupfixture.h"
#include "backupset/folderlistview.h"
#include "config/buttontabwidget.h"
#include "config/settingsdialog.h"
#include "engine/archivecomponent.h"
#include "engine/backuprun.h"
#include "log/eventmarker.h"
#include "platform/shutdownservice.h"
#include "schedule/intervaltimer.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

class RecordingShutdown : public platform::ShutdownService {
public:
    PrivilegeResult enableShutdownPrivilege() override { return PrivilegeResult::Ok; }
    bool scheduleShutdown(const QString&, const QString& message, int seconds) override {
        calls.append(QStringLiteral("schedule %1 %2").arg(seconds).arg(message));
        return true;
    }
    bool abortShutdown(const QString&) override {
        calls.append(QStringLiteral("abort"));
        return true;
    }
    QStringList calls;
};

} // namespace

// Whole backup runs driven through the main window, with real archives.
class TestBackupRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runFromTheButtonWritesOneArchive();
    void eachFolderReportsAMissingFolder();
    void secondTriggerDuringARunIsRefused();
    void cancelAnsweredNoLetsTheRunFinish();
    void cancelInPerFolderModeStopsAtTheNextFolder();
    void cancelInSingleModeStopsTheArchiveAndFinishesTheRun();
    void timerRunsABackupAndKeepsCounting();
    void archiveWaitsWhileTheCancelQuestionIsOpen();
    void completionSound_data();
    void completionSound();
    void toolbarWindowFollowsAHiddenMainWindow();
    void countdownIsFrozenDuringARun();
    void destinationChecks();
    void backupAndCloseEndsTheProgram();
    void backupAndShutdownSchedulesAndAborts();
    void autoCloseCommandLineWritesTheArchive();
};

void TestBackupRun::runFromTheButtonWritesOneArchive() {
    BackupFixture f;
    f.settings("", {f.docs, f.photos});
    MainWindow& form = f.h.start();
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btBackup")), Qt::LeftButton);
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QVERIFY(BackupFixture::unzipTest(f.destination + QStringLiteral("Quoralis.zip")));
    const QStringList messages = f.h.messages();
    QVERIFY(messages.contains(QStringLiteral("Creating single archive...")));
    QVERIFY(
        messages.filter(QRegularExpression(QStringLiteral("^Backup created: .*/backups/Quoralis \\(.+\\)$")))
            .size() == 1);
    QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("backup_completed")));
    QVERIFY(f.h.settingsText().contains("total_backups=1"));
    QCOMPARE(form.program().marker().value(), QStringLiteral("stop_wait"));
    QVERIFY(form.findChild<QPushButton*>(QStringLiteral("btBackup"))->isEnabled());
}

void TestBackupRun::eachFolderReportsAMissingFolder() {
    BackupFixture f;
    const QString gone = f.h.dir.filePath(QStringLiteral("data/Gone"));
    QDir().mkpath(gone);
    f.settings("each_folder=1\n", {f.docs, gone, f.photos});
    MainWindow& form = f.h.start();
    QDir(gone).removeRecursively();
    form.program().backup();
    QCOMPARE(f.archives(),
             QStringList({QStringLiteral("Quoralis_Docs.zip"), QStringLiteral("Quoralis_Photos.zip")}));
    // The missing folder's files have no new backup: the run is incomplete, without a question.
    QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("backups_incomplete")));
    QVERIFY(f.h.prompts.notices().isEmpty());
    QVERIFY(f.h.messages().contains(QStringLiteral("Folder not found: ") + gone));
    QVERIFY(f.h.messages().contains(QStringLiteral("Creating seperate archives...")));
}

void TestBackupRun::secondTriggerDuringARunIsRefused() {
    BackupFixture f;
    f.addBulk();
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    bool triedDuringRun = false;
    QTimer::singleShot(0, &form, [&] {
        triedDuringRun = form.program().backupRun().isRunning();
        form.program().backup();
    });
    form.program().backup();
    QVERIFY(triedDuringRun);
    QCOMPARE(f.h.messages().count(QStringLiteral("Backup already running")), 1);
    QCOMPARE(f.archives().size(), 1);
    QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("backup_completed")));
}

void TestBackupRun::cancelAnsweredNoLetsTheRunFinish() {
    BackupFixture f;
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    f.h.prompts.queueAnswer(false);
    QTimer::singleShot(0, &form, [&] { form.program().cancelBackup(); });
    form.program().backup();
    QCOMPARE(f.h.prompts.questions(),
             QStringList(QStringLiteral("Are you sure you want to cancel the current backup?")));
    QCOMPARE(f.archives().size(), 1);
    QVERIFY(!f.h.messages().contains(QStringLiteral("User aborted backup")));
}

void TestBackupRun::cancelInPerFolderModeStopsAtTheNextFolder() {
    BackupFixture f;
    f.settings("each_folder=1\n", {f.docs, f.photos});
    // An old archive of the first folder, to be kept as it is.
    MainWindow& form = f.h.start();
    QDir().mkpath(f.destination);
    form.program().backup();
    QCOMPARE(f.archives().size(), 2);
    QFile old(f.destination + QStringLiteral("Quoralis_Docs.zip"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();
    f.h.dir.writeFile(QStringLiteral("data/Docs/new.txt"), QByteArray(100000, 'n'));
    f.h.soundRequests.clear();

    f.h.prompts.queueAnswer(true);
    QTimer::singleShot(0, &form, [&] { form.program().cancelBackup(); });
    form.program().backup();
    const QStringList messages = f.h.messages();
    QVERIFY(messages.contains(QStringLiteral("User aborted backup")));
    QVERIFY(messages.contains(QStringLiteral("backups aborted by user")));
    QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("backups_incomplete")));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), before);
    QCOMPARE(f.archives().size(), 2);
    QVERIFY(QDir(f.destination).entryList(QDir::Files | QDir::Hidden).size() == 2);
    QVERIFY(!form.program().backupRun().isRunning());
    QVERIFY(form.findChild<QPushButton*>(QStringLiteral("btBackup"))->isEnabled());
}

void TestBackupRun::cancelInSingleModeStopsTheArchiveAndFinishesTheRun() {
    BackupFixture f;
    const QString gone = f.h.dir.filePath(QStringLiteral("data/Gone"));
    QDir().mkpath(gone);
    f.settings("", {f.docs, gone});
    MainWindow& form = f.h.start();
    QDir(gone).removeRecursively();
    form.program().backup();
    const QString archive = f.destination + QStringLiteral("Quoralis.zip");
    QFile old(archive);
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();
    f.addBulk();
    f.h.soundRequests.clear();
    f.h.prompts.shown.clear();

    f.h.prompts.queueAnswer(true);
    QTimer::singleShot(0, &form, [&] { form.program().cancelBackup(); });
    form.program().backup();
    // Logged as a cancel, not as an error of the archive engine.
    QVERIFY(f.h.messages().contains(QStringLiteral("Backup cancelled, not created: ") + f.destination +
                                    QStringLiteral("Quoralis")));
    for (const QString& message : f.h.messages())
        QVERIFY2(!message.contains(QStringLiteral("Error")) &&
                     !message.contains(QStringLiteral("NOT created")),
                 qPrintable(message));
    // The user asked for the cancel: no box tells them of it again.
    QVERIFY(f.h.prompts.notices().isEmpty());
    // The run itself ends normally, with the incomplete sound.
    QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("backup_incomplete")));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), before);
    QCOMPARE(QDir(f.destination).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("Quoralis.zip")));
}

void TestBackupRun::timerRunsABackupAndKeepsCounting() {
    BackupFixture f;
    f.settings("timer_enabled=1\ntimer_interval=5\n", {f.docs});
    MainWindow& form = f.h.start();
    QVERIFY(form.program().intervalTimer().isRunning());
    Q_EMIT form.program().intervalTimer().backupDue();
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QVERIFY(form.program().intervalTimer().isRunning());
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("TimerLabel"))->isVisible(), true);
}

void TestBackupRun::archiveWaitsWhileTheCancelQuestionIsOpen() {
    BackupFixture f;
    f.addBulk();
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    // The user takes a while to answer; the archive would be done long before.
    f.h.prompts.onShow = [](const QString&) {
        QThread::msleep(1500);
    };
    f.h.prompts.queueAnswer(true);
    BackupFixture::onFirstFile(form, [&form] { form.program().cancelBackup(); });
    form.program().backup();
    QVERIFY(f.h.messages().contains(QStringLiteral("User aborted backup")));
    QVERIFY(f.h.messages().filter(QStringLiteral("Backup created")).isEmpty());
    QVERIFY(f.archives().isEmpty());
}

void TestBackupRun::completionSound_data() {
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<bool>("engine");
    QTest::addColumn<QString>("sound");
    QTest::newRow("single") << QByteArray() << true << "backup_completed";
    QTest::newRow("single, dated") << QByteArray("multi_archive=1\n") << true << "backups_completed";
    QTest::newRow("per folder") << QByteArray("each_folder=1\n") << true << "backups_completed";
    QTest::newRow("single, failed") << QByteArray() << false << "backup_incomplete";
    QTest::newRow("per folder, failed") << QByteArray("each_folder=1\n") << false << "backups_incomplete";
}

void TestBackupRun::completionSound() {
    QFETCH(QByteArray, options);
    QFETCH(bool, engine);
    QFETCH(QString, sound);
    BackupFixture f(engine);
    f.settings(options, {f.docs});
    MainWindow& form = f.h.start();
    f.h.prompts.shown.clear();
    form.program().backup();
    QCOMPARE(f.h.soundRequests, QStringList(sound));
    if (!engine) {
        QCOMPARE(f.h.prompts.notices().size(), 1);
        // The box names the archive file itself, as the destination folder shows it.
        const QString notice = f.h.prompts.notices().first();
        QVERIFY2(notice.startsWith(f.destination + QStringLiteral("Quoralis")) &&
                     notice.contains(QStringLiteral(".zip NOT created, ")),
                 qPrintable(notice));
    }
}

void TestBackupRun::toolbarWindowFollowsAHiddenMainWindow() {
    BackupFixture f;
    f.addBulk();
    f.settings("", {f.docs});
    MainWindow& form = f.h.start();
    form.modes().HideFaded();
    bool shownDuringRun = false;
    QTimer::singleShot(0, &form, [&] {
        QVERIFY(form.program().backupRun().isRunning());
        shownDuringRun = form.toolbarWindow()->isVisible();
    });
    form.program().backup();
    QVERIFY(shownDuringRun);
    QVERIFY(!form.toolbarWindow()->isVisible());

    // Visible main window: the toolbar window stays hidden, but its line follows the log.
    form.modes().ShowFaded();
    shownDuringRun = true;
    QTimer::singleShot(0, &form, [&] {
        QVERIFY(form.program().backupRun().isRunning());
        shownDuringRun = form.toolbarWindow()->isVisible();
    });
    form.program().backup();
    QVERIFY(!shownDuringRun);
    QCOMPARE(form.toolbarWindow()->statusText(), f.h.messages().last());
}

void TestBackupRun::countdownIsFrozenDuringARun() {
    BackupFixture f;
    f.addBulk();
    f.settings("timer_enabled=1\ntimer_interval=10\n", {f.docs});
    MainWindow& form = f.h.start();
    QVERIFY(form.program().intervalTimer().isRunning());
    bool checked = false;
    bool runningDuringRun = true;
    QTimer::singleShot(0, &form, [&] {
        checked = form.program().backupRun().isRunning();
        runningDuringRun = form.program().intervalTimer().isRunning();
    });
    form.program().backup();
    QVERIFY(checked);
    QVERIFY(!runningDuringRun);
    QVERIFY(form.program().intervalTimer().isRunning());
}

void TestBackupRun::destinationChecks() {
    BackupFixture f;
    f.settings("notify_destination=1\n", {f.docs});
    MainWindow& form = f.h.start();
    // A missing destination that can be created is created.
    QVERIFY(!QFileInfo::exists(f.destination));
    form.program().backup();
    QCOMPARE(f.archives().size(), 1);
    // One that cannot be created: the notice when asked for, silence otherwise.
    const QString blocker = f.h.dir.writeFile(QStringLiteral("file"), "x");
    form.settingsDialog()->Destination()->setText(blocker + QStringLiteral("/sub"));
    f.h.soundRequests.clear();
    form.program().backup();
    QCOMPARE(f.h.prompts.notices(), QStringList(QStringLiteral("Destination directory not present!")));
    QCOMPARE(f.h.soundRequests, QStringList(QStringLiteral("dest_notfound")));
    form.settingsDialog()->cbNotify()->setChecked(false);
    form.program().backup();
    QCOMPARE(f.h.prompts.notices().size(), 1);
    form.settingsDialog()->Destination()->setText(QString());
    f.h.prompts.queueAnswer(false);
    form.program().backup();
    QCOMPARE(f.h.prompts.questions(), QStringList(BackupRun::NoDestinationQuestion));
    QVERIFY(!form.settingsDialog()->isVisible());
    // Yes opens the settings on the destination's page, ready for typing.
    form.settingsDialog()->Destination()->setFocus(); // elsewhere first: the page is turned below
    f.h.prompts.queueAnswer(true);
    QString pageShown;
    bool fieldFocused = false;
    // The dialog runs a loop of its own: it is looked at and closed from inside that loop.
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, &form, [&] {
        if (!form.settingsDialog()->isVisible())
            return;
        watch.stop();
        auto* pages = form.settingsDialog()->findChild<ButtonTabWidget*>(QStringLiteral("PageControl1"));
        pageShown = pages->tabButton(pages->currentIndex())->text();
        fieldFocused = form.settingsDialog()->focusWidget() == form.settingsDialog()->Destination();
        form.settingsDialog()->reject();
    });
    watch.start();
    form.program().backup();
    QTRY_VERIFY(!pageShown.isEmpty());
    QCOMPARE(pageShown, QStringLiteral("Destination"));
    QVERIFY(fieldFocused);
}

void TestBackupRun::backupAndCloseEndsTheProgram() {
    BackupFixture f;
    f.settings("backup_close=1\n", {f.docs});
    MainWindow& form = f.h.start();
    form.program().backupAndClose();
    QVERIFY(form.program().hasEnded());
    QCOMPARE(f.archives().size(), 1);
    QVERIFY(f.h.messages().contains(QStringLiteral("Starting backup-and-close...")));
    QVERIFY(!f.h.messages().contains(QStringLiteral("Making automatic shutdown backup")));
    QVERIFY(f.h.prompts.questions().isEmpty());
}

void TestBackupRun::backupAndShutdownSchedulesAndAborts() {
    BackupFixture f;
    f.settings("", {f.docs});
    RecordingShutdown shutdown;
    f.h.shutdown = &shutdown;
    MainWindow& form = f.h.start();
    auto* backup = form.findChild<QPushButton*>(QStringLiteral("btBackup"));
    form.program().backupAndShutdown();
    QCOMPARE(shutdown.calls, QStringList(QStringLiteral("schedule 30 Quoralis2005 - Backups complete")));
    QCOMPARE(backup->text(), QStringLiteral("ABORT"));
    QCOMPARE(backup->toolTip(), QStringLiteral("Cancel system shutdown"));
    QVERIFY(f.h.messages().contains(QStringLiteral("Shutting down computer in 30 secs...")));
    // The window refuses to close while the shutdown is pending.
    QVERIFY(!form.close());
    // The interval timer's backup aborts it instead of backing up.
    const int archivesBefore = f.archives().size();
    // The flags are clear by the time the notice shows: a close meanwhile is not refused.
    bool flagsClearAtNotice = false;
    f.h.prompts.onShow = [&](const QString& text) {
        if (text == QStringLiteral("Shutdown aborted."))
            flagsClearAtNotice = !form.program().autoShutdown() && !form.program().autoClose();
    };
    Q_EMIT form.program().intervalTimer().backupDue();
    QVERIFY(flagsClearAtNotice);
    QCOMPARE(shutdown.calls.last(), QStringLiteral("abort"));
    QCOMPARE(backup->text(), QStringLiteral("Backup!"));
    QCOMPARE(f.h.prompts.notices().last(), QStringLiteral("Shutdown aborted."));
    QVERIFY(!form.program().autoShutdown());
    QCOMPARE(f.archives().size(), archivesBefore);
    QVERIFY(form.close());
}

void TestBackupRun::autoCloseCommandLineWritesTheArchive() {
    BackupFixture f;
    f.settings("", {f.docs, f.photos});
    MainWindow& form = f.h.start({QStringLiteral("/autoclose")});
    QVERIFY(form.program().hasEnded());
    QCOMPARE(f.archives(), QStringList(QStringLiteral("Quoralis.zip")));
    QVERIFY(BackupFixture::unzipTest(f.destination + QStringLiteral("Quoralis.zip")));
}

QTEST_MAIN(TestBackupRun)
#include "tst_backuprun.moc"
