#pragma once

#include <cstdint>
#include <string>

// An exclusive hold on an archive's name for the length of a job, so that two jobs never write the
// same archive at once. The lock lives on a small file in the user's runtime folder
// ($XDG_RUNTIME_DIR, or a private folder in /tmp), named after the destination folder's identity
// and the archive's name, so nothing is ever left in the destination; a lock held by a killed
// process goes with the process. A lock file beside the archive, as earlier versions made it, is
// still honoured while someone holds it, and taken away when nobody does.
class ArchiveLock {
public:
    ArchiveLock() = default;
    ~ArchiveLock();

    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    enum class Result { Held, InUse, Unsupported };
    // `target` is the real archive path. Unsupported: no lock can be made (no private runtime
    // folder, or its folder cannot be looked at); the job then goes on without it.
    Result acquire(const std::string& target);
    void release();

    // Where the lock of `target` lives; empty when it cannot have one.
    static std::string lockPathFor(const std::string& target);
    // The lock file beside the archive that earlier versions used.
    static std::string legacyLockPathFor(const std::string& target);

private:
    static Result takeLegacyLock(const std::string& target);
    // Opens and locks the file at `path`: its descriptor, or -1 with `failure` saying why.
    static int holdLockFile(const std::string& path, Result& failure);
    // A folder only this user can write to, empty when there is none.
    static std::string runtimeFolder();

    std::string m_path;
    int m_fd = -1;
};
