#include "archiveverifier.h"

#include "archivereader.h"
#include "entrydatacheck.h"
#include "zipformat.h"

#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

} // namespace

ArchiveVerifier::ArchiveVerifier(int fd, const std::vector<bool>& toCheck, int threads)
    : m_fd(fd)
    , m_toCheck(toCheck)
    , m_threads(std::max(1, threads))
    , m_damaged(toCheck.size(), 0)
    , m_storedCrcs(toCheck.size(), 0)
    , m_done(toCheck.size(), 0) {}

ArchiveVerifier::Entry ArchiveVerifier::waitFor(std::size_t index) {
    if (!m_toCheck[index])
        return Entry::Unchecked;
    std::unique_lock<std::mutex> lock(m_doneMutex);
    m_doneChanged.wait(lock, [&] { return m_finished || m_done[index] != 0; });
    if (m_done[index] == 0)
        return Entry::Unchecked;
    return m_damaged[index] != 0 ? Entry::Damaged : Entry::Sound;
}

void ArchiveVerifier::markChecked(std::size_t index) {
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        m_done[index] = 1;
    }
    m_doneChanged.notify_all();
}

void ArchiveVerifier::markFinished() {
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        m_finished = true;
    }
    m_doneChanged.notify_all();
}

ArchiveVerifier::Result ArchiveVerifier::run(const std::function<bool()>& stop) {
    return check(stop, false);
}

ArchiveVerifier::Result ArchiveVerifier::checkAll(const std::function<bool()>& stop) {
    return check(stop, true);
}

ArchiveVerifier::Result ArchiveVerifier::check(const std::function<bool()>& stop, bool all) {
    struct Finish {
        ArchiveVerifier* verifier;
        ~Finish() { verifier->markFinished(); }
    } finish{this};
    const int own = ::dup(m_fd);
    ArchiveReader reader;
    if (own < 0 || !reader.openFd(own, false)) { // entries are read by index only
        m_problem = "the archive cannot be read: " + reader.errorText();
        return Result::Damaged;
    }
    if (reader.count() != m_toCheck.size()) {
        m_problem = "the central directory does not hold every entry";
        return Result::Damaged;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> halt{false};
    std::mutex problemMutex;
    const std::size_t count = reader.count();
    auto work = [&](bool caller) -> bool {
        std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
            libdeflate_alloc_decompressor());
        ScratchBuffer input;
        ScratchBuffer output;
        for (;;) {
            if (halt.load(std::memory_order_relaxed))
                return true;
            const std::size_t i = next.fetch_add(1);
            if (i >= count)
                return true;
            if (caller && stop && stop()) {
                halt = true;
                return false;
            }
            if (!m_toCheck[i])
                continue;
            const ArchiveReader::Entry entry = reader.entry(i);
            std::uint64_t dataOffset = 0;
            std::string localExtra;
            EntryDataCheck check(entry.method, entry.compressedSize, entry.uncompressedSize, entry.crc);
            std::uint32_t storedCrc = 0;
            if (m_acceptStoredCrcs && zipformat::storedCrcOf(entry.centralExtra, entry.crc, storedCrc))
                check.acceptStoredCrc(storedCrc);
            if (!reader.locateData(entry, dataOffset, localExtra) ||
                !check.checkFile(reader.fd(), dataOffset, decompressor.get(), &input, &output)) {
                m_damaged[i] = 1;
                markChecked(i);
                std::lock_guard<std::mutex> lock(problemMutex);
                if (m_problem.empty())
                    m_problem = std::string(entry.name) + ": its data does not match its size and CRC";
                if (all)
                    continue;
                halt = true;
                return true;
            }
            m_storedCrcs[i] = check.storedCrc();
            markChecked(i);
        }
    };
    std::vector<std::thread> helpers;
    const auto helperCount = static_cast<std::size_t>(m_threads - 1);
    for (std::size_t t = 0; t < helperCount && t + 1 < count; ++t)
        helpers.emplace_back([&] { work(false); });
    const bool finished = work(true);
    for (std::thread& helper : helpers)
        helper.join();
    if (!m_problem.empty())
        return Result::Damaged;
    return finished ? Result::Sound : Result::Stopped;
}
