#include "platform/waveoutputaudiosink.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace platform {

namespace {

QAudioFormat::SampleFormat sampleFormatOf(const WaveFormat& format) {
    if (format.encoding == WaveFormat::Encoding::Float)
        return format.bitsPerSample == 32 ? QAudioFormat::Float : QAudioFormat::Unknown;
    switch (format.bitsPerSample) {
    case 8:
        return QAudioFormat::UInt8;
    case 16:
        return QAudioFormat::Int16;
    case 32:
        return QAudioFormat::Int32;
    default:
        return QAudioFormat::Unknown;
    }
}

} // namespace

std::unique_ptr<WaveOutput> WaveOutput::createSystemOutput() {
    return std::make_unique<WaveOutputAudioSink>();
}

WaveOutputAudioSink::WaveOutputAudioSink(QObject* parent)
    : QObject(parent) {}

WaveOutputAudioSink::~WaveOutputAudioSink() {
    stop();
}

int WaveOutputAudioSink::deviceCount() const {
    return static_cast<int>(QMediaDevices::audioOutputs().size());
}

bool WaveOutputAudioSink::play(const WaveFormat& format, const QByteArray& samples) {
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat audioFormat;
    audioFormat.setSampleRate(format.sampleRate);
    audioFormat.setChannelCount(format.channels);
    audioFormat.setSampleFormat(sampleFormatOf(format));
    if (device.isNull() || audioFormat.sampleFormat() == QAudioFormat::Unknown || !audioFormat.isValid() ||
        !device.isFormatSupported(audioFormat))
        return false;

    m_samples = samples;
    m_buffer.setBuffer(&m_samples);
    if (!m_buffer.open(QIODevice::ReadOnly))
        return false;
    m_sink = std::make_unique<QAudioSink>(device, audioFormat);
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &WaveOutputAudioSink::sinkStateChanged);
    m_sink->start(&m_buffer);
    if (m_sink->error() != QAudio::NoError) {
        stop();
        return false;
    }
    return true;
}

void WaveOutputAudioSink::stop() {
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink.reset();
    }
    m_buffer.close();
}

void WaveOutputAudioSink::sinkStateChanged() {
    // Idle with samples left is an underrun; the sink goes on when it can.
    if (m_sink->state() == QAudio::IdleState && m_buffer.atEnd()) {
        m_sink->stop();
        Q_EMIT playedToEnd();
    } else if (m_sink->error() != QAudio::NoError && m_sink->state() == QAudio::StoppedState) {
        m_buffer.close();
    }
}

} // namespace platform
