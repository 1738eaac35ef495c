#include "platform/settingslocation.h"
#include "testprogramdir.h"
#include "unprivilegedscope.h"

#include <QTest>

#include <cstdlib>
#include <optional>
#include <sys/stat.h>

using platform::SettingsLocation;

namespace fs = std::filesystem;

namespace {

// Sets an environment variable (or removes it, for nullopt) until the scope ends.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, std::optional<QByteArray> value)
        : m_name(name)
        , m_hadValue(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name)) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvironmentScope() {
        if (m_hadValue)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    const char* m_name;
    bool m_hadValue;
    QByteArray m_old;
};

QByteArray bytes(const fs::path& path) {
    return QByteArray::fromStdString(path.native());
}

std::size_t entries(const fs::path& folder) {
    return std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

class SettingsLocationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writableProgramFolderIsPortable();
    void readOnlyProgramFolderUsesUserPlaces_data();
    void readOnlyProgramFolderUsesUserPlaces();
    void settingsFileBesideReadOnlyProgramStaysPortable();
    void writableSystemFolderUsesUserPlaces();
};

void SettingsLocationTest::writableProgramFolderIsPortable() {
    TestProgramDir dir;
    const fs::path program = dir.fsPath() / std::string("bin \xFF");
    fs::create_directory(program);
    const SettingsLocation location(program);
    QVERIFY(location.isPortable());
    QCOMPARE(bytes(location.settingsFile()), bytes(program / "Quoralis2005Config.ini"));
    QCOMPARE(bytes(location.logDirectory()), bytes(program) + "/logs/");
    QCOMPARE(entries(program), std::size_t(0)); // the trial file is gone again
}

void SettingsLocationTest::readOnlyProgramFolderUsesUserPlaces_data() {
    QTest::addColumn<bool>("xdgSet");
    QTest::newRow("xdg variables set") << true;
    QTest::newRow("xdg variables unset") << false;
}

void SettingsLocationTest::readOnlyProgramFolderUsesUserPlaces() {
    QFETCH(bool, xdgSet);
    TestProgramDir dir;
    // Everything here must be reachable by the unprivileged identity the test takes.
    ::chmod(dir.fsPath().c_str(), 0777);
    const fs::path program = dir.fsPath() / "bin";
    const fs::path home = dir.fsPath() / "home";
    fs::create_directories(program);
    fs::create_directories(home);
    ::chmod(program.c_str(), 0555);
    ::chmod(home.c_str(), 0777);
    const EnvironmentScope homeScope("HOME", bytes(home));
    const EnvironmentScope configScope("XDG_CONFIG_HOME",
                                       xdgSet ? std::optional(bytes(home / "conf")) : std::nullopt);
    // A relative folder is no base folder: it is passed over for the default.
    const EnvironmentScope dataScope("XDG_DATA_HOME", xdgSet ? std::optional(bytes(home / "data"))
                                                             : std::optional(QByteArray("relative/data")));
    const fs::path config = xdgSet ? home / "conf" : home / ".config";
    const fs::path data = xdgSet ? home / "data" : home / ".local/share";

    UnprivilegedScope scope;
    if (!scope.isActive())
        QSKIP("cannot drop root privileges here");
    const SettingsLocation location(program);
    QVERIFY(!location.isPortable());
    QCOMPARE(bytes(location.settingsFile()), bytes(config / "Quoralis2005/Quoralis2005Config.ini"));
    QCOMPARE(bytes(location.logDirectory()), bytes(data / "Quoralis2005/logs/"));
    QVERIFY(fs::is_directory(config / "Quoralis2005"));
    QCOMPARE(entries(program), std::size_t(0));
}

void SettingsLocationTest::settingsFileBesideReadOnlyProgramStaysPortable() {
    TestProgramDir dir;
    ::chmod(dir.fsPath().c_str(), 0777);
    const fs::path program = dir.fsPath() / "bin";
    fs::create_directories(program);
    dir.writeFile(QStringLiteral("bin/Quoralis2005Config.ini"), "[settings]\n");
    ::chmod(program.c_str(), 0555);
    const EnvironmentScope configScope("XDG_CONFIG_HOME", bytes(dir.fsPath() / "conf"));

    UnprivilegedScope scope;
    if (!scope.isActive())
        QSKIP("cannot drop root privileges here");
    const SettingsLocation location(program);
    QVERIFY(location.isPortable());
    QCOMPARE(bytes(location.settingsFile()), bytes(program / "Quoralis2005Config.ini"));
    QCOMPARE(bytes(location.logDirectory()), bytes(program / "logs/"));
    QVERIFY(!fs::exists(dir.fsPath() / "conf"));
}

void SettingsLocationTest::writableSystemFolderUsesUserPlaces() {
    // Root can write into a system-wide installation; its settings still belong to root's own
    // folders, not beside a program every user starts.
    std::string installed = "/opt/quoralis-location-test-XXXXXX";
    if (!::mkdtemp(installed.data()))
        QSKIP("/opt cannot be written here");
    const fs::path program = installed;
    TestProgramDir dir;
    const EnvironmentScope configScope("XDG_CONFIG_HOME", bytes(dir.fsPath() / "conf"));
    const SettingsLocation location(program);
    const bool portable = location.isPortable();
    const std::size_t left = entries(program);
    fs::remove_all(program);
    QVERIFY(!portable);
    QCOMPARE(bytes(location.settingsFile()),
             bytes(dir.fsPath() / "conf/Quoralis2005/Quoralis2005Config.ini"));
    QCOMPARE(left, std::size_t(0));
    // Only the folder itself and what is below it: a folder merely named alike is the user's own.
    const fs::path alike = dir.fsPath() / "opt" / "usr";
    fs::create_directories(alike);
    QVERIFY(SettingsLocation(alike).isPortable());
}

QTEST_GUILESS_MAIN(SettingsLocationTest)
#include "tst_settingslocation.moc"
