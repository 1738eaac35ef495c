#pragma once

#include "backupset/walkoptions.h"

#include "platform/pathlist.h"
#include <atomic>
#include <cstdint>

#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// What one walk found: the bytes and the number of the files it took.
struct WalkResult {
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
};

// The one enumeration of a folder of the backup set, for counting it and for collecting the
// files a backup takes. Pure logic on its own copy of the options, safe to run on a worker.
// Names stay bytes from the directory listing to the collected paths.
class FolderWalker {
public:
    enum class Mode { Counting, Collecting };

    explicit FolderWalker(WalkOptions options);

    // Walks `folder` and everything below it that may be entered. Adds to `result` as it goes
    // (so a walk that throws leaves what it counted so far); in collecting mode appends the full
    // path of every file taken to `collected`, in listing order, a folder's files and subfolders
    // interleaved as they are listed. A folder that cannot be listed adds nothing.
    void WalkFolder(const std::filesystem::path& folder, Mode mode, WalkResult& result,
                    PathList* collected = nullptr);

    // Ends a running walk early; callable from any thread.
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }

    // The test for files: size above 0, type not excluded, hidden/system and archive attribute
    // as the options say. `folder` ends with the separator.
    bool qualifies(const std::string& folder, const char* name, std::uint64_t size,
                   std::int64_t mtimeNs) const;
    bool folderExcluded(const std::string& fullPath) const;
    bool typeExcluded(std::string_view name) const;

private:
    struct Entry {
        std::string name;
        bool folder = false;
    };
    struct Frame;
    struct FolderId {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        bool operator==(const FolderId&) const = default;
    };
    struct FolderIdHash {
        std::size_t operator()(const FolderId& id) const noexcept;
    };

    bool firstVisit(int fd);
    bool onSystemFileSystem(int fd, std::uint64_t device);
    Frame readFolder(int fd, std::string path, Mode mode, WalkResult& result);

    WalkOptions m_options;
    std::unordered_set<std::string> m_foldedFolders;
    std::unordered_set<std::string> m_foldedTypes;
    std::unordered_set<FolderId, FolderIdHash> m_visited;
    std::unordered_map<std::uint64_t, bool> m_systemDevices;
    std::atomic<bool> m_stop{false};
};
