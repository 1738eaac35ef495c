#include "restore/restorerequest.h"

#include "restore/archivecontents.h"

#include <algorithm>

std::size_t RestoreRequest::archiveIndex(const std::filesystem::path& archive) {
    const auto found = std::find(archives.begin(), archives.end(), archive);
    if (found != archives.end())
        return static_cast<std::size_t>(found - archives.begin());
    archives.push_back(archive);
    return archives.size() - 1;
}

void RestoreRequest::addNode(const ArchiveContents& contents, std::uint32_t node) {
    const std::size_t archive = archiveIndex(contents.path());
    const ArchiveContents::Node& n = contents.nodes()[node];
    // What comes before the node's own name is left out below a chosen folder.
    const std::size_t strip = n.path.size() - n.name.size();
    for (std::uint32_t entry : contents.entriesBelow(node))
        items.push_back({archive, entry, strip});
}

void RestoreRequest::addEntry(const ArchiveContents& contents, std::uint32_t entry) {
    const std::size_t archive = archiveIndex(contents.path());
    const std::string_view name = contents.item(entry).name;
    const std::size_t slash = name.rfind('/', name.size() > 1 ? name.size() - 2 : 0);
    items.push_back({archive, entry, slash == std::string_view::npos ? 0 : slash + 1});
}
