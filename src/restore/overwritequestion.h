#pragma once

#include <cstdint>
#include <filesystem>

// A file to be restored whose name is taken, and what to do about it.
struct OverwriteQuestion {
    std::filesystem::path existing;
    std::int64_t existingMtimeNs = 0;
    std::int64_t backupMtimeNs = 0;
    std::uint64_t existingSize = 0;
    std::uint64_t backupSize = 0;
    // The step in which the backup keeps the time (two seconds in the oldest form): times closer
    // than that are the same time.
    std::int64_t backupTimeStepNs = 1;
    bool existingIsNewer() const { return existingMtimeNs - backupMtimeNs >= backupTimeStepNs; }
};

enum class OverwriteChoice { Replace, KeepBoth, Skip, Cancel };

struct OverwriteAnswer {
    OverwriteChoice choice = OverwriteChoice::Skip;
    bool forAll = false; // the same for every later question of this restore
};
