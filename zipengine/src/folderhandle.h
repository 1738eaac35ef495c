#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// An open folder, and the files and folders made, named and removed in it. Names are one
// component each (no separator), bytes as the archive holds them (UTF-8 where the system's names
// are UTF-16). Work below an open folder keeps to that folder even when its path is renamed or
// replaced meanwhile, and a link in the place of a child is never followed unless asked for.
// Failures return false, -1 or a handle that is not ok(), with errno set. One implementation
// per system (folderhandle_posix.cpp, folderhandle_win.cpp) beside what they share (folderhandle.cpp).
class FolderHandle {
public:
    enum class Kind { File, Folder, Link, Other };
    struct Status {
        Kind kind = Kind::Other;
        std::uint64_t size = 0;
        std::int64_t mtimeNs = 0; // nanoseconds since 1970
    };
    enum class Create {
        Exclusive, // a new file, open for reading and writing; fails (EEXIST) when the name is taken
        Truncate,  // the file emptied, or made when missing; open for writing
    };

    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // The folder at `path`, through links.
    static FolderHandle open(const std::string& path);

    bool ok() const;

    // The folder `relative` ("a/b/c", empty parts and "." skipped; "" for this folder again) below
    // this one, each part made when missing. Without `followLinks` a link in the place of a part
    // is refused (ELOOP or ENOTDIR) instead of entered.
    FolderHandle walk(std::string_view relative, bool followLinks) const;

    // The existing file `name` here, open for reading, never through a link of that name.
    int openFile(const std::string& name) const;
    // A file named `name` here, never through a link of that name; a C library descriptor.
    int createFile(const std::string& name, Create how, std::uint32_t mode) const;
    // A file here without a name, open for reading and writing, gone when closed unless named;
    // -1 (EOPNOTSUPP and the like) where the system or the file system has none.
    int createUnnamed(std::uint32_t mode) const;
    // Gives a file of createUnnamed() the name `name`; fails (EEXIST) when the name is taken.
    bool nameUnnamed(int fd, const std::string& name) const;
    // Moves `from` to `to` within this folder at once: with `replace` what `to` names is replaced,
    // otherwise the move fails (EEXIST) when `to` exists.
    bool move(const std::string& from, const std::string& to, bool replace) const;
    // Removes the file (not a folder) `name`.
    bool remove(const std::string& name) const;
    // The status of `name` here, a link's own where it is a link.
    bool status(const std::string& name, Status& status) const;
    // The names in this folder, without "." and "..".
    std::vector<std::string> names() const;
    // Permissions (Unix mode bits; 0 leaves them alone) and modification time of this folder
    // itself; its access time is set to the same moment.
    void setModeAndTime(std::uint32_t mode, const timespec& mtime) const;
    // Writes the folder's own records (new names) to the disk.
    bool sync() const;

private:
    struct State;
    explicit FolderHandle(State* state)
        : m_state(state) {}
    // This folder again, under a handle of its own.
    FolderHandle duplicate() const;
    // The folder `name` here, made when missing.
    FolderHandle child(const std::string& name, bool followLinks) const;

    State* m_state = nullptr;
};
