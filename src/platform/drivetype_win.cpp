#include "platform/drivetype.h"

#include <windows.h>

namespace platform {

DriveType driveTypeOf(const std::filesystem::path& path) {
    if (path.empty())
        return DriveType::NoRootDir;
    wchar_t volume[MAX_PATH + 1];
    std::wstring root;
    if (GetVolumePathNameW(path.c_str(), volume, MAX_PATH + 1))
        root = volume;
    else
        root = path.root_path().wstring();
    switch (GetDriveTypeW(root.c_str())) {
    case DRIVE_NO_ROOT_DIR:
        return DriveType::NoRootDir;
    case DRIVE_REMOVABLE:
        return DriveType::Removable;
    case DRIVE_FIXED:
        return DriveType::Fixed;
    case DRIVE_REMOTE:
        return DriveType::Remote;
    case DRIVE_CDROM:
        return DriveType::CdRom;
    case DRIVE_RAMDISK:
        return DriveType::RamDisk;
    default:
        return DriveType::Unknown;
    }
}

} // namespace platform
