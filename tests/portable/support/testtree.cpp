#include "testtree.h"

#include "testsystem.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {
fs::path fromUtf8(std::string_view text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}
} // namespace

TestTree::TestTree(std::string_view label) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_root = fs::temp_directory_path() /
             fromUtf8(std::string(label) + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(m_root);
}

TestTree::~TestTree() {
    testsystem::removeTree(utf8(m_root));
}

fs::path TestTree::path(std::string_view utf8Name) const {
    return (m_root / fromUtf8(utf8Name)).make_preferred();
}

std::string TestTree::utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path TestTree::write(std::string_view utf8Name, std::string_view content) {
    const fs::path file = path(utf8Name);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    return file;
}

fs::path TestTree::writeSparse(std::string_view utf8Name, std::uint64_t size) {
    const fs::path file = write(utf8Name, {});
    fs::resize_file(file, size);
    return file;
}

fs::path TestTree::makeFolder(std::string_view utf8Name) {
    const fs::path folder = path(utf8Name);
    fs::create_directories(folder);
    return folder;
}

std::string TestTree::read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
