#include "platform/pathlist.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}

PathList::PathList(std::initializer_list<std::filesystem::path> paths) {
    for (const auto& path : paths)
        push_back(path);
}

PathList::PathList(const std::vector<std::filesystem::path>& paths) {
    m_paths.reserve(paths.size());
    for (const auto& path : paths)
        push_back(path);
}

PathList::PathList(const PathList& other) {
    append(other);
}

PathList& PathList::operator=(const PathList& other) {
    if (this != &other) {
        clear();
        append(other);
    }
    return *this;
}

void PathList::push_back(std::string_view path) {
    const std::size_t need = path.size() + 1;
    if (m_blocks.empty() || m_blockUsed + need > m_blockSize) {
        m_blockSize = std::max(kBlockSize, need);
        m_blocks.push_back(std::make_unique<char[]>(m_blockSize));
        m_blockUsed = 0;
    }
    char* target = m_blocks.back().get() + m_blockUsed;
    std::memcpy(target, path.data(), path.size());
    target[path.size()] = '\0';
    m_blockUsed += need;
    m_paths.push_back(target);
}

void PathList::append(const PathList& other) {
    m_paths.reserve(m_paths.size() + other.size());
    for (const char* path : other.m_paths)
        push_back(std::string_view(path));
}

void PathList::clear() {
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    std::vector<const char*>().swap(m_paths);
    m_blockSize = 0;
    m_blockUsed = 0;
}

bool PathList::operator==(const PathList& other) const {
    if (size() != other.size())
        return false;
    for (std::size_t i = 0; i < size(); ++i)
        if (std::strcmp(m_paths[i], other.m_paths[i]) != 0)
            return false;
    return true;
}
