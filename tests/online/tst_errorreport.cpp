#include "log/eventmarker.h"
#include "loopbackhttpserver.h"
#include "online/errorreport.h"
#include "online/httpfetch.h"
#include "online/servertext.h"
#include "platform/systeminfo.h"
#include "referenceserver.h"
#include "scriptedprompts.h"

#include <QSignalSpy>
#include <QTest>

// Sending an error report to the project's web service on loopback, without a window.
class TestErrorReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void reportCarriesTheDocumentedQuery();
    void emailIsTheGivenAddressOrAnonymous_data();
    void emailIsTheGivenAddressOrAnonymous();
    void delimitersAndNonAsciiArriveWhole();
    void aLongAnswerIsShownCut();
    void aFailedReportEndsNothingAndCanBeSentAgain();
    void aSendWhileOneIsOnItsWayIsIgnored();
};

namespace {

struct ReportRig {
    ScriptedPrompts prompts;
    int ends = 0;
    EventMarker marker;
    ErrorReport report{marker};
    QSignalSpy started{&report, &ErrorReport::sendingStarted};
    QSignalSpy failed{&report, &ErrorReport::sendFailed};

    ReportRig() {
        report.setReporting(&prompts, [this] { ++ends; });
    }
};

QString replaced(QString text) {
    return text.replace(QLatin1Char(' '), QLatin1Char('_'))
        .replace(QLatin1Char('/'), QLatin1Char('_'))
        .replace(QLatin1Char('\\'), QLatin1Char('_'));
}

} // namespace

void TestErrorReport::init() {
    // A port nobody listens at, unless a test names its own server.
    qputenv("QUORALIS_SERVER", "127.0.0.1:1");
}

void TestErrorReport::reportCarriesTheDocumentedQuery() {
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    ReportRig rig;
    // The marker is read when the report is sent, not when it was made.
    rig.marker.set(QStringLiteral("zip_done"));
    int endsWhenShown = -1;
    rig.prompts.onShow = [&](const QString&) {
        endsWhenShown = rig.ends;
    };
    rig.report.send(QStringLiteral("Disk is full"), std::nullopt);
    QCOMPARE(rig.started.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.ends, 1, 20000);
    QCOMPARE(rig.prompts.notices(), QStringList(QStringLiteral("Thank you, your report has been received.")));
    QCOMPARE(endsWhenShown, 0);
    QCOMPARE(rig.failed.count(), 0);

    const QList<QJsonObject> reports = server.reports();
    QCOMPARE(reports.size(), 1);
    const QString os = QUrl::toPercentEncoding(replaced(platform::SystemInfo::osDescription()));
    QCOMPARE(reports.first().value(QStringLiteral("query")).toString(),
             QStringLiteral("program=Quoralis2005&version=") + platform::SystemInfo::programVersion() +
                 QStringLiteral("&exception=Disk_is_full&event=zip_done&os=") + os +
                 QStringLiteral("&email=anonymous"));
    QCOMPARE(reports.first().value(QStringLiteral("agent")).toString(), QStringLiteral("Quoralis2005"));
}

void TestErrorReport::emailIsTheGivenAddressOrAnonymous_data() {
    QTest::addColumn<std::optional<QString>>("email");
    QTest::addColumn<QString>("sent");
    QTest::newRow("no address") << std::optional<QString>() << "anonymous";
    QTest::newRow("an address") << std::optional(QStringLiteral("me+bugs@example.net"))
                                << "me+bugs@example.net";
    QTest::newRow("an empty address stays empty") << std::optional(QString()) << "";
}

void TestErrorReport::emailIsTheGivenAddressOrAnonymous() {
    QFETCH(std::optional<QString>, email);
    QFETCH(QString, sent);
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    ReportRig rig;
    rig.report.send(QStringLiteral("Oops"), email);
    QTRY_COMPARE_WITH_TIMEOUT(rig.ends, 1, 20000);
    const QJsonObject fields = server.reports().value(0).value(QStringLiteral("fields")).toObject();
    QVERIFY(fields.contains(QStringLiteral("email")));
    QCOMPARE(fields.value(QStringLiteral("email")).toString(), sent);
}

void TestErrorReport::delimitersAndNonAsciiArriveWhole() {
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    ReportRig rig;
    rig.marker.set(QStringLiteral("scan_folders"));
    rig.report.send(QStringLiteral("Datei C:\\Daten/ä.txt: A&B=1 #2 100% ?"),
                    QStringLiteral("a&b=c@example.net"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.ends, 1, 20000);
    const QJsonObject fields = server.reports().value(0).value(QStringLiteral("fields")).toObject();
    QCOMPARE(fields.value(QStringLiteral("exception")).toString(),
             QStringLiteral("Datei_C:_Daten_ä.txt:_A&B=1_#2_100%_?"));
    QCOMPARE(fields.value(QStringLiteral("event")).toString(), QStringLiteral("scan_folders"));
    QCOMPARE(fields.value(QStringLiteral("email")).toString(), QStringLiteral("a&b=c@example.net"));
    QCOMPARE(fields.value(QStringLiteral("program")).toString(), QStringLiteral("Quoralis2005"));
    QCOMPARE(fields.keys().size(), 6);
}

void TestErrorReport::aLongAnswerIsShownCut() {
    LoopbackHttpServer server;
    const QByteArray answer = QByteArray(ServerText::displayChars, 'a') + "tail";
    server.answerWith(200, answer);
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    ReportRig rig;
    rig.report.send(QStringLiteral("Oops"), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(rig.ends, 1, 20000);
    QCOMPARE(rig.prompts.notices(),
             QStringList(QString(ServerText::displayChars, QLatin1Char('a')) + QStringLiteral("...")));
    QVERIFY(LoopbackHttpServer::requestLine(server.requests.value(0))
                .startsWith("GET /php/exceptions.php?program=Quoralis2005&version="));
}

void TestErrorReport::aFailedReportEndsNothingAndCanBeSentAgain() {
    ReportRig rig;
    rig.report.send(QStringLiteral("Something failed"), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(rig.failed.count(), 1, 20000);
    QCOMPARE(rig.started.count(), 1);
    QVERIFY(rig.prompts.shown.isEmpty());
    QCOMPARE(rig.ends, 0);
    QVERIFY(!rig.report.isSending());

    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    rig.report.send(QStringLiteral("Something failed"), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(rig.ends, 1, 20000);
    QCOMPARE(rig.started.count(), 2);
    QCOMPARE(rig.failed.count(), 1);
    QCOMPARE(server.reports().size(), 1);
}

void TestErrorReport::aSendWhileOneIsOnItsWayIsIgnored() {
    LoopbackHttpServer server;
    server.neverAnswer();
    qputenv("QUORALIS_SERVER", server.address().toUtf8());
    ReportRig rig;
    rig.report.send(QStringLiteral("first"), std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 1, 20000);
    QVERIFY(rig.report.isSending());
    rig.report.send(QStringLiteral("second"), std::nullopt);
    QCOMPARE(rig.started.count(), 1);
    QVERIFY(rig.report.HTTP()->properties().URL.contains(QStringLiteral("exception=first")));

    rig.report.HTTP()->Abort();
    QTRY_COMPARE_WITH_TIMEOUT(rig.failed.count(), 1, 20000);
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(rig.ends, 0);
}

QTEST_GUILESS_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
