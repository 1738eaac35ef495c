#include "platform/backuppriority.h"

#include <QTest>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using platform::BackupPriority;

namespace {

constexpr int ioprioClassShift = 13;
constexpr int ioprioClassIdle = 3;

struct ThreadPriority {
    int nice = 0;
    long io = 0;
};

ThreadPriority priorityOf(pid_t thread) {
    errno = 0;
    ThreadPriority result;
    result.nice = ::getpriority(PRIO_PROCESS, id_t(thread));
    result.io = ::syscall(SYS_ioprio_get, 1, thread);
    return result;
}

ThreadPriority ownPriority() {
    return priorityOf(::gettid());
}

} // namespace

class BackupPriorityTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lowersOnlyTheCallingThread();
    void restoresTheFormerIoPriority();
};

void BackupPriorityTest::lowersOnlyTheCallingThread() {
    const ThreadPriority mainBefore = ownPriority();
    ThreadPriority lowered;
    std::thread worker([&] {
        BackupPriority::lowerCurrentThread();
        lowered = ownPriority();
    });
    worker.join();
    QCOMPARE(lowered.nice, 19);
    QCOMPARE(lowered.io >> ioprioClassShift, long(ioprioClassIdle));
    const ThreadPriority mainAfter = ownPriority();
    QCOMPARE(mainAfter.nice, mainBefore.nice);
    QCOMPARE(mainAfter.io, mainBefore.io);
    // A thread started afterwards is not lowered either.
    ThreadPriority fresh;
    std::thread later([&] { fresh = ownPriority(); });
    later.join();
    QCOMPARE(fresh.nice, mainBefore.nice);
}

void BackupPriorityTest::restoresTheFormerIoPriority() {
    ThreadPriority before;
    ThreadPriority afterRestore;
    ThreadPriority afterSecondRestore;
    std::thread worker([&] {
        before = ownPriority();
        BackupPriority::lowerCurrentThread();
        BackupPriority::lowerCurrentThread(); // twice must not forget the original
        BackupPriority::restoreCurrentThreadIo();
        afterRestore = ownPriority();
        BackupPriority::restoreCurrentThreadIo(); // a second restore changes nothing
        afterSecondRestore = ownPriority();
    });
    worker.join();
    QCOMPARE(afterRestore.io, before.io);
    QCOMPARE(afterSecondRestore.io, before.io);
    QCOMPARE(afterRestore.nice, 19); // the CPU priority stays low for the rest of the thread
}

QTEST_GUILESS_MAIN(BackupPriorityTest)
#include "tst_backuppriority.moc"
