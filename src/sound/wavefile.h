#pragma once

#include "platform/waveoutput.h"

#include <QByteArray>

#include <optional>

// A RIFF WAVE recording held in memory: the format of its "fmt " chunk and the samples of
// its "data" chunk.
class WaveFile {
public:
    // Whether the bytes begin as a wave file does: "RIFF", a 4-byte size, "WAVE", "fmt ".
    static bool hasWaveHeader(const QByteArray& bytes);
    // The recording, or nothing when its chunks are damaged or it is not PCM (integer or
    // floating point). A data chunk cut short keeps the whole sample frames it has.
    static std::optional<WaveFile> parse(const QByteArray& bytes);

    platform::WaveFormat format;
    QByteArray samples;
};
