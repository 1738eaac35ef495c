#include "online/onlinequery.h"
#include "online/onlineserver.h"
#include "online/versioncheck.h"
#include "online/weblinks.h"

#include <QTest>

// Where the program's requests go, how their values travel, and which answers are addresses.
class TestOnlineAddresses : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serverSetting_data();
    void serverSetting();
    void environmentOverridesTheBuildDefault();
    void queryValuesArriveWhole_data();
    void queryValuesArriveWhole();
    void downloadAddress_data();
    void downloadAddress();
    void aboutTextBreaksLinesWithLfCr();
};

void TestOnlineAddresses::serverSetting_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("base");
    QTest::newRow("host") << "updates.example.net"
                          << "http://updates.example.net";
    QTest::newRow("host and port") << "127.0.0.1:8080"
                                   << "http://127.0.0.1:8080";
    QTest::newRow("https with port") << "https://example.net:8443"
                                     << "https://example.net:8443";
    QTest::newRow("scheme in capitals") << "HTTPS://example.net"
                                        << "https://example.net";
    QTest::newRow("trailing path dropped") << "http://example.net/some/path"
                                           << "http://example.net";
    QTest::newRow("blanks") << "  example.net  "
                            << "http://example.net";
}

void TestOnlineAddresses::serverSetting() {
    QFETCH(QString, setting);
    QFETCH(QString, base);
    QCOMPARE(OnlineServer::baseUrlFrom(setting), base);
}

void TestOnlineAddresses::environmentOverridesTheBuildDefault() {
    qputenv("QUORALIS_SERVER", "127.0.0.1:4321");
    QCOMPARE(
        WebLinks::versionCheck(QStringLiteral("1.0.0.1")),
        QStringLiteral("http://127.0.0.1:4321/php/versioncheck.php?program=Quoralis2005&version=1.0.0.1"));
    QCOMPARE(WebLinks::homepage().toString(),
             QStringLiteral("http://127.0.0.1:4321/enter.php?ref=Quoralis2005"));
    QCOMPARE(WebLinks::newsletter().toString(),
             QStringLiteral("http://127.0.0.1:4321/index.php?page=newsletter"));
    qunsetenv("QUORALIS_SERVER");
    // Unset, the build's default is a name that never resolves, not somebody's server.
    QVERIFY2(OnlineServer::baseUrl().endsWith(QStringLiteral(".invalid")),
             qPrintable(OnlineServer::baseUrl()));
    const QUrl mail = WebLinks::supportMail();
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    QCOMPARE(mail.query(QUrl::FullyDecoded), QStringLiteral("subject=Quoralis2005 Support"));
}

void TestOnlineAddresses::queryValuesArriveWhole_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("blanks and slashes") << "C:\\Data/file name"
                                        << "C%3A_Data_file_name";
    QTest::newRow("delimiters") << "a&b=c#d?e%f"
                                << "a%26b%3Dc%23d%3Fe%25f";
    QTest::newRow("non-ASCII") << QStringLiteral("Fehler ä€") << "Fehler_%C3%A4%E2%82%AC";
    QTest::newRow("unreserved kept") << "1.0.0.1-rc_2~x"
                                     << "1.0.0.1-rc_2~x";
}

void TestOnlineAddresses::queryValuesArriveWhole() {
    QFETCH(QString, value);
    QFETCH(QString, encoded);
    QCOMPARE(OnlineQuery::encodeValue(value), encoded);
    // What the server decodes is the value with the replacements only.
    const QString query =
        OnlineQuery().add(QStringLiteral("k"), value).add(QStringLiteral("z"), QStringLiteral("1")).text();
    QCOMPARE(query, QStringLiteral("?k=") + encoded + QStringLiteral("&z=1"));
    QString replaced = value;
    replaced.replace(QLatin1Char(' '), QLatin1Char('_')).replace(QLatin1Char('/'), QLatin1Char('_'));
    replaced.replace(QLatin1Char('\\'), QLatin1Char('_'));
    QCOMPARE(QUrl::fromPercentEncoding(encoded.toLatin1()), replaced);
}

void TestOnlineAddresses::downloadAddress_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("opened");
    QTest::newRow("http") << "http://downloads.example.net/setup.exe"
                          << "http://downloads.example.net/setup.exe";
    QTest::newRow("https") << "https://downloads.example.net/setup.exe"
                           << "https://downloads.example.net/setup.exe";
    QTest::newRow("capitals are a message") << "HTTP://downloads.example.net/"
                                            << "";
    QTest::newRow("text before") << "Get it at http://example.net/"
                                 << "";
    QTest::newRow("scheme only") << "http://"
                                 << "";
    QTest::newRow("file address") << "file:///etc/passwd"
                                  << "";
    QTest::newRow("script address") << "javascript:alert(1)"
                                    << "";
    QTest::newRow("backquotes stay in the page address") << "http://x/`reboot`"
                                                         << "http://x/%60reboot%60";
    QTest::newRow("shell syntax stays in the page address") << "http://x/a;$(rm -rf ~)\"q\""
                                                            << "http://x/a;$(rm%20-rf%20~)%22q%22";
}

void TestOnlineAddresses::downloadAddress() {
    QFETCH(QString, answer);
    QFETCH(QString, opened);
    const std::optional<QUrl> address = VersionCheck::downloadAddress(answer);
    QCOMPARE(address.has_value(), !opened.isEmpty());
    if (address) {
        QCOMPARE(QString::fromLatin1(address->toEncoded()), opened);
        QVERIFY(WebLinks::isWebAddress(*address));
    }
}

void TestOnlineAddresses::aboutTextBreaksLinesWithLfCr() {
    const QStringList lines = WebLinks::aboutText(QStringLiteral("1.2.3.4")).split(QStringLiteral("\n\r"));
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.first().contains(QStringLiteral("Quoralis2005")));
    QVERIFY(lines.first().contains(QStringLiteral("1.2.3.4")));
    QVERIFY(lines.at(2).startsWith(QStringLiteral("Copyright")));
    QCOMPARE(lines.last(), WebLinks::homepage().toString());
}

QTEST_GUILESS_MAIN(TestOnlineAddresses)
#include "tst_onlineaddresses.moc"
