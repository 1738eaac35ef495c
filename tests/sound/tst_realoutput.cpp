#include "platform/waveoutputaudiosink.h"
#include "sound/wavefile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// One recording through the real output path, to a private sound server with a sink that
// plays into nothing. Skipped where no such server can be started.
class TestRealOutput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        const QString server = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (server.isEmpty())
            QSKIP("no sound server installed");
        QVERIFY(m_runtime.isValid());
        QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString socket = m_runtime.filePath(QStringLiteral("native"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_runtime.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(server,
                       {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disable-shm=yes"),
                        QStringLiteral("--use-pid-file=no"), QStringLiteral("-L"),
                        QStringLiteral("module-null-sink sink_name=quiet"), QStringLiteral("-L"),
                        QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket});
        if (!m_server.waitForStarted())
            QSKIP("the sound server does not start");
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i) {
            if (m_server.state() == QProcess::NotRunning)
                break;
            QTest::qWait(100);
        }
        if (!QFile::exists(socket))
            QSKIP(qPrintable(QStringLiteral("the sound server did not come up: ") +
                             QString::fromLocal8Bit(m_server.readAll())));
        // Before the first use of the audio devices: they connect to this server.
        qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
    }

    void cleanupTestCase() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
        }
    }

    void recordingPlaysFromStartToEnd() {
        QFile file(
            QDir(qEnvironmentVariable("QUORALIS_PROGRAM_DIR")).filePath(QStringLiteral("sounds/latest.wav")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const std::optional<WaveFile> wave = WaveFile::parse(file.readAll());
        QVERIFY(wave);

        platform::WaveOutputAudioSink output;
        QCOMPARE(output.deviceCount(), 1);
        QSignalSpy ended(&output, &platform::WaveOutputAudioSink::playedToEnd);
        QVERIFY(output.play(wave->format, wave->samples));
        // Several times the recording's length; the sink of the server plays in real time.
        QVERIFY(ended.wait(30000));
    }

    void secondSoundInterruptsTheFirst() {
        QFile first(QDir(qEnvironmentVariable("QUORALIS_PROGRAM_DIR"))
                        .filePath(QStringLiteral("sounds/dest_noselect.wav")));
        QFile second(
            QDir(qEnvironmentVariable("QUORALIS_PROGRAM_DIR")).filePath(QStringLiteral("sounds/update.wav")));
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        const std::optional<WaveFile> long1 = WaveFile::parse(first.readAll());
        const std::optional<WaveFile> short2 = WaveFile::parse(second.readAll());
        QVERIFY(long1 && short2);
        // A 16-bit stereo copy of the second sound: the sink is made anew for the new format.
        QByteArray stereo;
        for (qsizetype i = 0; i + 1 < short2->samples.size(); i += 2)
            stereo += short2->samples.mid(i, 2) + short2->samples.mid(i, 2);
        platform::WaveFormat stereoFormat = short2->format;
        stereoFormat.channels = 2;

        platform::WaveOutputAudioSink output;
        QSignalSpy ended(&output, &platform::WaveOutputAudioSink::playedToEnd);
        QVERIFY(output.play(long1->format, long1->samples));
        QVERIFY(output.play(stereoFormat, stereo));
        QVERIFY(ended.wait(30000));
        // Only the second one ends; the first was cut off and reports nothing.
        QTest::qWait(500);
        QCOMPARE(ended.size(), 1);
    }

    void formatsTheDeviceRefusesAreSilence() {
        platform::WaveOutputAudioSink output;
        const platform::WaveFormat pcm24{platform::WaveFormat::Encoding::Integer, 8000, 1, 24};
        QVERIFY(!output.play(pcm24, QByteArray(300, '\x01')));
        const platform::WaveFormat float16{platform::WaveFormat::Encoding::Float, 8000, 1, 16};
        QVERIFY(!output.play(float16, QByteArray(300, '\x01')));
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_server;
};

QTEST_GUILESS_MAIN(TestRealOutput)
#include "tst_realoutput.moc"
