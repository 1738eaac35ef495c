#pragma once

#include "folderhandle.h"

#include <filesystem>
#include <string>
#include <string_view>

// The folder files are restored into, and the folders below it, made as needed. Below a chosen
// folder no symbolic link is followed, so nothing lands outside it; in the original place ("/")
// the links of the user's own file system are followed as they are.
class RestoreTarget {
public:
    RestoreTarget(const std::filesystem::path& root, bool followLinks);

    bool ok() const { return m_root.ok(); }
    // The folder `relative` below the root ("" for the root itself), made with its parents as
    // needed; nullptr with errno when it cannot be made or opened. The folder stays owned here and
    // is valid until the next call.
    const FolderHandle* folder(std::string_view relative);

private:
    FolderHandle m_root;
    bool m_followLinks;
    std::string m_cachedPath;
    FolderHandle m_cached;
};
