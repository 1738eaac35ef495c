#include "platform/secretbytes.h"

#include <QTest>

using platform::SecretBytes;

class SecretBytesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepsEveryByteAndComparesWhole();
    void movingLeavesNothingBehind();
    void typedTextBecomesUtf8();
    void wipesTheCopiesItIsGiven();
};

void SecretBytesTest::keepsEveryByteAndComparesWhole() {
    const QByteArray bytes("a\0b\xff", 4);
    const SecretBytes secret(bytes);
    QCOMPARE(secret.size(), 4);
    QCOMPARE(secret.view().toByteArray(), bytes);
    QCOMPARE(secret.stdView().size(), std::size_t(4));
    QVERIFY(secret == SecretBytes(bytes));
    QVERIFY(secret != SecretBytes(QByteArray("a\0b\xfe", 4)));
    QVERIFY(secret != SecretBytes(QByteArray("a\0b", 3)));
    QVERIFY(secret.clone() == secret);
    QVERIFY(SecretBytes() == SecretBytes(QByteArray()));
}

void SecretBytesTest::movingLeavesNothingBehind() {
    SecretBytes first(QByteArrayView("first"));
    SecretBytes second(std::move(first));
    QVERIFY(first.isEmpty()); // NOLINT(bugprone-use-after-move): the moved-from state is the point
    QCOMPARE(second.view().toByteArray(), QByteArray("first"));
    SecretBytes third(QByteArrayView("third"));
    third = std::move(second);
    QVERIFY(second.isEmpty()); // NOLINT(bugprone-use-after-move)
    QCOMPARE(third.view().toByteArray(), QByteArray("first"));
    third.clear();
    QVERIFY(third.isEmpty());
    QCOMPARE(third.data(), nullptr);
}

void SecretBytesTest::typedTextBecomesUtf8() {
    const SecretBytes secret = SecretBytes::fromText(QStringLiteral("Grüße €"));
    QCOMPARE(secret.view().toByteArray(), QByteArray("Gr\xc3\xbc\xc3\x9f"
                                                     "e \xe2\x82\xac"));
}

void SecretBytesTest::wipesTheCopiesItIsGiven() {
    QByteArray copy("library copy");
    const char* data = copy.constData();
    const QByteArray zeros(copy.size(), '\0');
    SecretBytes::wipe(const_cast<char*>(data), std::size_t(copy.size()));
    QCOMPARE(QByteArray(data, zeros.size()), zeros);

    QByteArray owned("owned copy");
    QByteArray shared = owned; // another holder: left to it
    SecretBytes::wipe(owned);
    QVERIFY(owned.isEmpty());
    QCOMPARE(shared, QByteArray("owned copy"));
}

QTEST_GUILESS_MAIN(SecretBytesTest)
#include "tst_secretbytes.moc"
