#include "filesurvey.h"

#include "listedfiles.h"

#include "archivetarget.h"
#include "engineplatform.h"
#include "entrydatacheck.h"
#include "entryname.h"
#include "previousarchive.h"
#include "zipformat.h"

#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

using namespace zipformat;

namespace {

// A file whose time is not this much older than the moment it was read may have changed within
// the same tick of the file system's clock (two seconds on FAT): its content decides.
constexpr std::int64_t RacyWindowNs = 2000000000;

std::int64_t floorDiv(std::int64_t value, std::int64_t step) {
    std::int64_t q = value / step;
    if (value % step < 0)
        --q;
    return q;
}

std::int64_t nanoseconds(const engineplatform::FileStatus& st) {
    return zipformat::nanosecondsOf(st.mtime);
}

} // namespace

FileSurvey::FileSurvey(const ZeAddCommand& command, ZeFileResult* results, const ArchiveTarget& target)
    : m_command(command)
    , m_results(results)
    , m_target(target) {}

void FileSurvey::findRepeated() {
    m_repeated = listedBefore();
}

std::vector<bool> FileSurvey::listedBefore() const {
    // A file listed twice gets one entry: folders of a list can overlap (a folder and one of its
    // subfolders), and two spellings of a path ("/a/./b", "//a/b") name one entry. Decided on the
    // entry name; eight bytes a file (a 32-bit hash and the index, sorted together) keep this
    // small and quick for long lists, and names of one hash are compared.
    const std::size_t count = m_command.fileCount;
    const bool keepFolders = (m_command.options & ZE_ADD_DIR_NAMES) != 0;
    std::vector<bool> repeated(count, false);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order; // hash, file
    order.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (m_command.files[i] != nullptr) {
            const std::uint64_t h = zipformat::nameHash(entryname::forPath(m_command.files[i], keepFolders));
            order.emplace_back(static_cast<std::uint32_t>(h ^ (h >> 32)), static_cast<std::uint32_t>(i));
        }
    }
    std::sort(order.begin(), order.end());
    for (std::size_t k = 1; k < order.size(); ++k) {
        if (order[k - 1].first != order[k].first)
            continue;
        const std::string name = entryname::forPath(m_command.files[order[k].second], keepFolders);
        // Compare with every earlier file of the same hash (almost always exactly one).
        for (std::size_t j = k; j-- > 0 && order[j].first == order[k].first;) {
            if (!repeated[order[j].second] &&
                entryname::forPath(m_command.files[order[j].second], keepFolders) == name) {
                repeated[order[k].second] = true;
                break;
            }
        }
    }
    return repeated;
}

void FileSurvey::run(PreviousArchive* previous) {
    m_previous = previous;
    if (m_repeated.size() != m_command.fileCount)
        findRepeated();
    const bool keepFolders = (m_command.options & ZE_ADD_DIR_NAMES) != 0;
    const bool update = (m_command.options & ZE_ADD_UPDATE) != 0;
    const bool hidden = (m_command.options & ZE_ADD_HIDDEN_FILES) != 0;
    ListedFiles status;
    std::size_t likely = 0; // the entry after the one the last file found
    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        ZeFileResult& result = m_results[i];
        result = ZeFileResult{};
        const char* path = m_command.files[i];
        if (path == nullptr || *path == '\0' || m_repeated[i] ||
            (!hidden && engineplatform::isHidden(path))) {
            result.status = ZE_FILE_EXCLUDED;
            continue;
        }
        engineplatform::FileStatus st;
        if (status.status(path, st) != 0) {
            m_errors[i] = errno;
            continue;
        }
        if (!st.isFile() || m_target.isArchiveItself(st)) {
            result.status = ZE_FILE_EXCLUDED; // folders, devices, and the archive itself
            continue;
        }
        result.size = static_cast<std::uint64_t>(st.size);
        result.mtimeNs = nanoseconds(st);
        if (m_previous) {
            const std::int64_t found =
                m_previous->reader().find(entryname::forPath(path, keepFolders), likely);
            if (found >= 0)
                likely = static_cast<std::size_t>(found) + 1;
            if (found >= 0 && !m_previous->used(static_cast<std::size_t>(found))) {
                m_previous->setEntryOf(i, static_cast<std::size_t>(found));
                m_previous->setUsed(static_cast<std::size_t>(found), true);
                const ArchiveReader::Entry entry =
                    m_previous->reader().entry(static_cast<std::size_t>(found));
                const unsigned char known = m_command.unchanged != nullptr ? m_command.unchanged[i] : 0;
                // An entry this engine cannot read is no backup it can vouch for: the file is
                // taken again.
                const bool readable = EntryDataCheck::readable(entry.method, entry.flags);
                if (readable && (known == ZE_ENTRY_CURRENT ||
                                 (update && known != ZE_ENTRY_OUTDATED && upToDate(path, st, entry)))) {
                    result.status = ZE_FILE_UP_TO_DATE;
                    continue;
                }
            }
        }
        m_totalBytes += result.size;
        ++m_toWrite;
    }
    if (m_previous)
        dropConflictingEntries();
}

bool FileSurvey::upToDate(const char* path, const engineplatform::FileStatus& st,
                          const ArchiveReader::Entry& entry) const {
    // An update keeps an entry whose size and time match the file; any other difference (newer,
    // or an older copy put back) replaces it. Times compare in the step the entry holds them.
    if (entry.uncompressedSize != static_cast<std::uint64_t>(st.size))
        return false;
    const std::int64_t mtimeNs = nanoseconds(st);
    bool sameTime = false;
    if (entry.timeStepNs == 2000000000) {
        const DosDateTime dos = toDosDateTime(st.mtime.tv_sec);
        sameTime = dos.date == entry.dosDate && dos.time == entry.dosTime;
    } else {
        sameTime = floorDiv(mtimeNs, entry.timeStepNs) == floorDiv(entry.mtimeNs, entry.timeStepNs);
    }
    if (!sameTime)
        return false;
    return !racy(mtimeNs, entry) || sameContent(path, st, entry);
}

bool FileSurvey::racy(std::int64_t mtimeNs, const ArchiveReader::Entry& entry) const {
    // A change made within the same tick as the read that made the entry leaves the time as it
    // was. When the entry does not say when it was read, the previous archive's time stands in.
    // Steps coarser than a tick (whole or two seconds) hide changes for that much longer.
    const std::int64_t readNs = entry.readNs != 0 ? entry.readNs : m_target.mtimeNs();
    return mtimeNs > readNs - std::max(RacyWindowNs, entry.timeStepNs);
}

bool FileSurvey::sameContent(const char* path, const engineplatform::FileStatus& st,
                             const ArchiveReader::Entry& entry) {
    const int fd = engineplatform::openForReading(path);
    if (fd < 0)
        return false;
    std::vector<unsigned char> buffer(1 << 20);
    std::uint32_t crc = 0;
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            total = ~std::uint64_t{0};
            break;
        }
        if (n == 0)
            break;
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(n)));
        total += static_cast<std::uint64_t>(n);
    }
    engineplatform::FileStatus after;
    const bool steady = engineplatform::openFileStatus(fd, after) == 0 && after.size == st.size &&
                        nanoseconds(after) == nanoseconds(st);
    ::close(fd);
    return steady && total == entry.uncompressedSize && crc == entry.crc;
}

void FileSurvey::dropConflictingEntries() {
    // A file replaced by a folder of the same name, or the reverse: the archive may not hold both
    // "report" and "report/q1.txt", so the kept entry gives way to the file listed now.
    // Only an entry that no file replaces can be in a file's way.
    bool anyLeft = false;
    for (std::size_t k = 0; k < m_previous->reader().count() && !anyLeft; ++k)
        anyLeft = !m_previous->used(k);
    if (!anyLeft)
        return;
    const bool keepFolders = (m_command.options & ZE_ADD_DIR_NAMES) != 0;
    std::vector<std::uint64_t> files;   // entry names of the listed files
    std::vector<std::uint64_t> folders; // every folder above them
    std::string lastFolder;
    for (std::size_t i = 0; i < m_command.fileCount; ++i) {
        if (m_results[i].status == ZE_FILE_EXCLUDED || m_errors.count(i) != 0)
            continue;
        const std::string name = entryname::forPath(m_command.files[i], keepFolders);
        files.push_back(zipformat::nameHash(name));
        const std::size_t slash = name.rfind('/');
        if (slash == std::string::npos || name.compare(0, slash, lastFolder) == 0)
            continue;
        lastFolder = name.substr(0, slash);
        for (std::size_t end = slash; end != std::string::npos && end > 0; end = name.rfind('/', end - 1))
            folders.push_back(zipformat::nameHash(name.substr(0, end)));
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    const auto holds = [](const std::vector<std::uint64_t>& set, const std::string& name) {
        return std::binary_search(set.begin(), set.end(), zipformat::nameHash(name));
    };
    for (std::size_t k = 0; k < m_previous->reader().count(); ++k) {
        if (m_previous->used(k))
            continue;
        std::string name(m_previous->reader().entry(k).name);
        const bool folderEntry = !name.empty() && name.back() == '/';
        while (!name.empty() && name.back() == '/')
            name.pop_back();
        bool conflict = !folderEntry && holds(folders, name);
        for (std::size_t end = name.rfind('/'); !conflict && end != std::string::npos && end > 0;
             end = name.rfind('/', end - 1))
            conflict = holds(files, name.substr(0, end));
        if (!conflict && folderEntry)
            conflict = holds(files, name);
        if (conflict)
            m_previous->setUsed(k, true); // dropped: never copied
    }
}
