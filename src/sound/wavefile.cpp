#include "sound/wavefile.h"

#include <QtEndian>

namespace {

constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;

quint16 le16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 le32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

std::optional<platform::WaveFormat> formatOf(const QByteArray& chunk) {
    if (chunk.size() < 16)
        return std::nullopt;
    quint16 tag = le16(chunk, 0);
    // The extensible form names the real encoding in the first two bytes of its sub-format.
    if (tag == kFormatExtensible && chunk.size() >= 26)
        tag = le16(chunk, 24);
    platform::WaveFormat format;
    if (tag == kFormatPcm)
        format.encoding = platform::WaveFormat::Encoding::Integer;
    else if (tag == kFormatFloat)
        format.encoding = platform::WaveFormat::Encoding::Float;
    else
        return std::nullopt;
    format.channels = le16(chunk, 2);
    const quint32 rate = le32(chunk, 4);
    const quint16 blockAlign = le16(chunk, 12);
    format.bitsPerSample = le16(chunk, 14);
    if (format.channels == 0 || rate == 0 || rate > 1'000'000 || format.bitsPerSample == 0 ||
        format.bitsPerSample % 8 != 0 || blockAlign != format.channels * format.bitsPerSample / 8)
        return std::nullopt;
    format.sampleRate = static_cast<int>(rate);
    return format;
}

} // namespace

bool WaveFile::hasWaveHeader(const QByteArray& bytes) {
    return bytes.size() >= 16 && bytes.startsWith("RIFF") && bytes.mid(8, 8) == "WAVEfmt ";
}

std::optional<WaveFile> WaveFile::parse(const QByteArray& bytes) {
    if (!hasWaveHeader(bytes))
        return std::nullopt;
    std::optional<platform::WaveFormat> format;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = le32(bytes, at + 4);
        const qsizetype body = at + 8;
        const qsizetype available = qMin(size, bytes.size() - body);
        if (id == "fmt ") {
            if (available < size)
                return std::nullopt;
            format = formatOf(bytes.mid(body, size));
            if (!format)
                return std::nullopt;
        } else if (id == "data") {
            if (!format)
                return std::nullopt;
            const qsizetype frame = format->channels * format->bitsPerSample / 8;
            WaveFile wave;
            wave.format = *format;
            wave.samples = bytes.mid(body, available - available % frame);
            return wave;
        }
        // Chunks are padded to an even length.
        at = body + size + (size & 1);
    }
    return std::nullopt;
}
