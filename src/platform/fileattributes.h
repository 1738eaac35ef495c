#pragma once

#include <cstdint>
#include <filesystem>

namespace platform {

// The Windows file attributes the backup relies on, in their Linux form.
// Hidden: the name begins with "." (the hidden attribute on Windows). System: no such
// thing on Linux.
// Archive ("changed since it was last archived"): the extended attribute
// user.quoralis.archived records the size and modification time a file had when it was
// archived; a file without the record, or whose size or time differ from it, has the archive
// attribute set. Where the file system keeps no extended attributes every file counts as
// changed: a backup of changed files may then hold too much, never too little.
// Times are nanoseconds since the Unix epoch, as in st_mtim (see toUnixNs).
class FileAttributes {
public:
    static bool isHidden(const std::filesystem::path& path);
    static bool isSystem(const std::filesystem::path& path);

    // size and mtimeNs are what the caller's directory walk found for the file now; the check
    // costs one attribute read and no stat. A symbolic link is judged by itself, and since a
    // link cannot carry the record it always counts as changed.
    static bool archiveAttributeSet(const std::filesystem::path& path, std::uint64_t size,
                                    std::int64_t mtimeNs);
    // Records the file as archived in the state the archiver saw (size and mtimeNs from the
    // walk that collected it), so a file that changed while it was being archived still counts
    // as changed afterwards. Returns false when the record could not be stored.
    static bool clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                      std::int64_t mtimeNs);

    static std::int64_t toUnixNs(std::filesystem::file_time_type time);
};

} // namespace platform
