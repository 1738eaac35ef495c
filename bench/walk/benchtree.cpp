#include "benchtree.h"

#include <fcntl.h>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace {
constexpr int kTop = 50;
constexpr int kMiddle = 20;
constexpr int kFiles = 100; // per leaf folder: 50 * 20 * 100 = 100,000 files

void writeFile(const std::filesystem::path& path, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const std::string content(size, 'q');
    if (::write(fd, content.data(), content.size()) < 0)
        ::perror("write");
    ::close(fd);
}

void sparseFile(const std::filesystem::path& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0 && ::ftruncate(fd, size) != 0)
        ::perror("ftruncate");
    if (fd >= 0)
        ::close(fd);
}
} // namespace

std::filesystem::path BenchTree::ensure(const std::filesystem::path& base) {
    const auto tree = base / "tree";
    const auto done = base / "complete";
    if (std::filesystem::exists(done))
        return tree;
    std::filesystem::remove_all(tree);
    std::mt19937 random(2005);
    std::uniform_int_distribution<std::size_t> size(1, 4000);
    for (int top = 0; top < kTop; ++top)
        for (int middle = 0; middle < kMiddle; ++middle) {
            const auto folder = tree / ("project" + std::to_string(top)) / ("part" + std::to_string(middle));
            std::filesystem::create_directories(folder);
            for (int file = 0; file < kFiles; ++file)
                writeFile(folder / ("file" + std::to_string(file) + ".dat"), size(random));
        }
    sparseFile(tree / "large-1.img", off_t(1) << 30);
    sparseFile(tree / "large-2.img", (off_t(9) << 29) + 17);
    sparseFile(tree / "project7" / "large-3.iso", off_t(700) << 20);
    std::ofstream(done) << "ok\n";
    return tree;
}
