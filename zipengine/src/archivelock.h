#pragma once

#include <string>

// An exclusive hold on an archive's name for the length of a job, so that two jobs never write the
// same archive at once. The lock lives on a small hidden file beside the archive, removed again
// when the hold ends; a lock left by a killed process goes with the process.
class ArchiveLock {
public:
    ArchiveLock() = default;
    ~ArchiveLock();

    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    enum class Result { Held, InUse, Unsupported };
    // `target` is the real archive path. Unsupported: the lock file cannot be made there (a
    // read-only folder, say); the job then goes on without it and fails where it writes.
    Result acquire(const std::string& target);
    void release();

    static std::string lockPathFor(const std::string& target);

private:
    std::string m_path;
    int m_fd = -1;
};
