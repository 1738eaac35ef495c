#include "testsystem.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace testsystem {

namespace {

std::wstring wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring result(std::size_t(std::max(size, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), result.data(), size);
    return result;
}

std::wstring widePath(const std::string& path) {
    return wide(longPathForm(path));
}

HANDLE openFile(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(widePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void makeFolders(const std::wstring& file) {
    // Every folder above the file, after the "\\?\C:\" the long form starts with.
    for (std::size_t slash = file.find(L'\\', 7); slash != std::wstring::npos;
         slash = file.find(L'\\', slash + 1))
        CreateDirectoryW(file.substr(0, slash).c_str(), nullptr);
}

} // namespace

std::string longPathForm(const std::string& path) {
    std::string form = path;
    std::replace(form.begin(), form.end(), '/', '\\');
    if (form.rfind("\\\\?\\", 0) == 0)
        return form;
    if (form.rfind("\\\\", 0) == 0)
        return "\\\\?\\UNC\\" + form.substr(2);
    return "\\\\?\\" + form;
}

void markHidden(const std::string& path) {
    const std::wstring name = widePath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(name.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
}

bool writeFile(const std::string& path, const std::string& content) {
    makeFolders(widePath(path));
    const HANDLE file = openFile(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        content.empty() || (WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) &&
                            written == content.size());
    CloseHandle(file);
    return ok;
}

bool forEachPiece(const std::string& path,
                  const std::function<void(const char* data, std::size_t size)>& use) {
    const HANDLE file = openFile(path, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> buffer(4 << 20);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer.data(), DWORD(buffer.size()), &got, nullptr) != 0) && got > 0)
        use(buffer.data(), got);
    CloseHandle(file);
    return ok;
}

bool readFile(const std::string& path, std::string& content) {
    content.clear();
    return forEachPiece(path, [&](const char* data, std::size_t size) { content.append(data, size); });
}

bool modificationTime(const std::string& path, std::int64_t& ns) {
    const HANDLE file = openFile(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FILETIME time{};
    const bool ok = GetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    const std::int64_t ticks = std::int64_t((std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    ns = (ticks - 116444736000000000LL) * 100;
    return ok;
}

bool setModificationTime(const std::string& path, std::int64_t ns) {
    const HANDLE file = openFile(path, FILE_WRITE_ATTRIBUTES, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::uint64_t ticks = std::uint64_t(ns / 100 + 116444736000000000LL);
    FILETIME time{DWORD(ticks & 0xFFFFFFFFu), DWORD(ticks >> 32)};
    const bool ok = SetFileTime(file, nullptr, &time, &time);
    CloseHandle(file);
    return ok;
}

namespace {

bool removeWide(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(path.c_str()) != 0
                                                            : DeleteFileW(path.c_str()) != 0;
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    bool ok = true;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                ok = removeWide(path + L"\\" + name) && ok;
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    return RemoveDirectoryW(path.c_str()) != 0 && ok;
}

} // namespace

bool removeTree(const std::string& path) {
    return removeWide(widePath(path));
}

// Newer versions replace such a file at once, older ones and other implementations refuse.
bool openFilesMayBlockReplacing() {
    return true;
}

HeldFile::HeldFile(const std::string& path)
    : m_handle(reinterpret_cast<std::intptr_t>(openFile(path, GENERIC_READ, OPEN_EXISTING))) {}

HeldFile::~HeldFile() {
    if (isOpen())
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

bool HeldFile::isOpen() const {
    return reinterpret_cast<HANDLE>(m_handle) != INVALID_HANDLE_VALUE;
}

} // namespace testsystem
