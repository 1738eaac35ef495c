#pragma once

#include <filesystem>

namespace platform {

// The kind of drive a path lives on, with the meanings of the Windows drive types.
enum class DriveType { Unknown, NoRootDir, Removable, Fixed, Remote, CdRom, RamDisk };

// The drive type of the mount holding the path. A path that does not exist is judged by its
// nearest existing parent folder; NoRootDir when no part of it exists, Unknown when the
// mounts cannot be read.
DriveType driveTypeOf(const std::filesystem::path& path);

} // namespace platform
