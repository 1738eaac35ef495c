#pragma once

#include <functional>
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

    // `stop` is asked on the calling thread between entries.
    Result run(const std::function<bool()>& stop);
    // What was wrong, for a Damaged result.
    const std::string& problem() const { return m_problem; }

private:
    int m_fd;
    const std::vector<bool>& m_toCheck;
    int m_threads;
    std::string m_problem;
};
