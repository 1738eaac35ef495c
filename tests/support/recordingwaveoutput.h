#pragma once

#include "platform/waveoutput.h"

#include <QList>
#include <QStringList>

#include <functional>

// A wave output that records what it is asked to play. Like a real device it accepts or
// refuses a format (all formats unless told otherwise) and plays nothing without devices.
class RecordingWaveOutput : public platform::WaveOutput {
public:
    struct Played {
        platform::WaveFormat format;
        QByteArray samples;
    };

    int deviceCount() const override { return devices; }
    bool play(const platform::WaveFormat& format, const QByteArray& samples) override {
        calls.append(QStringLiteral("play"));
        if (devices < 1 || !acceptsFormat(format))
            return false;
        played.append({format, samples});
        playing = true;
        return true;
    }
    void stop() override {
        calls.append(QStringLiteral("stop"));
        playing = false;
    }

    int devices = 1;
    std::function<bool(const platform::WaveFormat&)> acceptsFormat = [](const platform::WaveFormat&) {
        return true;
    };
    QList<Played> played;
    QStringList calls;
    bool playing = false;
};
