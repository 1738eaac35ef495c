#include "restore/archivesearch.h"

#include "restore/archivecontents.h"

#include <algorithm>
#include <tuple>

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size())
        return false;
    const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                [](char a, char b) { return lower(a) == lower(b); });
    return it != haystack.end();
}

} // namespace

std::vector<ArchiveSearch::Hit> ArchiveSearch::find(const std::vector<Source>& sources,
                                                    std::string_view text) {
    std::vector<Hit> hits;
    if (text.empty())
        return hits;
    struct Found {
        Hit hit;
        std::string_view name;
        std::int64_t mtimeNs;
        std::int64_t archiveMtimeNs;
    };
    std::vector<Found> found;
    for (std::size_t s = 0; s < sources.size(); ++s) {
        const ArchiveContents& contents = *sources[s].contents;
        for (std::size_t i = 0; i < contents.count(); ++i) {
            const ArchiveContents::Item it = contents.item(i);
            if (it.kind != ArchiveContents::Kind::File)
                continue;
            const std::size_t slash = it.name.rfind('/');
            const std::string_view leaf =
                slash == std::string_view::npos ? it.name : it.name.substr(slash + 1);
            if (containsIgnoringCase(leaf, text))
                found.push_back(
                    {{s, static_cast<std::uint32_t>(i)}, it.name, it.mtimeNs, sources[s].archiveMtimeNs});
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.name, b.mtimeNs, b.archiveMtimeNs) < std::tie(b.name, a.mtimeNs, a.archiveMtimeNs);
    });
    hits.reserve(found.size());
    for (const Found& f : found)
        hits.push_back(f.hit);
    return hits;
}
