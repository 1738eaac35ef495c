#pragma once

#include <cstdint>
#include <string>

class FolderHandle;

// A file being made in a folder: without a name where the system and the file system allow it,
// under a hidden temporary name otherwise, and given its real name only when complete, so that a
// failure, a cancel or a kill never leaves a partial file under the real name.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes the file in `folder`, which must stay open as long as this file. A temporary name is
    // `prefix`, six random hexadecimal digits and `suffix`; `unnamedAllowed` false always takes
    // one. False with errno set when no file could be made.
    bool create(const FolderHandle& folder, const std::string& prefix, const std::string& suffix,
                std::uint32_t mode, bool unnamedAllowed = true);

    bool ok() const { return m_fd >= 0; }
    // The open file, reading and writing.
    int fd() const { return m_fd; }
    // The file's temporary name; empty while it has none.
    const std::string& temporaryName() const { return m_temporaryName; }

    // Gives a file without a name its temporary name.
    bool nameTemporarily();
    // Gives the file its name and closes it: with `replace` what has that name is replaced at once,
    // otherwise this fails (EEXIST) when the name is taken.
    bool place(const std::string& name, bool replace);
    // Drops the file and its temporary name (also done by the destructor unless it was placed).
    void discard();

private:
    std::string randomName() const;

    const FolderHandle* m_folder = nullptr;
    std::string m_prefix;
    std::string m_suffix;
    int m_fd = -1;
    std::string m_temporaryName;
};
