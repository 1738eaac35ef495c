#include "sound/wavefile.h"
#include "wavebytes.h"

#include <QTest>

using platform::WaveFormat;

Q_DECLARE_METATYPE(WaveFormat)

// What the parser makes of the bytes of a wave file: the header check, the formats it hands
// to the output, and damaged files it refuses.
class TestWaveFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void header_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        const QByteArray valid = WaveBytes().build();
        QTest::newRow("a recording") << valid << true;
        QTest::newRow("exactly the 16 header bytes") << valid.left(16) << true;
        QTest::newRow("15 bytes") << valid.left(15) << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("RIFX") << QByteArray(valid).replace(0, 4, "RIFX") << false;
        QTest::newRow("AVI instead of WAVE") << QByteArray(valid).replace(8, 4, "AVI ") << false;
        QTest::newRow("another chunk first") << QByteArray(valid).replace(12, 4, "LIST") << false;
        QTest::newRow("lower-case fmt") << QByteArray(valid).replace(12, 4, "FMT ") << false;
        QTest::newRow("text") << QByteArray("this is not a sound at all") << false;
    }
    void header() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        QCOMPARE(WaveFile::hasWaveHeader(bytes), accepted);
    }

    void formats_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<WaveFormat>("format");
        using E = WaveFormat::Encoding;
        WaveBytes mono8;
        mono8.bitsPerSample = 8;
        mono8.sampleRate = 11025;
        QTest::newRow("8-bit mono") << mono8.build() << WaveFormat{E::Integer, 11025, 1, 8};
        WaveBytes stereo16;
        stereo16.channels = 2;
        stereo16.sampleRate = 44100;
        QTest::newRow("16-bit stereo") << stereo16.build() << WaveFormat{E::Integer, 44100, 2, 16};
        WaveBytes float32;
        float32.formatTag = 3;
        float32.bitsPerSample = 32;
        float32.sampleRate = 48000;
        QTest::newRow("32-bit float") << float32.build() << WaveFormat{E::Float, 48000, 1, 32};
        WaveBytes pcm24;
        pcm24.bitsPerSample = 24;
        pcm24.samples = QByteArray(300, '\x01');
        QTest::newRow("24-bit, the output decides") << pcm24.build() << WaveFormat{E::Integer, 8000, 1, 24};
    }
    void formats() {
        QFETCH(QByteArray, bytes);
        QFETCH(WaveFormat, format);
        const std::optional<WaveFile> wave = WaveFile::parse(bytes);
        QVERIFY(wave);
        QVERIFY(wave->format == format);
        QCOMPARE(wave->samples.size(), bytes.size() - 44);
    }

    void extensibleFormatNamesItsEncoding() {
        // The extensible "fmt " chunk: 40 bytes, the encoding in its sub-format.
        QByteArray fmt;
        WaveBytes::put16(fmt, 0xFFFE);
        WaveBytes::put16(fmt, 2);
        WaveBytes::put32(fmt, 22050);
        WaveBytes::put32(fmt, 22050 * 8);
        WaveBytes::put16(fmt, 8);
        WaveBytes::put16(fmt, 32);
        WaveBytes::put16(fmt, 22);
        WaveBytes::put16(fmt, 32);
        WaveBytes::put32(fmt, 3);
        WaveBytes::put16(fmt, 3); // floating point
        fmt += QByteArray(14, '\x01');
        const QByteArray body =
            "WAVE" + WaveBytes::chunk("fmt ", fmt) + WaveBytes::chunk("data", QByteArray(64, 0));
        QByteArray bytes = "RIFF";
        WaveBytes::put32(bytes, static_cast<quint32>(body.size()));
        bytes += body;

        const std::optional<WaveFile> wave = WaveFile::parse(bytes);
        QVERIFY(wave);
        QVERIFY((wave->format == WaveFormat{WaveFormat::Encoding::Float, 22050, 2, 32}));
        QCOMPARE(wave->samples.size(), 64);
    }

    void chunksAreWalked() {
        // An odd-sized chunk before the data is padded; the samples are found behind it.
        WaveBytes wave;
        wave.extraChunkId = "LIST";
        wave.extraChunkBody = "INFOabc";
        wave.samples = QByteArray("\x01\x02\x03\x04", 4);
        const std::optional<WaveFile> parsed = WaveFile::parse(wave.build());
        QVERIFY(parsed);
        QCOMPARE(parsed->samples, QByteArray("\x01\x02\x03\x04", 4));
    }

    void dataCutShortKeepsWholeFrames() {
        WaveBytes stereo;
        stereo.channels = 2;
        stereo.samples = QByteArray(400, '\x05');
        // Cut inside the last frame (4 bytes a frame): the part-frame is left out.
        const std::optional<WaveFile> parsed = WaveFile::parse(stereo.build().chopped(3));
        QVERIFY(parsed);
        QCOMPARE(parsed->samples.size(), 396);
    }

    void refused_data() {
        QTest::addColumn<QByteArray>("bytes");
        WaveBytes adpcm;
        adpcm.formatTag = 2;
        QTest::newRow("compressed (ADPCM)") << adpcm.build();
        WaveBytes noChannels;
        noChannels.channels = 0;
        QTest::newRow("no channels") << noChannels.build();
        WaveBytes oddBits;
        oddBits.bitsPerSample = 12;
        QTest::newRow("12-bit samples") << oddBits.build();
        const QByteArray valid = WaveBytes().build();
        QTest::newRow("header only") << valid.left(16);
        QTest::newRow("fmt chunk cut short") << valid.left(30);
        QTest::newRow("no data chunk") << valid.left(36);
        QByteArray dataFirst = "RIFF";
        WaveBytes::put32(dataFirst, 0);
        dataFirst += "WAVEfmt ";
        WaveBytes::put32(dataFirst, 4);
        dataFirst += "abcd";
        QTest::newRow("fmt chunk too small") << dataFirst;
        QByteArray hugeChunk = valid.left(12) + "fmt ";
        WaveBytes::put32(hugeChunk, 0xFFFFFFF0u);
        hugeChunk += QByteArray(40, '\x01');
        QTest::newRow("chunk larger than the file") << hugeChunk;
    }
    void refused() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!WaveFile::parse(bytes));
    }
};

QTEST_GUILESS_MAIN(TestWaveFile)
#include "tst_wavefile.moc"
