#include "housekeeping/oldfilesearch.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

void sortByName(std::vector<fs::path>& paths) {
    std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().native() < b.filename().native();
    });
}

bool isDotName(const fs::path& name) {
    const auto& text = name.native();
    return !text.empty() && text.front() == '.';
}

} // namespace

OldFileSearch::OldFileSearch(FileMask mask, fs::file_time_type threshold)
    : m_mask(std::move(mask))
    , m_threshold(threshold) {}

std::vector<fs::path> OldFileSearch::inFolder(const fs::path& folder) const {
    return list(folder).files;
}

void OldFileSearch::inTree(const fs::path& root, const Found& found) const {
    // Depth first without recursion: the subfolders go on the stack in reverse so that
    // the first of them is the next one entered.
    std::vector<fs::path> pending{root};
    while (!pending.empty()) {
        const fs::path folder = std::move(pending.back());
        pending.pop_back();
        Listing listing = list(folder);
        for (const fs::path& file : listing.files)
            found(file);
        pending.insert(pending.end(), std::make_move_iterator(listing.subfolders.rbegin()),
                       std::make_move_iterator(listing.subfolders.rend()));
    }
}

OldFileSearch::Listing OldFileSearch::list(const fs::path& folder) const {
    Listing listing;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code statError;
        // The entry itself, never what a link points to.
        const fs::file_type type = entry.symlink_status(statError).type();
        if (type == fs::file_type::directory) {
            if (!isDotName(entry.path().filename()))
                listing.subfolders.push_back(entry.path());
        } else if (type == fs::file_type::regular && m_mask.matches(entry.path().filename()) &&
                   isOld(entry)) {
            listing.files.push_back(entry.path());
        }
    }
    sortByName(listing.files);
    sortByName(listing.subfolders);
    return listing;
}

bool OldFileSearch::isOld(const fs::directory_entry& entry) const {
    std::error_code ec;
    const fs::file_time_type modified = fs::last_write_time(entry.path(), ec);
    return !ec && modified <= m_threshold;
}
