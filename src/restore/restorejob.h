#pragma once

#include "restore/overwritequestion.h"
#include "restore/restorereport.h"
#include "restore/restorerequest.h"

#include <atomic>
#include <ctime>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class ArchiveReader;
class EntryDataReader;
class RestoreTarget;

// Restores the entries of a request, on the calling thread. Each file is written under no name
// and named when complete; times and Unix permissions come from the archive. Names that could
// leave the target and link entries are refused; an existing file is replaced only when the
// overwrite callback says so.
class RestoreJob {
public:
    struct Callbacks {
        // Bytes done of the total, and the name being restored; called often, from this thread.
        std::function<void(std::uint64_t done, std::uint64_t total, std::string_view name)> progress;
        // Asked for every file whose name is taken, until an answer is given "for all".
        std::function<OverwriteAnswer(const OverwriteQuestion&)> overwrite;
    };

    RestoreJob(RestoreRequest request, Callbacks callbacks, const std::atomic<bool>& cancel);
    ~RestoreJob();

    RestoreReport run();

private:
    struct Folder {
        std::string relative;
        std::uint32_t mode;
        struct timespec mtime;
    };

    void restoreArchive(const ArchiveReader& reader, const std::vector<const RestoreRequest::Item*>& items,
                        RestoreTarget& target);
    void restoreEntry(const ArchiveReader& reader, EntryDataReader& data, const RestoreRequest::Item& item,
                      RestoreTarget& target);
    // What to do with a taken name; nothing when the user cancelled.
    std::optional<OverwriteChoice> overwriteChoice(const OverwriteQuestion& question);
    void problem(std::string_view name, RestoreReport::Reason reason, std::string detail = {});
    void applyFolderTimes(RestoreTarget& target);
    bool stopRequested() const { return m_cancel.load(std::memory_order_relaxed) || m_cancelledByUser; }

    RestoreRequest m_request;
    Callbacks m_callbacks;
    const std::atomic<bool>& m_cancel;
    RestoreReport m_report;
    std::optional<OverwriteChoice> m_forAll;
    bool m_cancelledByUser = false;
    std::set<std::string> m_written; // relative names restored so far
    std::vector<Folder> m_folders;
    std::uint64_t m_total = 0;
    std::uint64_t m_done = 0;
    std::uint32_t m_umask = 022;
};
