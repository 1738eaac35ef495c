#include "sound/eventsounds.h"

#include "log/pathtext.h"
#include "platform/waveoutput.h"
#include "sound/soundfilereader.h"
#include "sound/voicechoice.h"
#include "sound/wavefile.h"

#include <QDir>

#include <stdexcept>

EventSounds::EventSounds(Context context, QObject* parent)
    : QObject(parent)
    , m_c(std::move(context)) {}

void EventSounds::PlayEventSound(const QString& eventName) {
    Q_EMIT requested(eventName);
    if (!VoiceChoice::allows(m_c.voiceChoice(), eventName, m_c.mainWindowVisible()))
        return;
    try {
        load(QDir(m_c.soundFolder).filePath(eventName + QStringLiteral(".wav")));
        play();
    } catch (const std::exception& error) {
        if (m_c.reportError)
            m_c.reportError(QString::fromUtf8(error.what()));
    }
}

void EventSounds::load(const QString& fileName) {
    const SoundFileReader::Result file = SoundFileReader::read(pathFromText(fileName));
    using Status = SoundFileReader::Status;
    if (file.status == Status::CannotOpen)
        throw std::runtime_error(("Cannot open file \"" + fileName + "\". " + file.error).toStdString());
    if (file.status == Status::CannotRead)
        throw std::runtime_error(("Cannot read file \"" + fileName + "\". " + file.error).toStdString());
    const QByteArray& bytes = file.bytes;
    if (file.status == Status::NotARecording || (!bytes.isEmpty() && !WaveFile::hasWaveHeader(bytes)))
        throw std::runtime_error(("Invalid wave file \"" + fileName + "\"").toStdString());
    // The playing sound reads the old bytes: it ends before they go.
    if (m_c.output)
        m_c.output->stop();
    m_loaded = bytes;
}

void EventSounds::play() {
    if (m_loaded.isEmpty() || !m_c.output || m_c.output->deviceCount() < 1)
        return;
    // A recording the output cannot play stays silent, as the system's own player does.
    if (const std::optional<WaveFile> wave = WaveFile::parse(m_loaded))
        m_c.output->play(wave->format, wave->samples);
}
