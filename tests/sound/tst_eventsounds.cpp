#include "eventnames.h"
#include "recordingwaveoutput.h"
#include "sound/eventsounds.h"
#include "testprogramdir.h"
#include "wavebytes.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A recording whose samples name the event, so a test sees which file was played.
QByteArray recordingOf(const QString& eventName) {
    WaveBytes wave;
    wave.samples = eventName.toUtf8().leftJustified(64, '.');
    return wave.build();
}

// A sound folder with a recording for every event, the fake output and the settings the
// sounds read, around one EventSounds.
struct SoundsFixture {
    SoundsFixture() {
        for (const QString& event : allEvents)
            dir.writeFile(QStringLiteral("sounds/") + event + QStringLiteral(".wav"), recordingOf(event));
        EventSounds::Context context;
        context.soundFolder = dir.filePath(QStringLiteral("sounds"));
        context.output = &output;
        context.voiceChoice = [this] {
            return voice;
        };
        context.mainWindowVisible = [this] {
            return visible;
        };
        context.reportError = [this](const QString& message) {
            errors.append(message);
        };
        sounds = std::make_unique<EventSounds>(context);
    }
    void write(const QString& event, const QByteArray& bytes) const {
        dir.writeFile(QStringLiteral("sounds/") + event + QStringLiteral(".wav"), bytes);
    }
    QStringList playedEvents() const {
        QStringList names;
        for (const RecordingWaveOutput::Played& p : output.played)
            names.append(QString::fromUtf8(p.samples).section(QLatin1Char('.'), 0, 0));
        return names;
    }

    TestProgramDir dir;
    RecordingWaveOutput output;
    int voice = 1;
    bool visible = true;
    QStringList errors;
    std::unique_ptr<EventSounds> sounds;
};

} // namespace

// Which events speak under each voice choice, what a sound file must look like, and how a
// new sound replaces the one playing.
class TestEventSounds : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void voiceTable_data() {
        QTest::addColumn<int>("voice");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<QStringList>("expected");
        const QStringList critical{QStringLiteral("backup_incomplete"), QStringLiteral("backups_incomplete"),
                                   QStringLiteral("dest_noselect"),     QStringLiteral("dest_notfound"),
                                   QStringLiteral("outdated_found"),    QStringLiteral("outdated_deleted")};
        QTest::newRow("off") << 0 << true << QStringList();
        QTest::newRow("on") << 1 << false << allEvents;
        QTest::newRow("none chosen plays as on") << -1 << false << allEvents;
        QTest::newRow("only critical") << 2 << true << critical;
        QTest::newRow("only when visible, shown") << 3 << true << allEvents;
        QTest::newRow("only when visible, hidden") << 3 << false << QStringList();
        QTest::newRow("only when minimized, hidden") << 4 << false << allEvents;
        QTest::newRow("only when minimized, shown") << 4 << true << QStringList();
    }
    void voiceTable() {
        QFETCH(int, voice);
        QFETCH(bool, visible);
        QFETCH(QStringList, expected);
        SoundsFixture f;
        f.voice = voice;
        f.visible = visible;
        QSignalSpy requests(f.sounds.get(), &EventSounds::requested);
        for (const QString& event : allEvents)
            f.sounds->PlayEventSound(event);
        QCOMPARE(f.playedEvents(), expected);
        QCOMPARE(requests.size(), allEvents.size());
        QVERIFY(f.errors.isEmpty());
    }

    void badFilesAreReportedAndPlayNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray valid = WaveBytes().build();
        QTest::newRow("short file") << valid.left(12) << QStringLiteral("Invalid wave file");
        QTest::newRow("wrong magic") << QByteArray(valid).replace(0, 4, "RIFX")
                                     << QStringLiteral("Invalid wave file");
        QTest::newRow("no fmt chunk first")
            << QByteArray(valid).replace(12, 4, "junk") << QStringLiteral("Invalid wave file");
    }
    void badFilesAreReportedAndPlayNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        SoundsFixture f;
        f.sounds->PlayEventSound(QStringLiteral("update"));
        f.write(QStringLiteral("latest"), bytes);

        f.sounds->PlayEventSound(QStringLiteral("latest"));

        QCOMPARE(f.errors.size(), 1);
        QVERIFY2(f.errors.first().startsWith(message), qPrintable(f.errors.first()));
        QVERIFY(f.errors.first().contains(QStringLiteral("latest.wav")));
        // The sound that was playing goes on: a refused file replaces nothing.
        QCOMPARE(f.playedEvents(), QStringList(QStringLiteral("update")));
        QVERIFY(f.output.playing);
        QCOMPARE(f.sounds->loadedBytes(), recordingOf(QStringLiteral("update")));
    }

    // What stands in a recording's place may be no file to read at all: a named pipe nobody
    // writes to, a folder, a recording too large to be one. Each is an invalid wave file, reported
    // at once, and the sound playing goes on.
    void thingsThatAreNoRecordingAreRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << QStringLiteral("pipe");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("wave file over 16 MiB") << QStringLiteral("huge");
    }
    void thingsThatAreNoRecordingAreRefused() {
        QFETCH(QString, kind);
        SoundsFixture f;
        f.sounds->PlayEventSound(QStringLiteral("update"));
        const QString path = f.dir.filePath(QStringLiteral("sounds/latest.wav"));
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(QFile::remove(path));
        std::thread writer;
        if (kind == QLatin1String("pipe")) {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
            // A writer that comes once somebody reads: had the program opened the pipe and waited,
            // it would have been let go with an empty "recording".
            writer = std::thread([native] {
                const int fd = ::open(native.constData(), O_WRONLY | O_CLOEXEC);
                if (fd >= 0)
                    ::close(fd);
            });
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QFile huge(path);
            QVERIFY(huge.open(QIODevice::WriteOnly));
            huge.write(WaveBytes().build());
            QVERIFY(huge.resize(17 * 1024 * 1024));
        }

        f.sounds->PlayEventSound(QStringLiteral("latest"));

        if (writer.joinable()) {
            // Lets the writer go if the program never opened the pipe.
            const int release = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            writer.join();
            if (release >= 0)
                ::close(release);
        }
        QCOMPARE(f.errors.size(), 1);
        QVERIFY2(f.errors.first().startsWith(QStringLiteral("Invalid wave file \"") + path),
                 qPrintable(f.errors.first()));
        QCOMPARE(f.playedEvents(), QStringList(QStringLiteral("update")));
        QVERIFY(f.output.playing);
        QCOMPARE(f.sounds->loadedBytes(), recordingOf(QStringLiteral("update")));
    }

    void missingFileIsReported() {
        SoundsFixture f;
        QFile::remove(f.dir.filePath(QStringLiteral("sounds/outdated_found.wav")));
        f.sounds->PlayEventSound(QStringLiteral("outdated_found"));
        QCOMPARE(f.errors.size(), 1);
        QVERIFY(f.errors.first().startsWith(QStringLiteral("Cannot open file \"") +
                                            f.dir.filePath(QStringLiteral("sounds/outdated_found.wav"))));
        QVERIFY(f.output.played.isEmpty());
        // A filtered event never looks at its file.
        f.voice = 0;
        f.sounds->PlayEventSound(QStringLiteral("outdated_found"));
        QCOMPARE(f.errors.size(), 1);
    }

    void emptyFileStopsTheSoundAndPlaysNothing() {
        SoundsFixture f;
        f.write(QStringLiteral("latest"), QByteArray());
        f.sounds->PlayEventSound(QStringLiteral("update"));
        QVERIFY(f.output.playing);

        f.sounds->PlayEventSound(QStringLiteral("latest"));

        QVERIFY(!f.output.playing);
        QCOMPARE(f.output.played.size(), 1);
        QVERIFY(f.sounds->loadedBytes().isEmpty());
        QVERIFY(f.errors.isEmpty());
    }

    void newSoundInterruptsThePlayingOne() {
        SoundsFixture f;
        f.sounds->PlayEventSound(QStringLiteral("backup_completed"));
        f.output.calls.clear();
        f.sounds->PlayEventSound(QStringLiteral("outdated_found"));
        // Stopped before the bytes it reads are replaced, then the new one starts.
        QCOMPARE(f.output.calls, (QStringList{QStringLiteral("stop"), QStringLiteral("play")}));
        QCOMPARE(f.playedEvents(),
                 (QStringList{QStringLiteral("backup_completed"), QStringLiteral("outdated_found")}));
    }

    void fileIsReadAfreshEachTime() {
        SoundsFixture f;
        f.sounds->PlayEventSound(QStringLiteral("update"));
        f.write(QStringLiteral("update"), recordingOf(QStringLiteral("replaced")));
        f.sounds->PlayEventSound(QStringLiteral("update"));
        QFile::remove(f.dir.filePath(QStringLiteral("sounds/update.wav")));
        f.sounds->PlayEventSound(QStringLiteral("update"));
        QCOMPARE(f.playedEvents(), (QStringList{QStringLiteral("update"), QStringLiteral("replaced")}));
        QCOMPARE(f.errors.size(), 1);
    }

    void silenceWithoutAPlayableOutput_data() {
        QTest::addColumn<int>("devices");
        QTest::addColumn<bool>("formatAccepted");
        QTest::addColumn<QByteArray>("bytes");
        WaveBytes adpcm;
        adpcm.formatTag = 2;
        QTest::newRow("no output device") << 0 << true << WaveBytes().build();
        QTest::newRow("format the output refuses") << 1 << false << WaveBytes().build();
        QTest::newRow("compressed recording") << 1 << true << adpcm.build();
        QTest::newRow("header without data") << 1 << true << WaveBytes().build().left(36);
    }
    void silenceWithoutAPlayableOutput() {
        QFETCH(int, devices);
        QFETCH(bool, formatAccepted);
        QFETCH(QByteArray, bytes);
        SoundsFixture f;
        f.output.devices = devices;
        f.output.acceptsFormat = [formatAccepted](const platform::WaveFormat&) {
            return formatAccepted;
        };
        f.write(QStringLiteral("update"), bytes);
        f.sounds->PlayEventSound(QStringLiteral("update"));
        QVERIFY(f.output.played.isEmpty());
        QVERIFY(!f.output.playing);
        QVERIFY(f.errors.isEmpty());
    }

    void withoutAnOutputItIsSilent() {
        TestProgramDir dir;
        dir.writeFile(QStringLiteral("sounds/update.wav"), recordingOf(QStringLiteral("update")));
        EventSounds::Context context;
        context.soundFolder = dir.filePath(QStringLiteral("sounds"));
        context.voiceChoice = [] {
            return 1;
        };
        context.mainWindowVisible = [] {
            return true;
        };
        EventSounds sounds(context);
        sounds.PlayEventSound(QStringLiteral("update"));
        QCOMPARE(sounds.loadedBytes(), recordingOf(QStringLiteral("update")));
    }
};

QTEST_GUILESS_MAIN(TestEventSounds)
#include "tst_eventsounds.moc"
