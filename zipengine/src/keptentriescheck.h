#pragma once

#include "archivereader.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Checks every current entry of a previous archive that this engine can read: its stored data
// against its CRC, on several threads. Where an entry records the CRC of its stored bytes, bytes
// that still match it are not inflated; only bytes that changed since are.
class KeptEntriesCheck {
public:
    enum class Result { Sound, Damaged, Stopped };

    KeptEntriesCheck(const ArchiveReader& previous, int threads);

    // `stop` is asked between entries.
    Result run(const std::function<bool()>& stop);
    // The current entries kept unchecked: encrypted, or compressed with another method.
    const std::vector<std::size_t>& unreadable() const { return m_unreadable; }

    // Why an entry cannot be read here, for the log ("encrypted", "compression method 12").
    static std::string unreadableReason(const ArchiveReader::Entry& entry);

private:
    const ArchiveReader& m_previous;
    int m_threads;
    std::vector<std::size_t> m_unreadable;
};
