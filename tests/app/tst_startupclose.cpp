#include "engine/backuprun.h"
#include "apptestharness.h"
#include "backupfixture.h"
#include "config/settingsdialog.h"
#include "log/eventmarker.h"
#include "log/logviewer.h"
#include "online/errorreportwindow.h"
#include "widgets/picturebutton.h"
#include "widgets/skinnedbutton.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Start-up and close of the whole program on a temporary program directory.
class TestStartupClose : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void missingEngineFilesAreReportedInOrder();
    void startupLogsVersionAndLoadsConfig();
    void commandLineSwitchesAreExactAndCaseSensitive_data();
    void commandLineSwitchesAreExactAndCaseSensitive();
    void minimizeOnlyAsSecondArgument();
    void autoCloseEndsTheProgram();
    void closeAskedAndAnsweredNoKeepsRunning();
    void closeWithKeepLogWritesTheLogFile();
    void closeIsRefusedWhileShutdownIsPending();
    void closeWithoutKeepLogWritesNoFile();
    void restoreOpensDestinationOrSaysNotFound();
    void helpOpensTheQuickGuide();
    void housekeepingAtStartAndClose();
    void closeDuringTheBackupAtCloseIsTheSameClose();
};

void TestStartupClose::missingEngineFilesAreReportedInOrder() {
    AppTestHarness h(false);
    h.start();
    QCOMPARE(h.prompts.notices(), QStringList({QStringLiteral("EXE compressor is missing, please reinstall"),
                                               QStringLiteral("ZIP dll is missing, please reinstall"),
                                               QStringLiteral("UNZIP dll is missing, please reinstall"),
                                               QStringLiteral("ZIP res file is missing, please reinstall")}));
    // Start-up goes on: the window is shown and the settings were loaded.
    QVERIFY(h.form().isVisible());
    QVERIFY(h.messages().contains(QStringLiteral("Config loaded")));
}

void TestStartupClose::startupLogsVersionAndLoadsConfig() {
    AppTestHarness h;
    h.start();
    const QStringList messages = h.messages();
    QCOMPARE(messages.value(0), QStringLiteral("Starting Quoralis v.") +
                                    QStringLiteral(QUORALIS_VERSION_TEXT) + QStringLiteral("..."));
    QCOMPARE(messages.value(1), QStringLiteral("Loading config"));
    QCOMPARE(QString(QStringLiteral(QUORALIS_VERSION_TEXT)).count(QLatin1Char('.')), 3);
    QCOMPARE(h.form().ui().btVersion->text(), QStringLiteral("v. ") + QStringLiteral(QUORALIS_VERSION_TEXT));
    QCOMPARE(QDir::currentPath() + QDir::separator(), QDir(h.dir.path()).canonicalPath() + QDir::separator());
    // No command line: no shortcut marker.
    QVERIFY(h.form().program().marker().value() != QStringLiteral("shortcut_launch"));
}

void TestStartupClose::commandLineSwitchesAreExactAndCaseSensitive_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expectedLine");
    QTest::addColumn<QString>("expectedMarker");
    QTest::newRow("auto") << "/auto"
                          << "Executing command line \"/auto\"..."
                          << "shortcut_launch_auto";
    QTest::newRow("autoshutdown") << "/autoshutdown"
                                  << "Executing command line \"/autoshutdown\"..."
                                  << "shortcut_launch_autoshutdown";
    QTest::newRow("other case") << "/AUTO"
                                << ""
                                << "shortcut_launch";
    QTest::newRow("blank inside") << "/auto x"
                                  << ""
                                  << "shortcut_launch";
}

void TestStartupClose::commandLineSwitchesAreExactAndCaseSensitive() {
    QFETCH(QString, argument);
    QFETCH(QString, expectedLine);
    QFETCH(QString, expectedMarker);
    AppTestHarness h;
    // A listed folder but no destination: the backup run stops at its checks with its notice.
    // No version check at the end of start-up: its marker would replace the switch's.
    h.writeSettings("[settings]\nauto_check=0\n[folders]\nfolder_count=0\nfolder_0=" + h.dir.path().toUtf8() +
                    "\n");
    const bool recognised = !expectedLine.isEmpty();
    if (recognised)
        h.prompts.queueAnswer(false);
    MainWindow& form = h.start({argument});
    QCOMPARE(h.messages().contains(expectedLine), recognised);
    if (recognised)
        QCOMPARE(h.prompts.questions(), QStringList(BackupRun::NoDestinationQuestion));
    else
        QVERIFY(h.prompts.shown.isEmpty());
    // Unattended, a backup-and-shutdown that could not back up ends the program instead of
    // staying open for ever with nobody to abort it.
    QVERIFY(!form.program().autoShutdown());
    QCOMPARE(form.program().hasEnded(), argument == QStringLiteral("/autoshutdown"));
    if (recognised)
        QCOMPARE(form.program().exitCode(), int(ExitStatus::BackupNotMade));
    // The marker is the switch's own or, for an unrecognised one, the launch marker
    // unless later start-up steps set another.
    if (form.program().hasEnded())
        QCOMPARE(form.program().marker().value(), QStringLiteral("form_close2"));
    else if (recognised)
        QVERIFY(form.program().marker().value() == expectedMarker ||
                form.program().marker().value() == QStringLiteral("btbackup_click"));
}

void TestStartupClose::minimizeOnlyAsSecondArgument() {
    {
        AppTestHarness h;
        h.start({QStringLiteral("/minimize")});
        QVERIFY(h.form().isVisible());
    }
    {
        AppTestHarness h;
        h.prompts.queueAnswer(true);
        h.start({QStringLiteral("/x"), QStringLiteral("/minimize")});
        QVERIFY(!h.form().isVisible());
    }
    {
        AppTestHarness h;
        h.writeSettings("[settings]\nstart_hidden=1\n");
        h.start();
        QVERIFY(!h.form().isVisible());
    }
}

void TestStartupClose::autoCloseEndsTheProgram() {
    AppTestHarness h;
    h.writeSettings("[settings]\nbackup_close=1\n");
    h.start({QStringLiteral("/autoclose")});
    QVERIFY(h.form().program().hasEnded());
    const QStringList messages = h.messages();
    QVERIFY(messages.contains(QStringLiteral("Executing command line \"/autoclose\"...")));
    QVERIFY(messages.contains(QStringLiteral("Saving config...")));
    // Old logs are cleaned at close (the option is on by default), and nothing follows.
    QCOMPARE(messages.last(), QStringLiteral("Logcleanup complete"));
    // The close at the end of an auto-close run skips the backup at close.
    QVERIFY(!messages.contains(QStringLiteral("Making automatic shutdown backup")));
    QVERIFY(h.prompts.questions().isEmpty());
}

void TestStartupClose::closeAskedAndAnsweredNoKeepsRunning() {
    AppTestHarness h;
    MainWindow& form = h.start();
    h.prompts.queueAnswer(false);
    QTest::mouseClick(form.ui().btClose, Qt::LeftButton);
    QCOMPARE(h.prompts.questions(),
             QStringList(QStringLiteral("Are you sure you want to close Quoralis2005?")));
    QVERIFY(!form.program().hasEnded());
    QCOMPARE(form.program().marker().value(), QStringLiteral("close_program"));
    QVERIFY(!h.messages().contains(QStringLiteral("Closing Quoralis2005 v.") +
                                   QStringLiteral(QUORALIS_VERSION_TEXT)));
}

void TestStartupClose::closeWithKeepLogWritesTheLogFile() {
    AppTestHarness h;
    h.writeSettings("[settings]\nkeep_log=1\nbackup_close=1\ndestination=\n");
    MainWindow& form = h.start();
    h.prompts.queueAnswer(true);
    form.btCloseClick();
    QVERIFY(form.program().hasEnded());

    const QStringList logs =
        QDir(h.dir.filePath(QStringLiteral("logs"))).entryList({QStringLiteral("*.txt")});
    QCOMPARE(logs.size(), 1);
    QFile file(h.dir.filePath(QStringLiteral("logs/") + logs.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.endsWith("\r\n"));
    // Every line ends in CR LF, and there are no other line breaks.
    const QList<QByteArray> lines = content.chopped(2).split('\n');
    for (const QByteArray& line : lines.mid(0, lines.size() - 1))
        QVERIFY2(line.endsWith('\r'), line.constData());
    QVERIFY(!lines.last().contains('\r'));
    QCOMPARE(lines.size(), content.count("\r\n"));
    QVERIFY(lines.first().contains(" - Starting Quoralis v."));
    QVERIFY(content.contains(" - Closing Quoralis2005 v."));
    QVERIFY(content.contains(" - Saving config..."));
    // The backup at close runs after the file was written: its lines are not in it.
    QVERIFY(!content.contains("Making automatic shutdown backup"));
    QVERIFY(h.messages().contains(QStringLiteral("Making automatic shutdown backup")));
    // The file is named by the file-name timestamp: no blanks, dashes, slashes or colons.
    QVERIFY(!logs.first().contains(QRegularExpression(QStringLiteral("[ /:\\\\-]"))));
}

void TestStartupClose::closeIsRefusedWhileShutdownIsPending() {
    AppTestHarness h;
    h.writeSettings("[settings]\nkeep_log=1\n");
    MainWindow& form = h.start();
    // A backup-and-shutdown from the menu with nothing to back up leaves its request standing.
    form.program().backupAndShutdown();
    QVERIFY(form.program().autoShutdown());
    QVERIFY(!form.close());
    QVERIFY(!form.program().hasEnded());
    // The sequence ran up to the refusal: settings saved and log file written.
    QVERIFY(h.messages().contains(QStringLiteral("Saving config...")));
    QCOMPARE(QDir(h.dir.filePath(QStringLiteral("logs"))).entryList({QStringLiteral("*.txt")}).size(), 1);
    QCOMPARE(form.program().marker().value(), QStringLiteral("form_close2"));
}

void TestStartupClose::closeWithoutKeepLogWritesNoFile() {
    AppTestHarness h;
    MainWindow& form = h.start();
    QVERIFY(form.close());
    QVERIFY(form.program().hasEnded());
    QVERIFY(!QDir(h.dir.filePath(QStringLiteral("logs"))).exists());
    QCOMPARE(form.program().marker().value(), QStringLiteral("form_close5"));
}

void TestStartupClose::restoreOpensDestinationOrSaysNotFound() {
    AppTestHarness h;
    MainWindow& form = h.start();
    form.program().openDestination();
    QCOMPARE(h.prompts.notices().value(0), QStringLiteral("Destination not set or not found"));
    const QString destination = h.dir.filePath(QStringLiteral("dest; rm -rf x"));
    QDir().mkpath(destination);
    form.settingsDialog()->Destination()->setText(destination);
    form.program().openDestination();
    QCOMPARE(h.shell.opened, QStringList(destination));
}

void TestStartupClose::helpOpensTheQuickGuide() {
    AppTestHarness h;
    MainWindow& form = h.start();
    form.program().openQuickGuide();
    QCOMPARE(h.shell.opened.size(), 1);
    QVERIFY(h.shell.opened.first().endsWith(QStringLiteral("help/Quoralis2005.html")));
    QVERIFY(h.shell.opened.first().startsWith(h.dir.path()));
}

void TestStartupClose::housekeepingAtStartAndClose() {
    AppTestHarness h;
    const QString destination = h.dir.filePath(QStringLiteral("dest/"));
    const QString oldArchive = h.dir.writeFile(QStringLiteral("dest/Quoralis.zip"), "old");
    const QString oldLog = h.dir.writeFile(QStringLiteral("logs/old.txt"), "old");
    const QDateTime longAgo = QDateTime::currentDateTime().addDays(-40);
    for (const QString& path : {oldArchive, oldLog}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }
    h.writeSettings("[settings]\nkeep_log=1\nmulti_archive=1\nclean_backups=1\ndestination=" +
                    destination.toUtf8() + "\n");
    // The outdated-archive check is the last step of start-up: two questions, then the deletion.
    h.prompts.queueAnswer(true);
    h.prompts.queueAnswer(true);
    MainWindow& form = h.start();
    QCOMPARE(h.prompts.questions().size(), 2);
    QVERIFY(h.prompts.questions().first().startsWith(
        QStringLiteral("The following 1 archives are older than 30 days:")));
    QVERIFY(!QFile::exists(oldArchive));
    QCOMPARE(h.soundRequests,
             QStringList({QStringLiteral("outdated_found"), QStringLiteral("outdated_deleted")}));
    // At close the old log goes, the one just written stays.
    QVERIFY(form.close());
    QVERIFY(!QFile::exists(oldLog));
    QCOMPARE(QDir(h.dir.filePath(QStringLiteral("logs"))).entryList(QDir::Files).size(), 1);
    QVERIFY(h.messages().contains(QStringLiteral("Logcleanup complete")));
}

void TestStartupClose::closeDuringTheBackupAtCloseIsTheSameClose() {
    BackupFixture f;
    f.addBulk();
    f.settings("backup_close=1\n", {f.docs});
    MainWindow& form = f.h.start();
    QSignalSpy ended(&form.program(), &BackupApp::programEnded);
    // A second close while the backup at close runs does not end the program early.
    bool endedEarly = true;
    QTimer::singleShot(0, &form, [&] {
        form.close();
        endedEarly = form.program().hasEnded();
    });
    QVERIFY(form.close());
    QVERIFY(!endedEarly);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(f.h.messages().count(QStringLiteral("Saving config...")), 1);
    QCOMPARE(f.archives().size(), 1);
}

QTEST_MAIN(TestStartupClose)
#include "tst_startupclose.moc"
