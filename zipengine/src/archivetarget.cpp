#include "archivetarget.h"

#include "archiveoutput.h"
#include "archivereader.h"
#include "engineplatform.h"
#include "zipformat.h"

namespace {

std::int64_t nanoseconds(const struct stat& st) {
    return zipformat::nanosecondsOf(engineplatform::modificationTime(st));
}

} // namespace

ArchiveTarget::ArchiveTarget(const char* archivePath)
    : m_path(ArchiveOutput::linkTarget(archivePath))
    , m_viaLink(m_path != archivePath) {}

std::string ArchiveTarget::kindProblem(const char* archivePath) const {
    // Only a regular file is ever read or replaced: a pipe would never end a read, a folder or a
    // device is nothing to replace. A link is followed only to a ZIP archive, so a link that
    // leads to some other file of the user's is never renamed or overwritten.
    struct stat st {};
    if (engineplatform::linkStatus(m_path.c_str(), st) != 0)
        return std::string();
    if (S_ISDIR(st.st_mode))
        return "a folder has the archive's name";
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (m_viaLink && st.st_size > 0 && !ArchiveReader().open(m_path))
        return std::string("the archive's name is a link to a file that is no ZIP archive: ") + archivePath;
    return std::string();
}

void ArchiveTarget::lookAt() {
    struct stat st {};
    m_exists = ::stat(m_path.c_str(), &st) == 0;
    if (m_exists) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
        m_size = st.st_size;
        m_mode = st.st_mode;
        m_mtimeNs = nanoseconds(st);
    }
}

bool ArchiveTarget::isArchiveItself(const struct stat& st) const {
    return m_exists && st.st_dev == m_device && st.st_ino == m_inode;
}

bool ArchiveTarget::changedMeanwhile() const {
    struct stat st {};
    const bool exists = ::stat(m_path.c_str(), &st) == 0;
    if (exists != m_exists)
        return true;
    return exists && (st.st_dev != m_device || st.st_ino != m_inode || st.st_size != m_size ||
                      nanoseconds(st) != m_mtimeNs);
}
