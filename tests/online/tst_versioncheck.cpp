#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "loopbackhttpserver.h"
#include "online/httpfetch.h"
#include "online/versioncheck.h"
#include "referenceserver.h"
#include "scriptedprompts.h"

#include <QSignalSpy>
#include <QTest>

// The version check and its answers, against the project's web service on loopback.
class TestVersionCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void queryNamesProgramAndVersion();
    void newerVersionIsOffered_data();
    void newerVersionIsOffered();
    void messageAnswer_data();
    void messageAnswer();
    void failedCheckIsReportedOnlyWhenAsked();
    void hostileAnswersOpenAtMostAWebPage();
    void longAnswerIsLoggedAsTheStartOfOneLine();
    void redirectedAnswerOffersNothing();
    void manualCheckWhileOneRunsSaysSoAndGetsTheAnswer();
};

namespace {

// A version check with everything it reaches outside recorded.
struct CheckRig {
    ActivityLog log;
    EventMarker marker;
    ScriptedPrompts prompts;
    QString version = QStringLiteral("1.0.0.1");
    QStringList sounds;
    QList<QUrl> opened;
    int saves = 0;
    int closes = 0;
    // Everything in order: sounds, questions, notices, opening, saving, closing.
    QStringList steps;
    VersionCheck check;

    CheckRig()
        : check(context()) {
        prompts.onShow = [this](const QString& text) {
            steps.append(QStringLiteral("prompt: ") + text);
        };
    }

    VersionCheck::Context context() {
        VersionCheck::Context c;
        c.log = &log;
        c.marker = &marker;
        c.prompts = &prompts;
        c.versionString = [this] {
            marker.set(QStringLiteral("get_version"));
            return version;
        };
        c.playEventSound = [this](const QString& name) {
            sounds.append(name);
            steps.append(QStringLiteral("sound: ") + name);
        };
        c.openAddress = [this](const QUrl& url) {
            opened.append(url);
            steps.append(QStringLiteral("open: ") + QString::fromLatin1(url.toEncoded()));
        };
        c.saveConfig = [this] {
            ++saves;
            steps.append(QStringLiteral("save"));
        };
        c.closeMainWindow = [this] {
            ++closes;
            steps.append(QStringLiteral("close"));
        };
        return c;
    }

    // Runs one check until its answer (or failure) has been handled.
    void run(bool automatic) {
        QSignalSpy done(check.UPDATER(), &HttpFetch::OnDoneString);
        QSignalSpy error(check.UPDATER(), &HttpFetch::OnError);
        check.CheckVersion(automatic);
        QTRY_VERIFY_WITH_TIMEOUT(done.count() + error.count() > 0, 20000);
    }

    QStringList messages() const {
        QStringList result;
        for (const QString& line : log.lines())
            result.append(line.section(QStringLiteral(" - "), 1, -1));
        return result;
    }
};

const QString kQuestion = QStringLiteral(
    "A newer version is available, do you want to close this program and download the installer now?");

} // namespace

void TestVersionCheck::init() {
    // A port nobody listens at, unless a test names its own server.
    qputenv("QUORALIS_SERVER", "127.0.0.1:1");
}

void TestVersionCheck::queryNamesProgramAndVersion() {
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    CheckRig rig;
    rig.version = QStringLiteral("1.0 beta&x=1#2");
    rig.run(false);
    const QList<QJsonObject> requests = server.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().value(QStringLiteral("requestline")).toString(),
             QStringLiteral(
                 "GET /php/versioncheck.php?program=Quoralis2005&version=1.0_beta%26x%3D1%232 HTTP/1.0"));
    QCOMPARE(rig.messages().first(), QStringLiteral("Checking for newer version..."));
    // The version is read after the check's own marker, which it replaces.
    QCOMPARE(rig.marker.value(), QStringLiteral("get_version"));
}

void TestVersionCheck::newerVersionIsOffered_data() {
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("download");
    QTest::addColumn<QStringList>("steps");
    const QString url = QStringLiteral("http://downloads.example.net/setup-2.0.exe");
    const QString open = QStringLiteral("open: ") + url;
    const QString ask = QStringLiteral("prompt: ") + kQuestion;
    QTest::newRow("manual, yes") << false << true << url
                                 << QStringList{"sound: update", ask, open, "save", "close", "sound: latest",
                                                "prompt: " + url};
    QTest::newRow("automatic, yes") << true << true << url
                                    << QStringList{"sound: update", ask, open, "save", "close"};
    QTest::newRow("manual, no") << false << false << url << QStringList{"sound: update", ask};
    QTest::newRow("automatic, no") << true << false << url << QStringList{"sound: update", ask};
    const QString secure = QStringLiteral("https://downloads.example.net/setup-2.0.exe");
    QTest::newRow("https address, automatic")
        << true << true << secure << QStringList{"sound: update", ask, "open: " + secure, "save", "close"};
}

void TestVersionCheck::newerVersionIsOffered() {
    QFETCH(bool, automatic);
    QFETCH(bool, yes);
    QFETCH(QString, download);
    QFETCH(QStringList, steps);
    ReferenceServer server;
    // The service ends the address with a line break; it is trimmed.
    server.setLatest(QStringLiteral("2.0.0.0"), download);
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    CheckRig rig;
    rig.prompts.queueAnswer(yes);
    rig.run(automatic);
    QCOMPARE(rig.steps, steps);
    QCOMPARE(rig.messages().contains(QStringLiteral("Closing for update installation...")), yes);
}

void TestVersionCheck::messageAnswer_data() {
    QTest::addColumn<bool>("automatic");
    QTest::newRow("manual") << false;
    QTest::newRow("automatic") << true;
}

void TestVersionCheck::messageAnswer() {
    QFETCH(bool, automatic);
    ReferenceServer server;
    server.setLatest(QStringLiteral("1.0.0.1"), QStringLiteral("http://downloads.example.net/same.exe"),
                     QStringLiteral("You have the latest version & nothing to do."));
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    CheckRig rig;
    rig.run(automatic);
    const QString text = QStringLiteral("You have the latest version & nothing to do.");
    QCOMPARE(rig.messages().last(), text);
    if (automatic)
        QCOMPARE(rig.steps, QStringList());
    else
        QCOMPARE(rig.steps,
                 (QStringList{QStringLiteral("sound: latest"), QStringLiteral("prompt: ") + text}));
    QVERIFY(rig.opened.isEmpty());
}

void TestVersionCheck::failedCheckIsReportedOnlyWhenAsked() {
    LoopbackHttpServer server;
    server.answerWith(200, " \r\n"); // nothing but a line break
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    CheckRig manual;
    manual.run(false);
    // The box says why, and the log keeps the same words.
    const QString empty = QStringLiteral("Update error: the server sent an empty answer");
    QCOMPARE(manual.prompts.notices(), QStringList(empty));
    QCOMPARE(manual.messages().last(), empty);
    QVERIFY(manual.sounds.isEmpty());

    // Nobody listens at port 1: the connection is refused.
    qputenv("QUORALIS_SERVER", "127.0.0.1:1");
    CheckRig refused;
    refused.run(false);
    QCOMPARE(refused.prompts.notices(),
             QStringList(QStringLiteral("Update error: the server could not be reached")));
    CheckRig automatic;
    automatic.run(true);
    QCOMPARE(automatic.steps, QStringList());
    QCOMPARE(automatic.messages(), QStringList(QStringLiteral("Checking for newer version...")));
}

void TestVersionCheck::hostileAnswersOpenAtMostAWebPage() {
    LoopbackHttpServer server;
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    server.answerWith(200, "http://x/`reboot`;$(halt)\n");
    CheckRig backquotes;
    backquotes.prompts.queueAnswer(true);
    backquotes.run(true);
    QCOMPARE(backquotes.opened.size(), 1);
    const QUrl page = backquotes.opened.first();
    QCOMPARE(page.scheme(), QStringLiteral("http"));
    QCOMPARE(page.host(), QStringLiteral("x"));
    QCOMPARE(page.path(), QStringLiteral("/`reboot`;$(halt)"));

    for (const QByteArray& answer : {QByteArray("file:///etc/passwd"), QByteArray("  HTTP://x/setup.exe"),
                                     QByteArray("mailto:someone@example.net"),
                                     QByteArray("http:///etc/passwd"), QByteArray("https://")}) {
        server.answerWith(200, answer);
        CheckRig rig;
        rig.run(false);
        QVERIFY(rig.opened.isEmpty());
        QCOMPARE(rig.prompts.notices(), QStringList(QString::fromLatin1(answer.trimmed())));
    }
}

void TestVersionCheck::longAnswerIsLoggedAsTheStartOfOneLine() {
    LoopbackHttpServer server;
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    const QByteArray start = "<b>Release notes</b>\x1b[2J\r\nline two";
    server.answerWith(200, start + QByteArray(20000, 'n') + "\n");
    CheckRig rig;
    rig.run(true);
    const QString logged = rig.messages().last();
    QVERIFY2(logged.startsWith(QStringLiteral("<b>Release notes</b>\\x1b[2J\\r\\nline twonnn")),
             qPrintable(logged.left(80)));
    QVERIFY2(logged.size() < 220, qPrintable(QString::number(logged.size())));
    QVERIFY(logged.endsWith(QStringLiteral("...")));
    QCOMPARE(rig.log.lines().size(), 2);
}

void TestVersionCheck::redirectedAnswerOffersNothing() {
    LoopbackHttpServer elsewhere;
    elsewhere.answerWith(200, "http://127.0.0.1:1/setup-9.0.exe\n");
    LoopbackHttpServer server;
    server.redirectTo("http://localhost:" + QByteArray::number(elsewhere.port()) + "/latest.txt");
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    CheckRig rig;
    rig.run(false);
    QVERIFY(elsewhere.requests.isEmpty());
    QVERIFY(rig.opened.isEmpty());
    QCOMPARE(rig.prompts.questions(), QStringList());
    QCOMPARE(rig.prompts.notices(),
             QStringList(QStringLiteral(
                 "Update error: the server sent the request elsewhere (HTTP 302), which is not followed")));
}

void TestVersionCheck::manualCheckWhileOneRunsSaysSoAndGetsTheAnswer() {
    // The start-up check meets a server that never finishes its answer.
    LoopbackHttpServer server;
    server.trickle(std::chrono::milliseconds(100));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    CheckRig rig;
    rig.check.UPDATER()->properties().DeadlineSeconds = 2;
    QSignalSpy error(rig.check.UPDATER(), &HttpFetch::OnError);
    rig.check.CheckVersion(true);
    QTRY_COMPARE(server.requests.size(), 1);

    rig.check.CheckVersion(false);
    QCOMPARE(rig.prompts.notices(),
             QStringList(
                 QStringLiteral("A check for a newer version is already running: its answer will follow.")));
    QCOMPARE(server.requests.size(), 1);
    // The running check ends at its deadline, and its outcome is told as the manual check's.
    QTRY_VERIFY_WITH_TIMEOUT(error.count() == 1, 20000);
    QCOMPARE(rig.prompts.notices().last(), QStringLiteral("Update error: the server did not answer in time"));
    QVERIFY(!rig.check.UPDATER()->isRunning());
}

QTEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
