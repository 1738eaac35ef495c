#include "backupset/folderwalker.h"

#include "backupset/casefolding.h"
#include "platform/fileattributes.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
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

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string realPathOf(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string result(real);
    std::free(real);
    return result;
}

bool isInside(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return !path.empty() && path.front() == '/';
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

// The same nanoseconds the archiver records, held at the ends of the 64-bit range (1677 to 2262).
std::int64_t saturatedNs(const struct timespec& time) {
    constexpr std::int64_t Billion = 1000000000;
    if (time.tv_sec > INT64_MAX / Billion - 1)
        return INT64_MAX;
    if (time.tv_sec < INT64_MIN / Billion + 1)
        return INT64_MIN;
    return static_cast<std::int64_t>(time.tv_sec) * Billion + time.tv_nsec;
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
        m_excludedFolders.insert(folder.native());
        m_foldedFolders.insert(CaseFolding::fold(folder.native()));
    }
    for (const auto& type : m_options.excludedTypes)
        if (!type.empty()) // an empty entry would take every file without an extension away
            m_foldedTypes.insert(CaseFolding::fold(type));
    struct stat st;
    if (!m_options.destination.empty() && ::stat(m_options.destination.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode)) {
        m_destination = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        m_hasDestination = true;
    }
}

std::string FolderWalker::normalisedFolder(const std::filesystem::path& folder) {
    if (folder.empty())
        return {};
    for (const auto& part : folder)
        if (part == "..") {
            if (std::string real = realPathOf(folder.native()); !real.empty())
                return real;
            break;
        }
    std::string normal = folder.lexically_normal().native();
    while (normal.size() > 1 && normal.back() == '/')
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
                addRoot(realPathOf(normalisedFolder(folder)));
    }
    const std::string target = realPathOf(linkPath);
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

// Whether names in the folder open as `fd` are found without regard to case: FAT, exFAT, NTFS and
// network shares of such disks, or a folder of a file system that folds case for it (ext4, f2fs).
bool FolderWalker::foldsCase(int fd) {
    static constexpr unsigned long kCaseBlindTypes[] = {
        0x4d44,     // FAT
        0x2011bab0, // exFAT
        0x5346544e, // NTFS
        0x7366746e, // ntfs3
        0x482b,     // HFS+
        0xff534d42, // CIFS
        0xfe534d42, // SMB2
    };
    struct statfs fs;
    if (fstatfs(fd, &fs) == 0)
        for (unsigned long type : kCaseBlindTypes)
            if (static_cast<unsigned long>(fs.f_type) == type)
                return true;
    constexpr long kCaseFoldFlag = 0x40000000; // FS_CASEFOLD_FL
    long flags = 0;
    return ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & kCaseFoldFlag) != 0;
}

bool FolderWalker::typeExcluded(std::string_view name) const {
    if (m_foldedTypes.empty())
        return false;
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    return m_foldedTypes.contains(CaseFolding::fold(name.substr(dot)));
}

bool FolderWalker::qualifies(const std::string& folder, const char* name, const struct stat& st) const {
    if (st.st_size <= 0 || typeExcluded(name))
        return false;
    if (m_options.includeHidden && !m_options.newOnly)
        return true;
    const std::filesystem::path full(folder + name);
    if (!m_options.includeHidden &&
        (platform::FileAttributes::isHidden(full) || platform::FileAttributes::isSystem(full)))
        return false;
    if (!m_options.newOnly)
        return true;
    const platform::FileIdentity file{static_cast<std::uint64_t>(st.st_dev),
                                      static_cast<std::uint64_t>(st.st_ino),
                                      static_cast<std::uint64_t>(st.st_size), saturatedNs(st.st_mtim)};
    return platform::FileAttributes::archiveAttributeSet(full, file);
}

bool FolderWalker::firstVisit(int fd, FolderId& id) {
    struct stat st;
    if (fstat(fd, &st) != 0 || onSystemFileSystem(fd, static_cast<std::uint64_t>(st.st_dev)))
        return false;
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return m_visited.insert(id).second;
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

// A folder that vanished or was replaced meanwhile is no failure; one that cannot be read is.
void FolderWalker::noteUnreadable(std::string folder, int error, WalkResult& result) {
    if (error == ENOENT || error == ENOTDIR || error == ELOOP)
        return;
    if (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (result.unreadableFolders.empty() || result.unreadableFolders.back() != folder)
        result.unreadableFolders.push_back(std::move(folder));
}

// Lists one folder: counts its files at once (the count does not depend on order) and keeps,
// in listing order, the subfolders to enter and, when collecting, the files taken.
FolderWalker::Frame FolderWalker::readFolder(int fd, std::string path, bool destination, Mode mode,
                                             WalkResult& result) {
    Frame frame;
    frame.path = std::move(path);
    frame.dir = fdopendir(fd);
    if (!frame.dir) {
        noteUnreadable(frame.path, errno, result);
        close(fd);
        return frame;
    }
    const int dfd = dirfd(frame.dir);
    int caseBlind = -1; // looked at when the first subfolder is met
    for (;;) {
        errno = 0;
        const dirent* de = readdir(frame.dir);
        if (!de) {
            if (errno != 0)
                noteUnreadable(frame.path, errno, result);
            break;
        }
        if (m_stop.load(std::memory_order_relaxed))
            break;
        const char* name = de->d_name;
        if (isDotOrDotDot(name))
            continue;
        unsigned char type = de->d_type;
        bool link = type == DT_LNK;
        struct stat st;
        if (type != DT_DIR) {
            // A link is judged by what it leads to: a folder is entered, a file is taken.
            if (fstatat(dfd, name, &st, link ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
                if (!link) // a dangling link is no failure of this folder
                    noteUnreadable(frame.path, errno, result);
                continue;
            }
            if (S_ISLNK(st.st_mode)) {
                link = true;
                if (fstatat(dfd, name, &st, 0) != 0)
                    continue;
            }
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (name[0] == '.' && !m_options.includeHidden)
                continue;
            if (!m_excludedFolders.empty()) {
                if (caseBlind < 0)
                    caseBlind = foldsCase(dfd) ? 1 : 0;
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
        if (type != DT_REG || st.st_size <= 0)
            continue;
        if (destination && isOwnArchiveName(name))
            continue; // an archive never holds the archives of earlier runs
        if (!qualifies(frame.path, name, st))
            continue;
        result.bytes += static_cast<std::uint64_t>(st.st_size);
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
    std::string top = normalisedFolder(folder);
    if (top.empty())
        return;
    const int topFd = open(top.c_str(), kOpenFolderFlags);
    if (topFd < 0) {
        noteUnreadable(top, errno, result);
        return;
    }
    FolderId id;
    if (!firstVisit(topFd, id)) {
        close(topFd);
        return;
    }
    addRoot(realPathOf(top));
    if (top.back() != '/')
        top.push_back('/');

    // An explicit stack, so that depth costs heap instead of thread stack; a folder's handle is
    // closed as soon as its last subfolder is open, so a deep chain holds few descriptors.
    std::vector<Frame> stack;
    stack.push_back(readFolder(topFd, std::move(top), m_hasDestination && id == m_destination, mode, result));
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
        const int openError = errno;
        std::string childPath = frame.path + entry.name + '/';
        if (index == frame.lastFolder)
            frame.closeDir();
        if (fd < 0) {
            noteUnreadable(std::move(childPath), openError, result);
            continue;
        }
        if (!firstVisit(fd, id)) {
            close(fd);
            continue;
        }
        Frame child =
            readFolder(fd, std::move(childPath), m_hasDestination && id == m_destination, mode, result);
        stack.push_back(std::move(child)); // `frame` is not used after this
    }
}

void FolderWalker::WalkFolders(const std::vector<std::filesystem::path>& folders, Mode mode,
                               WalkResult& result, PathList* collected) {
    std::vector<std::string> real;
    for (const auto& folder : folders)
        real.push_back(realPathOf(normalisedFolder(folder)));
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
