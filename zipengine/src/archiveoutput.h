#pragma once

#include "folderhandle.h"
#include "temporaryfile.h"

#include <cstdint>
#include <string>
#include <vector>

// The new archive while it is written: a temporary file in the archive's folder, written through a
// buffer, that replaces the archive only in commit(). Until then the previous archive is untouched;
// discard() (or the destructor) leaves nothing behind. Where the file system allows it the temporary
// file has no name at all until commit, so even a killed process leaves nothing.
class ArchiveOutput {
public:
    // `unnamedAllowed` false takes the named temporary even where an unnamed file could be made.
    explicit ArchiveOutput(bool unnamedAllowed = true)
        : m_unnamedAllowed(unnamedAllowed) {}
    ~ArchiveOutput();

    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;

    // The file a path names, following symbolic links (also to a target that does not exist yet).
    static std::string linkTarget(const std::string& path);

    // A hidden name beside the archive: "." + its file name + suffix, in its folder.
    static std::string besideTarget(const std::string& target, const std::string& suffix);
    // Removes named temporaries of this archive that a killed job left behind. Call it only while
    // holding the archive's lock, so that no running job's temporary is taken. Returns how many.
    static int removeStaleTemporaries(const std::string& target);

    // `target` is the real archive path (symbolic links already followed).
    bool create(const std::string& target);
    bool write(const void* data, std::size_t size);
    bool write(const std::string& bytes) { return write(bytes.data(), bytes.size()); }
    // Overwrites bytes already written.
    bool writeAt(std::uint64_t offset, const void* data, std::size_t size);
    // Cuts the file back to `size` bytes; later writes continue there.
    bool truncate(std::uint64_t size);
    // Appends `length` bytes of another file, starting at `offset`.
    bool copyFrom(int fd, std::uint64_t offset, std::uint64_t length);
    std::uint64_t position() const { return m_position; }
    // Writes out what is buffered, so that the file can be read back through fd().
    bool flushBuffer() { return flush(); }
    int fd() const { return m_file.fd(); }

    // Flushes, syncs and puts the file in place of the target (keeping the target's permissions).
    bool commit();
    void discard();

    // errno of the first failure, and what was being done.
    int errorNumber() const { return m_errno; }
    const std::string& errorContext() const { return m_context; }

private:
    bool flush();
    bool fail(const char* context);
    bool writeRaw(const void* data, std::size_t size);
    void startWriteback();

    bool m_unnamedAllowed = true;
    std::string m_target;
    FolderHandle m_folder; // the target's folder; outlives m_file, which works in it
    TemporaryFile m_file;
    std::vector<char> m_buffer;
    std::size_t m_buffered = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_fileEnd = 0;       // bytes handed to the file so far
    std::uint64_t m_writebackFrom = 0; // where the file's data not yet sent to the disk begins
    int m_errno = 0;
    std::string m_context;
};
