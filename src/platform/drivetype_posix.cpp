#include "platform/drivetype.h"
#include "platform/mounttable.h"

namespace platform {

DriveType driveTypeOf(const std::filesystem::path& path) {
    if (path.empty())
        return DriveType::NoRootDir;
    std::error_code error;
    std::filesystem::path existing = std::filesystem::absolute(path, error);
    if (error)
        return DriveType::Unknown;
    while (!std::filesystem::exists(existing, error)) {
        if (!existing.has_relative_path())
            return DriveType::NoRootDir;
        existing = existing.parent_path();
    }
    const std::filesystem::path canonical = std::filesystem::canonical(existing, error);
    if (error)
        return DriveType::Unknown;
    const MountTable mounts = MountTable::current();
    if (mounts.entries().empty())
        return DriveType::Unknown;
    const MountEntry* mount = mounts.mountOf(canonical);
    if (!mount)
        return DriveType::NoRootDir;
    return MountTable::classify(*mount, [](unsigned major, unsigned minor) {
        return MountTable::isRemovableBlockDevice(major, minor);
    });
}

} // namespace platform
