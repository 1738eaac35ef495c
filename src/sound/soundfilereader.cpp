#include "sound/soundfilereader.h"

#include "platform/readonlyfile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

SoundFileReader::Result SoundFileReader::read(const std::filesystem::path& path) {
    Result result;
    const platform::ReadOnlyFile file(path);
    if (!file.isOpen()) {
        result.error = systemError();
        return result;
    }
    // What was opened decides, not what the name pointed at a moment before.
    struct stat info {};
    if (::fstat(file.descriptor(), &info) != 0) {
        result.status = Status::CannotRead;
        result.error = systemError();
        return result;
    }
    if (!S_ISREG(info.st_mode) || info.st_size > maxBytes) {
        result.status = Status::NotARecording;
        return result;
    }
    result.bytes.resize(qsizetype(info.st_size));
    qsizetype done = 0;
    while (done < result.bytes.size()) {
        const auto n =
            ::read(file.descriptor(), result.bytes.data() + done, std::size_t(result.bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = Status::CannotRead;
            result.error = systemError();
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break; // shortened meanwhile: what is there is the file
        done += n;
    }
    result.bytes.truncate(done);
    result.status = Status::Ok;
    return result;
}
