#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a restore did, and every entry it did not restore with the reason.
struct RestoreReport {
    enum class Reason {
        UnsafeName,  // ".." or absolute: it would land outside the target
        Link,        // a symbolic link entry
        Duplicate,   // a second entry of the same name
        Damaged,     // its data does not match its CRC or size, or cannot be read
        Unsupported, // encrypted, or a compression method this program does not read
        WriteFailed, // the file could not be written
        Unreadable,  // the archive itself cannot be read
    };
    struct Problem {
        std::string name; // the entry's name as stored (the archive's path for Unreadable)
        Reason reason;
        std::string detail; // a system error text, when there is one
    };

    std::uint64_t restoredFiles = 0;
    std::uint64_t restoredBytes = 0;
    std::uint64_t alreadyThere = 0;   // files found in place as the backup holds them, left alone
    std::uint64_t keptBoth = 0;       // restored under a new name beside the existing file
    std::vector<std::string> skipped; // names the user chose to keep as they were
    std::vector<Problem> problems;
    bool cancelled = false;
};
