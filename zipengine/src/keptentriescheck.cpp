#include "keptentriescheck.h"

#include "archiveverifier.h"
#include "entrydatacheck.h"
#include "zipformat.h"

KeptEntriesCheck::KeptEntriesCheck(const ArchiveReader& previous, int threads)
    : m_previous(previous)
    , m_threads(threads) {}

KeptEntriesCheck::Result KeptEntriesCheck::run(const std::function<bool()>& stop) {
    std::vector<bool> toCheck(m_previous.count(), false);
    m_unreadable.clear();
    for (std::size_t k = 0; k < m_previous.count(); ++k) {
        if (m_previous.superseded(k))
            continue;
        const ArchiveReader::Entry entry = m_previous.entry(k);
        toCheck[k] = EntryDataCheck::readable(entry.method, entry.flags);
        if (!toCheck[k])
            m_unreadable.push_back(k);
    }
    ArchiveVerifier verifier(m_previous.fd(), toCheck, m_threads);
    verifier.acceptStoredCrcs();
    switch (verifier.checkAll(stop)) {
    case ArchiveVerifier::Result::Sound:
        return Result::Sound;
    case ArchiveVerifier::Result::Damaged:
        return Result::Damaged;
    case ArchiveVerifier::Result::Stopped:
        break;
    }
    return Result::Stopped;
}

std::string KeptEntriesCheck::unreadableReason(const ArchiveReader::Entry& entry) {
    if ((entry.flags & zipformat::FlagEncrypted) != 0)
        return "encrypted";
    return "compression method " + std::to_string(entry.method);
}
