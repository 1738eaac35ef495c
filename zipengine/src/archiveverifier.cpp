#include "archiveverifier.h"

#include "archivereader.h"
#include "entrydatacheck.h"

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
    , m_threads(std::max(1, threads)) {}

ArchiveVerifier::Result ArchiveVerifier::run(const std::function<bool()>& stop) {
    return check(stop, false);
}

ArchiveVerifier::Result ArchiveVerifier::checkAll(const std::function<bool()>& stop) {
    return check(stop, true);
}

ArchiveVerifier::Result ArchiveVerifier::check(const std::function<bool()>& stop, bool all) {
    const int own = ::dup(m_fd);
    ArchiveReader reader;
    if (own < 0 || !reader.openFd(own)) {
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
    m_damaged.assign(count, 0);
    auto work = [&](bool caller) -> bool {
        std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
            libdeflate_alloc_decompressor());
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
            if (!reader.locateData(entry, dataOffset, localExtra) ||
                !check.checkFile(reader.fd(), dataOffset, decompressor.get())) {
                m_damaged[i] = 1;
                std::lock_guard<std::mutex> lock(problemMutex);
                if (m_problem.empty())
                    m_problem = std::string(entry.name) + ": its data does not match its size and CRC";
                if (all)
                    continue;
                halt = true;
                return true;
            }
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
