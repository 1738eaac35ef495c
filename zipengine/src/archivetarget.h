#pragma once

#include "engineplatform.h"

#include <cstdint>
#include <string>

// The archive file an add job writes: the real file behind the archive's name, what it was when the
// job looked at it, and whether it is still that when the job is about to replace it.
class ArchiveTarget {
public:
    // The archive's name may be a symbolic link: the link stays and its target is replaced.
    explicit ArchiveTarget(const char* archivePath);

    const std::string& path() const { return m_path; }
    bool viaLink() const { return m_viaLink; }

    // Why the name cannot be read or replaced as an archive; empty when it can (or names nothing).
    std::string kindProblem(const char* archivePath) const;

    // Looks at the file once, before anything is read of it.
    void lookAt();
    bool exists() const { return m_exists; }
    // An empty file holds nothing to keep (a name reserved with touch, say).
    bool isEmptyFile() const { return m_exists && m_status.isFile() && m_status.size == 0; }
    std::int64_t mtimeNs() const { return m_mtimeNs; }
    // The previous archive was moved aside: nothing of it is there any more.
    void forget() { m_exists = false; }

    // Whether a file of the list, with this status, is the archive itself.
    bool isArchiveItself(const engineplatform::FileStatus& st) const;

    // Another run (a second copy of the program, say) wrote the archive while this one worked:
    // replacing it now would throw that run's archive away.
    bool changedMeanwhile() const;

private:
    std::string m_path;
    bool m_viaLink = false;
    bool m_exists = false;
    engineplatform::FileStatus m_status;
    std::int64_t m_mtimeNs = 0;
};
