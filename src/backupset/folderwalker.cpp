#include "backupset/folderwalker.h"

#include "backupset/casefolding.h"
#include "platform/fileattributes.h"
#include "platform/pathbytes.h"

#include <algorithm>
#include <chrono>
#include <utility>

using platform::FileKind;
using platform::FolderError;
using platform::FolderReader;

struct FolderWalker::Frame {
    std::string path; // ends with the separator
    FolderReader folder;
    std::vector<Entry> entries;
    std::size_t next = 0;
    std::size_t lastFolder = 0; // index of the last subfolder; meaningful when hasFolders
    bool hasFolders = false;
};

namespace {
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

bool isInside(const std::string& path, const std::string& folder) {
    if (!folder.empty() && folder.back() == kSeparator) // a root: "/", or "C:\\" on Windows
        return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0;
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == kSeparator);
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::size_t FolderWalker::FolderIdHash::operator()(const FolderId& id) const noexcept {
    return std::hash<std::uint64_t>{}(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
}

FolderWalker::FolderWalker(WalkOptions options)
    : m_options(std::move(options)) {
    for (const auto& folder : m_options.excludedFolders) {
        std::string bytes = pathBytes(folder);
        m_foldedFolders.insert(CaseFolding::fold(bytes));
        m_excludedFolders.insert(std::move(bytes));
    }
    for (const auto& type : m_options.excludedTypes)
        if (!type.empty()) // an empty entry would take every file without an extension away
            m_foldedTypes.insert(CaseFolding::fold(type));
    platform::FileStatus st;
    if (!m_options.destination.empty() && FolderReader::pathStatus(pathBytes(m_options.destination), st) &&
        st.kind == FileKind::Folder) {
        m_destination = {st.identity.device, st.identity.inode};
        m_hasDestination = true;
    }
}

std::string FolderWalker::normalisedFolder(const std::filesystem::path& folder) {
    if (folder.empty())
        return {};
    for (const auto& part : folder)
        if (part == "..") {
            if (std::string real = FolderReader::realPath(pathBytes(folder)); !real.empty())
                return real;
            break;
        }
    const std::filesystem::path normalPath = folder.lexically_normal();
    std::string normal = pathBytes(normalPath);
    // A root keeps its separator: "/", "C:\\".
    const std::size_t keep = std::max<std::size_t>(1, pathBytes(normalPath.root_path()).size());
    while (normal.size() > keep && normal.back() == kSeparator)
        normal.pop_back();
    return normal;
}

bool FolderWalker::isOwnArchiveName(std::string_view name) {
    if (!name.empty() && name.front() == '.')
        name.remove_prefix(1); // the engine's temporaries are hidden
    constexpr std::string_view prefix = "Quoralis";
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return false;
    if (name[prefix.size()] != '_' && name[prefix.size()] != '.')
        return false;
    for (std::size_t i = prefix.size(); i + 4 <= name.size(); ++i)
        if (name[i] == '.' && asciiLower(name[i + 1]) == 'z' && asciiLower(name[i + 2]) == 'i' &&
            asciiLower(name[i + 3]) == 'p')
            return true;
    return false;
}

void FolderWalker::addRoot(const std::string& folder) {
    if (folder.empty())
        return;
    for (const std::string& root : m_roots)
        if (root == folder)
            return;
    m_roots.push_back(folder);
}

bool FolderWalker::leadsIntoTree(const std::string& linkPath) {
    if (!m_listedResolved) {
        m_listedResolved = true;
        if (m_options.listedFolders)
            for (const auto& folder : *m_options.listedFolders)
                addRoot(FolderReader::realPath(normalisedFolder(folder)));
    }
    const std::string target = FolderReader::realPath(linkPath);
    if (target.empty())
        return false;
    for (const std::string& root : m_roots)
        if (isInside(target, root))
            return true;
    return false;
}

bool FolderWalker::folderExcluded(const std::string& fullPath, bool caseBlind) const {
    if (m_excludedFolders.empty())
        return false;
    return caseBlind ? m_foldedFolders.contains(CaseFolding::fold(fullPath))
                     : m_excludedFolders.contains(fullPath);
}

bool FolderWalker::typeExcluded(std::string_view name) const {
    if (m_foldedTypes.empty())
        return false;
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    return m_foldedTypes.contains(CaseFolding::fold(name.substr(dot)));
}

bool FolderWalker::qualifies(const std::string& folder, const char* name,
                             const platform::FileStatus& st) const {
    if (st.identity.size == 0 || typeExcluded(name))
        return false;
    if (m_options.includeHidden && !m_options.newOnly)
        return true;
    const std::filesystem::path full = pathFromBytes(folder + name);
    if (!m_options.includeHidden &&
        (platform::FileAttributes::isHidden(full) || platform::FileAttributes::isSystem(full)))
        return false;
    if (!m_options.newOnly)
        return true;
    return platform::FileAttributes::archiveAttributeSet(full, st.identity, m_options.mark);
}

bool FolderWalker::firstVisit(const FolderReader& folder, FolderId& id) {
    platform::FileStatus st;
    if (!folder.status(st) || onSystemFileSystem(folder, st.identity.device))
        return false;
    id = {st.identity.device, st.identity.inode};
    return m_visited.insert(id).second;
}

// The kernel's own file systems hold no user files; a link into /proc would otherwise lead the
// walk through every process's view of the whole file system.
bool FolderWalker::onSystemFileSystem(const FolderReader& folder, std::uint64_t device) {
    if (const auto known = m_systemDevices.find(device); known != m_systemDevices.end())
        return known->second;
    const bool system = folder.onSystemFileSystem();
    m_systemDevices.emplace(device, system);
    return system;
}

// A folder that vanished or was replaced meanwhile is no failure; one that cannot be read is.
void FolderWalker::noteUnreadable(std::string folder, FolderError error, WalkResult& result) {
    if (error != FolderError::Failed)
        return;
    if (folder.size() > 1 && folder.back() == kSeparator)
        folder.pop_back();
    std::filesystem::path unreadable = pathFromBytes(folder);
    if (result.unreadableFolders.empty() || result.unreadableFolders.back().native() != unreadable.native())
        result.unreadableFolders.push_back(std::move(unreadable));
}

// Lists one folder: counts its files at once (the count does not depend on order) and keeps,
// in listing order, the subfolders to enter and, when collecting, the files taken.
FolderWalker::Frame FolderWalker::readFolder(FolderReader folder, std::string path, bool destination,
                                             Mode mode, WalkResult& result) {
    Frame frame;
    frame.path = std::move(path);
    frame.folder = std::move(folder);
    if (m_recordFolders) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        platform::FileStatus status;
        if (frame.folder.status(status))
            result.listedFolders.push_back(
                {frame.path, status.identity,
                 std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()});
    }
    int caseBlind = -1; // looked at when the first subfolder is met
    platform::FolderEntry entry;
    FolderError listingError = FolderError::None;
    while (frame.folder.nextEntry(entry, listingError)) {
        if (m_stop.load(std::memory_order_relaxed))
            break;
        const char* name = entry.name;
        FileKind kind = entry.kind;
        bool link = kind == FileKind::Link;
        platform::FileStatus& st = entry.status;
        if (kind != FileKind::Folder && !entry.statusKnown) {
            // A link is judged by what it leads to: a folder is entered, a file is taken.
            FolderError error = FolderError::None;
            if (!frame.folder.childStatus(name, link, st, error)) {
                if (!link) // a dangling link is no failure of this folder
                    noteUnreadable(frame.path, error, result);
                continue;
            }
            if (st.kind == FileKind::Link) {
                link = true;
                if (!frame.folder.childStatus(name, true, st, error))
                    continue;
            }
            kind = st.kind;
        }
        if (kind == FileKind::Folder) {
            if (name[0] == '.' && !m_options.includeHidden)
                continue;
            if (!m_excludedFolders.empty()) {
                if (caseBlind < 0)
                    caseBlind = frame.folder.foldsCase() ? 1 : 0;
                if (folderExcluded(frame.path + name, caseBlind == 1))
                    continue;
            }
            if (link && leadsIntoTree(frame.path + name))
                continue;
            frame.lastFolder = frame.entries.size();
            frame.hasFolders = true;
            frame.entries.push_back({name, true});
            continue;
        }
        // Pipes, sockets and devices are never taken: reading them would block or never end.
        if (kind != FileKind::File || st.identity.size == 0)
            continue;
        if (destination && isOwnArchiveName(name))
            continue; // an archive never holds the archives of earlier runs
        if (!qualifies(frame.path, name, st))
            continue;
        result.bytes += st.identity.size;
        ++result.files;
        if (mode == Mode::Collecting)
            frame.entries.push_back({name, false});
    }
    if (listingError != FolderError::None)
        noteUnreadable(frame.path, listingError, result);
    if (!frame.hasFolders)
        frame.folder.close();
    return frame;
}

void FolderWalker::WalkFolder(const std::filesystem::path& folder, Mode mode, WalkResult& result,
                              PathList* collected) {
    std::string top = normalisedFolder(folder);
    if (top.empty())
        return;
    FolderError error = FolderError::None;
    FolderReader topFolder = FolderReader::open(top, error);
    if (!topFolder.isOpen()) {
        noteUnreadable(top, error, result);
        return;
    }
    FolderId id;
    if (!firstVisit(topFolder, id))
        return;
    addRoot(FolderReader::realPath(top));
    if (top.back() != kSeparator)
        top.push_back(kSeparator);

    // An explicit stack, so that depth costs heap instead of thread stack; a folder's handle is
    // closed as soon as its last subfolder is open, so a deep chain holds few descriptors.
    std::vector<Frame> stack;
    stack.push_back(readFolder(std::move(topFolder), std::move(top), m_hasDestination && id == m_destination,
                               mode, result));
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size() || m_stop.load(std::memory_order_relaxed)) {
            stack.pop_back();
            continue;
        }
        const std::size_t index = frame.next++;
        const Entry& entry = frame.entries[index];
        if (!entry.folder) {
            if (collected)
                collected->push_back(frame.path + entry.name);
            continue;
        }
        FolderReader child = frame.folder.openChild(entry.name.c_str(), error);
        std::string childPath = frame.path + entry.name + kSeparator;
        if (index == frame.lastFolder)
            frame.folder.close();
        if (!child.isOpen()) {
            noteUnreadable(std::move(childPath), error, result);
            continue;
        }
        if (!firstVisit(child, id))
            continue;
        Frame childFrame = readFolder(std::move(child), std::move(childPath),
                                      m_hasDestination && id == m_destination, mode, result);
        stack.push_back(std::move(childFrame)); // `frame` is not used after this
    }
}

void FolderWalker::WalkFolders(const std::vector<std::filesystem::path>& folders, Mode mode,
                               WalkResult& result, PathList* collected) {
    std::vector<std::string> real;
    for (const auto& folder : folders)
        real.push_back(FolderReader::realPath(normalisedFolder(folder)));
    std::vector<std::size_t> order;
    std::vector<std::size_t> later;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        bool throughLinkIntoOther = false;
        if (!real[i].empty() && real[i] != normalisedFolder(folders[i]))
            for (std::size_t j = 0; j < folders.size() && !throughLinkIntoOther; ++j)
                throughLinkIntoOther = j != i && !real[j].empty() && isInside(real[i], real[j]);
        (throughLinkIntoOther ? later : order).push_back(i);
    }
    order.insert(order.end(), later.begin(), later.end());
    for (std::size_t i : order) {
        if (m_stop.load(std::memory_order_relaxed))
            return;
        WalkFolder(folders[i], mode, result, collected);
    }
}
