#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Reads a newly written archive back from its file before it is put in place: the end records and
// the central directory must parse, and the data of every entry marked for checking must inflate
// to its size and CRC. Several threads share the entries; the caller's thread is one of them.
class ArchiveVerifier {
public:
    enum class Result { Sound, Damaged, Stopped };

    // `fd` is the archive's file (not taken over); `toCheck` has one flag per entry, in order.
    ArchiveVerifier(int fd, const std::vector<bool>& toCheck, int threads);

    // An entry whose own field gives the CRC of its stored bytes is then checked by that CRC when
    // the bytes still match it, and inflated only when they do not. Never for data just written.
    void acceptStoredCrcs() { m_acceptStoredCrcs = true; }

    // `stop` is asked on the calling thread between entries.
    Result run(const std::function<bool()>& stop);
    // Checks every marked entry, also after a damaged one; damaged() then names them all.
    // Sound or Damaged when all were checked, Stopped when `stop` said so.
    Result checkAll(const std::function<bool()>& stop);
    bool damaged(std::size_t index) const { return !m_damaged.empty() && m_damaged[index] != 0; }
    // While checkAll runs on another thread: waits until the entry was checked, or the check ended
    // without it (stopped, or the archive could not be read as a whole).
    enum class Entry { Sound, Damaged, Unchecked };
    Entry waitFor(std::size_t index);
    // The CRC-32 of an entry's stored bytes, once waitFor() found it Sound.
    std::uint32_t storedCrc(std::size_t index) const { return m_storedCrcs[index]; }
    // What was wrong, for a Damaged result.
    const std::string& problem() const { return m_problem; }

private:
    Result check(const std::function<bool()>& stop, bool all);
    void markChecked(std::size_t index);
    void markFinished();

    int m_fd;
    const std::vector<bool>& m_toCheck;
    int m_threads;
    bool m_acceptStoredCrcs = false;
    std::string m_problem;
    std::vector<unsigned char> m_damaged;    // one flag per entry, written by one thread each
    std::vector<std::uint32_t> m_storedCrcs; // likewise
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    std::vector<unsigned char> m_done; // per entry: its check is over (guarded by m_doneMutex)
    bool m_finished = false;
};
