#include "autostart/sessionautostart.h"
#include "platform/autostartentry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The check box that starts the program with the desktop session.
class TestAutostartBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void boxFollowsAndWritesTheEntry();
    void tickedBoxRewritesAMovedProgram();
    void rewriteKeepsArgumentsTheUserAdded();

private:
    QString entryPath() const { return m_config.filePath(QStringLiteral("autostart/QuoralisTest.desktop")); }
    QTemporaryDir m_config;
};

void TestAutostartBox::init() {
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    platform::AutostartEntry::unregister(QStringLiteral("QuoralisTest"));
}

void TestAutostartBox::boxFollowsAndWritesTheEntry() {
    SessionAutoStart box(QStringLiteral("Auto start with Windows"));
    box.setAppName(QStringLiteral("QuoralisTest"));
    QVERIFY(!box.isChecked());
    QVERIFY(!QFile::exists(entryPath()));
    box.setChecked(true);
    QVERIFY(platform::AutostartEntry::isRegistered(QStringLiteral("QuoralisTest")));
    box.setChecked(false);
    QVERIFY(!QFile::exists(entryPath()));
    // An entry made elsewhere shows as ticked.
    platform::AutostartEntry::registerProgram(QStringLiteral("QuoralisTest"), "/elsewhere/quoralis2005");
    SessionAutoStart again(QStringLiteral("Auto start with Windows"));
    again.setAppName(QStringLiteral("QuoralisTest"));
    QVERIFY(again.isChecked());
}

void TestAutostartBox::tickedBoxRewritesAMovedProgram() {
    platform::AutostartEntry::registerProgram(QStringLiteral("QuoralisTest"), "/old/place/quoralis2005");
    SessionAutoStart box(QStringLiteral("Auto start with Windows"));
    box.setAppName(QStringLiteral("QuoralisTest"));
    QFile entry(entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY(!text.contains("/old/place"));
    QVERIFY(text.contains(QFile::encodeName(QCoreApplication::applicationFilePath())));
}

void TestAutostartBox::rewriteKeepsArgumentsTheUserAdded() {
    QVERIFY(QDir(m_config.path()).mkpath(QStringLiteral("autostart")));
    QFile entry(entryPath());
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=QuoralisTest\n"
                "Exec=\"/old/place/quoralis2005\" /minimize\nTerminal=false\n");
    entry.close();
    SessionAutoStart box(QStringLiteral("Auto start with Windows"));
    box.setAppName(QStringLiteral("QuoralisTest"));
    QVERIFY(box.isChecked());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY2(text.contains("\nExec=\"" + QFile::encodeName(QCoreApplication::applicationFilePath()) +
                           "\" /minimize\n"),
             text.constData());
}

QTEST_MAIN(TestAutostartBox)
#include "tst_autostartbox.moc"
