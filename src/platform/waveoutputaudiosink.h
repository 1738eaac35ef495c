#pragma once

#include "platform/waveoutput.h"

#include <QBuffer>
#include <QObject>

#include <memory>

class QAudioSink;

namespace platform {

// Wave output through the session's default audio device. Owns the sink that plays and the
// copy of the samples it reads from.
class WaveOutputAudioSink : public QObject, public WaveOutput {
    Q_OBJECT
public:
    explicit WaveOutputAudioSink(QObject* parent = nullptr);
    ~WaveOutputAudioSink() override;

    int deviceCount() const override;
    bool play(const WaveFormat& format, const QByteArray& samples) override;
    void stop() override;

Q_SIGNALS:
    // The device has played every sample of the current sound.
    void playedToEnd();

private:
    void sinkStateChanged();

    std::unique_ptr<QAudioSink> m_sink;
    QByteArray m_samples;
    QBuffer m_buffer;
};

} // namespace platform
