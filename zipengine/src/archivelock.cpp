#include "archivelock.h"

#include "archiveoutput.h"
#include "engineplatform.h"
#include "zipformat.h"

#include <cstdint>
#include <cstdio>

ArchiveLock::~ArchiveLock() {
    release();
}

std::string ArchiveLock::lockPathFor(const std::string& target) {
    engineplatform::FileStatus folder;
    if (engineplatform::fileStatus(engineplatform::folderOf(target).c_str(), folder) != 0)
        return std::string();
    const std::string runtime = runtimeFolder();
    if (runtime.empty())
        return std::string();
    const std::string name = engineplatform::baseNameOf(target);
    char file[96];
    std::snprintf(file, sizeof file, "%cquoralis-archive-%llx-%llx-%016llx.lock",
                  engineplatform::kPathSeparators[0], static_cast<unsigned long long>(folder.device),
                  static_cast<unsigned long long>(folder.inode),
                  static_cast<unsigned long long>(zipformat::nameHash(name)));
    return runtime + file;
}

std::string ArchiveLock::legacyLockPathFor(const std::string& target) {
    return ArchiveOutput::besideTarget(target, ".lock");
}

ArchiveLock::Result ArchiveLock::acquire(const std::string& target) {
    release();
    const std::string path = lockPathFor(target);
    if (path.empty())
        return takeLegacyLock(target) == Result::InUse ? Result::InUse : Result::Unsupported;
    Result failure = Result::Unsupported;
    const int fd = holdLockFile(path, failure);
    if (fd < 0)
        return failure;
    m_fd = fd;
    m_path = path;
    if (takeLegacyLock(target) == Result::InUse) {
        release();
        return Result::InUse;
    }
    return Result::Held;
}
