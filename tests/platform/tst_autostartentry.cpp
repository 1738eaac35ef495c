#include "platform/autostartentry.h"
#include "platform/desktopentry.h"
#include "testprogramdir.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>

using platform::AutostartEntry;
using platform::DesktopEntry;

class AutostartEntryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void registersAndUnregisters();
    void rewritesWithTheNewPath();
    void entryIsAValidDesktopEntry_data();
    void entryIsAValidDesktopEntry();
    void execValueEscapes_data();
    void execValueEscapes();
    void hiddenEntryIsNotRegistered();
    void unregisterWithoutEntryChangesNothing();
    void refusesBadNamesAndPaths();
    void failsWhenFolderCannotBeMade();
    void defaultsToHomeConfig();

private:
    std::unique_ptr<TestProgramDir> m_config;
    QByteArray m_oldXdg;
    QByteArray m_oldHome;
};

void AutostartEntryTest::init() {
    m_config = std::make_unique<TestProgramDir>();
    m_oldXdg = qgetenv("XDG_CONFIG_HOME");
    m_oldHome = qgetenv("HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
}

void AutostartEntryTest::cleanup() {
    qputenv("XDG_CONFIG_HOME", m_oldXdg);
    qputenv("HOME", m_oldHome);
    m_config.reset();
}

void AutostartEntryTest::registersAndUnregisters() {
    const QString app = QStringLiteral("Quoralis2005");
    QVERIFY(!AutostartEntry::isRegistered(app));
    QVERIFY(AutostartEntry::registerProgram(app, "/opt/quoralis/quoralis2005"));
    QVERIFY(QFile::exists(m_config->filePath(QStringLiteral("autostart/Quoralis2005.desktop"))));
    QVERIFY(AutostartEntry::isRegistered(app));
    QVERIFY(!AutostartEntry::isRegistered(QStringLiteral("quoralis2005"))); // another name
    QVERIFY(AutostartEntry::unregister(app));
    QVERIFY(!AutostartEntry::isRegistered(app));
    QVERIFY(!QFile::exists(m_config->filePath(QStringLiteral("autostart/Quoralis2005.desktop"))));
}

void AutostartEntryTest::rewritesWithTheNewPath() {
    const QString app = QStringLiteral("Quoralis2005");
    QVERIFY(AutostartEntry::registerProgram(app, "/old/place/quoralis2005"));
    QVERIFY(AutostartEntry::registerProgram(app, "/new/place/quoralis2005"));
    const QByteArray entry = m_config->readFile(QStringLiteral("autostart/Quoralis2005.desktop"));
    QVERIFY(entry.contains("\nExec=\"/new/place/quoralis2005\"\n"));
    QVERIFY(!entry.contains("/old/place"));
    QCOMPARE(
        QDir(m_config->filePath(QStringLiteral("autostart"))).entryList(QDir::Files | QDir::Hidden).size(),
        1);
}

namespace {

// Reads an Exec value back as a desktop session does: the string escapes first, then the
// one quoted argument with its backslash escapes and "%%".
QByteArray programOfExec(const QByteArray& value) {
    QByteArray text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            text += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
        } else {
            text += value[i];
        }
    }
    if (text.size() < 2 || !text.startsWith('"') || !text.endsWith('"'))
        return "(not one quoted argument)";
    QByteArray program;
    for (qsizetype i = 1; i < text.size() - 1; ++i) {
        const char c = text[i];
        if (c == '\\' && i + 2 < text.size() && QByteArray("\"`$\\").contains(text[i + 1]))
            program += text[++i];
        else if (c == '%' && text[i + 1] == '%')
            program += text[++i];
        else if (c == '"' || c == '`' || c == '$' || c == '\\' || c == '%')
            return "(unescaped reserved character)";
        else
            program += c;
    }
    return program;
}

} // namespace

void AutostartEntryTest::entryIsAValidDesktopEntry_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("blanks") << QByteArray("/opt/Program Files/quoralis2005");
    QTest::newRow("quotes") << QByteArray("/home/o'neil/\"best\" backup/quoralis2005");
    QTest::newRow("percent and dollar") << QByteArray("/srv/100% $HOME ${X}/quoralis2005");
    QTest::newRow("backslash and backtick") << QByteArray("/srv/a\\b `c`/quoralis2005");
    QTest::newRow("leading blank in a folder") << QByteArray("/srv/ x/quoralis2005");
}

void AutostartEntryTest::entryIsAValidDesktopEntry() {
    QFETCH(QByteArray, path);
    QVERIFY(AutostartEntry::registerProgram(QStringLiteral("Quoralis2005"), path.toStdString()));
    const QString file = m_config->filePath(QStringLiteral("autostart/Quoralis2005.desktop"));
    const QByteArray entry = m_config->readFile(QStringLiteral("autostart/Quoralis2005.desktop"));
    const QList<QByteArray> lines = entry.split('\n');
    QCOMPARE(lines.first(), QByteArray("[Desktop Entry]"));
    QVERIFY(lines.contains("Type=Application"));
    QVERIFY(lines.contains("Name=Quoralis2005"));
    QList<QByteArray> exec;
    for (const QByteArray& line : lines)
        if (line.startsWith("Exec="))
            exec.append(line.mid(5));
    QCOMPARE(exec.size(), 1);
    QCOMPARE(programOfExec(exec.first()), path);

    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("desktop-file-validate"), {file});
    QVERIFY2(validate.waitForFinished(), "desktop-file-validate is missing (scripts/setup installs it)");
    QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());
}

void AutostartEntryTest::execValueEscapes_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("exec");
    QTest::newRow("plain") << QByteArray("/usr/bin/q") << QByteArray("\"/usr/bin/q\"");
    QTest::newRow("blank") << QByteArray("/a b/q") << QByteArray("\"/a b/q\"");
    // Quoting for Exec adds a backslash before " ` $ \, and the string escape doubles each backslash.
    QTest::newRow("double quote") << QByteArray("/a\"b/q") << QByteArray("\"/a\\\\\"b/q\"");
    QTest::newRow("dollar") << QByteArray("/$HOME/q") << QByteArray("\"/\\\\$HOME/q\"");
    QTest::newRow("backtick") << QByteArray("/a`b`/q") << QByteArray("\"/a\\\\`b\\\\`/q\"");
    QTest::newRow("backslash") << QByteArray("/a\\b/q") << QByteArray("\"/a\\\\\\\\b/q\"");
    QTest::newRow("percent") << QByteArray("/100%/q") << QByteArray("\"/100%%/q\"");
    QTest::newRow("utf-8") << QByteArray("/D\xc3\xa9j\xc3\xa0/q") << QByteArray("\"/D\xc3\xa9j\xc3\xa0/q\"");
}

void AutostartEntryTest::execValueEscapes() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, exec);
    QCOMPARE(DesktopEntry::execValue(path), exec);
}

void AutostartEntryTest::hiddenEntryIsNotRegistered() {
    m_config->writeFile(QStringLiteral("autostart/Quoralis2005.desktop"),
                        "[Desktop Entry]\nType=Application\nExec=/x\nHidden = true\n");
    QVERIFY(!AutostartEntry::isRegistered(QStringLiteral("Quoralis2005")));
    m_config->writeFile(
        QStringLiteral("autostart/Quoralis2005.desktop"),
        "[Desktop Entry]\nType=Application\nExec=/x\nHidden=false\n[Desktop Action x]\nHidden=true\n");
    QVERIFY(AutostartEntry::isRegistered(QStringLiteral("Quoralis2005")));
}

void AutostartEntryTest::unregisterWithoutEntryChangesNothing() {
    QVERIFY(AutostartEntry::unregister(QStringLiteral("Quoralis2005")));
    QVERIFY(!QFileInfo::exists(m_config->filePath(QStringLiteral("autostart"))));
    m_config->writeFile(QStringLiteral("autostart/other.desktop"), "[Desktop Entry]\n");
    QVERIFY(AutostartEntry::unregister(QStringLiteral("Quoralis2005")));
    QVERIFY(QFile::exists(m_config->filePath(QStringLiteral("autostart/other.desktop"))));
}

void AutostartEntryTest::refusesBadNamesAndPaths() {
    QVERIFY(!AutostartEntry::registerProgram(QStringLiteral("../escape"), "/usr/bin/q"));
    QVERIFY(!AutostartEntry::registerProgram(QString(), "/usr/bin/q"));
    QVERIFY(!AutostartEntry::registerProgram(QStringLiteral("Quoralis2005"), "/bad\xff/q"));
    QVERIFY(!AutostartEntry::isRegistered(QStringLiteral("..")));
    QVERIFY(QDir(m_config->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    QVERIFY(!QFileInfo::exists(m_config->filePath(QStringLiteral("../escape.desktop"))));
}

void AutostartEntryTest::failsWhenFolderCannotBeMade() {
    m_config->writeFile(QStringLiteral("autostart"), "a file where the folder should be");
    QVERIFY(!AutostartEntry::registerProgram(QStringLiteral("Quoralis2005"), "/usr/bin/q"));
    QVERIFY(!AutostartEntry::isRegistered(QStringLiteral("Quoralis2005")));
}

void AutostartEntryTest::defaultsToHomeConfig() {
    qputenv("HOME", QFile::encodeName(m_config->path()));
    qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
    QVERIFY(AutostartEntry::registerProgram(QStringLiteral("Quoralis2005"), "/usr/bin/q"));
    QVERIFY(QFile::exists(m_config->filePath(QStringLiteral(".config/autostart/Quoralis2005.desktop"))));
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(AutostartEntry::isRegistered(QStringLiteral("Quoralis2005")));
}

QTEST_GUILESS_MAIN(AutostartEntryTest)
#include "tst_autostartentry.moc"
