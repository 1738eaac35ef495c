#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class ArchiveContents;

// What to restore and where: entries of one or more archives, to their original place or below
// a chosen folder.
struct RestoreRequest {
    struct Item {
        std::size_t archive = 0; // index into archives
        std::uint32_t entry = 0;
        // Bytes of the entry's name left out below a chosen folder: a selected folder is restored
        // as that folder, not with the whole path it had.
        std::size_t stripLength = 0;
    };

    std::vector<std::filesystem::path> archives;
    std::vector<Item> items;
    bool originalPlace = true;
    std::filesystem::path folder; // the chosen folder when not restoring to the original place

    // Adds a node of an archive's tree (a file, or a folder with everything below it).
    void addNode(const ArchiveContents& contents, std::uint32_t node);
    // Adds one entry of an archive, to be restored below a chosen folder under its last name.
    void addEntry(const ArchiveContents& contents, std::uint32_t entry);
    // The archive's index in archives, added when new.
    std::size_t archiveIndex(const std::filesystem::path& archive);
};
