#include "sound/soundfilereader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_NONBLOCK
#define O_NONBLOCK 0 // no named pipes in the file system there
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

namespace {

class OpenFile {
public:
    explicit OpenFile(int fd)
        : m_fd(fd) {}
    ~OpenFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

SoundFileReader::Result SoundFileReader::read(const std::filesystem::path& path) {
    Result result;
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may never come.
    const OpenFile file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        result.error = systemError();
        return result;
    }
    // What was opened decides, not what the name pointed at a moment before.
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
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
            ::read(file.get(), result.bytes.data() + done, std::size_t(result.bytes.size() - done));
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
