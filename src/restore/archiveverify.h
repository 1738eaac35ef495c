#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Tests every entry of an archive that this program can read: its data must inflate to its size
// and CRC.
class ArchiveVerify {
public:
    struct Result {
        bool readable = false; // false: the archive itself cannot be read (see error)
        std::string error;
        std::uint64_t entries = 0;
        std::uint64_t checked = 0;
        std::vector<std::string> damaged;          // names of the entries that fail
        std::vector<std::uint32_t> damagedEntries; // and their indexes
        // Entries encrypted or compressed in a way this program cannot read: not checked, and
        // not called damaged.
        std::vector<std::string> unreadable;
        bool cancelled = false;
    };
    // Entries checked so far of the total.
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

    static Result run(const std::filesystem::path& archive, const Progress& progress,
                      const std::atomic<bool>& cancel);
};
