#include "platform/profileapi.h"

#include "platform/growingread.h"

#include <windows.h>

namespace platform::profileapi {

namespace {

std::string toAnsi(const std::wstring& text, bool* lossy) {
    BOOL defaultUsed = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), int(text.size()),
                                         nullptr, 0, nullptr, &defaultUsed);
    std::string result(std::size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), int(text.size()), result.data(), size,
                        nullptr, &defaultUsed);
    *lossy = defaultUsed != FALSE;
    return result;
}

// The profile functions take the path in the ANSI code page. A folder whose name that code
// page cannot spell is reached by its short (8.3) name, which is plain ASCII.
std::string ansiPath(const std::filesystem::path& path) {
    bool lossy = false;
    const std::string direct = toAnsi(path.native(), &lossy);
    if (!lossy)
        return direct;
    const std::wstring folder = path.parent_path().native();
    const DWORD size = GetShortPathNameW(folder.c_str(), nullptr, 0);
    if (size == 0)
        return direct;
    std::wstring shortFolder(size, L'\0');
    shortFolder.resize(GetShortPathNameW(folder.c_str(), shortFolder.data(), size));
    return toAnsi(shortFolder + L"\\" + path.filename().native(), &lossy);
}

// One value, one line.
std::string singleLine(const std::string& value) {
    return value.substr(0, value.find_first_of(std::string("\r\n\0", 3)));
}

} // namespace

std::string readString(const std::filesystem::path& file, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
    char buffer[2048];
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                                                  DWORD(sizeof buffer), ansiPath(file).c_str());
    return std::string(buffer, length);
}

std::vector<std::string> readKeys(const std::filesystem::path& file, const std::string& section) {
    // With no key name the call returns every key of the section, each ended by a NUL.
    const std::string path = ansiPath(file);
    const std::string list = readUntilWhole(
        [&](char* buffer, std::size_t size) {
            return std::size_t(
                GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, DWORD(size), path.c_str()));
        },
        2);
    std::vector<std::string> names;
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = std::min(list.find('\0', start), list.size());
        if (end > start)
            names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool writeString(const std::filesystem::path& file, const std::string& section, const std::string& key,
                 const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), singleLine(value).c_str(),
                                      ansiPath(file).c_str());
}

bool eraseSection(const std::filesystem::path& file, const std::string& section) {
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, ansiPath(file).c_str());
}

} // namespace platform::profileapi
