#include "backupset/folderwalker.h"

#include "backupset/casefolding.h"
#include "platform/fileattributes.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

struct FolderWalker::Frame {
    std::string path; // ends with '/'
    DIR* dir = nullptr;
    std::vector<Entry> entries;
    std::size_t next = 0;
    std::size_t lastFolder = 0; // index of the last subfolder; meaningful when hasFolders
    bool hasFolders = false;

    Frame() = default;
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    Frame(Frame&& other) noexcept
        : path(std::move(other.path))
        , dir(std::exchange(other.dir, nullptr))
        , entries(std::move(other.entries))
        , next(other.next)
        , lastFolder(other.lastFolder)
        , hasFolders(other.hasFolders) {}
    Frame& operator=(Frame&&) = delete;
    ~Frame() { closeDir(); }

    void closeDir() {
        if (dir)
            closedir(dir);
        dir = nullptr;
    }
};

namespace {
constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

std::int64_t mtimeNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}
} // namespace

std::size_t FolderWalker::FolderIdHash::operator()(const FolderId& id) const noexcept {
    return std::hash<std::uint64_t>{}(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
}

FolderWalker::FolderWalker(WalkOptions options)
    : m_options(std::move(options)) {
    for (const auto& folder : m_options.excludedFolders)
        m_foldedFolders.insert(CaseFolding::fold(folder.native()));
    for (const auto& type : m_options.excludedTypes)
        if (!type.empty()) // an empty entry would take every file without an extension away
            m_foldedTypes.insert(CaseFolding::fold(type));
}

bool FolderWalker::folderExcluded(const std::string& fullPath) const {
    return !m_foldedFolders.empty() && m_foldedFolders.contains(CaseFolding::fold(fullPath));
}

bool FolderWalker::typeExcluded(std::string_view name) const {
    if (m_foldedTypes.empty())
        return false;
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    return m_foldedTypes.contains(CaseFolding::fold(name.substr(dot)));
}

bool FolderWalker::qualifies(const std::string& folder, const char* name, std::uint64_t size,
                             std::int64_t mtime) const {
    if (size == 0 || typeExcluded(name))
        return false;
    if (m_options.includeHidden && !m_options.newOnly)
        return true;
    const std::filesystem::path full(folder + name);
    if (!m_options.includeHidden &&
        (platform::FileAttributes::isHidden(full) || platform::FileAttributes::isSystem(full)))
        return false;
    return !m_options.newOnly || platform::FileAttributes::archiveAttributeSet(full, size, mtime);
}

bool FolderWalker::firstVisit(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || onSystemFileSystem(fd, static_cast<std::uint64_t>(st.st_dev)))
        return false;
    return m_visited.insert({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)})
        .second;
}

// The kernel's own file systems hold no user files; a link into /proc would otherwise lead the
// walk through every process's view of the whole file system.
bool FolderWalker::onSystemFileSystem(int fd, std::uint64_t device) {
    if (const auto known = m_systemDevices.find(device); known != m_systemDevices.end())
        return known->second;
    static constexpr unsigned long kSystemTypes[] = {
        0x9fa0,     // proc
        0x62656572, // sysfs
        0x1cd1,     // devpts
        0x27e0eb,   // cgroup
        0x63677270, // cgroup2
        0x64626720, // debugfs
        0x73636673, // securityfs
        0x74726163, // tracefs
        0xcafe4a11, // bpf
        0x6165676c, // pstore
        0x62656570, // configfs
    };
    struct statfs fs;
    bool system = false;
    if (fstatfs(fd, &fs) == 0)
        for (unsigned long type : kSystemTypes)
            system = system || static_cast<unsigned long>(fs.f_type) == type;
    m_systemDevices.emplace(device, system);
    return system;
}

// Lists one folder: counts its files at once (the count does not depend on order) and keeps,
// in listing order, the subfolders to enter and, when collecting, the files taken.
FolderWalker::Frame FolderWalker::readFolder(int fd, std::string path, Mode mode, WalkResult& result) {
    Frame frame;
    frame.path = std::move(path);
    frame.dir = fdopendir(fd);
    if (!frame.dir) {
        close(fd);
        return frame;
    }
    const int dfd = dirfd(frame.dir);
    while (const dirent* de = readdir(frame.dir)) {
        if (m_stop.load(std::memory_order_relaxed))
            break;
        const char* name = de->d_name;
        if (isDotOrDotDot(name))
            continue;
        unsigned char type = de->d_type;
        struct stat st;
        if (type != DT_DIR) {
            // A link is judged by what it leads to: a folder is entered, a file is taken.
            if (fstatat(dfd, name, &st, type == DT_LNK ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
                continue; // vanished meanwhile, or a dangling link
            if (S_ISLNK(st.st_mode) && fstatat(dfd, name, &st, 0) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (name[0] == '.' || folderExcluded(frame.path + name))
                continue;
            frame.lastFolder = frame.entries.size();
            frame.hasFolders = true;
            frame.entries.push_back({name, true});
            continue;
        }
        // Pipes, sockets and devices are never taken: reading them would block or never end.
        if (type != DT_REG || st.st_size <= 0)
            continue;
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (!qualifies(frame.path, name, size, mtimeNs(st)))
            continue;
        result.bytes += size;
        ++result.files;
        if (mode == Mode::Collecting)
            frame.entries.push_back({name, false});
    }
    if (!frame.hasFolders)
        frame.closeDir();
    return frame;
}

void FolderWalker::WalkFolder(const std::filesystem::path& folder, Mode mode, WalkResult& result,
                              PathList* collected) {
    std::string top = folder.native();
    if (top.empty())
        return;
    if (top.back() != '/')
        top.push_back('/');
    const int topFd = open(top.c_str(), kOpenFolderFlags);
    if (topFd < 0)
        return;
    if (!firstVisit(topFd)) {
        close(topFd);
        return;
    }

    // An explicit stack, so that depth costs heap instead of thread stack; a folder's handle is
    // closed as soon as its last subfolder is open, so a deep chain holds few descriptors.
    std::vector<Frame> stack;
    stack.push_back(readFolder(topFd, std::move(top), mode, result));
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
        const int fd = openat(dirfd(frame.dir), entry.name.c_str(), kOpenFolderFlags);
        std::string childPath = frame.path + entry.name + '/';
        if (index == frame.lastFolder)
            frame.closeDir();
        if (fd < 0)
            continue;
        if (!firstVisit(fd)) {
            close(fd);
            continue;
        }
        Frame child = readFolder(fd, std::move(childPath), mode, result);
        stack.push_back(std::move(child)); // `frame` is not used after this
    }
}
