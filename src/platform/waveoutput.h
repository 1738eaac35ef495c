#pragma once

#include <QByteArray>

#include <memory>

namespace platform {

// The layout of the samples of a PCM recording.
struct WaveFormat {
    enum class Encoding { Integer, Float };
    Encoding encoding = Encoding::Integer;
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;

    bool operator==(const WaveFormat&) const = default;
};

// The system's sound output for short recordings played from memory. play() returns at
// once and the sound goes on in the background; a new play() or stop() ends the sound
// that is playing.
class WaveOutput {
public:
    virtual ~WaveOutput() = default;

    // The number of sound output devices the system offers now.
    virtual int deviceCount() const = 0;
    // Starts the samples; false, and silence, when the output cannot play this format.
    virtual bool play(const WaveFormat& format, const QByteArray& samples) = 0;
    virtual void stop() = 0;

    // The output of the desktop session.
    static std::unique_ptr<WaveOutput> createSystemOutput();
};

} // namespace platform
