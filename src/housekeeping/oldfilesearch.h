#pragma once

#include "housekeeping/filemask.h"

#include <filesystem>
#include <functional>
#include <vector>

// Finds the regular files whose names match a mask and that were last modified at or before
// a threshold. A folder that cannot be listed contributes nothing. Symbolic links are
// neither found nor entered.
class OldFileSearch {
public:
    using Found = std::function<void(const std::filesystem::path& file)>;

    OldFileSearch(FileMask mask, std::filesystem::file_time_type threshold);

    // The matching files of this folder only, sorted by name.
    std::vector<std::filesystem::path> inFolder(const std::filesystem::path& folder) const;
    // The matching files of the folder and every folder below it, sorted by name within a
    // folder, each folder's files before its subfolders. Folders whose names begin with "."
    // are not entered.
    void inTree(const std::filesystem::path& root, const Found& found) const;

private:
    struct Listing {
        std::vector<std::filesystem::path> files;
        std::vector<std::filesystem::path> subfolders;
    };
    Listing list(const std::filesystem::path& folder) const;
    bool isOld(const std::filesystem::directory_entry& entry) const;

    FileMask m_mask;
    std::filesystem::file_time_type m_threshold;
};
