#pragma once

#include <QByteArray>
#include <QString>

#include <filesystem>

// Reads a sound file whole without ever waiting on it: only a regular file of at most
// maxBytes is read. A named pipe, a device or a folder put in a recording's place is
// opened without blocking and refused, so it cannot hold the program.
class SoundFileReader {
public:
    static constexpr qint64 maxBytes = 16 * 1024 * 1024;

    enum class Status { Ok, CannotOpen, NotARecording, CannotRead };
    struct Result {
        Status status = Status::CannotOpen;
        QByteArray bytes;
        // The system's reason when the file could not be opened or read.
        QString error;
    };

    static Result read(const std::filesystem::path& path);
};
