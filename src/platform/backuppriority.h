#pragma once

namespace platform {

// Low priority for the threads that do a backup's work.
// lowerCurrentThread lowers the calling thread only: CPU priority to the lowest (nice 19)
// and I/O to the idle class. Call it only on the backup's own worker threads, which end
// with the backup: an unprivileged thread cannot raise its CPU priority again, so never
// call it on the GUI thread or on a pooled thread that outlives the backup.
// restoreCurrentThreadIo gives the calling thread back the I/O priority it had before
// lowerCurrentThread.
class BackupPriority {
public:
    static void lowerCurrentThread();
    static void restoreCurrentThreadIo();
};

} // namespace platform
