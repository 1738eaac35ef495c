#include "engineplatform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace engineplatform {

const char* const kPathSeparators = "/";

std::int64_t readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    return ::pread(fd, buffer, size, static_cast<off_t>(offset));
}

std::int64_t writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset) {
    return ::pwrite(fd, buffer, size, static_cast<off_t>(offset));
}

int openForReading(const char* path) {
    return ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

int openUnnamedTemporary(const char* folder, int mode) {
    return ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
}

int linkStatus(const char* path, struct stat& st) {
    return ::lstat(path, &st);
}

int fileStatus(const char* path, struct stat& st) {
    return ::stat(path, &st);
}

timespec modificationTime(const struct stat& st) {
    return st.st_mtim;
}

bool localTime(std::time_t t, std::tm& local) {
    return localtime_r(&t, &local) != nullptr;
}

std::string moduleFileOf(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    return info.dli_fname;
}

std::string programFile() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

} // namespace engineplatform
