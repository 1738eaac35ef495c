#pragma once

#include <cstdint>
#include <filesystem>

namespace platform {

// One file as a directory walk found it: which file it is (device and inode) and the state it
// is in (size, modification time in nanoseconds since the Unix epoch, as in st_mtim).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
};

// The Windows file attributes the backup relies on, in their Linux form.
// Hidden: the name begins with "." (the hidden attribute on Windows). System: no such
// thing on Linux.
// Archive ("changed since it was last archived"): the extended attribute
// user.quoralis.archived records which file was archived (device and inode), under which path,
// and the size and modification time it had then. A file without the record, or whose identity,
// path or state differ from it, has the archive attribute set: a copy made with `cp -a` carries
// the record along but is another file, so it counts as changed; a file renamed or moved (or in a
// folder renamed) keeps its record but not its path, so it counts as changed too, and its entry
// under the new name is made. Where the file system keeps no extended attributes every file counts as
// changed: a backup of changed files may then hold too much, never too little.
class FileAttributes {
public:
    static bool isHidden(const std::filesystem::path& path);
    static bool isSystem(const std::filesystem::path& path);

    // `file` is what the caller's directory walk found for the path now; the check costs one
    // attribute read and no stat. A symbolic link is judged by itself, and since a link cannot
    // carry the record it always counts as changed.
    static bool archiveAttributeSet(const std::filesystem::path& path, const FileIdentity& file);
    // The same for the file now at `path` (one lstat more), in the given size and time.
    static bool archiveAttributeSet(const std::filesystem::path& path, std::uint64_t size,
                                    std::int64_t mtimeNs);
    // Records the file now at `path` as archived in the state the archiver saw (size and mtimeNs
    // from the walk that collected it), so a file that changed while it was being archived still
    // counts as changed afterwards. Returns false when the record could not be stored.
    static bool clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                      std::int64_t mtimeNs);

    static std::int64_t toUnixNs(std::filesystem::file_time_type time);
};

} // namespace platform
