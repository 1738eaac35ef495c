#pragma once

#include "platform/drivetype.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::filesystem::path mountPoint;
    std::string fsType;
    std::string source;
};

// The mounts of the process as listed by /proc/self/mountinfo, and how they map to drive types.
class MountTable {
public:
    // Parses the text of a mountinfo file; lines that do not parse are skipped. The octal
    // escapes of mount points and sources (\040 for a blank, \011, \012, \134) are decoded.
    static MountTable parse(std::string_view mountInfo);
    // The mounts of this process; empty when they cannot be read.
    static MountTable current();

    const std::vector<MountEntry>& entries() const { return m_entries; }

    // The mount that holds an absolute, canonical path: the longest mount point that is the
    // path or one of its parents; of equal ones the last listed (it is mounted on top).
    const MountEntry* mountOf(const std::filesystem::path& canonicalPath) const;

    // isRemovableDevice answers for a block device given by major and minor number.
    static DriveType classify(const MountEntry& entry,
                              const std::function<bool(unsigned major, unsigned minor)>& isRemovableDevice);
    // Whether sysfs marks the block device (or, for a partition, its disk) removable.
    static bool isRemovableBlockDevice(unsigned major, unsigned minor,
                                       const std::filesystem::path& sysRoot = "/sys");

private:
    std::vector<MountEntry> m_entries;
};

} // namespace platform
