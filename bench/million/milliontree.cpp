// Makes a tree of many one-byte files, `folders` folders of `files` files each, all with the same
// modification time, so that two trees made with the same arguments archive alike.
// Usage: milliontree <root> [folders=1000] [files=1000]
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool writeFile(const std::string& path, char content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, &content, 1) == 1;
    const timespec times[2] = {{1767225600, 0}, {1767225600, 0}}; // 2026-01-01
    ::futimens(fd, times);
    return ::close(fd) == 0 && written;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <root> [folders] [files]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const long folders = argc > 2 ? std::atol(argv[2]) : 1000;
    const long files = argc > 3 ? std::atol(argv[3]) : 1000;
    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(root.c_str());
        return 1;
    }
    for (long f = 0; f < folders; ++f) {
        char folder[64];
        std::snprintf(folder, sizeof folder, "/folder%04ld", f);
        const std::string dir = root + folder;
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            std::perror(dir.c_str());
            return 1;
        }
        for (long i = 0; i < files; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "/file%06ld.txt", i);
            if (!writeFile(dir + name, char('a' + (f + i) % 26))) {
                std::perror((dir + name).c_str());
                return 1;
            }
        }
    }
    return 0;
}
