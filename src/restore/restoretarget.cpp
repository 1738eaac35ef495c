#include "restore/restoretarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

RestoreTarget::RestoreTarget(const std::filesystem::path& root, bool followLinks)
    : m_followLinks(followLinks) {
    std::error_code ignored;
    std::filesystem::create_directories(root, ignored);
    m_root = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

RestoreTarget::~RestoreTarget() {
    if (m_cached >= 0)
        ::close(m_cached);
    if (m_root >= 0)
        ::close(m_root);
}

int RestoreTarget::folder(std::string_view relative) {
    if (relative.empty())
        return m_root;
    if (m_cached >= 0 && relative == m_cachedPath)
        return m_cached;
    if (m_cached >= 0)
        ::close(m_cached);
    m_cached = -1;
    m_cachedPath.clear();
    const int noFollow = m_followLinks ? 0 : O_NOFOLLOW;
    int current = ::dup(m_root);
    std::size_t start = 0;
    while (current >= 0 && start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string part(relative.substr(start, end - start));
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (::mkdirat(current, part.c_str(), 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            ::close(current);
            errno = error;
            return -1;
        }
        const int next = ::openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | noFollow);
        const int error = errno;
        ::close(current);
        errno = error;
        current = next;
    }
    if (current < 0)
        return -1;
    m_cached = current;
    m_cachedPath = std::string(relative);
    return m_cached;
}
