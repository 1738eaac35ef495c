// The path helpers of engineplatform.h that are the same on every system.
#include "engineplatform.h"

namespace engineplatform {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos)
        return ".";
    // The root keeps its separator ("/", "C:\\"): without it, it would name another folder.
    return slash == 0 || path[slash - 1] == ':' ? path.substr(0, slash + 1) : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace engineplatform
