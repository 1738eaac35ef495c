#pragma once

#include "backupset/walkoptions.h"

#include "platform/folderreader.h"
#include "platform/pathlist.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// A folder a walk listed, and its status then: a name added to it, taken from it or renamed in it
// changes the status.
struct FolderStamp {
    std::string path; // ends with the separator
    platform::FileIdentity identity;
    std::int64_t listedNs = 0; // the wall clock when it was listed, in ns since the Unix epoch
};

// What one walk found: the bytes and the number of the files it took, and the folders it could
// not list (their files are missing from what it took). With FolderWalker::recordFolders, also
// every folder it listed.
struct WalkResult {
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
    std::vector<std::filesystem::path> unreadableFolders;
    std::vector<FolderStamp> listedFolders;
};

// The one enumeration of a folder of the backup set, for counting it and for collecting the
// files a backup takes. Pure logic on its own copy of the options, safe to run on a worker.
// Names stay bytes from the directory listing to the collected paths.
//
// One walker is one collection: a folder reached twice (two spellings of one path, a link to
// a folder already walked, overlapping listed folders) is walked the first time only. A link
// met in a walk that leads into a listed folder, or into a folder this walker was given, is
// never followed: that folder is taken under its real name.
class FolderWalker {
public:
    enum class Mode { Counting, Collecting };

    explicit FolderWalker(WalkOptions options);

    // Walks `folder` and everything below it that may be entered. Adds to `result` as it goes
    // (so a walk that throws leaves what it counted so far); in collecting mode appends the full
    // path of every file taken to `collected`, in listing order, a folder's files and subfolders
    // interleaved as they are listed. A folder that cannot be listed adds nothing and is named
    // in the result; one that is gone is not.
    void WalkFolder(const std::filesystem::path& folder, Mode mode, WalkResult& result,
                    PathList* collected = nullptr);
    // Walks several folders into one collection, in order, except that a folder named through a
    // link into another of them comes last, so the other one's walk takes it by its real name.
    void WalkFolders(const std::vector<std::filesystem::path>& folders, Mode mode, WalkResult& result,
                     PathList* collected = nullptr);

    // Has the walks note every folder they list in their result's listedFolders.
    void recordFolders() { m_recordFolders = true; }

    // Ends a running walk early; callable from any thread.
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }

    // The test for files: size above 0, type not excluded, hidden/system and archive attribute
    // as the options say. `folder` ends with the separator.
    bool qualifies(const std::string& folder, const char* name, const platform::FileStatus& st) const;
    // Whole paths; compared without regard to case only where the file system finds names so.
    bool folderExcluded(const std::string& fullPath, bool caseBlind) const;
    bool typeExcluded(std::string_view name) const;

    // The folder path the walk uses: "." parts, repeated and trailing separators gone; a path
    // with ".." parts is resolved on the file system, since a link before ".." decides it.
    static std::string normalisedFolder(const std::filesystem::path& folder);
    // A name this program gives its archives and their temporaries in the destination folder:
    // "Quoralis" + "_" or "." ... ".zip" ..., hidden or not.
    static bool isOwnArchiveName(std::string_view name);

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

    bool firstVisit(const platform::FolderReader& folder, FolderId& id);
    bool onSystemFileSystem(const platform::FolderReader& folder, std::uint64_t device);
    bool leadsIntoTree(const std::string& linkPath);
    void addRoot(const std::string& folder);
    static void noteUnreadable(std::string folder, platform::FolderError error, WalkResult& result);
    Frame readFolder(platform::FolderReader folder, std::string path, bool destination, Mode mode,
                     WalkResult& result);

    WalkOptions m_options;
    std::unordered_set<std::string> m_excludedFolders;
    std::unordered_set<std::string> m_foldedFolders;
    std::unordered_set<std::string> m_foldedTypes;
    std::unordered_set<FolderId, FolderIdHash> m_visited;
    std::unordered_map<std::uint64_t, bool> m_systemDevices;
    std::vector<std::string> m_roots; // real paths of the listed and the walked folders
    bool m_listedResolved = false;    // the listed ones are looked up when the first link is met
    FolderId m_destination;
    bool m_hasDestination = false;
    bool m_recordFolders = false;
    std::atomic<bool> m_stop{false};
};
