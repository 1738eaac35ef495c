#include "platform/folderreader.h"

#include "platform/pathbytes.h"

#include <climits>
#include <utility>
#include <windows.h>

namespace platform {

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t unixEpochInFileTime = 116444736000000000LL;
constexpr DWORD caseSensitiveFolderFlag = 0x00000001; // FILE_CS_FLAG_CASE_SENSITIVE_DIR
constexpr DWORD listingBytes = 64 * 1024;
constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FolderError errorOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_DELETE_PENDING:
    case ERROR_CANT_RESOLVE_FILENAME:
        return FolderError::Gone;
    default:
        return FolderError::Failed;
    }
}

HANDLE handleOf(void* handle) {
    return static_cast<HANDLE>(handle);
}

std::int64_t unixNs(std::int64_t fileTime) {
    const std::int64_t ticks = fileTime - unixEpochInFileTime;
    if (ticks > INT64_MAX / 100)
        return INT64_MAX;
    if (ticks < INT64_MIN / 100)
        return INT64_MIN;
    return ticks * 100;
}

std::int64_t joined(DWORD high, DWORD low) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

// A reparse point that stands for another name (symbolic link, junction, mount point) is a link;
// other reparse points (files kept in the cloud, deduplicated files) are what they hold.
FileKind kindOf(DWORD attributes, DWORD reparseTag) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag))
        return FileKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileKind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return FileKind::Other;
    return FileKind::File;
}

bool isDotOrDotDot(const WCHAR* name, std::size_t length) {
    return (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
}

// The full path in the form that is not limited to MAX_PATH characters.
std::wstring longPathOf(const std::string& path) {
    const std::wstring wide = pathFromBytes(path).native();
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return wide;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return wide;
    full.resize(length);
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\"))
        return full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring childPath(const std::wstring& folder, const char* name) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\')
        path.push_back(L'\\');
    return path + pathFromBytes(name).native();
}

// Opens what is at `path` to read its attributes (and to list it when it is a folder).
HANDLE openPath(const std::wstring& path, DWORD access, bool followLink) {
    return CreateFileW(path.c_str(), access, shareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
}

bool statusOf(HANDLE handle, FileStatus& status) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    DWORD reparseTag = 0;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        FILE_ATTRIBUTE_TAG_INFO tag;
        if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
            reparseTag = tag.ReparseTag;
    }
    status.kind = kindOf(info.dwFileAttributes, reparseTag);
    status.identity = {
        info.dwVolumeSerialNumber,
        static_cast<std::uint64_t>(joined(info.nFileIndexHigh, info.nFileIndexLow)),
        static_cast<std::uint64_t>(joined(info.nFileSizeHigh, info.nFileSizeLow)),
        unixNs(joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))};
    return true;
}

bool statusAt(const std::wstring& path, bool followLink, FileStatus& status, FolderError& error) {
    const HANDLE handle = openPath(path, FILE_READ_ATTRIBUTES, followLink);
    if (handle == INVALID_HANDLE_VALUE) {
        error = errorOf(GetLastError());
        return false;
    }
    const bool known = statusOf(handle, status);
    if (!known)
        error = errorOf(GetLastError());
    CloseHandle(handle);
    return known;
}

// Opens the folder at `path` for listing and reads its status; anything else, a link included,
// is Gone.
HANDLE openFolder(const std::wstring& path, bool followLink, FileStatus& status, FolderError& error) {
    const HANDLE handle =
        openPath(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, followLink);
    if (handle == INVALID_HANDLE_VALUE) {
        error = errorOf(GetLastError());
        return nullptr;
    }
    if (!statusOf(handle, status)) {
        error = errorOf(GetLastError());
        CloseHandle(handle);
        return nullptr;
    }
    if (status.kind != FileKind::Folder) {
        error = FolderError::Gone;
        CloseHandle(handle);
        return nullptr;
    }
    error = FolderError::None;
    return handle;
}

void narrow(const WCHAR* name, std::size_t length, std::string& out) {
    out.clear();
    if (length == 0)
        return;
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return;
    out.resize(static_cast<std::size_t>(needed));
    WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), out.data(), needed, nullptr, nullptr);
}

} // namespace

FolderReader::~FolderReader() {
    close();
}

FolderReader::FolderReader(FolderReader&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr))
    , m_path(std::move(other.m_path))
    , m_status(other.m_status)
    , m_listing(std::move(other.m_listing))
    , m_next(other.m_next)
    , m_batchPending(other.m_batchPending)
    , m_listingEnded(other.m_listingEnded)
    , m_name(std::move(other.m_name)) {}

FolderReader& FolderReader::operator=(FolderReader&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
        m_status = other.m_status;
        m_listing = std::move(other.m_listing);
        m_next = other.m_next;
        m_batchPending = other.m_batchPending;
        m_listingEnded = other.m_listingEnded;
        m_name = std::move(other.m_name);
    }
    return *this;
}

FolderReader FolderReader::open(const std::string& path, FolderError& error) {
    FolderReader folder;
    folder.m_path = longPathOf(path);
    folder.m_handle = openFolder(folder.m_path, true, folder.m_status, error);
    return folder;
}

FolderReader FolderReader::openChild(const char* name, FolderError& error) const {
    FolderReader folder;
    folder.m_path = childPath(m_path, name);
    folder.m_handle = openFolder(folder.m_path, false, folder.m_status, error);
    return folder;
}

bool FolderReader::isOpen() const {
    return m_handle != nullptr;
}

void FolderReader::close() {
    if (m_handle)
        CloseHandle(handleOf(m_handle));
    m_handle = nullptr;
    m_listing.reset();
}

bool FolderReader::nextEntry(FolderEntry& entry, FolderError& error) {
    if (!m_handle)
        return false;
    if (!m_listing) {
        m_listing = std::make_unique_for_overwrite<std::uint64_t[]>(listingBytes / sizeof(std::uint64_t));
        m_batchPending = false;
        m_listingEnded = false;
    }
    const auto* batch = reinterpret_cast<const unsigned char*>(m_listing.get());
    for (;;) {
        if (!m_batchPending) {
            if (m_listingEnded)
                return false;
            // Each call hands out the next records of the listing, the first call its beginning.
            if (!GetFileInformationByHandleEx(handleOf(m_handle), FileIdBothDirectoryInfo, m_listing.get(),
                                              listingBytes)) {
                const DWORD code = GetLastError();
                if (code != ERROR_NO_MORE_FILES)
                    error = errorOf(code);
                m_listingEnded = true;
                return false;
            }
            m_next = 0;
            m_batchPending = true;
        }
        const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(batch + m_next);
        if (record->NextEntryOffset == 0)
            m_batchPending = false;
        else
            m_next += record->NextEntryOffset;
        const std::size_t length = record->FileNameLength / sizeof(WCHAR);
        if (isDotOrDotDot(record->FileName, length))
            continue;
        narrow(record->FileName, length, m_name);
        if (m_name.empty())
            continue;
        // With the reparse point attribute, EaSize holds the reparse tag.
        const DWORD reparseTag = (record->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? record->EaSize : 0;
        entry.name = m_name.c_str();
        entry.kind = kindOf(record->FileAttributes, reparseTag);
        entry.statusKnown = true;
        entry.status.kind = entry.kind;
        entry.status.identity = {
            m_status.identity.device, static_cast<std::uint64_t>(record->FileId.QuadPart),
            static_cast<std::uint64_t>(record->EndOfFile.QuadPart), unixNs(record->LastWriteTime.QuadPart)};
        return true;
    }
}

// A link is never followed here: its status is its own.
bool FolderReader::childStatus(const char* name, bool, FileStatus& status, FolderError& error) const {
    return statusAt(childPath(m_path, name), false, status, error);
}

bool FolderReader::status(FileStatus& status) const {
    if (!m_handle)
        return false;
    status = m_status;
    return true;
}

// Windows has no file systems of its own kind in the tree of a drive.
bool FolderReader::onSystemFileSystem() const {
    return false;
}

// Windows finds names without regard to case on every volume (NTFS, FAT, exFAT, ReFS and network
// shares alike), unless a folder of NTFS was made case-sensitive.
bool FolderReader::foldsCase() const {
    FILE_CASE_SENSITIVE_INFO info{};
    if (GetFileInformationByHandleEx(handleOf(m_handle), FileCaseSensitiveInfo, &info, sizeof info))
        return (info.Flags & caseSensitiveFolderFlag) == 0;
    return true;
}

bool FolderReader::pathStatus(const std::string& path, FileStatus& status) {
    FolderError error = FolderError::None;
    return statusAt(longPathOf(path), true, status, error);
}

std::string FolderReader::realPath(const std::string& path) {
    const HANDLE handle = openPath(longPathOf(path), FILE_READ_ATTRIBUTES, true);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    constexpr DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::wstring real;
    DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
    DWORD length = 0;
    if (needed > 0) {
        real.resize(needed);
        length = GetFinalPathNameByHandleW(handle, real.data(), needed, flags);
    }
    CloseHandle(handle);
    if (length == 0 || length >= needed)
        return {};
    real.resize(length);
    // The answer comes in the long-path form; the program's paths are in the usual one.
    if (real.starts_with(L"\\\\?\\UNC\\"))
        real = L"\\\\" + real.substr(8);
    else if (real.starts_with(L"\\\\?\\"))
        real.erase(0, 4);
    return pathBytes(std::filesystem::path(real));
}

} // namespace platform
