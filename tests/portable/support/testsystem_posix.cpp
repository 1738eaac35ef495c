#include "testsystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace testsystem {

std::string longPathForm(const std::string& path) {
    return path;
}

// A name starting with "." is what hides a file here.
void markHidden(const std::string&) {}

bool writeFile(const std::string& path, const std::string& content) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    return bool(out.flush());
}

bool forEachPiece(const std::string& path,
                  const std::function<void(const char* data, std::size_t size)>& use) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<char> buffer(4 << 20);
    while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0)
        use(buffer.data(), std::size_t(in.gcount()));
    return in.eof();
}

bool readFile(const std::string& path, std::string& content) {
    content.clear();
    return forEachPiece(path, [&](const char* data, std::size_t size) { content.append(data, size); });
}

bool modificationTime(const std::string& path, std::int64_t& ns) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    ns = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool setModificationTime(const std::string& path, std::int64_t ns) {
    const timespec time{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    const timespec times[2] = {time, time};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool removeTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec;
}

bool openFilesMayBlockReplacing() {
    return false;
}

HeldFile::HeldFile(const std::string& path)
    : m_handle(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

HeldFile::~HeldFile() {
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

bool HeldFile::isOpen() const {
    return m_handle >= 0;
}

} // namespace testsystem
