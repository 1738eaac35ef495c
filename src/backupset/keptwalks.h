#pragma once

#include "backupset/folderwalker.h"
#include "backupset/walkoptions.h"

#include "platform/pathlist.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The files that the counts at start-up found, kept for the backup that follows at once, so that
// its walk is not made a second time. A kept walk is given out only while it is still what a new
// walk would find: the same options, and every folder it listed unchanged since (no name added,
// taken away or renamed in any of them).
class KeptWalks {
public:
    struct Walk {
        WalkOptions options;
        PathList files;
        WalkResult result;
    };

    // Keeps what a collecting walk of `folder` found; its result must hold the folders it listed.
    void keep(const std::filesystem::path& folder, Walk walk);

    // The files a walk of `folders` with `options` would collect, in the order one walker would
    // take them: when each folder was kept with those options, no folder was listed by two of the
    // kept walks, and none changed. Every kept walk of those folders is given up either way.
    std::optional<Walk> take(const std::vector<std::filesystem::path>& folders, const WalkOptions& options);

    void clear() { m_walks.clear(); }
    bool empty() const { return m_walks.empty(); }

    static bool sameOptions(const WalkOptions& a, const WalkOptions& b);

private:
    static bool unchanged(const std::vector<FolderStamp>& listed);

    std::unordered_map<std::filesystem::path::string_type, Walk> m_walks;
};
