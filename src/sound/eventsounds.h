#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

namespace platform {
class WaveOutput;
}

// The spoken alerts: each event plays "<event name>.wav" from the sound folder, read afresh
// every time, when the voice setting allows it. Holds the bytes of the last recording loaded
// while it plays. A missing or damaged file is reported as an error, never thrown at the
// operation that asked for the sound.
class EventSounds : public QObject {
    Q_OBJECT
public:
    struct Context {
        QString soundFolder;
        platform::WaveOutput* output = nullptr; // none: silence
        std::function<int()> voiceChoice;
        std::function<bool()> mainWindowVisible;
        std::function<void(const QString& message)> reportError;
    };

    explicit EventSounds(Context context, QObject* parent = nullptr);

    // Returns at once; the sound plays on in the background.
    void PlayEventSound(const QString& eventName);

    const QByteArray& loadedBytes() const { return m_loaded; }

Q_SIGNALS:
    // Every request, before the voice setting decides.
    void requested(const QString& eventName);

private:
    // Throws std::runtime_error for a file that cannot be read or is no wave file.
    void load(const QString& fileName);
    void play();

    Context m_c;
    QByteArray m_loaded;
};
