#pragma once

#include <QByteArray>
#include <QtEndian>

// Builds the bytes of a wave file for tests.
struct WaveBytes {
    quint16 formatTag = 1;
    quint16 channels = 1;
    quint32 sampleRate = 8000;
    quint16 bitsPerSample = 16;
    QByteArray samples = QByteArray(1600, '\x10');
    // A chunk written between "fmt " and "data" (id and body), for example "LIST".
    QByteArray extraChunkId;
    QByteArray extraChunkBody;

    QByteArray build() const {
        QByteArray fmt;
        put16(fmt, formatTag);
        put16(fmt, channels);
        put32(fmt, sampleRate);
        const quint16 blockAlign = static_cast<quint16>(channels * bitsPerSample / 8);
        put32(fmt, sampleRate * blockAlign);
        put16(fmt, blockAlign);
        put16(fmt, bitsPerSample);
        QByteArray body = "WAVE" + chunk("fmt ", fmt);
        if (!extraChunkId.isEmpty())
            body += chunk(extraChunkId, extraChunkBody);
        body += chunk("data", samples);
        QByteArray file = "RIFF";
        put32(file, static_cast<quint32>(body.size()));
        return file + body;
    }

    static QByteArray chunk(const QByteArray& id, const QByteArray& body) {
        QByteArray out = id;
        put32(out, static_cast<quint32>(body.size()));
        out += body;
        if (body.size() % 2)
            out += '\0';
        return out;
    }
    static void put16(QByteArray& out, quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    }
    static void put32(QByteArray& out, quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    }
};
