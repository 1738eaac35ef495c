#include "temporaryfile.h"

#include "engineplatform.h"
#include "folderhandle.h"

#include <cerrno>
#include <cstdio>
#include <random>

namespace {

constexpr int Attempts = 20;

} // namespace

TemporaryFile::~TemporaryFile() {
    discard();
}

std::string TemporaryFile::randomName() const {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06llx", static_cast<unsigned long long>(random() & 0xffffff));
    return m_prefix + digits + m_suffix;
}

bool TemporaryFile::create(const FolderHandle& folder, const std::string& prefix, const std::string& suffix,
                           std::uint32_t mode, bool unnamedAllowed) {
    discard();
    m_folder = &folder;
    m_prefix = prefix;
    m_suffix = suffix;
    if (unnamedAllowed) {
        m_fd = folder.createUnnamed(mode);
        if (m_fd >= 0)
            return true;
    }
    for (int attempt = 0; attempt < Attempts && m_fd < 0; ++attempt) {
        m_temporaryName = randomName();
        m_fd = folder.createFile(m_temporaryName, FolderHandle::Create::Exclusive, mode);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        m_temporaryName.clear();
    return m_fd >= 0;
}

bool TemporaryFile::nameTemporarily() {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    for (int attempt = 0; attempt < Attempts && m_temporaryName.empty(); ++attempt) {
        const std::string name = randomName();
        if (m_folder->nameUnnamed(m_fd, name))
            m_temporaryName = name;
        else if (errno != EEXIST)
            return false;
    }
    return !m_temporaryName.empty();
}

bool TemporaryFile::place(const std::string& name, bool replace) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    if (m_temporaryName.empty() && !replace) {
        if (!m_folder->nameUnnamed(m_fd, name))
            return false;
    } else {
        // A file without a name takes the old file's place through a temporary name.
        if (!nameTemporarily() || !m_folder->move(m_temporaryName, name, replace))
            return false;
        m_temporaryName.clear();
    }
    engineplatform::closeFile(m_fd);
    m_fd = -1;
    return true;
}

void TemporaryFile::discard() {
    if (m_fd >= 0)
        engineplatform::closeFile(m_fd);
    m_fd = -1;
    if (!m_temporaryName.empty())
        m_folder->remove(m_temporaryName);
    m_temporaryName.clear();
}
