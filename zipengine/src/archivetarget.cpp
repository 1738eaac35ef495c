#include "archivetarget.h"

#include "archiveoutput.h"
#include "archivereader.h"
#include "engineplatform.h"
#include "zipformat.h"

namespace {

std::int64_t nanoseconds(const engineplatform::FileStatus& st) {
    return zipformat::nanosecondsOf(st.mtime);
}

} // namespace

ArchiveTarget::ArchiveTarget(const char* archivePath)
    : m_path(ArchiveOutput::linkTarget(archivePath))
    , m_viaLink(m_path != archivePath) {}

std::string ArchiveTarget::kindProblem(const char* archivePath) const {
    // Only a regular file is ever read or replaced: a pipe would never end a read, a folder or a
    // device is nothing to replace. A link is followed only to a ZIP archive, so a link that
    // leads to some other file of the user's is never renamed or overwritten.
    engineplatform::FileStatus st;
    if (engineplatform::linkStatus(m_path.c_str(), st) != 0)
        return std::string();
    if (st.isFolder())
        return "a folder has the archive's name";
    if (!st.isFile())
        return "it is not a regular file";
    if (m_viaLink && st.size > 0 && !ArchiveReader().open(m_path))
        return std::string("the archive's name is a link to a file that is no ZIP archive: ") + archivePath;
    return std::string();
}

void ArchiveTarget::lookAt() {
    m_status = engineplatform::FileStatus{};
    m_exists = engineplatform::fileStatus(m_path.c_str(), m_status) == 0;
    m_mtimeNs = m_exists ? nanoseconds(m_status) : 0;
}

bool ArchiveTarget::isArchiveItself(const engineplatform::FileStatus& st) const {
    return m_exists && st.sameFile(m_status);
}

bool ArchiveTarget::changedMeanwhile() const {
    engineplatform::FileStatus st;
    const bool exists = engineplatform::fileStatus(m_path.c_str(), st) == 0;
    if (exists != m_exists)
        return true;
    return exists && (st.device != m_status.device || st.inode != m_status.inode ||
                      st.size != m_status.size || nanoseconds(st) != m_mtimeNs);
}
