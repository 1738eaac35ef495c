#include "platform/backuppriority.h"

#include <windows.h>

namespace platform {

// Background mode lowers both the CPU and the I/O priority of the thread.
void BackupPriority::lowerCurrentThread() {
    SetThreadPriority(GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN);
}

void BackupPriority::restoreCurrentThreadIo() {
    SetThreadPriority(GetCurrentThread(), THREAD_MODE_BACKGROUND_END);
}

} // namespace platform
