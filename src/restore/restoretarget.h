#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The folder files are restored into, and the folders below it, made as needed. Below a chosen
// folder no symbolic link is followed, so nothing lands outside it; in the original place ("/")
// the links of the user's own file system are followed as they are.
class RestoreTarget {
public:
    RestoreTarget(const std::filesystem::path& root, bool followLinks);
    ~RestoreTarget();
    RestoreTarget(const RestoreTarget&) = delete;
    RestoreTarget& operator=(const RestoreTarget&) = delete;

    bool ok() const { return m_root >= 0; }
    // The folder `relative` below the root ("" for the root itself), made with its parents as
    // needed; -1 with errno when it cannot be made or opened. The descriptor stays owned here and
    // is valid until the next call.
    int folder(std::string_view relative);

private:
    int m_root = -1;
    bool m_followLinks;
    std::string m_cachedPath;
    int m_cached = -1;
};
