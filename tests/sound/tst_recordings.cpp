#include "eventnames.h"
#include "sound/wavefile.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The recordings the program ships: one per event, playable, long enough to be heard, and
// laid out beside the built program.
class TestRecordings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyEventHasAPlayableRecording_data() {
        QTest::addColumn<QString>("event");
        for (const QString& event : allEvents)
            QTest::newRow(qPrintable(event)) << event;
    }
    void everyEventHasAPlayableRecording() {
        QFETCH(QString, event);
        const QString name = QStringLiteral("sounds/") + event + QStringLiteral(".wav");
        const QByteArray committed = contentOf(
            QDir(qEnvironmentVariable("QUORALIS_SOURCE_DIR")).filePath(QStringLiteral("resources/") + name));
        QVERIFY2(!committed.isEmpty(), qPrintable(name));
        QCOMPARE(contentOf(QDir(qEnvironmentVariable("QUORALIS_PROGRAM_DIR")).filePath(name)), committed);

        const std::optional<WaveFile> wave = WaveFile::parse(committed);
        QVERIFY(wave);
        const auto& format = wave->format;
        QCOMPARE(format.encoding, platform::WaveFormat::Encoding::Integer);
        QVERIFY(format.bitsPerSample == 8 || format.bitsPerSample == 16);
        const double seconds = double(wave->samples.size()) /
                               (double(format.sampleRate) * format.channels * format.bitsPerSample / 8);
        QVERIFY2(seconds >= 0.3, qPrintable(QString::number(seconds)));
        QVERIFY2(seconds <= 5.0, qPrintable(QString::number(seconds)));
    }

    void noOtherFilesInTheSoundFolder() {
        const QDir sounds(
            QDir(qEnvironmentVariable("QUORALIS_SOURCE_DIR")).filePath(QStringLiteral("resources/sounds")));
        QStringList expected;
        for (const QString& event : allEvents)
            expected.append(event + QStringLiteral(".wav"));
        expected.sort();
        QCOMPARE(sounds.entryList(QDir::Files, QDir::Name), expected);
    }
};

QTEST_GUILESS_MAIN(TestRecordings)
#include "tst_recordings.moc"
