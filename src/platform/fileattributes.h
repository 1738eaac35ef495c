#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// One file as a directory walk found it: which file it is (device and inode) and the state it
// is in (size, modification and change time in nanoseconds since the Unix epoch, as in st_mtim
// and st_ctim; 0 where the walk does not learn the change time).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
};

// Which archive a mark is for. `series` names the archive series (a short key, part of the
// mark's name), so that two setups or two destinations keep marks of their own; `epoch` is the
// series' current epoch (part of the mark's value): when the archive is found replaced by
// another copy a new epoch begins and every mark of an older one counts as changed.
struct ArchiveMark {
    std::string series;
    std::uint64_t epoch = 0;
};

// The Windows file attributes the backup relies on, in their Linux form.
// Hidden: the name begins with "." (the hidden attribute on Windows). System: no such
// thing on Linux.
// Archive ("changed since it was last archived into this archive"): the extended attribute
// user.quoralis.archived.<series> records which file was archived (device and inode), under which
// path, the size and modification time it had then, the latest change time it could have had
// once the record was written, and the epoch. A file without the record, or whose identity, path,
// state or epoch differ from it, or whose change time is later, has the archive attribute set: a
// copy made with `cp -a` carries the record along but is another file, so it counts as changed; a
// file renamed or moved keeps its record but not its path, so it counts as changed too; a file
// rewritten with its old size and modification time put back has a later change time. Where the
// file system keeps no extended attributes every file counts as changed: a backup of changed
// files may then hold too much, never too little.
class FileAttributes {
public:
    // Unmarked: no record of this series at all (never archived into it, or no extended
    // attributes here); Changed: a record that no longer matches the file; Unchanged: the file is
    // as it was archived.
    enum class ArchiveState { Unmarked, Changed, Unchanged };

    static bool isHidden(const std::filesystem::path& path);
    static bool isSystem(const std::filesystem::path& path);

    // `file` is what the caller's directory walk found for the path now; the check costs one
    // attribute read and no stat. A symbolic link is judged by itself, and since a link cannot
    // carry the record it always counts as changed.
    static ArchiveState archiveState(const std::filesystem::path& path, const FileIdentity& file,
                                     const ArchiveMark& mark);
    // The same for the file now at `path` (one lstat more).
    static ArchiveState archiveState(const std::filesystem::path& path, const ArchiveMark& mark);
    static bool archiveAttributeSet(const std::filesystem::path& path, const FileIdentity& file,
                                    const ArchiveMark& mark) {
        return archiveState(path, file, mark) != ArchiveState::Unchanged;
    }
    // Records the file now at `path` as archived in the state the archiver saw (size and mtimeNs
    // from its read of the file). `readFromNs` is when the archiver began reading the files: a
    // file whose change time is not clearly before it may have changed after it was read, and
    // stays changed. Returns false when no record was stored.
    static bool clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                      std::int64_t mtimeNs, std::int64_t readFromNs, const ArchiveMark& mark);

    // Which file is at `path` and its state, links not followed; nullopt when there is none.
    static std::optional<FileIdentity> identityOf(const std::filesystem::path& path);
    // The wall clock now, in nanoseconds since the Unix epoch.
    static std::int64_t nowNs();
    static std::int64_t toUnixNs(std::filesystem::file_time_type time);
};

} // namespace platform
