#include "restore/restoretarget.h"

#include "platform/pathbytes.h"

RestoreTarget::RestoreTarget(const std::filesystem::path& root, bool followLinks)
    : m_followLinks(followLinks) {
    std::error_code ignored;
    std::filesystem::create_directories(root, ignored);
    m_root = FolderHandle::open(pathBytes(root));
}

const FolderHandle* RestoreTarget::folder(std::string_view relative) {
    if (relative.empty())
        return &m_root;
    if (m_cached.ok() && relative == m_cachedPath)
        return &m_cached;
    m_cachedPath.clear();
    m_cached = m_root.walk(relative, m_followLinks);
    if (!m_cached.ok())
        return nullptr;
    m_cachedPath = std::string(relative);
    return &m_cached;
}
