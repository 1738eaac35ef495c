#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// A folder of files made for one test and removed with it. Names are given as UTF-8 with "/"
// between folders, whatever the system; contents are bytes.
class TestTree {
public:
    // A new empty folder under the system's temporary folder, its name starting with `label`.
    explicit TestTree(std::string_view label);
    ~TestTree();
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    const std::filesystem::path& root() const { return m_root; }
    // The path of a name below the root.
    std::filesystem::path path(std::string_view utf8Name) const;
    // The root's path as UTF-8 bytes, as the engine's C interface takes paths.
    static std::string utf8(const std::filesystem::path& path);

    // Writes a file (its folders made first) and returns its path.
    std::filesystem::path write(std::string_view utf8Name, std::string_view content);
    // A file of `size` bytes that holds no data on the disk where the system allows it.
    std::filesystem::path writeSparse(std::string_view utf8Name, std::uint64_t size);
    std::filesystem::path makeFolder(std::string_view utf8Name);

    // Reads a whole file; an empty string when it cannot be read.
    static std::string read(const std::filesystem::path& file);

private:
    std::filesystem::path m_root;
};
