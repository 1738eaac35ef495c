#include "treemaker.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace treemaker {

bool makeFolder(const std::filesystem::path& path) {
    return ::mkdir(path.c_str(), 0700) == 0;
}

bool makeFile(const std::filesystem::path& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool sized = ::ftruncate(fd, off_t(size)) == 0;
    return ::close(fd) == 0 && sized;
}

bool setModified(const std::filesystem::path& path, std::int64_t unixNs) {
    constexpr std::int64_t billion = 1000000000;
    std::int64_t seconds = unixNs / billion;
    std::int64_t rest = unixNs % billion;
    if (rest < 0) {
        rest += billion;
        --seconds;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), long(rest)}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool setHiddenAttribute(const std::filesystem::path&) {
    return true;
}

bool setEnvironment(const char* name, const std::string& value) {
    return ::setenv(name, value.c_str(), 1) == 0;
}

const char* systemName() {
    return "linux";
}

bool underWine() {
    return false;
}

} // namespace treemaker
