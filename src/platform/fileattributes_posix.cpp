#include "platform/fileattributes.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr const char* attributePrefix = "user.quoralis.archived.";
// A change time is stamped from a clock that may run up to one kernel tick behind the wall clock.
constexpr std::int64_t CoarseClockSlackNs = 20000000;
// How much later than the clock read before writing the record its own change time may be: the
// time the write takes, short of being put off by the scheduler (then it is written again: on a
// busy machine that takes a few attempts).
constexpr std::int64_t RecordWriteWindowNs = 200000;
constexpr int RecordWriteAttempts = 16;
constexpr std::size_t RecordCapacity = 128;

std::uint64_t hashPath(const std::string& path) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : path) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string attributeName(const ArchiveMark& mark) {
    return attributePrefix + mark.series;
}

std::int64_t nanoseconds(const struct timespec& time) {
    return std::int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileIdentity identityOfStat(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

// What a record holds: the file's identity and state, its change time just before the record
// was written, the latest change time the write of the record can have given it, the hash of its
// path and the epoch.
struct Record {
    FileIdentity file;
    std::int64_t ctimeBeforeNs = 0;
    std::int64_t ctimeBoundNs = 0;
    std::uint64_t pathHash = 0;
    std::uint64_t epoch = 0;
};

// "<device>:<inode> <size> <mtime> <ctime before> <ctime bound> <path hash> <epoch>", times in
// ns, hash and epoch in hex, the rest in decimal. The path makes a renamed or moved file (or one
// in a renamed folder) count as changed: its entry under the new name has yet to be made.
int formatRecord(char* buffer, const Record& r) {
    return std::snprintf(
        buffer, RecordCapacity, "%llu:%llu %llu %lld %lld %lld %016llx %016llx",
        static_cast<unsigned long long>(r.file.device), static_cast<unsigned long long>(r.file.inode),
        static_cast<unsigned long long>(r.file.size), static_cast<long long>(r.file.mtimeNs),
        static_cast<long long>(r.ctimeBeforeNs), static_cast<long long>(r.ctimeBoundNs),
        static_cast<unsigned long long>(r.pathHash), static_cast<unsigned long long>(r.epoch));
}

bool parseRecord(const char* text, Record& r) {
    unsigned long long device, inode, size, hash, epoch;
    long long mtime, before, bound;
    char end;
    if (std::sscanf(text, "%llu:%llu %llu %lld %lld %lld %llx %llx%c", &device, &inode, &size, &mtime,
                    &before, &bound, &hash, &epoch, &end) != 8)
        return false;
    r = Record{{device, inode, size, mtime, 0}, before, bound, hash, epoch};
    return true;
}

bool readRecord(const std::filesystem::path& path, const char* name, Record& record) {
    char stored[RecordCapacity];
    const ssize_t length = ::lgetxattr(path.c_str(), name, stored, sizeof stored - 1);
    if (length <= 0)
        return false;
    stored[length] = '\0';
    return parseRecord(stored, record);
}

// The records of every series on the file, other setups' included.
std::vector<Record> allRecords(const std::filesystem::path& path, const FileIdentity& file) {
    std::vector<Record> records;
    std::vector<char> names(4096);
    const ssize_t length = ::llistxattr(path.c_str(), names.data(), names.size());
    if (length <= 0)
        return records;
    const std::string_view prefix = attributePrefix;
    for (const char* name = names.data(); name < names.data() + length; name += std::strlen(name) + 1) {
        Record record;
        if (std::string_view(name).starts_with(prefix) && readRecord(path, name, record) &&
            record.file.device == file.device && record.file.inode == file.inode)
            records.push_back(record);
    }
    return records;
}

// Writing a record changes the file's change time, so a record of one series is followed by
// the records other series (other setups, other destinations) write. A change time past this
// record's bound is still no change of the file when a chain of records explains it: each
// written when the file's change time was at most the previous one's bound, the last one's bound
// reaching the change time now. Anything else that touched the file in between breaks the chain.
bool onlyRecordsWrittenSince(const std::filesystem::path& path, const FileIdentity& file,
                             std::int64_t boundNs) {
    const std::vector<Record> records = allRecords(path, file);
    while (boundNs < file.ctimeNs) {
        std::int64_t reach = boundNs;
        for (const Record& r : records)
            if (r.ctimeBeforeNs <= boundNs && r.ctimeBoundNs > reach)
                reach = r.ctimeBoundNs;
        if (reach == boundNs)
            return false;
        boundNs = reach;
    }
    return true;
}

bool matches(const Record& r, const std::filesystem::path& path, const FileIdentity& file,
             const ArchiveMark& mark) {
    if (r.epoch != mark.epoch || r.file.device != file.device || r.file.inode != file.inode ||
        r.file.size != file.size || r.file.mtimeNs != file.mtimeNs || r.pathHash != hashPath(path.native()))
        return false;
    return file.ctimeNs <= r.ctimeBoundNs || onlyRecordsWrittenSince(path, file, r.ctimeBoundNs);
}

} // namespace

bool FileAttributes::isHidden(const std::filesystem::path& path) {
    std::filesystem::path name = path.filename();
    if (name.empty())
        name = path.parent_path().filename(); // "folder/" names the folder
    const std::string& text = name.native();
    return !text.empty() && text.front() == '.' && text != "." && text != "..";
}

bool FileAttributes::isSystem(const std::filesystem::path&) {
    return false;
}

FileAttributes::ArchiveState FileAttributes::archiveState(const std::filesystem::path& path,
                                                          const FileIdentity& file, const ArchiveMark& mark) {
    char stored[RecordCapacity];
    const ssize_t length = ::lgetxattr(path.c_str(), attributeName(mark).c_str(), stored, sizeof stored - 1);
    if (length <= 0)
        return ArchiveState::Unmarked; // no record, no extended attributes here, or no file
    stored[length] = '\0';
    Record record;
    if (!parseRecord(stored, record))
        return ArchiveState::Changed;
    return matches(record, path, file, mark) ? ArchiveState::Unchanged : ArchiveState::Changed;
}

FileAttributes::ArchiveState FileAttributes::archiveState(const std::filesystem::path& path,
                                                          const ArchiveMark& mark) {
    const std::optional<FileIdentity> file = identityOf(path);
    if (!file)
        return ArchiveState::Unmarked;
    return archiveState(path, *file, mark);
}

bool FileAttributes::clearArchiveAttribute(const std::filesystem::path& path, std::uint64_t size,
                                           std::int64_t mtimeNs, std::int64_t readFromNs,
                                           const ArchiveMark& mark) {
    // The record goes onto the very file whose identity it holds: opened once, never through a link.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || std::uint64_t(st.st_size) != size ||
        nanoseconds(st.st_mtim) != mtimeNs || nanoseconds(st.st_ctim) >= readFromNs - CoarseClockSlackNs) {
        // Changed since it was read, or maybe so: it stays changed.
        ::close(fd);
        return false;
    }
    // Writing the record changes the file's change time itself, so the record cannot hold the
    // change time the file will have. It holds a bound instead: the clock read just before the
    // write, plus a little for the write to happen. The kernel stamps the write's change time
    // from a clock at most as far as the wall clock (a coarse one, or the exact time of the
    // write), so that bound covers it; a stamp beyond it (the write was delayed) is caught by the
    // fstat after it and the record is written again. Any later change of the file stamps a later
    // change time: past the bound, except within the same kernel tick as the record's write or,
    // where the kernel stamps exact times, within the short write window.
    const std::string name = attributeName(mark);
    bool stored = false;
    for (int attempt = 0; attempt < RecordWriteAttempts && !stored; ++attempt) {
        const Record record{identityOfStat(st), nanoseconds(st.st_ctim), nowNs() + RecordWriteWindowNs,
                            hashPath(path.native()), mark.epoch};
        char text[RecordCapacity];
        const int length = formatRecord(text, record);
        struct stat after;
        if (::fsetxattr(fd, name.c_str(), text, std::size_t(length), 0) != 0 || ::fstat(fd, &after) != 0)
            break;
        if (after.st_size != st.st_size || nanoseconds(after.st_mtim) != mtimeNs)
            break; // written to meanwhile: the record no longer matches, the file counts as changed
        stored = nanoseconds(after.st_ctim) <= record.ctimeBoundNs;
        st = after;
    }
    // A record left with a bound below the file's change time counts as changed.
    ::close(fd);
    return stored;
}

std::optional<FileIdentity> FileAttributes::identityOf(const std::filesystem::path& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return identityOfStat(st);
}

} // namespace platform
