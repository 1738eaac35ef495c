#include "platform/autostartentry.h"
#include "platform/autostartentryarguments.h"
#include "platform/desktopentry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using platform::AutostartEntry;
using platform::DesktopEntry;

// Arguments a user added to the session's start entry survive the program writing it anew.
class TestAutostartArguments : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void argumentsAreWhatFollowsTheProgram_data();
    void argumentsAreWhatFollowsTheProgram();
    void argumentsSurviveAnyProgramPath_data();
    void argumentsSurviveAnyProgramPath();
    void rewritingKeepsAddedArguments();
    void commandLineArgumentsFollowTheProgram_data();
    void commandLineArgumentsFollowTheProgram();

private:
    QString entryPath() const { return m_config.filePath(QStringLiteral("autostart/Quoralis2005.desktop")); }
    QByteArray readEntry() const {
        QFile file(entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeEntry(const QByteArray& text) const {
        QFile file(entryPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QTemporaryDir m_config;
};

void TestAutostartArguments::init() {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QVERIFY(QDir(m_config.path()).mkpath(QStringLiteral("autostart")));
    QFile::remove(entryPath());
}

void TestAutostartArguments::argumentsAreWhatFollowsTheProgram_data() {
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("arguments");
    const QByteArray head = "[Desktop Entry]\nType=Application\nName=Quoralis2005\n";
    QTest::newRow("none") << head + "Exec=\"/opt/q/quoralis2005\"\n" << QByteArray();
    QTest::newRow("one") << head + "Exec=\"/opt/q/quoralis2005\" /minimize\n" << QByteArray("/minimize");
    QTest::newRow("blanks around") << head + "Exec = \"/opt/q/quoralis2005\"   /auto /minimize  \n"
                                   << QByteArray("/auto /minimize");
    QTest::newRow("program not quoted") << head + "Exec=quoralis2005 /minimize\n" << QByteArray("/minimize");
    QTest::newRow("quoted argument kept as written") << head + "Exec=\"/opt/q/quoralis2005\" \"/a b\" %%\n"
                                                     << QByteArray("\"/a b\" %%");
    QTest::newRow("escaped quote inside the program")
        << head + "Exec=\"/opt/\\\\\"q\\\\\"/quoralis2005\" /minimize\n"
        << QByteArray("/minimize");
    QTest::newRow("string escapes undone") << head + "Exec=\"/opt/q/quoralis2005\"\\s/minimize\n"
                                           << QByteArray("/minimize");
    QTest::newRow("no closing quote") << head + "Exec=\"/opt/q/quoralis2005 /minimize\n" << QByteArray();
    QTest::newRow("no Exec") << head << QByteArray();
    QTest::newRow("Exec of another group") << head + "Exec=\"/q\"\n[Desktop Action New]\nExec=\"/q\" /auto\n"
                                           << QByteArray();
    QTest::newRow("main group after another")
        << "[Desktop Action New]\nExec=\"/q\" /auto\n" + head + "Exec=\"/q\" /minimize\n"
        << QByteArray("/minimize");
    QTest::newRow("key that only begins with Exec") << head + "ExecStop=x /y\nExec=\"/q\"\n" << QByteArray();
}

void TestAutostartArguments::argumentsAreWhatFollowsTheProgram() {
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, arguments);
    QCOMPARE(DesktopEntry::execArguments(entry), arguments);
}

void TestAutostartArguments::argumentsSurviveAnyProgramPath_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("plain") << QByteArray("/opt/quoralis/quoralis2005");
    QTest::newRow("blanks") << QByteArray("/opt/Program Files/quoralis2005");
    QTest::newRow("quotes") << QByteArray("/home/o'neil/\"best\" backup/quoralis2005");
    QTest::newRow("percent and dollar") << QByteArray("/srv/100% $HOME/quoralis2005");
    QTest::newRow("backslash at the end of a folder") << QByteArray("/srv/a\\/quoralis2005");
}

void TestAutostartArguments::argumentsSurviveAnyProgramPath() {
    QFETCH(QByteArray, path);
    const QByteArray entry = DesktopEntry::forExecutable(QStringLiteral("Quoralis2005"), path.toStdString(),
                                                         "/minimize \"a\\\\b\"");
    QVERIFY(!entry.isEmpty());
    QCOMPARE(DesktopEntry::execArguments(entry), QByteArray("/minimize \"a\\\\b\""));
    // In the file the backslashes are escaped once more, as in every desktop-entry string.
    QVERIFY2(entry.contains("\" /minimize \"a\\\\\\\\b\"\n"), entry.constData());
}

void TestAutostartArguments::rewritingKeepsAddedArguments() {
    const QString app = QStringLiteral("Quoralis2005");
    QVERIFY(AutostartEntry::registerProgram(app, "/old/place/quoralis2005"));
    QByteArray text = readEntry();
    QVERIFY(text.contains("\nExec=\"/old/place/quoralis2005\"\n"));
    // The user adds /minimize by hand.
    text.replace("\nExec=\"/old/place/quoralis2005\"\n", "\nExec=\"/old/place/quoralis2005\" /minimize\n");
    writeEntry(text);

    QVERIFY(AutostartEntry::registerProgram(app, "/new/place/quoralis2005"));
    QVERIFY2(readEntry().contains("\nExec=\"/new/place/quoralis2005\" /minimize\n"), readEntry().constData());
    // And again: written twice, still once.
    QVERIFY(AutostartEntry::registerProgram(app, "/new/place/quoralis2005"));
    QVERIFY2(readEntry().contains("\nExec=\"/new/place/quoralis2005\" /minimize\n"), readEntry().constData());

    // Once removed, a new entry starts without them.
    QVERIFY(AutostartEntry::unregister(app));
    QVERIFY(AutostartEntry::registerProgram(app, "/new/place/quoralis2005"));
    QVERIFY(readEntry().contains("\nExec=\"/new/place/quoralis2005\"\n"));
}

void TestAutostartArguments::commandLineArgumentsFollowTheProgram_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("arguments");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("none") << QStringLiteral("\"C:\\Program Files\\Quoralis2005\\Quoralis2005.exe\"")
                          << QString();
    QTest::newRow("one") << QStringLiteral("\"C:\\Program Files\\Quoralis2005\\Quoralis2005.exe\" /minimize")
                         << QStringLiteral("/minimize");
    QTest::newRow("blanks around") << QStringLiteral("  \"C:\\Q\\Quoralis2005.exe\"\t /auto  /minimize \t")
                                   << QStringLiteral("/auto  /minimize");
    QTest::newRow("quoted argument") << QStringLiteral("\"C:\\Q\\Quoralis2005.exe\" \"D:\\a b\"")
                                     << QStringLiteral("\"D:\\a b\"");
    QTest::newRow("argument right after the quote")
        << QStringLiteral("\"C:\\Q.exe\"/minimize") << QStringLiteral("/minimize");
    QTest::newRow("program not quoted")
        << QStringLiteral("C:\\Q\\Quoralis2005.exe /minimize") << QStringLiteral("/minimize");
    QTest::newRow("program alone, not quoted") << QStringLiteral("C:\\Q\\Quoralis2005.exe") << QString();
    QTest::newRow("no closing quote") << QStringLiteral("\"C:\\Program Files\\Q.exe /minimize") << QString();
}

void TestAutostartArguments::commandLineArgumentsFollowTheProgram() {
    QFETCH(QString, command);
    QFETCH(QString, arguments);
    QCOMPARE(QString::fromStdWString(platform::AutostartEntryArguments::ofCommand(command.toStdWString())),
             arguments);
}

QTEST_GUILESS_MAIN(TestAutostartArguments)
#include "tst_autostartarguments.moc"
