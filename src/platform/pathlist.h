#pragma once

#include "platform/pathbytes.h"

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// An ordered list of file paths kept as their NUL-terminated bytes in large blocks. A backup
// of a million files holds its list once: it costs the paths' bytes plus eight bytes each,
// where a vector of std::filesystem::path costs several hundred bytes a path, and growing
// it never copies the paths.
class PathList {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::filesystem::path;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::filesystem::path;

        const_iterator(const PathList* list, std::size_t index)
            : m_list(list)
            , m_index(index) {}
        std::filesystem::path operator*() const { return m_list->path(m_index); }
        const_iterator& operator++() {
            ++m_index;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }

    private:
        const PathList* m_list;
        std::size_t m_index;
    };

    PathList() = default;
    PathList(std::initializer_list<std::filesystem::path> paths);
    explicit PathList(const std::vector<std::filesystem::path>& paths);
    PathList(const PathList& other);
    PathList& operator=(const PathList& other);
    PathList(PathList&&) noexcept = default;
    PathList& operator=(PathList&&) noexcept = default;

    void push_back(std::string_view path);
    void push_back(const std::filesystem::path& path) { push_back(std::string_view(pathBytes(path))); }
    void push_back(const std::string& path) { push_back(std::string_view(path)); }
    void emplace_back(std::string_view path) { push_back(path); }
    void append(const PathList& other);
    // Empties the list and gives its memory back.
    void clear();

    std::size_t size() const { return m_paths.size(); }
    bool empty() const { return m_paths.empty(); }
    // The paths' bytes, NUL-terminated, in order; valid until the list is cleared or destroyed.
    const char* const* data() const { return m_paths.data(); }
    const char* c_str(std::size_t index) const { return m_paths[index]; }
    std::string_view view(std::size_t index) const { return std::string_view(m_paths[index]); }
    std::filesystem::path path(std::size_t index) const { return pathFromBytes(view(index)); }
    std::filesystem::path operator[](std::size_t index) const { return path(index); }

    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

    bool operator==(const PathList& other) const;

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockSize = 0;
    std::size_t m_blockUsed = 0;
    std::vector<const char*> m_paths;
};
