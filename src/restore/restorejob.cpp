#include "restore/restorejob.h"

#include "platform/pathbytes.h"

#include "archivereader.h"
#include "engineplatform.h"
#include "entryname.h"
#include "restore/archivecontents.h"
#include "restore/entrydatareader.h"
#include "restore/existingfilecheck.h"
#include "restore/restoretarget.h"
#include "temporaryfile.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace fs = std::filesystem;

namespace {

// "name (restored).ext", then "name (restored 2).ext" and on.
std::string keptName(const std::string& leaf, int attempt) {
    const std::size_t dot = leaf.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? leaf.substr(0, dot) : leaf;
    const std::string extension = hasExtension ? leaf.substr(dot) : std::string();
    const std::string mark = attempt == 1 ? " (restored)" : " (restored " + std::to_string(attempt) + ")";
    return stem + mark + extension;
}

} // namespace

RestoreJob::RestoreJob(RestoreRequest request, Callbacks callbacks, const std::atomic<bool>& cancel)
    : m_request(std::move(request))
    , m_callbacks(std::move(callbacks))
    , m_cancel(cancel) {}

RestoreJob::~RestoreJob() = default;

RestoreReport RestoreJob::run() {
    m_umask = engineplatform::fileCreationMask();
    RestoreTarget target(m_request.originalPlace ? fs::path("/") : m_request.folder, m_request.originalPlace);
    if (!target.ok()) {
        problem(pathBytes(m_request.folder), RestoreReport::Reason::WriteFailed, std::strerror(errno));
        return m_report;
    }
    std::map<std::size_t, std::vector<const RestoreRequest::Item*>> byArchive;
    for (const RestoreRequest::Item& item : m_request.items)
        byArchive[item.archive].push_back(&item);
    // Every archive is opened first, so that the progress runs once over all of them.
    std::map<std::size_t, std::unique_ptr<ArchiveReader>> readers;
    for (const auto& [archive, items] : byArchive) {
        auto reader = std::make_unique<ArchiveReader>();
        if (!reader->open(pathBytes(m_request.archives[archive]))) {
            problem(pathBytes(m_request.archives[archive]), RestoreReport::Reason::Unreadable,
                    reader->errorText());
            continue;
        }
        for (const RestoreRequest::Item* item : items) {
            if (item->entry < reader->count())
                m_total += reader->entry(item->entry).uncompressedSize;
        }
        readers.emplace(archive, std::move(reader));
    }
    for (const auto& [archive, reader] : readers) {
        if (stopRequested())
            break;
        restoreArchive(*reader, byArchive[archive], target);
    }
    applyFolderTimes(target);
    m_report.cancelled = stopRequested();
    return m_report;
}

void RestoreJob::restoreArchive(const ArchiveReader& reader,
                                const std::vector<const RestoreRequest::Item*>& items,
                                RestoreTarget& target) {
    EntryDataReader data(reader);
    for (const RestoreRequest::Item* item : items) {
        if (stopRequested())
            return;
        if (item->entry < reader.count())
            restoreEntry(reader, data, *item, target);
    }
}

void RestoreJob::restoreEntry(const ArchiveReader& reader, EntryDataReader& data,
                              const RestoreRequest::Item& item, RestoreTarget& target) {
    using Reason = RestoreReport::Reason;
    const ArchiveReader::Entry entry = reader.entry(item.entry);
    const std::string_view name = entry.name;
    const ArchiveContents::Item kind = ArchiveContents::describe(entry);
    if (name.find('\0') != std::string_view::npos || entryname::isUnsafe(name))
        return problem(name, Reason::UnsafeName);
    if (kind.kind == ArchiveContents::Kind::Link)
        return problem(name, Reason::Link);
    std::string relative(m_request.originalPlace ? name
                                                 : name.substr(std::min(item.stripLength, name.size())));
    while (!relative.empty() && relative.back() == '/')
        relative.pop_back();
    if (relative.empty() || entryname::isUnsafe(relative))
        return problem(name, Reason::UnsafeName);

    const std::size_t slash = relative.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string() : relative.substr(0, slash);
    const std::string leaf = slash == std::string::npos ? relative : relative.substr(slash + 1);
    if (kind.kind == ArchiveContents::Kind::Folder) {
        if (target.folder(relative) == nullptr)
            return problem(name, Reason::WriteFailed, std::strerror(errno));
        m_folders.push_back({relative, kind.mode, entry.mtime});
        return;
    }
    if (!m_written.insert(relative).second)
        return problem(name, Reason::Duplicate);
    if (m_callbacks.progress)
        m_callbacks.progress(m_done, m_total, name);

    const FolderHandle* folder = target.folder(parent);
    if (folder == nullptr)
        return problem(name, Reason::WriteFailed, std::strerror(errno));
    std::string placeName = leaf;
    bool replace = false;
    FolderHandle::Status existing;
    if (folder->status(leaf, existing)) {
        if (existing.kind == FolderHandle::Kind::Folder)
            return problem(name, Reason::WriteFailed, "a folder of that name exists");
        if (ExistingFileCheck::holdsEntry(*folder, leaf, existing, entry)) {
            ++m_report.alreadyThere;
            m_done += entry.uncompressedSize;
            return;
        }
        OverwriteQuestion question;
        question.existing = (m_request.originalPlace ? fs::path("/") : m_request.folder) / relative;
        question.existingMtimeNs = existing.mtimeNs;
        question.backupMtimeNs = entry.mtimeNs;
        question.existingSize = existing.size;
        question.backupSize = entry.uncompressedSize;
        question.backupTimeStepNs = entry.timeStepNs;
        const std::optional<OverwriteChoice> choice = overwriteChoice(question);
        if (!choice)
            return;
        if (*choice == OverwriteChoice::Skip) {
            m_report.skipped.emplace_back(name);
            m_done += entry.uncompressedSize;
            return;
        }
        replace = *choice == OverwriteChoice::Replace;
        if (*choice == OverwriteChoice::KeepBoth) {
            int attempt = 1;
            while (folder->status(keptName(leaf, attempt), existing))
                ++attempt;
            placeName = keptName(leaf, attempt);
        }
    }

    TemporaryFile file;
    if (!file.create(*folder, ".quoralis-restore-", ".part", 0600))
        return problem(name, Reason::WriteFailed, std::strerror(errno));
    int writeError = 0;
    const std::uint64_t startDone = m_done;
    const EntryDataReader::Result result = data.read(
        entry,
        [&](const char* bytes, std::size_t size) {
            if (!engineplatform::writeAll(file.fd(), bytes, size)) {
                writeError = errno;
                return false;
            }
            m_done += size;
            if (m_callbacks.progress)
                m_callbacks.progress(m_done, m_total, name);
            return true;
        },
        [this] { return stopRequested(); });
    switch (result) {
    case EntryDataReader::Result::Sound:
        break;
    case EntryDataReader::Result::Stopped:
        return;
    case EntryDataReader::Result::Damaged:
        m_done = startDone + entry.uncompressedSize;
        return problem(name, Reason::Damaged);
    case EntryDataReader::Result::Unsupported:
        m_done = startDone + entry.uncompressedSize;
        return problem(name, Reason::Unsupported);
    case EntryDataReader::Result::SinkFailed:
        return problem(name, Reason::WriteFailed, std::strerror(writeError));
    }
    engineplatform::setFileMode(file.fd(), kind.mode != 0 ? kind.mode : (0666 & ~m_umask));
    engineplatform::setFileTimes(file.fd(), entry.mtime, true);
    if (!file.place(placeName, replace))
        return problem(name, Reason::WriteFailed, std::strerror(errno));
    ++m_report.restoredFiles;
    m_report.restoredBytes += entry.uncompressedSize;
    if (placeName != leaf)
        ++m_report.keptBoth;
}

std::optional<OverwriteChoice> RestoreJob::overwriteChoice(const OverwriteQuestion& question) {
    if (m_forAll)
        return m_forAll;
    const OverwriteAnswer answer = m_callbacks.overwrite ? m_callbacks.overwrite(question)
                                                         : OverwriteAnswer{OverwriteChoice::Skip, true};
    if (answer.choice == OverwriteChoice::Cancel) {
        m_cancelledByUser = true;
        return std::nullopt;
    }
    if (answer.forAll)
        m_forAll = answer.choice;
    return answer.choice;
}

void RestoreJob::problem(std::string_view name, RestoreReport::Reason reason, std::string detail) {
    m_report.problems.push_back({std::string(name), reason, std::move(detail)});
}

void RestoreJob::applyFolderTimes(RestoreTarget& target) {
    // Deepest first, after their files, so that restoring the contents does not move them again.
    for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) {
        if (const FolderHandle* folder = target.folder(it->relative))
            folder->setModeAndTime(it->mode != 0 ? it->mode | 0700 : 0u, it->mtime);
    }
}
