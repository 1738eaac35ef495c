#include "engineplatform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace engineplatform {

const char* const kPathSeparators = "/";

std::size_t rootLength(std::string_view path) {
    const std::size_t first = path.find_first_not_of('/');
    return first == std::string_view::npos ? path.size() : first;
}

namespace {

void fillStatus(const struct stat& from, FileStatus& st) {
    st.mode = from.st_mode;
    st.size = static_cast<std::uint64_t>(from.st_size);
    st.mtime = from.st_mtim;
    st.device = static_cast<std::uint64_t>(from.st_dev);
    st.inode = static_cast<std::uint64_t>(from.st_ino);
}

} // namespace

std::int64_t readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    return ::pread(fd, buffer, size, static_cast<off_t>(offset));
}

std::int64_t writeAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset) {
    return ::pwrite(fd, buffer, size, static_cast<off_t>(offset));
}

std::int64_t writeSome(int fd, const void* buffer, std::size_t size) {
    return ::write(fd, buffer, size);
}

int closeFile(int fd) {
    return ::close(fd);
}

bool syncFile(int fd) {
    return ::fsync(fd) == 0;
}

void startWriteback(int fd, std::uint64_t offset, std::uint64_t length) {
    ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
}

bool truncateFile(int fd, std::uint64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
           ::lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}

std::int64_t copyRange(int from, std::uint64_t& offset, int to, std::size_t size) {
    loff_t in = static_cast<loff_t>(offset);
    const ssize_t n = ::copy_file_range(from, &in, to, nullptr, size, 0);
    if (n > 0)
        offset = static_cast<std::uint64_t>(in);
    return n;
}

void setFileMode(int fd, std::uint32_t mode) {
    ::fchmod(fd, static_cast<mode_t>(mode));
}

void setFileTimes(int fd, const timespec& mtime, bool accessToo) {
    const struct timespec times[2] = {accessToo ? mtime : timespec{0, UTIME_OMIT}, mtime};
    ::futimens(fd, times);
}

void copyPermissions(int fd, const char* path) {
    struct stat previous {};
    if (::stat(path, &previous) != 0)
        return;
    ::fchmod(fd, previous.st_mode & 07777);
    if (::fchown(fd, previous.st_uid, previous.st_gid) != 0) {
        // Another owner is kept only where we may set it; the permissions above still apply.
    }
}

bool linkedPath(const std::string& path, std::string& next) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return false;
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return false;
    const std::string link(buffer.data(), static_cast<std::size_t>(n));
    if (link.front() == '/') {
        next = link;
    } else {
        const std::size_t slash = path.rfind('/');
        next = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + link;
    }
    return true;
}

std::uint32_t fileCreationMask() {
    // Read from the process's status: setting the mask to learn it would race with other threads
    // creating files.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<std::uint32_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

int openForReading(const char* path) {
    return ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

int linkStatus(const char* path, FileStatus& st) {
    struct stat status {};
    if (::lstat(path, &status) != 0)
        return -1;
    fillStatus(status, st);
    return 0;
}

int fileStatus(const char* path, FileStatus& st) {
    struct stat status {};
    if (::stat(path, &status) != 0)
        return -1;
    fillStatus(status, st);
    return 0;
}

int openFileStatus(int fd, FileStatus& st) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return -1;
    fillStatus(status, st);
    return 0;
}

bool isHidden(const char* path) {
    // The name's first byte, looked at where it is: a copy of every path would cost more than the
    // look itself.
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    return *name == '.';
}

bool renameFile(const char* from, const char* to) {
    return ::rename(from, to) == 0;
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

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string programFile() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

} // namespace engineplatform
