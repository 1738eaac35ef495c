#include "app/mainmenus.h"
#include "apptestharness.h"
#include "backupfixture.h"
#include "config/settingsdialog.h"
#include "engine/backuprun.h"
#include "loopbackhttpserver.h"
#include "online/errorreportwindow.h"
#include "online/httpfetch.h"
#include "online/versioncheck.h"
#include "referenceserver.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

// The main window's ways to the web server and the desktop: the checks at start-up and on
// request, the links, the About box and the end after an answered error report.
class TestOnlineActions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void startupCheckRunsOnlyWithAutoCheck();
    void everyManualTriggerAsksTheServer();
    void linksOpenOnlyWebAndMailAddresses();
    void aboutBoxNamesProgramAndVersion();
    void updateAcceptedClosesThroughTheCloseSequence();
    void hostileAnswerOpensNothingButAWebPage();
    void answeredReportEndsWithTheLogWritten();
    void reportAnsweredDuringABackupEndsAfterIt();
};

namespace {

const QString kThanks = QStringLiteral("Thank you, your report has been received.");

void waitForCheck(MainWindow& form, int requestsBefore, const ReferenceServer& server) {
    QTRY_VERIFY_WITH_TIMEOUT(server.requests().size() > requestsBefore &&
                                 !form.program().versionChecker().UPDATER()->isRunning(),
                             20000);
}

QStringList logFiles(const AppTestHarness& h) {
    return QDir(h.dir.filePath(QStringLiteral("logs"))).entryList({QStringLiteral("*.txt")});
}

} // namespace

void TestOnlineActions::init() {
    // A port nobody listens at, unless a test names its own server.
    qputenv("QUORALIS_SERVER", "127.0.0.1:1");
}

void TestOnlineActions::startupCheckRunsOnlyWithAutoCheck() {
    ReferenceServer server;
    server.setLatest(QStringLiteral("0.1.0.0"), QString(), QStringLiteral("Nothing newer"));
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    {
        AppTestHarness h;
        h.writeSettings("[settings]\nauto_check=1\n");
        MainWindow& form = h.start();
        waitForCheck(form, 0, server);
        QTRY_VERIFY(h.messages().contains(QStringLiteral("Nothing newer")));
        QVERIFY(h.messages().contains(QStringLiteral("Checking for newer version...")));
        // The automatic check shows nothing and plays nothing for a message.
        QVERIFY(h.prompts.shown.isEmpty());
        QVERIFY(!h.soundRequests.contains(QStringLiteral("latest")));
    }
    {
        AppTestHarness h;
        h.writeSettings("[settings]\nauto_check=0\n");
        h.start();
        QVERIFY(!h.messages().contains(QStringLiteral("Checking for newer version...")));
    }
    {
        // An unattended run never checks.
        AppTestHarness h;
        h.writeSettings("[settings]\nauto_check=1\n");
        h.start({QStringLiteral("/autoclose")});
        QVERIFY(!h.messages().contains(QStringLiteral("Checking for newer version...")));
    }
    QCOMPARE(server.requests().size(), 1);
}

void TestOnlineActions::everyManualTriggerAsksTheServer() {
    ReferenceServer server;
    server.setLatest(QStringLiteral("0.1.0.0"), QString(), QStringLiteral("Nothing newer"));
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    AppTestHarness h;
    h.writeSettings("[settings]\nauto_check=0\n");
    MainWindow& form = h.start();
    const MainMenus& menus = form.menus();
    QList<std::function<void()>> triggers = {
        [&] { menus.mainCheckUpdates->trigger(); },
        [&] { menus.trayCheckUpdates->trigger(); },
        [&] { QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btVersion")), Qt::LeftButton); },
        [&] { form.settingsDialog()->findChild<QPushButton*>(QStringLiteral("btUpdate2"))->click(); },
    };
    for (QAction* a : {menus.mainCheckUpdates, menus.trayCheckUpdates, menus.mainHomepage, menus.mainSupport,
                       menus.trayHomepage, menus.traySupport, menus.About1})
        QVERIFY2(a->isEnabled(), qPrintable(a->text()));
    for (int i = 0; i < triggers.size(); ++i) {
        triggers[i]();
        waitForCheck(form, i, server);
        QTRY_COMPARE(h.prompts.notices().size(), i + 1);
    }
    QCOMPARE(h.prompts.notices(), QStringList(4, QStringLiteral("Nothing newer")));
    QCOMPARE(h.soundRequests.count(QStringLiteral("latest")), 4);
    QCOMPARE(server.requests().first().value(QStringLiteral("requestline")).toString(),
             QStringLiteral("GET /php/versioncheck.php?program=Quoralis2005&version=") +
                 QStringLiteral(QUORALIS_VERSION_TEXT) + QStringLiteral(" HTTP/1.0"));
}

void TestOnlineActions::linksOpenOnlyWebAndMailAddresses() {
    qputenv("QUORALIS_SERVER", "https://updates.example.net:8443");
    AppTestHarness h;
    h.writeSettings("[settings]\nauto_check=0\n");
    MainWindow& form = h.start();
    form.menus().mainHomepage->trigger();
    form.menus().traySupport->trigger();
    form.settingsDialog()->findChild<QPushButton*>(QStringLiteral("btNews"))->click();
    QCOMPARE(h.shell.launched,
             (QStringList{QStringLiteral("https://updates.example.net:8443/enter.php?ref=Quoralis2005"),
                          QStringLiteral("mailto:support@quoralis.invalid?subject=Quoralis2005%20Support"),
                          QStringLiteral("https://updates.example.net:8443/index.php?page=newsletter")}));
    // The opener itself refuses what is no web or mail address.
    for (const char* address :
         {"file:///etc/passwd", "javascript:alert(1)", "http://", "smb://host/share", "mailto:"})
        QVERIFY2(!h.shell.openWebAddress(QUrl(QString::fromLatin1(address))), address);
    QCOMPARE(h.shell.launched.size(), 3);
}

void TestOnlineActions::aboutBoxNamesProgramAndVersion() {
    AppTestHarness h;
    h.writeSettings("[settings]\nauto_check=0\n");
    MainWindow& form = h.start();
    form.menus().About1->trigger();
    QCOMPARE(h.prompts.notices().size(), 1);
    const QString text = h.prompts.notices().first();
    QVERIFY(text.startsWith(QStringLiteral("Quoralis2005 v. ") + QStringLiteral(QUORALIS_VERSION_TEXT) +
                            QStringLiteral("\n\r")));
    QVERIFY(text.contains(QStringLiteral("Copyright")));
}

void TestOnlineActions::updateAcceptedClosesThroughTheCloseSequence() {
    ReferenceServer server;
    server.setLatest(QStringLiteral("99.0.0.0"), QStringLiteral("https://downloads.example.net/setup.exe"));
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    AppTestHarness h;
    h.writeSettings("[settings]\nauto_check=1\nkeep_log=1\n");
    h.prompts.queueAnswer(true);
    MainWindow& form = h.start();
    QTRY_VERIFY_WITH_TIMEOUT(form.program().hasEnded(), 20000);
    QCOMPARE(h.shell.launched, QStringList(QStringLiteral("https://downloads.example.net/setup.exe")));
    QVERIFY(h.soundRequests.contains(QStringLiteral("update")));
    QVERIFY(h.messages().contains(QStringLiteral("Closing for update installation...")));
    // The ordinary close ran: it logged its line and wrote the log file.
    QVERIFY(h.messages().contains(QStringLiteral("Closing Quoralis2005 v.") +
                                  QStringLiteral(QUORALIS_VERSION_TEXT)));
    QCOMPARE(logFiles(h).size(), 1);
}

void TestOnlineActions::hostileAnswerOpensNothingButAWebPage() {
    LoopbackHttpServer server;
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    AppTestHarness h;
    h.writeSettings("[settings]\nauto_check=0\n");
    MainWindow& form = h.start();
    server.answerWith(200, "file:///etc/passwd");
    form.menus().mainCheckUpdates->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(h.prompts.notices(), QStringList(QStringLiteral("file:///etc/passwd")), 20000);
    QVERIFY(h.shell.launched.isEmpty());

    server.answerWith(200, "http://x/`reboot`\r\n");
    h.prompts.queueAnswer(true);
    form.menus().mainCheckUpdates->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(form.program().hasEnded(), 20000);
    QCOMPARE(h.shell.launched, QStringList(QStringLiteral("http://x/%60reboot%60")));
}

void TestOnlineActions::answeredReportEndsWithTheLogWritten() {
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    AppTestHarness h;
    h.writeSettings("[settings]\nauto_check=0\nkeep_log=1\n");
    MainWindow& form = h.start();
    const QByteArray settingsBefore = h.settingsText();
    QSignalSpy ended(&form.program(), &BackupApp::programEnded);
    form.errorForm()->showError(QStringLiteral("Unexpected failure"));
    QTest::mouseClick(form.errorForm()->findChild<QPushButton*>(QStringLiteral("BtOk")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
    QCOMPARE(h.prompts.notices(), QStringList(kThanks));
    QCOMPARE(server.reports()
                 .value(0)
                 .value(QStringLiteral("fields"))
                 .toObject()
                 .value(QStringLiteral("exception"))
                 .toString(),
             QStringLiteral("Unexpected_failure"));
    // The close sequence did not run, but the run's log was written.
    QCOMPARE(h.settingsText(), settingsBefore);
    QCOMPARE(logFiles(h).size(), 1);
    QVERIFY(!h.messages().contains(QStringLiteral("Closing Quoralis2005 v.") +
                                   QStringLiteral(QUORALIS_VERSION_TEXT)));
}

void TestOnlineActions::reportAnsweredDuringABackupEndsAfterIt() {
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    BackupFixture f;
    f.addBulk();
    f.settings("auto_check=0\nkeep_log=1\n", {f.docs});
    MainWindow& form = f.h.start();
    QSignalSpy ended(&form.program(), &BackupApp::programEnded);
    bool endedDuringBackup = true;
    BackupFixture::onFirstFile(form, [&] {
        form.errorForm()->showError(QStringLiteral("Failure during the backup"));
        QTest::mouseClick(form.errorForm()->findChild<QPushButton*>(QStringLiteral("BtOk")), Qt::LeftButton);
        // The answer is handled while the backup is still at its first file.
        QTRY_COMPARE_WITH_TIMEOUT(f.h.prompts.notices(), QStringList(kThanks), 20000);
        endedDuringBackup = !ended.isEmpty() || !form.program().backupRun().isRunning();
    });
    form.program().backup();
    QVERIFY(!endedDuringBackup);
    QCOMPARE(ended.size(), 1);
    const QStringList archives = f.archives();
    QCOMPARE(archives.size(), 1);
    QVERIFY(BackupFixture::unzipTest(QDir(f.destination).filePath(archives.first())));
    QCOMPARE(logFiles(f.h).size(), 1);
}

QTEST_MAIN(TestOnlineActions)
#include "tst_onlineactions.moc"
