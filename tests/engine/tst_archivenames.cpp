// Archive names and the names a run logs and shows, for destinations, folders and files whose
// names are not valid UTF-8: the bytes on disk are exactly the bytes of the settings.
#include "archivecheck.h"
#include "enginefixture.h"
#include "scriptedprompts.h"

#include "backupset/folderset.h"
#include "backupset/formatsize.h"
#include "config/settingsmodel.h"
#include "engine/archivecomponent.h"
#include "engine/archivejob.h"
#include "engine/backuprun.h"
#include "engine/backuprunhost.h"
#include "engine/progressview.h"
#include "log/activitylog.h"
#include "log/eventmarker.h"
#include "log/pathtext.h"
#include "log/timestamp.h"

#include <QTest>

#include <algorithm>
#include <string>

namespace fs = std::filesystem;

namespace {

QString shown(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::vector<std::string> fileNamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
}

// A backup run without windows: the window's part is played by the fixture, which records the
// sounds and the files shown; the log's messages are kept without their timestamps.
class RunFixture : public BackupRunHost, public ProgressView {
public:
    RunFixture() {
        QObject::connect(&log, &ActivityLog::messageLogged, &log,
                         [this](const QString& message) { messages.append(message); });
    }

    void StartWait() override {}
    void StopWait() override {}
    bool backupAllowed() const override { return true; }
    bool abortPendingShutdown() override { return false; }
    bool mainWindowVisible() const override { return true; }
    void showToolbarWindow() override {}
    void chooseDestination() override {}
    void PlayEventSound(const QString& eventName) override { sounds.append(eventName); }

    void prepareForNewArchive() override {}
    void showCurrentFile(const std::filesystem::path& file) override { shownFiles.append(pathText(file)); }
    void showPercent(int) override {}

    EngineFixture engine;
    SettingsModel settings;
    ActivityLog log;
    EventMarker marker;
    ScriptedPrompts prompts;
    FolderSet folders{settings, prompts, log, marker, *this};
    ArchiveJob job{{.zip = &engine.zip(),
                    .settings = &settings,
                    .log = &log,
                    .marker = &marker,
                    .prompts = &prompts,
                    .progress = this,
                    .settingsFilePath = [this] {
                        return engine.root() / "Quoralis.ini";
                    }}};
    BackupRun run{{.host = this,
                   .folders = &folders,
                   .settings = &settings,
                   .zip = &engine.zip(),
                   .job = &job,
                   .log = &log,
                   .marker = &marker,
                   .prompts = &prompts,
                   .progress = this}};
    QStringList messages;
    QStringList shownFiles;
    QStringList sounds;
};

} // namespace

class ArchiveNamesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesKeepTheirBytes_data();
    void namesKeepTheirBytes();
    void datedNameEndsWithTheTimestamp();
    void runOnNamesThatAreNotUtf8();
    void engineReportsFilesByTheirBytes();
};

void ArchiveNamesTest::namesKeepTheirBytes_data() {
    QTest::addColumn<QByteArray>("destination");
    QTest::addColumn<bool>("each");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("base");
    QTest::addColumn<QByteArray>("archive");
    QTest::newRow("one archive") << QByteArray("/d\xff/") << false << QByteArray("/data/f\xe9")
                                 << QByteArray("/d\xff/Quoralis") << QByteArray("/d\xff/Quoralis.zip");
    QTest::newRow("per folder") << QByteArray("/d\xff/") << true << QByteArray("/data/f\xe9\xfe")
                                << QByteArray("/d\xff/Quoralis_f\xe9\xfe")
                                << QByteArray("/d\xff/Quoralis_f\xe9\xfe.zip");
    QTest::newRow("trailing separator")
        << QByteArray("/d/") << true << QByteArray("/data/f\xfe/") << QByteArray("/d/Quoralis_f\xfe")
        << QByteArray("/d/Quoralis_f\xfe.zip");
    QTest::newRow("zip in any case") << QByteArray("/d/") << true << QByteArray("/data/Old.ZiP")
                                     << QByteArray("/d/Quoralis_Old.ZiP")
                                     << QByteArray("/d/Quoralis_Old.ZiP");
    QTest::newRow("folder named .zip") << QByteArray("/d/") << true << QByteArray("/data/.zip")
                                       << QByteArray("/d/Quoralis_.zip") << QByteArray("/d/Quoralis_.zip");
    // A capital dotted I is no i, and a byte that is no text is no letter.
    QTest::newRow("zip look-alike") << QByteArray("/d/") << true << QByteArray("/data/a.z\xc4\xb0p")
                                    << QByteArray("/d/Quoralis_a.z\xc4\xb0p")
                                    << QByteArray("/d/Quoralis_a.z\xc4\xb0p.zip");
    QTest::newRow("zip with a bad byte")
        << QByteArray("/d/") << true << QByteArray("/data/a.zi\xff") << QByteArray("/d/Quoralis_a.zi\xff")
        << QByteArray("/d/Quoralis_a.zi\xff.zip");
    QTest::newRow("zip only in the destination")
        << QByteArray("/d.zip/") << false << QByteArray() << QByteArray("/d.zip/Quoralis")
        << QByteArray("/d.zip/Quoralis.zip");
}

void ArchiveNamesTest::namesKeepTheirBytes() {
    QFETCH(QByteArray, destination);
    QFETCH(bool, each);
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, base);
    QFETCH(QByteArray, archive);
    RunFixture f;
    f.settings.setDestination(fs::path(destination.toStdString()));
    f.settings.setOn(Setting::EachFolder, each);
    const fs::path baseName = f.job.ArchiveBaseName(fs::path(folder.toStdString()));
    QCOMPARE(QByteArray::fromStdString(baseName.native()), base);
    QCOMPARE(QByteArray::fromStdString(ArchiveJob::archiveFileName(baseName).native()), archive);
}

void ArchiveNamesTest::datedNameEndsWithTheTimestamp() {
    RunFixture f;
    f.settings.setDestination(fs::path("/d\xff/"));
    f.settings.setOn(Setting::EachFolder, true);
    f.settings.setOn(Setting::MultiArchive, true);
    const std::string before = Timestamp::fileNameText(QDateTime::currentDateTime()).toStdString();
    const std::string base = f.job.ArchiveBaseName(fs::path("/data/f\xe9")).native();
    const std::string after = Timestamp::fileNameText(QDateTime::currentDateTime()).toStdString();
    QVERIFY2(base == "/d\xff/Quoralis_f\xe9_" + before || base == "/d\xff/Quoralis_f\xe9_" + after,
             base.c_str());
}

void ArchiveNamesTest::runOnNamesThatAreNotUtf8() {
    RunFixture f;
    const fs::path a = f.engine.writeSource("f\xff\xfe/a.txt", EngineFixture::text(3000));
    const fs::path cafe = f.engine.writeSource("f\xff\xfe/sub/caf\xe9.txt", EngineFixture::text(2000, 2));
    const fs::path folder = a.parent_path();
    const fs::path gone = f.engine.root() / "src" / "gone\xe9";
    const std::string destination = f.engine.root().native() + "/b\344ckups";
    f.settings.setDestination(fs::path(destination));
    f.settings.setOn(Setting::EachFolder, true);
    f.settings.addFolder(folder);
    f.settings.addFolder(gone);

    QCOMPARE(f.run.btBackupClick(), BackupRun::Outcome::Completed);

    const std::string archive = destination + "/Quoralis_f\xff\xfe.zip";
    QCOMPARE(fileNamesIn(fs::path(destination)), std::vector<std::string>{"Quoralis_f\xff\xfe.zip"});
    const QString size = FormatSize(static_cast<qint64>(fs::file_size(archive)));
    QCOMPARE(f.messages,
             QStringList({QStringLiteral("Folder not found: ") + shown(gone.native()),
                          QStringLiteral("Creating seperate archives..."),
                          QStringLiteral("Previous backup of a missing folder is kept: ") +
                              shown(destination + "/Quoralis_gone\xe9"),
                          QStringLiteral("Backup created: ") + shown(destination + "/Quoralis_f\xff\xfe") +
                              QStringLiteral(" (") + size + QLatin1Char(')')}));
    QCOMPARE(f.sounds, QStringList(QStringLiteral("backups_incomplete")));
    QVERIFY(!f.shownFiles.isEmpty());
    for (const QString& file : f.shownFiles)
        QVERIFY2(file == shown(a.native()) || file == shown(cafe.native()), qPrintable(file));

    // The outside readers are given a name they can pass on.
    fs::copy_file(archive, f.engine.archivePath());
    const auto listing = archivecheck::pythonListing(f.engine.archivePath());
    QVERIFY2(listing.ok, qPrintable(listing.error));
    QCOMPARE(listing.entries.size(), std::size_t{2});
    f.engine.verifyArchive(f.engine.archivePath());
    const fs::path restored = f.engine.root() / "restored";
    QCOMPARE(f.engine.zip().ExtractArchive(fs::path(archive), restored), 0);
    QCOMPARE(EngineFixture::readAll(restored / a.relative_path()), EngineFixture::readAll(a));
    QCOMPARE(EngineFixture::readAll(restored / cafe.relative_path()), EngineFixture::readAll(cafe));
}

void ArchiveNamesTest::engineReportsFilesByTheirBytes() {
    EngineFixture f;
    const fs::path file = f.writeSource("r\xe9sum\xe9-\xff.txt", EngineFixture::text(5000));
    std::vector<fs::path> items;
    std::vector<fs::path> fileNames;
    std::vector<fs::path> extraNames;
    connect(&f.zip(), &ArchiveComponent::OnItemProgress, this,
            [&](const fs::path& item, qint64, int) { items.push_back(item); });
    connect(&f.zip(), &ArchiveComponent::OnProgress, this,
            [&](ArchiveComponent::ProgressType type, const fs::path& name, qint64) {
                if (type == ArchiveComponent::ProgressType::NewFile ||
                    type == ArchiveComponent::ProgressType::ProgressUpdate)
                    fileNames.push_back(name);
                else if (type == ArchiveComponent::ProgressType::NewExtra)
                    extraNames.push_back(name);
            });
    QCOMPARE(f.add({file}, ArchiveComponent::AddDirNames), 0);
    QVERIFY(!items.empty());
    QVERIFY(!fileNames.empty());
    for (const auto& names : {items, fileNames})
        for (const fs::path& name : names)
            QCOMPARE(QByteArray::fromStdString(name.native()), QByteArray::fromStdString(file.native()));
    QCOMPARE(extraNames.size(), std::size_t{1});
    QCOMPARE(extraNames[0].native(), f.archivePath().native());
}

QTEST_MAIN(ArchiveNamesTest)
#include "tst_archivenames.moc"
