#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One of the program's archives found in the destination folder.
struct BackupArchive {
    std::filesystem::path path;
    std::string folder; // the folder part of its name, empty for the archive of all folders
    std::string stamp;  // the timestamp part of its name, empty when it has none
    std::int64_t mtimeNs = 0;
    std::uint64_t size = 0;
    std::uint64_t files = 0;
    bool readable = false;
    std::string error; // why it cannot be read
};

// The backups in a destination folder: only the program's own archive names, grouped by folder
// (the archive of all folders first, then by folder name) and newest first within a group.
class BackupCatalog {
public:
    static std::vector<BackupArchive> scan(const std::filesystem::path& destination);
};
