#pragma once

#include <QByteArray>

#include <filesystem>
#include <optional>

namespace platform {

// Whole-file reads and crash-safe whole-file replacement with POSIX calls.
class WholeFile {
public:
    // Failed: the file exists but cannot be read, or is no regular file (a folder, a FIFO,
    // a device; such a file is never opened, so reading never blocks or runs forever).
    enum class ReadStatus { Ok, Missing, Failed };
    struct ReadResult {
        ReadStatus status;
        QByteArray content;
    };
    static ReadResult read(const std::filesystem::path& path);

    // Replaces the file (the final target when the path is a symbolic link) by writing a
    // temporary file ".<name>.tmp-XXXXXX" beside it, syncing it to disk and renaming it over
    // the file: at every moment the file holds either its old or its new content. An existing
    // file keeps its permission bits; a file this process may not write, or that is no regular
    // file, is not replaced. Temporary files of this pattern left by an interrupted
    // replacement are removed after a successful one. Returns false (leaving no temporary
    // file behind) when the file cannot be replaced.
    static bool replace(const std::filesystem::path& path, const QByteArray& content);

    // Keeps the old file under another name and writes the content as a new file in its
    // place: renames the final target (a regular file this process may write) to
    // "<name><suffix>", or "<name><suffix>.2", ".3" ... whichever does not exist yet (an
    // existing file is never overwritten), then writes the new file as replace() does.
    // Returns the old file's new path, or nullopt when either step failed; the old file then
    // has its own name again.
    static std::optional<std::filesystem::path> replaceKeepingOld(const std::filesystem::path& path,
                                                                  const QByteArray& content,
                                                                  const std::string& suffix);

    // Whether fileName is a temporary name that replace() uses for a file named targetName.
    static bool isTemporaryName(const std::string& fileName, const std::string& targetName);

    // The path with symbolic links of the last component followed to the final target
    // (which need not exist); nullopt on a link loop or an unreadable link.
    static std::optional<std::filesystem::path> finalTarget(const std::filesystem::path& path);
};

} // namespace platform
