#pragma once

#include "platform/fileattributes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class FileKind : unsigned char { Unknown, Folder, File, Link, Other };

// Why a folder could not be opened or listed, or an entry in it not looked at. Gone: it vanished
// or was replaced by something that is no folder meanwhile, which is no failure of a walk.
enum class FolderError : unsigned char { None, Gone, Failed };

// What a file is, without following a link unless asked to. The identity is device and inode
// on Linux, volume serial number and file index on Windows; the time is in nanoseconds since
// the Unix epoch at the file system's full precision, held at the ends of the 64-bit range.
struct FileStatus {
    FileKind kind = FileKind::Unknown;
    FileIdentity identity;
};

// One name in a folder listing. `name` holds the name's bytes (UTF-8 on Windows) and stays valid
// until the next entry is read. `kind` is what the listing tells without another call, Unknown
// when it does not. Where the listing tells everything (Windows) `statusKnown` is set and
// `status` is filled; elsewhere ask FolderReader::childStatus.
struct FolderEntry {
    const char* name = nullptr;
    FileKind kind = FileKind::Unknown;
    bool statusKnown = false;
    FileStatus status;
};

// An open folder, for walking a tree: children are opened and looked at relative to their
// parent, so a walk costs no path lookups from the root. Closed when this goes.
// On Linux a link is followed when a child is opened and when asked for; on Windows a reparse
// point that stands for another name (symbolic link, junction, mount point) is a Link, never
// followed: opening it as a folder gives Gone, and its status is its own.
class FolderReader {
public:
    FolderReader() = default;
    ~FolderReader();
    FolderReader(FolderReader&& other) noexcept;
    FolderReader& operator=(FolderReader&& other) noexcept;
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // The folder at `path` (a link to a folder leads to it). Not open on failure, `error` says why.
    static FolderReader open(const std::string& path, FolderError& error);
    FolderReader openChild(const char* name, FolderError& error) const;
    bool isOpen() const;
    void close();

    // The next name of the listing, "." and ".." left out. False at the end, or with `error` set
    // when the listing broke off.
    bool nextEntry(FolderEntry& entry, FolderError& error);
    bool childStatus(const char* name, bool followLink, FileStatus& status, FolderError& error) const;

    // The folder's own status.
    bool status(FileStatus& status) const;
    // Whether the folder is on one of the kernel's own file systems (/proc, /sys and the like),
    // which hold no user files.
    bool onSystemFileSystem() const;
    // Whether names in this folder are found without regard to case.
    bool foldsCase() const;

    // The status of what is at `path`, a link followed.
    static bool pathStatus(const std::string& path, FileStatus& status);
    // The absolute path without links, "." or ".." parts; empty when there is nothing at `path`.
    static std::string realPath(const std::string& path);

private:
#ifdef _WIN32
    void* m_handle = nullptr;
    std::wstring m_path; // the long-path form, children are opened beneath it
    FileStatus m_status;
    std::unique_ptr<std::uint64_t[]> m_listing; // a batch of directory records
    std::size_t m_next = 0;                     // offset of the next record in the batch
    bool m_batchPending = false;
    bool m_listingEnded = false;
    std::string m_name;
#else
    int m_fd = -1;
    void* m_dir = nullptr; // the stream over m_fd once listing started
#endif
};

} // namespace platform
