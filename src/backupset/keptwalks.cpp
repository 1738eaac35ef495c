#include "backupset/keptwalks.h"

#include "platform/folderreader.h"

#include <set>
#include <utility>

void KeptWalks::keep(const std::filesystem::path& folder, Walk walk) {
    m_walks.insert_or_assign(folder.native(), std::move(walk));
}

std::optional<KeptWalks::Walk> KeptWalks::take(const std::vector<std::filesystem::path>& folders,
                                               const WalkOptions& options) {
    std::vector<Walk> found;
    bool usable = !folders.empty();
    for (const auto& folder : folders) {
        const auto kept = m_walks.find(folder.native());
        if (kept == m_walks.end()) {
            usable = false;
            continue;
        }
        found.push_back(std::move(kept->second));
        m_walks.erase(kept);
    }
    if (!usable)
        return std::nullopt;

    // One walker lists a folder reached twice (overlapping folders, a link) only once, and takes a
    // listed folder named through a link into another one last: such walks are made again.
    std::set<std::pair<std::uint64_t, std::uint64_t>> listed;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Walk& walk = found[i];
        if (!sameOptions(walk.options, options) || walk.result.listedFolders.empty() ||
            !walk.result.listedFolders.front().path.starts_with(FolderWalker::normalisedFolder(folders[i])) ||
            !unchanged(walk.result.listedFolders))
            return std::nullopt;
        if (platform::FolderReader::realPath(FolderWalker::normalisedFolder(folders[i])) !=
            FolderWalker::normalisedFolder(folders[i]))
            return std::nullopt;
        for (const FolderStamp& folder : walk.result.listedFolders)
            if (!listed.emplace(folder.identity.device, folder.identity.inode).second)
                return std::nullopt;
    }

    Walk joined = std::move(found.front());
    for (std::size_t i = 1; i < found.size(); ++i) {
        joined.files.append(found[i].files);
        joined.result.bytes += found[i].result.bytes;
        joined.result.files += found[i].result.files;
        for (auto& folder : found[i].result.unreadableFolders)
            joined.result.unreadableFolders.push_back(std::move(folder));
    }
    joined.result.listedFolders.clear();
    return joined;
}

namespace {
// The system's file times advance in clock ticks, not nanoseconds: a folder changed within a tick
// of its listing may change again without its time moving. Such a folder is never taken as
// unchanged.
constexpr std::int64_t TimeStepSlackNs = 20'000'000;
} // namespace

bool KeptWalks::unchanged(const std::vector<FolderStamp>& listed) {
    for (const FolderStamp& folder : listed) {
        if (folder.identity.mtimeNs >= folder.listedNs - TimeStepSlackNs ||
            folder.identity.ctimeNs >= folder.listedNs - TimeStepSlackNs)
            return false;
        platform::FileStatus now;
        if (!platform::FolderReader::pathStatus(folder.path, now) || now.kind != platform::FileKind::Folder)
            return false;
        const platform::FileIdentity& then = folder.identity;
        if (now.identity.device != then.device || now.identity.inode != then.inode ||
            now.identity.mtimeNs != then.mtimeNs || now.identity.ctimeNs != then.ctimeNs)
            return false;
    }
    return true;
}

bool KeptWalks::sameOptions(const WalkOptions& a, const WalkOptions& b) {
    const auto sameList = [](const auto& x, const auto& y) {
        return x == y || (x && y && *x == *y);
    };
    return a.newOnly == b.newOnly && a.mark.series == b.mark.series && a.mark.epoch == b.mark.epoch &&
           a.includeHidden == b.includeHidden && a.excludedFolders == b.excludedFolders &&
           a.excludedTypes == b.excludedTypes && a.destination == b.destination &&
           sameList(a.listedFolders, b.listedFolders);
}
