#include "platform/fileinuse.h"

#include <windows.h>

namespace platform {

FileUse fileUse(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FileUse::Free;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileUse::Folder;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return FileUse::ReadOnly;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FileUse::InUse;
    CloseHandle(file);
    return FileUse::Free;
}

bool isFileInUse(const std::filesystem::path& path) {
    return fileUse(path) != FileUse::Free;
}

} // namespace platform
