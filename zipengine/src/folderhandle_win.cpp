#include "folderhandle.h"

#include "engineplatform_win.h"

#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <io.h>

#include <cstring>
#include <vector>

using engineplatform::win::errnoFromLastError;

// The system has no calls relative to an open folder, so a folder keeps its full path beside its
// handle. The handle shares no deletion, so while it is open neither the folder nor a folder above
// it can be renamed, removed or replaced by a link: the path keeps naming this folder.
struct FolderHandle::State {
    HANDLE handle;
    std::wstring path; // "\\?\" form, without a separator at the end
};

namespace {

constexpr DWORD FolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD FileShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a folder; with `ownLink` a link (or another reparse point) is opened itself, not followed.
HANDLE openFolder(const std::wstring& path, bool ownLink) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (ownLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    // Setting a folder's time needs the right to write its attributes; reading it does not.
    HANDLE handle =
        CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                    FolderShare, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FolderShare, nullptr,
                             OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        errnoFromLastError();
    return handle;
}

// The attributes of an open file or folder; INVALID_FILE_ATTRIBUTES with errno set.
DWORD attributesOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        errnoFromLastError();
        return INVALID_FILE_ATTRIBUTES;
    }
    return info.dwFileAttributes;
}

// Closes `handle` without losing the errno of what failed before.
void closeKeepingErrno(HANDLE handle) {
    const int error = errno;
    CloseHandle(handle);
    errno = error;
}

// A C library descriptor owning `handle`; -1 (the handle closed) when none is left.
int descriptorOf(HANDLE handle, int access) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), access | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

// Opens or makes the plain file at `path`; a link or a folder of that name is opened itself, then
// refused (ELOOP, EISDIR), so that nothing is ever read or made through one. INVALID_HANDLE_VALUE
// with errno set.
HANDLE openPlainFile(const std::wstring& path, DWORD access, DWORD disposition) {
    const HANDLE handle = CreateFileW(path.c_str(), access, FileShare, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errnoFromLastError();
        return INVALID_HANDLE_VALUE;
    }
    const DWORD attributes = attributesOf(handle);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        closeKeepingErrno(handle);
        return INVALID_HANDLE_VALUE;
    }
    if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(handle);
        errno = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? ELOOP : EISDIR;
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// Opens a folder and learns its full path; nullptr with errno set. With `ownLink` a reparse point
// in the place of the folder is refused.
HANDLE openFolderWithPath(const std::wstring& path, bool ownLink, std::wstring& fullPath) {
    const HANDLE handle = openFolder(path, ownLink);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    const DWORD attributes = attributesOf(handle);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        closeKeepingErrno(handle);
        return nullptr;
    }
    if (ownLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        errno = ELOOP;
        return nullptr;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(handle);
        errno = ENOTDIR;
        return nullptr;
    }
    fullPath = engineplatform::win::finalPathOf(handle);
    // Some systems cannot tell a long final path; the long form the folder was opened by names it
    // as well.
    if (fullPath.empty() && path.rfind(L"\\\\?\\", 0) == 0)
        fullPath = path;
    if (fullPath.empty()) {
        closeKeepingErrno(handle);
        return nullptr;
    }
    while (!fullPath.empty() && fullPath.back() == L'\\')
        fullPath.pop_back();
    return handle;
}

// The full path of `name` in the folder at `folder`; empty with errno set (EINVAL) for a name
// that is not one plain component here.
std::wstring childPath(const std::wstring& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find_first_of("\\/:") != std::string::npos) {
        errno = EINVAL;
        return std::wstring();
    }
    return folder + L"\\" + engineplatform::win::utf16Of(name.c_str());
}

// The class of SetFileInformationByHandle that takes rename flags; the headers name it only when
// built for Windows 10 RS2 and later, where alone it exists.
constexpr auto RenameInfoEx = FILE_INFO_BY_HANDLE_CLASS(22);

// Puts `from` in the place of `to` in one step though `to` is open elsewhere (with delete sharing);
// false where the system does not allow it.
bool replaceOpenFile(const std::wstring& from, const std::wstring& to) {
    const HANDLE file = CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, FileShare, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::size_t nameBytes = to.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The flags share their place with the older field that only says "replace".
    const DWORD renameFlags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    std::memcpy(buffer.data(), &renameFlags, sizeof renameFlags);
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(nameBytes);
    std::memcpy(info->FileName, to.c_str(), nameBytes);
    const bool moved = SetFileInformationByHandle(file, RenameInfoEx, info, DWORD(buffer.size())) != 0;
    CloseHandle(file);
    return moved;
}

} // namespace

FolderHandle::~FolderHandle() {
    if (m_state != nullptr)
        CloseHandle(m_state->handle);
    delete m_state;
}

FolderHandle FolderHandle::open(const std::string& path) {
    std::wstring fullPath;
    const HANDLE handle = openFolderWithPath(engineplatform::win::systemPath(path.c_str()), false, fullPath);
    return handle == nullptr ? FolderHandle() : FolderHandle(new State{handle, fullPath});
}

FolderHandle FolderHandle::child(const std::string& name, bool followLinks) const {
    const std::wstring path = childPath(m_state->path, name);
    if (path.empty())
        return FolderHandle();
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        errnoFromLastError();
        return FolderHandle();
    }
    std::wstring fullPath;
    const HANDLE handle = openFolderWithPath(path, !followLinks, fullPath);
    return handle == nullptr ? FolderHandle() : FolderHandle(new State{handle, fullPath});
}

FolderHandle FolderHandle::duplicate() const {
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), m_state->handle, GetCurrentProcess(), &self, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        errnoFromLastError();
        return FolderHandle();
    }
    return FolderHandle(new State{self, m_state->path});
}

int FolderHandle::openFile(const std::string& name) const {
    const std::wstring path = childPath(m_state->path, name);
    if (path.empty())
        return -1;
    const HANDLE handle = openPlainFile(path, GENERIC_READ, OPEN_EXISTING);
    return handle == INVALID_HANDLE_VALUE ? -1 : descriptorOf(handle, _O_RDONLY);
}

int FolderHandle::createFile(const std::string& name, Create how, std::uint32_t) const {
    const std::wstring path = childPath(m_state->path, name);
    if (path.empty())
        return -1;
    const HANDLE handle = openPlainFile(
        path, how == Create::Exclusive ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE | FILE_READ_ATTRIBUTES,
        how == Create::Exclusive ? CREATE_NEW : OPEN_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    if (how == Create::Truncate && !SetEndOfFile(handle)) {
        errnoFromLastError();
        closeKeepingErrno(handle);
        return -1;
    }
    return descriptorOf(handle, how == Create::Exclusive ? _O_RDWR : _O_WRONLY);
}

int FolderHandle::createUnnamed(std::uint32_t) const {
    errno = EOPNOTSUPP;
    return -1;
}

bool FolderHandle::nameUnnamed(int, const std::string&) const {
    errno = EOPNOTSUPP;
    return false;
}

bool FolderHandle::move(const std::string& from, const std::string& to, bool replace) const {
    const std::wstring fromPath = childPath(m_state->path, from);
    const std::wstring toPath = childPath(m_state->path, to);
    if (fromPath.empty() || toPath.empty())
        return false;
    // A link in the place of `to` is replaced itself, never followed.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(fromPath.c_str(), toPath.c_str(), flags))
        return true;
    const DWORD error = GetLastError();
    // A file another program holds open (an indexer, a virus scanner) is replaced with the
    // semantics where the name moves at once and the old file lives on until it is closed.
    if (replace && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
        replaceOpenFile(fromPath, toPath))
        return true;
    SetLastError(error);
    errnoFromLastError();
    return false;
}

bool FolderHandle::remove(const std::string& name) const {
    const std::wstring path = childPath(m_state->path, name);
    if (path.empty())
        return false;
    if (!DeleteFileW(path.c_str())) {
        errnoFromLastError();
        return false;
    }
    return true;
}

bool FolderHandle::status(const std::string& name, Status& status) const {
    const std::wstring path = childPath(m_state->path, name);
    if (path.empty())
        return false;
    // Tells a link's own attributes, never its target's.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        errnoFromLastError();
        return false;
    }
    status.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? Kind::Link
                  : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? Kind::Folder
                                                                              : Kind::File;
    status.size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.mtimeNs = engineplatform::win::nanosecondsOf(data.ftLastWriteTime);
    return true;
}

std::vector<std::string> FolderHandle::names() const {
    std::vector<std::string> result;
    const std::wstring pattern = m_state->path + L"\\*";
    WIN32_FIND_DATAW data{};
    const HANDLE find =
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        errnoFromLastError();
        return result;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            result.push_back(engineplatform::win::utf8Of(name.c_str(), int(name.size())));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return result;
}

// A folder's permissions here are its access list, which it inherits; only the time is set.
void FolderHandle::setModeAndTime(std::uint32_t, const timespec& mtime) const {
    const FILETIME time = engineplatform::win::fileTimeOf(mtime);
    SetFileTime(m_state->handle, nullptr, &time, &time);
}

// The file system records new names in its own journal; a folder cannot be flushed here.
bool FolderHandle::sync() const {
    return true;
}
