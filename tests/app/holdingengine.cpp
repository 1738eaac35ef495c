// An add engine for tests of the built program: it hands every job to the real engine and holds
// the job at one point until the program asks the engine to stop, so that a test can end the
// program with the job exactly there, however fast or slow this machine is.
//
// QUORALIS_HOLD names the point:
//   "writing"   - the first file has just been written into the new archive;
//   "finishing" - the new archive is complete and in its place, the job has not returned yet.
// On reaching it the engine creates the file QUORALIS_HOLD_SIGN for the test to wait for; the test
// lets the job go on by removing that file.
#include "zipengine_api.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct RealEngine {
    ZeVersionFunction version = nullptr;
    ZeAddExecFunction exec = nullptr;
};

const RealEngine& realEngine() {
    static const RealEngine engine = [] {
        RealEngine loaded;
        void* handle = ::dlopen(REAL_ZIPDLL, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            std::fprintf(stderr, "holding engine: %s\n", ::dlerror());
            return loaded;
        }
        loaded.version = reinterpret_cast<ZeVersionFunction>(::dlsym(handle, "GetZipDllVersion"));
        loaded.exec = reinterpret_cast<ZeAddExecFunction>(::dlsym(handle, "ZipDllExec"));
        return loaded;
    }();
    return engine;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

class HeldJob {
public:
    explicit HeldJob(const ZeCallbacks& program)
        : m_program(program)
        , m_point(environment("QUORALIS_HOLD"))
        , m_sign(environment("QUORALIS_HOLD_SIGN")) {}

    ZeCallbacks callbacks() {
        ZeCallbacks own{};
        own.user = this;
        own.progress = &onProgress;
        own.item = &onItem;
        own.total = &onTotal;
        own.message = &onMessage;
        own.checkTerminate = &onCheckTerminate;
        return own;
    }

    void reached(const char* point) {
        if (m_point != point || m_held.exchange(true))
            return;
        const int fd = ::open(m_sign.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
        // The program's own stop check, asked over and over as the engine asks it between two
        // pieces of work: the job goes on once the program has asked it to stop.
        while (!stopRequested() && ::access(m_sign.c_str(), F_OK) == 0)
            ::usleep(10000);
    }

private:
    bool stopRequested() const {
        return m_program.checkTerminate != nullptr && m_program.checkTerminate(m_program.user) != 0;
    }

    static HeldJob& of(void* user) { return *static_cast<HeldJob*>(user); }

    static void onProgress(void* user, int kind, const char* name, int64_t value) {
        HeldJob& job = of(user);
        if (job.m_program.progress != nullptr)
            job.m_program.progress(job.m_program.user, kind, name, value);
        if (kind == ZE_PROGRESS_UPDATE)
            job.reached("writing");
    }
    static void onItem(void* user, const char* name, int64_t totalSize, int percent) {
        HeldJob& job = of(user);
        if (job.m_program.item != nullptr)
            job.m_program.item(job.m_program.user, name, totalSize, percent);
    }
    static void onTotal(void* user, int64_t totalSize, int percent) {
        HeldJob& job = of(user);
        if (job.m_program.total != nullptr)
            job.m_program.total(job.m_program.user, totalSize, percent);
    }
    static void onMessage(void* user, int code, const char* text) {
        HeldJob& job = of(user);
        if (job.m_program.message != nullptr)
            job.m_program.message(job.m_program.user, code, text);
    }
    static int onCheckTerminate(void* user) { return of(user).stopRequested() ? 1 : 0; }

    const ZeCallbacks m_program;
    const std::string m_point;
    const std::string m_sign;
    std::atomic<bool> m_held{false};
};

} // namespace

int GetZipDllVersion(void) {
    return realEngine().version != nullptr ? realEngine().version() : 0;
}

int ZipDllExec(const ZeAddCommand* command, const ZeCallbacks* callbacks) {
    if (realEngine().exec == nullptr || callbacks == nullptr)
        return ZE_ERR_INTERNAL;
    HeldJob job(*callbacks);
    const ZeCallbacks own = job.callbacks();
    const int rc = realEngine().exec(command, &own);
    if (rc == ZE_OK)
        job.reached("finishing");
    return rc;
}
