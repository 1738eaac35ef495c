#include "platform/backuppriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

// From linux/ioprio.h, which the C library does not wrap.
constexpr int ioprioWhoProcess = 1;
constexpr int ioprioClassShift = 13;
constexpr int ioprioClassIdle = 3;

thread_local long savedIoPriority = -1;

long ioprioGet(pid_t thread) {
    return ::syscall(SYS_ioprio_get, ioprioWhoProcess, thread);
}

void ioprioSet(pid_t thread, long priority) {
    ::syscall(SYS_ioprio_set, ioprioWhoProcess, thread, priority);
}

} // namespace

void BackupPriority::lowerCurrentThread() {
    const pid_t thread = ::gettid();
    ::setpriority(PRIO_PROCESS, id_t(thread), 19);
    const long previous = ioprioGet(thread);
    if (previous >= 0 && savedIoPriority < 0)
        savedIoPriority = previous;
    ioprioSet(thread, long(ioprioClassIdle) << ioprioClassShift);
}

void BackupPriority::restoreCurrentThreadIo() {
    if (savedIoPriority < 0)
        return;
    ioprioSet(::gettid(), savedIoPriority);
    savedIoPriority = -1;
}

} // namespace platform
