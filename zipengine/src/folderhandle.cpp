#include "folderhandle.h"

#include <cerrno>

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : m_state(other.m_state) {
    other.m_state = nullptr;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        FolderHandle old(std::move(*this));
        m_state = other.m_state;
        other.m_state = nullptr;
    }
    return *this;
}

bool FolderHandle::ok() const {
    return m_state != nullptr;
}

FolderHandle FolderHandle::walk(std::string_view relative, bool followLinks) const {
    if (!ok()) {
        errno = EBADF;
        return FolderHandle();
    }
    FolderHandle current = duplicate();
    std::size_t start = 0;
    while (current.ok() && start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string part(relative.substr(start, end - start));
        start = end + 1;
        if (!part.empty() && part != ".")
            current = current.child(part, followLinks);
    }
    return current;
}
